#pragma once
// Builds PNG files for tests: well-formed ones through libpng's writer, and
// malformed ones chunk by chunk.

#include <cstdint>
#include <string>
#include <vector>

namespace png2zeq::testing {

using Bytes = std::vector<uint8_t>;

struct PngRecipe {
  uint32_t width = 1;
  uint32_t height = 1;
  int bitDepth = 8;
  int colourType = 2;  // PNG colour type 0, 2, 3, 4 or 6
  bool interlaced = false;
  // Packed samples as libpng's writer takes them: rows back to back, each
  // row ceil(width * channels * bitDepth / 8) bytes, 16-bit samples big-endian.
  Bytes samples;
  Bytes palette;        // RGB triples, for colour type 3
  Bytes transparency;   // raw tRNS chunk data; written when not empty
  bool textChunk = false;
};

// Encodes `recipe` with libpng's write API; fails the current test on error.
Bytes EncodePng(const PngRecipe& recipe);

// Bytes per packed row for a PngRecipe.
size_t PackedRowBytes(const PngRecipe& recipe);

// One chunk: length, type, data and CRC over type and data.
Bytes MakeChunk(const std::string& type, const Bytes& data);

// The 8-byte PNG signature.
Bytes PngSignature();

// IHDR data for the given fields.
Bytes IhdrData(uint32_t width, uint32_t height, uint8_t bitDepth, uint8_t colourType,
               uint8_t interlace = 0);

// zlib-compresses `raw` (the filtered rows) for an IDAT chunk.
Bytes Deflate(const Bytes& raw);

// Splits a PNG file into its chunks (after the signature); offsets of each
// chunk's length field, for corrupting one in place.
struct ChunkSpan {
  std::string type;
  size_t offset;  // of the length field
  uint32_t length;
};
std::vector<ChunkSpan> ListChunks(const Bytes& png);

void Append(Bytes& to, const Bytes& from);

void WriteFile(const std::string& path, const Bytes& bytes);
Bytes ReadFile(const std::string& path);

}  // namespace png2zeq::testing
