#pragma once
// Runs the converter's driver in this process, with standard output caught,
// and reports the exit status, the text and the ledger of our heap blocks.

#include <string>
#include <vector>

#include "block_ledger.h"
#include "support/zeq_files.h"

namespace png2zeq::fault {

struct InProcessRun {
  int status = -1;
  std::string output;
  LedgerSummary ledger;
};

// Runs RunConverter on "png2zeq" followed by `arguments`. When
// `failAllocation` is not 0, that AllocateBlock call of the run (1 = the
// first) returns nullptr. The seam is disarmed again afterwards, whether or
// not the run reached that call.
InProcessRun RunInProcess(const std::vector<std::string>& arguments, unsigned failAllocation = 0);

// The driver's last line for a failed run.
using testing::ErrorLine;

}  // namespace png2zeq::fault
