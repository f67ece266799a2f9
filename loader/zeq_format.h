/* SPDX-License-Identifier: MIT */
/*
 * zeq_format.h: the ZEQ format's facts, each written once, as preprocessor
 * definitions and lists that C, C++ and CMake all read. zeq_loader.h
 * includes it; firmware includes zeq_loader.h alone. The CMake package reads
 * the `#define` lines of this file (never its comments), so every fact a
 * build step needs stays a plain `#define NAME number`.
 */
#ifndef ZEQ_FORMAT_H
#define ZEQ_FORMAT_H

/* A ZEQ file is a header of six little-endian 32-bit fields followed by the
   pixels, raw (compressedLength 0) or as one zlib stream. */
#define ZEQ_MAGIC 0x0B5E0B5E
#define ZEQ_MAGIC_BYTES_TEXT "5E 0B 5E 0B" /* the magic as it stands on disk */
#define ZEQ_HEADER_SIZE 24
#define ZEQ_OFFSET_MAGIC 0
#define ZEQ_OFFSET_PIXEL_FORMAT 4
#define ZEQ_OFFSET_WIDTH 8
#define ZEQ_OFFSET_HEIGHT 12
#define ZEQ_OFFSET_RAW_LENGTH 16        /* width x height x bytes per pixel */
#define ZEQ_OFFSET_COMPRESSED_LENGTH 20 /* the zlib stream's length, 0 for raw pixels */
/* The fields in file order: X(OFFSET suffix, name as messages spell it). */
#define ZEQ_HEADER_FIELDS(X) \
  X(MAGIC, magic)                \
  X(PIXEL_FORMAT, pixelFormat)   \
  X(WIDTH, width)                \
  X(HEIGHT, height)              \
  X(RAW_LENGTH, rawLength)       \
  X(COMPRESSED_LENGTH, compressedLength)

/* Width 1..ZEQ_MAX_WIDTH and height 1..ZEQ_MAX_HEIGHT. */
#define ZEQ_MAX_WIDTH 1024
#define ZEQ_MAX_HEIGHT 768

/* The deflate window as a power of two. png2zeq -window writes 9 (512
   bytes, two rows of small pixels) to 15 (zlib's full 32 KiB, its default);
   the readers accept every window a zlib header can declare, 8 to 15. */
#define ZEQ_WINDOW_BITS_MIN 9
#define ZEQ_WINDOW_BITS_MAX 15
#define ZEQ_WINDOW_BITS_READ_MIN 8

/* Pixel formats: the hexadecimal digits give each channel's bits, alpha
   first. */
#define ZEQ_FORMAT_GREY8 0x0008
#define ZEQ_FORMAT_GREYA88 0x8008
#define ZEQ_FORMAT_RGB888 0x0888
#define ZEQ_FORMAT_RGBA8888 0x8888
#define ZEQ_FORMAT_RGB565 0x0565    /* one 16-bit word, low byte first, red in the low bits */
#define ZEQ_FORMAT_RGBA5658 0x8565  /* the RGB565 word, then 8 bits of alpha */
/* Every format, X(NAME, grey, red, green, blue, alpha): its code is
   ZEQ_FORMAT_<NAME> and the numbers are its channels' bits, 0 for a channel
   it lacks. A pixel is a little-endian number of ZEQ_BYTES_PER_PIXEL_OF bytes
   holding its channels from the lowest bits up in that order: grey or red,
   green, blue, then alpha. */
#define ZEQ_PIXEL_FORMATS(X) \
  X(GREY8, 8, 0, 0, 0, 0)     \
  X(GREYA88, 8, 0, 0, 0, 8)   \
  X(RGB888, 0, 8, 8, 8, 0)    \
  X(RGBA8888, 0, 8, 8, 8, 8)  \
  X(RGB565, 0, 5, 6, 5, 0)    \
  X(RGBA5658, 0, 5, 6, 5, 8)
/* The bytes a pixel of these channel bits takes: its bits, rounded up to whole bytes. */
#define ZEQ_BYTES_PER_PIXEL_OF(grey, red, green, blue, alpha) \
  (((grey) + (red) + (green) + (blue) + (alpha) + 7) / 8)

/* Statuses. The file's verdicts come first, in the order both the loader
   and zeq2png check; then the statuses of a stream's window and of the
   caller, which zeq2png has no counterpart for. */
