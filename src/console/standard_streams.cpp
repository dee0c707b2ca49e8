#include "standard_streams.hpp"

#include <array>

#ifdef _WIN32
// The streams are in text mode here: each "\n" written reaches the console as CR LF, a CR LF
// read arrives as "\n", and a Ctrl-Z ends the input.
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

// Once the input has ended or failed it is not read again: a terminal would wait once more.
struct {
    bool ended = false;
    bool failed = false;
} input;

// What was written and not yet sent on to standard output.
struct {
    std::array<char, stream_block_size> block;
    std::size_t size = 0;
    // Once a write has failed nothing more is written.
    bool failed = false;
} output;

// Writes out the collected output; false once any of it could not be written.
bool flush_output() {
    std::string_view pending{output.block.data(), output.size};
    output.size = 0;
    while (!output.failed && !pending.empty()) {
#ifdef _WIN32
        const int count = _write(1, pending.data(), static_cast<unsigned>(pending.size()));
#else
        const ssize_t count = ::write(STDOUT_FILENO, pending.data(), pending.size());
#endif
        if (count <= 0) {
            output.failed = true;
        } else {
            // A write may take only part of the block, on a disk that is filling up, say.
            pending.remove_prefix(static_cast<std::size_t>(count));
        }
    }
    return !output.failed;
}

}  // namespace

input_block unread_input;

bool refill_input() {
    if (input.ended || !flush_output()) {
        return false;
    }
#ifdef _WIN32
    const int count = _read(0, unread_input.chars.data(), static_cast<unsigned>(stream_block_size));
#else
    const ssize_t count = ::read(STDIN_FILENO, unread_input.chars.data(), stream_block_size);
#endif
    input.ended = count <= 0;
    input.failed = count < 0;
    unread_input.next = 0;
    unread_input.end = input.ended ? 0 : static_cast<std::size_t>(count);
    return !input.ended;
}

void write_output(std::string_view text) {
    // A text that does not fit fills the block, which is written out, and goes on in the next.
    while (text.size() > output.block.size() - output.size) {
        const std::size_t count = output.block.size() - output.size;
        text.copy(output.block.data() + output.size, count);
        output.size += count;
        text.remove_prefix(count);
        flush_output();
    }
    text.copy(output.block.data() + output.size, text.size());
    output.size += text.size();
}

bool finish_streams() { return flush_output() && !input.failed; }
