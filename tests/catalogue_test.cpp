#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>

#include "catalogue/puzzle_catalogue.hpp"

namespace {

using grid = std::array<std::uint8_t, cell_count>;

// Whether the digit may stand in the cell: it is nowhere else in the cell's row, column or box.
bool fits(const grid& cells, std::size_t cell, std::uint8_t digit) {
    const std::size_t row = cell / grid_size;
    const std::size_t column = cell % grid_size;
    const std::size_t box_row = row / 3 * 3;
    const std::size_t box_column = column / 3 * 3;
    for (std::size_t i = 0; i < grid_size; ++i) {
        const std::size_t in_row = row * grid_size + i;
        const std::size_t in_column = i * grid_size + column;
        const std::size_t in_box = (box_row + i / 3) * grid_size + box_column + i % 3;
        for (const std::size_t other : {in_row, in_column, in_box}) {
            if (other != cell && cells[other] == digit) {
                return false;
            }
        }
    }
    return true;
}

// Counts the solutions of the grid by backtracking, stopping at the limit.
int count_solutions(grid& cells, int limit) {
    const auto empty = std::find(cells.begin(), cells.end(), 0);
    if (empty == cells.end()) {
        return 1;
    }
    const auto cell = static_cast<std::size_t>(empty - cells.begin());
    int found = 0;
    for (std::uint8_t digit = 1; digit <= 9 && found < limit; ++digit) {
        if (fits(cells, cell, digit)) {
            cells[cell] = digit;
            found += count_solutions(cells, limit - found);
            cells[cell] = 0;
        }
    }
    return found;
}

struct catalogue_entry {
    std::int32_t id;
    int givens;
};

constexpr std::array<catalogue_entry, 5> expected_entries{{
    {130206, 25},
    {140206, 25},
    {150206, 26},
    {160206, 27},
    {170206, 27},
}};

// The five puzzles in order of their IDs, each a proper sudoku: digits 0 to 9, no digit twice
// in a row, column or box, the known number of givens, and exactly one solution.
TEST(puzzle_catalogue, holds_five_proper_sudokus_in_order_of_their_ids) {
    ASSERT_EQ(puzzle_catalogue.size(), expected_entries.size());
    for (std::size_t index = 0; index < puzzle_catalogue.size(); ++index) {
        const puzzle& entry = puzzle_catalogue[index];
        SCOPED_TRACE(entry.id);
        EXPECT_EQ(entry.id, expected_entries[index].id);
        grid cells = entry.cells;
        int givens = 0;
        for (std::size_t cell = 0; cell < cell_count; ++cell) {
            ASSERT_LE(cells[cell], 9) << "cell " << cell;
            if (cells[cell] != 0) {
                ++givens;
                EXPECT_TRUE(fits(cells, cell, cells[cell])) << "digit repeated at cell " << cell;
            }
        }
        EXPECT_EQ(givens, expected_entries[index].givens);
        EXPECT_EQ(count_solutions(cells, 2), 1);
    }
}

TEST(find_puzzle, finds_exactly_the_catalogue_ids) {
    for (const puzzle& entry : puzzle_catalogue) {
        EXPECT_EQ(find_puzzle(entry.id), &entry) << entry.id;
    }
    for (const std::int32_t id :
         {1, 2, 0, -130206, -170206, 130207, 120206, 180206, 999999, 100000, 13020,
          std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()}) {
        EXPECT_EQ(find_puzzle(id), nullptr) << id;
    }
}

}  // namespace
