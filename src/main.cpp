// The sudoku database: a console dialogue that shows one of the built-in puzzles for each ID
// typed, lists the IDs for 2 and ends for 1.

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>

#include "catalogue/puzzle_catalogue.hpp"
#include "catalogue/puzzle_text.hpp"
#include "console/standard_streams.hpp"

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

void write_banner() {
    write_output(banner);
    write_output(first_prompt);
}

// Standard input, taken in blocks of whatever is at hand, so that a long piped input is read
// in few calls while a typed line is answered as soon as it arrives.
struct input {
    std::array<char, stream_block_size> buffer;
    std::size_t next = 0;
    std::size_t end = 0;
    bool ended = false;
};

// Fills the emptied buffer; false once the input has ended.
bool refill(input& in) {
    if (!in.ended) {
        // The user must see every answer before the program waits for the next number. Output
        // that can no longer be written ends the dialogue as the end of input does: nobody
        // would see the answers.
        in.next = 0;
        in.end = flush_output() ? read_input(in.buffer) : 0;
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
// it drops a word that holds no number instead of leaving it unread for ever, and it never
// lets a long number wrap around.
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
            write_output(next_prompt);
            return true;
        }
        if (typed.id == quit_id) {
            return false;
        }
        if (typed.id == list_id) {
            write_id_list(puzzle_catalogue);
            // The list already ends with the space that begins the prompt.
            write_output(next_prompt.substr(1));
            return true;
        }
    }
    write_output(next_prompt);
    return true;
}

}  // namespace

int main() {
    write_banner();
    input in;
    for (entry typed = read_id(in); typed.kind != entry_kind::end_of_input; typed = read_id(in)) {
        if (!answer(typed)) {
            break;
        }
    }
    // Success only when every answer has reached standard output.
    return flush_output() ? 0 : 1;
}
