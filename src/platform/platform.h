#pragma once
// Everything the tools ask of the operating system, behind one interface
// with one implementation per kind of system: Linux, generic POSIX (macOS,
// the BSDs) and Windows. Nothing else in the tools includes a system header.
// Paths are UTF-8 text everywhere; an implementation converts them to what
// its system takes.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <initializer_list>

namespace png2zeq {

// Runs `run` on the command line's arguments as UTF-8 and returns its result.
// Where the system hands a program its arguments in another encoding (the
// UTF-16 command line of Windows) they are converted first; elsewhere `argc`
// and `argv` are passed on as they are.
int RunWithUtf8Arguments(int argc, char** argv, int (*run)(int, char**));

// Opens `path` for binary reading. Returns nullptr when it cannot be opened
// or names a directory; the caller closes the file with fclose.
std::FILE* OpenInputFile(const char* path);

// Tells whether `file` is a regular file and, when it is, its size in bytes
// in `size`. A pipe or a device is not regular and has no size. Returns
// false when the system cannot say.
bool InspectInputFile(std::FILE* file, bool* isRegular, uint64_t* size);

// One output file being written, never destroying the file it replaces. A
// regular-file destination is written to a temporary file beside the file it
// resolves to and put in its place only once complete; a device, a FIFO or a
// name for one of the process's own open descriptors (/dev/stdout) is written
// directly. A process has at most one output open at a time, since the
// clean-up after an interruption must find it in static storage. Going out
// of scope uncommitted abandons the output.
struct AtomicOutput {
  bool isOpen = false;

  AtomicOutput() = default;
  ~AtomicOutput();
  AtomicOutput(const AtomicOutput&) = delete;
  AtomicOutput& operator=(const AtomicOutput&) = delete;
};

// Opens `path` for writing. Returns false, having changed nothing, when the
// path cannot be written or replaced, another run holds it, an existing
// file's permissions and extended attributes cannot be carried over, or it
// names the same file as one of `inputs` (null entries are skipped). While
// a temporary exists, an interrupting signal or console event removes it
// before the process ends as it otherwise would, and a file-size limit makes
// writes fail instead of ending the process.
bool OpenAtomicOutput(const char* path, std::initializer_list<const char*> inputs,
                      AtomicOutput* output);

// Writes up to `size` bytes in one call, as the system's write does: returns
// the number written, or -1 with errno set (ENOSPC for a full device).
ptrdiff_t WriteAtomicOutput(AtomicOutput* output, const void* data, size_t size);

// Puts the complete temporary in the destination's place in one step and
// closes the output. Returns false, leaving the destination as it was and
// no temporary behind, when that fails.
bool CommitAtomicOutput(AtomicOutput* output);

// Closes the output and removes the temporary; the destination stays as it
// was. Harmless when nothing is open.
void AbandonAtomicOutput(AtomicOutput* output);

}  // namespace png2zeq
