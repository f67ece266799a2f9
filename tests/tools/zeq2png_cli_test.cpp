// zeq2png as a process: result codes, messages, exit status, the -info
// report and where the preview goes.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "support/zeq_files.h"
#include "zeq_loader.h"
#include "zeq2png/zeq_file.h"
#include "zeq2png/zeq_result.h"
#include "zeq_test_support.h"

namespace zeq2png {
namespace {

using png2zeq::testing::Bytes;
using png2zeq::testing::CompressedZeqFile;
using png2zeq::testing::FileExists;
using png2zeq::testing::PatternBytes;
using png2zeq::testing::RawZeqFile;
using png2zeq::testing::RunZeq2PngProcess;
using png2zeq::testing::SetHeaderField;
using png2zeq::testing::TempDir;
using png2zeq::testing::WriteFile;

// The two lines every failure ends with.
std::string FailureLines(ZeqResult result, const std::string& input) {
  return std::string(ZeqResultMessage(result)) + "\n" +
         png2zeq::testing::ErrorLine(ZeqResultName(result), input);
}

// The loader's workspace for the valid ZEQ file `file`, whole or streamed.
uint32_t LoaderWorkspace(const Bytes& file, int streaming) {
  zeq_info info;
  EXPECT_EQ(zeq_parse_header(file.data(), file.size(), &info), ZEQ_OK);
  return static_cast<uint32_t>(zeq_workspace_size(&info, streaming));
}

// The three -info lines on decoding RAM for `file` with `pixels` raw bytes
// in rows of `row` bytes: the loader's, then with its other inflater.
std::string DecodeRamLines(const Bytes& file, uint32_t pixels, uint32_t row) {
  const uint32_t whole = LoaderWorkspace(file, 0);
  const uint32_t streamed = LoaderWorkspace(file, 1);
#ifdef ZEQ_USE_ZLIB
  const std::string other = "RAM, own inflater  ", how = "without ZEQ_USE_ZLIB";
  uint32_t otherWhole = ZEQ_OWN_DECODE_WORKSPACE_BOUND, otherStreamed = ZEQ_OWN_STREAM_WORKSPACE_OVERHEAD;
#else
  const std::string other = "RAM, with zlib     ", how = "with ZEQ_USE_ZLIB, on zlib's inflate";
  uint32_t otherWhole = ZEQ_ZLIB_DECODE_WORKSPACE_BOUND, otherStreamed = ZEQ_ZLIB_STREAM_WORKSPACE_OVERHEAD;
#endif
  zeq_info info;
  zeq_parse_header(file.data(), file.size(), &info);
  if (info.compressed_length == 0) {  // raw pixels: nothing to inflate
    otherWhole = whole, otherStreamed = streamed;
  } else {
    otherStreamed += 1u << info.window_bits;
  }
  const std::string host = " (this " + std::to_string(sizeof(void*) * 8) +
                           "-bit host; a 32-bit device needs slightly less)";
  return "RAM, whole frame   " + std::to_string(pixels + whole) + " bytes: pixels " +
         std::to_string(pixels) + " + loader workspace " + std::to_string(whole) +
         ", no window" + host + "\nRAM, row by row    " + std::to_string(streamed + row) +
         " bytes: loader stream workspace " + std::to_string(streamed) + " + one row " +
         std::to_string(row) + host + "\n" + other + "whole frame " +
         std::to_string(pixels + otherWhole) + " bytes, row by row " +
         std::to_string(otherStreamed + row) + " bytes: workspace at most " +
         std::to_string(otherWhole) + " and " + std::to_string(otherStreamed) +
         " (the loader built " + how + ")\n";
}

Bytes ValidFile() { return CompressedZeqFile(0x0888, 6, 4, PatternBytes(6 * 4 * 3)); }

struct CorruptFile {
  const char* name;
  Bytes bytes;
  ZeqResult expected;
};

std::vector<CorruptFile> CorruptFiles() {
  const Bytes valid = ValidFile();
  const Bytes stream(valid.begin() + 24, valid.end());
  std::vector<CorruptFile> files;
  files.push_back({"empty", Bytes{}, ZeqResult::ZEQFileEmpty});
  files.push_back({"truncated-header", Bytes(valid.begin(), valid.begin() + 12),
                   ZeqResult::ZEQHeaderTruncated});
  Bytes magic = valid;
  magic[0] = 0;
  files.push_back({"bad-magic", magic, ZeqResult::ZEQBadMagic});
  Bytes format = valid;
  SetHeaderField(format, 4, 0x0555);
  files.push_back({"unknown-format", format, ZeqResult::ZEQUnknownPixelFormat});
  Bytes width = valid;
  SetHeaderField(width, 8, 0);
  files.push_back({"zero-width", width, ZeqResult::ZEQWidthOutOfRange});
  Bytes height = valid;
  SetHeaderField(height, 12, 800);
  files.push_back({"tall", height, ZeqResult::ZEQHeightOutOfRange});
  Bytes rawLength = valid;
  SetHeaderField(rawLength, 16, 6 * 4 * 4);
  files.push_back({"raw-length", rawLength, ZeqResult::ZEQRawLengthMismatch});
  Bytes size = valid;
  size.push_back(0);
  files.push_back({"size-mismatch", size, ZeqResult::ZEQFileSizeMismatch});
  Bytes truncated(valid.begin(), valid.begin() + 24 + static_cast<long>(stream.size() / 2));
  SetHeaderField(truncated, 20, static_cast<uint32_t>(stream.size() / 2));
  files.push_back({"truncated-stream", truncated, ZeqResult::ZEQStreamTruncated});
  Bytes adler = valid;
  adler[adler.size() - 3] ^= 0x40;
  files.push_back({"flipped-adler", adler, ZeqResult::ZEQChecksumMismatch});
  Bytes trailing = valid;
  trailing.insert(trailing.end(), {1, 2});
  SetHeaderField(trailing, 20, static_cast<uint32_t>(stream.size() + 2));
  files.push_back({"trailing-bytes", trailing, ZeqResult::ZEQTrailingBytes});
  return files;
}

TEST(Zeq2PngProcess, EachCorruptionEndsWithItsCodeAndMessage) {
  TempDir dir;
  for (const CorruptFile& file : CorruptFiles()) {
    const std::string path = dir.File(std::string(file.name) + ".zeq");
    WriteFile(path, file.bytes);
    const auto run = RunZeq2PngProcess({path});
    EXPECT_EQ(run.exitStatus, static_cast<int>(file.expected)) << file.name;
    EXPECT_EQ(run.output, FailureLines(file.expected, path)) << file.name;
    EXPECT_EQ(run.errors, "") << file.name;
    EXPECT_FALSE(FileExists(dir.File(std::string(file.name) + ".preview.png"))) << file.name;
  }
}

TEST(Zeq2PngProcess, WritesThePreviewBesideTheInputSilently) {
  TempDir dir;
  WriteFile(dir.File("image.zeq"), ValidFile());
  WriteFile(dir.File("image.png"), Bytes{'k', 'e', 'e', 'p'});
  const auto run = RunZeq2PngProcess({dir.File("image.zeq")});
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.output, "");
  EXPECT_TRUE(FileExists(dir.File("image.preview.png")));
  EXPECT_EQ(png2zeq::testing::ReadFile(dir.File("image.png")), (Bytes{'k', 'e', 'e', 'p'}));
}

TEST(Zeq2PngProcess, OutputOptionNamesTheFileOrItsDirectory) {
  TempDir dir;
  WriteFile(dir.File("image.zeq"), ValidFile());
  ASSERT_TRUE(std::filesystem::create_directory(dir.File("out")));
  EXPECT_EQ(RunZeq2PngProcess({"-o", dir.File("named.png"), dir.File("image.zeq")}).exitStatus, 0);
  EXPECT_TRUE(FileExists(dir.File("named.png")));
  EXPECT_EQ(RunZeq2PngProcess({"/OUTPUT", dir.File("out/"), dir.File("image.zeq")}).exitStatus,
            0);
  EXPECT_TRUE(FileExists(dir.File("out/image.preview.png")));
  // A relative input in the working directory.
  EXPECT_EQ(RunZeq2PngProcess({"-Output", "rel.png", "image.zeq"}, dir.path()).exitStatus, 0);
  EXPECT_TRUE(FileExists(dir.File("rel.png")));
}

TEST(Zeq2PngProcess, InfoPrintsTheHeaderAndVerdictAndWritesNoPng) {
  TempDir dir;
  // Two RGB565 pixels stored raw: pure red, pure blue.
  WriteFile(dir.File("two.zeq"), RawZeqFile(0x0565, 2, 1, Bytes{0x1F, 0x00, 0x00, 0xF8}));
  const auto run = RunZeq2PngProcess({"-info", dir.File("two.zeq")});
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.output, "File               \"" + dir.File("two.zeq") +
                            "\", 28 bytes\n"
                            "Magic              " PNG2ZEQ_FACT_TEXT(ZEQ_MAGIC) "\n"
                            "Pixel format       0x0565 RGB565, 2 bytes per pixel\n"
                            "Width              2\n"
                            "Height             1\n"
                            "Raw length         4\n"
                            "Compressed length  0, pixels stored raw\n"
                            "Compression ratio  none\n"
                            "Verdict            valid\n"
                            "Window size        none needed, pixels stored raw\n"
                            + DecodeRamLines(png2zeq::testing::ReadFile(dir.File("two.zeq")), 4, 4) +
                            "First pixels rgb565    00 F8 1F 00\n"
                            "First pixels rgb565be  F8 00 00 1F\n"
                            "First pixels bgr565be  00 1F F8 00\n");
  EXPECT_FALSE(FileExists(dir.File("two.preview.png")));
}

