#pragma once
// Result codes of a conversion run. Every stage returns one; the run driver
// prints its name in the final error line and exits with its number.

#include <cstdint>

namespace png2zeq {

enum ErrorCode : uint32_t {
  OK = 0,
  InvalidParameters = 1,
  InsufficientParameters = 2,
  MissingInputFile = 3,
  OpenInputFileFailed = 4,
  PNGDecodeError = 5,
  PNGWidthHeightZero = 6,
  PNGUnknownColourType = 7,
  OutOfMemory = 8,
  TranscodeLookup = 9,
  DeflateFailed = 10,
  WriteError = 11,
  GeneralFailure = 12,
  CreateZEQFailed = 13,
  UnknownDitherMethod = 14,
};

// One name per code, indexed by the code; both the error line and the
// `-codes` listing print from this table.
inline constexpr int kErrorCodeCount = 15;
inline constexpr const char* ErrorCodeNames[kErrorCodeCount] = {
    "OK",
    "InvalidParameters",
    "InsufficientParameters",
    "MissingInputFile",
    "OpenInputFileFailed",
    "PNGDecodeError",
    "PNGWidthHeightZero",
    "PNGUnknownColourType",
    "OutOfMemory",
    "TranscodeLookup",
    "DeflateFailed",
    "WriteError",
    "GeneralFailure",
    "CreateZEQFailed",
    "UnknownDitherMethod",
};

// Name of `code`, or "Unknown" for a value outside the table.
inline const char* ErrorCodeName(uint32_t code) {
  return code < kErrorCodeCount ? ErrorCodeNames[code] : "Unknown";
}

}  // namespace png2zeq
