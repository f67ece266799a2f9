/* SPDX-License-Identifier: MIT */
/* zeq_inflate: the loader's own zlib decoder (see zeq_inflate.h), and the
   loader's inflater binding on it. Built with ZEQ_USE_ZLIB, the loader uses
   zlib instead (zeq_loader_zlib.c) and this file compiles to nothing.

   One resumable decode loop. Each step first makes sure that the bits it
   needs are at hand, taking input a byte at a time, and otherwise leaves
   with the bits kept, so that a step runs whole once its bits are there:
   a damaged stream fails at the bit where zlib's inflate fails, and a
   stream cut short anywhere asks for more input, as zlib's does. Built with
   ZEQ_FAST_INFLATE, a second loop takes the bulk of a block's codes while
   input and room are plentiful, and hands the rest back to this one.

   Codes: a lookup of 9 bits (5 for distances) resolves every shorter code;
   a longer one is decoded canonically from the counts of each length, its
   symbol taken from a sorted list of the long codes (or, when they are too
   many for it, found in the code lengths, kept 4 bits each). The rules zlib applies to a set of
   code lengths are kept: over-subscribed sets fail, and so do incomplete
   ones, except a set of a single 1-bit code (whose other code fails when
   met) or a set with no code at all (any code fails when met; a
   code-length code with none reads every length as 0 from one bit). */
#ifndef ZEQ_USE_ZLIB

#include "zeq_inflate.h"

#include <string.h>

enum mode {
  MODE_HEADER,
  MODE_DICTIONARY,
  MODE_BLOCK,
  MODE_STORED,
  MODE_STORED_COPY,
  MODE_TABLE,
  MODE_CODE_CODE,
  MODE_CODE_LENGTHS,
  MODE_CODES,
  MODE_LENGTH_EXTRA,
  MODE_DISTANCE,
  MODE_DISTANCE_EXTRA,
  MODE_COPY,
  MODE_TRAILER,
  MODE_DONE,
  MODE_CORRUPT,
  MODE_TOO_FAR
};

enum {
  INVALID_SYMBOL = 0xFFF, /* a code no stream may use */
  END_OF_BLOCK = 256,
  LITERAL_SYMBOLS = 286, /* 286 and 287 exist only in the fixed code, as errors */
  DISTANCE_SYMBOLS = 30, /* and 30, 31 likewise */
  FIXED_LITERAL_CODES = 288,
  FIXED_DISTANCE_CODES = 32,
  CODE_CODES = 19,
  CODE_ROOT_BITS = 7,
  LONGEST_CODE = 15,
  ADLER_RUN = 5552 /* bytes summed before the sums may overflow 32 bits */
};
#define ADLER_BASE 65521u /* the largest prime below 2^16 */

#define ENTRY(length, symbol) ((uint16_t)((unsigned)(symbol) << 4 | (unsigned)(length)))

/* The length of code `at` (literal/length codes first, then distances). */
static unsigned length_of(const zeq_inflater *state, unsigned at) {
  return (unsigned)(state->lengths[at >> 1] >> ((at & 1u) << 2)) & 15u;
}

static void set_length(zeq_inflater *state, unsigned at, unsigned length) {
  uint8_t *const pair = &state->lengths[at >> 1];
  *pair = (uint8_t)(at & 1u ? (*pair & 0x0Fu) | length << 4 : (*pair & 0xF0u) | length);
}

static void fill(uint16_t *table, unsigned size, uint16_t entry) {
  unsigned at;
  for (at = 0; at < size; ++at) table[at] = entry;
}

/* Builds the lookup `table` (2^root entries) and `count` for the `codes`
   code lengths from `first`; false for a set zlib refuses. `code_code`:
   the code-length code, which may not be incomplete and which reads an
   empty set as zeros. */
