#include "zeq2png/info.h"

#include <cstdio>

namespace zeq2png {
namespace {

// The format code with its name and bytes per pixel, or "unknown".
void PrintPixelFormat(uint32_t code) {
  const png2zeq::ZeqFormatInfo* format = png2zeq::FindZeqFormat(code);
  if (format != nullptr) {
    std::printf("Pixel format       0x%04X %s, %u bytes per pixel\n", code, format->name,
                static_cast<unsigned>(zeq_bytes_per_pixel(code)));
  } else {
    std::printf("Pixel format       0x%04X unknown\n", code);
  }
}

// The compressed length and the ratio of raw to compressed bytes.
void PrintCompression(const png2zeq::OutputHeader& header) {
  if (header.compressedLength == 0) {
    std::printf("Compressed length  0, pixels stored raw\n");
    std::printf("Compression ratio  none\n");
    return;
  }
  std::printf("Compressed length  %u, one zlib stream\n", header.compressedLength);
  const double ratio =
      static_cast<double>(header.rawLength) / static_cast<double>(header.compressedLength);
  std::printf("Compression ratio  %.2f : 1\n", ratio);
}

}  // namespace

void PrintZeqInfo(const char* path, size_t fileSize, const ZeqImage& image, ZeqResult result) {
  std::printf("File               \"%s\", %zu bytes\n", path, fileSize);
  if (image.hasHeader) {
    const png2zeq::OutputHeader& header = image.header;
    std::printf("Magic              0x%08X%s\n", header.magic,
                header.magic == ZEQ_MAGIC ? "" : ", not a ZEQ file");
    PrintPixelFormat(header.pixelFormat);
    std::printf("Width              %u\n", header.width);
    std::printf("Height             %u\n", header.height);
    std::printf("Raw length         %u\n", header.rawLength);
    PrintCompression(header);
  } else {
    std::printf("Header             incomplete, %zu of %zu bytes\n", fileSize,
                size_t{ZEQ_HEADER_SIZE});
  }
  if (result == ZeqResult::OK) {
    std::printf("Verdict            valid\n");
  } else {
    std::printf("Verdict            invalid, %s\n", ZeqResultName(result));
  }
}

}  // namespace zeq2png
