// The device loader must give zeq2png's reader's verdict and pixels on every
// file, whole and streamed through reads of any size.

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "job/zeq_format.h"
#include "support/png_builder.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"
#include "zeq2png/zeq_reader.h"
#include "zeq_loader.h"

namespace {

using png2zeq::testing::Bytes;
using zeq2png::ZeqResult;

struct Verdict {
  int status;  // zeq2png's code; the loader's own (negative) for a loader-only status
  Bytes pixels;
  bool operator==(const Verdict&) const = default;
};

int AsReaderCode(zeq_status status) {
  static const std::pair<zeq_status, ZeqResult> kSame[] = {
      {ZEQ_OK, ZeqResult::OK}, {ZEQ_E_FILE_EMPTY, ZeqResult::ZEQFileEmpty},
      {ZEQ_E_HEADER_TRUNCATED, ZeqResult::ZEQHeaderTruncated},
      {ZEQ_E_BAD_MAGIC, ZeqResult::ZEQBadMagic},
      {ZEQ_E_UNKNOWN_PIXEL_FORMAT, ZeqResult::ZEQUnknownPixelFormat},
      {ZEQ_E_WIDTH_OUT_OF_RANGE, ZeqResult::ZEQWidthOutOfRange},
      {ZEQ_E_HEIGHT_OUT_OF_RANGE, ZeqResult::ZEQHeightOutOfRange},
      {ZEQ_E_RAW_LENGTH_MISMATCH, ZeqResult::ZEQRawLengthMismatch},
      {ZEQ_E_FILE_SIZE_MISMATCH, ZeqResult::ZEQFileSizeMismatch},
      {ZEQ_E_STREAM_CORRUPT, ZeqResult::ZEQStreamCorrupt},
      {ZEQ_E_STREAM_TRUNCATED, ZeqResult::ZEQStreamTruncated},
      {ZEQ_E_CHECKSUM_MISMATCH, ZeqResult::ZEQChecksumMismatch},
      {ZEQ_E_INFLATED_TOO_SHORT, ZeqResult::ZEQInflatedTooShort},
      {ZEQ_E_INFLATED_TOO_LONG, ZeqResult::ZEQInflatedTooLong},
      {ZEQ_E_TRAILING_BYTES, ZeqResult::ZEQTrailingBytes}};
  for (const auto& [loader, reader] : kSame) {
    if (loader == status) return static_cast<int>(reader);
  }
  return status;
}

zeq_info HeaderOf(const Bytes& file) {
  zeq_info info{};
  zeq_parse_header(file.data(), std::min<size_t>(file.size(), 26), &info);
  return info;
}

Verdict Decode(const Bytes& file) {
  const zeq_info info = HeaderOf(file);
  Bytes workspace(zeq_workspace_size(&info, 0));
  Bytes pixels(std::min(info.raw_length, 1024u * 768 * 4));  // exact for a valid header
  const int status = AsReaderCode(zeq_decode(file.data(), file.size(), pixels.data(),
                                             pixels.size(), workspace.data(), workspace.size()));
  return {status, status == 0 ? pixels : Bytes{}};
}

// A file handed out in pieces whose sizes cycle through `pieces`.
struct Source {
  const Bytes& file;
  std::vector<size_t> pieces;
  size_t at = 0, turn = 0;
};
size_t ReadPiece(void* context, uint8_t* buffer, size_t length) {
  Source& source = *static_cast<Source*>(context);
  const size_t piece = std::min({length, source.pieces[source.turn++ % source.pieces.size()],
                                 source.file.size() - source.at});
  std::copy_n(source.file.data() + source.at, piece, buffer);
  source.at += piece;
  return piece;
}

Verdict Stream(const Bytes& file, const std::vector<size_t>& pieces, uint32_t rowsPerCall) {
  zeq_info info = HeaderOf(file);
  Bytes workspace(zeq_workspace_size(&info, 1));
  Source source{file, pieces};
  zeq_stream* stream = nullptr;
  zeq_status status =
      zeq_stream_open(&stream, ReadPiece, &source, workspace.data(), workspace.size(), &info);
  Bytes pixels;
  for (uint32_t row = 0; status == ZEQ_OK && row < info.height; row += rowsPerCall) {
    const uint32_t count = std::min(rowsPerCall, info.height - row);
    Bytes rows(size_t{count} * info.width * info.bytes_per_pixel);
    status = zeq_stream_rows(stream, rows.data(), count);
    png2zeq::testing::Append(pixels, rows);
  }
  if (status == ZEQ_OK) status = zeq_stream_finish(stream);
  return {AsReaderCode(status), status == ZEQ_OK ? pixels : Bytes{}};
}

void ExpectAgreement(const Bytes& file, const std::string& what) {
  zeq2png::ZeqImage image;
  const ZeqResult result = zeq2png::ParseZeq(file.data(), file.size(), &image);
  const Verdict reader{static_cast<int>(result),
                       Bytes(image.pixels.data, image.pixels.data + image.pixels.size)};
  EXPECT_EQ(Decode(file), reader) << what;
  const std::pair<std::vector<size_t>, uint32_t> readings[] = {
      {{1}, 1}, {{7, 13, 1}, 3}, {{4096}, 768}};
  for (const auto& [pieces, rowsPerCall] : readings) {
    const Verdict streamed = Stream(file, pieces, rowsPerCall);
    // Only a stream keeps no more than the declared window; zeq2png holds everything.
    if (streamed.status == ZEQ_E_BEYOND_WINDOW && HeaderOf(file).window_bits < 15) continue;
    EXPECT_EQ(streamed, reader) << what << ", reads of " << pieces[0];
  }
}

// The file the converter writes for `recipe` with `options`.
Bytes Converted(const std::string& png, const std::vector<std::string>& options) {
  const png2zeq::testing::TempDir dir;
  std::vector<std::string> arguments = options;
  arguments.insert(arguments.end(), {"-o", dir.File("out.zeq"), png});
  EXPECT_EQ(png2zeq::testing::RunConverterProcess(arguments).exitStatus, 0) << png;
  return png2zeq::testing::ReadFile(dir.File("out.zeq"));
}

Bytes ConvertedRecipe(int colourType, const std::vector<std::string>& options) {
  png2zeq::testing::PngRecipe recipe;
  recipe.width = 13, recipe.height = 7, recipe.colourType = colourType;
  recipe.samples.resize(png2zeq::testing::PackedRowBytes(recipe) * recipe.height);
  for (size_t i = 0; i < recipe.samples.size(); ++i) recipe.samples[i] = (i * 37 % 11) * 23;
  const png2zeq::testing::TempDir dir;
  png2zeq::testing::WriteFile(dir.File("in.png"), png2zeq::testing::EncodePng(recipe));
  return Converted(dir.File("in.png"), options);
}

// A 40 x 30 RGB file whose zlib stream declares a 512-byte window.
Bytes SmallWindowFile() {
  Bytes pixels(40 * 30 * 3), stream(8192);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i % 700 * 7 / 5);
  z_stream deflater{};
  deflateInit2(&deflater, 9, Z_DEFLATED, 9, 8, Z_DEFAULT_STRATEGY);
  deflater.next_in = pixels.data(), deflater.avail_in = static_cast<uInt>(pixels.size());
  deflater.next_out = stream.data(), deflater.avail_out = static_cast<uInt>(stream.size());
  deflate(&deflater, Z_FINISH);
  stream.resize(deflater.total_out);
  deflateEnd(&deflater);
  Bytes file(24);
  png2zeq::EncodeZeqHeader({png2zeq::kZeqMagic, 0x0888, 40, 30, 3600, uint32_t(stream.size())},
                           file.data());
  png2zeq::testing::Append(file, stream);
  return file;
}

