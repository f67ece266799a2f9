#include "common/front_end.h"

#include <cstdio>

namespace png2zeq {

const char* ProgramName(int argc, char** argv, const char* fallbackName) {
  return (argc > 0 && argv[0] != nullptr) ? argv[0] : fallbackName;
}

void PrintErrorLine(const char* codeName, const char* inputPath) {
  std::printf("Error \"%s\" occurred for %s.\n", codeName,
              inputPath != nullptr ? inputPath : "(no input file)");
}

}  // namespace png2zeq