#define ZEQ_OK 0
#define ZEQ_E_FILE_EMPTY (-1)
#define ZEQ_E_HEADER_TRUNCATED (-2)
#define ZEQ_E_BAD_MAGIC (-3)
#define ZEQ_E_UNKNOWN_PIXEL_FORMAT (-4)
#define ZEQ_E_WIDTH_OUT_OF_RANGE (-5)
#define ZEQ_E_HEIGHT_OUT_OF_RANGE (-6)
#define ZEQ_E_RAW_LENGTH_MISMATCH (-7)
#define ZEQ_E_FILE_SIZE_MISMATCH (-8)
#define ZEQ_E_STREAM_CORRUPT (-9)
#define ZEQ_E_STREAM_TRUNCATED (-10)
#define ZEQ_E_CHECKSUM_MISMATCH (-11)
#define ZEQ_E_INFLATED_TOO_SHORT (-12)
#define ZEQ_E_INFLATED_TOO_LONG (-13)
#define ZEQ_E_TRAILING_BYTES (-14)
/* Streaming only: a distance reaches further back than the window that the
   zlib header declares (smaller than 32 KiB), which a stream cannot hold. */
#define ZEQ_E_BEYOND_WINDOW (-15)
#define ZEQ_E_PIXELS_TOO_SMALL (-16)
#define ZEQ_E_WORKSPACE_TOO_SMALL (-17)
#define ZEQ_E_BAD_CALL (-18)
/* Each status with its sentence, X(status, sentence): zeq_status_text gives
   the sentence, and zeq2png prints the same one for the same verdict, or its
   own longer one where its result table (zeq_result.h) says so. */
#define ZEQ_FILE_STATUSES(X)                                                                   \
  X(ZEQ_OK, "The ZEQ file is valid.")                                                          \
  X(ZEQ_E_FILE_EMPTY, "The file is empty.")                                                    \
  X(ZEQ_E_HEADER_TRUNCATED, "The file ends inside its header.")                                \
  X(ZEQ_E_BAD_MAGIC, "The file does not start with the ZEQ magic " ZEQ_MAGIC_BYTES_TEXT ".")   \
  X(ZEQ_E_UNKNOWN_PIXEL_FORMAT, "The pixel format code is not a ZEQ format.")                  \
  X(ZEQ_E_WIDTH_OUT_OF_RANGE, "The width is not within 1 to " ZEQ_FACT_TEXT(ZEQ_MAX_WIDTH) ".") \
  X(ZEQ_E_HEIGHT_OUT_OF_RANGE,                                                                 \
    "The height is not within 1 to " ZEQ_FACT_TEXT(ZEQ_MAX_HEIGHT) ".")                        \
  X(ZEQ_E_RAW_LENGTH_MISMATCH, "rawLength is not width x height x bytes per pixel.")           \
  X(ZEQ_E_FILE_SIZE_MISMATCH,                                                                  \
    "The file size is not " ZEQ_FACT_TEXT(ZEQ_HEADER_SIZE) " + the data length.")              \
  X(ZEQ_E_STREAM_CORRUPT, "The compressed block is not a valid zlib stream.")                  \
  X(ZEQ_E_STREAM_TRUNCATED, "The compressed block ends before its zlib stream does.")          \
  X(ZEQ_E_CHECKSUM_MISMATCH, "The zlib stream's Adler-32 does not match.")                     \
  X(ZEQ_E_INFLATED_TOO_SHORT, "The zlib stream inflates to fewer than rawLength bytes.")       \
  X(ZEQ_E_INFLATED_TOO_LONG, "The zlib stream inflates to more than rawLength bytes.")         \
  X(ZEQ_E_TRAILING_BYTES, "Bytes follow the end of the zlib stream.")
#define ZEQ_OTHER_STATUSES(X)                                                                  \
  X(ZEQ_E_BEYOND_WINDOW,                                                                       \
    "The zlib stream reaches further back than the window its header declares.")               \
  X(ZEQ_E_PIXELS_TOO_SMALL, "The pixel buffer is smaller than rawLength.")                     \
  X(ZEQ_E_WORKSPACE_TOO_SMALL, "The workspace is smaller than zeq_workspace_size.")            \
  X(ZEQ_E_BAD_CALL, "A null argument, rows beyond the image, finish before the last row, or "  \
                    "a call after finish.")
#define ZEQ_STATUSES(X) ZEQ_FILE_STATUSES(X) ZEQ_OTHER_STATUSES(X)

/* A fact as the text it is written with here (the magic as eight
   hexadecimal digits, say), for sentences that quote it. */
#define ZEQ_FACT_TEXT(fact) ZEQ_FACT_TEXT_OF(fact)
#define ZEQ_FACT_TEXT_OF(text) #text

#endif /* ZEQ_FORMAT_H */
