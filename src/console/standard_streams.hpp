#pragma once

#include <cstddef>
#include <span>
#include <string_view>

// Input is read and output written in blocks of this size, a pipe's capacity: larger blocks
// made a piped session no faster.
inline constexpr std::size_t stream_block_size = std::size_t{64} * 1024;

// Reads what standard input has at hand into the buffer, waiting only while it has nothing.
// Yields the number of bytes read, 0 once the input has ended or cannot be read.
std::size_t read_input(std::span<char> buffer);

// Adds text to standard output. It is collected and written in large blocks, when the
// collection is full or flush_output is called.
void write_output(std::string_view text);

// Writes out all collected text. False once any output could not be written; from then on
// output is dropped.
bool flush_output();
