#pragma once
// The 16-bit colour word: red in bits 0-4, green in bits 5-10, blue in bits
// 11-15, stored low byte first.

#include <cstdint>

namespace png2zeq {

inline uint16_t PackPixel565(uint32_t redLevel, uint32_t greenLevel, uint32_t blueLevel) {
  return static_cast<uint16_t>(redLevel | greenLevel << 5 | blueLevel << 11);
}

// Stores the word little-endian, so files are alike on every host.
inline void StorePixel565(uint8_t* out, uint16_t word) {
  out[0] = static_cast<uint8_t>(word);
  out[1] = static_cast<uint8_t>(word >> 8);
}

// The plain reduction: drops the low bits of each channel, no rounding.
inline uint16_t TruncateToPixel565(const uint8_t* rgb) {
  return PackPixel565(rgb[0] >> 3u, rgb[1] >> 2u, rgb[2] >> 3u);
}

}  // namespace png2zeq
