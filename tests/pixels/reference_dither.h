#pragma once
// A second, deliberately plain implementation of the dithered reduction to
// 565, used to check the converter's row-recycling one bit for bit.

#include <cstdint>
#include <vector>

namespace png2zeq::testing {

// Reduces `source` (RGB or RGBA, `channels` 3 or 4, rows back to back) to
// 565 words (plus the alpha byte for RGBA) with Burkes error diffusion,
// keeping one single-precision error plane per channel for the whole image.
std::vector<uint8_t> ReferenceDither565(const std::vector<uint8_t>& source, uint32_t width,
                                        uint32_t height, uint32_t channels);

}  // namespace png2zeq::testing
