#include "zeq2png/decode_memory.h"

#include <zeq_loader.h>

#include <climits>
#include <cstdio>

namespace zeq2png {

void PrintDecodeMemory(const ZeqImage& image, const uint8_t* data) {
  const png2zeq::OutputHeader& header = image.header;
  const auto row = static_cast<uint32_t>(header.width * zeq_bytes_per_pixel(image.format->code));
  const uint32_t dataLength =
      header.compressedLength != 0 ? header.compressedLength : header.rawLength;
  zeq_info info;
  // The file passed the stricter checks of ParseZeq, so the loader accepts
  // its header too.
  static_cast<void>(zeq_parse_header(data, ZEQ_HEADER_SIZE + dataLength, &info));
  const auto whole = static_cast<uint32_t>(zeq_workspace_size(&info, 0));
  const auto streamed = static_cast<uint32_t>(zeq_workspace_size(&info, 1));
  if (header.compressedLength == 0) {
    std::printf("Window size        none needed, pixels stored raw\n");
  } else {
    std::printf("Window size        %u bytes, zlib header CINFO %u\n", 1u << info.window_bits,
                info.window_bits - 8);
  }
  // zlib's state holds pointers and longs: the workspace is this host's.
  const unsigned hostBits = sizeof(void*) * CHAR_BIT;
  std::printf(
      "RAM, whole frame   %u bytes: pixels %u + loader workspace %u, no window "
      "(this %u-bit host; a 32-bit device needs slightly less)\n",
      header.rawLength + whole, header.rawLength, whole, hostBits);
  std::printf(
      "RAM, row by row    %u bytes: loader stream workspace %u + one row %u "
      "(this %u-bit host; a 32-bit device needs slightly less)\n",
      streamed + row, streamed, row, hostBits);
  // The loader's other inflater, from the bounds its header documents: the
  // same figures for raw pixels, which neither inflates.
#ifdef ZEQ_USE_ZLIB
  const char* const other = "RAM, own inflater  ";
  const char* const how = "without ZEQ_USE_ZLIB";
  const uint32_t decodeBound = ZEQ_OWN_DECODE_WORKSPACE_BOUND;
  const uint32_t streamOverhead = ZEQ_OWN_STREAM_WORKSPACE_OVERHEAD;
#else
  const char* const other = "RAM, with zlib     ";
  const char* const how = "with ZEQ_USE_ZLIB, on zlib's inflate";
  const uint32_t decodeBound = ZEQ_ZLIB_DECODE_WORKSPACE_BOUND;
  const uint32_t streamOverhead = ZEQ_ZLIB_STREAM_WORKSPACE_OVERHEAD;
#endif
  const bool compressed = header.compressedLength != 0;
  const uint32_t otherWhole = compressed ? decodeBound : whole;
  const uint32_t otherStreamed = compressed ? streamOverhead + (1u << info.window_bits) : streamed;
  std::printf(
      "%swhole frame %u bytes, row by row %u bytes: workspace at most %u and %u "
      "(the loader built %s)\n",
      other, header.rawLength + otherWhole, otherStreamed + row, otherWhole, otherStreamed, how);
}

}  // namespace zeq2png
