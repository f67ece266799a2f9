// For the Arduino test: prints the line the ZeqPanel example prints for the
// image in its image.h, from the host loader (zeq_decode_to into RGB565_BE)
// and zlib's own crc32().
#include <zlib.h>

#include <cstdio>
#include <vector>

#include "../../loader/examples/ZeqPanel/image.h"
#include "zeq_loader.h"

int main() {
  zeq_info info{};
  zeq_parse_header(zeq_image, sizeof zeq_image, &info);
  const zeq_output panel{ZEQ_LAYOUT_RGB565_BE, 0, 0};
  std::vector<uint8_t> rows(size_t{info.width} * info.height * 2);
  std::vector<uint8_t> workspace(zeq_output_workspace_size(&info, 0, &panel));
  // A failure prints the CRC of other rows, which the test then refuses.
  zeq_decode_to(zeq_image, sizeof zeq_image, &panel, rows.data(), rows.size(), workspace.data(),
                workspace.size());
  std::printf("ZEQ %ux%u RGB565_BE CRC32 %08lx\n", static_cast<unsigned>(info.width),
              static_cast<unsigned>(info.height), crc32(0, rows.data(), rows.size()));
}
