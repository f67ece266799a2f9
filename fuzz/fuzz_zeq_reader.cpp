// Feeds arbitrary bytes to the inspection tool's ZEQ reader as a whole file
// and checks its verdict against a second opinion: the header checks redone
// here in their documented order, and for a compressed block zlib's own
// one-call uncompress. A file is accepted exactly when both agree it is
// valid, and accepted pixels are exactly the stored or inflated bytes.

#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/zeq_format.h"
#include "zeq2png/zeq_reader.h"

namespace {

using zeq2png::ZeqResult;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "fuzz_zeq_reader: %s\n", what);
  std::abort();
}

void Check(bool condition, const char* what) {
  if (!condition) Fail(what);
}

// The verdict of the checks that need no inflating, in their order; OK when
// all of them pass.
ZeqResult ExpectedHeaderVerdict(const uint8_t* data, size_t size) {
  if (size == 0) return ZeqResult::ZEQFileEmpty;
  if (size < ZEQ_HEADER_SIZE) return ZeqResult::ZEQHeaderTruncated;
  const png2zeq::OutputHeader header = png2zeq::DecodeZeqHeader(data);
  if (header.magic != ZEQ_MAGIC) return ZeqResult::ZEQBadMagic;
  const png2zeq::ZeqFormatInfo* format = png2zeq::FindZeqFormat(header.pixelFormat);
  if (format == nullptr) return ZeqResult::ZEQUnknownPixelFormat;
  if (header.width < 1 || header.width > ZEQ_MAX_WIDTH) return ZeqResult::ZEQWidthOutOfRange;
  if (header.height < 1 || header.height > ZEQ_MAX_HEIGHT) return ZeqResult::ZEQHeightOutOfRange;
  if (uint64_t{header.rawLength} != uint64_t{header.width} * header.height * zeq_bytes_per_pixel(format->code)) {
    return ZeqResult::ZEQRawLengthMismatch;
  }
  const uint64_t dataLength =
      header.compressedLength != 0 ? header.compressedLength : header.rawLength;
  if (size - ZEQ_HEADER_SIZE != dataLength) return ZeqResult::ZEQFileSizeMismatch;
  return ZeqResult::OK;
}

bool IsStreamVerdict(ZeqResult result) {
  switch (result) {
    case ZeqResult::ZEQStreamCorrupt:
    case ZeqResult::ZEQStreamTruncated:
    case ZeqResult::ZEQChecksumMismatch:
    case ZeqResult::ZEQInflatedTooShort:
    case ZeqResult::ZEQInflatedTooLong:
    case ZeqResult::ZEQTrailingBytes:
      return true;
    default:
      return false;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zeq2png::ZeqImage image;
  const ZeqResult result = zeq2png::ParseZeq(size != 0 ? data : nullptr, size, &image);
  const ZeqResult headerVerdict = ExpectedHeaderVerdict(data, size);

  Check(image.hasHeader == (size >= ZEQ_HEADER_SIZE), "hasHeader wrong");
  if (headerVerdict != ZeqResult::OK) {
    Check(result == headerVerdict, "header verdict differs");
    Check(image.pixels.data == nullptr, "pixels kept after a failed check");
    return 0;
  }
  const png2zeq::OutputHeader header = png2zeq::DecodeZeqHeader(data);
  Check(image.format != nullptr && image.format->code == header.pixelFormat, "format row wrong");
  const uint8_t* block = data + ZEQ_HEADER_SIZE;

  if (header.compressedLength == 0) {
    Check(result == ZeqResult::OK, "valid raw file refused");
    Check(image.pixels.size == header.rawLength &&
              std::memcmp(image.pixels.data, block, header.rawLength) == 0,
          "raw pixels differ from the file");
    return 0;
  }

  // zlib's one-call inflate into exactly rawLength bytes: valid when it ends
  // the stream with all of the block consumed and all of the room filled.
  std::vector<uint8_t> inflated(header.rawLength);
  uLongf inflatedLength = header.rawLength;
  uLong consumed = header.compressedLength;
  const int status = uncompress2(inflated.data(), &inflatedLength, block, &consumed);
  const bool valid = status == Z_OK && inflatedLength == header.rawLength &&
                     consumed == header.compressedLength;
  if (!valid) {
    Check(result != ZeqResult::OK, "invalid zlib block accepted");
    Check(IsStreamVerdict(result) || result == ZeqResult::OutOfMemory,
          "invalid zlib block refused with a code for another fault");
    Check(image.pixels.data == nullptr, "pixels kept after a failed inflate");
    if (status == Z_OK && inflatedLength == header.rawLength) {
      Check(result == ZeqResult::ZEQTrailingBytes, "bytes after the stream not reported");
    }
    return 0;
  }
  Check(result == ZeqResult::OK, "valid zlib block refused");
  Check(image.pixels.size == header.rawLength &&
            std::memcmp(image.pixels.data, inflated.data(), header.rawLength) == 0,
        "inflated pixels differ");
  return 0;
}