static bool build(zeq_inflater *state, uint16_t *table, unsigned root, uint16_t *count,
                  unsigned first, unsigned codes, bool code_code) {
  uint16_t next[LONGEST_CODE + 1];
  const unsigned size = 1u << root;
  unsigned length, symbol, longest = 0, code = 0;
  long left = 1;
  memset(count, 0, (LONGEST_CODE + 1) * sizeof *count);
  for (symbol = 0; symbol < codes; ++symbol) ++count[length_of(state, first + symbol)];
  count[0] = 0;
  for (length = 1; length <= LONGEST_CODE; ++length) {
    if (count[length] != 0) longest = length;
    left = 2 * left - (long)count[length];
    if (left < 0) return false; /* over-subscribed */
  }
  if (longest == 0 || left > 0) {
    if (longest != 0 && (code_code || longest != 1)) return false; /* incomplete */
    fill(table, size, ENTRY(1, code_code && longest == 0 ? 0 : INVALID_SYMBOL));
  }
  for (length = 1; length <= LONGEST_CODE; ++length) {
    code = (code + count[length - 1]) << 1;
    next[length] = (uint16_t)code;
  }
  for (symbol = 0; symbol < codes; ++symbol) {
    unsigned reversed = 0, bit;
    length = length_of(state, first + symbol);
    if (length == 0) continue;
    code = next[length]++;
    for (bit = 0; bit < length; ++bit) reversed |= (code >> bit & 1u) << (length - 1 - bit);
    if (length <= root) {
      for (; reversed < size; reversed += 1u << length) table[reversed] = ENTRY(length, symbol);
    } else {
      table[reversed & (size - 1)] = ENTRY(root + 1, code >> (length - root)); /* its first bits */
    }
  }
  return true;
}

/* Decodes a code longer than the lookup (`root` bits) from the `bits` bits
   of `hold` (more than `root`) and its first `root` bits, most significant
   first, in `*symbol` (as its table entry holds them): true with its symbol
   and length, false when it needs more bits. The symbol comes from the
   sorted list of long codes from `list_at`, or else from a scan of the code
   lengths. */
static bool long_code(const zeq_inflater *state, uint32_t hold, unsigned bits,
                      const uint16_t *count, unsigned root, unsigned first, unsigned codes,
                      unsigned list_at, unsigned *symbol, unsigned *length) {
  unsigned at, code = *symbol, start = 0, rank;
  for (at = 1; at <= root; ++at) start = (start + count[at]) << 1; /* the first code one longer */
  for (at = root + 1; at <= bits && at <= LONGEST_CODE; ++at) {
    code = code << 1 | ((unsigned)(hold >> (at - 1)) & 1u);
    if (code - start < count[at]) {
      rank = code - start;
      *length = at;
      if (state->sorted_long) {
        /* Literal/length symbols of a length ascend: those past the ones below 256 are 256 up. */
        const unsigned high = root == ZEQ_LITERAL_ROOT_BITS &&
                              rank >= state->long_literals[at - ZEQ_LITERAL_ROOT_BITS - 1];
        while (--at > root) rank += count[at];
        *symbol = state->lengths[rank + list_at] | high << 8;
        return true;
      }
      for (*symbol = 0; *symbol < codes; ++*symbol) {
        if (length_of(state, first + *symbol) == at && rank-- == 0) break;
      }
      return true;
    }
    start = (start + count[at]) << 1;
  }
  return false;
}

/* Replaces the code lengths, which only long codes need once the tables
   are built, by the symbols of the long codes, by length and then symbol,
   when they fit: a long code is then found without a scan. */
