#pragma once
// Every heap block the tools' own code allocates goes through here, so that
// tests can make the n-th allocation fail and watch every block taken and
// given back.

#include <cstddef>

namespace png2zeq {

// malloc, unless a test has armed a failure for this allocation.
void* AllocateBlock(size_t size);

// free; accepts nullptr.
void FreeBlock(void* block);

// Test seam: the `n`-th AllocateBlock from now (1 = the next one) returns
// nullptr; 0 disarms. Returns nothing; affects only this process.
void FailNthAllocation(unsigned n);

// Number of AllocateBlock calls since the process started.
unsigned AllocationCount();

// Test seam: told of every AllocateBlock (with nullptr for a refused one)
// and asked before every FreeBlock of a non-null block; `releasing` returns
// false to leave a block it does not know alone instead of freeing it.
struct HeapObserver {
  void (*allocated)(size_t size, void* block);
  bool (*releasing)(void* block);
};

// Installs `observer` (nullptr removes it). The observer must outlive its
// installation.
void ObserveHeap(const HeapObserver* observer);

}  // namespace png2zeq
