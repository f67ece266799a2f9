#pragma once
// Encoding the preview as a PNG file.

#include <cstddef>
#include <cstdint>
#include <initializer_list>

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

// Writes the `size` bytes at `data` to the file at `path`: a regular file
// by way of a temporary renamed into place once complete, so an existing
// preview is replaced whole or not at all. Returns OK, CreatePNGFailed when
// the file cannot be opened or is one of the files at `inputs` (the ZEQ file
// and the PNG compared with; null entries are skipped), or WritePNGFailed
// when it was not written whole.
ZeqResult WriteWholeFile(const char* path, const uint8_t* data, size_t size,
                         std::initializer_list<const char*> inputs = {});

}  // namespace zeq2png
