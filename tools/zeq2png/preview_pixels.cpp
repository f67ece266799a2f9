#include "zeq2png/preview_pixels.h"

#include <png.h>

#include <cstring>

namespace zeq2png {
namespace {

// Widens `pixelCount` pixels from `in` into `out`.
using PixelExpander = void (*)(const uint8_t* in, uint8_t* out, size_t pixelCount);

// 2-byte words to red, green, blue.
void ExpandRgb565(const uint8_t* in, uint8_t* out, size_t pixelCount) {
  for (size_t pixel = 0; pixel < pixelCount; ++pixel, in += 2, out += 3) ExpandPixel565(in, out);
}

// 2-byte word plus alpha byte to red, green, blue, alpha.
void ExpandRgba5658(const uint8_t* in, uint8_t* out, size_t pixelCount) {
  for (size_t pixel = 0; pixel < pixelCount; ++pixel, in += 3, out += 4) {
    ExpandPixel565(in, out);
    out[3] = in[2];
  }
}

struct PreviewLayout {
  uint32_t pixelFormat;
  uint8_t pngColourType;
  uint32_t channels;
  // Absent when the pixels already are 8-bit samples.
  PixelExpander expander;
};

// How each pixel format is shown. Bytes per pixel come from the shared
// format table; this table adds only what the preview needs.
constexpr PreviewLayout kPreviewLayouts[] = {
    {ZEQ_FORMAT_GREY8, PNG_COLOR_TYPE_GRAY, 1, nullptr},
    {ZEQ_FORMAT_GREYA88, PNG_COLOR_TYPE_GRAY_ALPHA, 2, nullptr},
    {ZEQ_FORMAT_RGB888, PNG_COLOR_TYPE_RGB, 3, nullptr},
    {ZEQ_FORMAT_RGBA8888, PNG_COLOR_TYPE_RGB_ALPHA, 4, nullptr},
    {ZEQ_FORMAT_RGB565, PNG_COLOR_TYPE_RGB, 3, ExpandRgb565},
    {ZEQ_FORMAT_RGBA5658, PNG_COLOR_TYPE_RGB_ALPHA, 4, ExpandRgba5658},
};

// The preview row of a format code, or nullptr for a code no file carries.
const PreviewLayout* FindPreviewLayout(uint32_t code) {
  for (const PreviewLayout& layout : kPreviewLayouts) {
    if (layout.pixelFormat == code) return &layout;
  }
  return nullptr;
}

}  // namespace

void ExpandPixel565(const uint8_t* in, uint8_t* rgb) {
  const uint32_t word = static_cast<uint32_t>(in[0]) | static_cast<uint32_t>(in[1]) << 8;
  rgb[0] = ExpandLevel5(word & 0x1F);
  rgb[1] = ExpandLevel6(word >> 5 & 0x3F);
  rgb[2] = ExpandLevel5(word >> 11 & 0x1F);
}

ZeqResult MakePreview(const ZeqImage& image, PreviewImage* preview) {
  const PreviewLayout* layout = FindPreviewLayout(image.header.pixelFormat);
  if (layout == nullptr || image.format == nullptr) return ZeqResult::ZEQUnknownPixelFormat;
  // Only an image ParseZeq accepted holds the pixels its header describes.
  const size_t pixelCount = size_t{image.header.width} * image.header.height;
  if (image.pixels.data == nullptr ||
      image.pixels.size != pixelCount * zeq_bytes_per_pixel(image.format->code)) {
    return ZeqResult::ZEQRawLengthMismatch;
  }
  preview->width = image.header.width;
  preview->height = image.header.height;
  preview->pngColourType = layout->pngColourType;
  preview->channels = layout->channels;
  if (!preview->samples.Allocate(pixelCount * layout->channels)) return ZeqResult::OutOfMemory;
  if (layout->expander == nullptr) {
    std::memcpy(preview->samples.data, image.pixels.data, preview->samples.size);
  } else {
    layout->expander(image.pixels.data, preview->samples.data, pixelCount);
  }
  return ZeqResult::OK;
}

}  // namespace zeq2png
