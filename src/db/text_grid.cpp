#include "db/text_grid.h"

#include <cstddef>

#include "app/runtime_error.h"

namespace {

constexpr int kDimensionCountMismatch = 3;
constexpr int kIndexOutOfRange = 1;

bool isInRange(std::int32_t index, std::int32_t size) { return index >= 0 && index < size; }

}  // namespace

const Text& gridCell(const TextGrid& grid, std::int32_t row, std::int32_t column) {
  if (grid.dimensionCount != 2 || grid.sizes.size() != 2) reportRuntimeError(kDimensionCountMismatch);
  const std::int32_t rows = grid.sizes[0];
  const std::int32_t columns = grid.sizes[1];
  if (!isInRange(row, rows)) reportRuntimeError(kIndexOutOfRange);
  if (!isInRange(column, columns)) reportRuntimeError(kIndexOutOfRange);
  const std::size_t index = static_cast<std::size_t>(row) * static_cast<std::size_t>(columns) +
                            static_cast<std::size_t>(column);
  return grid.cells[index];
}
