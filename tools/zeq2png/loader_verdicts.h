#pragma once
// The device loader (zeq_loader.h) and zeq2png's reader check a file the
// same way, independently: each of the loader's statuses about the file
// beside zeq2png's result for the same verdict. The agreement test and the
// loader's fuzz target compare the two through this one table.

#include <zeq_loader.h>

#include <cstddef>

#include "zeq2png/zeq_result.h"

namespace zeq2png {

struct LoaderVerdict {
  int status;  // ZEQ_OK or a ZEQ_E_... code
  ZeqResult result;
};

// The file's verdicts, in the order both make their checks: zeq_format.h's
// list of the file's statuses, each beside zeq2png's result in step with it
// (VerdictOfStatus). The loader's statuses about the caller (buffers,
// workspace, calls) and a stream's window have no counterpart in zeq2png and
// no row.
#define PNG2ZEQ_VERDICT_ROW(status, sentence) {status, VerdictOfStatus(status)},
inline constexpr LoaderVerdict kLoaderVerdicts[] = {ZEQ_FILE_STATUSES(PNG2ZEQ_VERDICT_ROW)};
#undef PNG2ZEQ_VERDICT_ROW

// Whether, after OK, the rows run through the loader's file statuses from
// ZEQ_E_FILE_EMPTY to ZEQ_E_TRAILING_BYTES and zeq2png's ZEQ results from
// ZEQFileEmpty to ZEQTrailingBytes, each once and in step: no verdict left
// out, none paired with the wrong check.
constexpr bool VerdictsRunInStep(const LoaderVerdict* rows, size_t count) {
  if (count < 2 || rows[0].status != ZEQ_OK || rows[0].result != ZeqResult::OK) return false;
  for (size_t row = 1; row < count; ++row) {
    const int step = static_cast<int>(row) - 1;
    if (rows[row].status != ZEQ_E_FILE_EMPTY - step) return false;
    if (static_cast<int>(rows[row].result) != static_cast<int>(ZeqResult::ZEQFileEmpty) + step) {
      return false;
    }
  }
  return rows[count - 1].status == ZEQ_E_TRAILING_BYTES &&
         rows[count - 1].result == ZeqResult::ZEQTrailingBytes;
}
static_assert(VerdictsRunInStep(kLoaderVerdicts, sizeof kLoaderVerdicts / sizeof kLoaderVerdicts[0]),
              "kLoaderVerdicts must pair every file status with its zeq2png result");

// The row of a loader status, or nullptr for one about the caller or the window.
constexpr const LoaderVerdict* FindLoaderVerdict(int status) {
  for (const LoaderVerdict& verdict : kLoaderVerdicts) {
    if (verdict.status == status) return &verdict;
  }
  return nullptr;
}

}  // namespace zeq2png
