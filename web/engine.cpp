// The page's engine, called from its Worker: the converter's and zeq2png's
// own runs on files in the module's in-memory file system, so that the page
// gives the command line's bytes, texts and result codes, and the device
// loader's decode of a ZEQ file into RGBA samples for a canvas.

#include <emscripten/emscripten.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli/run.h"
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
  for (size_t i = 0; i < count; ++i, out += 4) {
    out[3] = 255;
    switch (format) {
      case ZEQ_FORMAT_GREY8: out[0] = out[1] = out[2] = *in++; break;
      case ZEQ_FORMAT_GREYA88: out[0] = out[1] = out[2] = *in++; out[3] = *in++; break;
      case ZEQ_FORMAT_RGB888: memcpy(out, in, 3); in += 3; break;
      case ZEQ_FORMAT_RGBA8888: memcpy(out, in, 4); in += 4; break;
      case ZEQ_FORMAT_RGB565: zeq2png::ExpandPixel565(in, out); in += 2; break;
      default: zeq2png::ExpandPixel565(in, out); out[3] = in[2]; in += 3; break;  // RGBA5658
    }
  }
}

}  // namespace

extern "C" {

// png2zeq with the newline-separated `arguments`; returns its exit status.
EMSCRIPTEN_KEEPALIVE int web_png2zeq(const char* arguments) {
  return RunWithArguments(png2zeq::RunConverter, "png2zeq", arguments);
}

// zeq2png with the newline-separated `arguments`; returns its exit status.
EMSCRIPTEN_KEEPALIVE int web_zeq2png(const char* arguments) {
  return RunWithArguments(zeq2png::RunZeq2Png, "zeq2png", arguments);
}

// Decodes the ZEQ file at `file` (`size` bytes) with the device loader's
// zeq_decode and returns width x height RGBA samples in a block the caller
// frees, or null; `status` receives the loader's status (ZEQ_OK, or
// ZEQ_E_PIXELS_TOO_SMALL when memory ran out) and `info` its header.
EMSCRIPTEN_KEEPALIVE uint8_t* web_decode_rgba(const uint8_t* file, size_t size, zeq_status* status,
                                              zeq_info* info) {
  *status = zeq_parse_header(file, size, info);
  if (*status != ZEQ_OK) return nullptr;
  const size_t workspaceSize = zeq_workspace_size(info, 0);
  void* workspace = malloc(workspaceSize);
  auto* pixels = static_cast<uint8_t*>(malloc(info->raw_length));
  const size_t count = static_cast<size_t>(info->width) * info->height;
  auto* rgba = static_cast<uint8_t*>(malloc(count * 4));
  *status = ZEQ_E_PIXELS_TOO_SMALL;
  if (workspace != nullptr && pixels != nullptr && rgba != nullptr) {
    *status = zeq_decode(file, size, pixels, info->raw_length, workspace, workspaceSize);
  }
  if (*status == ZEQ_OK) WidenToRgba(info->pixel_format, pixels, rgba, count);
  free(workspace);
  free(pixels);
  if (*status == ZEQ_OK) return rgba;
  free(rgba);
  return nullptr;
}

}  // extern "C"