static void sort_long_codes(zeq_inflater *state) {
  uint8_t sorted[sizeof state->lengths];
  unsigned kept = 0, part, length, at;
  memset(state->long_literals, 0, sizeof state->long_literals);
  for (part = 0; part < 2; ++part) {
    const unsigned first = part != 0 ? state->literal_codes : 0;
    const unsigned codes = part != 0 ? state->distance_codes : state->literal_codes;
    const unsigned root = part != 0 ? ZEQ_DISTANCE_ROOT_BITS : ZEQ_LITERAL_ROOT_BITS;
    const uint16_t *const count = part != 0 ? state->distance_count : state->literal_count;
    if (part != 0) state->long_distances_at = (uint16_t)kept;
    for (length = root + 1; length <= LONGEST_CODE; ++length) {
      for (at = 0; count[length] != 0 && at < codes; ++at) {
        if (length_of(state, first + at) != length) continue;
        if (kept == sizeof sorted) return;
        if (part == 0 && at < 256) ++state->long_literals[length - ZEQ_LITERAL_ROOT_BITS - 1];
        sorted[kept++] = (uint8_t)at;
      }
    }
  }
  memcpy(state->lengths, sorted, kept);
  state->sorted_long = 1;
}

/* Builds the fixed codes' tables, once until a dynamic block replaces them. */
static void build_fixed(zeq_inflater *state) {
  unsigned at;
  state->sorted_long = 0;
  for (at = 0; at < FIXED_LITERAL_CODES + FIXED_DISTANCE_CODES; ++at) {
    set_length(state, at, at < 144 ? 8 : at < 256 ? 9 : at < 280 ? 7 : at < 288 ? 8 : 5);
  }
  (void)build(state, state->literal_table, ZEQ_LITERAL_ROOT_BITS, state->literal_count, 0,
               FIXED_LITERAL_CODES, false);
  (void)build(state, state->distance_table, ZEQ_DISTANCE_ROOT_BITS, state->distance_count,
              FIXED_LITERAL_CODES, FIXED_DISTANCE_CODES, false);
  state->literal_codes = FIXED_LITERAL_CODES;
  state->distance_codes = FIXED_DISTANCE_CODES;
  state->fixed_built = 1;
}

/* The extra bits and base of length symbol `symbol` - 257 (0..28). */
static unsigned length_extra(unsigned code) { return code < 8 || code == 28 ? 0 : code / 4 - 1; }
static unsigned length_base(unsigned code) {
  return code < 8 ? code + 3 : code == 28 ? 258 : ((4 + (code & 3u)) << length_extra(code)) + 3;
}
/* The extra bits and base of distance symbol `code` (0..29). */
static unsigned distance_extra(unsigned code) { return code < 2 ? 0 : code / 2 - 1; }
static unsigned distance_base(unsigned code) {
  return code < 4 ? code + 1 : ((2 + (code & 1u)) << distance_extra(code)) + 1;
}

/* Copies the output of a run (`produced` bytes ending at `end`) into the
   ring, as zlib keeps its window between calls. */
static void keep_in_window(zeq_inflater *state, const uint8_t *end, uint32_t produced) {
  const uint32_t size = state->window_size;
  uint32_t first;
  if (produced >= size) {
    memcpy(state->window, end - size, (size_t)size);
    state->window_next = 0;
    state->window_have = (uint16_t)size;
    return;
  }
  first = size - state->window_next;
  if (first > produced) first = produced;
  memcpy(state->window + state->window_next, end - produced, (size_t)first);
  memcpy(state->window, end - produced + first, (size_t)(produced - first));
  state->window_next = (uint16_t)((state->window_next + produced) & (size - 1));
  first = state->window_have + produced;
  state->window_have = (uint16_t)(first < size ? first : size);
}

void zeq_inflate_init(zeq_inflater *inflater, uint8_t *window, uint32_t window_bits) {
  memset(inflater, 0, sizeof *inflater);
  inflater->window = window;
  inflater->window_size = window != NULL ? (uint16_t)(1u << window_bits) : 0;
  inflater->mode = MODE_HEADER;
}

/* Makes sure `n` bits are in `hold`, taking bytes as needed; leaves the run
   when the input is used up. */
#define NEED(n)                                         \
  do {                                                  \
    while (bits < (unsigned)(n)) {                      \
      if (in_left == 0) goto leave;                     \
      hold |= (uint32_t)*in++ << bits;                  \
      --in_left;                                        \
      bits += 8;                                        \
    }                                                   \
  } while (0)
