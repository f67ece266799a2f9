// For the device test: prints "<name> <output> <checksum>" for each ZEQ file
// named on the command line and each output of the Cortex-M4 example
// (examples/cortex-m/checksum.h), its pixels decoded by the host loader over
// the same destination and checksummed as the example does. Exits with 1
// when a file does not decode. Needs only the loader, so that the
// big-endian test builds it for its CPU too.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "checksum.h"
#include "zeq_loader.h"

int main(int argc, char** argv) {
  using Bytes = std::vector<uint8_t>;
  for (int i = 1; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    const Bytes file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    zeq_info info{};
    zeq_parse_header(file.data(), file.size(), &info);
    for (const target& target : targets) {
      Bytes pixels(size_t{info.width} * info.height *
                   zeq_layout_bytes_per_pixel(&info, target.output.layout));
      Bytes workspace(zeq_output_workspace_size(&info, 0, &target.output));
      destination_fill(pixels.data(), 0, pixels.size());
      const zeq_status status = zeq_decode_to(file.data(), file.size(), &target.output,
                                              pixels.data(), pixels.size(), workspace.data(),
                                              workspace.size());
      if (status != ZEQ_OK) {
        std::fprintf(stderr, "%s %s: %s\n", argv[i], target.name, zeq_status_text(status));
        return 1;
      }
      std::printf("%s %s 0x%08x\n", std::filesystem::path(argv[i]).stem().c_str(), target.name,
                  static_cast<unsigned>(checksum_add(CHECKSUM_START, pixels.data(), pixels.size())));
    }
  }
  return 0;
}