TEST(Zeq2PngProcess, InfoShowsTheCompressionRatio) {
  TempDir dir;
  // 64 x 64 grey of one value compresses far.
  const Bytes file = CompressedZeqFile(0x0008, 64, 64, Bytes(64 * 64, 0x80));
  WriteFile(dir.File("flat.zeq"), file);
  const uint32_t compressed = static_cast<uint32_t>(file.size() - 24);
  char ratio[64];
  std::snprintf(ratio, sizeof ratio, "Compression ratio  %.2f : 1\n", 4096.0 / compressed);
  const auto run = RunZeq2PngProcess({"/info", dir.File("flat.zeq")});
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_NE(run.output.find("Compressed length  " + std::to_string(compressed) +
                            ", one zlib stream\n"),
            std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find(ratio), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("Pixel format       0x0008 GREY8, 1 bytes per pixel\n"),
            std::string::npos);
  EXPECT_TRUE(run.output.ends_with(
      "Window size        32768 bytes, zlib header CINFO 7\n" +
      DecodeRamLines(file, 4096, 64) + "First pixels rgb565    10 84 10 84 10 84 10 84\n" +
      "First pixels rgb565be  84 10 84 10 84 10 84 10\n" +
      "First pixels bgr565be  84 10 84 10 84 10 84 10\n"))
      << run.output;
}

