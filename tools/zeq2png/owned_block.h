#pragma once
// A heap block with exactly one owner, taken through the converter's
// allocation seam so that tests can make any of zeq2png's allocations fail.

#include <cstddef>
#include <cstdint>

#include "common/heap.h"

namespace zeq2png {

struct OwnedBlock {
  uint8_t* data = nullptr;
  size_t size = 0;

  OwnedBlock() = default;
  ~OwnedBlock() { png2zeq::FreeBlock(data); }
  OwnedBlock(const OwnedBlock&) = delete;
  OwnedBlock& operator=(const OwnedBlock&) = delete;

  // Replaces the block with a new one of `bytes` bytes (contents undefined).
  // Returns false, leaving the owner empty, when it cannot be allocated.
  bool Allocate(size_t bytes) {
    Release();
    // malloc(0) may answer nullptr; one spare byte keeps success unambiguous.
    data = static_cast<uint8_t*>(png2zeq::AllocateBlock(bytes != 0 ? bytes : 1));
    size = data != nullptr ? bytes : 0;
    return data != nullptr;
  }

  // Takes over `block` of `bytes` bytes, which came from AllocateBlock.
  void Adopt(uint8_t* block, size_t bytes) {
    Release();
    data = block;
    size = block != nullptr ? bytes : 0;
  }

  // Gives the block up to the caller, who must free it or Adopt it; the
  // owner is empty afterwards.
  uint8_t* Detach() {
    uint8_t* block = data;
    data = nullptr;
    size = 0;
    return block;
  }

  // Frees the block; the owner is empty afterwards.
  void Release() {
    png2zeq::FreeBlock(data);
    data = nullptr;
    size = 0;
  }
};

}  // namespace zeq2png
