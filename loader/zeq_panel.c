/* SPDX-License-Identifier: MIT */
/* zeq_panel: the loader's panel layouts and blending (zeq_output,
   zeq_decode_to, zeq_stream_rows_to), built on the loader's checked entry
   points in zeq_internal.h. A firmware that needs only the file's own
   pixels leaves this file out. */

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "zeq_internal.h"

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
  return zeq_round_up((size_t)info->width * (size_t)info->bytes_per_pixel);
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
    stream->staged_row = zeq_stream_take_row(stream);
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
    status = zeq_stream_pixels(stream, in, piece * info->bytes_per_pixel);
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
  status = zeq_check_file(file, size, &info);
  if (status != ZEQ_OK) return status;
  frame_bytes = info.width * info.height;
  frame_bytes *= (uint32_t)zeq_layout_bytes_per_pixel(&info, output->layout);
  if (pixels == NULL || pixels_size < frame_bytes) return ZEQ_E_PIXELS_TOO_SMALL;
  need = zeq_output_workspace_size(&info, 0, output);
  if (need != 0 && (workspace == NULL || workspace_size < need)) return ZEQ_E_WORKSPACE_TOO_SMALL;
  if (converts_in_place(&info, output)) {
    status = zeq_decode_checked(file, &info, pixels, workspace, workspace_size);
    if (status == ZEQ_OK) convert(&info, output, pixels, pixels, info.width * info.height);
    return status;
  }
  source.next = file;
  source.left = size;
  status = zeq_stream_open(&stream, read_memory, &source, workspace, workspace_size, &info);
  if (status == ZEQ_OK) status = zeq_stream_rows_to(stream, output, pixels, info.height);
  return status == ZEQ_OK ? zeq_stream_finish(stream) : status;
}
