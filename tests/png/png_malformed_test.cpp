// Files built chunk by chunk around one small well-formed image, each broken
// in one way: which of them the reader must refuse, which it must pass over,
// and what it leaves behind either way.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstddef>
#include <filesystem>
#include <cstdint>
#include <string>
#include <vector>

#include "read_png_support.h"
#include "support/png_builder.h"
#include "support/temp_dir.h"

namespace png2zeq::testing {
namespace {

// The reference image: 4 x 3, 8-bit indices into a 4-entry palette.
constexpr uint32_t kWidth = 4;
constexpr uint32_t kHeight = 3;

Bytes Palette() { return {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120}; }

// Filtered rows (filter type 0 before each) of `rows` rows of indices.
Bytes RawRows(uint32_t rows) {
  Bytes raw;
  for (uint32_t y = 0; y < rows; ++y) {
    raw.push_back(0);
    for (uint32_t x = 0; x < kWidth; ++x) raw.push_back(static_cast<uint8_t>((x + y) % 4));
  }
  return raw;
}

Bytes DecodedReference() {
  const Bytes palette = Palette();
  Bytes pixels;
  for (uint32_t y = 0; y < kHeight; ++y) {
    for (uint32_t x = 0; x < kWidth; ++x) {
      const size_t entry = (x + y) % 4;
      pixels.insert(pixels.end(), palette.begin() + 3 * entry, palette.begin() + 3 * entry + 3);
    }
  }
  return pixels;
}

Bytes Ihdr() { return MakeChunk("IHDR", IhdrData(kWidth, kHeight, 8, 3)); }
Bytes GreyIhdr() { return MakeChunk("IHDR", IhdrData(kWidth, kHeight, 8, 0)); }
Bytes Plte() { return MakeChunk("PLTE", Palette()); }
Bytes Idat() { return MakeChunk("IDAT", Deflate(RawRows(kHeight))); }
Bytes Iend() { return MakeChunk("IEND", {}); }
Bytes Text() {
  const std::string text = std::string("Comment") + '\0' + "a few words";
  return MakeChunk("tEXt", Bytes(text.begin(), text.end()));
}

// A chunk whose stored CRC no longer matches.
Bytes WithBadCrc(Bytes chunk) {
  chunk.back() ^= 0x01;
  return chunk;
}

Bytes Stream(uint32_t rows) { return Deflate(RawRows(rows)); }

// Splits a zlib stream over IDAT chunks of the given data lengths; the last
// chunk takes the rest.
std::vector<Bytes> SplitIdat(const Bytes& stream, const std::vector<size_t>& lengths) {
  std::vector<Bytes> chunks;
  auto from = stream.begin();
  for (size_t length : lengths) {
    chunks.push_back(MakeChunk("IDAT", Bytes(from, from + static_cast<std::ptrdiff_t>(length))));
    from += static_cast<std::ptrdiff_t>(length);
  }
  chunks.push_back(MakeChunk("IDAT", Bytes(from, stream.end())));
  return chunks;
}

Bytes File(const std::vector<Bytes>& chunks) {
  Bytes file = PngSignature();
  for (const Bytes& chunk : chunks) Append(file, chunk);
  return file;
}

Bytes Reference() { return File({Ihdr(), Plte(), Text(), Idat(), Iend()}); }

// The reference image with its image data spread over several IDAT chunks,
// `between` standing after the `index`-th of them (nothing when empty).
Bytes SplitFile(const std::vector<size_t>& lengths, size_t index = 0, const Bytes& between = {}) {
  std::vector<Bytes> chunks = {Ihdr(), Plte()};
  const std::vector<Bytes> idats = SplitIdat(Stream(kHeight), lengths);
  for (size_t i = 0; i < idats.size(); ++i) {
    chunks.push_back(idats[i]);
    if (i == index && !between.empty()) chunks.push_back(between);
  }
  chunks.push_back(Iend());
  return File(chunks);
}

Bytes Concat(Bytes first, const Bytes& second) {
  Append(first, second);
  return first;
}

// `bytes` with the byte at `offset` replaced, or removed when `value` < 0.
Bytes Edited(Bytes bytes, size_t offset, int value) {
  if (value < 0) {
    bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(offset));
  } else {
    bytes[offset] = static_cast<uint8_t>(value);
  }
  return bytes;
}

Bytes IdatOf(const Bytes& stream) { return MakeChunk("IDAT", stream); }

// An IHDR chunk with every field given, the invalid ones included.
Bytes IhdrChunk(uint32_t width, uint32_t height, uint8_t depth, uint8_t colour,
                uint8_t compression = 0, uint8_t filter = 0, uint8_t interlace = 0) {
  Bytes data = IhdrData(width, height, depth, colour, interlace);
  data[10] = compression;
  data[11] = filter;
  return MakeChunk("IHDR", data);
}

struct FileCase {
  const char* name;
  Bytes file;
};

// Files that must decode to exactly the reference pixels.
std::vector<FileCase> PassedOverFiles() {
  return {
      {"reference", Reference()},
      {"CRC error in tEXt", File({Ihdr(), Plte(), WithBadCrc(Text()), Idat(), Iend()})},
      {"CRC error in tEXt after the data",
       File({Ihdr(), Plte(), Idat(), WithBadCrc(Text()), Iend()})},
      {"CRC error in unknown ancillary chunk",
       File({Ihdr(), WithBadCrc(MakeChunk("prVt", {1, 2, 3})), Plte(), Idat(), Iend()})},
      {"unknown ancillary chunk", File({Ihdr(), MakeChunk("qaBc", {9}), Plte(), Idat(), Iend()})},
      {"unknown ancillary chunk after the data",
       File({Ihdr(), Plte(), Idat(), MakeChunk("qaBc", {}), Iend()})},
      {"malformed known ancillary chunks",
       File({Ihdr(), MakeChunk("gAMA", {1}), MakeChunk("tRNS", Bytes(300, 0)),
             MakeChunk("sRGB", {9, 9}), MakeChunk("pHYs", {}), Plte(),
             MakeChunk("bKGD", {7, 7, 7, 7}), Idat(), Iend()})},
      {"zlib stream over several IDAT chunks, one empty", SplitFile({1, 0, 3, 2})},
      {"bytes after IEND", Concat(Reference(), {0xDE, 0xAD, 0xBE, 0xEF, 0, 0, 0, 0})},
  };
}

TEST(PngReader, PassesOverAncillaryTroubleAndTrailingBytes) {
  for (const FileCase& c : PassedOverFiles()) {
    SCOPED_TRACE(c.name);
    const ReadOutcome outcome = ReadPngBytes(c.file);
    ASSERT_TRUE(IsQuietSuccess(outcome));
    EXPECT_EQ(outcome.width, kWidth);
    EXPECT_EQ(outcome.height, kHeight);
    EXPECT_EQ(outcome.colourType, 2);
    EXPECT_EQ(outcome.pixels, DecodedReference());
  }
}

// Files that must be refused with PNGDecodeError.
std::vector<FileCase> RefusedFiles() {
  const Bytes ihdrData = IhdrData(kWidth, kHeight, 8, 3);
  const Bytes stream = Stream(kHeight);
  const Bytes hugeLength = Edited(Edited(Edited(Edited(Text(), 0, 0x80), 1, 0), 2, 0), 3, 0);
  return {
      {"empty file", {}},
      {"not a PNG", {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0, 0, 0}},
      {"signature only", PngSignature()},
      {"damaged signature", Edited(Reference(), 1, 'p')},
      {"line ends converted in signature", Edited(Reference(), 4, -1)},
      {"CRC error in IHDR", File({WithBadCrc(Ihdr()), Plte(), Idat(), Iend()})},
      {"CRC error in PLTE", File({Ihdr(), WithBadCrc(Plte()), Idat(), Iend()})},
      {"CRC error in IDAT", File({Ihdr(), Plte(), WithBadCrc(Idat()), Iend()})},
      {"CRC error in IEND", File({Ihdr(), Plte(), Idat(), WithBadCrc(Iend())})},
      {"unknown critical chunk before the data",
       File({Ihdr(), Plte(), MakeChunk("CRIT", {1}), Idat(), Iend()})},
      {"unknown critical chunk after the data",
       File({Ihdr(), Plte(), Idat(), MakeChunk("CRIT", {}), Iend()})},
      {"chunk type with a digit", File({Ihdr(), Plte(), MakeChunk("tE5t", {}), Idat(), Iend()})},
      {"chunk length of 2^31", File({Ihdr(), Plte(), hugeLength, Idat(), Iend()})},
      {"IEND with data", File({Ihdr(), Plte(), Idat(), MakeChunk("IEND", {0})})},
      {"no IEND", File({Ihdr(), Plte(), Idat()})},
      {"no IDAT", File({Ihdr(), Plte(), Iend()})},
      {"no IHDR", File({Plte(), Idat(), Iend()})},
      {"second IHDR before the data", File({Ihdr(), Ihdr(), Plte(), Idat(), Iend()})},
      {"second IHDR after the data", File({Ihdr(), Plte(), Idat(), Ihdr(), Iend()})},
      {"IHDR of 12 bytes",
       File({MakeChunk("IHDR", Bytes(ihdrData.begin(), ihdrData.end() - 1)), Plte(), Idat(),
             Iend()})},
      {"IHDR of 14 bytes",
       File({MakeChunk("IHDR", Concat(ihdrData, {0})), Plte(), Idat(), Iend()})},
      {"width 0", File({IhdrChunk(0, kHeight, 8, 3), Plte(), Idat(), Iend()})},
      {"height 0", File({IhdrChunk(kWidth, 0, 8, 3), Plte(), Idat(), Iend()})},
      {"bit depth 0", File({IhdrChunk(kWidth, kHeight, 0, 0), Idat(), Iend()})},
      {"bit depth 3", File({IhdrChunk(kWidth, kHeight, 3, 0), Idat(), Iend()})},
      {"colour type 1", File({IhdrChunk(kWidth, kHeight, 8, 1), Idat(), Iend()})},
      {"colour type 5", File({IhdrChunk(kWidth, kHeight, 8, 5), Idat(), Iend()})},
      {"indexed at 16 bits", File({IhdrChunk(kWidth, kHeight, 16, 3), Plte(), Idat(), Iend()})},
      {"RGB at 4 bits", File({IhdrChunk(kWidth, kHeight, 4, 2), Idat(), Iend()})},
      {"grey+alpha at 2 bits", File({IhdrChunk(kWidth, kHeight, 2, 4), Idat(), Iend()})},
      {"compression method 1", File({IhdrChunk(kWidth, kHeight, 8, 3, 1), Plte(), Idat(), Iend()})},
      {"filter method 1", File({IhdrChunk(kWidth, kHeight, 8, 3, 0, 1), Plte(), Idat(), Iend()})},
      {"interlace method 2",
       File({IhdrChunk(kWidth, kHeight, 8, 3, 0, 0, 2), Plte(), Idat(), Iend()})},
      {"indexed without PLTE", File({Ihdr(), Idat(), Iend()})},
      {"PLTE again after the data", File({Ihdr(), Plte(), Idat(), Plte(), Iend()})},
      {"second PLTE", File({Ihdr(), Plte(), Plte(), Idat(), Iend()})},
      {"PLTE in a grey image", File({GreyIhdr(), Plte(), Idat(), Iend()})},
      {"PLTE in a grey+alpha image", File({IhdrChunk(2, kHeight, 8, 4), Plte(), Idat(), Iend()})},
      {"empty PLTE", File({Ihdr(), MakeChunk("PLTE", {}), Idat(), Iend()})},
      {"PLTE length not a multiple of 3",
       File({Ihdr(), MakeChunk("PLTE", {1, 2, 3, 4}), Idat(), Iend()})},
      {"PLTE of 257 entries", File({Ihdr(), MakeChunk("PLTE", Bytes(771, 5)), Idat(), Iend()})},
      {"data after the zlib stream in IDAT",
       File({Ihdr(), Plte(), IdatOf(Concat(stream, {0})), Iend()})},
      {"second zlib stream in IDAT",
       File({Ihdr(), Plte(), IdatOf(Concat(stream, Stream(1))), Iend()})},
      {"IDAT with data after another chunk followed the image data",
       File({Ihdr(), Plte(), Idat(), Text(), IdatOf(Stream(1)), Iend()})},
      {"too little image data", File({Ihdr(), Plte(), IdatOf(Stream(kHeight - 1)), Iend()})},
      {"too much image data", File({Ihdr(), Plte(), IdatOf(Stream(kHeight + 1)), Iend()})},
      {"row filter type 5",
       File({Ihdr(), Plte(), IdatOf(Deflate(Edited(RawRows(kHeight), 1 + kWidth, 5))), Iend()})},
      {"zlib header damaged", File({Ihdr(), Plte(), IdatOf(Edited(stream, 0, 0x79)), Iend()})},
      {"zlib check value wrong",
       File({Ihdr(), Plte(), IdatOf(Edited(stream, stream.size() - 1, stream.back() ^ 0xFF)),
             Iend()})},
      {"raw data instead of a zlib stream",
       File({Ihdr(), Plte(), IdatOf(RawRows(kHeight)), Iend()})},
      {"another chunk inside the image data", SplitFile({4}, 0, Text())},
  };
}

TEST(PngReader, RefusesMalformedFiles) {
  for (const FileCase& c : RefusedFiles()) {
    SCOPED_TRACE(c.name);
    EXPECT_TRUE(IsDecodeFailure(ReadPngBytes(c.file)));
  }
}

TEST(PngReader, FailureLinePassesOnLibpngsMessage) {
  // libpng names the chunk at fault in its message; the error line carries it.
  const FileCase cases[] = {
      {"IHDR", File({WithBadCrc(Ihdr()), Plte(), Idat(), Iend()})},
      {"PLTE", File({Ihdr(), WithBadCrc(Plte()), Idat(), Iend()})},
      {"IDAT", File({Ihdr(), Plte(), WithBadCrc(Idat()), Iend()})},
      {"IEND", File({Ihdr(), Plte(), Idat(), WithBadCrc(Iend())})},
      {"CRIT", File({Ihdr(), Plte(), MakeChunk("CRIT", {1}), Idat(), Iend()})},
  };
  for (const FileCase& c : cases) {
    SCOPED_TRACE(c.name);
    const ReadOutcome outcome = ReadPngBytes(c.file);
    ASSERT_TRUE(IsDecodeFailure(outcome));
    const std::string firstLine = outcome.printed.substr(0, outcome.printed.find('\n'));
    EXPECT_NE(firstLine.find(c.name), std::string::npos) << firstLine;
  }
}

TEST(PngReader, RefusesAFileCutShortAnywhere) {
  // Every chunk kind the reader meets: an ancillary one and several IDAT
  // chunks, one of them empty.
  std::vector<Bytes> chunks = {Ihdr(), Text(), Plte()};
  for (const Bytes& idat : SplitIdat(Stream(kHeight), {5, 0})) chunks.push_back(idat);
  chunks.push_back(Iend());
  const Bytes file = File(chunks);
  ASSERT_TRUE(IsQuietSuccess(ReadPngBytes(file)));

  TempDir dir;
  const std::string path = dir.File("cut.png");
  const int descriptorsBefore = OpenDescriptorCount();
  for (size_t length = 0; length < file.size(); ++length) {
    SCOPED_TRACE("first " + std::to_string(length) + " of " + std::to_string(file.size()));
    WriteFile(path, Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(length)));
    ASSERT_TRUE(IsDecodeFailure(ReadPngFile(path)));
  }
  EXPECT_EQ(OpenDescriptorCount(), descriptorsBefore) << "an input file was left open";
}

TEST(PngReader, InputThatCannotBeOpenedPrintsNothing) {
  TempDir dir;
  const std::string directory = dir.File("folder.png");
  ASSERT_TRUE(std::filesystem::create_directory(directory));
  const std::string cases[] = {dir.File("absent.png"), directory, dir.path(),
                               dir.File("absent/inside.png")};
  const int descriptorsBefore = OpenDescriptorCount();
  for (const std::string& path : cases) {
    SCOPED_TRACE(path);
    const ReadOutcome outcome = ReadPngFile(path);
    EXPECT_EQ(outcome.result, ErrorCode::OpenInputFileFailed);
    EXPECT_EQ(outcome.printed, "");
    EXPECT_EQ(outcome.errors, "");
    EXPECT_FALSE(outcome.heldBlock);
    EXPECT_EQ(outcome.width, kUntouchedSize);
    EXPECT_EQ(outcome.height, kUntouchedSize);
    EXPECT_EQ(outcome.colourType, kUntouchedColourType);
    EXPECT_EQ(outcome.pixelLength, kUntouchedSize);
  }
  EXPECT_EQ(OpenDescriptorCount(), descriptorsBefore) << "a directory was left open";
}

}  // namespace
}  // namespace png2zeq::testing
