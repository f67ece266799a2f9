#pragma once
// zeq2png's command line, read by the converter's conventions: options start
// with '-' or '/', names match without regard to case, the input path is the
// last argument.

#include "zeq2png/zeq_result.h"

namespace zeq2png {

struct PanelLayout;

struct Zeq2PngOptions {
  const char* programPath = nullptr;
  // These point into the argument vector; absent until given.
  const char* inputPath = nullptr;
  const char* outputPath = nullptr;
  const char* comparePath = nullptr;
  // -panel: the layout written instead of a PNG; absent until given.
  const PanelLayout* panel = nullptr;
  // -background: 0xRRGGBB under pixels with alpha (the preview then opaque).
  bool hasBackground = false;
  uint32_t background = 0;
  bool info = false;
  bool verbose = false;
  // Set when -help or -codes was answered: the run ends there with status 0.
  bool answeredInformationRequest = false;
};

// Fills `options` (all but programPath) from the argument vector (argv[0]
// is the program). Returns OK, InvalidParameters or MissingInputFile,
// printing the one message that explains a failure. After -help or -codes
// it prints the answer, sets `answeredInformationRequest` and returns OK
// without looking further.
ZeqResult ParseZeq2PngCommandLine(int argc, char** argv, Zeq2PngOptions* options);

// Prints the usage text naming `programPath`.
void PrintZeq2PngUsage(const char* programPath);

// Prints the one-line banner that -verbose shows ahead of a run.
void PrintZeq2PngBanner();

}  // namespace zeq2png
