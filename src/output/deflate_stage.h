#pragma once

#include "job/conversion_job.h"

namespace png2zeq {

// Replaces the job's block by one zlib stream of it (level 6, memory level
// 8, the job's window, 32 KiB by default, zlib wrapper) made by a single
// deflate call into a deflateBound-sized buffer, and records its length as
// the header's compressedLength. With -uncompressed it only sets
// compressedLength to 0. With -best, the strongest stream of the block is
// kept instead when it is shorter: libdeflate's at the full window, zlib's
// level 9 with memory level 9 and the same window below it (so the header
// never declares a larger window). Returns OK, OutOfMemory or
// DeflateFailed; on failure the job keeps its uncompressed block.
ErrorCode CompressPixels(ConversionJob& job);

}  // namespace png2zeq
