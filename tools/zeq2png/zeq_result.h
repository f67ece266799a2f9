#pragma once
// Result codes of a zeq2png run. Every step returns one; the run prints the
// code's message and name when it fails and exits with its number.

#include <cstdint>

#include "common/result_table.h"
#include "common/zeq_format.h"

namespace zeq2png {

enum class ZeqResult : uint32_t {
  OK = 0,
  InvalidParameters = 1,
  InsufficientParameters = 2,
  MissingInputFile = 3,
  OpenInputFileFailed = 4,
  ReadInputFileFailed = 5,
  ZEQFileTooLarge = 6,
  ZEQFileEmpty = 7,
  ZEQHeaderTruncated = 8,
  ZEQBadMagic = 9,
  ZEQUnknownPixelFormat = 10,
  ZEQWidthOutOfRange = 11,
  ZEQHeightOutOfRange = 12,
  ZEQRawLengthMismatch = 13,
  ZEQFileSizeMismatch = 14,
  ZEQStreamCorrupt = 15,
  ZEQStreamTruncated = 16,
  ZEQChecksumMismatch = 17,
  ZEQInflatedTooShort = 18,
  ZEQInflatedTooLong = 19,
  ZEQTrailingBytes = 20,
  OutOfMemory = 21,
  GeneralFailure = 22,
  CreatePNGFailed = 23,
  WritePNGFailed = 24,
  CompareReadFailed = 25,
  CompareSizeMismatch = 26,
  CompareLayoutMismatch = 27,
};

struct ZeqResultEntry {
  ZeqResult code;
  const char* name;
  const char* message;
};

// The messages that quote a fact the loader's header writes as a number.
inline constexpr auto kBadMagicMessage = png2zeq::JoinTexts(
    "The file does not start with the ZEQ magic " PNG2ZEQ_FACT_TEXT(ZEQ_MAGIC) " (bytes ",
    png2zeq::kMagicBytes.chars, ").");

// One row per code, in code order: the error line prints the name, the line
// before it the message, and -codes lists both.
inline constexpr ZeqResultEntry kZeqResults[] = {
    {ZeqResult::OK, "OK", "The ZEQ file is valid."},
    {ZeqResult::InvalidParameters, "InvalidParameters",
     "An argument other than the last is not an option, or an option lacks its value."},
    {ZeqResult::InsufficientParameters, "InsufficientParameters",
     "Started without arguments."},
    {ZeqResult::MissingInputFile, "MissingInputFile", "No input path on the command line."},
    {ZeqResult::OpenInputFileFailed, "OpenInputFileFailed",
     "The input cannot be opened (missing, unreadable or a directory)."},
    {ZeqResult::ReadInputFileFailed, "ReadInputFileFailed", "The input could not be read whole."},
    {ZeqResult::ZEQFileTooLarge, "ZEQFileTooLarge",
     "The file is larger than any ZEQ file of at most " PNG2ZEQ_FACT_TEXT(ZEQ_MAX_WIDTH) " x "
     PNG2ZEQ_FACT_TEXT(ZEQ_MAX_HEIGHT) " pixels can be."},
    {ZeqResult::ZEQFileEmpty, "ZEQFileEmpty", "The file is empty."},
    {ZeqResult::ZEQHeaderTruncated, "ZEQHeaderTruncated",
     "The file ends inside the " PNG2ZEQ_FACT_TEXT(ZEQ_HEADER_SIZE) "-byte header."},
    {ZeqResult::ZEQBadMagic, "ZEQBadMagic", kBadMagicMessage.chars},
    {ZeqResult::ZEQUnknownPixelFormat, "ZEQUnknownPixelFormat",
     "The pixel format code is none of " PNG2ZEQ_FACT_TEXT(ZEQ_FORMAT_GREY8) ", "
     PNG2ZEQ_FACT_TEXT(ZEQ_FORMAT_GREYA88) ", " PNG2ZEQ_FACT_TEXT(ZEQ_FORMAT_RGB888) ", "
     PNG2ZEQ_FACT_TEXT(ZEQ_FORMAT_RGBA8888) ", " PNG2ZEQ_FACT_TEXT(ZEQ_FORMAT_RGB565) ", "
     PNG2ZEQ_FACT_TEXT(ZEQ_FORMAT_RGBA5658) "."},
    {ZeqResult::ZEQWidthOutOfRange, "ZEQWidthOutOfRange", 
     "The width is not within 1 to " PNG2ZEQ_FACT_TEXT(ZEQ_MAX_WIDTH) "."},
    {ZeqResult::ZEQHeightOutOfRange, "ZEQHeightOutOfRange", 
     "The height is not within 1 to " PNG2ZEQ_FACT_TEXT(ZEQ_MAX_HEIGHT) "."},
    {ZeqResult::ZEQRawLengthMismatch, "ZEQRawLengthMismatch",
     "rawLength is not width x height x bytes per pixel."},
    {ZeqResult::ZEQFileSizeMismatch, "ZEQFileSizeMismatch",
     "The file size is not " PNG2ZEQ_FACT_TEXT(ZEQ_HEADER_SIZE) " + compressedLength ("
     PNG2ZEQ_FACT_TEXT(ZEQ_HEADER_SIZE) " + rawLength when compressedLength is 0)."},
    {ZeqResult::ZEQStreamCorrupt, "ZEQStreamCorrupt",
     "The compressed block is not a valid zlib stream."},
    {ZeqResult::ZEQStreamTruncated, "ZEQStreamTruncated",
     "The compressed block ends before its zlib stream does."},
    {ZeqResult::ZEQChecksumMismatch, "ZEQChecksumMismatch",
     "The zlib stream's Adler-32 does not match the inflated pixels."},
    {ZeqResult::ZEQInflatedTooShort, "ZEQInflatedTooShort",
     "The zlib stream inflates to fewer than rawLength bytes."},
    {ZeqResult::ZEQInflatedTooLong, "ZEQInflatedTooLong",
     "The zlib stream inflates to more than rawLength bytes."},
    {ZeqResult::ZEQTrailingBytes, "ZEQTrailingBytes",
     "Bytes follow the end of the zlib stream inside the compressed block."},
    {ZeqResult::OutOfMemory, "OutOfMemory", "A block of memory could not be allocated."},
    {ZeqResult::GeneralFailure, "GeneralFailure",
     "The preview path cannot be derived (a part of a path is too long)."},
    {ZeqResult::CreatePNGFailed, "CreatePNGFailed",
     "The preview PNG file cannot be created, or it is the input file."},
    {ZeqResult::WritePNGFailed, "WritePNGFailed",
     "The preview PNG could not be encoded or written whole."},
    {ZeqResult::CompareReadFailed, "CompareReadFailed",
     "The -compare original cannot be opened or decoded."},
    {ZeqResult::CompareSizeMismatch, "CompareSizeMismatch",
     "The -compare original's width or height differs from the ZEQ file's."},
    {ZeqResult::CompareLayoutMismatch, "CompareLayoutMismatch",
     "The -compare original's channels (grey, grey+alpha, RGB, RGBA) differ from the ZEQ "
     "file's."},
};

inline constexpr uint32_t kZeqResultCount = sizeof kZeqResults / sizeof kZeqResults[0];

// Every row sits at the index of its code, so lookups can index directly.
static_assert(png2zeq::RowsFollowTheirCodes(kZeqResults), "kZeqResults rows must follow their codes");

// The code's name, or "Unknown" for a value outside the table.
const char* ZeqResultName(ZeqResult result);

// The code's one-sentence message, or "" for a value outside the table.
const char* ZeqResultMessage(ZeqResult result);

// Prints the heading and one line per code: number, name and message.
void PrintZeqResultCodes();

}  // namespace zeq2png
