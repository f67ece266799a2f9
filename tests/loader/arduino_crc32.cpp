// For the Arduino test: prints the line the ZeqPanel example prints for the
// image in its image.h, from the host loader (zeq_decode_to into RGB565_BE)
// and zlib's own crc32(). A failed decode leaves other rows, which the test
// then refuses.
#include <zlib.h>

#include <cstdio>

#include "../../loader/examples/ZeqPanel/image.h"
#include "zeq_loader.h"

int main() {
  static uint8_t rows[ZEQ_IMAGE_WIDTH * ZEQ_IMAGE_HEIGHT * 2];
  static uint8_t work[ZEQ_DECODE_WORKSPACE_BOUND];
  const zeq_output panel{ZEQ_LAYOUT_RGB565_BE, 0, 0};
  zeq_decode_to(zeq_image, sizeof zeq_image, &panel, rows, sizeof rows, work, sizeof work);
  std::printf("ZEQ %ux%u RGB565_BE CRC32 %08lx\n", ZEQ_IMAGE_WIDTH, ZEQ_IMAGE_HEIGHT,
              crc32(0, rows, sizeof rows));
}
