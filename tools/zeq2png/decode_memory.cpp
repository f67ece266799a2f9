#include "zeq2png/decode_memory.h"

#include <cstdio>

namespace zeq2png {
namespace {

// zlib's inflate state (struct inflate_state: bit buffer, code tables for
// the largest dynamic block), as inflateInit allocates it on a 64-bit host;
// a 32-bit device's is a few bytes smaller.
constexpr uint32_t kInflateStateBytes = 7160;

// The window a zlib stream declares: CINFO, the high nibble of its first
// byte, gives 2^(CINFO + 8) bytes.
uint32_t WindowBytes(uint8_t compressionMethodAndFlags) {
  return uint32_t{1} << ((compressionMethodAndFlags >> 4) + 8);
}

}  // namespace

void PrintDecodeMemory(const ZeqImage& image, const uint8_t* data) {
  const png2zeq::OutputHeader& header = image.header;
  const uint32_t row = header.width * image.format->bytesPerPixel;
  if (header.compressedLength == 0) {
    std::printf("Window size        none needed, pixels stored raw\n");
    std::printf("RAM, whole frame   %u bytes: the pixels\n", header.rawLength);
    std::printf("RAM, row by row    %u bytes: one row\n", row);
    return;
  }
  const uint8_t cmf = data[png2zeq::kZeqHeaderSize];
  const uint32_t window = WindowBytes(cmf);
  std::printf("Window size        %u bytes, zlib header CINFO %u\n", window, cmf >> 4);
  std::printf("RAM, whole frame   %u bytes: pixels %u + inflate state %u, no window\n",
              header.rawLength + kInflateStateBytes, header.rawLength, kInflateStateBytes);
  std::printf("RAM, row by row    %u bytes: window %u + inflate state %u + one row %u\n",
              window + kInflateStateBytes + row, window, kInflateStateBytes, row);
}

}  // namespace zeq2png
