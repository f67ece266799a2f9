// Draws three user-interface-like PNG images for bench/best_sizes.sh, the
// kind of artwork a device shows besides photographs: smooth gradients, flat
// buttons with icons, and anti-aliased text on a translucent panel. Each is
// drawn from code, so the measurement needs no image files of its own.
//
// Usage: ui_images OUTPUT_DIRECTORY
// Writes ui-gradients.png (RGB, 1024 x 768), ui-buttons.png (RGB, 800 x 480)
// and ui-text-alpha.png (RGBA, 480 x 272); exits 1 when one cannot be written.

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Colour {
  int red;
  int green;
  int blue;
  int alpha = 255;
};

// An image of 8-bit samples, 3 or 4 per pixel, drawn on in place.
struct Canvas {
  int width;
  int height;
  int channels;
  std::vector<uint8_t> samples;

  Canvas(int w, int h, int c) : width(w), height(h), channels(c), samples(size_t(w) * h * c) {}

  // Blends `colour` over the pixel with `coverage` (0..1) of its alpha.
  void Blend(int x, int y, Colour colour, double coverage = 1.0) {
    if (x < 0 || y < 0 || x >= width || y >= height) return;
    uint8_t* pixel = &samples[(size_t(y) * width + x) * channels];
    const double a = colour.alpha / 255.0 * std::clamp(coverage, 0.0, 1.0);
    const int values[3] = {colour.red, colour.green, colour.blue};
    if (channels == 3) {
      for (int c = 0; c < 3; ++c) {
        pixel[c] = uint8_t(std::lround(pixel[c] * (1 - a) + values[c] * a));
      }
      return;
    }
    // Straight (not premultiplied) alpha, "over" operator.
    const double below = pixel[3] / 255.0;
    const double out = a + below * (1 - a);
    for (int c = 0; c < 3; ++c) {
      const double mixed = out > 0 ? (values[c] * a + pixel[c] * below * (1 - a)) / out : 0;
      pixel[c] = uint8_t(std::lround(mixed));
    }
    pixel[3] = uint8_t(std::lround(out * 255));
  }

  void FillRect(int x0, int y0, int w, int h, Colour colour) {
    for (int y = y0; y < y0 + h; ++y)
      for (int x = x0; x < x0 + w; ++x) Blend(x, y, colour);
  }

  // A rectangle with rounded corners whose edge is anti-aliased.
  void FillRoundRect(int x0, int y0, int w, int h, double radius, Colour colour) {
    for (int y = y0; y < y0 + h; ++y) {
      for (int x = x0; x < x0 + w; ++x) {
        const double dx = std::max({x0 + radius - (x + 0.5), x + 0.5 - (x0 + w - radius), 0.0});
        const double dy = std::max({y0 + radius - (y + 0.5), y + 0.5 - (y0 + h - radius), 0.0});
        Blend(x, y, colour, radius - std::hypot(dx, dy) + 0.5);
      }
    }
  }

  void FillCircle(double cx, double cy, double r, Colour colour) {
    for (int y = int(cy - r) - 1; y <= int(cy + r) + 1; ++y)
      for (int x = int(cx - r) - 1; x <= int(cx + r) + 1; ++x)
        Blend(x, y, colour, r - std::hypot(x + 0.5 - cx, y + 0.5 - cy) + 0.5);
  }
};

int Mix(int from, int to, double t) { return int(std::lround(from + (to - from) * t)); }

Colour MixColour(Colour from, Colour to, double t) {
  return {Mix(from.red, to.red, t), Mix(from.green, to.green, t), Mix(from.blue, to.blue, t),
          Mix(from.alpha, to.alpha, t)};
}

// A made-up 5 x 7 glyph for `code`: a stem and a few strokes chosen by a
// hash, so lines of them read like text without needing a font.
bool GlyphDot(unsigned code, int column, int row) {
  const unsigned hash = (code * 2654435761u) >> 7;
  if (column == (hash & 1 ? 0 : 4)) return row > int(hash >> 1 & 1);  // stem
  if (row == 6 || row == 3 || row == 0) return (hash >> (2 + row / 3)) & 1;  // bars
  return column == 2 && (hash >> 5 & 1);                                 // middle
}

// Draws a line of pseudo-words from `seed`, `scale` pixels per glyph dot,
// anti-aliased by 4 x 4 supersampling; returns the x after the last glyph.
int DrawText(Canvas& canvas, int x, int y, unsigned seed, int glyphs, int scale, Colour colour) {
  for (int i = 0; i < glyphs; ++i) {
    seed = seed * 1103515245u + 12345u;
    const unsigned code = seed >> 16 & 63;
    if (code < 10) {  // a space between words
      x += 4 * scale;
      continue;
    }
    for (int py = 0; py < 8 * scale; ++py) {
      for (int px = 0; px < 6 * scale; ++px) {
        int hits = 0;
        for (int sy = 0; sy < 4; ++sy) {
          for (int sx = 0; sx < 4; ++sx) {
            // Glyph space with a slight slant, as a proportional font would.
            const double gy = (py + (sy + 0.5) / 4) / scale;
            const double gx = (px + (sx + 0.5) / 4) / scale - 0.6 + gy * 0.1;
            if (gx >= 0 && gx < 5 && gy < 7 && GlyphDot(code, int(gx), int(gy))) ++hits;
          }
        }
        if (hits > 0) canvas.Blend(x + px, y + py, colour, hits / 16.0);
      }
    }
    x += 6 * scale;
  }
  return x;
}

