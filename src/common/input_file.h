#pragma once
// Opening an input file the way both tools do.

#include <cstdio>

namespace png2zeq {

// Opens `path` for binary reading. Returns nullptr when it cannot be opened
// or names a directory, which fopen would accept; the caller closes it.
std::FILE* OpenInputFile(const char* path);

}  // namespace png2zeq
