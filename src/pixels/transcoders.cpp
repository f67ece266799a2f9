#include "pixels/transcoders.h"

#include "pixels/burkes_dither.h"
#include "pixels/pixel565.h"

namespace png2zeq {
namespace {

// Walks the image top to bottom, left to right, turning each source pixel's
// first three bytes into a word and copying an alpha byte when the layouts
// have one. The plain loop is kept free of the hook so it stays fast.
template <uint32_t SourceBytes, uint32_t DestinationBytes>
void TransposeToPixel565(const ConversionJob& job, uint8_t* destination, DitherState* state) {
  constexpr bool kHasAlpha = SourceBytes == 4;
  const uint8_t* source = job.pixels;
  if (job.ditherError == nullptr) {
    const size_t pixelCount = static_cast<size_t>(job.width) * job.height;
    for (size_t i = 0; i < pixelCount; ++i) {
      StorePixel565(destination, TruncateToPixel565(source));
      if constexpr (kHasAlpha) destination[2] = source[3];
      source += SourceBytes;
      destination += DestinationBytes;
    }
    return;
  }
  for (uint32_t row = 0; row < job.height; ++row) {
    for (uint32_t column = 0; column < job.width; ++column) {
      StorePixel565(destination, DitherPixel565(job, source, column, row, state));
      if constexpr (kHasAlpha) destination[2] = source[3];
      source += SourceBytes;
      destination += DestinationBytes;
    }
  }
}

}  // namespace

void TransposeRgb888ToRgb565(const ConversionJob& job, uint8_t* destination, DitherState* state) {
  TransposeToPixel565<3, 2>(job, destination, state);
}

void TransposeRgba8888ToRgba5658(const ConversionJob& job, uint8_t* destination,
                                 DitherState* state) {
  TransposeToPixel565<4, 3>(job, destination, state);
}

}  // namespace png2zeq
