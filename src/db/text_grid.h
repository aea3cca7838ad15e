#pragma once
#include <cstdint>
#include <vector>

#include "app/text.h"

// A table read from the database. A two-dimensional grid has the sizes rows, then columns, and
// rows x columns cells in row-major order; an empty cell is an absent one. The default value is
// the empty grid: one dimension of size 0 and no cells.
struct TextGrid {
  int dimensionCount = 1;
  std::vector<std::int32_t> sizes{0};
  std::vector<Text> cells;
};

// The cell at row and column (both from 0) of a two-dimensional grid. A grid of another dimension
// count ends the program with run-time error 3, an index outside the grid with run-time error 1.
const Text& gridCell(const TextGrid& grid, std::int32_t row, std::int32_t column);