#define PEEK(n) ((unsigned)(hold & ((1UL << (n)) - 1)))
#define DROP(n) (hold >>= (n), bits -= (unsigned)(n))
/* Finds the next code of a table without using its bits: sets `symbol` and
   `length`, taking bytes until the code is whole. */
#define DECODE(table, root, count, first, codes, list_at)                                \
  for (;;) {                                                                             \
    const unsigned entry = (table)[hold & ((1u << (root)) - 1)];                         \
    length = entry & 15u;                                                                \
    if (length <= bits) {                                                                \
      symbol = entry >> 4;                                                               \
      if (length <= (root) ||                                                            \
          long_code(state, hold, bits, count, root, first, codes, list_at, &symbol,       \
                    &length)) {                                                          \
        break;                                                                           \
      }                                                                                  \
    }                                                                                    \
    if (in_left == 0) goto leave;                                                        \
    hold |= (uint32_t)*in++ << bits;                                                     \
    --in_left;                                                                           \
    bits += 8;                                                                           \
  }

#ifdef ZEQ_FAST_INFLATE
enum {
  /* Input and room before each code of the fast loop: a refill reads 8
     bytes, and a match writes at most 258. */
  FAST_INPUT = 8,
  FAST_ROOM = 258
};

/* The bulk of a block's codes, taken while at least FAST_INPUT bytes of
   input and FAST_ROOM of room are left (`*in_left` and `*room` at least
   that on entry, and fewer than 8 bits held): literals, and matches that reach back only into this
   run's output. One refill per code tops the bits up to at least 56, which
   hold a length and a distance with their extra bits (48 at most). It
   stops before any code the decode loop treats otherwise (the end of the
   block, an invalid symbol), or after a length whose distance is invalid or
   reaches before this run's output, with the mode set to go on from there;
   the whole bytes it holds unused go back to the input. The state is then
   exactly the one the decode loop reaches at that point, so that every
   verdict is the loop's. */
static void decode_fast(zeq_inflater *state, const uint8_t **next_in, uint32_t *in_left,
                        uint8_t **next_out, uint32_t *room, const uint8_t *out_start) {
  const uint8_t *in = *next_in;
  uint8_t *out = *next_out;
  const uint8_t *const in_last = in + (*in_left - FAST_INPUT);
  const uint8_t *const out_last = out + (*room - FAST_ROOM);
  uint64_t hold = state->hold;
  uint32_t distance;
  unsigned bits = state->bits, entry, length, symbol, match;
  while (in <= in_last && out <= out_last) {
    /* The next 8 bytes, low first, above the bits held; whole bytes only. */
    hold |= ((uint64_t)in[0] | (uint64_t)in[1] << 8 | (uint64_t)in[2] << 16 |
             (uint64_t)in[3] << 24 | (uint64_t)in[4] << 32 | (uint64_t)in[5] << 40 |
             (uint64_t)in[6] << 48 | (uint64_t)in[7] << 56) << bits;
    in += (63 - bits) >> 3;
    bits |= 56;
    entry = state->literal_table[hold & ((1u << ZEQ_LITERAL_ROOT_BITS) - 1)];
    length = entry & 15u;
    symbol = entry >> 4;
    if (length > ZEQ_LITERAL_ROOT_BITS &&
        !long_code(state, (uint32_t)hold, bits, state->literal_count, ZEQ_LITERAL_ROOT_BITS, 0,
                   state->literal_codes, 0, &symbol, &length)) {
      break;
    }
    if (symbol < END_OF_BLOCK) {
      DROP(length);
      *out++ = (uint8_t)symbol;
      /* A second literal of the same refill (at least 41 bits are left); any
         other code waits for the next. */
      entry = state->literal_table[hold & ((1u << ZEQ_LITERAL_ROOT_BITS) - 1)];
      if ((entry & 15u) <= ZEQ_LITERAL_ROOT_BITS && entry >> 4 < END_OF_BLOCK) {
        DROP(entry & 15u);
        *out++ = (uint8_t)(entry >> 4);
      }
      continue;
    }
    if (symbol == END_OF_BLOCK || symbol >= LITERAL_SYMBOLS) break;
    DROP(length);
    symbol -= 257;
    length = length_extra(symbol);
    match = length_base(symbol) + PEEK(length);
    DROP(length);
    entry = state->distance_table[hold & ((1u << ZEQ_DISTANCE_ROOT_BITS) - 1)];
    length = entry & 15u;
    symbol = entry >> 4;
    if ((length > ZEQ_DISTANCE_ROOT_BITS &&
         !long_code(state, (uint32_t)hold, bits, state->distance_count, ZEQ_DISTANCE_ROOT_BITS,
                    state->literal_codes, state->distance_codes, state->long_distances_at,
                    &symbol, &length)) ||
        symbol >= DISTANCE_SYMBOLS) {
      state->length = (uint16_t)match;
      state->mode = MODE_DISTANCE;
      break;
    }
    DROP(length);
    length = distance_extra(symbol);
    distance = distance_base(symbol) + PEEK(length);
    DROP(length);
    if (distance > (uint32_t)(out - out_start)) {
      state->length = (uint16_t)match;
      state->distance = (uint16_t)distance;
      state->mode = MODE_COPY;
      break;
    }
    {
      const uint8_t *from = out - distance;
      uint8_t *const end = out + match;
      do { /* a match has at least 3 bytes */
        out[0] = from[0];
        out[1] = from[1];
        out[2] = from[2];
        out += 3, from += 3;
      } while (end - out >= 3);
      while (out < end) *out++ = *from++;
    }
  }
  length = bits >> 3; /* whole bytes held unused */
  in -= length;
  bits &= 7u;
  state->hold = (uint32_t)hold & ((1u << bits) - 1);
  state->bits = (uint8_t)bits;
  *in_left -= (uint32_t)(in - *next_in);
  *room -= (uint32_t)(out - *next_out);
  *next_in = in;
  *next_out = out;
}
#endif

