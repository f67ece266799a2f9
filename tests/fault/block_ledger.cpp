#include "block_ledger.h"

#include <cstdio>
#include <map>

// The real seam, reached through the linker's wrapping; the linker fixes
// these names.
// NOLINTBEGIN(bugprone-reserved-identifier)
extern "C" void* __real__ZN7png2zeq13AllocateBlockEm(size_t size);
extern "C" void __real__ZN7png2zeq9FreeBlockEPv(void* block);
// NOLINTEND(bugprone-reserved-identifier)

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

}  // namespace

void ResetLedger() { TheLedger() = Ledger{}; }

LedgerSummary SummariseLedger() {
  const Ledger& ledger = TheLedger();
  return LedgerSummary{ledger.sizes, ledger.refused, ledger.live.size(), ledger.faults};
}

}  // namespace png2zeq::fault

// NOLINTNEXTLINE(bugprone-reserved-identifier)
extern "C" void* __wrap__ZN7png2zeq13AllocateBlockEm(size_t size) {
  auto& ledger = png2zeq::fault::TheLedger();
  void* block = __real__ZN7png2zeq13AllocateBlockEm(size);
  ledger.sizes.push_back(size);
  if (block == nullptr) {
    ++ledger.refused;
  } else {
    ledger.live[block] = ledger.sizes.size();
  }
  return block;
}

// NOLINTNEXTLINE(bugprone-reserved-identifier)
extern "C" void __wrap__ZN7png2zeq9FreeBlockEPv(void* block) {
  auto& ledger = png2zeq::fault::TheLedger();
  if (block != nullptr) {
    if (ledger.live.erase(block) == 0) {
      // Either freed before, or never taken through the seam: both would be
      // a heap fault, so record it and leave the block alone.
      ledger.faults.push_back(png2zeq::fault::Describe("free of a block not live:", block));
      return;
    }
  }
  __real__ZN7png2zeq9FreeBlockEPv(block);
}
