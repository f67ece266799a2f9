#include "common/input_file.h"

#include <sys/stat.h>

namespace png2zeq {

std::FILE* OpenInputFile(const char* path) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return nullptr;
  struct stat status;
  if (fstat(fileno(file), &status) != 0 || S_ISDIR(status.st_mode)) {
    std::fclose(file);
    return nullptr;
  }
  return file;
}

}  // namespace png2zeq
