/* SPDX-License-Identifier: MIT */
/*
 * zeq_loader: reads ZEQ files on a device, with no heap and a RAM need that
 * is known before it runs. Drop the files of loader/ into a firmware
 * project as they are (or add_subdirectory() it): plain C99 with no heap,
 * stdio or global state, needing nothing but the C compiler, as the loader
 * inflates with its own inflater. Built with ZEQ_USE_ZLIB defined, it uses
 * zlib's inflate instead, faster and larger. C++ programs link it as well.
 * The panel layouts (at the end of this header) have a source file of
 * their own, which a firmware that needs only the file's own pixels leaves
 * out (docs/loader.md).
 *
 * Two ways to use it:
 *  - zeq_decode: the whole file in memory (for example mapped from flash),
 *    the pixels into a framebuffer;
 *  - zeq_stream_open / zeq_stream_rows / zeq_stream_finish: the file through
 *    a read callback, a few rows at a time (for example to an SPI panel).
 * Both check everything that zeq2png checks and give each failure its own
 * status. The caller passes a workspace of zeq_workspace_size() bytes; the
 * inflater's state (and a stream's window) live in it and nothing is
 * allocated.
 */
#ifndef ZEQ_LOADER_H
#define ZEQ_LOADER_H

#include <stddef.h>
#include <stdint.h>

/* The format's facts (magic, header layout, limits, pixel formats, window
   range, statuses and their sentences) live in zeq_format.h. */
#include "zeq_format.h"

