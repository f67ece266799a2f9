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
      wrong size gets ZEQ_E_FILE_SIZE_MISMATCH first, as in zeq2png.
   zlib counts in uInt, only 16 bits where int is: lengths reach it and the
   read callback in pieces that fit (see piece_of). zlib checks no Adler-32
   here (inflateValidate): the loader compares it itself, so the verdict does
   not hang on zlib's message texts. */

#include "zeq_loader.h"

/* next_in as a pointer to const: zlib never writes through it. */
#define ZLIB_CONST
#include <zlib.h>

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>
#include <string.h>

enum {
  ZLIB_HEADER_SIZE = ZEQ_PROBE_SIZE - ZEQ_HEADER_SIZE,
  LARGEST_WINDOW_BITS = 15,
  /* The second pass of zeq_decode uses zlib's smallest window. */
  PROBE_WINDOW_BITS = 8,
  PROBE_WINDOW_BYTES = 1 << PROBE_WINDOW_BITS,
  /* A stream's input buffer: it reads its source in pieces of at most
     INPUT_BYTES - KEPT_BYTES bytes, keeping the last KEPT_BYTES of the piece
     before, so that the Adler-32 that ends the stream is always at hand.
     512 bytes keep zlib on its fast path for all but a percent or two of
     the instructions and let a window-12 stream fit in 12 KiB. */
  INPUT_BYTES = 512,
  KEPT_BYTES = 4,
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

static size_t round_up(size_t bytes) { return (bytes + ALIGNMENT - 1) / ALIGNMENT * ALIGNMENT; }

/* The largest count zlib takes at once (its uInt may be 16 bits). */
#define UINT_PIECE ((uInt)-1)

/* Takes from `*rest` the largest piece zlib can be handed at once and
   returns it; 0 when nothing is left. */
static uInt piece_of(uint32_t *rest) {
  const uInt piece = *rest > UINT_PIECE ? UINT_PIECE : (uInt)*rest;
  *rest -= piece;
  return piece;
}

/* True when zlib cannot take `length` in one count, so that a whole decode
   must inflate in pieces and keep a window between them. */
static bool needs_pieces(uint32_t length) { return length > UINT_PIECE; }

/* Returns `adler` continued over the `length` bytes at `bytes`. */
static uLong adler_of(uLong adler, const uint8_t *bytes, uint32_t length) {
  while (length != 0) {
    const uInt piece = piece_of(&length);
    adler = adler32(adler, bytes, piece);
    bytes += piece;
  }
  return adler;
}

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

/* Tells zlib's data errors apart: a distance beyond a stream's declared
   window (possible only once more than the window has come out), and
   anything else. zlib offers no call that tells a distance too far back from
   other damage, so its text "invalid distance too far back" is compared: an
   inflater with other texts reports such a stream as ZEQ_E_STREAM_CORRUPT
   instead, refusing it all the same. */
static zeq_status classify_data_error(const z_stream *stream, uint32_t window_bits) {
  if (window_bits < LARGEST_WINDOW_BITS && stream->total_out > (uLong)1 << window_bits &&
      same_text(stream->msg, "invalid distance too far back")) {
    return ZEQ_E_BEYOND_WINDOW;
  }
  return ZEQ_E_STREAM_CORRUPT;
}

/* --- whole-file decoding ------------------------------------------------- */

/* Runs inflate with `flush` on the `in_length` bytes at stream->next_in
   into the `out_length` bytes at `out`, handing zlib pieces that fit its
   uInt and going on while a piece is used up and more is left. Returns
   inflate's last result and what was left unread and unfilled. With one
   piece each (always, where int has 32 bits) that is a single call. */
static int inflate_in_pieces(z_stream *stream, uint32_t in_length, uint8_t *out,
                             uint32_t out_length, int flush, uint32_t *in_left,
                             uint32_t *out_left) {
  int result;
  stream->avail_in = piece_of(&in_length);
  stream->next_out = out;
  stream->avail_out = piece_of(&out_length);
  for (;;) {
    result = inflate(stream, flush);
    if (result != Z_OK && result != Z_BUF_ERROR) break;
    if (stream->avail_in == 0 && in_length != 0) {
      stream->avail_in = piece_of(&in_length);
    } else if (stream->avail_out == 0 && out_length != 0) {
      stream->avail_out = piece_of(&out_length);
    } else {
      break;
    }
  }
  *in_left = stream->avail_in + in_length;
  *out_left = stream->avail_out + out_length;
  return result;
}

/* Called when the pixels are full but the stream is not at its end: decides
   what zeq2png would, namely whether the stream gives one more byte
   (too long), fails first (corrupt) or runs out of data (truncated). The
   stream is inflated again without its zlib header, its first byte into a
   spare byte and the rest into the pixels, so the pixels now have room for
   one byte past rawLength; a 256-byte window keeps that first byte (a
   decode in pieces has the whole window). */
static zeq_status judge_overflow(const uint8_t *block, uint32_t block_length, uint8_t *pixels,
                                 uint32_t raw_length, arena *pool) {
  z_stream stream;
  uint8_t first = 0;
  bool overflowed = false;
  uint32_t in_left, out_left;
  int result;
  const bool pieces = needs_pieces(block_length) || needs_pieces(raw_length);
  use_arena(&stream, pool);
  if (inflateInit2(&stream, pieces ? -LARGEST_WINDOW_BITS : -PROBE_WINDOW_BITS) != Z_OK) {
    return ZEQ_E_WORKSPACE_TOO_SMALL;
  }
  /* The first pass produced output, so the block holds the zlib header. */
  stream.next_in = block + ZLIB_HEADER_SIZE;
  result = inflate_in_pieces(&stream, block_length - ZLIB_HEADER_SIZE, &first, 1, Z_NO_FLUSH,
                             &in_left, &out_left);
  if (result == Z_OK && out_left == 0) {
    result = inflate_in_pieces(&stream, in_left, pixels, raw_length, Z_NO_FLUSH, &in_left,
                               &out_left);
    overflowed = out_left == 0;
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
  const bool pieces = needs_pieces(block_length) || needs_pieces(raw_length);
  z_stream stream;
  zeq_status data_error;
  uint32_t out_left, in_left;
  bool checksum_matches = false;
  int result;
  use_arena(&stream, pool);
  if (inflateInit(&stream) != Z_OK || inflateValidate(&stream, 0) != Z_OK) {
    return ZEQ_E_WORKSPACE_TOO_SMALL;
  }
  /* No window: zlib asks for one only if a call ends before the stream,
     which only a decode in pieces must allow. */
  if (!pieces) pool->limit = pool->next;
  stream.next_in = block;
  result = inflate_in_pieces(&stream, block_length, pixels, raw_length, Z_FINISH, &in_left,
                             &out_left);
  data_error = classify_data_error(&stream, LARGEST_WINDOW_BITS);
  if (result == Z_STREAM_END) {
    /* The stream's last 4 bytes, just read, are its Adler-32. */
    checksum_matches = adler_of(adler32(0L, Z_NULL, 0), pixels, raw_length - out_left) ==
                       load32_big_endian(stream.next_in - 4);
  }
  inflateEnd(&stream);
  if (pieces && result == Z_BUF_ERROR && out_left == 0) result = Z_MEM_ERROR;
  switch (result) {
    case Z_STREAM_END:
      if (!checksum_matches) return ZEQ_E_CHECKSUM_MISMATCH;
      if (out_left != 0) return ZEQ_E_INFLATED_TOO_SHORT;
      return in_left != 0 ? ZEQ_E_TRAILING_BYTES : ZEQ_OK;
    case Z_DATA_ERROR:
      return data_error;
    case Z_NEED_DICT: /* ZEQ files carry no preset dictionary */
      return ZEQ_E_STREAM_CORRUPT;
    case Z_MEM_ERROR: /* stopped inside the deflate data, wanting a window (or full, in pieces) */
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
  uLong adler;         /* the Adler-32 of the bytes inflated so far */
  bool ended;          /* zlib has seen the stream's end */
  zeq_status pending;  /* an error met after the rows asked for were out */
  zeq_status failed;   /* once set, every call returns it */
  uint8_t *staged_row; /* a row of the file's pixels, for blending onto the destination */
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
  enum { PIECE = INPUT_BYTES - KEPT_BYTES };
  const size_t want = stream->block_left < PIECE ? (size_t)stream->block_left : PIECE;
  uint8_t *const piece = stream->input + KEPT_BYTES;
  const uint8_t *const kept = stream->inflater.next_in - KEPT_BYTES;
  size_t got, at;
  /* The last bytes read stay in front of the new ones (an Adler-32 may
     straddle the two). Input always starts at `piece`, so they are there;
     copied a byte at a time, front to back, as the two may overlap. */
  for (at = 0; at < KEPT_BYTES; ++at) stream->input[at] = kept[at];
  got = read_fully(stream->read, stream->context, piece, want);
  if (got == 0) return false;
  stream->block_left -= (uint32_t)got;
  stream->inflater.next_in = piece;
  stream->inflater.avail_in = (uInt)got;
  return true;
}

/* Called at the stream's end, with the Adler-32 just read: true when it is
   that of the bytes inflated. */
static bool checksum_matches(const zeq_stream *stream) {
  return stream->adler == load32_big_endian(stream->inflater.next_in - 4);
}

/* How a run of inflating into the output room ended. */
typedef enum pump_outcome { PUMP_FILLED, PUMP_ENDED, PUMP_FAILED } pump_outcome;

/* Inflates into the `length` bytes at `out` until they are filled (an error
   met after that waits in `pending`), the stream ends, or it fails (the
   stream's `failed` then holds the status). zlib gets the room in pieces
   that fit its uInt; on return its avail_out is 0 only when all is filled. */
static pump_outcome pump(zeq_stream *stream, uint8_t *out, uint32_t length) {
  z_stream *inflater = &stream->inflater;
  inflater->next_out = out;
  inflater->avail_out = piece_of(&length);
  for (;;) {
    int result;
    zeq_status error;
    const uint8_t *const start = inflater->next_out;
    if (inflater->avail_in == 0 && stream->block_left != 0 && !refill(stream)) {
      fail(stream, ZEQ_E_FILE_SIZE_MISMATCH);
      return PUMP_FAILED;
    }
    result = inflate(inflater, Z_NO_FLUSH);
    stream->adler = adler32(stream->adler, start, (uInt)(inflater->next_out - start));
    if (inflater->avail_out == 0 && length != 0 && (result == Z_OK || result == Z_STREAM_END)) {
      inflater->avail_out = piece_of(&length); /* the next piece of room */
      if (result == Z_OK) continue;
    }
    if (result == Z_STREAM_END && checksum_matches(stream)) {
      stream->ended = true;
      return PUMP_ENDED;
    }
    if (result == Z_STREAM_END) {
      error = ZEQ_E_CHECKSUM_MISMATCH;
    } else if (result == Z_DATA_ERROR) {
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
    if (inflater->avail_out == 0 && length == 0) {
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
  if (inflateValidate(inflater, 0) != Z_OK) return ZEQ_E_WORKSPACE_TOO_SMALL;
  stream->adler = adler32(0L, Z_NULL, 0);
  memcpy(stream->input + KEPT_BYTES, zlib_header, have);
  inflater->next_in = stream->input + KEPT_BYTES;
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
    /* A decode in pieces keeps zlib's whole window between them. */
    const size_t window = needs_pieces(info->raw_length) || needs_pieces(info->compressed_length)
                              ? (size_t)1 << LARGEST_WINDOW_BITS
                              : PROBE_WINDOW_BYTES;
    return compressed ? slack + round_up(inflate_state_bytes()) + round_up(window) : 0;
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

/* zeq_decode's checks of the whole file at `file` (`size` bytes), in
   zeq2png's order, before it looks at the pixel buffer; fills `info`. */
static zeq_status check_file(const uint8_t *file, size_t size, zeq_info *info) {
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
  return ZEQ_OK;
}

zeq_status zeq_decode(const uint8_t *file, size_t size, uint8_t *pixels, size_t pixels_size,
                      void *workspace, size_t workspace_size) {
  zeq_info info;
  arena pool;
  const zeq_status checked = check_file(file, size, &info);
  if (checked != ZEQ_OK) return checked;
  if (pixels == NULL || pixels_size < info.raw_length) return ZEQ_E_PIXELS_TOO_SMALL;
  if (info.compressed_length == 0) {
    memcpy(pixels, file + ZEQ_HEADER_SIZE, (size_t)info.raw_length); /* <= pixels_size */
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
  *have = *block_left < ZLIB_HEADER_SIZE ? (size_t)*block_left : ZLIB_HEADER_SIZE;
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

/* Writes the next `length` (nonzero) bytes of the file's pixels to `out`;
   a failure stays in the stream. */
static zeq_status stream_bytes(zeq_stream *stream, uint8_t *out, uint32_t length) {
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
  if (stream->inflater.avail_out != 0) return fail_stream(stream, ZEQ_E_INFLATED_TOO_SHORT);
  return ZEQ_OK;
}

zeq_status zeq_stream_rows(zeq_stream *stream, uint8_t *rows, uint32_t row_count) {
  zeq_status status;
  if (stream == NULL) return ZEQ_E_BAD_CALL;
  if (stream->failed != ZEQ_OK) return stream->failed;
  if (row_count > stream->rows_left || (rows == NULL && row_count != 0)) return ZEQ_E_BAD_CALL;
  if (row_count == 0) return ZEQ_OK;
  status = stream_bytes(stream, rows, row_count * stream->row_bytes);
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

/* --- panel layouts ------------------------------------------------------- */

enum {
  /* Pixels converted through the stack when the caller's rows have no room
     left to inflate them in place: at most 4 bytes each, 256 bytes. */
  STAGED_PIXELS = 64,
  OPAQUE = 255
};

size_t zeq_layout_bytes_per_pixel(const zeq_info *info, uint32_t layout) {
  static const uint8_t layout_bytes[] = {0, 2, 2, 2, 3, 4};
  if (info == NULL || layout > ZEQ_LAYOUT_ARGB8888) return 0;
  return layout == ZEQ_LAYOUT_STORED ? (size_t)info->bytes_per_pixel : layout_bytes[layout];
}

/* True for a layout the _to calls know and a background they can blend onto. */
static bool valid_output(const zeq_output *output) {
  return output != NULL && output->layout <= ZEQ_LAYOUT_ARGB8888 &&
         !(output->blend_onto_destination != 0 &&
           (output->layout == ZEQ_LAYOUT_STORED || output->layout == ZEQ_LAYOUT_ARGB8888));
}

/* The bytes of the row that blending a file with alpha onto the destination
   stages in the workspace (aligned as the arena hands it out); else 0. */
static size_t staged_row_bytes(const zeq_info *info, const zeq_output *output) {
  const bool alpha = (info->pixel_format & 0xF000) != 0; /* the alpha digit */
  if (output->blend_onto_destination == 0 || !alpha) return 0;
  return round_up((size_t)info->width * (size_t)info->bytes_per_pixel);
}

/* True when a whole decode to `output` inflates into the caller's buffer
   and converts there: no blending onto it and pixels no narrower. */
static bool converts_in_place(const zeq_info *info, const zeq_output *output) {
  return output->layout == ZEQ_LAYOUT_STORED ||
         (staged_row_bytes(info, output) == 0 &&
          zeq_layout_bytes_per_pixel(info, output->layout) >= info->bytes_per_pixel);
}

size_t zeq_output_workspace_size(const zeq_info *info, int streaming, const zeq_output *output) {
  if (info == NULL || !valid_output(output)) return 0;
  return zeq_workspace_size(info, streaming != 0 || !converts_in_place(info, output)) +
         staged_row_bytes(info, output);
}

static uint32_t widen5(uint32_t level) { return level << 3 | level >> 2; }
static uint32_t widen6(uint32_t level) { return level << 2 | level >> 4; }

/* The pixel at `at` in the file's `format` as 0xAARRGGBB, 8 bits a channel. */
static uint32_t read_source(uint32_t format, const uint8_t *at) {
  uint32_t word, alpha = OPAQUE;
  switch (format) {
    case ZEQ_FORMAT_GREYA88: alpha = at[1]; /* FALLTHROUGH */
    case ZEQ_FORMAT_GREY8: return alpha << 24 | at[0] * 0x010101u;
    case ZEQ_FORMAT_RGBA8888: alpha = at[3]; /* FALLTHROUGH */
    case ZEQ_FORMAT_RGB888:
      return alpha << 24 | (uint32_t)at[0] << 16 | (uint32_t)at[1] << 8 | at[2];
    case ZEQ_FORMAT_RGBA5658: alpha = at[2]; /* FALLTHROUGH */
    default: /* RGB565: the little-endian word, red in the low bits */
      word = (uint32_t)at[0] | (uint32_t)at[1] << 8;
      return alpha << 24 | widen5(word & 31) << 16 | widen6(word >> 5 & 63) << 8 |
             widen5(word >> 11);
  }
}

/* The pixel at `at` in a layout without alpha as 0xRRGGBB. */
static uint32_t read_layout(uint32_t layout, const uint8_t *at) {
  uint32_t word, red, blue;
  if (layout == ZEQ_LAYOUT_RGB888) return (uint32_t)at[0] << 16 | (uint32_t)at[1] << 8 | at[2];
  word = layout == ZEQ_LAYOUT_RGB565 ? (uint32_t)at[1] << 8 | at[0] : (uint32_t)at[0] << 8 | at[1];
  red = word >> 11;
  blue = word & 31;
  if (layout == ZEQ_LAYOUT_BGR565_BE) red = blue, blue = word >> 11;
  return widen5(red) << 16 | widen6(word >> 5 & 63) << 8 | widen5(blue);
}

/* Writes `pixel` (0xAARRGGBB) at `at` in `layout` (not STORED). */
static void write_layout(uint32_t layout, uint8_t *at, uint32_t pixel) {
  uint32_t red = pixel >> 16 & 0xFF, blue = pixel & 0xFF, word;
  if (layout == ZEQ_LAYOUT_ARGB8888) {
    at[0] = (uint8_t)blue, at[1] = (uint8_t)(pixel >> 8), at[2] = (uint8_t)red;
    at[3] = (uint8_t)(pixel >> 24);
    return;
  }
  if (layout == ZEQ_LAYOUT_RGB888) {
    at[0] = (uint8_t)red, at[1] = (uint8_t)(pixel >> 8), at[2] = (uint8_t)blue;
    return;
  }
  if (layout == ZEQ_LAYOUT_BGR565_BE) word = red, red = blue, blue = word;
  word = red >> 3 << 11 | (pixel >> 10 & 63) << 5 | blue >> 3;
  at[layout == ZEQ_LAYOUT_RGB565 ? 0 : 1] = (uint8_t)word;
  at[layout == ZEQ_LAYOUT_RGB565 ? 1 : 0] = (uint8_t)(word >> 8);
}

/* `pixel` (0xAARRGGBB) over `under` (0xRRGGBB), channel by channel. */
static uint32_t blend(uint32_t pixel, uint32_t under) {
  const uint32_t alpha = pixel >> 24;
  uint32_t blended = 0, shift;
  for (shift = 0; shift < 24; shift += 8) {
    const uint32_t source = pixel >> shift & 0xFF, below = under >> shift & 0xFF;
    blended |= (source * alpha + below * (OPAQUE - alpha) + 127) / OPAQUE << shift;
  }
  return blended;
}

/* Macros rather than functions, so that the word loops below inline them at
   -Os. SWAP_BYTES: the two bytes of each 16-bit half of `words` swapped (two
   instructions with a byte-reversal builtin). SWAP_RED_BLUE: in stored
   RGB565 words (red in the low bits), red and blue swapped in each half. */
#if defined(__GNUC__)
#define SWAP_BYTES(words) \
  ((words) = __builtin_bswap32(words), (words) = (words) >> 16 | (words) << 16)
#define WORD_ALIGNED(pointer) __builtin_assume_aligned(pointer, 4)
#else
#define SWAP_BYTES(words) ((words) = ((words) >> 8 & 0x00FF00FFu) | ((words) & 0x00FF00FFu) << 8)
#define WORD_ALIGNED(pointer) (pointer)
#endif
#define SWAP_RED_BLUE(words, differ) \
  ((differ) = ((words) ^ (words) >> 11) & 0x001F001Fu, (words) ^= (differ) ^ (differ) << 11)

/* One or two stored RGB565 words as the 565 `layout` wants them, low byte first. */
static uint32_t stored_565_as(uint32_t layout, uint32_t words) {
  uint32_t differ;
  if (layout != ZEQ_LAYOUT_BGR565_BE) SWAP_RED_BLUE(words, differ);
  if (layout != ZEQ_LAYOUT_RGB565) SWAP_BYTES(words);
  return words;
}

/* Converts `count` stored RGB565 pixels at `pixels` in place to a 565
   `layout`, where only fields and bytes move: four 32-bit words at a time
   where the pixels are aligned on a little-endian machine, with the loop
   written once per layout so that it carries no branch. */
static void convert_565(uint32_t layout, uint8_t *pixels, uint32_t count) {
  const uint16_t one = 1;
  const bool little_endian = *(const uint8_t *)&one == 1;
  uint32_t word, a, b, c, d, differ;
  for (;; pixels += 2, --count) {
    if (little_endian && (uintptr_t)pixels % 4 == 0 && count >= 8) {
      uint8_t *const words = WORD_ALIGNED(pixels);
      const uint32_t blocks = count / 8;
      uint32_t i;
      count %= 8;
      pixels += (size_t)blocks * 16;
#define CONVERT_BLOCKS(change)                                          \
  for (i = 0; i < blocks; ++i) {                                        \
    uint8_t *const block = words + (size_t)i * 16;                      \
    memcpy(&a, block, 4), memcpy(&b, block + 4, 4);                     \
    memcpy(&c, block + 8, 4), memcpy(&d, block + 12, 4);                \
    change(a), change(b), change(c), change(d);                         \
    memcpy(block, &a, 4), memcpy(block + 4, &b, 4);                     \
    memcpy(block + 8, &c, 4), memcpy(block + 12, &d, 4);                \
  }
#define TO_RGB565(words) SWAP_RED_BLUE(words, differ)
#define TO_RGB565_BE(words) (SWAP_RED_BLUE(words, differ), SWAP_BYTES(words))
      if (layout == ZEQ_LAYOUT_RGB565) {
        CONVERT_BLOCKS(TO_RGB565)
      } else if (layout == ZEQ_LAYOUT_RGB565_BE) {
        CONVERT_BLOCKS(TO_RGB565_BE)
      } else {
        CONVERT_BLOCKS(SWAP_BYTES)
      }
#undef TO_RGB565
#undef TO_RGB565_BE
#undef CONVERT_BLOCKS
    }
    if (count == 0) return;
    word = stored_565_as(layout, (uint32_t)pixels[1] << 8 | pixels[0]);
    pixels[0] = (uint8_t)word;
    pixels[1] = (uint8_t)(word >> 8);
  }
}

/* Converts `count` of the file's pixels at `from` to `output` at `to`.
   `from` may be `to` when no blending onto the destination: wider pixels are
   then written back to front and narrower ones front to back, so each pixel
   is read before anything overwrites it. */
static void convert(const zeq_info *info, const zeq_output *output, const uint8_t *from,
                    uint8_t *to, uint32_t count) {
  const uint32_t source_bytes = info->bytes_per_pixel, layout = output->layout;
  const uint32_t layout_bytes = (uint32_t)zeq_layout_bytes_per_pixel(info, layout);
  const bool backwards = layout_bytes > source_bytes, onto = output->blend_onto_destination != 0;
  uint32_t i;
  if (layout == ZEQ_LAYOUT_STORED) return; /* the file's own pixels, as they came */
  if (info->pixel_format == ZEQ_FORMAT_RGB565 && layout_bytes == 2) {
    /* In place (the same width, no alpha): only fields and bytes move. */
    convert_565(layout, to, count);
    return;
  }
  if (info->pixel_format == ZEQ_FORMAT_RGBA5658 && layout_bytes == 2) {
    /* Icons are mostly opaque or clear: those pixels skip the 8-bit
       channels. Front to back, as the pixels narrow. */
    for (i = 0; i < count; ++i, from += 3, to += 2) {
      const uint32_t alpha = from[2];
      uint32_t word;
      if (alpha == OPAQUE) {
        word = stored_565_as(layout, (uint32_t)from[1] << 8 | from[0]);
        to[0] = (uint8_t)word;
        to[1] = (uint8_t)(word >> 8);
      } else if (alpha != 0 || !onto) {
        word = read_source(ZEQ_FORMAT_RGBA5658, from);
        write_layout(layout, to, blend(word, onto ? read_layout(layout, to) : output->background));
      }
    }
    return;
  }
  for (i = 0; i < count; ++i) {
    const uint32_t at = backwards ? count - 1 - i : i;
    uint8_t *out = to + (size_t)at * layout_bytes;
    uint32_t pixel = read_source(info->pixel_format, from + (size_t)at * source_bytes);
    const uint32_t alpha = pixel >> 24;
    if (alpha != OPAQUE && layout != ZEQ_LAYOUT_ARGB8888) {
      if (alpha == 0 && onto) continue; /* the destination shows, unchanged */
      pixel = blend(pixel, onto ? read_layout(layout, out) : output->background);
    }
    write_layout(layout, out, pixel);
  }
}

zeq_status zeq_stream_rows_to(zeq_stream *stream, const zeq_output *output, uint8_t *rows,
                              uint32_t row_count) {
  uint8_t staged[STAGED_PIXELS * 4];
  const zeq_info *info;
  uint32_t pixels, done = 0, layout_bytes, piece;
  bool onto; /* blending onto the rows: the file's rows are staged */
  zeq_status status = ZEQ_OK;
  if (stream == NULL) return ZEQ_E_BAD_CALL;
  if (stream->failed != ZEQ_OK) return stream->failed;
  if (!valid_output(output) || row_count > stream->rows_left || (rows == NULL && row_count != 0)) {
    return ZEQ_E_BAD_CALL;
  }
  info = &stream->info;
  pixels = row_count * info->width;
  layout_bytes = (uint32_t)zeq_layout_bytes_per_pixel(info, output->layout);
  onto = staged_row_bytes(info, output) != 0;
  if (onto && stream->staged_row == NULL) {
    stream->staged_row = arena_take(&stream->pool, (size_t)stream->row_bytes);
    if (stream->staged_row == NULL) return ZEQ_E_WORKSPACE_TOO_SMALL;
  }
  /* Each piece inflates as many pixels as the rows still to be written hold
     (all of them when the layout is no narrower) and converts them in place;
     blending onto the rows stages a row at a time in the workspace, and the
     last few pixels of a narrower layout go through the stack. */
  for (; status == ZEQ_OK && done < pixels; done += piece) {
    uint8_t *out = rows + (size_t)done * layout_bytes, *in = out;
    piece = (pixels - done) * layout_bytes / info->bytes_per_pixel;
    if (piece > pixels - done) piece = pixels - done;
    if (onto) {
      piece = info->width;
      in = stream->staged_row;
    } else if (piece < STAGED_PIXELS && piece < pixels - done) {
      piece = pixels - done < STAGED_PIXELS ? pixels - done : STAGED_PIXELS;
      in = staged;
    }
    status = stream_bytes(stream, in, piece * info->bytes_per_pixel);
    if (status == ZEQ_OK) convert(info, output, in, out, piece);
  }
  if (status == ZEQ_OK) stream->rows_left -= row_count;
  return status;
}

/* The file in memory, read through a stream. */
typedef struct memory_source {
  const uint8_t *next;
  size_t left;
} memory_source;

static size_t read_memory(void *context, uint8_t *buffer, size_t length) {
  memory_source *source = context;
  if (length > source->left) length = source->left;
  memcpy(buffer, source->next, length);
  source->next += length;
  source->left -= length;
  return length;
}

zeq_status zeq_decode_to(const uint8_t *file, size_t size, const zeq_output *output,
                         uint8_t *pixels, size_t pixels_size, void *workspace,
                         size_t workspace_size) {
  zeq_info info;
  zeq_status status;
  uint32_t frame_bytes; /* at most 1024 x 768 x 4 */
  size_t need;
  zeq_stream *stream;
  memory_source source;
  if (!valid_output(output)) return ZEQ_E_BAD_CALL;
  /* zeq_decode's checks, in its order, with the figures of this output. */
  status = check_file(file, size, &info);
  if (status != ZEQ_OK) return status;
  frame_bytes = info.width * info.height;
  frame_bytes *= (uint32_t)zeq_layout_bytes_per_pixel(&info, output->layout);
  if (pixels == NULL || pixels_size < frame_bytes) return ZEQ_E_PIXELS_TOO_SMALL;
  if (info.compressed_length >= ZLIB_HEADER_SIZE) {
    (void)read_window_bits(file + ZEQ_HEADER_SIZE, &info.window_bits); /* else sized for 15 */
  }
  need = zeq_output_workspace_size(&info, 0, output);
  if (need != 0 && (workspace == NULL || workspace_size < need)) return ZEQ_E_WORKSPACE_TOO_SMALL;
  if (converts_in_place(&info, output)) {
    status = zeq_decode(file, size, pixels, pixels_size, workspace, workspace_size);
    if (status == ZEQ_OK) convert(&info, output, pixels, pixels, info.width * info.height);
    return status;
  }
  source.next = file;
  source.left = size;
  status = zeq_stream_open(&stream, read_memory, &source, workspace, workspace_size, &info);
  if (status == ZEQ_OK) status = zeq_stream_rows_to(stream, output, pixels, info.height);
  return status == ZEQ_OK ? zeq_stream_finish(stream) : status;
}
