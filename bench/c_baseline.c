/* The floor a conversion's CPU time is measured against: a plain C program
   doing the converter's libpng and zlib work for `-depth 565` on an RGB or
   RGBA image (decode, drop the low bits, deflate at level 6, write the header
   and the stream), without the converter's checks and messages.

     c_baseline input.png output.zeq
     c_baseline -make-icon SIZE output.png   (an RGB test icon, SIZE x SIZE) */
#include <png.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <zlib.h>

#include "zeq_loader.h" /* the format's facts */

static void put32(uint8_t *p, uint32_t v) {
  p[0] = (uint8_t)v; p[1] = (uint8_t)(v >> 8); p[2] = (uint8_t)(v >> 16); p[3] = (uint8_t)(v >> 24);
}

static int make_icon(int size, const char *path) {
  FILE *file = fopen(path, "wb");
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, NULL, NULL, NULL);
  png_infop info = png_create_info_struct(png);
  if (file == NULL || png == NULL || info == NULL || setjmp(png_jmpbuf(png))) return 1;
  png_init_io(png, file);
  png_set_IHDR(png, info, size, size, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  uint8_t *row = malloc((size_t)size * 3);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const int inside = (x - size / 2) * (x - size / 2) + (y - size / 2) * (y - size / 2) <
                         size * size / 8;
      row[x * 3] = (uint8_t)(inside ? 240 : x * 255 / size);
      row[x * 3 + 1] = (uint8_t)(inside ? 180 : y * 255 / size);
      row[x * 3 + 2] = (uint8_t)(inside ? 30 : 128);
    }
    png_write_row(png, row);
  }
  png_write_end(png, NULL);
  png_destroy_write_struct(&png, &info);
  free(row);
  return fclose(file) != 0;
}

int main(int argc, char **argv) {
  if (argc == 4 && strcmp(argv[1], "-make-icon") == 0) return make_icon(atoi(argv[2]), argv[3]);
  if (argc != 3) return 2;
  FILE *in = fopen(argv[1], "rb");
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, NULL, NULL, NULL);
  png_infop info = png_create_info_struct(png);
  if (in == NULL || png == NULL || info == NULL || setjmp(png_jmpbuf(png))) return 5;
  png_init_io(png, in);
  png_set_user_limits(png, ZEQ_MAX_WIDTH, ZEQ_MAX_HEIGHT);
  png_read_png(png, info, PNG_TRANSFORM_EXPAND | PNG_TRANSFORM_STRIP_16, NULL);
  const uint32_t width = png_get_image_width(png, info), height = png_get_image_height(png, info);
  const int channels = png_get_channels(png, info);
  if (channels < 3) return 9;
  png_bytepp rows = png_get_rows(png, info);
  const uint32_t out_bpp = channels == 4 ? 3 : 2, raw = width * height * out_bpp;
  uint8_t *pixels = malloc(raw), *p = pixels;
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t *s = rows[y];
    for (uint32_t x = 0; x < width; ++x, s += channels) {
      const uint32_t word = (uint32_t)(s[0] >> 3) | (uint32_t)(s[1] >> 2) << 5 | (uint32_t)(s[2] >> 3) << 11;
      *p++ = (uint8_t)word;
      *p++ = (uint8_t)(word >> 8);
      if (channels == 4) *p++ = s[3];
    }
  }
  png_destroy_read_struct(&png, &info, NULL);
  fclose(in);

  z_stream zs;
  memset(&zs, 0, sizeof zs);
  if (deflateInit(&zs, 6) != Z_OK) return 10;
  const uLong bound = deflateBound(&zs, raw);
  uint8_t *out = malloc(ZEQ_HEADER_SIZE + bound);
  zs.next_in = pixels; zs.avail_in = raw;
  zs.next_out = out + ZEQ_HEADER_SIZE; zs.avail_out = (uInt)bound;
  if (deflate(&zs, Z_FINISH) != Z_STREAM_END) return 10;
  const uint32_t packed = (uint32_t)zs.total_out;
  deflateEnd(&zs);
  put32(out, ZEQ_MAGIC); put32(out + 4, channels == 4 ? ZEQ_FORMAT_RGBA5658 : ZEQ_FORMAT_RGB565);
  put32(out + 8, width); put32(out + 12, height); put32(out + 16, raw); put32(out + 20, packed);
  FILE *file = fopen(argv[2], "wb");
  if (file == NULL || fwrite(out, 1, ZEQ_HEADER_SIZE + packed, file) != ZEQ_HEADER_SIZE + packed) return 11;
  free(out);
  free(pixels);
  return fclose(file) != 0 ? 11 : 0;
}
