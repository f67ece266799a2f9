#pragma once
// Every heap block the converter's own code allocates goes through here, so
// that tests can make the n-th allocation fail and check each failure path.

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

}  // namespace png2zeq