// Every prefix, three bit flips in every byte, a byte more, and headers that
// stay consistent while the data holds a row more, a row fewer or a tail.
std::vector<Bytes> Mutations(const Bytes& file) {
  std::vector<Bytes> out{file};
  for (size_t length = 0; length < file.size(); ++length) out.emplace_back(file.data(), file.data() + length);
  for (size_t at = 0; at < file.size(); ++at) {
    for (const int bit : {0, 3, 7}) out.push_back(file), out.back()[at] ^= 1 << bit;
  }
  out.push_back(file), out.back().push_back(0);
  const uint32_t height = png2zeq::LoadLittleEndian32(&file[12]);
  const uint32_t rowBytes = png2zeq::LoadLittleEndian32(&file[16]) / height;
  for (const uint32_t rows : {height - 1, height + 1}) {
    out.push_back(file);
    png2zeq::StoreLittleEndian32(&out.back()[12], rows);
    png2zeq::StoreLittleEndian32(&out.back()[16], rows * rowBytes);
  }
  out.push_back(file), out.back().insert(out.back().end(), 3, 0);
  const uint32_t compressed = png2zeq::LoadLittleEndian32(&file[20]);
  png2zeq::StoreLittleEndian32(&out.back()[20], compressed != 0 ? compressed + 3 : 0);
  return out;
}