TEST(Zeq2PngProcess, InfoOnABadFileShowsWhatWasReadAndTheVerdict) {
  TempDir dir;
  Bytes bad = ValidFile();
  SetHeaderField(bad, 0, 0x0B5E0B5F);
  SetHeaderField(bad, 4, 0x1234);
  WriteFile(dir.File("bad.zeq"), bad);
  const auto run = RunZeq2PngProcess({"-INFO", dir.File("bad.zeq")});
  EXPECT_EQ(run.exitStatus, static_cast<int>(ZeqResult::ZEQBadMagic));
  EXPECT_NE(run.output.find("Magic              0x0B5E0B5F, not a ZEQ file\n"), std::string::npos);
  EXPECT_NE(run.output.find("Pixel format       0x1234 unknown\n"), std::string::npos);
  EXPECT_NE(run.output.find("Verdict            invalid, ZEQBadMagic\n" +
                            FailureLines(ZeqResult::ZEQBadMagic, dir.File("bad.zeq"))),
            std::string::npos)
      << run.output;

  WriteFile(dir.File("short.zeq"), Bytes(10, 0x5E));
  const auto shortRun = RunZeq2PngProcess({"-info", dir.File("short.zeq")});
  EXPECT_EQ(shortRun.exitStatus, static_cast<int>(ZeqResult::ZEQHeaderTruncated));
  EXPECT_NE(shortRun.output.find("Header             incomplete, 10 of 24 bytes\n"
                                 "Verdict            invalid, ZEQHeaderTruncated\n"),
            std::string::npos)
      << shortRun.output;
}

