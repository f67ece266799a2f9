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

// Level of a field of `bits` bits (4 to 8) widened to 8 bits by repeating
// its top bits below it, so 0 stays 0 and the largest level becomes 255.
inline uint8_t ExpandLevel(uint32_t bits, uint32_t level) {
  return static_cast<uint8_t>(level << (8 - bits) | level >> (2 * bits - 8));
}
inline uint8_t ExpandLevel5(uint32_t level) { return ExpandLevel(5, level); }
inline uint8_t ExpandLevel6(uint32_t level) { return ExpandLevel(6, level); }

// Red, green and blue of the 565 word stored little-endian at `in`: red in
// bits 0-4, green in bits 5-10, blue in bits 11-15.
void ExpandPixel565(const uint8_t* in, uint8_t* rgb);

// Builds the preview of `image`, which ParseZeq returned OK for: grey or
// RGB, with alpha when the format has it, every channel widened to 8 bits
// (8-bit formats unchanged). Returns OK or OutOfMemory (and,
// for an image ParseZeq refused, ZEQUnknownPixelFormat or
// ZEQRawLengthMismatch without reading its pixels).
ZeqResult MakePreview(const ZeqImage& image, PreviewImage* preview);

}  // namespace zeq2png
