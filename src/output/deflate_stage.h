#pragma once

#include "job/conversion_job.h"

namespace png2zeq {

// Replaces the job's block by one zlib stream of it (level 6, 32 KiB window,
// zlib wrapper) made by a single deflate call into a deflateBound-sized
// buffer, and records its length as the header's compressedLength. With
// -uncompressed it only sets compressedLength to 0. With -best, libdeflate's
// strongest stream of the block is kept instead when it is shorter. Returns
// OK, OutOfMemory or DeflateFailed; on failure the job keeps its
// uncompressed block.
ErrorCode CompressPixels(ConversionJob& job);

}  // namespace png2zeq
