// The sudoku database: a console dialogue that shows one of the built-in puzzles for each ID
// typed, lists the IDs for 2 and ends for 1.

#include <algorithm>
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

// The blanks that separate numbers; a CR of a Windows line end is one of them.
bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

enum class token_kind { id, not_an_id, end_of_input };

// One thing the user typed: a number, or something that cannot be an ID (a word that holds no
// number, or a number beyond 32 bits), or the end of the input, where it ended or failed.
struct token {
    token_kind kind;
    std::int32_t id = 0;
};

// Reads the next number the way a formatted read of a decimal integer does: blanks first, an
// optional sign, then the digits, leaving the character after them unread. Unlike such a read,
// it drops a word that holds no number instead of leaving it unread for ever, and it never
// lets a long number wrap around.
token read_id() {
    std::optional<char> c = peek_input();
    while (c && is_blank(*c)) {
        take_input();
        c = peek_input();
    }
    if (!c) {
        return {token_kind::end_of_input};
    }
    const bool negative = *c == '-';
    if (*c == '+' || *c == '-') {
        take_input();
        c = peek_input();
    }
    if (!c || !is_digit(*c)) {
        // The whole word goes, so that it is answered once and not read again and again.
        while (c && !is_blank(*c)) {
            take_input();
            c = peek_input();
        }
        return {token_kind::not_an_id};
    }
    // Every digit of the run is taken, however many; the value stops growing once it is past
    // the 32-bit range either way, so it cannot overflow on the way.
    constexpr std::int64_t past_range = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 2;
    std::int64_t magnitude = 0;
    while (c && is_digit(*c)) {
        magnitude = std::min(magnitude * 10 + (*c - '0'), past_range);
        take_input();
        c = peek_input();
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max()) {
        return {token_kind::not_an_id};
    }
    return {token_kind::id, static_cast<std::int32_t>(value)};
}

// Gives the one answer to what was typed; false when it asks to quit.
bool answer(const token& typed) {
    if (typed.kind == token_kind::id) {
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
    for (token typed = read_id(); typed.kind != token_kind::end_of_input; typed = read_id()) {
        if (!answer(typed)) {
            break;
        }
    }
    // Success only when every answer has reached standard output and the input was read whole.
    return finish_streams() ? 0 : 1;
}
