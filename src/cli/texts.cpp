#include "cli/texts.h"

#include <cstdio>

#include "job/error_code.h"

namespace png2zeq {

// The converter's title is a fixed text, like the rest of its -help text: it
// keeps "v0.2.0.0" whatever the project's version (zeq2png reports that).
void PrintBanner() {
  std::printf(
      "\nkOMPACTaRRAYvIEW Maker v0.2.0.0\n"
      "    Written by the png2zeq contributors\n"
      "  https://png2zeq.example.org/\n");
}

void PrintUsage(const char* programPath) {
  PrintBanner();
  std::printf(
      "\nThis utility converts a PNG image to a ZEQ image.\nUsage:\n%s [-depth {565}] "
      "[-uncompressed] [-output output_file] [-h|-?|-help] [-verbose] [-codes] input_file\n"
      " [] parameters are optional.\n {} either of these parameters is required.\n"
      " -depth:\n   RGB pixel depth.  Alpha channel remains at 8bits if present.  Defaults\n"
      "   to RGB888/RGBA8888.\n -dither:\n   Apply Burke's dithering.\n -uncompressed:\n"
      "   Don't deflate, uses more storage but initial image display will be faster.\n"
      " -output:\n   Output file name.  Defaults to input file name with .zeq extension.\n"
      " -h|?|help:\n   Display this help.\n -verbose:\n   Verbose, display messages.\n"
      " -codes:\n   Display return error codes.\n\nFor example, %s -depth 565 "
      "\"file path/image.png\"\nRemember to enclose filenames that have spaces with quotes.\n\n",
      programPath, programPath);
}

void PrintErrorCodes() {
  std::printf("Error codes:\nValue  Description\n");
  for (const ErrorCodeEntry& entry : kErrorCodes) {
    std::printf(" %3u   %s\n", static_cast<unsigned>(entry.code), entry.name);
  }
}

}  // namespace png2zeq
