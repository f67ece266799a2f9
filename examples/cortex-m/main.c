/* The loader on a Cortex-M4 (QEMU's mps2-an386 board). Each image compiled
   in by png2zeq_add_images(... EMBED) is decoded to every output of
   checksum.h (each layout over a background, and onto a patterned
   destination) four ways: whole with zeq_decode_to (zeq_decode for the
   stored pixels) into a word-aligned framebuffer and into one at an odd
   address, and as a stream of 1 and of 7 rows per call (zeq_stream_rows_to,
   or zeq_stream_rows) through a read function that hands out one byte at a
   time.
   The rows and every workspace start at odd addresses while unaligned
   accesses fault (startup.c). Streams get only the workspace that the
   loader's compile-time bound names for their window (and one row of the
   file's pixels when blending onto the destination), and the device checks
   the bounds against zeq_workspace_size() for every window. Over
   semihosting it reports the loader's workspace and, per decode, a checksum
   of the pixels and the instructions the loader took (under
   `-icount shift=0`):

     panel rgb565be decode checksum 0x1c2d3e4f instructions 3456789

   main returns 0 when every decode succeeded. */
#include <stddef.h>
#include <stdint.h>

#include "checksum.h"
#include "firmware_images.h"
#include "semihosting.h"
#include "timing.h"
#include "zeq_loader.h"

/* The largest image: 320 x 240 pixels of up to 4 bytes (ARGB8888). */
enum {
  MOST_ROW_BYTES = 320 * 4,
  FRAME_BYTES = 240 * MOST_ROW_BYTES,
  MOST_ROWS_PER_CALL = 7,
  LARGEST_WINDOW_BITS = 15
};

/* One spare byte each, to be used from an odd address. */
static union {
  uint64_t alignment;
  uint8_t bytes[FRAME_BYTES + 1];
} frame;
static union {
  uint64_t alignment;
  uint8_t bytes[MOST_ROWS_PER_CALL * MOST_ROW_BYTES + 1];
} rows;
static union {
  uint64_t alignment;
  uint8_t bytes[ZEQ_STREAM_WORKSPACE_BOUND(LARGEST_WINDOW_BITS) + MOST_ROW_BYTES + 1];
} workspace;
#define AT_ODD_ADDRESS(buffer) ((buffer).bytes + 1)
#define ODD_SIZE(buffer) (sizeof (buffer).bytes - 1)

struct image {
  const char *name;
  const unsigned char *bytes;
  const uint32_t *size;
};

static const struct image images[] = {
    {"panel", zeq_panel, &zeq_panel_size},
    {"panel_raw", zeq_panel_raw, &zeq_panel_raw_size},
    {"badge", zeq_badge, &zeq_badge_size},
    {"panel_w9", zeq_panel_w9, &zeq_panel_w9_size},
    {"panel_w12", zeq_panel_w12, &zeq_panel_w12_size},
};

/* How an image is decoded: 0 rows per call means zeq_decode_to, into the
   framebuffer `frame_offset` bytes from its (word-aligned) start. */
struct method {
  const char *name;
  uint32_t rows_per_call;
  uint32_t frame_offset;
};

static const struct method methods[] = {
    {"decode", 0, 0}, {"decode-odd", 0, 1}, {"rows1", 1, 0}, {"rows7", 7, 0}};

/* --- report lines -------------------------------------------------------- */

static char line[160];
static size_t line_length;

static void put_text(const char *text) {
  while (*text != '\0' && line_length + 1 < sizeof line) line[line_length++] = *text++;
  line[line_length] = '\0';
}

/* Appends `value` in `base` (10 or 16), with at least `digits` digits. */
static void put_number(uint32_t value, uint32_t base, unsigned digits) {
  char text[12];
  size_t at = sizeof text - 1;
  text[at] = '\0';
  do {
    text[--at] = "0123456789abcdef"[value % base];
    value /= base;
  } while (at > 0 && (value != 0 || sizeof text - 1 - at < digits));
  put_text(text + at);
}

/* Writes the line and starts the next. */
static void end_line(void) {
  put_text("\n");
  semihosting_write(line);
  line_length = 0;
}

/* --- decoding -------------------------------------------------------------- */

/* The file's bytes, handed out one at a time. */
struct cursor {
  const uint8_t *next;
  const uint8_t *end;
};

static size_t read_one_byte(void *context, uint8_t *buffer, size_t length) {
  struct cursor *cursor = context;
  if (length == 0 || cursor->next == cursor->end) return 0;
  *buffer = *cursor->next++;
  return 1;
}

/* Decodes `image` whole to `output` over the destination pattern; adds the
   loader's ticks to `ticks` and gives the pixels' checksum. */
static zeq_status decode_whole(const struct image *image, const zeq_output *output,
                               uint32_t frame_offset, uint64_t *ticks, uint32_t *checksum) {
  zeq_info info;
  uint8_t *pixels = frame.bytes + frame_offset;
  uint32_t start, length;
  zeq_status status = zeq_parse_header(image->bytes, *image->size, &info);
  length = info.width * info.height * (uint32_t)zeq_layout_bytes_per_pixel(&info, output->layout);
  if (status != ZEQ_OK) return status;
  destination_fill(pixels, 0, length);
  start = timing_now();
  /* The file's own pixels through zeq_decode, which zeq_decode_to gives too. */
  status = output->layout == ZEQ_LAYOUT_STORED
               ? zeq_decode(image->bytes, *image->size, pixels, sizeof frame.bytes - frame_offset,
                            AT_ODD_ADDRESS(workspace), ODD_SIZE(workspace))
               : zeq_decode_to(image->bytes, *image->size, output, pixels,
                               sizeof frame.bytes - frame_offset, AT_ODD_ADDRESS(workspace),
                               ODD_SIZE(workspace));
  *ticks += timing_ticks_since(start);
  if (status == ZEQ_OK) *checksum = checksum_add(*checksum, pixels, length);
  return status;
}

