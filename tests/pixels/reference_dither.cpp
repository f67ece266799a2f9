#include "reference_dither.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace png2zeq::testing {
namespace {

// Accumulated errors of one colour channel for every pixel, with one spare
// column on the left, three on the right and one spare row at the bottom:
// everything the weights can reach.
class ErrorPlane {
 public:
  ErrorPlane(uint32_t width, uint32_t height)
      : stride_(static_cast<size_t>(width) + 4), cells_(stride_ * (height + 1), 0.0f) {}
  float& At(int64_t x, uint32_t y) {
    return cells_[static_cast<size_t>(y) * stride_ + static_cast<size_t>(x + 1)];
  }

 private:
  size_t stride_;
  std::vector<float> cells_;
};

struct Channel {
  uint32_t step;      // 8 for 5-bit fields, 4 for the 6-bit one
  double roundingHalf;
  uint32_t maxLevel;
  uint32_t shift;     // position of the field in the word
};
constexpr Channel kChannels[3] = {{8, 4.5, 31, 0}, {4, 2.5, 63, 5}, {8, 4.5, 31, 11}};

// Where a pixel's error goes, relative to it, in 32nds.
struct Share {
  int dx;
  uint32_t dy;
  float weight;
};
constexpr Share kShares[7] = {{1, 0, 8.0f}, {2, 0, 4.0f},  {-1, 1, 2.0f}, {0, 1, 4.0f},
                              {1, 1, 8.0f}, {2, 1, 4.0f}, {3, 1, 2.0f}};

}  // namespace

std::vector<uint8_t> ReferenceDither565(const std::vector<uint8_t>& source, uint32_t width,
                                        uint32_t height, uint32_t channels) {
  const uint32_t outputBytes = channels == 4 ? 3 : 2;
  std::vector<uint8_t> output(static_cast<size_t>(width) * height * outputBytes);
  std::vector<ErrorPlane> planes(3, ErrorPlane(width, height));

  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      const size_t pixel = static_cast<size_t>(y) * width + x;
      const uint8_t* in = &source[pixel * channels];
      uint32_t word = 0;
      float errors[3];
      for (int c = 0; c < 3; ++c) {
        // The sum is a float: rounded to single precision once.
        float adjusted = static_cast<float>(in[c]) + planes[c].At(x, y);
        adjusted = std::min(std::max(adjusted, 0.0f), 255.0f);
        const double rounded = std::floor(static_cast<double>(adjusted) + kChannels[c].roundingHalf);
        const uint32_t level =
            std::min(static_cast<uint32_t>(rounded) / kChannels[c].step, kChannels[c].maxLevel);
        word |= level << kChannels[c].shift;
        errors[c] = static_cast<float>(static_cast<int>(in[c]) -
                                       static_cast<int>(kChannels[c].step * level));
      }
      for (int c = 0; c < 3; ++c) {
        const float share = errors[c] / 32.0f;
        for (const Share& target : kShares) {
          float& cell = planes[c].At(static_cast<int64_t>(x) + target.dx, y + target.dy);
          cell = cell + share * target.weight;
        }
      }
      uint8_t* out = &output[pixel * outputBytes];
      out[0] = static_cast<uint8_t>(word & 0xFF);
      out[1] = static_cast<uint8_t>(word >> 8);
      if (channels == 4) out[2] = in[3];
    }
  }
  return output;
}

}  // namespace png2zeq::testing
