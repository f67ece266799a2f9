// zeq_loader: the device-side ZEQ reader declared in zeq_loader.h.
//
// Built without exceptions, RTTI, heap, stdio or mutable global state, and
// written to the C++11 subset so that any firmware toolchain takes it. zlib
// allocates only from the caller's workspace through a bump allocator.
//
// Every verdict matches zeq2png's reader, check for check. Two points need
// care because the loader keeps less in RAM than zeq2png does:
//  - zeq_decode inflates in one call with Z_FINISH straight into the pixels,
//    so zlib never needs its window. Only when the pixels are full and the
//    stream is not at its end does the verdict depend on what the stream
//    would do next; a second pass, shifted by one byte, finds that out with a
//    256-byte window (see JudgeOverflow).
//  - A stream cannot tell how long the file is before reading it all, while
//    zeq2png checks the file size before the stream. So a stream error is
//    reported only after reading on to the end of the data: a file of the
//    wrong size gets ZEQ_E_FILE_SIZE_MISMATCH first, as in zeq2png.

#include "zeq_loader.h"

#include <zlib.h>

#include <stddef.h>
#include <stdint.h>
#include <string.h>

namespace {

const uint32_t kMagic = 0x0B5E0B5Eu;
const size_t kHeaderSize = 24;
const size_t kZlibHeaderSize = 2;
const uint32_t kMaxWidth = 1024;
const uint32_t kMaxHeight = 768;
const uint32_t kLargestWindowBits = 15;
// The second pass of zeq_decode uses zlib's smallest window.
const int kProbeWindowBits = 8;
const size_t kProbeWindowBytes = size_t{1} << kProbeWindowBits;
// A stream reads its source in pieces of at most this many bytes.
const size_t kInputBytes = 1024;
// Room to discard data on the stack while reading on to the end of a file.
const size_t kDrainBytes = 64;
const size_t kAlignment = alignof(max_align_t);

uint32_t Load32(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

// Bytes per pixel of a ZEQ pixel format, 0 for a code no ZEQ file carries.
uint32_t BytesPerPixel(uint32_t format) {
  switch (format) {
    case 0x0008: return 1;
    case 0x8008: return 2;
    case 0x0888: return 3;
    case 0x8888: return 4;
    case 0x0565: return 2;
    case 0x8565: return 3;
    default: return 0;
  }
}

size_t RoundUp(size_t bytes) { return (bytes + kAlignment - 1) / kAlignment * kAlignment; }

// True when zlib's message `message` is `expected` (no <string.h> compare
// is needed for two short literals).
bool SameText(const char* message, const char* expected) {
  if (message == nullptr) return false;
  while (*message != '\0' && *message == *expected) ++message, ++expected;
  return *message == *expected;
}

// --- the workspace allocator -------------------------------------------

// Hands out aligned pieces of the caller's workspace front to back; frees
// nothing (each use lives as long as the workspace). `limit` may stop short
// of the workspace's end to refuse an allocation on purpose.
struct Arena {
  uint8_t* next;
  uint8_t* limit;
};

void ArenaInit(Arena* arena, void* workspace, size_t size) {
  uint8_t* start = static_cast<uint8_t*>(workspace);
  const size_t misalignment = reinterpret_cast<uintptr_t>(start) % kAlignment;
  const size_t padding = misalignment == 0 ? 0 : kAlignment - misalignment;
  arena->limit = start + size;
  arena->next = start + (padding < size ? padding : size);
}

// Returns `bytes` aligned bytes from the arena, or null when they do not fit.
void* ArenaTake(Arena* arena, size_t bytes) {
  const size_t rounded = RoundUp(bytes);
  if (rounded < bytes || rounded > static_cast<size_t>(arena->limit - arena->next)) {
    return nullptr;
  }
  void* piece = arena->next;
  arena->next += rounded;
  return piece;
}

voidpf ArenaAlloc(voidpf opaque, uInt items, uInt size) {
  if (size != 0 && items > static_cast<size_t>(-1) / size) return Z_NULL;
  return ArenaTake(static_cast<Arena*>(opaque), static_cast<size_t>(items) * size);
}

void ArenaFree(voidpf, voidpf) {}

// Records what zlib asks for and gives nothing.
voidpf RecordRequest(voidpf opaque, uInt items, uInt size) {
  *static_cast<size_t*>(opaque) = static_cast<size_t>(items) * size;
  return Z_NULL;
}

// The bytes of zlib's inflate state, learnt from zlib itself: a private
// structure whose size differs between zlib versions and word sizes.
size_t InflateStateBytes() {
  size_t requested = 0;
  z_stream probe;
  memset(&probe, 0, sizeof probe);
  probe.zalloc = RecordRequest;
  probe.zfree = ArenaFree;
  probe.opaque = &requested;
  inflateInit(&probe);  // fails for want of memory, having asked for it
  return requested;
}

// --- header checks ---------------------------------------------------------

// Checks the 24 header bytes in zeq2png's order and fills `info` as far as
// the checks get.
zeq_status CheckFields(const uint8_t* header, zeq_info* info) {
  if (Load32(header) != kMagic) return ZEQ_E_BAD_MAGIC;
  info->pixel_format = Load32(header + 4);
  info->width = Load32(header + 8);
  info->height = Load32(header + 12);
  info->raw_length = Load32(header + 16);
  info->compressed_length = Load32(header + 20);
  info->bytes_per_pixel = BytesPerPixel(info->pixel_format);
  if (info->bytes_per_pixel == 0) return ZEQ_E_UNKNOWN_PIXEL_FORMAT;
  if (info->width == 0 || info->width > kMaxWidth) return ZEQ_E_WIDTH_OUT_OF_RANGE;
  if (info->height == 0 || info->height > kMaxHeight) return ZEQ_E_HEIGHT_OUT_OF_RANGE;
  // At most 1024 x 768 x 4: no overflow in 32 bits.
  if (info->raw_length != info->width * info->height * info->bytes_per_pixel) {
    return ZEQ_E_RAW_LENGTH_MISMATCH;
  }
  return ZEQ_OK;
}

// Reads the window size from a zlib header's two bytes, refusing a header
// that zlib's inflate would refuse (check bits, method, window over 32 KiB).
zeq_status ReadWindowBits(const uint8_t* zlib_header, uint32_t* window_bits) {
  const uint32_t method_and_window = zlib_header[0];
  if ((method_and_window * 256 + zlib_header[1]) % 31 != 0) return ZEQ_E_STREAM_CORRUPT;
  if ((method_and_window & 0x0F) != Z_DEFLATED) return ZEQ_E_STREAM_CORRUPT;
  if ((method_and_window >> 4) + 8 > kLargestWindowBits) return ZEQ_E_STREAM_CORRUPT;
  *window_bits = (method_and_window >> 4) + 8;
  return ZEQ_OK;
}

// Tells zlib's data errors apart: a failed Adler-32, a distance beyond a
// stream's declared window (possible only once more than the window has come
// out), and anything else.
zeq_status ClassifyDataError(const z_stream& stream, uint32_t window_bits) {
  if (SameText(stream.msg, "incorrect data check")) return ZEQ_E_CHECKSUM_MISMATCH;
  if (window_bits < kLargestWindowBits && stream.total_out > (uLong{1} << window_bits) &&
      SameText(stream.msg, "invalid distance too far back")) {
    return ZEQ_E_BEYOND_WINDOW;
  }
  return ZEQ_E_STREAM_CORRUPT;
}

// --- whole-file decoding ------------------------------------------------------

// Called when the pixels are full but the stream is not at its end: decides
// what zeq2png would, namely whether the stream gives one more byte
// (too long), fails first (corrupt) or runs out of data (truncated). The
// stream is inflated again without its zlib header, its first byte into a
// spare byte and the rest into the pixels, so the pixels now have room for
// one byte past rawLength; a 256-byte window keeps that first byte.
zeq_status JudgeOverflow(const uint8_t* block, uint32_t block_length, uint8_t* pixels,
                         uint32_t raw_length, Arena* arena) {
  z_stream stream;
  memset(&stream, 0, sizeof stream);
  stream.zalloc = ArenaAlloc;
  stream.zfree = ArenaFree;
  stream.opaque = arena;
  if (inflateInit2(&stream, -kProbeWindowBits) != Z_OK) return ZEQ_E_WORKSPACE_TOO_SMALL;
  // The first pass produced output, so the block holds the zlib header.
  stream.next_in = const_cast<Bytef*>(block + kZlibHeaderSize);  // zlib never writes it
  stream.avail_in = block_length - static_cast<uInt>(kZlibHeaderSize);
  uint8_t first = 0;
  stream.next_out = &first;
  stream.avail_out = 1;
  int result = inflate(&stream, Z_NO_FLUSH);
  bool overflowed = false;
  if (result == Z_OK) {
    stream.next_out = pixels;
    stream.avail_out = raw_length;
    result = inflate(&stream, Z_NO_FLUSH);
    overflowed = stream.avail_out == 0;
  }
  inflateEnd(&stream);
  if (result == Z_MEM_ERROR) return ZEQ_E_WORKSPACE_TOO_SMALL;
  if (overflowed) return ZEQ_E_INFLATED_TOO_LONG;
  if (result == Z_DATA_ERROR) return ZEQ_E_STREAM_CORRUPT;
  return ZEQ_E_STREAM_TRUNCATED;
}

// Inflates the zlib stream of `block_length` bytes into exactly `raw_length`
// bytes at `pixels`, with zlib's state in `arena`, and judges it.
zeq_status InflateWhole(const uint8_t* block, uint32_t block_length, uint8_t* pixels,
                        uint32_t raw_length, Arena* arena) {
  const Arena fresh = *arena;
  z_stream stream;
  memset(&stream, 0, sizeof stream);
  stream.zalloc = ArenaAlloc;
  stream.zfree = ArenaFree;
  stream.opaque = arena;
  if (inflateInit(&stream) != Z_OK) return ZEQ_E_WORKSPACE_TOO_SMALL;
  // No window: zlib asks for one only if this call ends before the stream.
  arena->limit = arena->next;
  stream.next_in = const_cast<Bytef*>(block);  // zlib never writes through next_in
  stream.avail_in = block_length;
  stream.next_out = pixels;
  stream.avail_out = raw_length;
  const int result = inflate(&stream, Z_FINISH);
  const zeq_status data_error = ClassifyDataError(stream, kLargestWindowBits);
  const uInt out_left = stream.avail_out;
  const uInt in_left = stream.avail_in;
  inflateEnd(&stream);
  switch (result) {
    case Z_STREAM_END:
      if (out_left != 0) return ZEQ_E_INFLATED_TOO_SHORT;
      return in_left != 0 ? ZEQ_E_TRAILING_BYTES : ZEQ_OK;
    case Z_DATA_ERROR:
      return data_error;
    case Z_NEED_DICT:  // ZEQ files carry no preset dictionary
      return ZEQ_E_STREAM_CORRUPT;
    case Z_MEM_ERROR:  // stopped inside the deflate data, wanting a window
      if (out_left != 0) return ZEQ_E_STREAM_TRUNCATED;
      *arena = fresh;
      return JudgeOverflow(block, block_length, pixels, raw_length, arena);
    default:  // Z_BUF_ERROR: out of data, perhaps inside the Adler-32
      return ZEQ_E_STREAM_TRUNCATED;
  }
}

// --- reading through the callback ------------------------------------------------

// Reads until `length` bytes are in or the source ends; returns the count.
size_t ReadFully(zeq_read_fn read, void* context, uint8_t* buffer, size_t length) {
  size_t got = 0;
  while (got < length) {
    const size_t piece = read(context, buffer + got, length - got);
    if (piece == 0 || piece > length - got) break;
    got += piece;
  }
  return got;
}

// True when exactly `left` more bytes can be read and then the source ends.
bool EndsAfter(zeq_read_fn read, void* context, uint32_t left) {
  uint8_t discard[kDrainBytes];
  while (left != 0) {
    const size_t piece = left < kDrainBytes ? left : kDrainBytes;
    if (ReadFully(read, context, discard, piece) != piece) return false;
    left -= static_cast<uint32_t>(piece);
  }
  return ReadFully(read, context, discard, 1) == 0;
}

// A stream error is reported only for a file of the right size, as zeq2png
// checks the size first.
zeq_status AfterSizeCheck(zeq_read_fn read, void* context, uint32_t left, zeq_status error) {
  return EndsAfter(read, context, left) ? error : ZEQ_E_FILE_SIZE_MISMATCH;
}

}  // namespace

// --- the stream -------------------------------------------------------------------

struct zeq_stream {
  z_stream inflater;
  Arena arena;
  zeq_read_fn read;
  void* context;
  zeq_info info;
  uint32_t row_bytes;
  uint32_t rows_left;
  uint32_t block_left;  // data bytes not yet read from the source
  uint8_t* input;       // kInputBytes in the workspace, compressed files only
  bool ended;           // zlib has seen the stream's end
  zeq_status pending;   // an error met after the rows asked for were out
  zeq_status failed;    // once set, every call returns it
};

namespace {

zeq_status Fail(zeq_stream* stream, zeq_status status) {
  stream->failed = status;
  return status;
}

// Fails a stream with an error of the zlib stream, unless the file's size is
// wrong, which zeq2png reports first.
zeq_status FailStream(zeq_stream* stream, zeq_status error) {
  return Fail(stream, AfterSizeCheck(stream->read, stream->context, stream->block_left, error));
}

// Gives zlib the next piece of the block. Returns false when the source ends
// early, which makes the file shorter than its header says.
bool Refill(zeq_stream* stream) {
  const size_t want = stream->block_left < kInputBytes ? stream->block_left : kInputBytes;
  const size_t got = stream->read(stream->context, stream->input, want);
  if (got == 0 || got > want) return false;
  stream->block_left -= static_cast<uint32_t>(got);
  stream->inflater.next_in = stream->input;
  stream->inflater.avail_in = static_cast<uInt>(got);
  return true;
}

// How a run of inflating into the output room ended.
enum class Outcome { kFilled, kEnded, kFailed };

// Inflates into the `length` bytes at `out` until they are filled (an error
// met after that waits in `pending`), the stream ends, or it fails (the
// stream's `failed` then holds the status).
Outcome Pump(zeq_stream* stream, uint8_t* out, uInt length) {
  z_stream& inflater = stream->inflater;
  inflater.next_out = out;
  inflater.avail_out = length;
  for (;;) {
    if (inflater.avail_in == 0 && stream->block_left != 0 && !Refill(stream)) {
      Fail(stream, ZEQ_E_FILE_SIZE_MISMATCH);
      return Outcome::kFailed;
    }
    const int result = inflate(&inflater, Z_NO_FLUSH);
    zeq_status error = ZEQ_OK;
    if (result == Z_STREAM_END) {
      stream->ended = true;
      return Outcome::kEnded;
    }
    if (result == Z_DATA_ERROR) {
      error = ClassifyDataError(inflater, stream->info.window_bits);
    } else if (result == Z_MEM_ERROR) {
      Fail(stream, ZEQ_E_WORKSPACE_TOO_SMALL);
      return Outcome::kFailed;
    } else if (result != Z_NEED_DICT && inflater.avail_out == 0) {
      return Outcome::kFilled;
    } else if (result == Z_NEED_DICT || inflater.avail_in != 0) {
      // A preset dictionary, which ZEQ files never use, or no progress with
      // both input and room, which inflate never makes.
      error = ZEQ_E_STREAM_CORRUPT;
    } else if (stream->block_left == 0) {
      error = ZEQ_E_STREAM_TRUNCATED;
    } else {
      continue;  // wants more of the block
    }
    // Output that came out whole is delivered; the error waits for the next call.
    if (inflater.avail_out == 0) {
      stream->pending = error;
      return Outcome::kFilled;
    }
    FailStream(stream, error);
    return Outcome::kFailed;
  }
}

// Sets up inflating a compressed file in `stream`, whose first `have` bytes
// of block (the zlib header) are at `zlib_header`.
zeq_status StartInflating(zeq_stream* stream, const uint8_t* zlib_header, size_t have) {
  stream->input = static_cast<uint8_t*>(ArenaTake(&stream->arena, kInputBytes));
  z_stream& inflater = stream->inflater;
  inflater.zalloc = ArenaAlloc;
  inflater.zfree = ArenaFree;
  inflater.opaque = &stream->arena;
  if (stream->input == nullptr ||
      inflateInit2(&inflater, static_cast<int>(stream->info.window_bits)) != Z_OK) {
    return ZEQ_E_WORKSPACE_TOO_SMALL;
  }
  memcpy(stream->input, zlib_header, have);
  inflater.next_in = stream->input;
  inflater.avail_in = static_cast<uInt>(have);
  return ZEQ_OK;
}

}  // namespace

extern "C" {

zeq_status zeq_parse_header(const uint8_t* bytes, size_t size, zeq_info* info) {
  if (info == nullptr || (bytes == nullptr && size != 0)) return ZEQ_E_BAD_CALL;
  memset(info, 0, sizeof *info);
  if (size == 0) return ZEQ_E_FILE_EMPTY;
  if (size < kHeaderSize) return ZEQ_E_HEADER_TRUNCATED;
  const zeq_status fields = CheckFields(bytes, info);
  if (fields != ZEQ_OK || info->compressed_length == 0) return fields;
  if (info->compressed_length < kZlibHeaderSize) return ZEQ_E_STREAM_TRUNCATED;
  if (size < kHeaderSize + kZlibHeaderSize) return ZEQ_E_HEADER_TRUNCATED;
  return ReadWindowBits(bytes + kHeaderSize, &info->window_bits);
}

size_t zeq_workspace_size(const zeq_info* info, int streaming) {
  if (info == nullptr) return 0;
  const bool compressed = info->compressed_length != 0;
  const size_t slack = kAlignment - 1;  // for a workspace at any address
  if (!streaming) {
    return compressed ? slack + RoundUp(InflateStateBytes()) + RoundUp(kProbeWindowBytes) : 0;
  }
  size_t bytes = slack + RoundUp(sizeof(zeq_stream));
  if (compressed) {
    const uint32_t bits = info->window_bits >= 8 && info->window_bits <= kLargestWindowBits
                              ? info->window_bits
                              : kLargestWindowBits;
    bytes += RoundUp(kInputBytes) + RoundUp(InflateStateBytes()) + RoundUp(size_t{1} << bits);
  }
  return bytes;
}

zeq_status zeq_decode(const uint8_t* file, size_t size, uint8_t* pixels, size_t pixels_size,
                      void* workspace, size_t workspace_size) {
  if (file == nullptr && size != 0) return ZEQ_E_BAD_CALL;
  if (size == 0) return ZEQ_E_FILE_EMPTY;
  if (size < kHeaderSize) return ZEQ_E_HEADER_TRUNCATED;
  zeq_info info;
  memset(&info, 0, sizeof info);
  const zeq_status fields = CheckFields(file, &info);
  if (fields != ZEQ_OK) return fields;
  const bool compressed = info.compressed_length != 0;
  const uint64_t data_length = compressed ? info.compressed_length : info.raw_length;
  if (uint64_t{size} != kHeaderSize + data_length) return ZEQ_E_FILE_SIZE_MISMATCH;
  if (pixels == nullptr || pixels_size < info.raw_length) return ZEQ_E_PIXELS_TOO_SMALL;
  if (!compressed) {
    memcpy(pixels, file + kHeaderSize, info.raw_length);
    return ZEQ_OK;
  }
  if (workspace == nullptr || workspace_size < zeq_workspace_size(&info, 0)) {
    return ZEQ_E_WORKSPACE_TOO_SMALL;
  }
  Arena arena;
  ArenaInit(&arena, workspace, workspace_size);
  return InflateWhole(file + kHeaderSize, info.compressed_length, pixels, info.raw_length,
                      &arena);
}

zeq_status zeq_stream_open(zeq_stream** stream, zeq_read_fn read, void* context,
                           void* workspace, size_t workspace_size, zeq_info* info) {
  if (stream == nullptr || read == nullptr || info == nullptr) return ZEQ_E_BAD_CALL;
  *stream = nullptr;
  memset(info, 0, sizeof *info);
  uint8_t header[kHeaderSize + kZlibHeaderSize];
  const size_t got = ReadFully(read, context, header, kHeaderSize);
  if (got == 0) return ZEQ_E_FILE_EMPTY;
  if (got < kHeaderSize) return ZEQ_E_HEADER_TRUNCATED;
  const zeq_status fields = CheckFields(header, info);
  if (fields != ZEQ_OK) return fields;

  const bool compressed = info->compressed_length != 0;
  uint32_t block_left = compressed ? info->compressed_length : info->raw_length;
  size_t have = 0;  // bytes of the zlib header read
  if (compressed) {
    have = block_left < kZlibHeaderSize ? block_left : kZlibHeaderSize;
    if (ReadFully(read, context, header + kHeaderSize, have) != have) {
      return ZEQ_E_FILE_SIZE_MISMATCH;
    }
    block_left -= static_cast<uint32_t>(have);
    if (have < kZlibHeaderSize) {
      return AfterSizeCheck(read, context, block_left, ZEQ_E_STREAM_TRUNCATED);
    }
    const zeq_status window = ReadWindowBits(header + kHeaderSize, &info->window_bits);
    if (window != ZEQ_OK) return AfterSizeCheck(read, context, block_left, window);
  }
  if (workspace == nullptr || workspace_size < zeq_workspace_size(info, 1)) {
    return ZEQ_E_WORKSPACE_TOO_SMALL;
  }

  Arena arena;
  ArenaInit(&arena, workspace, workspace_size);
  zeq_stream* opened = static_cast<zeq_stream*>(ArenaTake(&arena, sizeof(zeq_stream)));
  if (opened == nullptr) return ZEQ_E_WORKSPACE_TOO_SMALL;
  memset(opened, 0, sizeof *opened);
  opened->arena = arena;
  opened->read = read;
  opened->context = context;
  opened->info = *info;
  opened->row_bytes = info->width * info->bytes_per_pixel;
  opened->rows_left = info->height;
  opened->block_left = block_left;
  if (compressed) {
    const zeq_status started = StartInflating(opened, header + kHeaderSize, have);
    if (started != ZEQ_OK) return started;
  }
  *stream = opened;
  return ZEQ_OK;
}

zeq_status zeq_stream_rows(zeq_stream* stream, uint8_t* rows, uint32_t row_count) {
  if (stream == nullptr) return ZEQ_E_BAD_CALL;
  if (stream->failed != ZEQ_OK) return stream->failed;
  if (row_count > stream->rows_left || (rows == nullptr && row_count != 0)) {
    return ZEQ_E_BAD_CALL;
  }
  if (row_count == 0) return ZEQ_OK;
  const uint32_t length = row_count * stream->row_bytes;
  if (stream->info.compressed_length == 0) {
    if (ReadFully(stream->read, stream->context, rows, length) != length) {
      return Fail(stream, ZEQ_E_FILE_SIZE_MISMATCH);
    }
    stream->block_left -= length;
  } else {
    if (stream->pending != ZEQ_OK) return FailStream(stream, stream->pending);
    if (stream->ended) return FailStream(stream, ZEQ_E_INFLATED_TOO_SHORT);
    const Outcome outcome = Pump(stream, rows, length);
    if (outcome == Outcome::kFailed) return stream->failed;
    if (stream->inflater.avail_out != 0) return FailStream(stream, ZEQ_E_INFLATED_TOO_SHORT);
  }
  stream->rows_left -= row_count;
  return ZEQ_OK;
}

zeq_status zeq_stream_finish(zeq_stream* stream) {
  if (stream == nullptr) return ZEQ_E_BAD_CALL;
  if (stream->failed != ZEQ_OK) return stream->failed;
  if (stream->rows_left != 0) return ZEQ_E_BAD_CALL;
  if (stream->info.compressed_length != 0) {
    if (stream->pending != ZEQ_OK) return FailStream(stream, stream->pending);
    if (!stream->ended) {
      // One spare byte tells a stream that has more to give from one that
      // only has its end still to read.
      uint8_t spare = 0;
      if (Pump(stream, &spare, 1) == Outcome::kFailed) return stream->failed;
      if (stream->inflater.avail_out == 0) return FailStream(stream, ZEQ_E_INFLATED_TOO_LONG);
    }
    if (stream->inflater.avail_in != 0 || stream->block_left != 0) {
      return FailStream(stream, ZEQ_E_TRAILING_BYTES);
    }
  }
  const uint32_t left = stream->block_left;
  stream->block_left = 0;
  const zeq_status end = AfterSizeCheck(stream->read, stream->context, left, ZEQ_OK);
  stream->failed = end != ZEQ_OK ? end : ZEQ_E_BAD_CALL;  // a finished stream takes no more calls
  return end;
}

const char* zeq_status_text(zeq_status status) {
  switch (status) {
    case ZEQ_OK: return "The ZEQ file is valid.";
    case ZEQ_E_FILE_EMPTY: return "The file is empty.";
    case ZEQ_E_HEADER_TRUNCATED: return "The file ends inside its header.";
    case ZEQ_E_BAD_MAGIC: return "The file does not start with the ZEQ magic 5E 0B 5E 0B.";
    case ZEQ_E_UNKNOWN_PIXEL_FORMAT: return "The pixel format code is not a ZEQ format.";
    case ZEQ_E_WIDTH_OUT_OF_RANGE: return "The width is not within 1 to 1024.";
    case ZEQ_E_HEIGHT_OUT_OF_RANGE: return "The height is not within 1 to 768.";
    case ZEQ_E_RAW_LENGTH_MISMATCH: return "rawLength is not width x height x bytes per pixel.";
    case ZEQ_E_FILE_SIZE_MISMATCH: return "The file size is not 24 + the data length.";
    case ZEQ_E_STREAM_CORRUPT: return "The compressed block is not a valid zlib stream.";
    case ZEQ_E_STREAM_TRUNCATED: return "The compressed block ends before its zlib stream.";
    case ZEQ_E_CHECKSUM_MISMATCH: return "The zlib stream's Adler-32 does not match.";
    case ZEQ_E_INFLATED_TOO_SHORT: return "The zlib stream inflates to fewer than rawLength bytes.";
    case ZEQ_E_INFLATED_TOO_LONG: return "The zlib stream inflates to more than rawLength bytes.";
    case ZEQ_E_TRAILING_BYTES: return "Bytes follow the end of the zlib stream.";
    case ZEQ_E_BEYOND_WINDOW:
      return "The zlib stream reaches further back than the window its header declares.";
    case ZEQ_E_PIXELS_TOO_SMALL: return "The pixel buffer is smaller than rawLength.";
    case ZEQ_E_WORKSPACE_TOO_SMALL: return "The workspace is smaller than zeq_workspace_size.";
    case ZEQ_E_BAD_CALL:
      return "A null argument, rows beyond the image, finish before the last row, or a call "
             "after finish.";
    default: return "unknown status";
  }
}

}  // extern "C"
