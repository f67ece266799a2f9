#include "zeq2png/zeq_reader.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <functional>

#include "common/heap.h"
#include "zeq_test_support.h"

namespace zeq2png {
namespace {

using png2zeq::testing::Bytes;
using png2zeq::testing::BuildZeqFile;
using png2zeq::testing::CompressedZeqFile;
using png2zeq::testing::PatternBytes;
using png2zeq::testing::RawHeader;
using png2zeq::testing::RawZeqFile;
using png2zeq::testing::SetHeaderField;

// Header field offsets.
constexpr size_t kFormatField = 4;
constexpr size_t kWidthField = 8;
constexpr size_t kHeightField = 12;
constexpr size_t kRawLengthField = 16;
constexpr size_t kCompressedLengthField = 20;

// The image most corruptions start from: 5 x 3 RGB888, 45 varied bytes.
constexpr uint32_t kWidth = 5;
constexpr uint32_t kHeight = 3;
const Bytes& BasePixels() {
  static const Bytes pixels = PatternBytes(kWidth * kHeight * 3);
  return pixels;
}
Bytes BaseRaw() { return RawZeqFile(ZEQ_FORMAT_RGB888, kWidth, kHeight, BasePixels()); }
Bytes BaseCompressed() {
  return CompressedZeqFile(ZEQ_FORMAT_RGB888, kWidth, kHeight, BasePixels());
}

ZeqResult Parse(const Bytes& file, ZeqImage* image) {
  return ParseZeq(file.empty() ? nullptr : file.data(), file.size(), image);
}

// A compressed file whose stream holds `streamPixels` while the header
// describes the base image.
Bytes WithStreamOf(const Bytes& streamPixels) {
  const Bytes stream = png2zeq::testing::Deflate(streamPixels);
  png2zeq::OutputHeader header = RawHeader(ZEQ_FORMAT_RGB888, kWidth, kHeight);
  header.compressedLength = static_cast<uint32_t>(stream.size());
  return BuildZeqFile(header, stream);
}

// Replaces the compressed block of a file and keeps the header consistent.
Bytes WithBlock(const Bytes& block) {
  png2zeq::OutputHeader header = RawHeader(ZEQ_FORMAT_RGB888, kWidth, kHeight);
  header.compressedLength = static_cast<uint32_t>(block.size());
  return BuildZeqFile(header, block);
}

Bytes StreamOf(const Bytes& file) { return Bytes(file.begin() + ZEQ_HEADER_SIZE, file.end()); }

// The base pixels deflated with a preset dictionary, which ZEQ files never use.
Bytes StreamWithDictionary() {
  static const uint8_t dictionary[] = "a dictionary the reader cannot know";
  z_stream stream{};
  deflateInit(&stream, 6);
  deflateSetDictionary(&stream, dictionary, sizeof dictionary);
  Bytes out(deflateBound(&stream, BasePixels().size()));
  stream.next_in = const_cast<Bytef*>(BasePixels().data());
  stream.avail_in = static_cast<uInt>(BasePixels().size());
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

TEST(ZeqReader, AcceptsEveryFormatRawAndCompressed) {
  const struct {
    uint32_t format;
  } formats[] = {{0x0008}, {0x8008}, {0x0888}, {0x8888}, {0x0565}, {0x8565}};
  for (const auto& format : formats) {
    for (bool compressed : {false, true}) {
      const Bytes pixels = PatternBytes(7 * 4 * zeq_bytes_per_pixel(format.format), format.format);
      const Bytes file = compressed ? CompressedZeqFile(format.format, 7, 4, pixels)
                                    : RawZeqFile(format.format, 7, 4, pixels);
      ZeqImage image;
      ASSERT_EQ(Parse(file, &image), ZeqResult::OK) << std::hex << format.format;
      ASSERT_NE(image.format, nullptr);
      EXPECT_EQ(image.format->code, format.format);
      EXPECT_TRUE(image.hasHeader);
      EXPECT_EQ(image.header.width, 7u);
      EXPECT_EQ(image.header.height, 4u);
      ASSERT_EQ(image.pixels.size, pixels.size());
      EXPECT_EQ(0, std::memcmp(image.pixels.data, pixels.data(), pixels.size()));
    }
  }
}

TEST(ZeqReader, AcceptsTheLargestImage) {
  const Bytes pixels = PatternBytes(1024 * 768 * 4);
  ZeqImage image;
  EXPECT_EQ(Parse(CompressedZeqFile(ZEQ_FORMAT_RGBA8888, 1024, 768, pixels), &image),
            ZeqResult::OK);
  EXPECT_EQ(image.pixels.size, pixels.size());
}

struct Corruption {
  const char* name;
  std::function<Bytes()> build;
  ZeqResult expected;
};

// One file per way a ZEQ file can be wrong, each with the code it must get.
const std::vector<Corruption>& Corruptions() {
  static const std::vector<Corruption> cases = {
      {"empty file", [] { return Bytes{}; }, ZeqResult::ZEQFileEmpty},
      {"one byte", [] { return Bytes{0x5E}; }, ZeqResult::ZEQHeaderTruncated},
      {"header cut at 23 bytes",
       [] {
         const Bytes f = BaseRaw();
         return Bytes(f.begin(), f.begin() + 23);
       },
       ZeqResult::ZEQHeaderTruncated},
      {"bad magic",
       [] {
         Bytes f = BaseRaw();
         f[3] ^= 0x01;
         return f;
       },
       ZeqResult::ZEQBadMagic},
      {"magic big-endian",
       [] {
         Bytes f = BaseRaw();
         f[0] = 0x0B, f[1] = 0x5E, f[2] = 0x0B, f[3] = 0x5E;
         return f;
       },
       ZeqResult::ZEQBadMagic},
      {"unknown format 0x0777",
       [] {
         Bytes f = BaseRaw();
         SetHeaderField(f, kFormatField, 0x0777);
         return f;
       },
       ZeqResult::ZEQUnknownPixelFormat},
      {"format with high bits set",
       [] {
         Bytes f = BaseRaw();
         SetHeaderField(f, kFormatField, 0x10888);
         return f;
       },
       ZeqResult::ZEQUnknownPixelFormat},
      {"zero width",
       [] {
         Bytes f = BaseRaw();
         SetHeaderField(f, kWidthField, 0);
         return f;
       },
       ZeqResult::ZEQWidthOutOfRange},
      {"width 1025",
       [] {
         Bytes f = BaseRaw();
         SetHeaderField(f, kWidthField, 1025);
         return f;
       },
       ZeqResult::ZEQWidthOutOfRange},
      {"zero height",
       [] {
         Bytes f = BaseRaw();
         SetHeaderField(f, kHeightField, 0);
         return f;
       },
       ZeqResult::ZEQHeightOutOfRange},
      {"height 769",
       [] {
         Bytes f = BaseRaw();
         SetHeaderField(f, kHeightField, 769);
         return f;
       },
       ZeqResult::ZEQHeightOutOfRange},
      {"rawLength one too many",
       [] {
         Bytes f = BaseRaw();
         SetHeaderField(f, kRawLengthField, kWidth * kHeight * 3 + 1);
         f.push_back(0);
         return f;
       },
       ZeqResult::ZEQRawLengthMismatch},
      {"rawLength of zero",
       [] {
         Bytes f = BaseRaw();
         SetHeaderField(f, kRawLengthField, 0);
         f.resize(ZEQ_HEADER_SIZE);
         return f;
       },
       ZeqResult::ZEQRawLengthMismatch},
      {"raw file one byte long",
       [] {
         Bytes f = BaseRaw();
         f.push_back(0);
         return f;
       },
       ZeqResult::ZEQFileSizeMismatch},
      {"raw file one byte short",
       [] {
         Bytes f = BaseRaw();
         f.pop_back();
         return f;
       },
       ZeqResult::ZEQFileSizeMismatch},
      {"header alone",
       [] {
         const Bytes f = BaseRaw();
         return Bytes(f.begin(), f.begin() + ZEQ_HEADER_SIZE);
       },
       ZeqResult::ZEQFileSizeMismatch},
      {"compressedLength beyond the file",
       [] {
         Bytes f = BaseCompressed();
         SetHeaderField(f, kCompressedLengthField, 0xFFFFFFFF);
         return f;
       },
       ZeqResult::ZEQFileSizeMismatch},
      {"compressed file one byte long",
       [] {
         Bytes f = BaseCompressed();
         f.push_back(0);
         return f;
       },
       ZeqResult::ZEQFileSizeMismatch},
      {"block that is no zlib stream",
       [] { return WithBlock(BasePixels()); }, ZeqResult::ZEQStreamCorrupt},
      {"invalid deflate block type",
       [] { return WithBlock(Bytes{0x78, 0x9C, 0xFF, 0xFF, 0xFF, 0xFF}); },
       ZeqResult::ZEQStreamCorrupt},
      {"preset dictionary", [] { return WithBlock(StreamWithDictionary()); },
       ZeqResult::ZEQStreamCorrupt},
      {"stream cut in half",
       [] {
         const Bytes stream = StreamOf(BaseCompressed());
         return WithBlock(Bytes(stream.begin(), stream.begin() + stream.size() / 2));
       },
       ZeqResult::ZEQStreamTruncated},
      {"stream cut inside its Adler-32",
       [] {
         const Bytes stream = StreamOf(BaseCompressed());
         return WithBlock(Bytes(stream.begin(), stream.end() - 2));
       },
       ZeqResult::ZEQStreamTruncated},
      {"flipped Adler-32 byte",
       [] {
         Bytes f = BaseCompressed();
         f.back() ^= 0xFF;
         return f;
       },
       ZeqResult::ZEQChecksumMismatch},
      {"stream of one byte fewer",
       [] {
         Bytes fewer = BasePixels();
         fewer.pop_back();
         return WithStreamOf(fewer);
       },
       ZeqResult::ZEQInflatedTooShort},
      {"stream of one byte more",
       [] {
         Bytes more = BasePixels();
         more.push_back(7);
         return WithStreamOf(more);
       },
       ZeqResult::ZEQInflatedTooLong},
      {"stream of a thousand bytes more",
       [] {
         Bytes more = BasePixels();
         more.resize(more.size() + 1000, 0x55);
         return WithStreamOf(more);
       },
       ZeqResult::ZEQInflatedTooLong},
      {"trailing bytes after the stream",
       [] {
         Bytes stream = StreamOf(BaseCompressed());
         png2zeq::testing::Append(stream, Bytes{0, 0, 0});
         return WithBlock(stream);
       },
       ZeqResult::ZEQTrailingBytes},
  };
  return cases;
}

TEST(ZeqReader, GivesEachCorruptionItsOwnCode) {
  for (const Corruption& corruption : Corruptions()) {
    ZeqImage image;
    EXPECT_EQ(Parse(corruption.build(), &image), corruption.expected)
        << corruption.name << ": got " << ZeqResultName(Parse(corruption.build(), &image));
    EXPECT_EQ(image.pixels.data, nullptr) << corruption.name;
  }
}

TEST(ZeqReader, AllocatesNothingBeforeTheHeaderAndSizeAreChecked) {
  // Fields that would ask for gigabytes if they were trusted.
  const struct {
    uint32_t width, height, rawLength, compressedLength;
  } claims[] = {
      {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0},
      {1024, 768, 0xFFFFFFFF, 0xFFFFFFFF},
      {1024, 768, 1024 * 768 * 4, 0},
      {1024, 768, 1024 * 768 * 4, 0xFFFFFFF0},
  };
  for (const auto& claim : claims) {
    Bytes file = BaseRaw();
    SetHeaderField(file, kFormatField, ZEQ_FORMAT_RGBA8888);
    SetHeaderField(file, kWidthField, claim.width);
    SetHeaderField(file, kHeightField, claim.height);
    SetHeaderField(file, kRawLengthField, claim.rawLength);
    SetHeaderField(file, kCompressedLengthField, claim.compressedLength);
    const unsigned before = png2zeq::AllocationCount();
    ZeqImage image;
    EXPECT_NE(Parse(file, &image), ZeqResult::OK);
    EXPECT_EQ(png2zeq::AllocationCount(), before) << claim.width << " " << claim.rawLength;
  }
}

TEST(ZeqReader, KeepsTheHeaderItReadWhenACheckFails) {
  Bytes file = BaseRaw();
  SetHeaderField(file, kFormatField, 0x0777);
  ZeqImage image;
  ASSERT_EQ(Parse(file, &image), ZeqResult::ZEQUnknownPixelFormat);
  EXPECT_TRUE(image.hasHeader);
  EXPECT_EQ(image.header.pixelFormat, 0x0777u);
  EXPECT_EQ(image.header.width, kWidth);
  EXPECT_EQ(image.format, nullptr);

  ZeqImage empty;
  ASSERT_EQ(Parse(Bytes(10, 0), &empty), ZeqResult::ZEQHeaderTruncated);
  EXPECT_FALSE(empty.hasHeader);
}

TEST(ZeqReader, ForgetsAnEarlierImageWhenReused) {
  ZeqImage image;
  ASSERT_EQ(Parse(BaseCompressed(), &image), ZeqResult::OK);
  Bytes bad = BaseCompressed();
  bad.back() ^= 1;
  EXPECT_EQ(Parse(bad, &image), ZeqResult::ZEQChecksumMismatch);
  EXPECT_EQ(image.pixels.data, nullptr);
  EXPECT_EQ(image.pixels.size, 0u);
}

TEST(ZeqReader, ReportsAFailedPixelAllocation) {
  ZeqImage image;
  png2zeq::FailNthAllocation(1);
  const ZeqResult result = Parse(BaseCompressed(), &image);
  png2zeq::FailNthAllocation(0);
  EXPECT_EQ(result, ZeqResult::OutOfMemory);
  EXPECT_EQ(image.pixels.data, nullptr);
}

// Every bit of a valid file flipped in turn: the reader must either refuse
// the file or give back exactly the original pixels (a flip in the unused
// padding bits of the last deflate byte changes nothing).
TEST(ZeqReader, NeverAcceptsChangedPixels) {
  const struct {
    Bytes file;
    bool checksummed;
  } valids[] = {{BaseRaw(), false}, {BaseCompressed(), true}};
  for (const auto& [valid, checksummed] : valids) {
    for (size_t byte = 0; byte < valid.size(); ++byte) {
      for (int bit = 0; bit < 8; ++bit) {
        Bytes file = valid;
        file[byte] ^= static_cast<uint8_t>(1u << bit);
        ZeqImage image;
        if (Parse(file, &image) != ZeqResult::OK) continue;
        // Flips in the raw pixels are undetectable by design: no checksum.
        if (!checksummed && byte >= ZEQ_HEADER_SIZE) continue;
        ASSERT_EQ(image.pixels.size, BasePixels().size()) << byte << ":" << bit;
        EXPECT_EQ(0, std::memcmp(image.pixels.data, BasePixels().data(), BasePixels().size()))
            << "byte " << byte << " bit " << bit;
      }
    }
  }
}

// Every prefix of a valid file is refused, and none is read past its end
// (the sanitizer build checks the latter).
TEST(ZeqReader, RefusesEveryPrefix) {
  for (const Bytes& valid : {BaseRaw(), BaseCompressed()}) {
    for (size_t length = 0; length < valid.size(); ++length) {
      // A copy of exactly `length` bytes, so any overread leaves the block.
      Bytes prefix(valid.begin(), valid.begin() + static_cast<std::ptrdiff_t>(length));
      ZeqImage image;
      EXPECT_NE(Parse(prefix, &image), ZeqResult::OK) << length;
    }
  }
}

TEST(ZeqReader, SurvivesArbitraryBytes) {
  uint32_t seed = 1;
  for (int round = 0; round < 3000; ++round) {
    const Bytes noise = PatternBytes(static_cast<size_t>(round % 97), ++seed);
    Bytes file = BaseCompressed();
    // Keep a plausible header half the time, so the stream checks run too.
    if (round % 2 == 0) {
      file.resize(ZEQ_HEADER_SIZE);
      png2zeq::testing::Append(file, noise);
      SetHeaderField(file, kCompressedLengthField, static_cast<uint32_t>(noise.size()));
    } else {
      file = noise;
    }
    ZeqImage image;
    const ZeqResult result = Parse(file, &image);
    EXPECT_EQ(image.pixels.data != nullptr, result == ZeqResult::OK);
  }
}

}  // namespace
}  // namespace zeq2png
