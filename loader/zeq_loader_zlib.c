/* SPDX-License-Identifier: MIT */
/* The loader's inflater binding on zlib's inflate, for builds that define
   ZEQ_USE_ZLIB (without it this file compiles to nothing and zeq_inflate.c
   serves). zlib allocates only from the caller's workspace through the
   loader's arena.

   zeq_decode inflates in one call with Z_FINISH straight into the pixels,
   so zlib never needs its window. Only when the pixels are full and the
   stream is not at its end does the verdict depend on what the stream
   would do next; a second pass, shifted by one byte, finds that out with a
   256-byte window (see judge_overflow).
   zlib counts in uInt, only 16 bits where int is: lengths reach it in
   pieces that fit (see piece_of). zlib checks no Adler-32 here
   (inflateValidate): the loader compares it itself, so the verdict does not
   hang on zlib's message texts. */
#ifdef ZEQ_USE_ZLIB

#include "zeq_internal.h"

/* next_in as a pointer to const: zlib never writes through it. */
#define ZLIB_CONST
#include <zlib.h>

#include <string.h>

enum {
  /* The second pass of zeq_decode uses zlib's smallest window. */
  PROBE_WINDOW_BITS = 8,
  PROBE_WINDOW_BYTES = 1 << PROBE_WINDOW_BITS
};

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

uint32_t zeq_engine_adler32(uint32_t adler, const uint8_t *bytes, uint32_t length) {
  uLong sum = adler;
  while (length != 0) {
    const uInt piece = piece_of(&length);
    sum = adler32(sum, bytes, piece);
    bytes += piece;
  }
  return (uint32_t)sum;
}

/* True when zlib's message `message` is `expected` (no <string.h> compare
   is needed for two short literals). */
static bool same_text(const char *message, const char *expected) {
  if (message == NULL) return false;
  while (*message != '\0' && *message == *expected) ++message, ++expected;
  return *message == *expected;
}

/* zlib's data errors told apart: zlib offers no call that tells a distance
   too far back from other damage, so its text is compared; an inflater with
   other texts gives ZEQ_RUN_CORRUPT instead, refusing the stream all the
   same. */
static zeq_run data_error(const z_stream *stream) {
  return same_text(stream->msg, "invalid distance too far back") ? ZEQ_RUN_TOO_FAR
                                                                  : ZEQ_RUN_CORRUPT;
}

/* --- zlib's allocator on the arena --------------------------------------- */

