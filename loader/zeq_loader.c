/* zeq_loader: the device-side ZEQ reader declared in zeq_loader.h.

   Plain C99 without heap, stdio or mutable global state, so that any
   firmware toolchain takes it and C++ programs link it as they are. zlib
   allocates only from the caller's workspace through a bump allocator.

   Every verdict matches zeq2png's reader, check for check. Two points need
   care because the loader keeps less in RAM than zeq2png does:
    - zeq_decode inflates in one call with Z_FINISH straight into the pixels,
      so zlib never needs its window. Only when the pixels are full and the
      stream is not at its end does the verdict depend on what the stream
      would do next; a second pass, shifted by one byte, finds that out with
      a 256-byte window (see judge_overflow).
    - A stream cannot tell how long the file is before reading it all, while
      zeq2png checks the file size before the stream. So a stream error is
      reported only after reading on to the end of the data: a file of the
      wrong size gets ZEQ_E_FILE_SIZE_MISMATCH first, as in zeq2png. */

#include "zeq_loader.h"

/* next_in as a pointer to const: zlib never writes through it. */
#define ZLIB_CONST
#include <zlib.h>

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>
#include <string.h>

/* A format fact as the text the header writes it with, for the messages. */
#define FACT_TEXT(fact) FACT_TEXT_OF(fact)
#define FACT_TEXT_OF(text) #text

enum {
  ZLIB_HEADER_SIZE = ZEQ_PROBE_SIZE - ZEQ_HEADER_SIZE,
  LARGEST_WINDOW_BITS = 15,
  /* The second pass of zeq_decode uses zlib's smallest window. */
  PROBE_WINDOW_BITS = 8,
  PROBE_WINDOW_BYTES = 1 << PROBE_WINDOW_BITS,
  /* A stream reads its source in pieces of at most this many bytes. */
  INPUT_BYTES = 1024,
  /* Room to discard data on the stack while reading on to the end of a file. */
  DRAIN_BYTES = 64
};

/* The strictest alignment of C99's types, which zlib's state may need:
   C99 has no max_align_t, so a structure measures it. */
union any_scalar {
  long long integer;
  long double real;
  void *pointer;
  void (*function)(void);
};
struct alignment_probe {
  char first;
  union any_scalar aligned;
};
#define ALIGNMENT offsetof(struct alignment_probe, aligned)

static uint32_t load32(const uint8_t *bytes) {
  return (uint32_t)bytes[0] | (uint32_t)bytes[1] << 8 | (uint32_t)bytes[2] << 16 |
         (uint32_t)bytes[3] << 24;
}

size_t zeq_bytes_per_pixel(uint32_t format) {
  switch (format) {
    case ZEQ_FORMAT_GREY8: return 1;
    case ZEQ_FORMAT_GREYA88: return 2;
    case ZEQ_FORMAT_RGB888: return 3;
    case ZEQ_FORMAT_RGBA8888: return 4;
    case ZEQ_FORMAT_RGB565: return 2;
    case ZEQ_FORMAT_RGBA5658: return 3;
    default: return 0;
  }
}

static size_t round_up(size_t bytes) { return (bytes + ALIGNMENT - 1) / ALIGNMENT * ALIGNMENT; }

/* True when zlib's message `message` is `expected` (no <string.h> compare
   is needed for two short literals). */
static bool same_text(const char *message, const char *expected) {
  if (message == NULL) return false;
  while (*message != '\0' && *message == *expected) ++message, ++expected;
  return *message == *expected;
}

/* --- the workspace allocator ------------------------------------------- */

/* Hands out aligned pieces of the caller's workspace front to back; frees
   nothing (each use lives as long as the workspace). `limit` may stop short
   of the workspace's end to refuse an allocation on purpose. */
typedef struct arena {
  uint8_t *next;
  uint8_t *limit;
} arena;