TEST(ZeqLoader, AgreesWithZeq2PngOnConvertedAndDamagedFiles) {
  const std::pair<const char*, Bytes> files[] = {
      {"RGB888", ConvertedRecipe(2, {})},
      {"raw RGB888", ConvertedRecipe(2, {"-u"})},
      {"RGBA5658 dithered", ConvertedRecipe(6, {"-depth", "565", "-dither"})},
      {"grey", ConvertedRecipe(0, {})},
      {"512-byte window", SmallWindowFile()}};
  for (const auto& [name, file] : files) {
    const std::vector<Bytes> mutations = Mutations(file);
    for (size_t i = 0; i < mutations.size(); ++i) {
      ExpectAgreement(mutations[i], std::string(name) + " mutation " + std::to_string(i));
    }
  }
  const std::string photos = png2zeq::testing::SharedDataDir() + "/photos/";
  ExpectAgreement(Converted(photos + "astronaut-1024x768.png", {}), "astronaut");
  ExpectAgreement(Converted(photos + "coffee-rgba-1024x768.png", {"-d", "565"}), "coffee");
}

// The workspace that zeq_workspace_size names is enough at any alignment,
// one byte less is refused, and both stay within the RAM budget.
TEST(ZeqLoader, UsesExactlyItsWorkspaceWithinTheRamBudget) {
  for (const Bytes& file : {ConvertedRecipe(2, {}), SmallWindowFile()}) {
    const zeq_info info = HeaderOf(file);
    Bytes pixels(info.raw_length), row(info.width * info.bytes_per_pixel);
    const size_t whole = zeq_workspace_size(&info, 0), streamed = zeq_workspace_size(&info, 1);
    EXPECT_LE(whole, 8192u);
    EXPECT_LE(streamed, 8192u + (1u << info.window_bits) + 1024);
    for (const size_t offset : {0, 1, 3}) {
      for (const size_t missing : {0, 1}) {
        const zeq_status expected = missing == 0 ? ZEQ_OK : ZEQ_E_WORKSPACE_TOO_SMALL;
        Bytes workspace(offset + whole - missing);
        EXPECT_EQ(zeq_decode(file.data(), file.size(), pixels.data(), pixels.size(),
                             workspace.data() + offset, whole - missing), expected);
        workspace.resize(offset + streamed - missing);
        Source source{file, {5}};
        zeq_stream* stream = nullptr;
        zeq_info opened{};
        EXPECT_EQ(zeq_stream_open(&stream, ReadPiece, &source, workspace.data() + offset,
                                  streamed - missing, &opened), expected);
      }
    }
  }
}

TEST(ZeqLoader, RefusesCallerMistakesAndNamesEveryStatus) {
  const Bytes file = ConvertedRecipe(2, {});
  const zeq_info info = HeaderOf(file);
  Bytes pixels(info.raw_length - 1), workspace(zeq_workspace_size(&info, 1));
  EXPECT_EQ(zeq_decode(file.data(), file.size(), pixels.data(), pixels.size(), workspace.data(),
                       workspace.size()), ZEQ_E_PIXELS_TOO_SMALL);
  Source source{file, {64}};
  zeq_stream* stream = nullptr;
  zeq_info opened{};
  ASSERT_EQ(zeq_stream_open(&stream, ReadPiece, &source, workspace.data(), workspace.size(),
                            &opened), ZEQ_OK);
  EXPECT_EQ(zeq_stream_rows(stream, pixels.data(), info.height + 1), ZEQ_E_BAD_CALL);
  EXPECT_EQ(zeq_stream_finish(stream), ZEQ_E_BAD_CALL);
  for (zeq_status status = ZEQ_E_BAD_CALL; status <= ZEQ_OK; ++status) {
    EXPECT_STRNE(zeq_status_text(status), zeq_status_text(1)) << status;
  }
}

}  // namespace
