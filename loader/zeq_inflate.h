/* SPDX-License-Identifier: MIT */
/* zeq_inflate: the loader's own decoder of one zlib stream (RFC 1950
   header, RFC 1951 stored, fixed and dynamic blocks). Internal to the
   loader, not part of its API.

   The caller owns the state and hands it input and room through a
   zeq_flow; a run goes on until the stream ends, fails, needs more input or
   has a byte to write and no room. Without a window (a whole decode) a
   distance may reach back over everything written in the one run, which
   the caller makes a single run into its whole buffer. With a window (a
   stream) of 2^window_bits bytes, a distance may reach back over what this
   run wrote and the window's bytes from earlier runs: exactly what zlib's
   inflate accepts, checked when the match is copied, as zlib does.

   It accepts and refuses exactly the streams that zlib's inflate does, at
   the same point: each check needs the same bits, and input is taken a
   byte at a time only when a check needs it (with ZEQ_FAST_INFLATE, the
   fast loop reads ahead and gives back what it did not use). */
#ifndef ZEQ_INFLATE_H
#define ZEQ_INFLATE_H

#include <stddef.h>
#include <stdint.h>

#include "zeq_internal.h"

enum {
  ZEQ_LITERAL_ROOT_BITS = 9, /* codes up to 9 bits (distances: 5) resolve in one lookup */
  ZEQ_DISTANCE_ROOT_BITS = 5,
  ZEQ_MOST_CODE_LENGTHS = 320 /* 288 literal/length and 32 distance codes */
};

/* The decoder's state: about 1.35 KB, without the window. */
typedef struct zeq_inflater {
  /* Entries are length (low 4 bits) and symbol (the rest); a length of
     root + 1 marks a longer code, decoded from the code lengths. */
  uint16_t literal_table[1 << ZEQ_LITERAL_ROOT_BITS];
  uint16_t distance_table[1 << ZEQ_DISTANCE_ROOT_BITS];
  uint16_t literal_count[16], distance_count[16]; /* codes of each length */
  uint8_t lengths[ZEQ_MOST_CODE_LENGTHS / 2];    /* 4 bits per code (see sorted_long) */
  uint8_t *window;                               /* NULL for a whole decode */
  uint32_t hold;                                 /* bits not yet used, low first */
  uint16_t window_size, window_have, window_next;
  uint16_t literal_codes, distance_codes, code_codes, have;
  uint16_t length, distance; /* of the match (or stored block) under way */
  uint16_t long_distances_at; /* with sorted_long: where the distances' list starts */
  uint8_t bits, mode, last, fixed_built;
  uint8_t sorted_long; /* `lengths` holds the long codes' symbols, low bytes, sorted */
  uint8_t long_literals[16 - ZEQ_LITERAL_ROOT_BITS]; /* of each long length, those below 256 */
} zeq_inflater;

/* Sets up `inflater` for a new stream. `window`: NULL for a whole decode,
   else 2^window_bits bytes (window_bits 8..15) that the state uses as its
   ring; they must stay valid as long as the state. */
void zeq_inflate_init(zeq_inflater *inflater, uint8_t *window, uint32_t window_bits);

/* Inflates from flow->next_in into flow->next_out, advancing both and
   flow->total_out. Returns ZEQ_RUN_GOING when all input is used,
   ZEQ_RUN_FULL when a byte is due and no room is left, ZEQ_RUN_ENDED after
   the stream's Adler-32 (the last 4 bytes read; not checked here),
   ZEQ_RUN_CORRUPT or ZEQ_RUN_TOO_FAR (a distance beyond the output); a
   failure stays. */
zeq_run zeq_inflate(zeq_inflater *inflater, zeq_flow *flow);

/* `adler` continued over the `length` bytes at `bytes`. */
uint32_t zeq_inflate_adler32(uint32_t adler, const uint8_t *bytes, uint32_t length);

#endif /* ZEQ_INFLATE_H */
