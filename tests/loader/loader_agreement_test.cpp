// The device loader must give zeq2png's reader's verdict and pixels on every
// file, whole and streamed through reads of any size.

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "common/zeq_format.h"
#include "support/png_builder.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"
#include "zeq2png/loader_verdicts.h"
#include "zeq2png/zeq_reader.h"
#include "zeq_loader.h"
#ifndef ZEQ_USE_ZLIB
extern "C" {
#include "zeq_inflate.h"
}
#endif

namespace {

using png2zeq::testing::Bytes;

// A status in zeq2png's numbering, and the pixels when it is OK.
using Verdict = std::pair<int, Bytes>;

// zeq2png's code for a loader status; a loader-only status stays as it is.
int AsReaderCode(zeq_status status) {
  const zeq2png::LoaderVerdict* verdict = zeq2png::FindLoaderVerdict(status);
  return verdict != nullptr ? static_cast<int>(verdict->result) : status;
}

zeq_info HeaderOf(const Bytes& file) {
  zeq_info info{};
  zeq_parse_header(file.data(), std::min<size_t>(file.size(), ZEQ_PROBE_SIZE), &info);
  return info;
}

// Decodes into rawLength bytes with the workspace the header asks for, less
// `less` bytes, that starts `offset` bytes into its block.
Verdict Decode(const Bytes& file, size_t offset = 0, size_t less = 0) {
  const zeq_info info = HeaderOf(file);
  const size_t room = zeq_workspace_size(&info, 0) - less;
  Bytes workspace(offset + room),
      pixels(std::min<uint32_t>(info.raw_length, ZEQ_MAX_WIDTH * ZEQ_MAX_HEIGHT * 4));
  const int status = AsReaderCode(zeq_decode(file.data(), file.size(), pixels.data(), pixels.size(),
                                             workspace.data() + offset, room));
  return {status, status == 0 ? pixels : Bytes{}};
}

// A file handed out in pieces whose sizes cycle through `pieces`, and the
// workspace of the stream that reads it.
struct Source {
  const Bytes& file;
  std::vector<size_t> pieces;
  size_t at = 0, turn = 0;
  Bytes workspace = {};
};
size_t ReadPiece(void* context, uint8_t* buffer, size_t length) {
  Source& source = *static_cast<Source*>(context);
  const size_t piece = std::min({length, source.pieces[source.turn++ % source.pieces.size()],
                                 source.file.size() - source.at});
  std::copy_n(source.file.data() + source.at, piece, buffer);
  source.at += piece;
  return piece;
}

// Opens a stream with the workspace the header asks for, less `less` bytes,
// that starts `offset` bytes into its block.
zeq_status Open(Source& source, zeq_stream** stream, zeq_info* info, size_t offset = 0,
                size_t less = 0) {
  *info = HeaderOf(source.file);
  const size_t room = zeq_workspace_size(info, 1) - less;
  source.workspace.assign(offset + room, 0);
  return zeq_stream_open(stream, ReadPiece, &source, source.workspace.data() + offset, room, info);
}

Verdict Stream(const Bytes& file, const std::vector<size_t>& pieces, uint32_t rowsPerCall) {
  Source source{file, pieces};
  zeq_stream* stream = nullptr;
  zeq_info info{};
  zeq_status status = Open(source, &stream, &info);
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
  const zeq2png::ZeqResult result = zeq2png::ParseZeq(file.data(), file.size(), &image);
  const Verdict reader{static_cast<int>(result),
                       Bytes(image.pixels.data, image.pixels.data + image.pixels.size)};
  EXPECT_EQ(Decode(file), reader) << what;
  const std::pair<std::vector<size_t>, uint32_t> readings[] = {
      {{1}, 1}, {{7, 13, 1}, 3}, {{4096}, 768}};
  for (const auto& [pieces, rowsPerCall] : readings) {
    const Verdict streamed = Stream(file, pieces, rowsPerCall);
    // Only a stream keeps no more than the declared window; zeq2png holds everything.
    if (streamed.first == ZEQ_E_BEYOND_WINDOW && HeaderOf(file).window_bits < 15) continue;
    EXPECT_EQ(streamed, reader) << what << ", reads of " << pieces[0];
  }
}

// The file the converter writes for the PNG at `png` with the option `arguments`.
Bytes Converted(const std::string& png, std::vector<std::string> arguments) {
  const png2zeq::testing::TempDir dir;
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

// The file with its zlib header declaring a window of 2^bits bytes.
Bytes WithWindowBits(Bytes file, uint32_t bits) {
  file[24] = static_cast<uint8_t>((bits - 8) << 4 | Z_DEFLATED);
  file[25] = static_cast<uint8_t>(31 - file[24] * 256 % 31);  // check bits only
  return file;
}

// Every prefix, bits 0, 3 and 6 flipped in every byte, and headers that
// stay consistent while the data holds a row more, a row fewer or a tail.
std::vector<Bytes> Mutations(const Bytes& file) {
  std::vector<Bytes> out{file};
  for (size_t length = 0; length < file.size(); ++length)
    out.emplace_back(file.data(), file.data() + length);
  for (size_t at = 0; at < file.size() * 3; ++at) {
    out.push_back(file), out.back()[at / 3] ^= static_cast<uint8_t>(1 << (at % 3 * 3));
  }
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
      {"512-byte window", WithWindowBits(ConvertedRecipe(2, {}), 9)},
      {"converted with a 4 KiB window", ConvertedRecipe(2, {"-window", "12"})}};
  for (const auto& [name, file] : files) {
    const std::vector<Bytes> mutations = Mutations(file);
    for (size_t i = 0; i < mutations.size(); ++i) {
      ExpectAgreement(mutations[i], std::string(name) + " mutation " + std::to_string(i));
    }
  }
}

// The photographs agree too, and only the stream refuses distances beyond the
// window a file declares: zeq2png holds all pixels, a stream keeps only that
// window and says so.
TEST(ZeqLoader, AgreesWithZeq2PngOnThePhotographs) {
  if (auto missing = png2zeq::testing::MissingSharedData(
          {"photos/astronaut-1024x768.png", "photos/coffee-rgba-1024x768.png"});
      !missing.empty()) {
    GTEST_SKIP() << missing;
  }
  const std::string photos = png2zeq::testing::SharedDataDir() + "/photos/";
  const Bytes astronaut = Converted(photos + "astronaut-1024x768.png", {});
  ExpectAgreement(astronaut, "astronaut");
  ExpectAgreement(Converted(photos + "astronaut-1024x768.png", {"-window", "9"}), "astronaut, -window 9");
  ExpectAgreement(Converted(photos + "coffee-rgba-1024x768.png", {"-d", "565"}), "coffee");
  EXPECT_EQ(Decode(WithWindowBits(astronaut, 9)).first, 0);
  EXPECT_EQ(Stream(WithWindowBits(astronaut, 9), {4096}, 768).first, ZEQ_E_BEYOND_WINDOW);
}

// `raw` as a ZEQ file of RGB888 pixels 128 wide, its block the zlib stream `block`.
Bytes WrappedStream(const Bytes& raw, const Bytes& block) {
  Bytes file(ZEQ_HEADER_SIZE);
  const uint32_t fields[] = {ZEQ_MAGIC, ZEQ_FORMAT_RGB888, 128, uint32_t(raw.size() / 384),
                             uint32_t(raw.size()), uint32_t(block.size())};
  for (size_t i = 0; i < 6; ++i) png2zeq::StoreLittleEndian32(&file[i * 4], fields[i]);
  png2zeq::testing::Append(file, block);
  return file;
}

// `raw` deflated by zlib with these settings, flushing every `flushEvery` bytes.
Bytes ZlibStream(const Bytes& raw, int level, int bits, int strategy, int flush, size_t flushEvery) {
  z_stream z{};
  EXPECT_EQ(deflateInit2(&z, level, Z_DEFLATED, bits, 9, strategy), Z_OK);
  Bytes out(deflateBound(&z, raw.size()) + raw.size() / flushEvery * 16 + 64);
  z.next_out = out.data(), z.avail_out = uInt(out.size());
  for (size_t at = 0; at < raw.size(); at += flushEvery) {
    z.next_in = const_cast<uint8_t*>(raw.data() + at);
    z.avail_in = uInt(std::min(flushEvery, raw.size() - at));
    deflate(&z, at + flushEvery >= raw.size() ? Z_FINISH : flush);
  }
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

// Streams no converter writes: every level, window and strategy of zlib,
// stored and many small blocks, and zopfli's unusual trees, decoded as zlib does.
TEST(ZeqLoader, DecodesZlibStreamsOfEverySetting) {
  Bytes raw(128 * 96 * 3);  // runs, repeats from far back and noise, over 32 KiB
  for (size_t i = 0; i < raw.size(); ++i)
    raw[i] = uint8_t(i % 3000 < 900 ? i / 7 : i % 3000 < 2000 ? (i * 2654435761u) >> 13 : raw[i % 3000 - 1100]);
  struct Setting { int level, bits, strategy, flush; size_t flushEvery; };
  std::vector<Setting> settings = {{6, 15, Z_FILTERED, 0, SIZE_MAX}, {6, 15, Z_HUFFMAN_ONLY, 0, SIZE_MAX},
      {6, 15, Z_RLE, 0, SIZE_MAX}, {6, 15, Z_FIXED, 0, SIZE_MAX}, {6, 15, 0, Z_FULL_FLUSH, 97},
      {1, 15, 0, Z_SYNC_FLUSH, 1000}, {0, 15, 0, Z_SYNC_FLUSH, 70000}};
  for (int level = 0; level <= 9; ++level) settings.push_back({level, 15, 0, 0, SIZE_MAX});
  for (int bits = 9; bits <= 14; ++bits) settings.push_back({9, bits, 0, 0, SIZE_MAX});
  for (const Setting& s : settings) {
    const std::string what = "level " + std::to_string(s.level) + ", window " +
        std::to_string(s.bits) + ", strategy " + std::to_string(s.strategy) + ", flush " +
        std::to_string(s.flush);
    ExpectAgreement(WrappedStream(raw, ZlibStream(raw, s.level, s.bits, s.strategy, s.flush,
                                                  std::min(s.flushEvery, raw.size()))), what);
  }
  const png2zeq::testing::TempDir dir;
  png2zeq::testing::WriteFile(dir.File("raw"), raw);
  if (png2zeq::testing::RunProcess("zopfli", {"--zlib", "--i5", dir.File("raw")}).exitStatus != 0) {
    GTEST_SKIP() << "no zopfli (scripts/install-deps.sh installs it)";
  }
  ExpectAgreement(WrappedStream(raw, png2zeq::testing::ReadFile(dir.File("raw.zlib"))), "zopfli");
}

#ifndef ZEQ_USE_ZLIB
// The own inflater fed a stream in pieces of 1 to 64 bytes, each in a buffer
// of its own, gives the whole stream: a run that ends inside a code (an end
// of block among them) goes on from there, reading nothing before its input.
TEST(ZeqInflater, RunsOverAnyPiecesGiveTheWholeStream) {
  Bytes raw(128 * 96 * 3);  // noise and repeats: long codes, and blocks with long ends
  uint32_t seed = 1;
  for (size_t i = 0; i < raw.size(); ++i) {
    seed = seed * 1103515245u + 12345u;
    raw[i] = uint8_t(seed % 7 == 0 || i < 3 ? seed >> 16 : raw[i - 3]);
  }
  for (const int level : {1, 6, 9}) {
    const Bytes block = ZlibStream(raw, level, 15, Z_DEFAULT_STRATEGY, Z_SYNC_FLUSH, 1500);
    for (size_t piece = 1; piece <= 64; ++piece) {
      std::vector<uint8_t> window(size_t{1} << 15);
      zeq_inflater inflater;
      zeq_inflate_init(&inflater, window.data(), 15);
      Bytes out(raw.size());
      zeq_flow flow{nullptr, 0, out.data(), uint32_t(out.size()), 0};
      zeq_run run = ZEQ_RUN_GOING;
      for (size_t at = 0; run == ZEQ_RUN_GOING && at < block.size(); at += piece) {
        const Bytes input(block.begin() + long(at), block.begin() + long(std::min(at + piece, block.size())));
        flow.next_in = input.data(), flow.avail_in = uint32_t(input.size());
        run = zeq_inflate(&inflater, &flow);
      }
      EXPECT_EQ(run, ZEQ_RUN_ENDED) << "level " << level << ", pieces of " << piece;
      EXPECT_TRUE(out == raw) << "level " << level << ", pieces of " << piece;
    }
  }
}
#endif

// The workspace that zeq_workspace_size names is enough at any alignment,
// one byte less is refused, and both stay within the RAM budget. Too few
// pixels and a misused stream are refused too, and every status has a text.
TEST(ZeqLoader, NeedsExactlyItsWorkspaceWithinTheRamBudget) {
  for (const Bytes& file : {ConvertedRecipe(2, {}), WithWindowBits(ConvertedRecipe(2, {}), 9)}) {
    const zeq_info info = HeaderOf(file);
    EXPECT_LE(zeq_workspace_size(&info, 0), 8192u);
    EXPECT_LE(zeq_workspace_size(&info, 1), 8192u + (1u << info.window_bits) + 1024);
    for (const size_t offset : {0, 1, 3}) {
      for (const size_t less : {0, 1}) {
        const zeq_status expected = less == 0 ? ZEQ_OK : ZEQ_E_WORKSPACE_TOO_SMALL;
        EXPECT_EQ(Decode(file, offset, less).first, expected);
        Source source{file, {5}};
        zeq_stream* stream = nullptr;
        zeq_info opened{};
        EXPECT_EQ(Open(source, &stream, &opened, offset, less), expected);
        if (less != 0) continue;
        Bytes pixels(info.raw_length - 1);
        EXPECT_EQ(zeq_stream_rows(stream, pixels.data(), info.height + 1), ZEQ_E_BAD_CALL);
        EXPECT_EQ(zeq_stream_finish(stream), ZEQ_E_BAD_CALL);  // rows still to come
        EXPECT_EQ(zeq_decode(file.data(), file.size(), pixels.data(), pixels.size(),
                             source.workspace.data(), source.workspace.size()),
                  ZEQ_E_PIXELS_TOO_SMALL);
      }
    }
  }
  // The compile-time bounds hold every window's figure, at most 512 bytes over.
  for (uint32_t bits = 8; bits <= 15; ++bits) {
    const zeq_info info = {ZEQ_FORMAT_RGB565, 320, 240, 2, 320 * 240 * 2, 1, bits};
    const size_t stream = zeq_workspace_size(&info, 1), decode = zeq_workspace_size(&info, 0);
    EXPECT_TRUE(stream <= ZEQ_STREAM_WORKSPACE_BOUND(bits) && ZEQ_STREAM_WORKSPACE_BOUND(bits) - stream <= 512) << bits;
    EXPECT_TRUE(decode <= ZEQ_DECODE_WORKSPACE_BOUND && ZEQ_DECODE_WORKSPACE_BOUND - decode <= 512) << bits;
  }
  for (zeq_status status = ZEQ_E_BAD_CALL; status <= ZEQ_OK; ++status) {
    EXPECT_STRNE(zeq_status_text(status), zeq_status_text(1)) << status;
  }
}

}  // namespace
