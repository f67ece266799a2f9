#pragma once
// Encoding the preview as a PNG file.

#include <cstddef>
#include <cstdint>

#include "zeq2png/owned_block.h"
#include "zeq2png/preview_pixels.h"
#include "zeq2png/zeq_result.h"

namespace zeq2png {

// The encoded PNG: `used` bytes at the start of `block`.
struct EncodedPng {
  OwnedBlock block;
  size_t used = 0;
  // Set when growing the block failed inside libpng's write callback.
  bool allocationFailed = false;
};

// Encodes `preview` with libpng as an 8-bit PNG of its colour type, not
// interlaced, into `png`. Returns OK, OutOfMemory or WritePNGFailed.
ZeqResult EncodePreviewPng(const PreviewImage& preview, EncodedPng* png);

// Creates (or truncates) the file at `path` and writes the `size` bytes at
// `data` into it. Returns OK, CreatePNGFailed when the file cannot be
// opened, or WritePNGFailed when it was not written whole; a regular file
// left incomplete is removed.
ZeqResult WriteWholeFile(const char* path, const uint8_t* data, size_t size);

}  // namespace zeq2png