Canvas Gradients() {
  Canvas canvas(1024, 768, 3);
  const Colour top{18, 32, 64};
  const Colour bottom{70, 110, 170};
  for (int y = 0; y < 768; ++y) canvas.FillRect(0, y, 1024, 1, MixColour(top, bottom, y / 767.0));
  for (int x = 0; x < 1024; ++x)  // title bar, shaded left to right
    canvas.FillRect(x, 0, 1, 56, MixColour({40, 40, 48}, {90, 96, 110}, x / 1023.0));
  DrawText(canvas, 24, 16, 7, 18, 3, {235, 235, 240});
  // Diagonal sheen across a panel.
  for (int y = 96; y < 416; ++y)
    for (int x = 48; x < 560; ++x)
      canvas.Blend(x, y, MixColour({230, 120, 40}, {250, 210, 90}, (x - 48 + y - 96) / 831.0));
  // Progress bars of different lengths.
  for (int bar = 0; bar < 5; ++bar) {
    const int y = 460 + bar * 56;
    canvas.FillRoundRect(48, y, 512, 28, 14, {30, 34, 44});
    const int length = 120 + bar * 90;
    for (int x = 0; x < length; ++x)
      canvas.FillRect(50 + x, y + 2, 1, 24, MixColour({60, 200, 120}, {40, 140, 230}, x / 511.0));
  }
  // A radial knob and a ring.
  for (int y = 120; y < 400; ++y) {
    for (int x = 620; x < 960; ++x) {
      const double d = std::hypot(x - 790.0, y - 260.0) / 140.0;
      if (d < 1) canvas.Blend(x, y, MixColour({250, 250, 255}, {80, 90, 120}, d), (1 - d) * 40);
    }
  }
  canvas.FillCircle(790, 600, 110, {20, 24, 30});
  canvas.FillCircle(790, 600, 90, {60, 70, 90});
  return canvas;
}

Canvas Buttons() {
  Canvas canvas(800, 480, 3);
  canvas.FillRect(0, 0, 800, 480, {236, 238, 242});
  canvas.FillRect(0, 0, 800, 48, {32, 96, 176});
  DrawText(canvas, 16, 12, 3, 14, 3, {255, 255, 255});
  const Colour fills[] = {{52, 152, 219}, {46, 204, 113}, {231, 76, 60}, {241, 196, 15},
                          {155, 89, 182}, {52, 73, 94}};
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 4; ++column) {
      const int index = row * 4 + column;
      const int x = 24 + column * 192;
      const int y = 72 + row * 136;
      const Colour fill = fills[index % 6];
      canvas.FillRoundRect(x, y, 176, 120, 10, {200, 204, 210});  // border
      canvas.FillRoundRect(x + 2, y + 2, 172, 116, 8, fill);
      canvas.FillRect(x + 10, y + 3, 156, 1, MixColour(fill, {255, 255, 255, 255}, 0.4));
      // An icon: a circle, a square or a triangle.
      const Colour white{255, 255, 255};
      if (index % 3 == 0) canvas.FillCircle(x + 88, y + 46, 22, white);
      if (index % 3 == 1) canvas.FillRect(x + 68, y + 26, 40, 40, white);
      if (index % 3 == 2) {
        for (int t = 0; t < 40; ++t) canvas.FillRect(x + 88 - t / 2, y + 26 + t, t + 1, 1, white);
      }
      DrawText(canvas, x + 40, y + 84, 100 + index, 8, 2, white);
    }
  }
  return canvas;
}

Canvas TextWithAlpha() {
  Canvas canvas(480, 272, 4);  // starts fully transparent
  canvas.FillRoundRect(8, 8, 464, 256, 16, {16, 20, 28, 200});
  canvas.FillRoundRect(8, 8, 464, 40, 16, {40, 120, 200, 230});
  DrawText(canvas, 24, 18, 11, 16, 2, {255, 255, 255});
  for (int line = 0; line < 10; ++line)
    DrawText(canvas, 24, 60 + line * 20, 500 + line * 31, 28 + line % 3 * 3, 2, {220, 224, 230});
  canvas.FillCircle(440, 236, 14, {250, 180, 40, 255});
  return canvas;
}

bool Write(const Canvas& canvas, const std::string& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = png_uint_32(canvas.width);
  image.height = png_uint_32(canvas.height);
  image.format = canvas.channels == 4 ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  if (png_image_write_to_file(&image, path.c_str(), 0, canvas.samples.data(), 0, nullptr) == 0) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(), image.message);
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_DIRECTORY\n", argv[0]);
    return 2;
  }
  const std::string directory = argv[1];
  const bool written = Write(Gradients(), directory + "/ui-gradients.png") &&
                       Write(Buttons(), directory + "/ui-buttons.png") &&
                       Write(TextWithAlpha(), directory + "/ui-text-alpha.png");
  return written ? 0 : 1;
}
