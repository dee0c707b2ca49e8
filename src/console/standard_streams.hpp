#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

// Standard input is read and standard output written in blocks of this size, a pipe's capacity:
// larger blocks made a piped session no faster.
inline constexpr std::size_t stream_block_size = std::size_t{64} * 1024;

// What was read from standard input and not yet taken, for refill_input, peek_input and
// take_input alone. It stands in this header so that taking a character costs no call.
struct input_block {
    std::array<char, stream_block_size> chars;
    std::size_t next = 0;
    std::size_t end = 0;
};
extern input_block unread_input;

// Reads what standard input has at hand into unread_input, waiting only while it has nothing:
// a long piped input takes few reads, while a typed line is answered as soon as it arrives.
// Before it waits, the collected output is written out, so that the user sees every answer
// first. False once the input has ended or cannot be read, and once output cannot be written:
// nobody would see the answers.
bool refill_input();

// The next character of standard input, left unread; nothing once there is no more.
inline std::optional<char> peek_input() {
    if (unread_input.next == unread_input.end && !refill_input()) {
        return std::nullopt;
    }
    return unread_input.chars[unread_input.next];
}

// Moves past the character that peek_input yielded.
inline void take_input() { ++unread_input.next; }

// Adds text to standard output. It is collected and written in blocks, when a block is full and
// before the program waits for input.
void write_output(std::string_view text);

// Writes out the output still collected. True when all output reached standard output and all
// input was read without error.
bool finish_streams();