zeq_run zeq_inflate(zeq_inflater *state, zeq_flow *flow) {
  static const uint8_t code_code_order[CODE_CODES] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                      11, 4,  12, 3, 13, 2, 14, 1, 15};
  const uint8_t *in = flow->next_in;
  uint8_t *out = flow->next_out;
  uint8_t *const out_start = out;
  uint32_t in_left = flow->avail_in, room = flow->avail_out, hold = state->hold;
  unsigned bits = state->bits, symbol, length;
  zeq_run result = ZEQ_RUN_GOING;
  for (;;) {
    switch (state->mode) {
      case MODE_HEADER:
        NEED(16);
        if (((hold & 0xFFu) * 256u + (hold >> 8 & 0xFFu)) % 31u != 0 || (hold & 0x0Fu) != 8 ||
            (hold >> 4 & 0x0Fu) > 7) {
          goto corrupt;
        }
        state->mode = hold & 0x2000u ? MODE_DICTIONARY : MODE_BLOCK;
        DROP(16);
        break;
      case MODE_DICTIONARY: /* zlib reads the dictionary's id, then asks for it */
        NEED(32);
        goto corrupt;
      case MODE_BLOCK:
        if (state->last) {
          DROP(bits & 7u);
          state->mode = MODE_TRAILER;
          break;
        }
        NEED(3);
        state->last = (uint8_t)(hold & 1u);
        symbol = (unsigned)(hold >> 1 & 3u);
        DROP(3);
        if (symbol == 0) {
          state->mode = MODE_STORED;
        } else if (symbol == 1) {
          if (!state->fixed_built) build_fixed(state);
          state->mode = MODE_CODES;
        } else if (symbol == 2) {
          state->mode = MODE_TABLE;
        } else {
          goto corrupt;
        }
        break;
      case MODE_STORED:
        DROP(bits & 7u);
        NEED(32);
        if ((hold & 0xFFFFu) != ((hold >> 16) ^ 0xFFFFu)) goto corrupt;
        state->length = (uint16_t)(hold & 0xFFFFu);
        hold = 0;
        bits = 0;
        state->mode = MODE_STORED_COPY;
        /* FALLTHROUGH */
      case MODE_STORED_COPY:
        while (state->length != 0) {
          uint32_t piece = state->length;
          if (in_left == 0) goto leave;
          if (room == 0) goto full;
          if (piece > in_left) piece = in_left;
          if (piece > room) piece = room;
          memcpy(out, in, (size_t)piece);
          out += piece, in += piece;
          room -= piece, in_left -= piece;
          state->length = (uint16_t)(state->length - piece);
        }
        state->mode = MODE_BLOCK;
        break;
      case MODE_TABLE:
        NEED(14);
        state->literal_codes = (uint16_t)(PEEK(5) + 257);
        state->distance_codes = (uint16_t)((hold >> 5 & 31u) + 1);
        state->code_codes = (uint16_t)((hold >> 10 & 15u) + 4);
        DROP(14);
        if (state->literal_codes > LITERAL_SYMBOLS || state->distance_codes > DISTANCE_SYMBOLS) {
          goto corrupt;
        }
        state->fixed_built = 0;
        state->sorted_long = 0;
        state->have = 0;
        memset(state->lengths, 0, (CODE_CODES + 1) / 2);
        state->mode = MODE_CODE_CODE;
        /* FALLTHROUGH */
      case MODE_CODE_CODE:
        while (state->have < state->code_codes) {
          NEED(3);
          set_length(state, code_code_order[state->have++], PEEK(3));
          DROP(3);
        }
        if (!build(state, state->literal_table, CODE_ROOT_BITS, state->distance_count, 0,
                   CODE_CODES, true)) {
          goto corrupt;
        }
        state->have = 0;
        state->mode = MODE_CODE_LENGTHS;
        /* FALLTHROUGH */
      case MODE_CODE_LENGTHS: {
        const unsigned all = (unsigned)state->literal_codes + state->distance_codes;
        while (state->have < all) {
          unsigned extra, repeat, value = 0;
          DECODE(state->literal_table, CODE_ROOT_BITS, state->distance_count, 0, CODE_CODES, 0)
          if (symbol < 16) {
            DROP(length);
            set_length(state, state->have++, symbol);
            continue;
          }
          extra = symbol == 16 ? 2 : symbol == 17 ? 3 : 7;
          NEED(length + extra);
          DROP(length);
          if (symbol == 16) {
            if (state->have == 0) goto corrupt;
            value = length_of(state, state->have - 1u);
          }
          repeat = (symbol == 18 ? 11 : 3) + PEEK(extra);
          DROP(extra);
          if (state->have + repeat > all) goto corrupt;
          while (repeat-- != 0) set_length(state, state->have++, value);
        }
        if (length_of(state, END_OF_BLOCK) == 0 ||
            !build(state, state->literal_table, ZEQ_LITERAL_ROOT_BITS, state->literal_count, 0,
                   state->literal_codes, false) ||
            !build(state, state->distance_table, ZEQ_DISTANCE_ROOT_BITS, state->distance_count,
                   state->literal_codes, state->distance_codes, false)) {
          goto corrupt;
        }
        sort_long_codes(state);
        state->mode = MODE_CODES;
      }
        /* FALLTHROUGH */
      case MODE_CODES:
#ifdef ZEQ_FAST_INFLATE
        /* Not while a code begun in an earlier run is held (8 bits or
           more): the bytes the fast loop gives back must be its own. */
        if (bits < 8 && in_left >= FAST_INPUT && room >= FAST_ROOM) {
          state->hold = hold;
          state->bits = (uint8_t)bits;
          decode_fast(state, &in, &in_left, &out, &room, out_start);
          hold = state->hold;
          bits = state->bits;
          if (state->mode != MODE_CODES) break;
        }
#endif
        for (;;) {
          DECODE(state->literal_table, ZEQ_LITERAL_ROOT_BITS, state->literal_count, 0,
                 state->literal_codes, 0)
          if (symbol >= END_OF_BLOCK) break;
          if (room == 0) goto full;
          DROP(length);
          *out++ = (uint8_t)symbol;
          --room;
        }
        DROP(length);
        if (symbol == END_OF_BLOCK) {
          state->mode = MODE_BLOCK;
          break;
        }
        if (symbol >= LITERAL_SYMBOLS) goto corrupt;
        state->have = (uint16_t)(symbol - 257);
        state->mode = MODE_LENGTH_EXTRA;
        /* FALLTHROUGH */
      case MODE_LENGTH_EXTRA:
        symbol = length_extra(state->have);
        NEED(symbol);
        state->length = (uint16_t)(length_base(state->have) + PEEK(symbol));
        DROP(symbol);
        state->mode = MODE_DISTANCE;
        /* FALLTHROUGH */
      case MODE_DISTANCE:
        DECODE(state->distance_table, ZEQ_DISTANCE_ROOT_BITS, state->distance_count,
               state->literal_codes, state->distance_codes, state->long_distances_at)
        DROP(length);
        if (symbol >= DISTANCE_SYMBOLS) goto corrupt;
        state->have = (uint16_t)symbol;
        state->mode = MODE_DISTANCE_EXTRA;
        /* FALLTHROUGH */
      case MODE_DISTANCE_EXTRA:
        symbol = distance_extra(state->have);
        NEED(symbol);
        state->distance = (uint16_t)(distance_base(state->have) + PEEK(symbol));
        DROP(symbol);
        state->mode = MODE_COPY;
        /* FALLTHROUGH */
      case MODE_COPY:
        /* Checked against this run's output and the window, and again when
           a later run goes on with the match, as zlib does. zlib checks
           only once a byte is due, yet what it would do with room is the
           verdict on a full output, so the check comes first. */
        while (state->length != 0) {
          const uint32_t written = (uint32_t)(out - out_start), distance = state->distance;
          uint32_t piece = state->length;
          if (distance > written && distance - written > state->window_have) {
            state->mode = MODE_TOO_FAR;
            break;
          }
          if (room == 0) goto full;
          if (piece > room) piece = room;
          if (distance > written) {
            const uint32_t back = distance - written; /* into the window */
            uint32_t from;
            from = state->window_next >= back ? state->window_next - back
                                              : state->window_next + state->window_size - back;
            if (piece > back) piece = back;
            if (piece > state->window_size - from) piece = state->window_size - from;
            memcpy(out, state->window + from, (size_t)piece);
            out += piece;
          } else if (distance >= piece) {
            memcpy(out, out - distance, (size_t)piece);
            out += piece;
          } else {
            const uint8_t *from = out - distance;
            uint32_t left = piece;
            while (left-- != 0) *out++ = *from++;
          }
          room -= piece;
          state->length = (uint16_t)(state->length - piece);
        }
        if (state->mode == MODE_COPY) state->mode = MODE_CODES;
        break;
      case MODE_TRAILER:
        NEED(32); /* the Adler-32, which the caller checks */
        hold = 0;
        bits = 0;
        state->mode = MODE_DONE;
        /* FALLTHROUGH */
      case MODE_DONE:
        result = ZEQ_RUN_ENDED;
        goto leave;
      case MODE_TOO_FAR:
        result = ZEQ_RUN_TOO_FAR;
        goto leave;
      default:
        result = ZEQ_RUN_CORRUPT;
        goto leave;
    }
  }
