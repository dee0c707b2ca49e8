#pragma once

#include <span>

#include "puzzle_catalogue.hpp"

// Writes the puzzle to standard output: an empty line, the "ID" header, the nine rows of the grid
// with "_" for an empty cell, and an empty line after the grid.
void write_puzzle(const puzzle& entry);

// Writes the IDs of the catalogue in its order to standard output, separated by "; ", and
// leaves the cursor after one space on a line of its own.
void write_id_list(std::span<const puzzle> catalogue);
