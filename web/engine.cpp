// The page's engine, called from its Worker: the converter's and zeq2png's
// own runs on files in the module's in-memory file system, so that the page
// gives the command line's bytes, texts and result codes; the device loader's
// decode of a ZEQ file in a panel's layout (and as RGBA for a canvas); the
// converter's own decode of a PNG (the samples it reads, with no colour
// correction); and the loader's header fields, so that no script reads
// offsets.

#include <emscripten/emscripten.h>
#include <png.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli/run.h"
#include "common/heap.h"
#include "common/zeq_format.h"
#include "png/png_decoder.h"
#include "zeq2png/preview_pixels.h"
#include "zeq2png/run.h"
#include "zeq_loader.h"

namespace {

constexpr int kMaxArguments = 16;

// Runs `tool` with `program` as argv[0] followed by the lines of `arguments`
// (one argument per line, at most kMaxArguments - 1); returns the tool's exit
// status, with everything it printed flushed to the page.
int RunWithArguments(int (*tool)(int, char**), const char* program, const char* arguments) {
  char* copy = strdup(arguments);
  if (copy == nullptr) return 8;  // OutOfMemory, as the tools number it
  char* argv[kMaxArguments + 1] = {const_cast<char*>(program)};
  int argc = 1;
  for (char* line = copy; *line != '\0' && argc < kMaxArguments;) {
    argv[argc++] = line;
    char* end = strchr(line, '\n');
    if (end == nullptr) break;
    *end = '\0';
    line = end + 1;
  }
  argv[argc] = nullptr;
  const int status = tool(argc, argv);
  fflush(stdout);
  fflush(stderr);
  free(copy);
  return status;
}

// Widens `count` pixels of `format` at `in` to RGBA at `out`, as zeq2png's
// preview shows them (grey repeated into red, green and blue; alpha 255 when
// the format has none).
void WidenToRgba(uint32_t format, const uint8_t* in, uint8_t* out, size_t count) {
  // One loop per format, so that no pixel decides it again (a third of the
  // time for a photograph).
  const uint8_t* const end = out + count * 4;
  switch (format) {
    case ZEQ_FORMAT_GREY8:
      for (; out != end; out += 4, in += 1) {
        out[0] = out[1] = out[2] = in[0];
        out[3] = 255;
      }
      break;
    case ZEQ_FORMAT_GREYA88:
      for (; out != end; out += 4, in += 2) {
        out[0] = out[1] = out[2] = in[0];
        out[3] = in[1];
      }
      break;
    case ZEQ_FORMAT_RGB888:
      for (; out != end; out += 4, in += 3) {
        memcpy(out, in, 3);
        out[3] = 255;
      }
      break;
    case ZEQ_FORMAT_RGBA8888: memcpy(out, in, count * 4); break;
    case ZEQ_FORMAT_RGB565:
      for (; out != end; out += 4, in += 2) {
        zeq2png::ExpandPixel565(in, out);
        out[3] = 255;
      }
      break;
    default:  // RGBA5658
      for (; out != end; out += 4, in += 3) {
        zeq2png::ExpandPixel565(in, out);
        out[3] = in[2];
      }
      break;
  }
}

// Reads a 16-bit word from `in`, low byte first or (with `bigEndian`) high
// byte first.
uint32_t Word16(const uint8_t* in, bool bigEndian) {
  return bigEndian ? uint32_t{in[0]} << 8 | in[1] : uint32_t{in[1]} << 8 | in[0];
}

// Writes the 565 word `word` at `out` as RGBA, `high` (0 red, 2 blue) from
// its top five bits.
void Expand565Word(uint32_t word, size_t high, uint8_t* out) {
  out[high] = zeq2png::ExpandLevel5(word >> 11);
  out[1] = zeq2png::ExpandLevel6(word >> 5 & 0x3F);
  out[2 - high] = zeq2png::ExpandLevel5(word & 0x1F);
  out[3] = 255;
}

// Widens `count` pixels that zeq_decode_to wrote in `layout` from a file of
// `format` to RGBA at `out`: what the panel shows, alpha kept only where the
// layout keeps it.
void LayoutToRgba(uint32_t layout, uint32_t format, const uint8_t* in, uint8_t* out, size_t count) {
  if (layout == ZEQ_LAYOUT_STORED) {
    WidenToRgba(format, in, out, count);
    return;
  }
  for (size_t i = 0; i < count; ++i, out += 4) {
    switch (layout) {
      case ZEQ_LAYOUT_RGB565: Expand565Word(Word16(in, false), 0, out); in += 2; break;
      case ZEQ_LAYOUT_RGB565_BE: Expand565Word(Word16(in, true), 0, out); in += 2; break;
      case ZEQ_LAYOUT_BGR565_BE: Expand565Word(Word16(in, true), 2, out); in += 2; break;
      case ZEQ_LAYOUT_RGB888: memcpy(out, in, 3); out[3] = 255; in += 3; break;
      default:  // ARGB8888: the word's bytes B, G, R, A
        out[0] = in[2]; out[1] = in[1]; out[2] = in[0]; out[3] = in[3]; in += 4; break;
    }
  }
}

struct LayoutName {
  const char* name;  // as the page's layout list and zeq2png -panel name it
  uint32_t layout;
};
constexpr LayoutName kLayoutNames[] = {
    {"stored", ZEQ_LAYOUT_STORED},     {"rgb565", ZEQ_LAYOUT_RGB565}, {"rgb565be", ZEQ_LAYOUT_RGB565_BE},
    {"bgr565be", ZEQ_LAYOUT_BGR565_BE}, {"rgb888", ZEQ_LAYOUT_RGB888}, {"argb8888", ZEQ_LAYOUT_ARGB8888},
};

// The loader's layout named `name`; an unknown name gives a layout the
// loader refuses (ZEQ_E_BAD_CALL).
uint32_t LayoutNamed(const char* name) {
  for (const LayoutName& entry : kLayoutNames) {
    if (strcmp(entry.name, name) == 0) return entry.layout;
  }
  return UINT32_MAX;
}

// The ZEQ format whose samples are laid out as the decoded PNG colour type.
uint32_t FormatOfColourType(uint8_t colourType) {
  switch (colourType) {
    case PNG_COLOR_TYPE_GRAY: return ZEQ_FORMAT_GREY8;
    case PNG_COLOR_TYPE_GRAY_ALPHA: return ZEQ_FORMAT_GREYA88;
    case PNG_COLOR_TYPE_RGB: return ZEQ_FORMAT_RGB888;
    default: return ZEQ_FORMAT_RGBA8888;
  }
}

}  // namespace