corrupt:
  state->mode = MODE_CORRUPT;
  result = ZEQ_RUN_CORRUPT;
  goto leave;
full:
  result = ZEQ_RUN_FULL;
leave:
  state->hold = hold;
  state->bits = (uint8_t)bits;
  flow->next_in = in;
  flow->avail_in = in_left;
  flow->next_out = out;
  flow->avail_out = room;
  flow->total_out += (uint32_t)(out - out_start);
  if (state->window != NULL && out != out_start) {
    keep_in_window(state, out, (uint32_t)(out - out_start));
  }
  return result;
}

uint32_t zeq_inflate_adler32(uint32_t adler, const uint8_t *bytes, uint32_t length) {
  uint32_t low = adler & 0xFFFFu, high = adler >> 16;
  while (length != 0) {
    uint32_t run = length < ADLER_RUN ? length : ADLER_RUN;
    length -= run;
#ifdef ZEQ_FAST_INFLATE
    for (; run >= 4; run -= 4, bytes += 4) {
      low += bytes[0], high += low;
      low += bytes[1], high += low;
      low += bytes[2], high += low;
      low += bytes[3], high += low;
    }
#endif
    for (; run != 0; --run) low += *bytes++, high += low;
    low %= ADLER_BASE;
    high %= ADLER_BASE;
  }
  return high << 16 | low;
}