TEST(Zeq2PngProcess, VerboseReportsEachStep) {
  TempDir dir;
  WriteFile(dir.File("image.zeq"), ValidFile());
  const auto run = RunZeq2PngProcess({"-v", dir.File("image.zeq")});
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_NE(run.output.find("zeq2png v0.3.0.0"), std::string::npos);
  EXPECT_NE(run.output.find("Pixels RGB888, 6 x 4, 72 bytes\n"), std::string::npos);
  EXPECT_NE(run.output.find("Preview file \"" + dir.File("image.preview.png") + "\""),
            std::string::npos);
}

TEST(Zeq2PngProcess, InformationRequestsAndCommandLineErrors) {
  const auto none = RunZeq2PngProcess({});
  EXPECT_EQ(none.exitStatus, 2);
  EXPECT_NE(none.output.find("Usage:\n"), std::string::npos);
  EXPECT_EQ(none.output.find("Error \""), std::string::npos);

  for (const char* help : {"-h", "/?", "-HELP", "/Help"}) {
    const auto run = RunZeq2PngProcess({help, "never-read.zeq"});
    EXPECT_EQ(run.exitStatus, 0) << help;
    EXPECT_NE(run.output.find("-compare"), std::string::npos) << help;
  }

  const auto codes = RunZeq2PngProcess({"-Codes"});
  EXPECT_EQ(codes.exitStatus, 0);
  EXPECT_EQ(codes.output,
            "Error codes:\n"
            "Value  Description\n"
            "   0   OK                     The ZEQ file is valid.\n"
            "   1   InvalidParameters      An argument other than the last is not an option, or an option lacks its value.\n"
            "   2   InsufficientParameters Started without arguments.\n"
            "   3   MissingInputFile       No input path on the command line.\n"
            "   4   OpenInputFileFailed    The input cannot be opened (missing, unreadable or a directory).\n"
            "   5   ReadInputFileFailed    The input could not be read whole.\n"
            "   6   ZEQFileTooLarge        The file is larger than any ZEQ file of at most 1024 x 768 pixels can be.\n"
            "   7   ZEQFileEmpty           The file is empty.\n"
            "   8   ZEQHeaderTruncated     The file ends inside the 24-byte header.\n"
            "   9   ZEQBadMagic            The file does not start with the ZEQ magic 0x0B5E0B5E (bytes 5E 0B 5E 0B).\n"
            "  10   ZEQUnknownPixelFormat  The pixel format code is none of 0x0008, 0x8008, 0x0888, 0x8888, 0x0565, 0x8565.\n"
            "  11   ZEQWidthOutOfRange     The width is not within 1 to 1024.\n"
            "  12   ZEQHeightOutOfRange    The height is not within 1 to 768.\n"
            "  13   ZEQRawLengthMismatch   rawLength is not width x height x bytes per pixel.\n"
            "  14   ZEQFileSizeMismatch    The file size is not 24 + compressedLength (24 + rawLength when compressedLength is 0).\n"
            "  15   ZEQStreamCorrupt       The compressed block is not a valid zlib stream.\n"
            "  16   ZEQStreamTruncated     The compressed block ends before its zlib stream does.\n"
            "  17   ZEQChecksumMismatch    The zlib stream's Adler-32 does not match the inflated pixels.\n"
            "  18   ZEQInflatedTooShort    The zlib stream inflates to fewer than rawLength bytes.\n"
            "  19   ZEQInflatedTooLong     The zlib stream inflates to more than rawLength bytes.\n"
            "  20   ZEQTrailingBytes       Bytes follow the end of the zlib stream inside the compressed block.\n"
            "  21   OutOfMemory            A block of memory could not be allocated.\n"
            "  22   GeneralFailure         The preview path cannot be derived (a part of a path is too long).\n"
            "  23   CreatePNGFailed        The preview PNG file cannot be created, or it is the input file.\n"
            "  24   WritePNGFailed         The preview PNG could not be encoded or written whole.\n"
            "  25   CompareReadFailed      The -compare original cannot be opened or decoded.\n"
            "  26   CompareSizeMismatch    The -compare original's width or height differs from the ZEQ file's.\n"
            "  27   CompareLayoutMismatch  The -compare original's channels (grey, grey+alpha, RGB, RGBA) differ from the ZEQ file's.\n");

  const auto notLast = RunZeq2PngProcess({"a.zeq", "b.zeq"});
  EXPECT_EQ(notLast.exitStatus, 1);
  EXPECT_EQ(notLast.output, "Parameter 1 doesn't start with '-' or '/'.\n" +
                                FailureLines(ZeqResult::InvalidParameters, "(no input file)"));

  const auto noValue = RunZeq2PngProcess({"-compare"});
  EXPECT_EQ(noValue.exitStatus, 1);
  EXPECT_EQ(noValue.output, "Parameter -compare invalid.\n" +
                                FailureLines(ZeqResult::InvalidParameters, "(no input file)"));
  // Neither a layout nor a colour.
  for (const std::string& option : {std::string("-panel"), std::string("-background")}) {
    const auto bad = RunZeq2PngProcess({option, "rgb666", "a.zeq"});
    EXPECT_EQ(bad.exitStatus, 1);
    EXPECT_EQ(bad.output, "Parameter " + option + " invalid.\n" +
                              FailureLines(ZeqResult::InvalidParameters, "(no input file)"));
  }

  // "/info" last spells an option, so no input path is left.
  const auto optionLast = RunZeq2PngProcess({"/info"});
  EXPECT_EQ(optionLast.exitStatus, 3);
  EXPECT_EQ(optionLast.output, FailureLines(ZeqResult::MissingInputFile, "(no input file)"));
}

