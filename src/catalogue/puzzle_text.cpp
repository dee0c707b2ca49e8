#include "puzzle_text.hpp"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <functional>
#include <limits>
#include <string_view>

#include "console/standard_streams.hpp"

namespace {

constexpr std::string_view puzzle_header = "\n      ID ";
constexpr std::string_view empty_row_line = " |_|_|_|_|_|_|_|_|_|\n";
constexpr std::string_view glyphs = "_123456789";
constexpr std::string_view id_list_header = "\n Existujici ID: ";
constexpr std::string_view id_separator = "; ";
constexpr std::string_view id_list_end = "\n\n ";

// IDs are dates, DDMMYY: never negative, so they are written without a sign.
static_assert(std::ranges::all_of(puzzle_catalogue,
                                  [](const puzzle& entry) { return entry.id > 0; }));
constexpr std::size_t max_id_length = std::numeric_limits<std::int32_t>::digits10 + 1;

// A text of bounded length, built in place.
template <std::size_t capacity>
struct text_buffer {
    std::array<char, capacity> chars{};
    std::size_t length = 0;

    void append(std::string_view text) {
        for (const char c : text) {
            chars[length++] = c;
        }
    }

    // The ID in decimal, without leading zeros.
    void append(std::int32_t id) {
        const char* const end =
            std::to_chars(chars.data() + length, chars.data() + capacity, id).ptr;
        length = static_cast<std::size_t>(end - chars.data());
    }

    [[nodiscard]] std::string_view view() const { return {chars.data(), length}; }
};

using puzzle_text =
    text_buffer<puzzle_header.size() + max_id_length + 1 + grid_size * empty_row_line.size() + 1>;

// Makes the text of the puzzle in place, where it is kept.
void make_text(const puzzle& entry, puzzle_text& text) {
    text.length = 0;
    text.append(puzzle_header);
    text.append(entry.id);
    text.append("\n");
    for (std::size_t row = 0; row < grid_size; ++row) {
        const std::size_t line_start = text.length;
        text.append(empty_row_line);
        for (std::size_t column = 0; column < grid_size; ++column) {
            text.chars[line_start + 2 + 2 * column] = glyphs[entry.cells[row * grid_size + column]];
        }
    }
    text.append("\n");
}

}  // namespace

void write_puzzle(const puzzle& entry) {
    // Each catalogue puzzle's text is made the first time it is asked for and kept: answering
    // its ID again costs a single copy, which keeps a long piped session as fast as passing its
    // output through a pipe. The last slot holds any other puzzle's text, made for each call.
    static std::array<puzzle_text, puzzle_catalogue.size() + 1> texts;
    const puzzle* const first = puzzle_catalogue.data();
    const puzzle* const end = first + puzzle_catalogue.size();
    const bool listed = !std::less{}(&entry, first) && std::less{}(&entry, end);
    const auto index = listed ? static_cast<std::size_t>(&entry - first) : puzzle_catalogue.size();
    if (!listed || texts[index].length == 0) {
        make_text(entry, texts[index]);
    }
    write_output(texts[index].view());
}

void write_id_list(std::span<const puzzle> catalogue) {
    write_output(id_list_header);
    std::string_view separator;
    for (const puzzle& entry : catalogue) {
        text_buffer<id_separator.size() + max_id_length> text;
        text.append(separator);
        text.append(entry.id);
        write_output(text.view());
        separator = id_separator;
    }
    write_output(id_list_end);
}
