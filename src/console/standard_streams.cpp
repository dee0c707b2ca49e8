#include "standard_streams.hpp"

#include <array>
#include <cerrno>

#ifdef _WIN32
// The streams are in text mode here, so each "\n" written reaches the console as CR LF.
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

// What was written and not yet sent on: the buffer of standard output.
std::array<char, stream_block_size> collected;
std::size_t collected_size = 0;
bool output_failed = false;

// Writes the bytes to standard output, retrying after partial writes; false on failure.
bool write_all(const char* bytes, std::size_t size) {
    while (size != 0) {
#ifdef _WIN32
        const int count = _write(1, bytes, static_cast<unsigned>(size));
#else
        const ssize_t count = ::write(STDOUT_FILENO, bytes, size);
        if (count < 0 && errno == EINTR) {
            continue;
        }
#endif
        if (count <= 0) {
            return false;
        }
        bytes += count;
        size -= static_cast<std::size_t>(count);
    }
    return true;
}

}  // namespace

std::size_t read_input(std::span<char> buffer) {
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

void write_output(std::string_view text) {
    if (text.size() > collected.size() - collected_size) {
        flush_output();
        if (text.size() > collected.size()) {
            output_failed = output_failed || !write_all(text.data(), text.size());
            return;
        }
    }
    text.copy(collected.data() + collected_size, text.size());
    collected_size += text.size();
}

bool flush_output() {
    if (!output_failed) {
        output_failed = !write_all(collected.data(), collected_size);
    }
    collected_size = 0;
    return !output_failed;
}
