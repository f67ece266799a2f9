#include "job/heap.h"

#include <cstdlib>

namespace png2zeq {
namespace {
unsigned allocationsUntilFailure = 0;  // 0: never fail
unsigned allocationCount = 0;
}  // namespace

void* AllocateBlock(size_t size) {
  ++allocationCount;
  if (allocationsUntilFailure != 0 && --allocationsUntilFailure == 0) return nullptr;
  return std::malloc(size);
}

void FreeBlock(void* block) { std::free(block); }

void FailNthAllocation(unsigned n) { allocationsUntilFailure = n; }

unsigned AllocationCount() { return allocationCount; }

}  // namespace png2zeq
