#include "pixels/transcoders.h"

#include "pixels/burkes_dither.h"
#include "pixels/dither_methods.h"
#include "pixels/pixel565.h"

namespace png2zeq {
namespace {

// Dithers the image row by row through the job's hooks: a row in one piece
// where the job's method has a row path (same bits), pixel by pixel through
// the two hook calls otherwise.
template <uint32_t SourceBytes, uint32_t DestinationBytes>
void DitherToPixel565(const ConversionJob& job, uint8_t* destination, DitherState* state) {
  constexpr bool kHasAlpha = SourceBytes == 4;
  const uint8_t* source = job.pixels;
  const DitherMethod* method = DitherMethodOf(job);
  const DitherRowPath* rows = method != nullptr ? method->rows : nullptr;
  DitherRowFunction ditherRow = nullptr;
  if (rows != nullptr) ditherRow = kHasAlpha ? rows->rgbaTo5658 : rows->rgbTo565;
  // Only the first row's cells can hold what another state hook left there;
  // every later current row was zeroed by a rotation and then filled by the
  // diffusion hook alone.
  const bool firstRowFits = ditherRow != nullptr && rows->nextRowFits(*state);
  for (uint32_t row = 0; row < job.height; ++row) {
    if (ditherRow != nullptr && (row > 0 || firstRowFits)) {
      job.ditherError(nullptr, 0, row, state);  // the rotation every row starts with
      ditherRow(source, destination, job.width, row + 1 < job.height, *state);
      source += static_cast<size_t>(SourceBytes) * job.width;
      destination += static_cast<size_t>(DestinationBytes) * job.width;
      continue;
    }
    for (uint32_t column = 0; column < job.width; ++column) {
      StorePixel565(destination, DitherPixel565(job, source, column, row, state));
      if constexpr (kHasAlpha) destination[2] = source[3];
      source += SourceBytes;
      destination += DestinationBytes;
    }
  }
}

// Walks the image top to bottom, left to right, turning each source pixel's
// first three bytes into a word and copying an alpha byte when the layouts
// have one. The plain loop is kept free of the hooks so it stays fast.
template <uint32_t SourceBytes, uint32_t DestinationBytes>
void TransposeToPixel565(const ConversionJob& job, uint8_t* destination, DitherState* state) {
  constexpr bool kHasAlpha = SourceBytes == 4;
  if (job.ditherError != nullptr) {
    DitherToPixel565<SourceBytes, DestinationBytes>(job, destination, state);
    return;
  }
  const uint8_t* source = job.pixels;
  const size_t pixelCount = static_cast<size_t>(job.width) * job.height;
  for (size_t i = 0; i < pixelCount; ++i) {
    StorePixel565(destination, TruncateToPixel565(source));
    if constexpr (kHasAlpha) destination[2] = source[3];
    source += SourceBytes;
    destination += DestinationBytes;
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
