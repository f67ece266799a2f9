#pragma once
// Runs the PNG reader in this process on a file and keeps what it left in
// the job, so tests can compare results without owning the pixel block.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "job/error_code.h"
#include "support/png_builder.h"

namespace png2zeq::testing {

// Values a read starts with in every job field it may write; a decode
// failure must leave them as they are.
inline constexpr uint32_t kUntouchedSize = 0xA5A5A5A5u;
inline constexpr uint8_t kUntouchedColourType = 0xA5;

struct ReadOutcome {
  ErrorCode result = ErrorCode::GeneralFailure;
  std::string printed;  // everything the read wrote to standard output
  std::string errors;   // everything written to standard error meanwhile
  uint32_t width = 0;
  uint32_t height = 0;
  uint8_t colourType = 0;
  uint32_t pixelLength = 0;
  bool heldBlock = false;  // the job held a pixel block afterwards
  Bytes pixels;            // a copy of that block (pixelLength bytes)
};

// Calls ReadPngImage on `path` with the job's size fields preset to the
// untouched markers, captures its standard output, copies and frees the
// block it produced. Leaves nothing allocated.
ReadOutcome ReadPngFile(const std::string& path, bool verbose = false);

// Writes `file` into a fresh temporary directory and reads it as above.
ReadOutcome ReadPngBytes(const Bytes& file, bool verbose = false);

// Succeeds when the read failed with PNGDecodeError, printed exactly
// "PNGError: <one line>\nPNG failed\n" and nothing to standard error, and left every job field it
// may write untouched, with no block.
::testing::AssertionResult IsDecodeFailure(const ReadOutcome& outcome);

// Succeeds when the read returned OK, printed nothing anywhere, and holds a block of
// width x height x bytes-per-pixel bytes in one of the four decoded layouts.
::testing::AssertionResult IsQuietSuccess(const ReadOutcome& outcome);

// Bytes per pixel of a decoded colour type (0, 2, 4, 6), or 0 for any other.
uint32_t DecodedBytesPerPixel(uint8_t colourType);

// Number of file descriptors (on Windows, handles) this process has open, to show that a read
// closes its input on every path.
int OpenDescriptorCount();

}  // namespace png2zeq::testing
