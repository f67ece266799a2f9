#pragma once
// Checks a whole ZEQ file held in memory and recovers its uncompressed
// pixels. Safe on any bytes: nothing is allocated or read on the strength
// of a header field before that field has been checked.
//
// Deliberately a second implementation of the checks, written apart from
// the device loader's (loader/zeq_loader.c): the loader is tested and fuzzed
// against this reader (tests/loader, fuzz/fuzz_zeq_loader.cpp), which only
// works while the two stay independent. They share the format's facts
// (zeq_loader.h's macros, zeq_bytes_per_pixel) and nothing else: do not
// merge them or let one call the other's checks.

#include <cstddef>
#include <cstdint>

#include "common/zeq_format.h"
#include "zeq2png/owned_block.h"
#include "zeq2png/zeq_result.h"

namespace zeq2png {

struct ZeqImage {
  // True once the file held 24 bytes; `header` is then the fields as read,
  // checked only as far as the result of ParseZeq says.
  bool hasHeader = false;
  png2zeq::OutputHeader header{};
  // The row of the shared format table, once the format code is known.
  const png2zeq::ZeqFormatInfo* format = nullptr;
  // rawLength bytes of uncompressed pixels; filled only when ParseZeq
  // returns OK.
  OwnedBlock pixels;
};

// Checks the `size` bytes at `data` (which may be null when size is 0) as a
// ZEQ file, in this order: empty, header complete, magic, known pixel
// format, width 1..1024, height 1..768, rawLength = width x height x bytes
// per pixel, file size = 24 + data length, and for a compressed block that
// it is one zlib stream that inflates to exactly rawLength bytes, passes its
// Adler-32 and ends where the block ends. Returns OK or the code of the
// first check that failed (or OutOfMemory). `image` is reset first; on OK it
// holds the header, the format row and the pixels, on failure whatever was
// established before the failing check and no pixels.
ZeqResult ParseZeq(const uint8_t* data, size_t size, ZeqImage* image);

}  // namespace zeq2png