static voidpf arena_alloc(voidpf opaque, uInt items, uInt size) {
  if (size != 0 && items > SIZE_MAX / size) return Z_NULL;
  return zeq_arena_take(opaque, (size_t)items * size);
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
static void use_arena(z_stream *stream, zeq_arena *pool) {
  memset(stream, 0, sizeof *stream);
  stream->zalloc = arena_alloc;
  stream->zfree = arena_free;
  stream->opaque = pool;
}

/* --- whole-file decoding ------------------------------------------------- */

size_t zeq_engine_decode_bytes(const zeq_info *info) {
  /* A decode in pieces keeps zlib's whole window between them. */
  const size_t window = needs_pieces(info->raw_length) || needs_pieces(info->compressed_length)
                            ? (size_t)1 << ZEQ_LARGEST_WINDOW_BITS
                            : PROBE_WINDOW_BYTES;
  return zeq_round_up(inflate_state_bytes()) + zeq_round_up(window);
}

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
                                 uint32_t raw_length, zeq_arena *pool) {
  z_stream stream;
  uint8_t first = 0;
  bool overflowed = false;
  uint32_t in_left, out_left;
  int result;
  const bool pieces = needs_pieces(block_length) || needs_pieces(raw_length);
  use_arena(&stream, pool);
  if (inflateInit2(&stream, pieces ? -ZEQ_LARGEST_WINDOW_BITS : -PROBE_WINDOW_BITS) != Z_OK) {
    return ZEQ_E_WORKSPACE_TOO_SMALL;
  }
  /* The first pass produced output, so the block holds the zlib header. */
  stream.next_in = block + ZEQ_ZLIB_HEADER_SIZE;
  result = inflate_in_pieces(&stream, block_length - ZEQ_ZLIB_HEADER_SIZE, &first, 1,
                             Z_NO_FLUSH, &in_left, &out_left);
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

zeq_status zeq_engine_decode(const uint8_t *block, uint32_t block_length, uint8_t *pixels,
                             uint32_t raw_length, zeq_arena *pool) {
  const zeq_arena fresh = *pool;
  const bool pieces = needs_pieces(block_length) || needs_pieces(raw_length);
  z_stream stream;
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
  if (result == Z_STREAM_END) {
    /* The stream's last 4 bytes, just read, are its Adler-32. */
    checksum_matches = zeq_engine_adler32(1, pixels, raw_length - out_left) ==
                       zeq_load32_big_endian(stream.next_in - 4);
  }
  inflateEnd(&stream);
  if (pieces && result == Z_BUF_ERROR && out_left == 0) result = Z_MEM_ERROR;
  switch (result) {
    case Z_STREAM_END:
      if (!checksum_matches) return ZEQ_E_CHECKSUM_MISMATCH;
      if (out_left != 0) return ZEQ_E_INFLATED_TOO_SHORT;
      return in_left != 0 ? ZEQ_E_TRAILING_BYTES : ZEQ_OK;
    case Z_DATA_ERROR: /* a distance too far back included: the window is 32 KiB */
    case Z_NEED_DICT:  /* ZEQ files carry no preset dictionary */
      return ZEQ_E_STREAM_CORRUPT;
    case Z_MEM_ERROR: /* stopped inside the deflate data, wanting a window (or full, in pieces) */
      if (out_left != 0) return ZEQ_E_STREAM_TRUNCATED;
      *pool = fresh;
      return judge_overflow(block, block_length, pixels, raw_length, pool);
    default: /* Z_BUF_ERROR: out of data, perhaps inside the Adler-32 */
      return ZEQ_E_STREAM_TRUNCATED;
  }
}

/* --- streams -------------------------------------------------------------- */

struct zeq_engine {
  z_stream inflater;
  uint8_t *window_at; /* where zlib's window goes, taken on its first output */
  uint32_t window_bits;
};

size_t zeq_engine_stream_bytes(uint32_t window_bits) {
  return zeq_round_up(sizeof(zeq_engine)) + zeq_round_up(inflate_state_bytes()) +
         zeq_round_up((size_t)1 << window_bits);
}

zeq_engine *zeq_engine_open(zeq_arena *pool, uint32_t window_bits) {
  zeq_engine *const engine = zeq_arena_take(pool, sizeof(zeq_engine));
  if (engine == NULL) return NULL;
  use_arena(&engine->inflater, pool);
  if (inflateInit2(&engine->inflater, (int)window_bits) != Z_OK ||
      inflateValidate(&engine->inflater, 0) != Z_OK) {
    return NULL;
  }
  engine->window_at = pool->next;
  engine->window_bits = window_bits;
  return engine;
}

zeq_run zeq_engine_run(zeq_engine *engine, zeq_flow *flow) {
  z_stream *const inflater = &engine->inflater;
  uint32_t in_rest = flow->avail_in, out_rest = flow->avail_out;
  int result;
  inflater->next_in = flow->next_in;
  inflater->avail_in = piece_of(&in_rest);
  inflater->next_out = flow->next_out;
  inflater->avail_out = piece_of(&out_rest);
  for (;;) {
    result = inflate(inflater, Z_NO_FLUSH);
    if (result != Z_OK) break;
    if (inflater->avail_out == 0 && out_rest != 0) {
      inflater->avail_out = piece_of(&out_rest); /* the next piece of room */
    } else if (inflater->avail_in == 0 && in_rest != 0) {
      inflater->avail_in = piece_of(&in_rest);
    } else {
      break;
    }
  }
  flow->total_out += (uint32_t)(inflater->next_out - flow->next_out);
  flow->next_in = inflater->next_in;
  flow->avail_in = inflater->avail_in + in_rest;
  flow->next_out = inflater->next_out;
  flow->avail_out = inflater->avail_out + out_rest;
  switch (result) {
    case Z_OK:
    case Z_BUF_ERROR: return ZEQ_RUN_GOING;
    case Z_STREAM_END: return ZEQ_RUN_ENDED;
    case Z_DATA_ERROR: return data_error(inflater);
    case Z_MEM_ERROR: return ZEQ_RUN_NO_MEMORY;
    default: return ZEQ_RUN_CORRUPT; /* Z_NEED_DICT: ZEQ files carry no preset dictionary */
  }
}

size_t zeq_engine_reserved(const zeq_engine *engine, const zeq_arena *pool) {
  return pool->next == engine->window_at ? zeq_round_up((size_t)1 << engine->window_bits) : 0;
}

#else
/* ISO C wants at least one declaration in a translation unit. */
typedef int zeq_loader_zlib_unused;
#endif /* ZEQ_USE_ZLIB */