/* --- the loader's inflater binding -------------------------------------- */

struct zeq_engine {
  zeq_inflater inflater;
};

size_t zeq_engine_decode_bytes(const zeq_info *info) {
  (void)info;
  return zeq_round_up(sizeof(zeq_engine));
}

size_t zeq_engine_stream_bytes(uint32_t window_bits) {
  return zeq_round_up(sizeof(zeq_engine)) + zeq_round_up((size_t)1 << window_bits);
}

zeq_status zeq_engine_decode(const uint8_t *block, uint32_t block_length, uint8_t *pixels,
                             uint32_t raw_length, zeq_arena *pool) {
  zeq_engine *const engine = zeq_arena_take(pool, sizeof(zeq_engine));
  zeq_flow flow;
  zeq_run run;
  if (engine == NULL) return ZEQ_E_WORKSPACE_TOO_SMALL;
  zeq_inflate_init(&engine->inflater, NULL, ZEQ_LARGEST_WINDOW_BITS);
  flow.next_in = block;
  flow.avail_in = block_length;
  flow.next_out = pixels;
  flow.avail_out = raw_length;
  flow.total_out = 0;
  run = zeq_inflate(&engine->inflater, &flow);
  switch (run) {
    case ZEQ_RUN_ENDED:
      /* The stream's last 4 bytes, just read, are its Adler-32. */
      if (zeq_inflate_adler32(1, pixels, flow.total_out) != zeq_load32_big_endian(flow.next_in - 4)) {
        return ZEQ_E_CHECKSUM_MISMATCH;
      }
      if (flow.avail_out != 0) return ZEQ_E_INFLATED_TOO_SHORT;
      return flow.avail_in != 0 ? ZEQ_E_TRAILING_BYTES : ZEQ_OK;
    case ZEQ_RUN_FULL: return ZEQ_E_INFLATED_TOO_LONG;
    case ZEQ_RUN_GOING: return ZEQ_E_STREAM_TRUNCATED;
    default: return ZEQ_E_STREAM_CORRUPT;
  }
}

zeq_engine *zeq_engine_open(zeq_arena *pool, uint32_t window_bits) {
  zeq_engine *const engine = zeq_arena_take(pool, sizeof(zeq_engine));
  uint8_t *const window = zeq_arena_take(pool, (size_t)1 << window_bits);
  if (engine == NULL || window == NULL) return NULL;
  zeq_inflate_init(&engine->inflater, window, window_bits);
  return engine;
}

zeq_run zeq_engine_run(zeq_engine *engine, zeq_flow *flow) {
  return zeq_inflate(&engine->inflater, flow);
}

size_t zeq_engine_reserved(const zeq_engine *engine, const zeq_arena *pool) {
  (void)engine;
  (void)pool;
  return 0; /* everything is taken when the stream opens */
}

uint32_t zeq_engine_adler32(uint32_t adler, const uint8_t *bytes, uint32_t length) {
  return zeq_inflate_adler32(adler, bytes, length);
}

#else
/* ISO C wants at least one declaration in a translation unit. */
typedef int zeq_inflate_unused;
#endif /* ZEQ_USE_ZLIB */
