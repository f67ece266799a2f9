// The rules every system's output file follows: one output open at a time,
// written and committed only while open, closed whatever happens. Each
// system's own calls are in <system>/system_output.cpp.

#include <cerrno>

#include "platform/platform.h"
#include "platform/system_output.h"

namespace png2zeq {

AtomicOutput::~AtomicOutput() { AbandonAtomicOutput(this); }

bool OpenAtomicOutput(const char* path, std::initializer_list<const char*> inputs,
                      AtomicOutput* output) {
  if (output->isOpen || system_output::InUse()) return false;
  output->isOpen = true;
  if (system_output::Open(path, inputs)) return true;
  AbandonAtomicOutput(output);
  return false;
}

ptrdiff_t WriteAtomicOutput(AtomicOutput* output, const void* data, size_t size) {
  if (!output->isOpen) {
    errno = EBADF;
    return -1;
  }
  return system_output::Write(data, size);
}

bool CommitAtomicOutput(AtomicOutput* output) {
  if (!output->isOpen) return false;
  const bool committed = system_output::Commit();
  // Only now may another run take the destination.
  AbandonAtomicOutput(output);
  return committed;
}

void AbandonAtomicOutput(AtomicOutput* output) {
  if (!output->isOpen) return;
  system_output::Close();
  output->isOpen = false;
}

}  // namespace png2zeq
