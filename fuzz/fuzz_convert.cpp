// Runs the whole conversion in process on arbitrary bytes as the PNG file,
// with the options taken from the first two bytes, and checks the outcome:
// a successful run leaves a ZEQ file whose header agrees with itself, with
// the options and with the file's size, and whose data inflates to exactly
// rawLength bytes; a failed run leaves no output file behind, or an older
// one untouched. Any disagreement aborts, which the fuzzer reports.
//
// Input layout: byte 0 and byte 1 select the options (see ConversionOptions),
// the rest is written to the input file as it is.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cli/run.h"
#include "job/error_code.h"
#include "common/zeq_format.h"

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

namespace {

using png2zeq::ErrorCode;

// A -depth text and whether any image can convert with it.
struct DepthChoice {
  const char* text;  // nullptr: no -depth
  bool reduces;      // reads as 0x565
  bool convertible;  // some colour type has a format for it
};

constexpr DepthChoice kDepthChoices[] = {
    {nullptr, false, true}, {"565", true, true},    {"0x565", true, true},
    {" 565", true, true},   {"888", false, false},  {"8565", false, false},
    {"zz", false, true},    {"565abc", false, false},
};

// Bytes written over the output file before a run that finds one there.
constexpr size_t kStaleFileSize = 4096;
constexpr uint8_t kStaleByte = 0xA5;

struct ConversionOptions {
  DepthChoice depth;
  bool dither;
  bool ditherMethodNamed;  // "-dither burkes" rather than "-dither"
  bool uncompressed;
  bool verbose;
  bool slashPrefixUpperCase;  // "/DEPTH" rather than "-depth"
  bool outputExistsBefore;
  bool outputAsDirectory;     // -output names the directory only
};

ConversionOptions DecodeOptions(uint8_t first, uint8_t second) {
  ConversionOptions options{};
  options.depth = kDepthChoices[first & 7];
  options.dither = (first & 0x08) != 0;
  options.uncompressed = (first & 0x10) != 0;
  options.verbose = (first & 0x20) != 0;
  options.slashPrefixUpperCase = (first & 0x40) != 0;
  options.ditherMethodNamed = (first & 0x80) != 0;
  options.outputExistsBefore = (second & 0x01) != 0;
  options.outputAsDirectory = (second & 0x02) != 0;
  return options;
}

constexpr size_t kOptionBytes = 2;
constexpr size_t kPngSignatureSize = 8;

std::string workDirectory;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "fuzz_convert: %s\n", what);
  std::abort();
}

void Check(bool condition, const char* what) {
  if (!condition) Fail(what);
}

void RemoveWorkDirectory() {
  unlink((workDirectory + "/input.png").c_str());
  unlink((workDirectory + "/output.zeq").c_str());
  unlink((workDirectory + "/input.zeq").c_str());
  rmdir(workDirectory.c_str());
}

bool WriteWholeFile(const std::string& path, const uint8_t* data, size_t size) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
  return std::fclose(file) == 0 && written;
}

// Whole file, or false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  bytes.clear();
  uint8_t buffer[65536];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    bytes.insert(bytes.end(), buffer, buffer + got);
  }
  std::fclose(file);
  return true;
}

bool FileExists(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0;
}

// The option name with the prefix and case the options ask for.
std::string Option(const ConversionOptions& options, const char* name) {
  std::string text = options.slashPrefixUpperCase ? "/" : "-";
  for (const char* c = name; *c != '\0'; ++c) {
    text += options.slashPrefixUpperCase ? static_cast<char>(*c & ~0x20) : *c;
  }
  return text;
}

