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

// zeq2png's verdicts about the file run in the loader's order, one step
// each: OK, then ZEQFileEmpty (ZEQ_E_FILE_EMPTY) to ZEQTrailingBytes
// (ZEQ_E_TRAILING_BYTES). The verdict of the loader's file status `status`:
constexpr ZeqResult VerdictOfStatus(int status) {
  return status == ZEQ_OK ? ZeqResult::OK
                          : static_cast<ZeqResult>(static_cast<int>(ZeqResult::ZEQFileEmpty) +
                                                   (ZEQ_E_FILE_EMPTY - status));
}

// The unknown format's message lists every code zeq_format.h has.
#define PNG2ZEQ_CODE_IN_LIST(name, grey, red, green, blue, alpha) \
  PNG2ZEQ_FACT_TEXT(ZEQ_FORMAT_##name) ", "
inline constexpr auto kUnknownFormatMessage = png2zeq::EndListSentence(
    "The pixel format code is none of " ZEQ_PIXEL_FORMATS(PNG2ZEQ_CODE_IN_LIST));
#undef PNG2ZEQ_CODE_IN_LIST

struct VerdictMessage {
  int status;
  const char* message;
};

// Where zeq2png's message says more than the loader's sentence (which a
// device keeps in its flash), zeq2png's; every other verdict about the file
// prints the loader's sentence (zeq_format.h).
inline constexpr VerdictMessage kLongerThanTheLoader[] = {
    {ZEQ_E_HEADER_TRUNCATED,
     "The file ends inside the " PNG2ZEQ_FACT_TEXT(ZEQ_HEADER_SIZE) "-byte header."},
    {ZEQ_E_BAD_MAGIC, "The file does not start with the ZEQ magic " PNG2ZEQ_FACT_TEXT(
                          ZEQ_MAGIC) " (bytes " ZEQ_MAGIC_BYTES_TEXT ")."},
    {ZEQ_E_UNKNOWN_PIXEL_FORMAT, kUnknownFormatMessage.chars},
    {ZEQ_E_FILE_SIZE_MISMATCH,
     "The file size is not " PNG2ZEQ_FACT_TEXT(ZEQ_HEADER_SIZE) " + compressedLength ("
     PNG2ZEQ_FACT_TEXT(ZEQ_HEADER_SIZE) " + rawLength when compressedLength is 0)."},
    {ZEQ_E_CHECKSUM_MISMATCH, "The zlib stream's Adler-32 does not match the inflated pixels."},
    {ZEQ_E_TRAILING_BYTES,
     "Bytes follow the end of the zlib stream inside the compressed block."},
};

// zeq2png's message for its verdict `result` about the file.
constexpr const char* MessageOfVerdict(ZeqResult result) {
  for (const VerdictMessage& longer : kLongerThanTheLoader) {
    if (VerdictOfStatus(longer.status) == result) return longer.message;
  }
#define PNG2ZEQ_SENTENCE_OF(status, sentence) \
  if (VerdictOfStatus(status) == result) return sentence;
  ZEQ_FILE_STATUSES(PNG2ZEQ_SENTENCE_OF)
#undef PNG2ZEQ_SENTENCE_OF
  return nullptr;
}

// One row per code, in code order: the error line prints the name, the line
// before it the message, and -codes lists both.
inline constexpr ZeqResultEntry kZeqResults[] = {
    {ZeqResult::OK, "OK", MessageOfVerdict(ZeqResult::OK)},
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
    {ZeqResult::ZEQFileEmpty, "ZEQFileEmpty", MessageOfVerdict(ZeqResult::ZEQFileEmpty)},
    {ZeqResult::ZEQHeaderTruncated, "ZEQHeaderTruncated",
     MessageOfVerdict(ZeqResult::ZEQHeaderTruncated)},
    {ZeqResult::ZEQBadMagic, "ZEQBadMagic", MessageOfVerdict(ZeqResult::ZEQBadMagic)},
    {ZeqResult::ZEQUnknownPixelFormat, "ZEQUnknownPixelFormat",
     MessageOfVerdict(ZeqResult::ZEQUnknownPixelFormat)},
    {ZeqResult::ZEQWidthOutOfRange, "ZEQWidthOutOfRange",
     MessageOfVerdict(ZeqResult::ZEQWidthOutOfRange)},
    {ZeqResult::ZEQHeightOutOfRange, "ZEQHeightOutOfRange",
     MessageOfVerdict(ZeqResult::ZEQHeightOutOfRange)},
    {ZeqResult::ZEQRawLengthMismatch, "ZEQRawLengthMismatch",
     MessageOfVerdict(ZeqResult::ZEQRawLengthMismatch)},
    {ZeqResult::ZEQFileSizeMismatch, "ZEQFileSizeMismatch",
     MessageOfVerdict(ZeqResult::ZEQFileSizeMismatch)},
    {ZeqResult::ZEQStreamCorrupt, "ZEQStreamCorrupt",
     MessageOfVerdict(ZeqResult::ZEQStreamCorrupt)},
    {ZeqResult::ZEQStreamTruncated, "ZEQStreamTruncated",
     MessageOfVerdict(ZeqResult::ZEQStreamTruncated)},
    {ZeqResult::ZEQChecksumMismatch, "ZEQChecksumMismatch",
     MessageOfVerdict(ZeqResult::ZEQChecksumMismatch)},
    {ZeqResult::ZEQInflatedTooShort, "ZEQInflatedTooShort",
     MessageOfVerdict(ZeqResult::ZEQInflatedTooShort)},
    {ZeqResult::ZEQInflatedTooLong, "ZEQInflatedTooLong",
     MessageOfVerdict(ZeqResult::ZEQInflatedTooLong)},
    {ZeqResult::ZEQTrailingBytes, "ZEQTrailingBytes",
     MessageOfVerdict(ZeqResult::ZEQTrailingBytes)},
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
