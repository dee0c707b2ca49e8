#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

inline constexpr std::size_t grid_size = 9;
inline constexpr std::size_t cell_count = grid_size * grid_size;

// One puzzle of the database. Its ID is the day it was published, DDMMYY.
struct puzzle {
    std::int32_t id;
    // Row by row from the top, each row from left to right; 0 is an empty cell.
    std::array<std::uint8_t, cell_count> cells;
};

// Builds a puzzle from its nine rows written as digits, so that the table below reads like the
// grids themselves.
consteval puzzle make_puzzle(std::int32_t id, std::array<std::string_view, grid_size> rows) {
    puzzle result{id, {}};
    for (std::size_t row = 0; row < grid_size; ++row) {
        for (std::size_t column = 0; column < grid_size; ++column) {
            result.cells[row * grid_size + column] =
                static_cast<std::uint8_t>(rows[row].at(column) - '0');
        }
    }
    return result;
}

// Every puzzle of the database, ascending by ID; the ID list follows this order too.
inline constexpr std::array puzzle_catalogue{
    make_puzzle(130206, {"800000000", "040200918", "000348000", "009002070", "680050003",
                         "005006020", "010900630", "508000000", "000000000"}),
    make_puzzle(140206, {"050200018", "000000500", "020030090", "803070400", "000000700",
                         "004061200", "002450006", "080300007", "000000800"}),
    make_puzzle(150206, {"000000000", "000036000", "018400000", "009060801", "840301670",
                         "007050009", "000000283", "354200090", "000000000"}),
    make_puzzle(160206, {"360401000", "000000010", "001085007", "048000601", "030000000",
                         "106040002", "080000000", "000504760", "005230004"}),
    make_puzzle(170206, {"070802051", "050006087", "080004000", "010008000", "690400000",
                         "005010078", "000080029", "030001000", "900200000"}),
};

// The catalogue entry with exactly this ID, or nullptr when there is none.
const puzzle* find_puzzle(std::int32_t id);
