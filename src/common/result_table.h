#pragma once
// Both tools keep their result codes as an enum class with one table row per
// code. This check lets each table be indexed by its codes directly.

#include <cstddef>
#include <cstdint>

namespace png2zeq {

// Whether every row of `rows` sits at the index of its `code`.
template <typename Row, size_t N>
constexpr bool RowsFollowTheirCodes(const Row (&rows)[N]) {
  for (size_t index = 0; index < N; ++index) {
    if (static_cast<size_t>(rows[index].code) != index) return false;
  }
  return true;
}

// The row of `code` in `rows`, or nullptr for a value outside the table.
template <typename Row, size_t N, typename Code>
constexpr const Row* FindResultRow(const Row (&rows)[N], Code code) {
  const auto index = static_cast<size_t>(code);
  return index < N ? &rows[index] : nullptr;
}

}  // namespace png2zeq
