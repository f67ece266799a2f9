/* SPDX-License-Identifier: MIT */
/* zeq_loader: the device-side ZEQ reader declared in zeq_loader.h: the
   header checks, the whole decode and the stream. The panel layouts are in
   zeq_panel.c; the inflater sits behind a small binding (zeq_internal.h),
   in zeq_inflate.c, or in zeq_loader_zlib.c when built with ZEQ_USE_ZLIB.

   Plain C99 without heap, stdio or mutable global state, so that any
   firmware toolchain takes it and C++ programs link it as they are. The
   inflater takes its state (and a stream's window) only from the caller's
   workspace, through a bump allocator.

   Every verdict matches zeq2png's reader, check for check, with either
   inflater. A stream cannot tell how long the file is before reading it
   all, while zeq2png checks the file size before the stream. So a stream
   error is reported only after reading on to the end of the data: a file
   of the wrong size gets ZEQ_E_FILE_SIZE_MISMATCH first, as in zeq2png.
   The loader checks the Adler-32 itself, so that both inflaters give one
   verdict. */

#include "zeq_internal.h"

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>
#include <string.h>

enum {
  /* A stream reads its source in pieces of at most ZEQ_INPUT_BYTES -
     KEPT_BYTES bytes, keeping the last KEPT_BYTES of the piece before, so
     that the Adler-32 that ends the stream is always at hand. */
  KEPT_BYTES = 4,
  /* Room to discard data on the stack while reading on to the end of a file. */
  DRAIN_BYTES = 64
};

static uint32_t load32(const uint8_t *bytes) {
  return (uint32_t)bytes[0] | (uint32_t)bytes[1] << 8 | (uint32_t)bytes[2] << 16 |
         (uint32_t)bytes[3] << 24;
}

size_t zeq_bytes_per_pixel(uint32_t format) {
#define ZEQ_BYTES_CASE(name, grey, red, green, blue, alpha) \
  case ZEQ_FORMAT_##name: return ZEQ_BYTES_PER_PIXEL_OF(grey, red, green, blue, alpha);
  switch (format) {
    ZEQ_PIXEL_FORMATS(ZEQ_BYTES_CASE)
    default: return 0;
  }
#undef ZEQ_BYTES_CASE
}

static uint32_t load32_big_endian(const uint8_t *bytes) {
  return (uint32_t)bytes[0] << 24 | (uint32_t)bytes[1] << 16 | (uint32_t)bytes[2] << 8 |
         (uint32_t)bytes[3];
}

uint32_t zeq_load32_big_endian(const uint8_t *bytes) { return load32_big_endian(bytes); }

size_t zeq_round_up(size_t bytes) {
  return (bytes + ZEQ_ALIGNMENT - 1) / ZEQ_ALIGNMENT * ZEQ_ALIGNMENT;
}

/* --- the workspace allocator ------------------------------------------- */

void zeq_arena_init(zeq_arena *pool, void *workspace, size_t size) {
  uint8_t *start = workspace;
  const size_t misalignment = (uintptr_t)start % ZEQ_ALIGNMENT;
  const size_t padding = misalignment == 0 ? 0 : ZEQ_ALIGNMENT - misalignment;
  pool->limit = start + size;
  pool->next = start + (padding < size ? padding : size);
}

void *zeq_arena_take(zeq_arena *pool, size_t bytes) {
  const size_t rounded = zeq_round_up(bytes);
  void *piece = pool->next;
  if (rounded < bytes || rounded > (size_t)(pool->limit - pool->next)) return NULL;
  pool->next += rounded;
  return piece;
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
  if ((method_and_window & 0x0F) != 8 /* deflate */) return ZEQ_E_STREAM_CORRUPT;
  if ((method_and_window >> 4) + 8 > ZEQ_LARGEST_WINDOW_BITS) return ZEQ_E_STREAM_CORRUPT;
  *window_bits = (method_and_window >> 4) + 8;
  return ZEQ_OK;
}
/* Tells an inflater's data errors apart: a distance beyond a stream's
   declared window (possible only once more than the window has come out),
   and anything else. */
