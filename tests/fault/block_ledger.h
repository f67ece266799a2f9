#pragma once
// A ledger of the heap blocks the converter's own code takes and gives back.
// Once ResetLedger() has run, the allocation seam reports every AllocateBlock
// and FreeBlock call from the stages here first. That lets a test check, for every run, that
// each block was freed exactly once and none was freed that was not taken.

#include <cstddef>
#include <string>
#include <vector>

namespace png2zeq::fault {

struct LedgerSummary {
  std::vector<size_t> allocationSizes;  // every AllocateBlock, in call order
  size_t refusedAllocations = 0;        // AllocateBlock calls answered with nullptr
  size_t liveBlocks = 0;                // taken and not yet freed
  std::vector<std::string> faults;      // double frees, frees of unknown blocks
};

// Forgets everything recorded so far. Call it between runs only: a block
// taken before it and freed after it would count as a fault.
void ResetLedger();

// What has happened since the last ResetLedger().
LedgerSummary SummariseLedger();

}  // namespace png2zeq::fault
