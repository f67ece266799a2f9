/* SPDX-License-Identifier: MIT */
/* The loader's internals, shared by its files and not part of its API:
   the workspace allocator, the stream record, the "already checked" entry
   points that zeq_panel.c builds on, and the inflater binding that
   zeq_inflate.c (the own inflater) or zeq_loader_zlib.c (zlib, with
   ZEQ_USE_ZLIB) provides. */
#ifndef ZEQ_INTERNAL_H
#define ZEQ_INTERNAL_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#include "zeq_loader.h"

enum {
  ZEQ_ZLIB_HEADER_SIZE = ZEQ_PROBE_SIZE - ZEQ_HEADER_SIZE,
  ZEQ_LARGEST_WINDOW_BITS = 15,
  /* A stream's input buffer (see refill in zeq_loader.c): 512 bytes keep
     zlib on its fast path; the own inflater takes input a byte at a time
     and needs only a few at hand. */
#ifdef ZEQ_USE_ZLIB
  ZEQ_INPUT_BYTES = 512
#else
  ZEQ_INPUT_BYTES = 64
#endif
};

/* The strictest alignment of C99's types, which an inflater's state may
   need: C99 has no max_align_t, so a structure measures it. */
union zeq_any_scalar {
  long long integer;
  long double real;
  void *pointer;
  void (*function)(void);
};
struct zeq_alignment_probe {
  char first;
  union zeq_any_scalar aligned;
};
#define ZEQ_ALIGNMENT offsetof(struct zeq_alignment_probe, aligned)

/* `bytes` rounded up to a multiple of ZEQ_ALIGNMENT. */
size_t zeq_round_up(size_t bytes);
/* The big-endian 32-bit value at `bytes` (a stream's Adler-32). */
uint32_t zeq_load32_big_endian(const uint8_t *bytes);

/* Hands out aligned pieces of the caller's workspace front to back; frees
   nothing. `limit` may stop short of the workspace's end. */
typedef struct zeq_arena {
  uint8_t *next;
  uint8_t *limit;
} zeq_arena;
void zeq_arena_init(zeq_arena *pool, void *workspace, size_t size);
/* `bytes` aligned bytes from the arena, or NULL when they do not fit. */
void *zeq_arena_take(zeq_arena *pool, size_t bytes);

/* Input and room handed to an inflater, as it leaves them. */
typedef struct zeq_flow {
  const uint8_t *next_in;
  uint32_t avail_in;
  uint8_t *next_out;
  uint32_t avail_out;
  uint32_t total_out; /* bytes written since the stream began */
} zeq_flow;

/* How a run of an inflater ended. */
typedef enum zeq_run {
  ZEQ_RUN_GOING,     /* input used up (or, zlib, no progress possible) */
  ZEQ_RUN_FULL,      /* a byte is due and the room is used up */
  ZEQ_RUN_ENDED,     /* the stream and its Adler-32 are read */
  ZEQ_RUN_CORRUPT,   /* not a valid stream */
  ZEQ_RUN_TOO_FAR,   /* a distance reaches before what the inflater holds */
  ZEQ_RUN_NO_MEMORY  /* zlib only: its allocation failed */
} zeq_run;

/* --- the inflater binding ----------------------------------------------- */

typedef struct zeq_engine zeq_engine;
/* The workspace zeq_decode's inflating takes for a file with this header,
   aligned pieces included (not the slack for the workspace's address). */
size_t zeq_engine_decode_bytes(const zeq_info *info);
/* The workspace a stream's inflater takes (state and window) for a zlib
   header that declares `window_bits` (8..15). */
size_t zeq_engine_stream_bytes(uint32_t window_bits);
/* Inflates the zlib stream of `block_length` bytes (the block, header
   included) into exactly `raw_length` bytes at `pixels`, with its state in
   `pool`, and judges it as zeq2png does. */
zeq_status zeq_engine_decode(const uint8_t *block, uint32_t block_length, uint8_t *pixels,
                             uint32_t raw_length, zeq_arena *pool);
/* Sets up a stream's inflater in `pool`; NULL when it does not fit. */
zeq_engine *zeq_engine_open(zeq_arena *pool, uint32_t window_bits);
/* One run of the stream's inflater on `flow`. */
zeq_run zeq_engine_run(zeq_engine *engine, zeq_flow *flow);
/* Bytes the inflater will still take from `pool` (zlib's window, which it
   takes on its first output). */
size_t zeq_engine_reserved(const zeq_engine *engine, const zeq_arena *pool);
/* `adler` continued over the `length` bytes at `bytes`. */
uint32_t zeq_engine_adler32(uint32_t adler, const uint8_t *bytes, uint32_t length);

/* --- the stream and the checked entry points ---------------------------- */

struct zeq_stream {
  zeq_engine *engine;
  zeq_flow flow;
  zeq_arena pool;
  zeq_read_fn read;
  void *context;
  zeq_info info;
  uint32_t row_bytes;
  uint32_t rows_left;
  uint32_t block_left; /* data bytes not yet read from the source */
  uint8_t *input;      /* ZEQ_INPUT_BYTES in the workspace, compressed files only */
  uint32_t adler;      /* the Adler-32 of the bytes inflated so far */
  bool ended;          /* the inflater has seen the stream's end */
  zeq_status pending;  /* an error met after the rows asked for were out */
  zeq_status failed;   /* once set, every call returns it */
  uint8_t *staged_row; /* a row of the file's pixels, for blending onto the destination */
};

/* zeq_decode's checks of the whole file, in zeq2png's order, before it
   looks at the pixel buffer; fills `info`, its window bits included when
   the block holds a valid zlib header. */
zeq_status zeq_check_file(const uint8_t *file, size_t size, zeq_info *info);
/* zeq_decode of a file that zeq_check_file passed into a buffer of at
   least rawLength bytes, checking only the workspace. */
zeq_status zeq_decode_checked(const uint8_t *file, const zeq_info *info, uint8_t *pixels,
                              void *workspace, size_t workspace_size);
/* Writes the next `length` (nonzero) bytes of the file's pixels to `out`;
   a failure stays in the stream. */
zeq_status zeq_stream_pixels(zeq_stream *stream, uint8_t *out, uint32_t length);
/* Takes a row of the file's pixels from the stream's workspace, leaving
   what its inflater will still take; NULL when it does not fit, and the
   stream goes on as before. */
uint8_t *zeq_stream_take_row(zeq_stream *stream);

#endif /* ZEQ_INTERNAL_H */
