#pragma once
// Loading a ZEQ file from disk into memory for ParseZeq.

#include "zeq2png/owned_block.h"
#include "zeq2png/zeq_result.h"

namespace zeq2png {

// The largest file a ZEQ image of at most 1024 x 768 pixels can take: the
// header and the largest raw block as zlib would store it at worst.
size_t MaxZeqFileSize();

// Reads the whole file at `path` into `contents`. Returns OK,
// OpenInputFileFailed (missing, unreadable or a directory), ZEQFileTooLarge
// (more than MaxZeqFileSize bytes, refused before reading),
// ReadInputFileFailed or OutOfMemory; `contents` is empty on failure.
ZeqResult ReadZeqFile(const char* path, OwnedBlock* contents);

}  // namespace zeq2png
