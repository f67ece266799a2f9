#include "common/heap.h"

#include <cstdlib>

namespace png2zeq {
namespace {
unsigned allocationsUntilFailure = 0;  // 0: never fail
unsigned allocationCount = 0;
const HeapObserver* heapObserver = nullptr;
}  // namespace

void* AllocateBlock(size_t size) {
  ++allocationCount;
  void* block = nullptr;
  if (allocationsUntilFailure == 0 || --allocationsUntilFailure != 0) block = std::malloc(size);
  if (heapObserver != nullptr) heapObserver->allocated(size, block);
  return block;
}

void FreeBlock(void* block) {
  if (block != nullptr && heapObserver != nullptr && !heapObserver->releasing(block)) return;
  std::free(block);
}

void FailNthAllocation(unsigned n) { allocationsUntilFailure = n; }

unsigned AllocationCount() { return allocationCount; }

void ObserveHeap(const HeapObserver* observer) { heapObserver = observer; }

}  // namespace png2zeq
