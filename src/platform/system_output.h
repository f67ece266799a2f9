#pragma once
// What each kind of system does for the process's one open output, under the
// portable rules of atomic_output.cpp (an output opens once, is written and
// committed only while open, and is always closed). Not for use outside
// src/platform.

#include <cstddef>
#include <initializer_list>

namespace png2zeq::system_output {

// True while the process's one output holds anything open.
bool InUse();

// Opens `path` as OpenAtomicOutput promises. False when it cannot be written
// or replaced; what was opened is then left for Close.
bool Open(const char* path, std::initializer_list<const char*> inputs);

// Writes up to `size` bytes in one call: the number written, or -1 with
// errno set.
ptrdiff_t Write(const void* data, size_t size);

// Puts a complete temporary in the destination's place, or closes a file
// written directly. False when that fails; Close follows either way.
bool Commit();

// Closes everything the output holds and removes a temporary left behind.
void Close();

}  // namespace png2zeq::system_output
