#pragma once
// Replacing an output file without ever destroying it. A regular-file
// destination is written to a temporary file beside the file it resolves to
// and put in its place only once complete; anything else (a character device,
// a FIFO) is written directly. Both tools write their output through this.

#include <climits>

namespace png2zeq {

// One output being written. The caller writes to `fd` between a successful
// OpenAtomicOutput and CommitAtomicOutput; going out of scope uncommitted
// abandons it. A process has at most one open at a time (the signal
// cleanup keeps one temporary path).
struct AtomicOutput {
  int fd = -1;              // where the bytes go: the temporary, or the destination itself
  int destinationFd = -1;   // the existing destination, holding its lock until the rename
  bool viaTemporary = false;
  char destination[PATH_MAX] = {};  // resolved path the temporary is renamed to
  char temporary[PATH_MAX] = {};    // ".<name>.XXXXXX.tmp" in the destination's directory

  AtomicOutput() = default;
  ~AtomicOutput();
  AtomicOutput(const AtomicOutput&) = delete;
  AtomicOutput& operator=(const AtomicOutput&) = delete;
};

// Opens `path` for writing. A regular file (existing or new, symbolic links
// followed) gets a temporary file in its directory: with the existing file's
// mode (and owner, where the process may set it), or 0600 narrowed by the
// umask for a new one. An existing regular file must be writable by the user
// and is locked (exclusive advisory lock) until commit or abandon. Other
// files are opened and locked directly. Returns false, having changed
// nothing, when the path cannot be opened, its lock is held by another run,
// the temporary cannot be created, or the path names the same file as
// `inputPath` (nullptr: no such check). While a temporary exists, SIGINT,
// SIGTERM and SIGHUP remove it before ending the process as usual.
bool OpenAtomicOutput(const char* path, const char* inputPath, AtomicOutput* output);

// Puts the complete temporary in the destination's place in one step (the
// names of the two files are swapped and the old one removed, or the
// temporary is renamed over the destination) and closes the output.
// Returns false, leaving the destination as it was, when that fails.
bool CommitAtomicOutput(AtomicOutput* output);

// Closes the output and removes the temporary; the destination stays as it
// was. Harmless when nothing is open.
void AbandonAtomicOutput(AtomicOutput* output);

}  // namespace png2zeq
