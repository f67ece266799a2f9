#include "pixels/pixel_format_table.h"

#include "pixels/transcoders.h"

namespace png2zeq {
namespace {

// The only depth the converter reduces to; grey images keep 8 bits under it.
constexpr uint32_t kDepth565 = 0x565;

// Every (depth, colour type) pair the converter handles. No two entries
// share a pair, so the first match is the only one.
constexpr PixelFormatEntry PixelFormatTable[] = {
    {0, 0, 1, kFormatGrey8, nullptr, "No transpose"},
    {0, 4, 2, kFormatGreyAlpha88, nullptr, "No transpose"},
    {0, 2, 3, kFormatRgb888, nullptr, "No transpose"},
    {0, 6, 4, kFormatRgba8888, nullptr, "No transpose"},
    {kDepth565, 0, 1, kFormatGrey8, nullptr, "No transpose"},
    {kDepth565, 4, 2, kFormatGreyAlpha88, nullptr, "No transpose"},
    {kDepth565, 2, 2, kFormatRgb565, TransposeRgb888ToRgb565, "Transposing RGB888 to RGB565"},
    {kDepth565, 6, 3, kFormatRgba5658, TransposeRgba8888ToRgba5658,
     "Transposing RGBA8888 to RGBA5658"},
};

}  // namespace

const PixelFormatEntry* FindPixelFormat(uint32_t depth, uint8_t colourType) {
  for (const PixelFormatEntry& entry : PixelFormatTable) {
    if (entry.depth == depth && entry.colourType == colourType) return &entry;
  }
  return nullptr;
}

}  // namespace png2zeq
