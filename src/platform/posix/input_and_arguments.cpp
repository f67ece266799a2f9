// Input files and command-line arguments on POSIX systems, where paths and
// arguments are already the bytes the tools work with.

#include <sys/stat.h>

#include "platform/platform.h"

namespace png2zeq {

int RunWithUtf8Arguments(int argc, char** argv, int (*run)(int, char**)) { return run(argc, argv); }

std::FILE* OpenInputFile(const char* path) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return nullptr;
  // fopen opens a directory for reading too.
  struct stat status;
  if (fstat(fileno(file), &status) != 0 || S_ISDIR(status.st_mode)) {
    std::fclose(file);
    return nullptr;
  }
  return file;
}

bool InspectInputFile(std::FILE* file, bool* isRegular, uint64_t* size) {
  struct stat status;
  if (fstat(fileno(file), &status) != 0) return false;
  *isRegular = S_ISREG(status.st_mode);
  *size = *isRegular ? static_cast<uint64_t>(status.st_size) : 0;
  return true;
}

}  // namespace png2zeq
