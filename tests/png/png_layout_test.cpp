// What the reader hands on for well-formed files: colour type, layout and
// exact sample values for every PNG colour type and bit depth, interlacing,
// transparency, out-of-palette indices, the size limits and the report.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "common/heap.h"
#include "read_png_support.h"
#include "support/png_builder.h"

namespace png2zeq::testing {
namespace {

int ChannelsOf(int colourType) {
  switch (colourType) {
    case 2: return 3;
    case 4: return 2;
    case 6: return 4;
    default: return 1;  // grey and indexed
  }
}

// Packs sample values (rows top to bottom, `channels` samples per pixel) into
// PNG rows: most significant bits first, 16-bit samples big-endian, each row
// padded to whole bytes.
Bytes PackSamples(const std::vector<uint32_t>& values, uint32_t width, uint32_t height,
                  int channels, int bitDepth) {
  const size_t samplesPerRow = static_cast<size_t>(width) * channels;
  const size_t rowBytes = (samplesPerRow * bitDepth + 7) / 8;
  Bytes packed(rowBytes * height, 0);
  for (uint32_t y = 0; y < height; ++y) {
    uint8_t* row = packed.data() + y * rowBytes;
    for (size_t i = 0; i < samplesPerRow; ++i) {
      const uint32_t value = values[y * samplesPerRow + i];
      if (bitDepth == 16) {
        row[2 * i] = static_cast<uint8_t>(value >> 8);
        row[2 * i + 1] = static_cast<uint8_t>(value);
      } else if (bitDepth == 8) {
        row[i] = static_cast<uint8_t>(value);
      } else {
        const size_t bit = i * bitDepth;
        row[bit / 8] |= static_cast<uint8_t>(value << (8 - bitDepth - bit % 8));
      }
    }
  }
  return packed;
}

PngRecipe MakeImage(int colourType, int bitDepth, uint32_t width, uint32_t height,
                  const std::vector<uint32_t>& values, const Bytes& palette = {}) {
  PngRecipe image;
  image.width = width;
  image.height = height;
  image.bitDepth = bitDepth;
  image.colourType = colourType;
  image.samples = PackSamples(values, width, height, ChannelsOf(colourType), bitDepth);
  image.palette = palette;
  return image;
}

// Palette whose entry i is (i, 255 - i, i / 2), `entries` long.
Bytes RampPalette(int entries) {
  Bytes palette;
  for (int i = 0; i < entries; ++i) {
    palette.insert(palette.end(), {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                                   static_cast<uint8_t>(i / 2)});
  }
  return palette;
}

// Small deterministic generator, so failures reproduce.
uint32_t NextRandom(uint32_t& state) {
  state = state * 1664525u + 1013904223u;
  return state >> 8;
}

struct LayoutCase {
  const char* name;
  int colourType;
  int bitDepth;
  uint32_t width;
  uint32_t height;
  std::vector<uint32_t> values;  // source samples, or palette indices
  Bytes palette;
  uint8_t decodedType;
  Bytes expected;
};

// Widths are chosen so that low-depth rows end inside a byte; 16-bit values
// tell keeping the high byte (0x80FF -> 0x80, 0x00FF -> 0x00) from scaling.
const std::vector<LayoutCase>& LayoutCases() {
  static const std::vector<LayoutCase> cases = {
      {"grey 1", 0, 1, 5, 2, {1, 0, 1, 1, 0, 0, 1, 0, 0, 1}, {}, 0,
       {255, 0, 255, 255, 0, 0, 255, 0, 0, 255}},
      {"grey 2", 0, 2, 3, 2, {0, 1, 2, 3, 2, 1}, {}, 0, {0, 85, 170, 255, 170, 85}},
      {"grey 4", 0, 4, 3, 2, {0, 1, 7, 8, 14, 15}, {}, 0, {0, 17, 119, 136, 238, 255}},
      {"grey 8", 0, 8, 3, 1, {0, 128, 255}, {}, 0, {0, 128, 255}},
      {"grey 16", 0, 16, 2, 2, {0x00FF, 0x12AB, 0x80FF, 0xFF00}, {}, 0, {0x00, 0x12, 0x80, 0xFF}},
      {"rgb 8", 2, 8, 2, 1, {1, 2, 3, 250, 251, 252}, {}, 2, {1, 2, 3, 250, 251, 252}},
      {"rgb 16", 2, 16, 1, 2, {0x01FF, 0x7F80, 0xFE01, 0x00FF, 0x80FF, 0xFFFF}, {}, 2,
       {0x01, 0x7F, 0xFE, 0x00, 0x80, 0xFF}},
      {"indexed 1", 3, 1, 5, 2, {0, 1, 1, 0, 1, 1, 0, 0, 1, 0}, {10, 20, 30, 200, 150, 100}, 2,
       {10, 20, 30, 200, 150, 100, 200, 150, 100, 10, 20, 30, 200, 150, 100,
        200, 150, 100, 10, 20, 30, 10, 20, 30, 200, 150, 100, 10, 20, 30}},
      {"indexed 2", 3, 2, 3, 2, {0, 1, 2, 3, 2, 1}, RampPalette(4), 2,
       {0, 255, 0, 1, 254, 0, 2, 253, 1, 3, 252, 1, 2, 253, 1, 1, 254, 0}},
      {"indexed 4", 3, 4, 3, 1, {0, 9, 15}, RampPalette(16), 2, {0, 255, 0, 9, 246, 4, 15, 240, 7}},
      {"indexed 8", 3, 8, 2, 2, {0, 255, 128, 37}, RampPalette(256), 2,
       {0, 255, 0, 255, 0, 127, 128, 127, 64, 37, 218, 18}},
      {"grey+alpha 8", 4, 8, 2, 1, {10, 200, 250, 0}, {}, 4, {10, 200, 250, 0}},
      {"grey+alpha 16", 4, 16, 2, 1, {0x10FF, 0xC800, 0xFA01, 0x00FF}, {}, 4,
       {0x10, 0xC8, 0xFA, 0x00}},
      {"rgba 8", 6, 8, 1, 2, {1, 2, 3, 4, 5, 6, 7, 8}, {}, 6, {1, 2, 3, 4, 5, 6, 7, 8}},
      {"rgba 16", 6, 16, 2, 1,
       {0x1122, 0x3344, 0x5566, 0x7788, 0x80FF, 0x00FF, 0xFF00, 0xFFFF}, {}, 6,
       {0x11, 0x33, 0x55, 0x77, 0x80, 0x00, 0xFF, 0xFF}},
  };
  return cases;
}

// Checks that `outcome` decoded quietly to a `width` x `height` image of
// `colourType` holding `pixels`.
void ExpectDecoded(const ReadOutcome& outcome, uint32_t width, uint32_t height,
                   uint8_t colourType, const Bytes& pixels) {
  ASSERT_TRUE(IsQuietSuccess(outcome));
  EXPECT_EQ(outcome.width, width);
  EXPECT_EQ(outcome.height, height);
  EXPECT_EQ(outcome.colourType, colourType);
  EXPECT_EQ(outcome.pixels, pixels);
}

TEST(PngReader, DecodesEveryColourTypeAndDepthToEightBitSamples) {
  for (const LayoutCase& c : LayoutCases()) {
    SCOPED_TRACE(c.name);
    const PngRecipe image =
        MakeImage(c.colourType, c.bitDepth, c.width, c.height, c.values, c.palette);
    ASSERT_NO_FATAL_FAILURE(
        ExpectDecoded(ReadPngBytes(EncodePng(image)), c.width, c.height, c.decodedType, c.expected));
  }
}

struct SourceFormat {
  const char* name;
  int colourType;
  int bitDepth;
};

constexpr SourceFormat kSourceFormats[] = {
    {"grey 1", 0, 1}, {"grey 2", 0, 2}, {"grey 4", 0, 4}, {"grey 8", 0, 8}, {"grey 16", 0, 16},
    {"rgb 8", 2, 8}, {"rgb 16", 2, 16},
    {"indexed 1", 3, 1}, {"indexed 2", 3, 2}, {"indexed 4", 3, 4}, {"indexed 8", 3, 8},
    {"grey+alpha 8", 4, 8}, {"grey+alpha 16", 4, 16},
    {"rgba 8", 6, 8}, {"rgba 16", 6, 16},
};

struct Size {
  uint32_t width;
  uint32_t height;
};

// 1x1 and thin images leave most Adam7 passes empty; 33x17 spans several
// blocks of 8 with a ragged edge.
constexpr Size kInterlaceSizes[] = {{1, 1}, {3, 5}, {33, 17}, {8, 8}, {9, 1}, {1, 9}, {2, 2}};

TEST(PngReader, InterlacedFileGivesTheBlockOfItsNonInterlacedTwin) {
  uint32_t seed = 2024;
  for (const SourceFormat& format : kSourceFormats) {
    for (const Size& size : kInterlaceSizes) {
      SCOPED_TRACE(std::string(format.name) + " " + std::to_string(size.width) + "x" +
                   std::to_string(size.height));
      const size_t count = size_t{size.width} * size.height * ChannelsOf(format.colourType);
      const uint32_t limit = 1u << format.bitDepth;
      std::vector<uint32_t> values(count);
      for (uint32_t& value : values) value = NextRandom(seed) % limit;
      const Bytes palette = format.colourType == 3 ? RampPalette(static_cast<int>(limit)) : Bytes{};

      PngRecipe image =
          MakeImage(format.colourType, format.bitDepth, size.width, size.height, values, palette);
      const ReadOutcome plain = ReadPngBytes(EncodePng(image));
      image.interlaced = true;
      const Bytes interlacedFile = EncodePng(image);
      ASSERT_EQ(interlacedFile[8 + 8 + 12], 1) << "the twin is not interlaced";
      const ReadOutcome interlaced = ReadPngBytes(interlacedFile);

      ASSERT_TRUE(IsQuietSuccess(plain));
      ASSERT_NO_FATAL_FAILURE(
          ExpectDecoded(interlaced, size.width, size.height, plain.colourType, plain.pixels));
    }
  }
}

struct TransparencyCase {
  const char* name;
  int colourType;
  int bitDepth;
  Bytes transparency;  // tRNS chunk data
  uint8_t decodedType;
};

// Each image is read with and without its tRNS chunk: the two must agree.
const std::vector<TransparencyCase>& TransparencyCases() {
  static const std::vector<TransparencyCase> cases = {
      {"indexed 8, some entries", 3, 8, {0, 128}, 2},
      {"indexed 2, every entry", 3, 2, {0, 10, 20, 30}, 2},
      {"grey 8", 0, 8, {0, 7}, 0},
      {"grey 1", 0, 1, {0, 1}, 0},
      {"grey 16", 0, 16, {0x12, 0x34}, 0},
      {"rgb 8", 2, 8, {0, 1, 0, 2, 0, 3}, 2},
      {"rgb 16", 2, 16, {0x01, 0x02, 0x03, 0x04, 0x05, 0x06}, 2},
  };
  return cases;
}

TEST(PngReader, TransparencyChunkIsIgnored) {
  uint32_t seed = 7;
  for (const TransparencyCase& c : TransparencyCases()) {
    SCOPED_TRACE(c.name);
    const uint32_t width = 6;
    const uint32_t height = 3;
    const uint32_t limit = 1u << c.bitDepth;
    std::vector<uint32_t> values(size_t{width} * height * ChannelsOf(c.colourType));
    for (uint32_t& value : values) value = NextRandom(seed) % limit;
    // Some pixels carry exactly the transparent value.
    if (c.colourType == 0) {
      values[0] = (uint32_t{c.transparency[0]} << 8 | c.transparency[1]) % limit;
    }
    if (c.colourType == 2) {
      for (int i = 0; i < 3; ++i) {
        values[i] = (uint32_t{c.transparency[2 * i]} << 8 | c.transparency[2 * i + 1]) % limit;
      }
    }
    const Bytes palette = c.colourType == 3 ? RampPalette(static_cast<int>(limit)) : Bytes{};
    PngRecipe image = MakeImage(c.colourType, c.bitDepth, width, height, values, palette);
    const ReadOutcome opaque = ReadPngBytes(EncodePng(image));
    image.transparency = c.transparency;
    const Bytes withChunk = EncodePng(image);
    ASSERT_NE(std::string(withChunk.begin(), withChunk.end()).find("tRNS"), std::string::npos);
    const ReadOutcome transparent = ReadPngBytes(withChunk);

    ASSERT_TRUE(IsQuietSuccess(opaque));
    ASSERT_TRUE(IsQuietSuccess(transparent));
    EXPECT_EQ(transparent.colourType, c.decodedType);
    EXPECT_EQ(transparent.pixelLength, width * height * DecodedBytesPerPixel(c.decodedType));
    EXPECT_EQ(transparent.pixels, opaque.pixels);
  }
}

// An indexed file built chunk by chunk, since libpng's writer objects to
// indices beyond the palette.
Bytes IndexedFile(uint32_t width, uint32_t height, uint8_t bitDepth, const Bytes& palette,
                  const std::vector<uint32_t>& indices) {
  const Bytes packed = PackSamples(indices, width, height, 1, bitDepth);
  const size_t rowBytes = packed.size() / height;
  Bytes filtered;
  for (uint32_t y = 0; y < height; ++y) {
    filtered.push_back(0);  // filter type None
    for (size_t i = 0; i < rowBytes; ++i) filtered.push_back(packed[y * rowBytes + i]);
  }
  Bytes file = PngSignature();
  Append(file, MakeChunk("IHDR", IhdrData(width, height, bitDepth, 3)));
  Append(file, MakeChunk("PLTE", palette));
  Append(file, MakeChunk("IDAT", Deflate(filtered)));
  Append(file, MakeChunk("IEND", {}));
  return file;
}

TEST(PngReader, PaletteIndexBeyondThePaletteDecodesBlack) {
  struct Case {
    const char* name;
    uint32_t width;
    uint8_t bitDepth;
    Bytes palette;
    std::vector<uint32_t> indices;
    Bytes expected;
  };
  const Case cases[] = {
      {"8-bit, two entries", 4, 8, {10, 20, 30, 40, 50, 60}, {0, 1, 2, 255},
       {10, 20, 30, 40, 50, 60, 0, 0, 0, 0, 0, 0}},
      {"4-bit, three entries", 3, 4, {1, 2, 3, 4, 5, 6, 7, 8, 9}, {2, 3, 15},
       {7, 8, 9, 0, 0, 0, 0, 0, 0}},
      {"1-bit, one entry", 2, 1, {200, 100, 50}, {1, 0}, {0, 0, 0, 200, 100, 50}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ReadOutcome outcome =
        ReadPngBytes(IndexedFile(c.width, 1, c.bitDepth, c.palette, c.indices));
    ASSERT_TRUE(IsQuietSuccess(outcome));
    EXPECT_EQ(outcome.colourType, 2);
    EXPECT_EQ(outcome.pixels, c.expected);
  }
}

TEST(PngReader, SixteenBitImageGivesTheHighBytesOfItsSamples) {
  const uint32_t width = 100;
  const uint32_t height = 50;
  uint32_t seed = 99;
  std::vector<uint32_t> wide(size_t{width} * height * 3);
  for (uint32_t& value : wide) value = NextRandom(seed) & 0xFFFF;
  std::vector<uint32_t> narrow(wide.size());
  for (size_t i = 0; i < wide.size(); ++i) narrow[i] = wide[i] >> 8;

  const ReadOutcome eightBit = ReadPngBytes(EncodePng(MakeImage(2, 8, width, height, narrow)));
  const ReadOutcome sixteenBit = ReadPngBytes(EncodePng(MakeImage(2, 16, width, height, wide)));
  ASSERT_TRUE(IsQuietSuccess(eightBit));
  ASSERT_TRUE(IsQuietSuccess(sixteenBit));
  EXPECT_EQ(eightBit.pixelLength, 15000u);
  EXPECT_EQ(sixteenBit.pixelLength, 15000u);
  EXPECT_EQ(sixteenBit.colourType, 2);
  EXPECT_EQ(sixteenBit.pixels, eightBit.pixels);
}

TEST(PngReader, VerboseReportGivesSizeAndDecodedColourName) {
  struct Case {
    int colourType;
    int bitDepth;
    const char* name;
    uint32_t bytesPerPixel;
  };
  constexpr Case cases[] = {
      {0, 8, "GRAY", 1}, {2, 8, "RGB", 3}, {3, 4, "RGB", 3}, {4, 16, "GRAYA", 2}, {6, 8, "RGBA", 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PngRecipe image;
    image.width = 2;
    image.height = 3;
    image.colourType = c.colourType;
    image.bitDepth = c.bitDepth;
    if (c.colourType == 3) image.palette = RampPalette(16);
    const ReadOutcome outcome = ReadPngBytes(EncodePng(image), true);
    EXPECT_EQ(outcome.result, ErrorCode::OK);
    EXPECT_EQ(outcome.printed,
              std::string("PNG\n Width  = 2\n Height = 3\n Colour = ") + c.name + "\n");
    EXPECT_EQ(outcome.pixelLength, 2 * 3 * c.bytesPerPixel);
    EXPECT_TRUE(outcome.heldBlock);
  }
}

TEST(PngReader, AcceptsImagesUpToTheSizeLimit) {
  struct Case {
    uint32_t width;
    uint32_t height;
    int colourType;
  };
  constexpr Case cases[] = {{1024, 768, 6}, {1024, 768, 0}, {1024, 1, 2}, {1, 768, 4}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
    PngRecipe image;
    image.width = c.width;
    image.height = c.height;
    image.colourType = c.colourType;
    const ReadOutcome outcome = ReadPngBytes(EncodePng(image));
    ASSERT_TRUE(IsQuietSuccess(outcome));
    EXPECT_EQ(outcome.width, c.width);
    EXPECT_EQ(outcome.height, c.height);
    EXPECT_EQ(outcome.pixelLength, c.height * c.width * DecodedBytesPerPixel(outcome.colourType));
  }
}

TEST(PngReader, RefusesOversizedImagesWhenReadingTheHeader) {
  constexpr Size sizes[] = {{1025, 1}, {1, 769}, {1025, 769}, {2048, 2}};
  for (const Size& size : sizes) {
    SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height));
    PngRecipe image;
    image.width = size.width;
    image.height = size.height;
    image.colourType = 0;
    const Bytes file = EncodePng(image);
    const ReadOutcome outcome = ReadPngBytes(file);
    EXPECT_TRUE(IsDecodeFailure(outcome));

    // With everything after the header replaced by junk, the failure and its
    // message stay the same: the image data were never read.
    Bytes headerOnly(file.size(), 0xEE);
    std::copy_n(file.begin(), 8 + 12 + 13, headerOnly.begin());
    const ReadOutcome junk = ReadPngBytes(headerOnly);
    EXPECT_TRUE(IsDecodeFailure(junk));
    EXPECT_EQ(junk.printed, outcome.printed);
  }
}

TEST(PngReader, FailedBlockAllocationKeepsLengthButNoBlock) {
  PngRecipe image;
  image.width = 2;
  image.height = 3;
  image.colourType = 6;
  const Bytes file = EncodePng(image);
  FailNthAllocation(1);
  const ReadOutcome outcome = ReadPngBytes(file, true);
  FailNthAllocation(0);
  EXPECT_EQ(outcome.result, ErrorCode::OutOfMemory);
  EXPECT_EQ(outcome.printed, "PNG\n Width  = 2\n Height = 3\n Colour = RGBA\n");
  EXPECT_EQ(outcome.width, 2u);
  EXPECT_EQ(outcome.height, 3u);
  EXPECT_EQ(outcome.colourType, 6);
  EXPECT_EQ(outcome.pixelLength, 24u);
  EXPECT_FALSE(outcome.heldBlock);
}

}  // namespace
}  // namespace png2zeq::testing
