// Putting a complete temporary in place on Linux.

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include "platform/posix/posix_output.h"

namespace png2zeq::posix {

// An existing destination is swapped with the temporary and then removed
// under the temporary's name, and only then is writing the new file out
// started, as a rename over the old file would have done: on ext4, removing
// the old file while that writeback runs makes the removal wait for it, a few
// percent of a run. Where the file system cannot swap, a plain rename.
bool PlaceTemporary(OutputState* output) {
  if (output->destinationFd >= 0 && renameat2(AT_FDCWD, output->temporary, AT_FDCWD,
                                              output->destination, RENAME_EXCHANGE) == 0) {
    unlink(output->temporary);  // now the previous file
    close(output->destinationFd);
    output->destinationFd = -1;
    sync_file_range(output->fd, 0, 0, SYNC_FILE_RANGE_WRITE);
    return true;
  }
  return rename(output->temporary, output->destination) == 0;
}

}  // namespace png2zeq::posix
