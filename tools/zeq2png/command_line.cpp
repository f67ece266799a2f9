#include "zeq2png/command_line.h"

#include <cstdio>

#include "common/options.h"
#include "common/version.h"
#include "zeq2png/panel.h"

namespace zeq2png {
namespace {

enum class OptionKind { Output, Info, Compare, Help, Codes, Verbose, Panel, Background };

struct OptionEntry {
  const char* name;
  OptionKind kind;
  bool takesValue;
};

// Option names after the '-' or '/' prefix, matched without regard to case.
constexpr OptionEntry kOptions[] = {
    {"o", OptionKind::Output, true},       {"output", OptionKind::Output, true},
    {"info", OptionKind::Info, false},     {"compare", OptionKind::Compare, true},
    {"h", OptionKind::Help, false},        {"?", OptionKind::Help, false},
    {"help", OptionKind::Help, false},     {"c", OptionKind::Codes, false},
    {"codes", OptionKind::Codes, false},   {"v", OptionKind::Verbose, false},
    {"verbose", OptionKind::Verbose, false}, {"panel", OptionKind::Panel, true},
    {"background", OptionKind::Background, true},
};

}  // namespace

ZeqResult ParseZeq2PngCommandLine(int argc, char** argv, Zeq2PngOptions* options) {
  options->inputPath = nullptr;
  options->outputPath = nullptr;
  options->comparePath = nullptr;
  options->panel = nullptr;
  options->hasBackground = false;
  options->background = 0;
  options->info = false;
  options->verbose = false;
  options->answeredInformationRequest = false;
  if (argc <= 1) return ZeqResult::MissingInputFile;

  const int last = argc - 1;
  for (int position = 1; position <= last; ++position) {
    const char* argument = argv[position];
    if (!png2zeq::IsOptionArgument(kOptions, argument, position == last)) {
      if (position != last) {
        std::printf("Parameter %d doesn't start with '-' or '/'.\n", position);
        return ZeqResult::InvalidParameters;
      }
      options->inputPath = argument;
      continue;
    }

    const OptionEntry* option = png2zeq::FindOption(kOptions, argument + 1);
    if (option == nullptr) continue;  // unknown options are passed over silently
    const char* value = nullptr;
    if (option->takesValue) {
      if (position == last) {
        std::printf("Parameter %s invalid.\n", argument);
        return ZeqResult::InvalidParameters;
      }
      value = argv[++position];  // taken whatever it starts with
    }
    switch (option->kind) {
      case OptionKind::Output:
        options->outputPath = value;
        break;
      case OptionKind::Compare:
        options->comparePath = value;
        break;
      case OptionKind::Panel:
        options->panel = FindPanelLayout(value);
        if (options->panel == nullptr) {
          std::printf("Parameter %s invalid.\n", argument);
          return ZeqResult::InvalidParameters;
        }
        break;
      case OptionKind::Background:
        options->hasBackground = ParseBackgroundColour(value, &options->background);
        if (!options->hasBackground) {
          std::printf("Parameter %s invalid.\n", argument);
          return ZeqResult::InvalidParameters;
        }
        break;
      case OptionKind::Info:
        options->info = true;
        break;
      case OptionKind::Help:
        PrintZeq2PngUsage(options->programPath);
        options->answeredInformationRequest = true;
        return ZeqResult::OK;
      case OptionKind::Codes:
        PrintZeqResultCodes();
        options->answeredInformationRequest = true;
        return ZeqResult::OK;
      case OptionKind::Verbose:
        options->verbose = true;
        break;
    }
  }
  return options->inputPath == nullptr ? ZeqResult::MissingInputFile : ZeqResult::OK;
}

void PrintZeq2PngBanner() {
  std::printf("\nzeq2png v%u.%u.0.0, the ZEQ image inspector of png2zeq\n", png2zeq::kVersionMajor,
              png2zeq::kVersionMinor);
}

void PrintZeq2PngUsage(const char* programPath) {
  PrintZeq2PngBanner();
  std::printf(
      "\nThis utility checks a ZEQ image and writes it as a PNG, as a device would show it.\n"
      "Usage:\n%s [-output preview.png] [-info] [-compare original.png] [-h|-?|-help] "
      "[-verbose] [-codes] input_file\n"
      " [] parameters are optional.\n"
      " -output:\n   Preview file name.  Defaults to input file name with .preview.png\n"
      "   replacing its extension.\n"
      " -info:\n   Display the header and the verdict on the file; write no PNG.\n"
      " -compare:\n   Display, per channel, the PSNR and the largest difference between the\n"
      "   preview and the PNG the ZEQ image was made from.\n"
      " -panel:\n   Write, instead of a PNG, the pixels as a panel in that layout takes them\n"
      "   (the layouts are in the manual page), by default to the input file name\n"
      "   with .layout.bin replacing its extension.\n"
      " -background:\n   Colour RRGGBB under pixels with alpha (000000 for -panel by default);\n"
      "   given without -panel, it makes the preview opaque.\n"
      " -h|?|help:\n   Display this help.\n"
      " -verbose:\n   Verbose, display messages.\n"
      " -codes:\n   Display return error codes.\n"
      "\nFor example, %s -compare \"file path/image.png\" \"file path/image.zeq\"\n"
      "Remember to enclose filenames that have spaces with quotes.\n\n",
      programPath, programPath);
}

}  // namespace zeq2png