static void arena_init(arena *pool, void *workspace, size_t size) {
  uint8_t *start = workspace;
  const size_t misalignment = (uintptr_t)start % ALIGNMENT;
  const size_t padding = misalignment == 0 ? 0 : ALIGNMENT - misalignment;
  pool->limit = start + size;
  pool->next = start + (padding < size ? padding : size);
}

/* Returns `bytes` aligned bytes from the arena, or NULL when they do not fit. */
static void *arena_take(arena *pool, size_t bytes) {
  const size_t rounded = round_up(bytes);
  void *piece = pool->next;
  if (rounded < bytes || rounded > (size_t)(pool->limit - pool->next)) return NULL;
  pool->next += rounded;
  return piece;
}

static voidpf arena_alloc(voidpf opaque, uInt items, uInt size) {
  if (size != 0 && items > SIZE_MAX / size) return Z_NULL;
  return arena_take(opaque, (size_t)items * size);
}

static void arena_free(voidpf opaque, voidpf address) {
  (void)opaque;
  (void)address;
}

/* Records what zlib asks for and gives nothing. */
static voidpf record_request(voidpf opaque, uInt items, uInt size) {
  size_t *requested = opaque;
  *requested = (size_t)items * size;
  return Z_NULL;
}

/* The bytes of zlib's inflate state, learnt from zlib itself: a private
   structure whose size differs between zlib versions and word sizes. */
static size_t inflate_state_bytes(void) {
  size_t requested = 0;
  z_stream probe;
  memset(&probe, 0, sizeof probe);
  probe.zalloc = record_request;
  probe.zfree = arena_free;
  probe.opaque = &requested;
  (void)inflateInit(&probe); /* fails for want of memory, having asked for it */
  return requested;
}

/* Points zlib's allocator at `pool`. */
static void use_arena(z_stream *stream, arena *pool) {
  memset(stream, 0, sizeof *stream);
  stream->zalloc = arena_alloc;
  stream->zfree = arena_free;
  stream->opaque = pool;
}

/* --- header checks ------------------------------------------------------- */

/* Checks the 24 header bytes in zeq2png's order and fills `info` as far as
   the checks get. */
static zeq_status check_fields(const uint8_t *header, zeq_info *info) {
  if (load32(header) != ZEQ_MAGIC) return ZEQ_E_BAD_MAGIC;
  info->pixel_format = load32(header + 4);
  info->width = load32(header + 8);
  info->height = load32(header + 12);
  info->raw_length = load32(header + 16);
  info->compressed_length = load32(header + 20);
  info->bytes_per_pixel = (uint32_t)zeq_bytes_per_pixel(info->pixel_format);
  if (info->bytes_per_pixel == 0) return ZEQ_E_UNKNOWN_PIXEL_FORMAT;
  if (info->width == 0 || info->width > ZEQ_MAX_WIDTH) return ZEQ_E_WIDTH_OUT_OF_RANGE;
  if (info->height == 0 || info->height > ZEQ_MAX_HEIGHT) return ZEQ_E_HEIGHT_OUT_OF_RANGE;
  /* At most 1024 x 768 x 4: no overflow in 32 bits. */
  if (info->raw_length != info->width * info->height * info->bytes_per_pixel) {
    return ZEQ_E_RAW_LENGTH_MISMATCH;
  }
  return ZEQ_OK;
}

/* Reads the window size from a zlib header's two bytes, refusing a header
   that zlib's inflate would refuse (check bits, method, window over 32 KiB). */
static zeq_status read_window_bits(const uint8_t *zlib_header, uint32_t *window_bits) {
  const uint32_t method_and_window = zlib_header[0];
  if ((method_and_window * 256 + zlib_header[1]) % 31 != 0) return ZEQ_E_STREAM_CORRUPT;
  if ((method_and_window & 0x0F) != Z_DEFLATED) return ZEQ_E_STREAM_CORRUPT;
  if ((method_and_window >> 4) + 8 > LARGEST_WINDOW_BITS) return ZEQ_E_STREAM_CORRUPT;
  *window_bits = (method_and_window >> 4) + 8;
  return ZEQ_OK;
}