static zeq_status classify_data_error(zeq_run run, uint32_t total_out, uint32_t window_bits) {
  if (run == ZEQ_RUN_TOO_FAR && window_bits < ZEQ_LARGEST_WINDOW_BITS &&
      total_out > (uint32_t)1 << window_bits) {
    return ZEQ_E_BEYOND_WINDOW;
  }
  return ZEQ_E_STREAM_CORRUPT;
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
    const size_t piece = left < DRAIN_BYTES ? (size_t)left : DRAIN_BYTES;
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

static zeq_status fail(zeq_stream *stream, zeq_status status) {
  stream->failed = status;
  return status;
}

/* Fails a stream with an error of the zlib stream, unless the file's size is
   wrong, which zeq2png reports first. */
static zeq_status fail_stream(zeq_stream *stream, zeq_status error) {
  return fail(stream, after_size_check(stream->read, stream->context, stream->block_left, error));
}

/* Gives the inflater the next piece of the block, as much as the input
   buffer takes: zlib's fast path needs a few bytes at hand, so a source
   that reads little at a time (a byte, say) would otherwise keep it on its
   slow path. Returns false when the source ends early, which makes the
   file shorter than its header says. */
static bool refill(zeq_stream *stream) {
  enum { PIECE = ZEQ_INPUT_BYTES - KEPT_BYTES };
  const size_t want = stream->block_left < PIECE ? (size_t)stream->block_left : PIECE;
  uint8_t *const piece = stream->input + KEPT_BYTES;
  const uint8_t *const kept = stream->flow.next_in - KEPT_BYTES;
  size_t got, at;
  /* The last bytes read stay in front of the new ones (an Adler-32 may
     straddle the two). Input always starts at `piece`, so they are there;
     copied a byte at a time, front to back, as the two may overlap. */
  for (at = 0; at < KEPT_BYTES; ++at) stream->input[at] = kept[at];
  got = read_fully(stream->read, stream->context, piece, want);
  if (got == 0) return false;
  stream->block_left -= (uint32_t)got;
  stream->flow.next_in = piece;
  stream->flow.avail_in = (uint32_t)got;
  return true;
}

/* Called at the stream's end, with the Adler-32 just read: true when it is
   that of the bytes inflated. */
static bool checksum_matches(const zeq_stream *stream) {
  return stream->adler == load32_big_endian(stream->flow.next_in - 4);
}

/* How a run of inflating into the output room ended. */
typedef enum pump_outcome { PUMP_FILLED, PUMP_ENDED, PUMP_FAILED } pump_outcome;

/* Inflates into the `length` bytes at `out` until they are filled (an error
   met after that waits in `pending`), the stream ends, or it fails (the
   stream's `failed` then holds the status). On return the flow's avail_out
   is 0 only when all is filled. */
static pump_outcome pump(zeq_stream *stream, uint8_t *out, uint32_t length) {
  zeq_flow *const flow = &stream->flow;
  flow->next_out = out;
  flow->avail_out = length;
  for (;;) {
    zeq_run run;
    zeq_status error;
    const uint8_t *const start = flow->next_out;
    if (flow->avail_in == 0 && stream->block_left != 0 && !refill(stream)) {
      fail(stream, ZEQ_E_FILE_SIZE_MISMATCH);
      return PUMP_FAILED;
    }
    run = zeq_engine_run(stream->engine, flow);
    stream->adler = zeq_engine_adler32(stream->adler, start, (uint32_t)(flow->next_out - start));
    if (run == ZEQ_RUN_ENDED && checksum_matches(stream)) {
      stream->ended = true;
      return PUMP_ENDED;
    }
    if (run == ZEQ_RUN_ENDED) {
      error = ZEQ_E_CHECKSUM_MISMATCH;
    } else if (run == ZEQ_RUN_CORRUPT || run == ZEQ_RUN_TOO_FAR) {
      error = classify_data_error(run, flow->total_out, stream->info.window_bits);
    } else if (run == ZEQ_RUN_NO_MEMORY) {
      fail(stream, ZEQ_E_WORKSPACE_TOO_SMALL);
      return PUMP_FAILED;
    } else if (flow->avail_out == 0) {
      return PUMP_FILLED;
    } else if (flow->avail_in != 0) {
      error = ZEQ_E_STREAM_CORRUPT; /* no progress with both input and room: never happens */
    } else if (stream->block_left == 0) {
      error = ZEQ_E_STREAM_TRUNCATED;
    } else {
      continue; /* wants more of the block */
    }
    /* Output that came out whole is delivered; the error waits for the next call. */
    if (flow->avail_out == 0) {
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
  stream->input = zeq_arena_take(&stream->pool, ZEQ_INPUT_BYTES);
  if (stream->input == NULL) return ZEQ_E_WORKSPACE_TOO_SMALL;
  stream->engine = zeq_engine_open(&stream->pool, stream->info.window_bits);
  if (stream->engine == NULL) return ZEQ_E_WORKSPACE_TOO_SMALL;
  stream->adler = 1; /* the Adler-32 of nothing */
  memcpy(stream->input + KEPT_BYTES, zlib_header, have);
  stream->flow.next_in = stream->input + KEPT_BYTES;
  stream->flow.avail_in = (uint32_t)have;
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
  if (info->compressed_length < ZEQ_ZLIB_HEADER_SIZE) return ZEQ_E_STREAM_TRUNCATED;
  if (size < ZEQ_PROBE_SIZE) return ZEQ_E_HEADER_TRUNCATED;
  return read_window_bits(bytes + ZEQ_HEADER_SIZE, &info->window_bits);
}

size_t zeq_workspace_size(const zeq_info *info, int streaming) {
  const size_t slack = ZEQ_ALIGNMENT - 1; /* for a workspace at any address */
  bool compressed;
  size_t bytes;
  uint32_t bits;
  if (info == NULL) return 0;
  compressed = info->compressed_length != 0;
  if (!streaming) return compressed ? slack + zeq_engine_decode_bytes(info) : 0;
  bytes = slack + zeq_round_up(sizeof(zeq_stream));
  if (compressed) {
    bits = info->window_bits >= 8 && info->window_bits <= ZEQ_LARGEST_WINDOW_BITS
               ? info->window_bits
               : ZEQ_LARGEST_WINDOW_BITS;
    bytes += zeq_round_up(ZEQ_INPUT_BYTES) + zeq_engine_stream_bytes(bits);
  }
  return bytes;
}

zeq_status zeq_check_file(const uint8_t *file, size_t size, zeq_info *info) {
  zeq_status fields;
  uint32_t data_length;
  if (file == NULL && size != 0) return ZEQ_E_BAD_CALL;
  if (size == 0) return ZEQ_E_FILE_EMPTY;
  if (size < ZEQ_HEADER_SIZE) return ZEQ_E_HEADER_TRUNCATED;
  memset(info, 0, sizeof *info);
  fields = check_fields(file, info);
  if (fields != ZEQ_OK) return fields;
  data_length = info->compressed_length != 0 ? info->compressed_length : info->raw_length;
  if ((uint64_t)size != ZEQ_HEADER_SIZE + (uint64_t)data_length) return ZEQ_E_FILE_SIZE_MISMATCH;
  if (info->compressed_length >= ZEQ_ZLIB_HEADER_SIZE) {
    (void)read_window_bits(file + ZEQ_HEADER_SIZE, &info->window_bits); /* else sized for 15 */
  }
  return ZEQ_OK;
}

zeq_status zeq_decode_checked(const uint8_t *file, const zeq_info *info, uint8_t *pixels,
                              void *workspace, size_t workspace_size) {
  zeq_arena pool;
  if (info->compressed_length == 0) {
    memcpy(pixels, file + ZEQ_HEADER_SIZE, (size_t)info->raw_length); /* <= the buffer's size */
    return ZEQ_OK;
  }
  if (workspace == NULL || workspace_size < zeq_workspace_size(info, 0)) {
    return ZEQ_E_WORKSPACE_TOO_SMALL;
  }
  zeq_arena_init(&pool, workspace, workspace_size);
  return zeq_engine_decode(file + ZEQ_HEADER_SIZE, info->compressed_length, pixels,
                           info->raw_length, &pool);
}

zeq_status zeq_decode(const uint8_t *file, size_t size, uint8_t *pixels, size_t pixels_size,
                      void *workspace, size_t workspace_size) {
  zeq_info info;
  const zeq_status checked = zeq_check_file(file, size, &info);
  if (checked != ZEQ_OK) return checked;
  if (pixels == NULL || pixels_size < info.raw_length) return ZEQ_E_PIXELS_TOO_SMALL;
  return zeq_decode_checked(file, &info, pixels, workspace, workspace_size);
}

/* Reads a compressed file's zlib header through `read` into `zlib_header`
   and takes its window size into `info`. `block_left` is the data not yet
   read, `have` the zlib header bytes read. */
static zeq_status open_zlib_header(zeq_read_fn read, void *context, uint8_t *zlib_header,
                                   zeq_info *info, uint32_t *block_left, size_t *have) {
  zeq_status window;
  *have = *block_left < ZEQ_ZLIB_HEADER_SIZE ? (size_t)*block_left : ZEQ_ZLIB_HEADER_SIZE;
  if (read_fully(read, context, zlib_header, *have) != *have) return ZEQ_E_FILE_SIZE_MISMATCH;
  *block_left -= (uint32_t)*have;
  if (*have < ZEQ_ZLIB_HEADER_SIZE) {
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
  zeq_arena pool;
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

  zeq_arena_init(&pool, workspace, workspace_size);
  opened = zeq_arena_take(&pool, sizeof(zeq_stream));
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
zeq_status zeq_stream_pixels(zeq_stream *stream, uint8_t *out, uint32_t length) {
#if SIZE_MAX < UINT32_MAX
  if (length > SIZE_MAX) return ZEQ_E_BAD_CALL; /* more than any buffer here can hold */
#endif
  if (stream->info.compressed_length == 0) {
    if (read_fully(stream->read, stream->context, out, (size_t)length) != length) {
      return fail(stream, ZEQ_E_FILE_SIZE_MISMATCH);
    }
    stream->block_left -= length;
    return ZEQ_OK;
  }
  if (stream->pending != ZEQ_OK) return fail_stream(stream, stream->pending);
  if (stream->ended) return fail_stream(stream, ZEQ_E_INFLATED_TOO_SHORT);
  if (pump(stream, out, length) == PUMP_FAILED) return stream->failed;
  if (stream->flow.avail_out != 0) return fail_stream(stream, ZEQ_E_INFLATED_TOO_SHORT);
  return ZEQ_OK;
}

uint8_t *zeq_stream_take_row(zeq_stream *stream) {
  zeq_arena room = stream->pool;
  const size_t reserved = stream->engine != NULL ? zeq_engine_reserved(stream->engine, &room) : 0;
  /* From the workspace's end, clear of what the inflater will still take. */
  const size_t bytes = zeq_round_up((size_t)stream->row_bytes);
  if (reserved > (size_t)(room.limit - room.next) ||
      bytes > (size_t)(room.limit - room.next) - reserved) {
    return NULL;
  }
  stream->pool.limit -= bytes;
  return stream->pool.limit;
}

zeq_status zeq_stream_rows(zeq_stream *stream, uint8_t *rows, uint32_t row_count) {
  zeq_status status;
  if (stream == NULL) return ZEQ_E_BAD_CALL;
  if (stream->failed != ZEQ_OK) return stream->failed;
  if (row_count > stream->rows_left || (rows == NULL && row_count != 0)) return ZEQ_E_BAD_CALL;
  if (row_count == 0) return ZEQ_OK;
  status = zeq_stream_pixels(stream, rows, row_count * stream->row_bytes);
  if (status == ZEQ_OK) stream->rows_left -= row_count;
  return status;
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
      if (stream->flow.avail_out == 0) return fail_stream(stream, ZEQ_E_INFLATED_TOO_LONG);
    }
    if (stream->flow.avail_in != 0 || stream->block_left != 0) {
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
#ifdef ZEQ_NO_STATUS_TEXT
  (void)status;
  return "";
#else
#define ZEQ_TEXT_CASE(status, sentence) \
  case status: return sentence;
  switch (status) {
    ZEQ_STATUSES(ZEQ_TEXT_CASE)
    default: return "unknown status";
  }
#undef ZEQ_TEXT_CASE
#endif
}
