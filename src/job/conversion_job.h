#pragma once
// The one record a conversion works on. It lives for the whole run, starts
// zeroed, and every stage reads and writes it through free functions.

#include <cstddef>
#include <cstdint>

#include "common/path_parts.h"
#include "common/zeq_format.h"
#include "job/error_code.h"

namespace png2zeq {

struct ConversionJob;
struct DitherState;

// Accumulated error of one pixel position, in the source byte order.
struct ErrorCell {
  float red;
  float green;
  float blue;
};

// Builds (create true) or releases (create false) the dither state for the
// job's width. Returns the new state, or nullptr on release or when the
// state cannot be allocated.
using DitherStateHook = DitherState* (*)(const ConversionJob& job, bool create,
                                         DitherState* state);

// Fetch (error nullptr): returns the accumulated error for the pixel at
// `column`. Diffuse (error given): spreads that pixel's quantisation error to
// its neighbours and returns nullptr.
using DitherErrorHook = ErrorCell* (*)(const ErrorCell* error, uint32_t column, uint32_t row,
                                       DitherState* state);

// 260 characters including the terminating NUL: the longest derived output
// name the path rules allow.
inline constexpr size_t kDerivedNameSize = kJoinedPathSize;

struct ConversionJob {
  const char* programPath;
  // These three point into the argument vector, which outlives the job.
  // outputPath may instead point at derivedName, this job's own buffer: a
  // copy of the job made after the output path is derived still points into
  // the original's buffer, and must not outlive it.
  const char* inputPath;
  const char* outputPath;
  const char* depthText;
  char derivedName[kDerivedNameSize];
  uint8_t verbose;
  uint8_t uncompressed;
  // -best: keep libdeflate's strongest stream when it is shorter than zlib's.
  uint8_t best;
  // -window: ZEQ_WINDOW_BITS_MIN..ZEQ_WINDOW_BITS_MAX (zeq_format.h), or 0
  // when not given (the full window).
  uint8_t windowBits;
  // Both set by -dither, or both null.
  DitherStateHook ditherState;
  DitherErrorHook ditherError;
  // Set when -help or -codes was answered: the run ends there with status 0.
  uint8_t answeredInformationRequest;
  uint8_t pngColourType;
  uint32_t width;
  uint32_t height;
  // The one heap block the job owns; the run driver frees it at the end.
  // Each stage that replaces it frees the block it replaces. A copy of the
  // job shares the block: only one of them may free it.
  uint8_t* pixels;
  uint32_t pixelLength;
  OutputHeader header;
};

}  // namespace png2zeq
