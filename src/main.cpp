// The sudoku database: a console dialogue that shows one of the built-in puzzles for each ID
// typed, lists the IDs for 2 and ends for 1.

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <optional>
#include <string_view>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "catalogue/puzzle_catalogue.hpp"
#include "catalogue/puzzle_text.hpp"

namespace {

constexpr std::int32_t quit_id = 1;
constexpr std::int32_t list_id = 2;

constexpr std::string_view banner =
    " ---------- Sudoku - databaze ----------\n"
    "             11. unora 2006\n"
    "  stazeno z http://www.quorvel.cz/sudoku/\n"
    "      pro ukonceni zadejte ID = 1\n"
    "   pro vypsani vsech ID zadejte ID = 2\n"
    " ---------------------------------------\n"
    "\n";
constexpr std::string_view first_prompt = " Zadejte ID sudoku: \n ";
constexpr std::string_view next_prompt = " Zadejte dalsi ID:\n ";

void write_text(std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); }

void write_banner() {
    write_text(banner);
    write_text(first_prompt);
}

constexpr std::size_t block_size = 64 * 1024;

// Standard input, taken in blocks of whatever is at hand, so that a long piped input is read
// in few calls while a typed line is answered as soon as it arrives.
struct input {
    std::array<char, block_size> buffer;
    std::size_t next = 0;
    std::size_t end = 0;
    bool ended = false;
};

// Reads what standard input has at hand, waiting only while it has nothing; 0 at its end.
std::size_t read_some(std::array<char, block_size>& buffer) {
#ifdef _WIN32
    const int count = _read(0, buffer.data(), static_cast<unsigned>(buffer.size()));
#else
    ssize_t count = 0;
    do {
        count = ::read(STDIN_FILENO, buffer.data(), buffer.size());
    } while (count < 0 && errno == EINTR);
#endif
    return count > 0 ? static_cast<std::size_t>(count) : 0;
}

// Fills the emptied buffer; false once the input has ended.
bool refill(input& in) {
    if (!in.ended) {
        // The user must see every answer before the program waits for the next number. Output
        // that can no longer be written ends the dialogue as the end of input does: nobody
        // would see the answers.
        in.next = 0;
        in.end = std::fflush(stdout) == 0 ? read_some(in.buffer) : 0;
        in.ended = in.end == 0;
    }
    return !in.ended;
}

// The next unread character, left unread, or nothing once the input has ended.
std::optional<char> peek(input& in) {
    if (in.next == in.end && !refill(in)) {
        return std::nullopt;
    }
    return in.buffer[in.next];
}

void take(input& in) { ++in.next; }

// The blanks that separate numbers; a CR of a Windows line end is one of them.
bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

enum class entry_kind { id, not_an_id, end_of_input };

// One thing the user typed: a number, or something that cannot be an ID (a word that holds no
// number, or a number beyond 32 bits), or the end of the input.
struct entry {
    entry_kind kind;
    std::int32_t id = 0;
};

// Reads the next number the way a formatted read of a decimal integer does: blanks first, an
// optional sign, then the digits, leaving the character after them unread. Unlike such a read,
// it never stops on a word that holds no number, and never lets a long number wrap around.
entry read_id(input& in) {
    std::optional<char> c = peek(in);
    while (c && is_blank(*c)) {
        take(in);
        c = peek(in);
    }
    if (!c) {
        return {entry_kind::end_of_input};
    }
    const bool negative = *c == '-';
    if (*c == '+' || *c == '-') {
        take(in);
        c = peek(in);
    }
    if (!c || !is_digit(*c)) {
        // The whole word goes, so that it is answered once and not read again and again.
        while (c && !is_blank(*c)) {
            take(in);
            c = peek(in);
        }
        return {entry_kind::not_an_id};
    }
    // Every digit of the run is taken, however many; the value stops growing once it is past
    // the 32-bit range either way, so it cannot overflow on the way.
    constexpr std::int64_t past_range = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 2;
    std::int64_t magnitude = 0;
    while (c && is_digit(*c)) {
        magnitude = std::min(magnitude * 10 + (*c - '0'), past_range);
        take(in);
        c = peek(in);
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max()) {
        return {entry_kind::not_an_id};
    }
    return {entry_kind::id, static_cast<std::int32_t>(value)};
}

// Gives the one answer to what was typed; false when it asks to quit.
bool answer(const entry& typed) {
    if (typed.kind == entry_kind::id) {
        if (const puzzle* found = find_puzzle(typed.id)) {
            write_puzzle(*found);
            write_text(next_prompt);
            return true;
        }
        if (typed.id == quit_id) {
            return false;
        }
        if (typed.id == list_id) {
            write_id_list(puzzle_catalogue);
            // The list already ends with the space that begins the prompt.
            write_text(next_prompt.substr(1));
            return true;
        }
    }
    write_text(next_prompt);
    return true;
}

}  // namespace

int main() {
    // Answers collect here and leave in large blocks; the buffer is flushed before every wait
    // for input. It is static because standard output is flushed once more after main returns.
    static std::array<char, block_size> output_buffer;
    std::setvbuf(stdout, output_buffer.data(), _IOFBF, output_buffer.size());

    write_banner();
    input in;
    for (entry typed = read_id(in); typed.kind != entry_kind::end_of_input; typed = read_id(in)) {
        if (!answer(typed)) {
            break;
        }
    }
    // Success only when every answer has reached standard output.
    const bool flushed = std::fflush(stdout) == 0;
    return flushed && std::ferror(stdout) == 0 ? 0 : 1;
}
