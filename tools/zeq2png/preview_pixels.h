#pragma once
// Turns the pixels of a checked ZEQ file into 8-bit samples as a device
// would show them: grey, grey with alpha, RGB or RGBA.

#include <cstddef>
#include <cstdint>

#include "zeq2png/owned_block.h"
#include "zeq2png/zeq_reader.h"
#include "zeq2png/zeq_result.h"

namespace zeq2png {

struct PreviewImage {
  uint32_t width = 0;
  uint32_t height = 0;
  // PNG colour type of the samples: 0 grey, 2 RGB, 4 grey+alpha, 6 RGBA.
  uint8_t pngColourType = 0;
  uint32_t channels = 0;
  // width x height x channels samples, rows back to back.
  OwnedBlock samples;
};

// Level of a 5-bit or 6-bit field widened to 8 bits by repeating its top
// bits below it, so 0 stays 0 and the largest level becomes 255.
inline uint8_t ExpandLevel5(uint32_t level) { return static_cast<uint8_t>(level << 3 | level >> 2); }
inline uint8_t ExpandLevel6(uint32_t level) { return static_cast<uint8_t>(level << 2 | level >> 4); }

// Red, green and blue of the 565 word stored little-endian at `in`: red in
// bits 0-4, green in bits 5-10, blue in bits 11-15.
void ExpandPixel565(const uint8_t* in, uint8_t* rgb);

// Builds the preview of `image`, which ParseZeq returned OK for: grey, grey
// with alpha, RGB888 and RGBA8888 unchanged, RGB565 and RGBA5658 widened to
// 8 bits per channel with alpha unchanged. Returns OK or OutOfMemory (and,
// for an image ParseZeq refused, ZEQUnknownPixelFormat or
// ZEQRawLengthMismatch without reading its pixels).
ZeqResult MakePreview(const ZeqImage& image, PreviewImage* preview);

}  // namespace zeq2png
