#include "pixels/pixel_format_table.h"

#include "pixels/transcoders.h"

namespace png2zeq {
namespace {

// The only depth the converter reduces to, RGB565's colour bits as -depth
// spells them; grey images keep 8 bits under it.
constexpr uint32_t kDepth565 = ZEQ_FORMAT_RGB565 & 0x0FFFu;

// Every (depth, colour type) pair the converter handles. No two entries
// share a pair, so the first match is the only one.
constexpr PixelFormatEntry PixelFormatTable[] = {
    {0, 0, ZEQ_FORMAT_GREY8, nullptr},
    {0, 4, ZEQ_FORMAT_GREYA88, nullptr},
    {0, 2, ZEQ_FORMAT_RGB888, nullptr},
    {0, 6, ZEQ_FORMAT_RGBA8888, nullptr},
    {kDepth565, 0, ZEQ_FORMAT_GREY8, nullptr},
    {kDepth565, 4, ZEQ_FORMAT_GREYA88, nullptr},
    {kDepth565, 2, ZEQ_FORMAT_RGB565, TransposeRgb888ToRgb565},
    {kDepth565, 6, ZEQ_FORMAT_RGBA5658, TransposeRgba8888ToRgba5658},
};

}  // namespace

const PixelFormatEntry* FindPixelFormat(uint32_t depth, uint8_t colourType) {
  for (const PixelFormatEntry& entry : PixelFormatTable) {
    if (entry.depth == depth && entry.colourType == colourType) return &entry;
  }
  return nullptr;
}

}  // namespace png2zeq
