#include "zeq2png/zeq_reader.h"

#include <zlib.h>

#include <cstring>

namespace zeq2png {
namespace {

// zlib's message for a stream whose Adler-32 does not match its output.
constexpr const char* kZlibChecksumMessage = "incorrect data check";

// Ends the inflate stream on every path once it has been initialised.
struct InflateStream {
  z_stream stream{};
  bool initialised = false;
  ~InflateStream() {
    if (initialised) inflateEnd(&stream);
  }
};

// Tells a stream whose Adler-32 failed from one that is broken otherwise;
// zlib reports both as Z_DATA_ERROR and only its message differs.
ZeqResult ClassifyDataError(const z_stream& stream) {
  const bool checksum = stream.msg != nullptr && std::strcmp(stream.msg, kZlibChecksumMessage) == 0;
  return checksum ? ZeqResult::ZEQChecksumMismatch : ZeqResult::ZEQStreamCorrupt;
}

// Inflates the `blockLength` bytes at `block` into exactly `rawLength` bytes
// at `out`. Returns OK only when the stream ends, after exactly rawLength
// bytes of output that pass the Adler-32, on the block's last byte.
ZeqResult InflateExactly(const uint8_t* block, uint32_t blockLength, uint8_t* out,
                         uint32_t rawLength) {
  InflateStream inflater;
  z_stream& stream = inflater.stream;
  stream.next_in = const_cast<Bytef*>(block);  // zlib never writes through next_in
  stream.avail_in = blockLength;
  const int initStatus = inflateInit(&stream);
  if (initStatus == Z_MEM_ERROR) return ZeqResult::OutOfMemory;
  if (initStatus != Z_OK) return ZeqResult::ZEQStreamCorrupt;
  inflater.initialised = true;
  stream.next_out = out;
  stream.avail_out = rawLength;

  // Once rawLength bytes are out, one spare byte of room tells a stream that
  // has more to give from one that only has its end still to read.
  uint8_t spare = 0;
  bool probing = false;
  for (;;) {
    const int status = inflate(&stream, Z_NO_FLUSH);
    if (stream.total_out > rawLength) return ZeqResult::ZEQInflatedTooLong;
    if (status == Z_STREAM_END) {
      if (stream.total_out < rawLength) return ZeqResult::ZEQInflatedTooShort;
      return stream.avail_in != 0 ? ZeqResult::ZEQTrailingBytes : ZeqResult::OK;
    }
    if (status == Z_DATA_ERROR) return ClassifyDataError(stream);
    if (status == Z_MEM_ERROR) return ZeqResult::OutOfMemory;
    // Z_NEED_DICT: the files carry no preset dictionary.
    if (status != Z_OK && status != Z_BUF_ERROR) return ZeqResult::ZEQStreamCorrupt;
    if (stream.avail_out == 0 && !probing) {
      probing = true;
      stream.next_out = &spare;
      stream.avail_out = 1;
      continue;
    }
    if (stream.avail_in == 0) return ZeqResult::ZEQStreamTruncated;
    // inflate stops only for want of input or of room, so this is unreachable.
    return ZeqResult::ZEQStreamCorrupt;
  }
}

// The header checks, in order; fills the format row as soon as it is known.
ZeqResult CheckHeader(const png2zeq::OutputHeader& header, ZeqImage* image) {
  if (header.magic != ZEQ_MAGIC) return ZeqResult::ZEQBadMagic;
  image->format = png2zeq::FindZeqFormat(header.pixelFormat);
  if (image->format == nullptr) return ZeqResult::ZEQUnknownPixelFormat;
  if (header.width == 0 || header.width > ZEQ_MAX_WIDTH) {
    return ZeqResult::ZEQWidthOutOfRange;
  }
  if (header.height == 0 || header.height > ZEQ_MAX_HEIGHT) {
    return ZeqResult::ZEQHeightOutOfRange;
  }
  // At most 1024 x 768 x 4: no overflow even in 32 bits, 64 for clarity.
  const uint64_t expectedRaw =
      uint64_t{header.width} * header.height * zeq_bytes_per_pixel(image->format->code);
  if (header.rawLength != expectedRaw) return ZeqResult::ZEQRawLengthMismatch;
  return ZeqResult::OK;
}

}  // namespace

ZeqResult ParseZeq(const uint8_t* data, size_t size, ZeqImage* image) {
  image->hasHeader = false;
  image->header = png2zeq::OutputHeader{};
  image->format = nullptr;
  image->pixels.Release();
  if (size == 0) return ZeqResult::ZEQFileEmpty;
  if (size < ZEQ_HEADER_SIZE) return ZeqResult::ZEQHeaderTruncated;

  const png2zeq::OutputHeader header = png2zeq::DecodeZeqHeader(data);
  image->hasHeader = true;
  image->header = header;
  const ZeqResult headerResult = CheckHeader(header, image);
  if (headerResult != ZeqResult::OK) return headerResult;

  const bool compressed = header.compressedLength != 0;
  const uint64_t dataLength = compressed ? header.compressedLength : header.rawLength;
  if (uint64_t{size} != ZEQ_HEADER_SIZE + dataLength) return ZeqResult::ZEQFileSizeMismatch;

  // rawLength is checked against the image size by now, so it bounds this.
  if (!image->pixels.Allocate(header.rawLength)) return ZeqResult::OutOfMemory;
  const uint8_t* block = data + ZEQ_HEADER_SIZE;
  if (!compressed) {
    std::memcpy(image->pixels.data, block, header.rawLength);
    return ZeqResult::OK;
  }
  const ZeqResult inflated =
      InflateExactly(block, header.compressedLength, image->pixels.data, header.rawLength);
  if (inflated != ZeqResult::OK) image->pixels.Release();
  return inflated;
}

}  // namespace zeq2png
