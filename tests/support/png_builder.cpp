#include "support/png_builder.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cstdio>
#include <fstream>
#include <iterator>

namespace png2zeq::testing {
namespace {

int ChannelCount(int colourType) {
  switch (colourType) {
    case 0: return 1;
    case 2: return 3;
    case 3: return 1;
    case 4: return 2;
    case 6: return 4;
    default: return 1;
  }
}

void AppendToBytes(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

void FlushNothing(png_structp) {}

void StoreBigEndian32(Bytes& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value >> 24));
  out.push_back(static_cast<uint8_t>(value >> 16));
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value));
}

// Writes the image through libpng; returns false when libpng reported an
// error. Plain data only between setjmp and the end of the writing.
bool WriteWithLibpng(const PngRecipe& recipe, Bytes* out, std::vector<png_bytep>* rows) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, out, AppendToBytes, FlushNothing);
  png_set_IHDR(png, info, recipe.width, recipe.height, recipe.bitDepth, recipe.colourType,
               recipe.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!recipe.palette.empty()) {
    std::vector<png_color> colours(recipe.palette.size() / 3);
    for (size_t i = 0; i < colours.size(); ++i) {
      colours[i] = {recipe.palette[3 * i], recipe.palette[3 * i + 1], recipe.palette[3 * i + 2]};
    }
    png_set_PLTE(png, info, colours.data(), static_cast<int>(colours.size()));
  }
  if (!recipe.transparency.empty()) {
    if (recipe.colourType == 3) {
      png_set_tRNS(png, info, recipe.transparency.data(), static_cast<int>(recipe.transparency.size()),
                   nullptr);
    } else {
      png_color_16 colour{};
      colour.gray = static_cast<png_uint_16>(recipe.transparency[0] << 8 | recipe.transparency[1]);
      if (recipe.transparency.size() >= 6) {
        colour.red = colour.gray;
        colour.green = static_cast<png_uint_16>(recipe.transparency[2] << 8 | recipe.transparency[3]);
        colour.blue = static_cast<png_uint_16>(recipe.transparency[4] << 8 | recipe.transparency[5]);
      }
      png_set_tRNS(png, info, nullptr, 0, &colour);
    }
  }
  if (recipe.textChunk) {
    png_text text{};
    text.compression = PNG_TEXT_COMPRESSION_NONE;
    text.key = const_cast<char*>("Comment");
    text.text = const_cast<char*>("made by a test");
    png_set_text(png, info, &text, 1);
  }
  png_set_rows(png, info, rows->data());
  png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

size_t PackedRowBytes(const PngRecipe& recipe) {
  return (static_cast<size_t>(recipe.width) * ChannelCount(recipe.colourType) * recipe.bitDepth + 7) / 8;
}

Bytes EncodePng(const PngRecipe& recipe) {
  const size_t rowBytes = PackedRowBytes(recipe);
  Bytes samples = recipe.samples;
  samples.resize(rowBytes * recipe.height);
  std::vector<png_bytep> rows(recipe.height);
  for (uint32_t y = 0; y < recipe.height; ++y) rows[y] = samples.data() + y * rowBytes;
  Bytes out;
  EXPECT_TRUE(WriteWithLibpng(recipe, &out, &rows)) << "libpng refused the test image";
  return out;
}

Bytes PngSignature() { return {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}; }

Bytes MakeChunk(const std::string& type, const Bytes& data) {
  Bytes chunk;
  StoreBigEndian32(chunk, static_cast<uint32_t>(data.size()));
  chunk.insert(chunk.end(), type.begin(), type.end());
  chunk.insert(chunk.end(), data.begin(), data.end());
  uLong crc = crc32(0, chunk.data() + 4, static_cast<uInt>(chunk.size() - 4));
  StoreBigEndian32(chunk, static_cast<uint32_t>(crc));
  return chunk;
}

Bytes IhdrData(uint32_t width, uint32_t height, uint8_t bitDepth, uint8_t colourType,
               uint8_t interlace) {
  Bytes data;
  StoreBigEndian32(data, width);
  StoreBigEndian32(data, height);
  data.insert(data.end(), {bitDepth, colourType, 0, 0, interlace});
  return data;
}

Bytes Deflate(const Bytes& raw) {
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  Bytes out(size);
  compress(out.data(), &size, raw.data(), static_cast<uLong>(raw.size()));
  out.resize(size);
  return out;
}

std::vector<ChunkSpan> ListChunks(const Bytes& png) {
  std::vector<ChunkSpan> chunks;
  size_t offset = 8;
  while (offset + 12 <= png.size()) {
    const uint32_t length = static_cast<uint32_t>(png[offset]) << 24 | png[offset + 1] << 16 |
                            png[offset + 2] << 8 | png[offset + 3];
    chunks.push_back({std::string(png.begin() + offset + 4, png.begin() + offset + 8), offset, length});
    offset += 12 + static_cast<size_t>(length);
  }
  return chunks;
}

void Append(Bytes& to, const Bytes& from) { to.insert(to.end(), from.begin(), from.end()); }

void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << "cannot write " << path;
}

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace png2zeq::testing
