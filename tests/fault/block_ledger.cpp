#include "block_ledger.h"

#include <cstdio>
#include <map>

#include "common/heap.h"

namespace png2zeq::fault {
namespace {

struct Ledger {
  std::map<const void*, size_t> live;  // block -> its allocation's index
  std::vector<size_t> sizes;
  size_t refused = 0;
  std::vector<std::string> faults;
};

Ledger& TheLedger() {
  static Ledger ledger;
  return ledger;
}

std::string Describe(const char* what, const void* block) {
  char text[96];
  std::snprintf(text, sizeof text, "%s %p", what, block);
  return text;
}

void RecordAllocation(size_t size, void* block) {
  Ledger& ledger = TheLedger();
  ledger.sizes.push_back(size);
  if (block == nullptr) {
    ++ledger.refused;
  } else {
    ledger.live[block] = ledger.sizes.size();
  }
}

// Either freed before, or never taken through the seam: both would be a heap
// fault, so record it and leave the block alone.
bool RecordRelease(void* block) {
  Ledger& ledger = TheLedger();
  if (ledger.live.erase(block) != 0) return true;
  ledger.faults.push_back(Describe("free of a block not live:", block));
  return false;
}

constexpr HeapObserver kLedgerObserver = {RecordAllocation, RecordRelease};

}  // namespace

void ResetLedger() {
  TheLedger() = Ledger{};
  ObserveHeap(&kLedgerObserver);
}

LedgerSummary SummariseLedger() {
  const Ledger& ledger = TheLedger();
  return LedgerSummary{ledger.sizes, ledger.refused, ledger.live.size(), ledger.faults};
}

}  // namespace png2zeq::fault