/* Decodes `image` to `output` as a stream, `rows_per_call` rows at a time
   over the destination pattern; adds the loader's ticks to `ticks` and
   gives the pixels' checksum. */
static zeq_status decode_rows(const struct image *image, const zeq_output *output,
                              uint32_t rows_per_call, uint64_t *ticks, uint32_t *checksum) {
  struct cursor cursor;
  zeq_stream *stream;
  zeq_info info;
  zeq_status status;
  uint32_t row, count, row_bytes, start = timing_now();
  cursor.next = image->bytes;
  cursor.end = image->bytes + *image->size;
  status = zeq_parse_header(image->bytes, *image->size, &info);
  if (status != ZEQ_OK) return status;
  status = zeq_stream_open(&stream, read_one_byte, &cursor, AT_ODD_ADDRESS(workspace),
                           ZEQ_STREAM_WORKSPACE_BOUND(info.window_bits) +
                               (output->blend_onto_destination ? info.width * info.bytes_per_pixel : 0),
                           &info);
  *ticks += timing_ticks_since(start);
  row_bytes = info.width * (uint32_t)zeq_layout_bytes_per_pixel(&info, output->layout);
  if (status == ZEQ_OK && row_bytes * rows_per_call > ODD_SIZE(rows)) {
    return ZEQ_E_BAD_CALL; /* wider than this firmware's row buffer */
  }
  for (row = 0; status == ZEQ_OK && row < info.height; row += count) {
    count = info.height - row < rows_per_call ? info.height - row : rows_per_call;
    destination_fill(AT_ODD_ADDRESS(rows), row * row_bytes, count * row_bytes);
    start = timing_now();
    status = output->layout == ZEQ_LAYOUT_STORED
                 ? zeq_stream_rows(stream, AT_ODD_ADDRESS(rows), count)
                 : zeq_stream_rows_to(stream, output, AT_ODD_ADDRESS(rows), count);
    *ticks += timing_ticks_since(start);
    if (status == ZEQ_OK) {
      *checksum = checksum_add(*checksum, AT_ODD_ADDRESS(rows), count * row_bytes);
    }
  }
  if (status == ZEQ_OK) {
    start = timing_now();
    status = zeq_stream_finish(stream);
    *ticks += timing_ticks_since(start);
  }
  return status;
}

/* Decodes `image` to `target` with `method` and reports the checksum and
   instructions. Returns 0 on success, else reports why and returns 1. */
static int report_decode(const struct image *image, const struct target *target,
                         const struct method *method) {
  uint64_t ticks = 0;
  uint32_t checksum = CHECKSUM_START;
  const zeq_status status =
      method->rows_per_call == 0
          ? decode_whole(image, &target->output, method->frame_offset, &ticks, &checksum)
          : decode_rows(image, &target->output, method->rows_per_call, &ticks, &checksum);
  put_text(image->name);
  put_text(" ");
  put_text(target->name);
  put_text(" ");
  put_text(method->name);
  if (status != ZEQ_OK) {
    put_text(" failed: ");
    put_text(zeq_status_text(status));
    end_line();
    return 1;
  }
  put_text(" checksum 0x");
  put_number(checksum, 16, 8);
  put_text(" instructions ");
  put_number(timing_instructions(ticks), 10, 1);
  end_line();
  return 0;
}

/* Reports the workspace zeq_decode and a stream with a window of
   2^window_bits bytes need for a compressed file, on this device, and
   checks each against its compile-time bound. Returns 0 when every bound
   holds, else 1. */
static int report_workspace(void) {
  static const uint32_t reported[] = {15, 12, 9};
  zeq_info info = {ZEQ_FORMAT_RGB565, 320, 240, 2, 320 * 240 * 2, 1, 15};
  uint32_t bits;
  size_t i;
  int beyond = zeq_workspace_size(&info, 0) > ZEQ_DECODE_WORKSPACE_BOUND;
  put_text("workspace decode ");
  put_number((uint32_t)zeq_workspace_size(&info, 0), 10, 1);
  for (i = 0; i < sizeof reported / sizeof reported[0]; ++i) {
    info.window_bits = reported[i];
    put_text(" stream");
    put_number(reported[i], 10, 1);
    put_text(" ");
    put_number((uint32_t)zeq_workspace_size(&info, 1), 10, 1);
  }
  for (bits = 8; bits <= LARGEST_WINDOW_BITS; ++bits) {
    info.window_bits = bits;
    beyond |= zeq_workspace_size(&info, 1) > ZEQ_STREAM_WORKSPACE_BOUND(bits);
  }
  if (beyond) put_text(" beyond the loader's bounds");
  end_line();
  return beyond;
}

int main(void) {
  size_t i, j, k;
  int failures = 0;
  timing_start();
  failures += report_workspace();
  for (i = 0; i < sizeof images / sizeof images[0]; ++i) {
    for (j = 0; j < TARGET_COUNT; ++j) {
      for (k = 0; k < sizeof methods / sizeof methods[0]; ++k) {
        failures += report_decode(&images[i], &targets[j], &methods[k]);
      }
    }
  }
  put_text(failures == 0 ? "all decodes passed" : "some decodes failed");
  end_line();
  return failures;
}
