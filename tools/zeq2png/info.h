#pragma once
// The -info report: the header as read and the verdict on the file.

#include <cstddef>

#include "zeq2png/zeq_reader.h"
#include "zeq2png/zeq_result.h"

namespace zeq2png {

// Prints the file name and size, each header field of `image` (as read,
// whether or not it passed its check), the compression ratio, and the
// verdict `result` of ParseZeq: "valid", or "invalid" with the code's name.
void PrintZeqInfo(const char* path, size_t fileSize, const ZeqImage& image, ZeqResult result);

}  // namespace zeq2png