std::vector<std::string> BuildArguments(const ConversionOptions& options,
                                        const std::string& inputPath) {
  std::vector<std::string> arguments = {"png2zeq"};
  if (options.verbose) arguments.push_back(Option(options, "verbose"));
  if (options.dither) {
    arguments.push_back(Option(options, "dither"));
    if (options.ditherMethodNamed) arguments.push_back("Burkes");
  }
  if (options.uncompressed) arguments.push_back(Option(options, "uncompressed"));
  if (options.depth.text != nullptr) {
    arguments.push_back(Option(options, "depth"));
    arguments.push_back(options.depth.text);
  }
  arguments.push_back(Option(options, "output"));
  arguments.push_back(options.outputAsDirectory ? workDirectory + "/"
                                                : workDirectory + "/output.zeq");
  arguments.push_back(inputPath);
  return arguments;
}

bool IsNativeFormat(uint32_t format) {
  return format == ZEQ_FORMAT_GREY8 || format == ZEQ_FORMAT_GREYA88 ||
         format == ZEQ_FORMAT_RGB888 || format == ZEQ_FORMAT_RGBA8888;
}

bool IsReducedFormat(uint32_t format) {
  return format == ZEQ_FORMAT_GREY8 || format == ZEQ_FORMAT_GREYA88 ||
         format == ZEQ_FORMAT_RGB565 || format == ZEQ_FORMAT_RGBA5658;
}

// The largest stream one deflate call may produce for `length` bytes.
uint64_t DeflateBoundFor(uint64_t length) {
  return length + (length >> 12) + (length >> 14) + (length >> 25) + 13;
}

// Inflates the data block and checks that it holds exactly one zlib stream
// of exactly `rawLength` bytes.
void CheckInflatesTo(const uint8_t* data, uint32_t length, uint32_t rawLength) {
  Check(length >= 2 && data[0] == 0x78 && data[1] == 0x9C, "zlib header is not 78 9C");
  std::vector<uint8_t> inflated(static_cast<size_t>(rawLength) + 1);
  z_stream stream{};
  Check(inflateInit(&stream) == Z_OK, "inflateInit failed");
  stream.next_in = const_cast<uint8_t*>(data);
  stream.avail_in = length;
  stream.next_out = inflated.data();
  stream.avail_out = static_cast<uInt>(inflated.size());
  const int status = inflate(&stream, Z_FINISH);
  const uLong totalIn = stream.total_in;
  const uLong totalOut = stream.total_out;
  inflateEnd(&stream);
  Check(status == Z_STREAM_END, "data block does not inflate to one complete stream");
  Check(totalIn == length, "zlib stream ends before the data block");
  Check(totalOut == rawLength, "data block does not inflate to rawLength bytes");
}

// Checks the ZEQ file a successful run wrote against itself and the options.
void CheckOutputFile(const std::string& path, const ConversionOptions& options) {
  std::vector<uint8_t> file;
  Check(ReadWholeFile(path, file), "successful run left no output file");
  Check(file.size() >= ZEQ_HEADER_SIZE, "output shorter than the header");
  const png2zeq::OutputHeader header = png2zeq::DecodeZeqHeader(file.data());
  Check(header.magic == ZEQ_MAGIC, "bad magic");
  const png2zeq::ZeqFormatInfo* format = png2zeq::FindZeqFormat(header.pixelFormat);
  Check(format != nullptr, "unknown pixel format");
  Check(options.depth.reduces ? IsReducedFormat(header.pixelFormat)
                              : IsNativeFormat(header.pixelFormat),
        "pixel format does not match -depth");
  Check(header.width >= 1 && header.width <= ZEQ_MAX_WIDTH, "width out of range");
  Check(header.height >= 1 && header.height <= ZEQ_MAX_HEIGHT, "height out of range");
  const uint64_t rawLength =
      static_cast<uint64_t>(header.width) * header.height * zeq_bytes_per_pixel(format->code);
  Check(header.rawLength == rawLength, "rawLength is not width x height x bytes per pixel");

  const size_t dataSize = file.size() - ZEQ_HEADER_SIZE;
  const uint8_t* data = file.data() + ZEQ_HEADER_SIZE;
  if (options.uncompressed) {
    Check(header.compressedLength == 0, "compressedLength set with -uncompressed");
    Check(dataSize == header.rawLength, "file size is not 24 + rawLength");
    return;
  }
  Check(header.compressedLength != 0, "compressedLength 0 without -uncompressed");
  Check(dataSize == header.compressedLength, "file size is not 24 + compressedLength");
  Check(header.compressedLength <= DeflateBoundFor(header.rawLength),
        "compressedLength above the deflate bound");
  CheckInflatesTo(data, header.compressedLength, header.rawLength);
}

