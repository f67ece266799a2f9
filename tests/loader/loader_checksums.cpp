// For the device test: prints "<name> <checksum>" for each ZEQ file named on
// the command line, its pixels decoded by the host loader and checksummed as
// the Cortex-M4 example (examples/cortex-m) does. Exits with 1 when a file
// does not decode.
#include <cstdio>
#include <filesystem>

#include "checksum.h"
#include "support/png_builder.h"
#include "zeq_loader.h"

int main(int argc, char** argv) {
  using png2zeq::testing::Bytes;
  for (int i = 1; i < argc; ++i) {
    const Bytes file = png2zeq::testing::ReadFile(argv[i]);
    zeq_info info{};
    zeq_parse_header(file.data(), file.size(), &info);
    Bytes pixels(info.raw_length), workspace(zeq_workspace_size(&info, 0));
    const zeq_status status = zeq_decode(file.data(), file.size(), pixels.data(), pixels.size(),
                                         workspace.data(), workspace.size());
    if (status != ZEQ_OK) {
      std::fprintf(stderr, "%s: %s\n", argv[i], zeq_status_text(status));
      return 1;
    }
    std::printf("%s 0x%08x\n", std::filesystem::path(argv[i]).stem().c_str(),
                static_cast<unsigned>(checksum_add(CHECKSUM_START, pixels.data(), pixels.size())));
  }
  return 0;
}
