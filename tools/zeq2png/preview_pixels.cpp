#include "zeq2png/preview_pixels.h"

#include <png.h>

#include <cstring>

namespace zeq2png {
namespace {

// The 8-bit samples of `pixelCount` pixels of `format` (`bytes` bytes each)
// from `in` to `out`. As zeq_format.h lays a pixel out: a little-endian
// number holding its channels from the lowest bits up (grey or red, green,
// blue, then alpha), each widened to 8 bits by repeating its top bits.
void WidenPixels(const png2zeq::ZeqFormatInfo& format, size_t bytes, const uint8_t* in,
                 uint8_t* out, size_t pixelCount) {
  const uint8_t channelBits[] = {format.grey, format.red, format.green, format.blue, format.alpha};
  for (size_t pixel = 0; pixel < pixelCount; ++pixel, in += bytes) {
    uint32_t value = 0;
    for (size_t byte = 0; byte < bytes; ++byte) value |= uint32_t{in[byte]} << (8 * byte);
    for (const uint8_t bits : channelBits) {
      if (bits == 0) continue;
      *out++ = ExpandLevel(bits, value & ((1u << bits) - 1));
      value >>= bits;
    }
  }
}

}  // namespace

void ExpandPixel565(const uint8_t* in, uint8_t* rgb) {
  const uint32_t word = static_cast<uint32_t>(in[0]) | static_cast<uint32_t>(in[1]) << 8;
  rgb[0] = ExpandLevel5(word & 0x1F);
  rgb[1] = ExpandLevel6(word >> 5 & 0x3F);
  rgb[2] = ExpandLevel5(word >> 11 & 0x1F);
}

ZeqResult MakePreview(const ZeqImage& image, PreviewImage* preview) {
  const png2zeq::ZeqFormatInfo* format = png2zeq::FindZeqFormat(image.header.pixelFormat);
  if (format == nullptr || image.format == nullptr) return ZeqResult::ZEQUnknownPixelFormat;
  // Only an image ParseZeq accepted holds the pixels its header describes.
  const size_t pixelCount = size_t{image.header.width} * image.header.height;
  const size_t bytes = zeq_bytes_per_pixel(image.format->code);
  if (image.pixels.data == nullptr || image.pixels.size != pixelCount * bytes) {
    return ZeqResult::ZEQRawLengthMismatch;
  }
  // Grey or RGB, with alpha when the format has it.
  const bool grey = format->grey != 0;
  const bool alpha = format->alpha != 0;
  preview->width = image.header.width;
  preview->height = image.header.height;
  preview->pngColourType = static_cast<uint8_t>((grey ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB) |
                                                (alpha ? PNG_COLOR_MASK_ALPHA : 0));
  preview->channels = (grey ? 1u : 3u) + (alpha ? 1u : 0u);
  if (!preview->samples.Allocate(pixelCount * preview->channels)) return ZeqResult::OutOfMemory;
  if (bytes == preview->channels) {  // 8 bits a channel: the samples already
    std::memcpy(preview->samples.data, image.pixels.data, preview->samples.size);
  } else {
    WidenPixels(*format, bytes, image.pixels.data, preview->samples.data, pixelCount);
  }
  return ZeqResult::OK;
}

}  // namespace zeq2png
