#pragma once
// Result codes of a conversion run. Every stage returns one; the run driver
// prints its name in the final error line and exits with its number.

#include <cstdint>

#include "common/result_table.h"

namespace png2zeq {

enum class ErrorCode : uint32_t {
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

struct ErrorCodeEntry {
  ErrorCode code;
  const char* name;
};

// One row per code, in code order; both the error line and the `-codes`
// listing print from this table.
inline constexpr ErrorCodeEntry kErrorCodes[] = {
    {ErrorCode::OK, "OK"},
    {ErrorCode::InvalidParameters, "InvalidParameters"},
    {ErrorCode::InsufficientParameters, "InsufficientParameters"},
    {ErrorCode::MissingInputFile, "MissingInputFile"},
    {ErrorCode::OpenInputFileFailed, "OpenInputFileFailed"},
    {ErrorCode::PNGDecodeError, "PNGDecodeError"},
    {ErrorCode::PNGWidthHeightZero, "PNGWidthHeightZero"},
    {ErrorCode::PNGUnknownColourType, "PNGUnknownColourType"},
    {ErrorCode::OutOfMemory, "OutOfMemory"},
    {ErrorCode::TranscodeLookup, "TranscodeLookup"},
    {ErrorCode::DeflateFailed, "DeflateFailed"},
    {ErrorCode::WriteError, "WriteError"},
    {ErrorCode::GeneralFailure, "GeneralFailure"},
    {ErrorCode::CreateZEQFailed, "CreateZEQFailed"},
    {ErrorCode::UnknownDitherMethod, "UnknownDitherMethod"},
};
static_assert(RowsFollowTheirCodes(kErrorCodes), "kErrorCodes rows must follow their codes");

// Name of `code`, or "Unknown" for a value outside the table.
constexpr const char* ErrorCodeName(ErrorCode code) {
  const ErrorCodeEntry* row = FindResultRow(kErrorCodes, code);
  return row != nullptr ? row->name : "Unknown";
}

}  // namespace png2zeq
