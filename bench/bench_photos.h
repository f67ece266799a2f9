#pragma once
// The photographs the benchmarks run on, decoded with the converter's own
// reader.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "job/conversion_job.h"
#include "common/heap.h"
#include "png/png_reader.h"

namespace png2zeq::bench {

// The shared data directory; PNG2ZEQ_SHARED_DIR in the environment overrides
// the location compiled in.
inline std::string SharedDataDir() {
  const char* overridden = std::getenv("PNG2ZEQ_SHARED_DIR");
  return overridden != nullptr && *overridden != '\0' ? overridden : PNG2ZEQ_SHARED_DIR;
}

inline std::string PhotoPath(const char* name) { return SharedDataDir() + "/photos/" + name; }

struct DecodedPhoto {
  uint32_t width = 0;
  uint32_t height = 0;
  uint8_t colourType = 0;
  std::vector<uint8_t> samples;  // empty when the file could not be decoded
};

// Decodes `path` quietly; an empty result when it cannot.
inline DecodedPhoto DecodePhoto(const std::string& path) {
  ConversionJob job{};
  job.inputPath = path.c_str();
  DecodedPhoto photo;
  if (ReadPngImage(job) != ErrorCode::OK) return photo;
  photo.width = job.width;
  photo.height = job.height;
  photo.colourType = job.pngColourType;
  photo.samples.assign(job.pixels, job.pixels + job.pixelLength);
  FreeBlock(job.pixels);
  return photo;
}

}  // namespace png2zeq::bench
