#include "standard_streams.hpp"

#include <array>

#ifdef _WIN32
// The streams are in text mode here: each "\n" written reaches the console as CR LF, a CR LF
// read arrives as "\n", and a Ctrl-Z ends the input.
#include <io.h>
// Without its rarely used parts.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <sys/select.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace {

#ifdef _WIN32
// Before Windows 8, a console read or write passes through a heap of 64 KB that the console
// shares with the program, and a request near that size fails for want of memory. A longer
// line is read, and a longer answer written, in several calls.
constexpr std::size_t console_block_size = std::size_t{8} * 1024;

// How much of a block to hand the stream in one call: all of it, unless it is a console.
unsigned call_size(int descriptor, std::size_t size) {
    DWORD mode = 0;
    const auto stream = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
    const bool console = GetConsoleMode(stream, &mode) != 0;
    return static_cast<unsigned>(console && size > console_block_size ? console_block_size : size);
}

int read_some(char* into, std::size_t size) { return _read(0, into, call_size(0, size)); }

// A console is handed part of a long text; flush_output writes the rest in the next calls.
int write_some(std::string_view text) { return _write(1, text.data(), call_size(1, text.size())); }
#else
// A parent may leave a stream non-blocking, where a read or write that would wait says EAGAIN
// instead. Waiting for the stream here makes the dialogue the same as on a blocking one. True
// when the stream may be tried again; false for any other failure.
bool wait_for(int descriptor) {
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
        // select, unlike poll, still works where a sandbox has set the limit of open files to 0.
        fd_set stream;
        FD_ZERO(&stream);
        FD_SET(descriptor, &stream);
        // A second at most: a socket whose peer has stopped reading is never reported, and only
        // the write tried again tells.
        timeval second{1, 0};
        const bool writing = descriptor == STDOUT_FILENO;
        if (::select(descriptor + 1, writing ? nullptr : &stream, writing ? &stream : nullptr,
                     nullptr, &second) >= 0) {
            return true;
        }
    }
    // A signal broke into the call or the wait, as a stop and a continue do on a stream with a
    // timeout: the call is tried again at once.
    return errno == EINTR;
}

ssize_t read_some(char* into, std::size_t size) {
    ssize_t count = 0;
    do {
        count = ::read(STDIN_FILENO, into, size);
    } while (count < 0 && wait_for(STDIN_FILENO));
    return count;
}

ssize_t write_some(std::string_view text) {
    ssize_t count = 0;
    do {
        count = ::write(STDOUT_FILENO, text.data(), text.size());
    } while (count < 0 && wait_for(STDOUT_FILENO));
    return count;
}
#endif

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
        const auto count = write_some(pending);
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
    const auto count = read_some(unread_input.chars.data(), stream_block_size);
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
