#pragma once
// Building ZEQ files byte by byte, running both executables, and decoding
// PNGs with the converter's reader, for the zeq2png tests.

#include <cstdint>
#include <string>
#include <vector>

#include "common/zeq_format.h"
#include "support/png_builder.h"
#include "support/subprocess.h"

namespace png2zeq::testing {

// Deterministic, varied pixel bytes: no two neighbours alike, all values.
Bytes PatternBytes(size_t count, uint32_t seed = 1);

// A header that is right for `pixels` stored raw.
OutputHeader RawHeader(uint32_t pixelFormat, uint32_t width, uint32_t height);

// The 24 header bytes followed by `block`.
Bytes BuildZeqFile(const OutputHeader& header, const Bytes& block);

// Valid ZEQ files holding `pixels`, raw or as a zlib stream.
Bytes RawZeqFile(uint32_t pixelFormat, uint32_t width, uint32_t height, const Bytes& pixels);
Bytes CompressedZeqFile(uint32_t pixelFormat, uint32_t width, uint32_t height,
                        const Bytes& pixels);

// Rewrites one header field (byte offset 0, 4, ... 20) of a ZEQ file.
void SetHeaderField(Bytes& file, size_t offset, uint32_t value);

// A PNG decoded by the converter's own reader.
struct DecodedPng {
  uint32_t result = 0;  // the reader's ErrorCode
  uint32_t width = 0;
  uint32_t height = 0;
  uint8_t colourType = 0;
  Bytes samples;
};
DecodedPng DecodeWithConverterReader(const std::string& path);

// Runs the zeq2png executable under test.
ProcessResult RunZeq2PngProcess(const std::vector<std::string>& arguments,
                                const std::string& workingDirectory = "");

bool FileExists(const std::string& path);

}  // namespace png2zeq::testing
