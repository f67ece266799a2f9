#include "zeq_test_support.h"

#include <sys/stat.h>

#include "job/conversion_job.h"
#include "common/heap.h"
#include "png/png_reader.h"

namespace png2zeq::testing {

Bytes PatternBytes(size_t count, uint32_t seed) {
  Bytes bytes(count);
  uint32_t state = seed * 2654435761u + 12345u;
  for (size_t i = 0; i < count; ++i) {
    state = state * 1664525u + 1013904223u;
    bytes[i] = static_cast<uint8_t>(state >> 24);
  }
  return bytes;
}

OutputHeader RawHeader(uint32_t pixelFormat, uint32_t width, uint32_t height) {
  const size_t known = zeq_bytes_per_pixel(pixelFormat);
  const auto bytesPerPixel = static_cast<uint32_t>(known != 0 ? known : 1);
  return OutputHeader{ZEQ_MAGIC, pixelFormat, width, height, width * height * bytesPerPixel, 0};
}

Bytes BuildZeqFile(const OutputHeader& header, const Bytes& block) {
  Bytes file(ZEQ_HEADER_SIZE);
  EncodeZeqHeader(header, file.data());
  Append(file, block);
  return file;
}

Bytes RawZeqFile(uint32_t pixelFormat, uint32_t width, uint32_t height, const Bytes& pixels) {
  return BuildZeqFile(RawHeader(pixelFormat, width, height), pixels);
}

Bytes CompressedZeqFile(uint32_t pixelFormat, uint32_t width, uint32_t height,
                        const Bytes& pixels) {
  OutputHeader header = RawHeader(pixelFormat, width, height);
  const Bytes stream = Deflate(pixels);
  header.compressedLength = static_cast<uint32_t>(stream.size());
  return BuildZeqFile(header, stream);
}

void SetHeaderField(Bytes& file, size_t offset, uint32_t value) {
  StoreLittleEndian32(file.data() + offset, value);
}

DecodedPng DecodeWithConverterReader(const std::string& path) {
  ConversionJob job{};
  job.inputPath = path.c_str();
  DecodedPng decoded;
  decoded.result = static_cast<uint32_t>(ReadPngImage(job));
  decoded.width = job.width;
  decoded.height = job.height;
  decoded.colourType = job.pngColourType;
  if (job.pixels != nullptr) decoded.samples.assign(job.pixels, job.pixels + job.pixelLength);
  FreeBlock(job.pixels);
  return decoded;
}

ProcessResult RunZeq2PngProcess(const std::vector<std::string>& arguments,
                                const std::string& workingDirectory) {
  return RunProcess(ToolUnderTest("PNG2ZEQ_TEST_ZEQ2PNG", ZEQ2PNG_EXECUTABLE), arguments,
                    workingDirectory);
}

bool FileExists(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0;
}

}  // namespace png2zeq::testing
