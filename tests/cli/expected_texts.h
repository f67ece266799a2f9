#pragma once
// The exact texts the converter prints about its command line, as the
// process tests expect them.

#include <gtest/gtest.h>

#include <string>

#include "support/zeq_files.h"

namespace png2zeq::testing {

// The banner: the fixed title, then the project's own credit and web-address
// lines (CliBanner checks their shape).
inline std::string Banner() {
  return "\nkOMPACTaRRAYvIEW Maker v0.2.0.0\n"
         "    Written by the png2zeq contributors\n"
         "  https://png2zeq.example.org/\n";
}

// Banner and usage text naming `program`.
inline std::string Usage(const std::string& program) {
  return Banner() +
         "\nThis utility converts a PNG image to a ZEQ image.\nUsage:\n" + program +
         " [-depth {565}] [-uncompressed] [-output output_file] [-h|-?|-help] [-verbose] [-codes]"
         " input_file\n"
         " [] parameters are optional.\n"
         " {} either of these parameters is required.\n"
         " -depth:\n"
         "   RGB pixel depth.  Alpha channel remains at 8bits if present.  Defaults\n"
         "   to RGB888/RGBA8888.\n"
         " -dither:\n"
         "   Apply Burke's dithering.\n"
         " -uncompressed:\n"
         "   Don't deflate, uses more storage but initial image display will be faster.\n"
         " -output:\n"
         "   Output file name.  Defaults to input file name with .zeq extension.\n"
         " -h|?|help:\n"
         "   Display this help.\n"
         " -verbose:\n"
         "   Verbose, display messages.\n"
         " -codes:\n"
         "   Display return error codes.\n"
         "\n"
         "For example, " + program + " -depth 565 \"file path/image.png\"\n"
         "Remember to enclose filenames that have spaces with quotes.\n\n";
}

inline const char kErrorCodeListing[] =
    "Error codes:\n"
    "Value  Description\n"
    "   0   OK\n"
    "   1   InvalidParameters\n"
    "   2   InsufficientParameters\n"
    "   3   MissingInputFile\n"
    "   4   OpenInputFileFailed\n"
    "   5   PNGDecodeError\n"
    "   6   PNGWidthHeightZero\n"
    "   7   PNGUnknownColourType\n"
    "   8   OutOfMemory\n"
    "   9   TranscodeLookup\n"
    "  10   DeflateFailed\n"
    "  11   WriteError\n"
    "  12   GeneralFailure\n"
    "  13   CreateZEQFailed\n"
    "  14   UnknownDitherMethod\n";


inline std::string NoInputErrorLine(const std::string& codeName) {
  return ErrorLine(codeName, "(no input file)");
}

}  // namespace png2zeq::testing
