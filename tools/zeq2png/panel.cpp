#include "zeq2png/panel.h"

#include <png.h>

#include <cctype>
#include <cstdio>
#include <cstring>

#include "common/options.h"

namespace zeq2png {
namespace {

// The 16-bit word of 8-bit channels narrowed by dropping low bits, `high`
// in bits 11-15, green in bits 5-10, `low` in bits 0-4.
uint32_t Word565(uint8_t high, uint8_t green, uint8_t low) {
  return static_cast<uint32_t>(high >> 3) << 11 | static_cast<uint32_t>(green >> 2) << 5 |
         static_cast<uint32_t>(low >> 3);
}

void PutLittleEndian16(uint32_t word, uint8_t* out) {
  out[0] = static_cast<uint8_t>(word);
  out[1] = static_cast<uint8_t>(word >> 8);
}

void PutBigEndian16(uint32_t word, uint8_t* out) {
  out[0] = static_cast<uint8_t>(word >> 8);
  out[1] = static_cast<uint8_t>(word);
}

void WriteRgb565(uint8_t red, uint8_t green, uint8_t blue, uint8_t /*alpha*/, uint8_t* out) {
  PutLittleEndian16(Word565(red, green, blue), out);
}

void WriteRgb565Be(uint8_t red, uint8_t green, uint8_t blue, uint8_t /*alpha*/, uint8_t* out) {
  PutBigEndian16(Word565(red, green, blue), out);
}

void WriteBgr565Be(uint8_t red, uint8_t green, uint8_t blue, uint8_t /*alpha*/, uint8_t* out) {
  PutBigEndian16(Word565(blue, green, red), out);
}

void WriteRgb888(uint8_t red, uint8_t green, uint8_t blue, uint8_t /*alpha*/, uint8_t* out) {
  out[0] = red;
  out[1] = green;
  out[2] = blue;
}

// The word alpha << 24 | red << 16 | green << 8 | blue, low byte first.
void WriteArgb8888(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha, uint8_t* out) {
  out[0] = blue;
  out[1] = green;
  out[2] = red;
  out[3] = alpha;
}

constexpr PanelLayout kRgb565{"rgb565", 2, WriteRgb565};
constexpr PanelLayout kRgb565Be{"rgb565be", 2, WriteRgb565Be};
constexpr PanelLayout kBgr565Be{"bgr565be", 2, WriteBgr565Be};
constexpr PanelLayout kRgb888{"rgb888", 3, WriteRgb888};
constexpr PanelLayout kArgb8888{"argb8888", 4, WriteArgb8888};
constexpr const PanelLayout* kAllLayouts[] = {&kRgb565, &kRgb565Be, &kBgr565Be, &kRgb888,
                                              &kArgb8888};

// Source channel `source` at alpha `alpha` over `under`, rounded to nearest.
uint8_t Blend(uint32_t source, uint32_t alpha, uint32_t under) {
  return static_cast<uint8_t>((source * alpha + under * (255 - alpha) + 127) / 255);
}

// Hands the first `pixelCount` pixels of `preview` to `take` as 8-bit red, green, blue and alpha
// (255 when it has none).
template <typename Take>
void ForEachPixel(const PreviewImage& preview, size_t pixelCount, Take take) {
  const uint32_t channels = preview.channels;
  const bool grey = channels <= 2;
  const bool hasAlpha = channels == 2 || channels == 4;
  const uint8_t* in = preview.samples.data;
  for (size_t pixel = 0; pixel < pixelCount; ++pixel, in += channels) {
    take(in[0], grey ? in[0] : in[1], grey ? in[0] : in[2], hasAlpha ? in[channels - 1] : 255);
  }
}

}  // namespace

const PanelLayout* const kPanelLayouts16[] = {&kRgb565, &kRgb565Be, &kBgr565Be, nullptr};

const PanelLayout* FindPanelLayout(const char* name) {
  for (const PanelLayout* layout : kAllLayouts) {
    if (png2zeq::EqualsIgnoringCase(name, layout->name)) return layout;
  }
  return nullptr;
}

bool ParseBackgroundColour(const char* text, uint32_t* colour) {
  if (std::strlen(text) != 6) return false;
  uint32_t value = 0;
  for (const char* digit = text; *digit != '\0'; ++digit) {
    if (std::isxdigit(static_cast<unsigned char>(*digit)) == 0) return false;
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(*digit)));
    value = value << 4 | static_cast<uint32_t>(lower <= '9' ? lower - '0' : lower - 'a' + 10);
  }
  *colour = value;
  return true;
}

void WritePanelPixels(const PreviewImage& preview, const PanelLayout& layout, uint32_t background,
                      size_t pixelCount, uint8_t* out) {
  // A layout with alpha keeps it; any other is blended, which leaves opaque pixels as they are.
  const bool keepsAlpha = &layout == &kArgb8888;
  ForEachPixel(preview, pixelCount, [&](uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha) {
    if (!keepsAlpha) {
      red = Blend(red, alpha, background >> 16 & 0xFF);
      green = Blend(green, alpha, background >> 8 & 0xFF);
      blue = Blend(blue, alpha, background & 0xFF);
    }
    layout.write(red, green, blue, alpha, out);
    out += layout.bytesPerPixel;
  });
}

ZeqResult MakePanelPixels(const PreviewImage& preview, const PanelLayout& layout,
                          uint32_t background, OwnedBlock* pixels) {
  const size_t pixelCount = size_t{preview.width} * preview.height;
  if (!pixels->Allocate(pixelCount * layout.bytesPerPixel)) return ZeqResult::OutOfMemory;
  WritePanelPixels(preview, layout, background, pixelCount, pixels->data);
  return ZeqResult::OK;
}

ZeqResult FlattenPreview(uint32_t background, PreviewImage* preview) {
  if (preview->channels != 2 && preview->channels != 4) return ZeqResult::OK;
  OwnedBlock opaque;
  const ZeqResult made = MakePanelPixels(*preview, kRgb888, background, &opaque);
  if (made != ZeqResult::OK) return made;
  const size_t size = opaque.size;
  preview->samples.Adopt(opaque.Detach(), size);
  preview->channels = 3;
  preview->pngColourType = PNG_COLOR_TYPE_RGB;
  return ZeqResult::OK;
}

void PrintFirstPanelPixels(const PreviewImage& preview, uint32_t background) {
  constexpr size_t kShown = 4;
  const size_t pixelCount = size_t{preview.width} * preview.height;
  const size_t shown = pixelCount < kShown ? pixelCount : kShown;
  for (const PanelLayout* const* layout = kPanelLayouts16; *layout != nullptr; ++layout) {
    uint8_t bytes[kShown * 2];
    WritePanelPixels(preview, **layout, background, shown, bytes);
    std::printf("First pixels %-9s", (*layout)->name);
    for (size_t i = 0; i < shown * 2; ++i) std::printf(" %02X", bytes[i]);
    std::printf("\n");
  }
}

}  // namespace zeq2png
