/*
 * zeq_loader: reads ZEQ files on a device, with no heap and a RAM need that
 * is known before it runs. Drop zeq_loader.h and zeq_loader.c into a
 * firmware project as they are: plain C99 with no heap, stdio or global
 * state, needing only zlib's inflate; C++ programs link it as well.
 *
 * Two ways to use it:
 *  - zeq_decode: the whole file in memory (for example mapped from flash),
 *    the pixels into a framebuffer;
 *  - zeq_stream_open / zeq_stream_rows / zeq_stream_finish: the file through
 *    a read callback, a few rows at a time (for example to an SPI panel).
 * Both check everything that zeq2png checks and give each failure its own
 * status. The caller passes a workspace of zeq_workspace_size() bytes; zlib's
 * state (and a stream's window) live in it and nothing is allocated.
 */
#ifndef ZEQ_LOADER_H
#define ZEQ_LOADER_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The format's facts. A ZEQ file is a header of six little-endian 32-bit
   fields (magic, pixel format, width, height, rawLength, compressedLength)
   followed by the pixels, raw or as one zlib stream. */
#define ZEQ_MAGIC 0x0B5E0B5E /* the first field; on disk the bytes 5E 0B 5E 0B */
#define ZEQ_HEADER_SIZE 24
#define ZEQ_PROBE_SIZE 26 /* the header and a zlib header: what zeq_parse_header needs */
#define ZEQ_MAX_WIDTH 1024
#define ZEQ_MAX_HEIGHT 768
/* Pixel formats: the hexadecimal digits give each channel's bits, alpha first. */
#define ZEQ_FORMAT_GREY8 0x0008
#define ZEQ_FORMAT_GREYA88 0x8008
#define ZEQ_FORMAT_RGB888 0x0888
#define ZEQ_FORMAT_RGBA8888 0x8888
#define ZEQ_FORMAT_RGB565 0x0565    /* one 16-bit word, low byte first, red in the low bits */
#define ZEQ_FORMAT_RGBA5658 0x8565  /* the RGB565 word, then 8 bits of alpha */

/* The bytes one pixel of `format` takes; 0 for a code no ZEQ file carries. */
size_t zeq_bytes_per_pixel(uint32_t format);

typedef struct zeq_info {
  uint32_t pixel_format, width, height, bytes_per_pixel, raw_length, compressed_length;
  uint32_t window_bits; /* 0 for raw pixels, else 8..15 from the stream's zlib header */
} zeq_info;

typedef int zeq_status; /* ZEQ_OK, or one of the ZEQ_E_... codes below */

#define ZEQ_OK 0
/* The file: the same checks, in the same order, as zeq2png. */
#define ZEQ_E_FILE_EMPTY (-1)           /* no bytes at all */
#define ZEQ_E_HEADER_TRUNCATED (-2)     /* ends inside the header */
#define ZEQ_E_BAD_MAGIC (-3)            /* does not start with 5E 0B 5E 0B */
#define ZEQ_E_UNKNOWN_PIXEL_FORMAT (-4) /* none of the six format codes */
#define ZEQ_E_WIDTH_OUT_OF_RANGE (-5)   /* width not 1..1024 */
#define ZEQ_E_HEIGHT_OUT_OF_RANGE (-6)  /* height not 1..768 */
#define ZEQ_E_RAW_LENGTH_MISMATCH (-7)  /* rawLength != width x height x bytes per pixel */
#define ZEQ_E_FILE_SIZE_MISMATCH (-8)   /* file size != 24 + data length */
#define ZEQ_E_STREAM_CORRUPT (-9)       /* not a valid zlib stream */
#define ZEQ_E_STREAM_TRUNCATED (-10)    /* the block ends before its stream does */
#define ZEQ_E_CHECKSUM_MISMATCH (-11)   /* the Adler-32 does not match */
#define ZEQ_E_INFLATED_TOO_SHORT (-12)  /* fewer than rawLength bytes */
#define ZEQ_E_INFLATED_TOO_LONG (-13)   /* more than rawLength bytes */
#define ZEQ_E_TRAILING_BYTES (-14)      /* bytes after the stream's end */
/* Streaming only: a distance reaches further back than the window that the
   zlib header declares (smaller than 32 KiB), which a stream cannot hold. */
#define ZEQ_E_BEYOND_WINDOW (-15)
/* The caller's side. */
#define ZEQ_E_PIXELS_TOO_SMALL (-16)    /* pixel buffer smaller than rawLength */
#define ZEQ_E_WORKSPACE_TOO_SMALL (-17) /* workspace smaller than zeq_workspace_size() */
#define ZEQ_E_BAD_CALL (-18)            /* null argument, rows beyond the image, finish
                                           before the last row, or a call after finish */

/* Checks the header at `bytes` (`size` bytes available) the way zeq2png
   does: magic, format, width 1..1024, height 1..768 and rawLength. For a
   compressed file it needs 26 bytes and reads the window size from the zlib
   header. Does not check the file's length. Fills `info` (zeroed first) as
   far as the checks got. */
zeq_status zeq_parse_header(const uint8_t *bytes, size_t size, zeq_info *info);

/* The workspace, in bytes, that zeq_decode (streaming 0) or a stream
   (streaming 1) needs for a file with this header; exact for the zlib it
   is built with, whatever the workspace's alignment. */
size_t zeq_workspace_size(const zeq_info *info, int streaming);

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

/* One sentence for every status; "unknown status" for other values. */
const char *zeq_status_text(zeq_status status);

#ifdef __cplusplus
}
#endif

#endif /* ZEQ_LOADER_H */