TEST(Zeq2PngProcess, InputThatCannotBeReadOrIsTooLarge) {
  TempDir dir;
  const auto missing = RunZeq2PngProcess({dir.File("missing.zeq")});
  EXPECT_EQ(missing.exitStatus, static_cast<int>(ZeqResult::OpenInputFileFailed));
  EXPECT_EQ(missing.output, FailureLines(ZeqResult::OpenInputFileFailed, dir.File("missing.zeq")));

  EXPECT_EQ(RunZeq2PngProcess({dir.path()}).exitStatus,
            static_cast<int>(ZeqResult::OpenInputFileFailed));

  // A sparse file one byte beyond the largest possible ZEQ file.
  const std::string huge = dir.File("huge.zeq");
  WriteFile(huge, Bytes{0x5E, 0x0B, 0x5E, 0x0B});
  std::filesystem::resize_file(huge, MaxZeqFileSize() + 1);
  EXPECT_EQ(RunZeq2PngProcess({huge}).exitStatus, static_cast<int>(ZeqResult::ZEQFileTooLarge));
}

TEST(Zeq2PngProcess, PreviewThatCannotBeCreatedOrWritten) {
  TempDir dir;
  WriteFile(dir.File("image.zeq"), ValidFile());
  const auto missingDir =
      RunZeq2PngProcess({"-o", dir.File("no/such/dir/p.png"), dir.File("image.zeq")});
  EXPECT_EQ(missingDir.exitStatus, static_cast<int>(ZeqResult::CreatePNGFailed));
  EXPECT_EQ(missingDir.output, FailureLines(ZeqResult::CreatePNGFailed, dir.File("image.zeq")));

  // The input itself, by its name or a hard link, is never replaced by its preview.
  std::filesystem::create_hard_link(dir.File("image.zeq"), dir.File("hard.png"));
  for (const char* output : {"image.zeq", "hard.png"}) {
    EXPECT_EQ(RunZeq2PngProcess({"-o", dir.File(output), dir.File("image.zeq")}).exitStatus,
              static_cast<int>(ZeqResult::CreatePNGFailed));
  }
  EXPECT_EQ(png2zeq::testing::ReadFile(dir.File("image.zeq")), ValidFile());

  if (FileExists("/dev/full")) {
    const auto full = RunZeq2PngProcess({"-o", "/dev/full", dir.File("image.zeq")});
    EXPECT_EQ(full.exitStatus, static_cast<int>(ZeqResult::WritePNGFailed));
    EXPECT_TRUE(FileExists("/dev/full"));
  }

  const std::string longOutput = dir.File(std::string(300, 'x') + "/");
  EXPECT_EQ(RunZeq2PngProcess({"-o", longOutput, dir.File("image.zeq")}).exitStatus,
            static_cast<int>(ZeqResult::GeneralFailure));
}

}  // namespace
}  // namespace zeq2png
