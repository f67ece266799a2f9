// Burkes dithering a whole row at a time: the row path of the converter's
// own hooks (kBurkesRowPath in burkes_dither.h).
//
// Every error the hook spreads is a whole number times 2, 4 or 8 over 32, so
// every cell holds a whole number of sixteenths, never more than 255 in size,
// and every single-precision sum of them is exact. Working in integer
// sixteenths therefore gives the very bits of the per-pixel fetch and diffuse
// calls, cell values included. It also turns the chain from one pixel's error
// to the next pixel's level, which no reordering can shorten, into a few
// integer operations, and keeps the cells being summed in registers instead
// of going through memory for each pixel.

#include "pixels/burkes_dither.h"

#if PNG2ZEQ_SIXTEENTHS_ROWS
#include <emmintrin.h>

#include <cstdint>
#include <cstring>

namespace png2zeq {
namespace {

// Lanes 0 to 2 hold red, green and blue; lane 3 stays zero throughout.

// Largest cell magnitude the row path accepts: four times what the hooks
// can produce (255), and small enough that every lane the quantisation
// works on fits 16 bits.
constexpr float kLargestCell = 1024.0f;

inline __m128i ColourLaneMask() { return _mm_setr_epi32(-1, -1, -1, 0); }

// One cell as whole sixteenths. Reads 16 bytes: the next cell's red is read
// and dropped, so the cell after must exist (the row margins see to that).
inline __m128i LoadCell(const ErrorCell* cell) {
  const __m128 values = _mm_and_ps(_mm_loadu_ps(reinterpret_cast<const float*>(cell)),
                                   _mm_castsi128_ps(ColourLaneMask()));
  return _mm_cvttps_epi32(_mm_mul_ps(values, _mm_set1_ps(16.0f)));
}

// Stores a cell from sixteenths. Writes 16 bytes: a zero goes into the next
// cell's red, so cells must be stored in increasing order and the last one
// with StoreLastCell.
inline void StoreCell(ErrorCell* cell, __m128i sixteenthsValue) {
  _mm_storeu_ps(reinterpret_cast<float*>(cell),
                _mm_mul_ps(_mm_cvtepi32_ps(sixteenthsValue), _mm_set1_ps(1.0f / 16.0f)));
}

// Stores exactly the 12 bytes of one cell.
inline void StoreLastCell(ErrorCell* cell, __m128i sixteenthsValue) {
  alignas(16) float values[4];
  _mm_store_ps(values, _mm_mul_ps(_mm_cvtepi32_ps(sixteenthsValue), _mm_set1_ps(1.0f / 16.0f)));
  std::memcpy(cell, values, sizeof(ErrorCell));
}

// The red, green and blue bytes of one source pixel, one per lane. With
// `readsFourBytes` an RGB pixel is read with the byte after it, so only
// where that byte exists.
template <uint32_t SourceBytes, bool readsFourBytes>
inline __m128i LoadColour(const uint8_t* pixel) {
  uint32_t packed;
  if constexpr (SourceBytes == 4 || readsFourBytes) {
    std::memcpy(&packed, pixel, 4);
  } else {
    // Assembled in a register, not in memory, so the load never waits on
    // partial stores.
    uint16_t redGreen;
    std::memcpy(&redGreen, pixel, 2);
    packed = redGreen | static_cast<uint32_t>(pixel[2]) << 16;
  }
  const __m128i zero = _mm_setzero_si128();
  const __m128i bytes = _mm_cvtsi32_si128(static_cast<int>(packed));
  const __m128i lanes = _mm_unpacklo_epi16(_mm_unpacklo_epi8(bytes, zero), zero);
  return SourceBytes == 4 || readsFourBytes ? _mm_and_si128(lanes, ColourLaneMask()) : lanes;
}

// Whether every float of the row block that becomes current at the next
// rotation holds a whole number of sixteenths of at most kLargestCell: the
// condition under which DitherRowInSixteenths is exact. True for every row
// that the converter's own hooks have built or filled since its last
// rotation, whatever the pixels.
bool NextRowHoldsWholeSixteenths(const DitherState& state) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(state.nextRow - kErrorRowMarginBefore);
  const size_t count = state.rowBlockSize / sizeof(float);
  const __m128 scale = _mm_set1_ps(16.0f);
  const __m128 largest = _mm_set1_ps(16.0f * kLargestCell);
  const __m128 signBit = _mm_set1_ps(-0.0f);
  __m128 unfit = _mm_setzero_ps();
  size_t i = 0;
  for (; i + 4 <= count; i += 4) {
    const __m128 value = _mm_mul_ps(_mm_loadu_ps(reinterpret_cast<const float*>(bytes) + i), scale);
    const __m128 whole = _mm_cvtepi32_ps(_mm_cvttps_epi32(value));
    // Both comparisons are true for NaN.
    unfit = _mm_or_ps(unfit, _mm_cmpneq_ps(whole, value));
    unfit = _mm_or_ps(unfit, _mm_cmpnle_ps(_mm_andnot_ps(signBit, value), largest));
  }
  bool fits = _mm_movemask_ps(unfit) == 0;
  for (; i < count; ++i) {
    float value = 0;
    std::memcpy(&value, bytes + i * sizeof(float), sizeof value);
    value *= 16.0f;
    const bool inRange = value <= 16.0f * kLargestCell && value >= -16.0f * kLargestCell;
    fits = fits && inRange && value == static_cast<float>(static_cast<int32_t>(value));
  }
  return fits;
}

// The running sums of one row's pass, in sixteenths.
struct RowSums {
  __m128i cell;     // the cell of the pixel being quantised, complete
  __m128i partial;  // the next cell, short of this pixel's share
  // Cells x-1 .. x+2 of the row below, short of this pixel's shares.
  __m128i below0, below1, below2, below3;
};

// Quantises the pixel at `x`, stores its word (and alpha byte), spreads its
// error into the sums and stores the cells that are now complete.
template <uint32_t SourceBytes, uint32_t DestinationBytes, bool readsFourBytes>
inline void DitherPixelInSixteenths(const uint8_t* source, uint8_t* destination, uint32_t x,
                                    ErrorCell* current, ErrorCell* next, RowSums& sums) {
  const __m128i zero = _mm_setzero_si128();
  // 16 times the rounding half: 4.5 for the 5-bit fields, 2.5 for green.
  const __m128i roundingHalf = _mm_setr_epi32(72, 40, 72, 0);
  // From (adjusted + half) in sixteenths, shifted right by 2, these keep 4
  // times the value a level stands for: 32 per red or blue level, 16 per
  // green level.
  const __m128i levelMask = _mm_setr_epi32(~31, ~15, ~31, 0);
  const __m128i topLevel = _mm_setr_epi32(31 * 32, 63 * 16, 31 * 32, 0);
  // Puts the three levels into the word, 32 times over: red + green * 64 in
  // the first lane, blue * 2048 in the second.
  const __m128i wordWeights = _mm_setr_epi16(1, 64, 2048, 0, 0, 0, 0, 0);

  const __m128i ahead = LoadCell(current + x + 2);  // before the store below reaches it
  const __m128i colour = LoadColour<SourceBytes, readsFourBytes>(source);

  // Adjusted value plus the rounding half, clamped below at zero (the level
  // limits take care of the top), in sixteenths: the chain that the next
  // pixel waits for.
  __m128i level4 =
      _mm_add_epi32(_mm_add_epi32(_mm_slli_epi32(colour, 4), roundingHalf), sums.cell);
  level4 = _mm_max_epi16(level4, zero);  // lanes fit 16 bits: see kLargestCell
  level4 = _mm_min_epi16(_mm_and_si128(_mm_srai_epi32(level4, 2), levelMask), topLevel);
  sums.cell = _mm_sub_epi32(_mm_add_epi32(sums.partial, _mm_slli_epi32(colour, 2)), level4);

  // The error in whole units; its 2/32, 4/32 and 8/32 are 1, 2 and 4 times
  // it in sixteenths.
  const __m128i error = _mm_sub_epi32(colour, _mm_srai_epi32(level4, 2));
  const __m128i error2 = _mm_slli_epi32(error, 1);
  const __m128i error4 = _mm_slli_epi32(error, 2);
  sums.partial = _mm_add_epi32(ahead, error2);
  StoreCell(current + x + 1, sums.cell);

  StoreCell(next + x - 1, _mm_add_epi32(sums.below0, error));
  sums.below0 = _mm_add_epi32(sums.below1, error2);
  sums.below1 = _mm_add_epi32(sums.below2, error4);
  sums.below2 = _mm_add_epi32(sums.below3, error2);
  sums.below3 = error;

  __m128i word = _mm_madd_epi16(_mm_packs_epi32(level4, level4), wordWeights);
  word = _mm_add_epi32(word, _mm_shuffle_epi32(word, _MM_SHUFFLE(3, 2, 0, 1)));
  // Little-endian host: the word's low byte goes first, as the format wants.
  const auto packed = static_cast<uint16_t>(_mm_cvtsi128_si32(word) >> 5);
  std::memcpy(destination, &packed, 2);
  if constexpr (DestinationBytes == 3) destination[2] = source[3];
}

// The DitherRowFunction (dither_methods.h) from SourceBytes to
// DestinationBytes a pixel; exact when NextRowHoldsWholeSixteenths held
// before the rotation.
template <uint32_t SourceBytes, uint32_t DestinationBytes>
void DitherRowInSixteenths(const uint8_t* source, uint8_t* destination, uint32_t width,
                           bool bytePastRow, DitherState& state) {
  ErrorCell* const current = state.currentRow;
  ErrorCell* const next = state.nextRow;
  const __m128i zero = _mm_setzero_si128();
  RowSums sums = {LoadCell(current), LoadCell(current + 1), zero, zero, zero, zero};

  // Every pixel but the last has a byte after it; the last one only when
  // the row has more after it.
  const uint32_t fourByteReads = bytePastRow || width == 0 ? width : width - 1;
  uint32_t x = 0;
  for (; x < fourByteReads; ++x) {
    DitherPixelInSixteenths<SourceBytes, DestinationBytes, true>(
        source + static_cast<size_t>(x) * SourceBytes,
        destination + static_cast<size_t>(x) * DestinationBytes, x, current, next, sums);
  }
  if (x < width) {
    DitherPixelInSixteenths<SourceBytes, DestinationBytes, false>(
        source + static_cast<size_t>(x) * SourceBytes,
        destination + static_cast<size_t>(x) * DestinationBytes, x, current, next, sums);
  }

  StoreLastCell(current + width + 1, sums.partial);
  StoreCell(next + width - 1, sums.below0);
  StoreCell(next + width, sums.below1);
  StoreCell(next + width + 1, sums.below2);
  StoreLastCell(next + width + 2, sums.below3);
}

}  // namespace

const DitherRowPath kBurkesSixteenthsRows = {NextRowHoldsWholeSixteenths,
                                             DitherRowInSixteenths<3, 2>,
                                             DitherRowInSixteenths<4, 3>};

}  // namespace png2zeq
#endif