extern "C" {

// The loader's header record, for the Worker to allocate and read through
// the accessors below.
EMSCRIPTEN_KEEPALIVE size_t web_info_size() { return sizeof(zeq_info); }

// zeq_parse_header on the ZEQ file at `file` (`size` bytes): fills `info`,
// returns the loader's status.
EMSCRIPTEN_KEEPALIVE zeq_status web_parse_header(const uint8_t* file, size_t size, zeq_info* info) {
  return zeq_parse_header(file, size, info);
}

// One accessor per field of zeq_info, named after it (web_info_width, ...).
#define WEB_INFO_FIELD(field) \
  EMSCRIPTEN_KEEPALIVE uint32_t web_info_##field(const zeq_info* info) { return info->field; }
WEB_INFO_FIELD(pixel_format)
WEB_INFO_FIELD(width)
WEB_INFO_FIELD(height)
WEB_INFO_FIELD(raw_length)
WEB_INFO_FIELD(compressed_length)
WEB_INFO_FIELD(window_bits)
#undef WEB_INFO_FIELD

// The name of the pixel format `code` in the tools' messages, or "unknown".
EMSCRIPTEN_KEEPALIVE const char* web_format_name(uint32_t code) {
  const png2zeq::ZeqFormatInfo* format = png2zeq::FindZeqFormat(code);
  return format != nullptr ? format->name : "unknown";
}

// The largest width and height the converter and the loader take.
EMSCRIPTEN_KEEPALIVE uint32_t web_max_width() { return ZEQ_MAX_WIDTH; }
EMSCRIPTEN_KEEPALIVE uint32_t web_max_height() { return ZEQ_MAX_HEIGHT; }

// png2zeq with the newline-separated `arguments`; returns its exit status.
EMSCRIPTEN_KEEPALIVE int web_png2zeq(const char* arguments) {
  return RunWithArguments(png2zeq::RunConverter, "png2zeq", arguments);
}

// zeq2png with the newline-separated `arguments`; returns its exit status.
EMSCRIPTEN_KEEPALIVE int web_zeq2png(const char* arguments) {
  return RunWithArguments(zeq2png::RunZeq2Png, "zeq2png", arguments);
}

// Decodes the ZEQ file at `file` (`size` bytes) with the device loader's
// zeq_decode_to in the layout named `layoutName` ("stored", "rgb565", ...) over `background` (0xRRGGBB).
// Returns the panel's bytes in a block the caller frees (`*panelSize`
// bytes), or null; `*rgba` receives width x height RGBA samples of what the
// panel shows, in another block the caller frees. `status` receives the
// loader's status (ZEQ_E_PIXELS_TOO_SMALL when memory ran out) and `info`
// the header.
EMSCRIPTEN_KEEPALIVE uint8_t* web_decode_to(const uint8_t* file, size_t size, const char* layoutName,
                                            uint32_t background, zeq_status* status, zeq_info* info,
                                            size_t* panelSize, uint8_t** rgba) {
  *rgba = nullptr;
  const uint32_t layout = LayoutNamed(layoutName);
  *status = zeq_parse_header(file, size, info);
  if (*status != ZEQ_OK) return nullptr;
  const zeq_output output = {layout, background, 0};
  const size_t workspaceSize = zeq_output_workspace_size(info, 0, &output);
  const size_t count = static_cast<size_t>(info->width) * info->height;
  *panelSize = count * zeq_layout_bytes_per_pixel(info, layout);
  void* workspace = malloc(workspaceSize);
  auto* pixels = static_cast<uint8_t*>(malloc(*panelSize));
  *rgba = static_cast<uint8_t*>(malloc(count * 4));
  *status = ZEQ_E_PIXELS_TOO_SMALL;
  if (workspace != nullptr && pixels != nullptr && *rgba != nullptr) {
    *status = zeq_decode_to(file, size, &output, pixels, *panelSize, workspace, workspaceSize);
  }
  free(workspace);
  if (*status == ZEQ_OK) {
    LayoutToRgba(layout, info->pixel_format, pixels, *rgba, count);
    return pixels;
  }
  free(pixels);
  free(*rgba);
  *rgba = nullptr;
  return nullptr;
}

// Decodes the PNG file at `path` with the converter's own decoder (the
// samples it converts: no gamma or colour correction, tRNS ignored) and
// returns them as width x height RGBA in a block the caller frees, or null
// for a file the converter refuses; `width` and `height` receive its size.
EMSCRIPTEN_KEEPALIVE uint8_t* web_decode_png(const char* path, uint32_t* width, uint32_t* height) {
  png2zeq::PngImage image{};
  if (png2zeq::DecodePng(path, false, &image) != png2zeq::PngDecodeResult::OK) return nullptr;
  const size_t count = static_cast<size_t>(image.width) * image.height;
  auto* rgba = static_cast<uint8_t*>(malloc(count * 4));
  if (rgba != nullptr) WidenToRgba(FormatOfColourType(image.colourType), image.samples, rgba, count);
  png2zeq::FreeBlock(image.samples);
  *width = image.width;
  *height = image.height;
  return rgba;
}

}  // extern "C"