#ifdef __cplusplus
extern "C" {
#endif

#define ZEQ_PROBE_SIZE 26 /* the header and a zlib header: what zeq_parse_header needs */

/* The bytes one pixel of `format` takes; 0 for a code no ZEQ file carries. */
size_t zeq_bytes_per_pixel(uint32_t format);

typedef struct zeq_info {
  uint32_t pixel_format, width, height, bytes_per_pixel, raw_length, compressed_length;
  uint32_t window_bits; /* 0 for raw pixels, else ZEQ_WINDOW_BITS_READ_MIN..ZEQ_WINDOW_BITS_MAX
                           from the stream's zlib header */
} zeq_info;

typedef int zeq_status; /* ZEQ_OK, or one of the ZEQ_E_... codes of zeq_format.h */

/* Checks the header at `bytes` (`size` bytes available) the way zeq2png
   does: magic, format, width 1..ZEQ_MAX_WIDTH, height 1..ZEQ_MAX_HEIGHT and
   rawLength. For a compressed file it needs ZEQ_PROBE_SIZE bytes and reads
   the window size from the zlib header. Does not check the file's length.
   Fills `info` (zeroed first) as far as the checks got. */
zeq_status zeq_parse_header(const uint8_t *bytes, size_t size, zeq_info *info);

/* The workspace, in bytes, that zeq_decode (streaming 0) or a stream
   (streaming 1) needs for a file with this header; exact for the inflater
   the loader is built with (its own, or zlib with ZEQ_USE_ZLIB), whatever
   the workspace's alignment. */
size_t zeq_workspace_size(const zeq_info *info, int streaming);

/* Compile-time upper bounds of zeq_workspace_size(), for a static workspace
   that is always enough: ZEQ_STREAM_WORKSPACE_BOUND(window_bits) for a
   stream of any file whose zlib header declares that window (0 or 8..15;
   zeq_info.window_bits), ZEQ_DECODE_WORKSPACE_BOUND for zeq_decode of any
   file. They are those of the inflater the loader is built with, so a
   program that includes this header must see ZEQ_USE_ZLIB as the loader
   does (png2zeq::zeq_loader passes it on). They hold on 8-, 16-, 32- and
   64-bit targets, at most 512 bytes over the exact figure. How they add up:
    - up to 15 bytes to align a workspace at any address (the strictest
      alignment is 16 bytes on 64-bit hosts, 8 on a Cortex-M, 1 on an AVR);
    - the inflater's state: the own one's 1,360 bytes on 64-bit hosts
      (1,352 on a Cortex-M); zlib's, the same structure in zlib 1.2.11 to
      1.3.1, 7160 bytes with 64-bit longs and pointers, 7120 with 32-bit
      ones, rounded up to 16, 7168, and its z_stream record, up to 128;
    - a stream's own record, up to 144 bytes on 64-bit hosts (less on a
      Cortex-M), and its input buffer of 64 bytes (512 with zlib, whose fast
      path wants input at hand); the window is
      2^window_bits bytes, a multiple of every alignment;
    - zeq_decode: no window (the own inflater reads back from the pixels;
      zlib gets 256 bytes to judge a stream that runs on).
   Own inflater: stream 15 + 144 + 64 + 1360 = 1583, decode 15 + 1360 =
   1375. zlib: stream 7168 + 128 + 15 + 144 + 512 = 7967, decode 7168 + 15 +
   256 = 7439. Each is rounded up to a multiple of 64. */
#define ZEQ_OWN_STREAM_WORKSPACE_OVERHEAD 1600u
#define ZEQ_OWN_DECODE_WORKSPACE_BOUND 1408u
#define ZEQ_ZLIB_STREAM_WORKSPACE_OVERHEAD 8000u
#define ZEQ_ZLIB_DECODE_WORKSPACE_BOUND 7488u
#ifdef ZEQ_USE_ZLIB
#define ZEQ_STREAM_WORKSPACE_OVERHEAD ZEQ_ZLIB_STREAM_WORKSPACE_OVERHEAD
#define ZEQ_DECODE_WORKSPACE_BOUND ZEQ_ZLIB_DECODE_WORKSPACE_BOUND
#else
#define ZEQ_STREAM_WORKSPACE_OVERHEAD ZEQ_OWN_STREAM_WORKSPACE_OVERHEAD
#define ZEQ_DECODE_WORKSPACE_BOUND ZEQ_OWN_DECODE_WORKSPACE_BOUND
#endif
#define ZEQ_STREAM_WORKSPACE_BOUND(window_bits) \
  (ZEQ_STREAM_WORKSPACE_OVERHEAD + ((size_t)1 << (window_bits)))

/* Checks the whole file at `file` (`size` bytes) and writes its rawLength
   bytes of pixels to `pixels`. Refuses a pixel buffer smaller than rawLength
   and a workspace smaller than zeq_workspace_size(info, 0), touching neither
   beyond its size. On failure the pixels are unspecified. */
zeq_status zeq_decode(const uint8_t *file, size_t size, uint8_t *pixels, size_t pixels_size,
                      void *workspace, size_t workspace_size);

/* Reads up to `length` bytes into `buffer`; returns how many (fewer is
   fine), 0 at the end of the file or on a read error. */
typedef size_t (*zeq_read_fn)(void *context, uint8_t *buffer, size_t length);

typedef struct zeq_stream zeq_stream;

/* Reads and checks the header through `read` and sets up a stream inside
   `workspace`, which must stay valid until zeq_stream_finish. Size the
   workspace first with zeq_parse_header on the file's first 26 bytes and
   zeq_workspace_size(info, 1); a smaller one is refused after the header is
   read. Fills `info`. A stream asks `read` for no byte beyond the data the
   header announces, except one in zeq_stream_finish to check that the file
   ends there; on a damaged zlib stream it reads on to the end of the data
   before failing, so that a file of the wrong size is reported as such. */
zeq_status zeq_stream_open(zeq_stream **stream, zeq_read_fn read, void *context, void *workspace,
                           size_t workspace_size, zeq_info *info);

/* Writes the next `row_count` rows (row_count x width x bytes per pixel
   bytes) to `rows`. A failure stays: later calls return it again. */
zeq_status zeq_stream_rows(zeq_stream *stream, uint8_t *rows, uint32_t row_count);

/* After the last row: checks the Adler-32, that the stream ends where its
   block ends and that nothing follows the file's data. */
zeq_status zeq_stream_finish(zeq_stream *stream);

/* One sentence for every status; "unknown status" for other values. Built
   with ZEQ_NO_STATUS_TEXT defined, "" for every value: the sentences are
   left out, for targets where read-only data takes RAM (on an AVR with
   avr-gcc 5.4 -Os, 949 bytes of RAM and 973 of flash). */
const char *zeq_status_text(zeq_status status);

/* --- Panel layouts: rows written as the display takes them ------------------

   Conversion is exact, so host and device give the same bytes: 5- and 6-bit
   channels are widened by bit replication (v << 3 | v >> 2, v << 2 | v >> 4),
   grey gives r = g = b, and channels are narrowed by dropping low bits. A
   source with alpha written to a layout without alpha is blended per channel
   in 8 bits, out = (s * a + d * (255 - a) + 127) / 255, over `background` or
   over the pixel already in the buffer; ARGB8888 keeps straight alpha and
   gives opaque sources 0xFF. Rows are converted in the caller's buffer with
   at most 256 bytes of stack more. */

/* Layouts the loader can write. A 16-bit or 32-bit "word" is stored as the layout says. */
#define ZEQ_LAYOUT_STORED    0 /* the file's own pixels, as zeq_decode writes them */
#define ZEQ_LAYOUT_RGB565    1 /* word r<<11 | g<<5 | b, low byte first (framebuffers on little-endian MCUs) */
#define ZEQ_LAYOUT_RGB565_BE 2 /* the same word, high byte first (most SPI and 8080-bus panels) */
#define ZEQ_LAYOUT_BGR565_BE 3 /* word b<<11 | g<<5 | r, high byte first: the stored RGB565 word byte-swapped (panels set to BGR order) */
#define ZEQ_LAYOUT_RGB888    4 /* bytes R, G, B */
#define ZEQ_LAYOUT_ARGB8888  5 /* word a<<24 | r<<16 | g<<8 | b, low byte first */

typedef struct zeq_output {
  uint32_t layout;            /* ZEQ_LAYOUT_... */
  uint32_t background;        /* 0xRRGGBB under pixels with alpha, for layouts without alpha */
  int blend_onto_destination; /* nonzero: blend over the pixels already in the buffer (in `layout`) instead of `background` */
} zeq_output;

/* Bytes per pixel of `layout` for a file with this header (for STORED, the file's own); 0 for an unknown layout. */
size_t zeq_layout_bytes_per_pixel(const zeq_info *info, uint32_t layout);
/* The workspace the _to calls need: for a stream, zeq_workspace_size(info, 1); for a whole decode, zeq_workspace_size(info, 0) when the layout is
   STORED or at least as wide as the file's pixels (they are inflated into the buffer and converted in place), else zeq_workspace_size(info, 1)
   (narrower pixels cannot be inflated in place, so the stream's window is needed); in each case at most one row of the file's pixels more
   when blending onto the destination. */
/* In detail: the row is added only for a file with alpha, and then a whole
   decode streams too, as the destination leaves no room to inflate in place:
   zeq_workspace_size(info, 1) and the row. 0 for an output the _to calls
   refuse. */
size_t zeq_output_workspace_size(const zeq_info *info, int streaming, const zeq_output *output);
/* As zeq_decode and zeq_stream_rows, writing `output->layout`; pixels_size / rows hold width x height (row_count) x zeq_layout_bytes_per_pixel. */
/* An unknown layout, or blend_onto_destination with STORED or ARGB8888, is
   ZEQ_E_BAD_CALL; a buffer or workspace below the figures above is refused
   (ZEQ_E_PIXELS_TOO_SMALL, ZEQ_E_WORKSPACE_TOO_SMALL), never overrun. A
   whole decode that streams gives a stream's verdicts (ZEQ_E_BEYOND_WINDOW
   included). A stream may mix zeq_stream_rows and zeq_stream_rows_to; when
   blending onto the destination its workspace must be sized by
   zeq_output_workspace_size, else the call returns ZEQ_E_WORKSPACE_TOO_SMALL
   and the stream stays usable. */
zeq_status zeq_decode_to(const uint8_t *file, size_t size, const zeq_output *output, uint8_t *pixels, size_t pixels_size, void *workspace, size_t workspace_size);
zeq_status zeq_stream_rows_to(zeq_stream *stream, const zeq_output *output, uint8_t *rows, uint32_t row_count);

#ifdef __cplusplus
}
#endif

#endif /* ZEQ_LOADER_H */
