// Putting a complete temporary in place on any POSIX system (macOS, the
// BSDs): rename(2) replaces the destination's name in one step.

#include <cstdio>

#include "platform/posix/posix_output.h"

namespace png2zeq::posix {

bool PlaceTemporary(OutputState* output) {
  return std::rename(output->temporary, output->destination) == 0;
}

}  // namespace png2zeq::posix