// Recomputes the CRC of every complete chunk after the signature, so that
// mutations reach the decoder instead of failing its CRC check.
void FixChunkCrcs(uint8_t* png, size_t size) {
  size_t offset = kPngSignatureSize;
  while (offset + 12 <= size) {
    const uint32_t length = static_cast<uint32_t>(png[offset]) << 24 |
                            static_cast<uint32_t>(png[offset + 1]) << 16 |
                            static_cast<uint32_t>(png[offset + 2]) << 8 | png[offset + 3];
    if (length > size - offset - 12) break;
    const uLong crc = crc32(0, png + offset + 4, 4 + length);
    uint8_t* out = png + offset + 8 + length;
    out[0] = static_cast<uint8_t>(crc >> 24);
    out[1] = static_cast<uint8_t>(crc >> 16);
    out[2] = static_cast<uint8_t>(crc >> 8);
    out[3] = static_cast<uint8_t>(crc);
    offset += 12 + length;
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The converter prints its progress to standard output; the fuzzer's own
  // report goes to standard error and stays visible.
  const int nullFd = open("/dev/null", O_WRONLY);
  if (nullFd >= 0) dup2(nullFd, STDOUT_FILENO);
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") +
                        "/png2zeq-fuzz-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data()) == nullptr) Fail("mkdtemp failed");
  workDirectory = buffer.data();
  std::atexit(RemoveWorkDirectory);
  return 0;
}

// Mutates as libFuzzer would, then usually repairs the chunk CRCs.
extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize,
                                          unsigned int seed) {
  size = LLVMFuzzerMutate(data, size, maxSize);
  if (size > kOptionBytes && seed % 8 != 0) FixChunkCrcs(data + kOptionBytes, size - kOptionBytes);
  return size;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kOptionBytes) return 0;
  const ConversionOptions options = DecodeOptions(data[0], data[1]);
  const std::string inputPath = workDirectory + "/input.png";
  const std::string outputPath =
      workDirectory + (options.outputAsDirectory ? "/input.zeq" : "/output.zeq");
  unlink((workDirectory + "/output.zeq").c_str());
  unlink((workDirectory + "/input.zeq").c_str());
  Check(WriteWholeFile(inputPath, data + kOptionBytes, size - kOptionBytes),
        "cannot write the input file");
  const std::vector<uint8_t> stale(kStaleFileSize, kStaleByte);
  if (options.outputExistsBefore) {
    Check(WriteWholeFile(outputPath, stale.data(), stale.size()), "cannot write the old output");
  }

  std::vector<std::string> arguments = BuildArguments(options, inputPath);
  std::vector<char*> argv;
  argv.reserve(arguments.size() + 1);
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  const auto status = static_cast<png2zeq::ErrorCode>(
      png2zeq::RunConverter(static_cast<int>(arguments.size()), argv.data()));
  std::fflush(stdout);

  if (status == png2zeq::ErrorCode::OK) {
    Check(options.depth.convertible, "a depth no format has converted");
    CheckOutputFile(outputPath, options);
    return 0;
  }
  // Nothing but the decoder and the format lookup can refuse a run here.
  Check(status == png2zeq::ErrorCode::PNGDecodeError ||
            (status == png2zeq::ErrorCode::TranscodeLookup && !options.depth.convertible),
        "unexpected result code");
  if (!options.outputExistsBefore) {
    Check(!FileExists(outputPath), "failed run left an output file");
  } else {
    std::vector<uint8_t> after;
    Check(ReadWholeFile(outputPath, after) && after == stale, "failed run changed the old output");
  }
  return 0;
}
