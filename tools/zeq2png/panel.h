#pragma once
// The pixels a display takes: a preview's 8-bit samples written in a panel's
// own layout (RGB565 either byte order, BGR565, RGB888, ARGB8888), pixels
// with alpha blended over a background colour. Written from the rules the
// device loader follows, not from its code, so each checks the other.

#include <cstddef>
#include <cstdint>

#include "zeq2png/owned_block.h"
#include "zeq2png/preview_pixels.h"
#include "zeq2png/zeq_result.h"

namespace zeq2png {

struct PanelLayout {
  const char* name;  // as -panel takes it, and in the default output name
  uint32_t bytesPerPixel;
  // Writes the pixel of 8-bit `red`, `green`, `blue` and `alpha` at `out`.
  void (*write)(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha, uint8_t* out);
};

// The layout named `name` (matched without regard to case), or nullptr.
const PanelLayout* FindPanelLayout(const char* name);

// The 16-bit layouts, for the first pixels -info shows; ends with nullptr.
extern const PanelLayout* const kPanelLayouts16[];

// Reads "RRGGBB" (six hexadecimal digits, nothing else) into `colour` as
// 0xRRGGBB. Returns false, leaving `colour` alone, for anything else.
bool ParseBackgroundColour(const char* text, uint32_t* colour);

// Writes the first `pixelCount` pixels of `preview` in `layout` to `out`
// (pixelCount x bytesPerPixel bytes). Pixels with alpha are blended over
// `background` (0xRRGGBB) in 8 bits per channel unless the layout keeps
// alpha; grey becomes red = green = blue.
void WritePanelPixels(const PreviewImage& preview, const PanelLayout& layout, uint32_t background,
                      size_t pixelCount, uint8_t* out);

// Fills `pixels` with the whole of `preview` in `layout`. Returns OK or
// OutOfMemory.
ZeqResult MakePanelPixels(const PreviewImage& preview, const PanelLayout& layout,
                          uint32_t background, OwnedBlock* pixels);

// Makes `preview` opaque, as a panel shows it: samples with alpha become
// RGB blended over `background`; opaque ones stay. Returns OK or OutOfMemory.
ZeqResult FlattenPreview(uint32_t background, PreviewImage* preview);

// Prints the first four pixels of `preview` (fewer in a smaller image) in
// each 16-bit layout as hex bytes, over `background`: what the panel's bus
// carries first.
void PrintFirstPanelPixels(const PreviewImage& preview, uint32_t background);

}  // namespace zeq2png