/* Tells zlib's data errors apart: a failed Adler-32, a distance beyond a
   stream's declared window (possible only once more than the window has come
   out), and anything else. */
static zeq_status classify_data_error(const z_stream *stream, uint32_t window_bits) {
  if (same_text(stream->msg, "incorrect data check")) return ZEQ_E_CHECKSUM_MISMATCH;
  if (window_bits < LARGEST_WINDOW_BITS && stream->total_out > (uLong)1 << window_bits &&
      same_text(stream->msg, "invalid distance too far back")) {
    return ZEQ_E_BEYOND_WINDOW;
  }
  return ZEQ_E_STREAM_CORRUPT;
}

/* --- whole-file decoding ------------------------------------------------- */

/* Called when the pixels are full but the stream is not at its end: decides
   what zeq2png would, namely whether the stream gives one more byte
   (too long), fails first (corrupt) or runs out of data (truncated). The
   stream is inflated again without its zlib header, its first byte into a
   spare byte and the rest into the pixels, so the pixels now have room for
   one byte past rawLength; a 256-byte window keeps that first byte. */
static zeq_status judge_overflow(const uint8_t *block, uint32_t block_length, uint8_t *pixels,
                                 uint32_t raw_length, arena *pool) {
  z_stream stream;
  uint8_t first = 0;
  bool overflowed = false;
  int result;
  use_arena(&stream, pool);
  if (inflateInit2(&stream, -PROBE_WINDOW_BITS) != Z_OK) return ZEQ_E_WORKSPACE_TOO_SMALL;
  /* The first pass produced output, so the block holds the zlib header. */
  stream.next_in = block + ZLIB_HEADER_SIZE;
  stream.avail_in = block_length - ZLIB_HEADER_SIZE;
  stream.next_out = &first;
  stream.avail_out = 1;
  result = inflate(&stream, Z_NO_FLUSH);
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

/* Inflates the zlib stream of `block_length` bytes into exactly `raw_length`
   bytes at `pixels`, with zlib's state in `pool`, and judges it. */
static zeq_status inflate_whole(const uint8_t *block, uint32_t block_length, uint8_t *pixels,
                                uint32_t raw_length, arena *pool) {
  const arena fresh = *pool;
  z_stream stream;
  zeq_status data_error;
  uInt out_left, in_left;
  int result;
  use_arena(&stream, pool);
  if (inflateInit(&stream) != Z_OK) return ZEQ_E_WORKSPACE_TOO_SMALL;
  /* No window: zlib asks for one only if this call ends before the stream. */
  pool->limit = pool->next;
  stream.next_in = block;
  stream.avail_in = block_length;
  stream.next_out = pixels;
  stream.avail_out = raw_length;
  result = inflate(&stream, Z_FINISH);
  data_error = classify_data_error(&stream, LARGEST_WINDOW_BITS);
  out_left = stream.avail_out;
  in_left = stream.avail_in;
  inflateEnd(&stream);
  switch (result) {
    case Z_STREAM_END:
      if (out_left != 0) return ZEQ_E_INFLATED_TOO_SHORT;
      return in_left != 0 ? ZEQ_E_TRAILING_BYTES : ZEQ_OK;
    case Z_DATA_ERROR:
      return data_error;
    case Z_NEED_DICT: /* ZEQ files carry no preset dictionary */
      return ZEQ_E_STREAM_CORRUPT;
    case Z_MEM_ERROR: /* stopped inside the deflate data, wanting a window */
      if (out_left != 0) return ZEQ_E_STREAM_TRUNCATED;
      *pool = fresh;
      return judge_overflow(block, block_length, pixels, raw_length, pool);
    default: /* Z_BUF_ERROR: out of data, perhaps inside the Adler-32 */
      return ZEQ_E_STREAM_TRUNCATED;
  }
}

/* --- reading through the callback ---------------------------------------- */

/* Reads until `length` bytes are in or the source ends; returns the count. */
static size_t read_fully(zeq_read_fn read, void *context, uint8_t *buffer, size_t length) {
  size_t got = 0;
  while (got < length) {
    const size_t piece = read(context, buffer + got, length - got);
    if (piece == 0 || piece > length - got) break;
    got += piece;
  }
  return got;
}

/* True when exactly `left` more bytes can be read and then the source ends. */
static bool ends_after(zeq_read_fn read, void *context, uint32_t left) {
  uint8_t discard[DRAIN_BYTES];
  while (left != 0) {
    const size_t piece = left < DRAIN_BYTES ? left : DRAIN_BYTES;
    if (read_fully(read, context, discard, piece) != piece) return false;
    left -= (uint32_t)piece;
  }
  return read_fully(read, context, discard, 1) == 0;
}

/* A stream error is reported only for a file of the right size, as zeq2png
   checks the size first. */
static zeq_status after_size_check(zeq_read_fn read, void *context, uint32_t left,
                                   zeq_status error) {
  return ends_after(read, context, left) ? error : ZEQ_E_FILE_SIZE_MISMATCH;
}

/* --- the stream ---------------------------------------------------------- */

struct zeq_stream {
  z_stream inflater;
  arena pool;
  zeq_read_fn read;
  void *context;
  zeq_info info;
  uint32_t row_bytes;
  uint32_t rows_left;
  uint32_t block_left; /* data bytes not yet read from the source */
  uint8_t *input;      /* INPUT_BYTES in the workspace, compressed files only */
  bool ended;          /* zlib has seen the stream's end */
  zeq_status pending;  /* an error met after the rows asked for were out */
  zeq_status failed;   /* once set, every call returns it */
};

static zeq_status fail(zeq_stream *stream, zeq_status status) {
  stream->failed = status;
  return status;
}

/* Fails a stream with an error of the zlib stream, unless the file's size is
   wrong, which zeq2png reports first. */
static zeq_status fail_stream(zeq_stream *stream, zeq_status error) {
  return fail(stream, after_size_check(stream->read, stream->context, stream->block_left, error));
}

/* Gives zlib the next piece of the block, as much as the input buffer takes:
   zlib's fast path needs a few bytes at hand, so a source that reads little
   at a time (a byte, say) would otherwise keep it on its slow path. Returns
   false when the source ends early, which makes the file shorter than its
   header says. */
static bool refill(zeq_stream *stream) {
  const size_t want = stream->block_left < INPUT_BYTES ? stream->block_left : INPUT_BYTES;
  const size_t got = read_fully(stream->read, stream->context, stream->input, want);
  if (got == 0) return false;
  stream->block_left -= (uint32_t)got;
  stream->inflater.next_in = stream->input;
  stream->inflater.avail_in = (uInt)got;
  return true;
}

/* How a run of inflating into the output room ended. */
typedef enum pump_outcome { PUMP_FILLED, PUMP_ENDED, PUMP_FAILED } pump_outcome;

/* Inflates into the `length` bytes at `out` until they are filled (an error
   met after that waits in `pending`), the stream ends, or it fails (the
   stream's `failed` then holds the status). */
static pump_outcome pump(zeq_stream *stream, uint8_t *out, uInt length) {
  z_stream *inflater = &stream->inflater;
  inflater->next_out = out;
  inflater->avail_out = length;
  for (;;) {
    int result;
    zeq_status error;
    if (inflater->avail_in == 0 && stream->block_left != 0 && !refill(stream)) {
      fail(stream, ZEQ_E_FILE_SIZE_MISMATCH);
      return PUMP_FAILED;
    }
    result = inflate(inflater, Z_NO_FLUSH);
    if (result == Z_STREAM_END) {
      stream->ended = true;
      return PUMP_ENDED;
    }
    if (result == Z_DATA_ERROR) {
      error = classify_data_error(inflater, stream->info.window_bits);
    } else if (result == Z_MEM_ERROR) {
      fail(stream, ZEQ_E_WORKSPACE_TOO_SMALL);
      return PUMP_FAILED;
    } else if (result != Z_NEED_DICT && inflater->avail_out == 0) {
      return PUMP_FILLED;
    } else if (result == Z_NEED_DICT || inflater->avail_in != 0) {
      /* A preset dictionary, which ZEQ files never use, or no progress with
         both input and room, which inflate never makes. */
      error = ZEQ_E_STREAM_CORRUPT;
    } else if (stream->block_left == 0) {
      error = ZEQ_E_STREAM_TRUNCATED;
    } else {
      continue; /* wants more of the block */
    }
    /* Output that came out whole is delivered; the error waits for the next call. */
    if (inflater->avail_out == 0) {
      stream->pending = error;
      return PUMP_FILLED;
    }
    fail_stream(stream, error);
    return PUMP_FAILED;
  }
}

/* Sets up inflating a compressed file in `stream`, whose first `have` bytes
   of block (the zlib header) are at `zlib_header`. */
static zeq_status start_inflating(zeq_stream *stream, const uint8_t *zlib_header, size_t have) {
  z_stream *inflater = &stream->inflater;
  stream->input = arena_take(&stream->pool, INPUT_BYTES);
  use_arena(inflater, &stream->pool);
  if (stream->input == NULL || inflateInit2(inflater, (int)stream->info.window_bits) != Z_OK) {
    return ZEQ_E_WORKSPACE_TOO_SMALL;
  }
  memcpy(stream->input, zlib_header, have);
  inflater->next_in = stream->input;
  inflater->avail_in = (uInt)have;
  return ZEQ_OK;
}

/* --- the interface ------------------------------------------------------- */

zeq_status zeq_parse_header(const uint8_t *bytes, size_t size, zeq_info *info) {
  zeq_status fields;
  if (info == NULL || (bytes == NULL && size != 0)) return ZEQ_E_BAD_CALL;
  memset(info, 0, sizeof *info);
  if (size == 0) return ZEQ_E_FILE_EMPTY;
  if (size < ZEQ_HEADER_SIZE) return ZEQ_E_HEADER_TRUNCATED;
  fields = check_fields(bytes, info);
  if (fields != ZEQ_OK || info->compressed_length == 0) return fields;
  if (info->compressed_length < ZLIB_HEADER_SIZE) return ZEQ_E_STREAM_TRUNCATED;
  if (size < ZEQ_PROBE_SIZE) return ZEQ_E_HEADER_TRUNCATED;
  return read_window_bits(bytes + ZEQ_HEADER_SIZE, &info->window_bits);
}

size_t zeq_workspace_size(const zeq_info *info, int streaming) {
  const size_t slack = ALIGNMENT - 1; /* for a workspace at any address */
  bool compressed;
  size_t bytes;
  uint32_t bits;
  if (info == NULL) return 0;
  compressed = info->compressed_length != 0;
  if (!streaming) {
    return compressed ? slack + round_up(inflate_state_bytes()) + round_up(PROBE_WINDOW_BYTES) : 0;
  }
  bytes = slack + round_up(sizeof(zeq_stream));
  if (compressed) {
    bits = info->window_bits >= 8 && info->window_bits <= LARGEST_WINDOW_BITS
               ? info->window_bits
               : LARGEST_WINDOW_BITS;
    bytes += round_up(INPUT_BYTES) + round_up(inflate_state_bytes()) + round_up((size_t)1 << bits);
  }
  return bytes;
}

zeq_status zeq_decode(const uint8_t *file, size_t size, uint8_t *pixels, size_t pixels_size,
                      void *workspace, size_t workspace_size) {
  zeq_info info;
  zeq_status fields;
  uint32_t data_length;
  arena pool;
  if (file == NULL && size != 0) return ZEQ_E_BAD_CALL;
  if (size == 0) return ZEQ_E_FILE_EMPTY;
  if (size < ZEQ_HEADER_SIZE) return ZEQ_E_HEADER_TRUNCATED;
  memset(&info, 0, sizeof info);
  fields = check_fields(file, &info);
  if (fields != ZEQ_OK) return fields;
  data_length = info.compressed_length != 0 ? info.compressed_length : info.raw_length;
  if ((uint64_t)size != ZEQ_HEADER_SIZE + (uint64_t)data_length) return ZEQ_E_FILE_SIZE_MISMATCH;
  if (pixels == NULL || pixels_size < info.raw_length) return ZEQ_E_PIXELS_TOO_SMALL;
  if (info.compressed_length == 0) {
    memcpy(pixels, file + ZEQ_HEADER_SIZE, info.raw_length);
    return ZEQ_OK;
  }
  if (workspace == NULL || workspace_size < zeq_workspace_size(&info, 0)) {
    return ZEQ_E_WORKSPACE_TOO_SMALL;
  }
  arena_init(&pool, workspace, workspace_size);
  return inflate_whole(file + ZEQ_HEADER_SIZE, info.compressed_length, pixels, info.raw_length,
                       &pool);
}

/* Reads a compressed file's zlib header through `read` into `zlib_header`
   and takes its window size into `info`. `block_left` is the data not yet
   read, `have` the zlib header bytes read. */
static zeq_status open_zlib_header(zeq_read_fn read, void *context, uint8_t *zlib_header,
                                   zeq_info *info, uint32_t *block_left, size_t *have) {
  zeq_status window;
  *have = *block_left < ZLIB_HEADER_SIZE ? *block_left : ZLIB_HEADER_SIZE;
  if (read_fully(read, context, zlib_header, *have) != *have) return ZEQ_E_FILE_SIZE_MISMATCH;
  *block_left -= (uint32_t)*have;
  if (*have < ZLIB_HEADER_SIZE) {
    return after_size_check(read, context, *block_left, ZEQ_E_STREAM_TRUNCATED);
  }
  window = read_window_bits(zlib_header, &info->window_bits);
  return window != ZEQ_OK ? after_size_check(read, context, *block_left, window) : ZEQ_OK;
}

zeq_status zeq_stream_open(zeq_stream **stream, zeq_read_fn read, void *context,
                           void *workspace, size_t workspace_size, zeq_info *info) {
  uint8_t header[ZEQ_PROBE_SIZE];
  size_t got, have = 0; /* have: bytes of the zlib header read */
  zeq_status status;
  uint32_t block_left;
  arena pool;
  zeq_stream *opened;
  if (stream == NULL || read == NULL || info == NULL) return ZEQ_E_BAD_CALL;
  *stream = NULL;
  memset(info, 0, sizeof *info);
  got = read_fully(read, context, header, ZEQ_HEADER_SIZE);
  if (got == 0) return ZEQ_E_FILE_EMPTY;
  if (got < ZEQ_HEADER_SIZE) return ZEQ_E_HEADER_TRUNCATED;
  status = check_fields(header, info);
  if (status != ZEQ_OK) return status;

  block_left = info->compressed_length != 0 ? info->compressed_length : info->raw_length;
  if (info->compressed_length != 0) {
    status = open_zlib_header(read, context, header + ZEQ_HEADER_SIZE, info, &block_left, &have);
    if (status != ZEQ_OK) return status;
  }
  if (workspace == NULL || workspace_size < zeq_workspace_size(info, 1)) {
    return ZEQ_E_WORKSPACE_TOO_SMALL;
  }

  arena_init(&pool, workspace, workspace_size);
  opened = arena_take(&pool, sizeof(zeq_stream));
  if (opened == NULL) return ZEQ_E_WORKSPACE_TOO_SMALL;
  memset(opened, 0, sizeof *opened);
  opened->pool = pool;
  opened->read = read;
  opened->context = context;
  opened->info = *info;
  opened->row_bytes = info->width * info->bytes_per_pixel;
  opened->rows_left = info->height;
  opened->block_left = block_left;
  if (info->compressed_length != 0) {
    status = start_inflating(opened, header + ZEQ_HEADER_SIZE, have);
    if (status != ZEQ_OK) return status;
  }
  *stream = opened;
  return ZEQ_OK;
}

zeq_status zeq_stream_rows(zeq_stream *stream, uint8_t *rows, uint32_t row_count) {
  uint32_t length;
  if (stream == NULL) return ZEQ_E_BAD_CALL;
  if (stream->failed != ZEQ_OK) return stream->failed;
  if (row_count > stream->rows_left || (rows == NULL && row_count != 0)) return ZEQ_E_BAD_CALL;
  if (row_count == 0) return ZEQ_OK;
  length = row_count * stream->row_bytes;
  if (stream->info.compressed_length == 0) {
    if (read_fully(stream->read, stream->context, rows, length) != length) {
      return fail(stream, ZEQ_E_FILE_SIZE_MISMATCH);
    }
    stream->block_left -= length;
  } else {
    if (stream->pending != ZEQ_OK) return fail_stream(stream, stream->pending);
    if (stream->ended) return fail_stream(stream, ZEQ_E_INFLATED_TOO_SHORT);
    if (pump(stream, rows, length) == PUMP_FAILED) return stream->failed;
    if (stream->inflater.avail_out != 0) return fail_stream(stream, ZEQ_E_INFLATED_TOO_SHORT);
  }
  stream->rows_left -= row_count;
  return ZEQ_OK;
}

zeq_status zeq_stream_finish(zeq_stream *stream) {
  uint32_t left;
  zeq_status end;
  if (stream == NULL) return ZEQ_E_BAD_CALL;
  if (stream->failed != ZEQ_OK) return stream->failed;
  if (stream->rows_left != 0) return ZEQ_E_BAD_CALL;
  if (stream->info.compressed_length != 0) {
    if (stream->pending != ZEQ_OK) return fail_stream(stream, stream->pending);
    if (!stream->ended) {
      /* One spare byte tells a stream that has more to give from one that
         only has its end still to read. */
      uint8_t spare = 0;
      if (pump(stream, &spare, 1) == PUMP_FAILED) return stream->failed;
      if (stream->inflater.avail_out == 0) return fail_stream(stream, ZEQ_E_INFLATED_TOO_LONG);
    }
    if (stream->inflater.avail_in != 0 || stream->block_left != 0) {
      return fail_stream(stream, ZEQ_E_TRAILING_BYTES);
    }
  }
  left = stream->block_left;
  stream->block_left = 0;
  end = after_size_check(stream->read, stream->context, left, ZEQ_OK);
  stream->failed = end != ZEQ_OK ? end : ZEQ_E_BAD_CALL; /* a finished stream takes no more calls */
  return end;
}

const char *zeq_status_text(zeq_status status) {
  switch (status) {
    case ZEQ_OK: return "The ZEQ file is valid.";
    case ZEQ_E_FILE_EMPTY: return "The file is empty.";
    case ZEQ_E_HEADER_TRUNCATED: return "The file ends inside its header.";
    case ZEQ_E_BAD_MAGIC: return "The file does not start with the ZEQ magic 5E 0B 5E 0B.";
    case ZEQ_E_UNKNOWN_PIXEL_FORMAT: return "The pixel format code is not a ZEQ format.";
    case ZEQ_E_WIDTH_OUT_OF_RANGE:
      return "The width is not within 1 to " FACT_TEXT(ZEQ_MAX_WIDTH) ".";
    case ZEQ_E_HEIGHT_OUT_OF_RANGE:
      return "The height is not within 1 to " FACT_TEXT(ZEQ_MAX_HEIGHT) ".";
    case ZEQ_E_RAW_LENGTH_MISMATCH: return "rawLength is not width x height x bytes per pixel.";
    case ZEQ_E_FILE_SIZE_MISMATCH:
      return "The file size is not " FACT_TEXT(ZEQ_HEADER_SIZE) " + the data length.";
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
