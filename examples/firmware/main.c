/* A host-built stand-in for a display firmware. Every image is compiled into
   the program by png2zeq_add_images(... EMBED); at run time each one is
   validated and inflated by the device-side loader into a framebuffer, the
   way a device would fill its panel memory. Since a desktop has no panel,
   the framebuffer is then written out as <output_dir>/<name>.png.

   Usage: firmware [output_dir]      (default: the current directory)
   Exit status 0 when every image was shown, 1 otherwise. */
#include <png.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "firmware_images.h"
#include "raw_images.h"
#include "zeq_loader.h"

/* The panel memory, sized at compile time from the images' constants: the
   largest pixel block, and the most pixels at 4 bytes each for the preview.
   Nothing here uses the heap. */
#define LARGER(a, b) ((a) > (b) ? (a) : (b))
enum {
  FRAMEBUFFER_BYTES = LARGER(ZEQ_LOGO_RAW_LENGTH, LARGER(ZEQ__2ND_ICON_RAW_LENGTH, ZEQ_GAUGE_RAW_LENGTH)),
  MOST_PIXELS = LARGER(ZEQ_LOGO_WIDTH * ZEQ_LOGO_HEIGHT,
                       LARGER(ZEQ__2ND_ICON_WIDTH * ZEQ__2ND_ICON_HEIGHT, ZEQ_GAUGE_WIDTH * ZEQ_GAUGE_HEIGHT))
};
enum { WORKSPACE_BYTES = 16 * 1024 };

static uint8_t framebuffer[FRAMEBUFFER_BYTES];
static uint8_t preview[MOST_PIXELS * 4];
static union {
  max_align_t alignment;
  uint8_t bytes[WORKSPACE_BYTES];
} workspace;

struct embedded_image {
  const char *name;
  const unsigned char *bytes;
  uint32_t size, width, height;
};

/* A static table: the constants are known to the compiler. */
static const struct embedded_image images[] = {
    {"logo", zeq_logo, ZEQ_LOGO_SIZE, ZEQ_LOGO_WIDTH, ZEQ_LOGO_HEIGHT},
    {"2nd icon", zeq__2nd_icon, ZEQ__2ND_ICON_SIZE, ZEQ__2ND_ICON_WIDTH, ZEQ__2ND_ICON_HEIGHT},
    {"gauge", zeq_gauge, ZEQ_GAUGE_SIZE, ZEQ_GAUGE_WIDTH, ZEQ_GAUGE_HEIGHT},
};

/* Widens one 5- or 6-bit level to 8 bits by repeating its top bits. */
static uint8_t widen(unsigned level, unsigned bits) {
  return (uint8_t)(level << (8 - bits) | level >> (2 * bits - 8));
}

/* Converts the framebuffer's pixels of format <format> into 8-bit samples in
   preview[] and gives the matching libpng layout. */
static png_uint_32 to_png_layout(uint32_t format, size_t pixel_count) {
  if (format != ZEQ_FORMAT_RGB565 && format != ZEQ_FORMAT_RGBA5658) {
    const png_uint_32 layout = format == ZEQ_FORMAT_GREY8     ? PNG_FORMAT_GRAY
                               : format == ZEQ_FORMAT_GREYA88 ? PNG_FORMAT_GA
                               : format == ZEQ_FORMAT_RGB888  ? PNG_FORMAT_RGB
                                                              : PNG_FORMAT_RGBA;
    memcpy(preview, framebuffer, pixel_count * PNG_IMAGE_PIXEL_SIZE(layout));
    return layout;
  }
  const int alpha = format == ZEQ_FORMAT_RGBA5658;
  const uint8_t *in = framebuffer;
  uint8_t *out = preview;
  for (size_t i = 0; i < pixel_count; ++i) {
    const unsigned word = in[0] | in[1] << 8; /* red in the low bits */
    *out++ = widen(word & 31u, 5);
    *out++ = widen(word >> 5 & 63u, 6);
    *out++ = widen(word >> 11, 5);
    if (alpha) *out++ = in[2];
    in += alpha ? 3 : 2;
  }
  return alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
}

/* Validates and inflates one image into the framebuffer and writes it to
   <output_dir>/<name>.png. Returns 0 on success, else prints why and
   returns 1. */
static int show_image(const struct embedded_image *image, const char *output_dir) {
  zeq_info info;
  zeq_status status = zeq_parse_header(image->bytes, image->size, &info);
  if (status == ZEQ_OK && zeq_workspace_size(&info, 0) > sizeof workspace.bytes) {
    fprintf(stderr, "%s: needs a larger workspace\n", image->name);
    return 1;
  }
  if (status == ZEQ_OK && (info.width != image->width || info.height != image->height)) {
    fprintf(stderr, "%s: the header says %u x %u\n", image->name, (unsigned)info.width, (unsigned)info.height);
    return 1;
  }
  if (status == ZEQ_OK) {
    status = zeq_decode(image->bytes, image->size, framebuffer, sizeof framebuffer,
                        workspace.bytes, sizeof workspace.bytes);
  }
  if (status != ZEQ_OK) {
    fprintf(stderr, "%s: %s\n", image->name, zeq_status_text(status));
    return 1;
  }

  png_image png;
  memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  png.width = info.width;
  png.height = info.height;
  png.format = to_png_layout(info.pixel_format, (size_t)info.width * info.height);
  char path[4096];
  if (snprintf(path, sizeof path, "%s/%s.png", output_dir, image->name) >= (int)sizeof path ||
      !png_image_write_to_file(&png, path, 0, preview, 0, NULL)) {
    fprintf(stderr, "%s: cannot write %s: %s\n", image->name, path, png.message);
    return 1;
  }
  printf("%-8s %4u x %-4u format 0x%04X, %6u bytes in flash, %6u in RAM -> %s\n", image->name,
         (unsigned)info.width, (unsigned)info.height, (unsigned)info.pixel_format,
         (unsigned)image->size, (unsigned)info.raw_length, path);
  return 0;
}

int main(int argc, char **argv) {
  const char *output_dir = argc > 1 ? argv[1] : ".";
  int failures = 0;
  for (size_t i = 0; i < sizeof images / sizeof images[0]; ++i) failures += show_image(&images[i], output_dir);
  return failures == 0 ? 0 : 1;
}
