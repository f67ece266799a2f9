// The deflate stage and the writer seen through whole converter runs: the
// files left on disk, the lines printed and the exit status.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <cstring>
#include <csignal>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "job/error_code.h"
#include "common/zeq_format.h"
#include "output/output_checks.h"
#include "support/png_builder.h"
#include "support/posix_only.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"
#include "support/zeq_files.h"

namespace png2zeq {
namespace {

using testing::Bytes;
using testing::DeflatedLine;
using testing::ObservePath;
using testing::OutputFileLine;
using testing::PathState;
using testing::ReadZeqParts;
using testing::WritePngInto;
using testing::ZeqFileParts;
using testing::ErrorLine;
using testing::PngRecipe;
using testing::ProcessResult;
using testing::RunConverterProcess;
using testing::TempDir;

using Arguments = std::vector<std::string>;

// `head` followed by `tail`.
Arguments Concat(Arguments head, const Arguments& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

// Runs the converter and expects a clean success: status 0, nothing on the
// error stream (a sanitizer report would land there).
ProcessResult ConvertOk(const Arguments& arguments) {
  const ProcessResult run = RunConverterProcess(arguments);
  EXPECT_EQ(run.exitStatus, 0) << run.output;
  EXPECT_EQ(run.errors, "");
  return run;
}

// An 8-bit image of the given size and PNG colour type, samples unset.
PngRecipe Image(uint32_t width, uint32_t height, int colourType) {
  PngRecipe recipe;
  recipe.width = width;
  recipe.height = height;
  recipe.colourType = colourType;
  return recipe;
}

// An image whose samples ramp up: shrinks well under deflate.
PngRecipe Gradient(uint32_t width, uint32_t height, int colourType, int channels) {
  PngRecipe recipe = Image(width, height, colourType);
  recipe.samples.resize(size_t{width} * height * channels);
  for (size_t i = 0; i < recipe.samples.size(); ++i) recipe.samples[i] = static_cast<uint8_t>(i * 5);
  return recipe;
}

// Blocky shapes with a little texture, as in drawn artwork: the strongest
// compression finds a shorter stream than zlib's default level does.
PngRecipe Artwork(uint32_t width, uint32_t height, int colourType, int channels) {
  PngRecipe recipe = Image(width, height, colourType);
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width * channels; ++x)
      recipe.samples.push_back(static_cast<uint8_t>((x / 7) * 40 + (y / 5) * 24 + (x * y) % 5));
  return recipe;
}

// An RGB image of random samples: deflate cannot shrink it.
PngRecipe RandomRgb(uint32_t width, uint32_t height) {
  PngRecipe recipe = Image(width, height, 2);
  recipe.samples = testing::RandomBytes(size_t{width} * height * 3, 7);
  return recipe;
}

TEST(OutputCli, OnePixelRgb565UncompressedFileIsExact) {
  TempDir dir;
  PngRecipe recipe = Image(1, 1, 2);
  recipe.samples = {0x12, 0x34, 0x56};  // RGB565 word 0x51A2, red in the low bits
  const std::string input = WritePngInto(dir, "pixel.png", recipe);
  const Bytes expected = {0x5E, 0x0B, 0x5E, 0x0B, 0x65, 0x05, 0x00, 0x00, 0x01,
                          0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00,
                          0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xA2, 0x51};

  const std::string quiet = dir.File("quiet.zeq");
  EXPECT_EQ(ConvertOk({"-depth", "565", "-uncompressed", "-output", quiet, input}).output, "");
  EXPECT_EQ(testing::ReadFile(quiet), expected);

  const std::string verbose = dir.File("verbose.zeq");
  const ProcessResult run =
      ConvertOk({"-depth", "565", "-uncompressed", "-verbose", "-output", verbose, input});
  EXPECT_TRUE(run.output.ends_with("Not deflating.\n" + OutputFileLine(verbose))) << run.output;
  EXPECT_EQ(testing::ReadFile(verbose), expected);
}

TEST(OutputCli, CompressedFileInflatesToTheUncompressedBlock) {
  const struct {
    const char* name;
    PngRecipe recipe;
    Arguments options;
    uint32_t pixelFormat;
    bool incompressible;
  } cases[] = {
      {"RGB reduced to RGB565", Gradient(40, 30, 2, 3), {"-depth", "565"}, ZEQ_FORMAT_RGB565, false},
      {"RGBA reduced to RGBA5658", Gradient(21, 13, 6, 4), {"-d", "565"}, ZEQ_FORMAT_RGBA5658, false},
      {"RGBA kept", Gradient(33, 17, 6, 4), {}, ZEQ_FORMAT_RGBA8888, false},
      {"one grey pixel", Gradient(1, 1, 0, 1), {}, ZEQ_FORMAT_GREY8, false},
      {"random RGB", RandomRgb(64, 64), {}, ZEQ_FORMAT_RGB888, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string input = WritePngInto(dir, "image.png", c.recipe);
    const std::string rawPath = dir.File("raw.zeq");
    const std::string packedPath = dir.File("packed.zeq");
    EXPECT_EQ(ConvertOk(Concat(c.options, {"-uncompressed", "-output", rawPath, input})).output,
              "");
    const ProcessResult packedRun =
        ConvertOk(Concat(c.options, {"-verbose", "-output", packedPath, input}));

    const ZeqFileParts raw = ReadZeqParts(rawPath);
    const ZeqFileParts packed = ReadZeqParts(packedPath);
    EXPECT_EQ(raw.header.magic, ZEQ_MAGIC);
    EXPECT_EQ(raw.header.pixelFormat, c.pixelFormat);
    EXPECT_EQ(raw.header.compressedLength, 0u);
    ASSERT_EQ(raw.data.size(), raw.header.rawLength);

    // Same image, same header, except for the stored length.
    const uint32_t compressedLength = packed.header.compressedLength;
    EXPECT_EQ(packed.header.magic, ZEQ_MAGIC);
    EXPECT_EQ(packed.header.pixelFormat, raw.header.pixelFormat);
    EXPECT_EQ(packed.header.width, c.recipe.width);
    EXPECT_EQ(packed.header.height, c.recipe.height);
    EXPECT_EQ(packed.header.rawLength, raw.header.rawLength);
    ASSERT_EQ(packed.data.size(), compressedLength);
    ASSERT_GE(compressedLength, 2u);
    EXPECT_EQ(packed.data[0], 0x78);
    EXPECT_EQ(packed.data[1], 0x9C);
    EXPECT_LE(compressedLength, testing::DeflateBound(raw.header.rawLength));
    if (c.incompressible) {
      EXPECT_GT(compressedLength, raw.header.rawLength) << "stored compressed although larger";
    }

    Bytes inflated;
    ASSERT_TRUE(testing::InflateExactly(packed.data.data(), packed.data.size(),
                                        raw.header.rawLength, &inflated));
    EXPECT_TRUE(inflated == raw.data) << "inflated block differs from the uncompressed file";
    EXPECT_TRUE(packedRun.output.ends_with(DeflatedLine(raw.header.rawLength, compressedLength) +
                                           OutputFileLine(packedPath)))
        << packedRun.output;
  }
}

// -best changes the stream alone: the same header but for its length, the
// same pixels, never more bytes. Where libdeflate's stream is not shorter (one
// pixel, random samples) the default file is written; -uncompressed ignores it.
TEST(OutputCli, BestStoresTheSamePixelsInNoMoreBytes) {
  const struct {
    PngRecipe recipe;
    Arguments options;
    bool zlibStreamKept;
  } cases[] = {
      {Artwork(64, 48, 0, 1), {}, false},         {Artwork(40, 30, 4, 2), {}, false},
      {Artwork(40, 30, 2, 3), {}, false},         {Artwork(48, 32, 6, 4), {}, false},
      {Artwork(40, 30, 2, 3), {"-d", "565", "-dither"}, false},
      {Artwork(48, 32, 6, 4), {"-d", "565"}, false},
      {Gradient(1, 1, 0, 1), {}, true},           {RandomRgb(64, 64), {}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("case " + std::to_string(&c - cases));
    TempDir dir;
    const std::string input = WritePngInto(dir, "image.png", c.recipe);
    std::string printed;
    const auto convert = [&](Arguments options, const std::string& name) {
      options.insert(options.end(), {"-output", dir.File(name), input});
      printed = ConvertOk(Concat(c.options, options)).output;
      return ReadZeqParts(dir.File(name));
    };
    const auto pixels = [](const ZeqFileParts& file) {
      Bytes raw;
      EXPECT_TRUE(testing::InflateExactly(file.data.data(), file.data.size(),
                                          file.header.rawLength, &raw));
      return raw;
    };
    const ZeqFileParts plain = convert({}, "plain.zeq");
    const ZeqFileParts best = convert({"-best", "-v"}, "best.zeq");
    const auto bestLength = static_cast<uint32_t>(best.data.size());
    EXPECT_NE(printed.find(DeflatedLine(plain.header.rawLength, bestLength)), std::string::npos);
    EXPECT_EQ(best.data == plain.data, c.zlibStreamKept);
    EXPECT_LE(best.data.size(), plain.data.size());
    OutputHeader expected = plain.header;
    expected.compressedLength = bestLength;
    EXPECT_EQ(0, std::memcmp(&best.header, &expected, sizeof expected));
    EXPECT_TRUE(pixels(best) == pixels(plain));
    EXPECT_TRUE(convert({"-u", "-b"}, "raw-best.zeq").data == convert({"-u"}, "raw.zeq").data);
  }
}

// One zlib stream of `raw` made by zlib with these settings.
Bytes ZlibStream(const Bytes& raw, int level, int windowBits, int memoryLevel) {
  z_stream stream{};
  deflateInit2(&stream, level, Z_DEFLATED, windowBits, memoryLevel, Z_DEFAULT_STRATEGY);
  Bytes out(deflateBound(&stream, raw.size()));
  stream.next_in = const_cast<uint8_t*>(raw.data()), stream.avail_in = static_cast<uInt>(raw.size());
  stream.next_out = out.data(), stream.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

// -window B gives zlib's level-6 stream with that window; with -best the
// shorter of it and zlib's level 9 (memory level 9) with the same window.
// 15 is the default, -uncompressed ignores the option.
TEST(OutputCli, WindowGivesZlibsStreamWithThatWindow) {
  for (const Arguments& options : {Arguments{}, Arguments{"-d", "565"}, Arguments{"-d", "565", "-dither"}}) {
    TempDir dir;
    const std::string input = WritePngInto(dir, "image.png", Artwork(200, 150, 2, 3));
    const auto convert = [&](const Arguments& extra) {
      ConvertOk(Concat(Concat(options, extra), {"-output", dir.File("out.zeq"), input}));
      return ReadZeqParts(dir.File("out.zeq")).data;
    };
    const Bytes raw = convert({"-u"});
    EXPECT_TRUE(convert({"-u", "-w", "9"}) == raw);
    EXPECT_TRUE(convert({"-w", "15"}) == convert({}) && convert({"-w", "15", "-b"}) == convert({"-b"}));
    for (int bits = 9; bits < 15; ++bits) {
      const Bytes level6 = ZlibStream(raw, 6, bits, 8), level9 = ZlibStream(raw, 9, bits, 9);
      EXPECT_TRUE(convert({"-w", std::to_string(bits)}) == level6) << bits;
      EXPECT_TRUE(convert({"-w", std::to_string(bits), "-b"}) == (level9.size() < level6.size() ? level9 : level6)) << bits;
    }
  }
}

TEST(OutputCli, OverwritingALongerFileLeavesNoStaleBytes) {
  for (const Arguments& options : {Arguments{"-uncompressed"}, Arguments{}}) {
    SCOPED_TRACE(options.empty() ? "compressed" : "uncompressed");
    TempDir dir;
    const std::string input = WritePngInto(dir, "image.png", Gradient(16, 16, 2, 3));
    const std::string fresh = dir.File("fresh.zeq");
    const std::string stale = dir.File("stale.zeq");
    testing::WriteFile(stale, Bytes(100000, 0xEE));
    ConvertOk(Concat(options, {"-output", fresh, input}));
    ConvertOk(Concat(options, {"-output", stale, input}));
    const Bytes written = testing::ReadFile(stale);
    EXPECT_EQ(written, testing::ReadFile(fresh));
    const ZeqFileParts file = ReadZeqParts(stale);
    const uint32_t dataLength =
        file.header.compressedLength != 0 ? file.header.compressedLength : file.header.rawLength;
    EXPECT_EQ(written.size(), ZEQ_HEADER_SIZE + dataLength);
  }
}

#ifndef _WIN32
// Runs with every write to a regular file failing, as on a full disk
// (the file size limit is inherited by the converter), and with outputs
// that are the input: each file stays as it was and no temporary is left.
TEST(OutputCli, FailedOrRefusedOutputLeavesEveryFileAsItWas) {
  const struct {
    const char* input;
    const char* output;  // nullptr: the name derived from the input, here the input's own
    ErrorCode result;
  } cases[] = {
      {"image.png", "old.zeq", ErrorCode::WriteError},          // an existing output
      {"image.png", "link.zeq", ErrorCode::WriteError},         // a symbolic link to it
      {"image.png", "image.png", ErrorCode::CreateZEQFailed},   // the input
      {"image.png", "hard.zeq", ErrorCode::CreateZEQFailed},    // a hard link to the input
      {"image.zeq", nullptr, ErrorCode::CreateZEQFailed},
  };
  const rlimit full = {0, RLIM_INFINITY}, unlimited = {RLIM_INFINITY, RLIM_INFINITY};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.output != nullptr ? c.output : "derived name");
    TempDir dir;
    const std::string input = WritePngInto(dir, c.input, Gradient(8, 8, 2, 3));
    const std::string output = dir.File(c.output != nullptr ? c.output : c.input);
    testing::WriteFile(dir.File("old.zeq"), Bytes{'o', 'l', 'd'});
    symlink("old.zeq", dir.File("link.zeq").c_str());
    link(input.c_str(), dir.File("hard.zeq").c_str());
    const Bytes original = testing::ReadFile(input);
    const Arguments named = c.output != nullptr ? Arguments{"-output", output} : Arguments{};

    signal(SIGXFSZ, SIG_IGN);  // a write past the limit then fails with EFBIG
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &full), 0);
    const ProcessResult run = RunConverterProcess(Concat(Concat({"-verbose"}, named), {input}));
    setrlimit(RLIMIT_FSIZE, &unlimited);

    EXPECT_EQ(run.exitStatus, static_cast<int>(c.result));
    const std::string writerLine =
        c.result == ErrorCode::WriteError ? "Error writing the header, wrote 4294967295 expected 24\n" : "";
    EXPECT_TRUE(
        run.output.ends_with(OutputFileLine(output) + writerLine + ErrorLine(ErrorCodeName(c.result), input)))
        << run.output;
    EXPECT_EQ(testing::ReadFile(input), original);
    EXPECT_EQ(testing::ReadFile(dir.File("old.zeq")), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 4);
  }
}
#else
PNG2ZEQ_POSIX_ONLY(OutputCli, FailedOrRefusedOutputLeavesEveryFileAsItWas, "file size limits and symbolic links")
#endif

// A writer failure as the user sees it: the output path it meets, the result
// code, and the lines the writer adds with -verbose.
struct WriterFailure {
  const char* name;
  std::string (*prepare)(const TempDir& dir);  // returns the output path
  bool lockIt;                                 // another process holds the (existing) output file
  ErrorCode result;
  const char* writerLines;  // after the "Output file" line
};

const WriterFailure kWriterFailures[] = {
    {"missing directory", [](const TempDir& dir) { return dir.File("absent/out.zeq"); }, false,
     ErrorCode::CreateZEQFailed, ""},
    {"path is a directory",
     [](const TempDir& dir) {
       const std::string path = dir.File("taken");
       std::filesystem::create_directory(path);
       return path;
     },
     false, ErrorCode::CreateZEQFailed, ""},
    {"locked by another process",
     [](const TempDir& dir) {
       const std::string path = dir.File("busy.zeq");
       testing::WriteFile(path, Bytes{'o', 'l', 'd'});
       return path;
     },
     true, ErrorCode::CreateZEQFailed, ""},
    {"full device", [](const TempDir&) { return std::string("/dev/full"); }, false, ErrorCode::WriteError,
     "Error writing the header, wrote 4294967295 expected 24\n"},
};
#ifndef _WIN32
const WriterFailure kReadOnlyDirectory = {"read-only directory",
                                          [](const TempDir& dir) {
                                            const std::string parent = dir.File("readonly");
                                            mkdir(parent.c_str(), 0500);
                                            return parent + "/out.zeq";
                                          },
                                          false, ErrorCode::CreateZEQFailed, ""};
#endif

// Runs the converter quietly and verbosely against the prepared output path
// and checks the status, the lines printed and that the path is unchanged.
void ExpectWriterFailure(const WriterFailure& c) {
  SCOPED_TRACE(c.name);
  TempDir dir;
  const std::string input = WritePngInto(dir, "image.png", Gradient(8, 8, 2, 3));
  const std::string output = c.prepare(dir);
  std::unique_ptr<testing::HeldLock> lock;
  if (c.lockIt) {
    lock = std::make_unique<testing::HeldLock>(output);
    ASSERT_TRUE(lock->held());
  }
  const PathState before = ObservePath(output);
  if (output == "/dev/full" && before.type != S_IFCHR) GTEST_SKIP() << "no /dev/full here";

  const ProcessResult quiet = RunConverterProcess({"-output", output, input});
  EXPECT_EQ(quiet.exitStatus, static_cast<int>(c.result));
  EXPECT_EQ(quiet.output, ErrorLine(ErrorCodeName(c.result), input)) << "writer printed without -verbose";
  EXPECT_EQ(quiet.errors, "");

  const ProcessResult verbose = RunConverterProcess({"-verbose", "-output", output, input});
  EXPECT_EQ(verbose.exitStatus, static_cast<int>(c.result));
  EXPECT_TRUE(
      verbose.output.ends_with(OutputFileLine(output) + c.writerLines + ErrorLine(ErrorCodeName(c.result), input)))
      << verbose.output;
  EXPECT_EQ(verbose.errors, "");

  EXPECT_TRUE(ObservePath(output) == before) << "output path changed";
}

TEST(OutputCli, WriterFailuresEndTheRunWithTheirCode) {
  for (const WriterFailure& c : kWriterFailures) ExpectWriterFailure(c);
}

#ifndef _WIN32
TEST(OutputCli, ReadOnlyDirectoryGivesCreateZEQFailed) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only directories";
  ExpectWriterFailure(kReadOnlyDirectory);
}
#else
PNG2ZEQ_POSIX_ONLY(OutputCli, ReadOnlyDirectoryGivesCreateZEQFailed, "directory modes")
#endif

}  // namespace
}  // namespace png2zeq
