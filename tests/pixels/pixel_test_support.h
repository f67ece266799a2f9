#pragma once
// In-memory jobs and sample images for the transcoding tests.

#include <cstdint>
#include <string>
#include <vector>

#include "job/conversion_job.h"

namespace png2zeq::testing {

using Samples = std::vector<uint8_t>;

// Colour types of the decoded layouts, named for readable tables.
inline constexpr uint8_t kGrey = 0;
inline constexpr uint8_t kRgb = 2;
inline constexpr uint8_t kGreyAlpha = 4;
inline constexpr uint8_t kRgba = 6;

// Bytes per pixel of a decoded layout (1, 2, 3 or 4).
uint32_t DecodedBytesPerPixel(uint8_t colourType);

// A job that holds a heap copy of `samples` as the decoded block, the way the
// PNG reader leaves it; whatever block the job holds at the end is freed,
// as the run driver would.
class JobWithBlock {
 public:
  JobWithBlock(uint32_t width, uint32_t height, uint8_t colourType, const Samples& samples,
               const char* depthText = nullptr, bool dither = false);
  ~JobWithBlock();
  JobWithBlock(const JobWithBlock&) = delete;
  JobWithBlock& operator=(const JobWithBlock&) = delete;

  ConversionJob& job() { return job_; }
  // A copy of the block the job holds now.
  Samples Block() const;

 private:
  ConversionJob job_{};
};

// Runs TranscodePixels with -depth 565 (dithered or not) on the samples and
// returns the block it produced; fails the test when the stage fails.
Samples Transcode565(uint32_t width, uint32_t height, uint8_t colourType, const Samples& samples,
                     bool dither);

// `count` pseudo-random bytes in [low, high] from a fixed seed.
Samples RandomSamples(size_t count, uint32_t seed, uint8_t low = 0, uint8_t high = 255);

// Repeats one pixel's bytes `count` times.
Samples RepeatPixel(const Samples& pixel, size_t count);

// The little-endian 565 words of a transcoded block whose pixels are
// `bytesPerPixel` bytes apart.
std::vector<uint16_t> ColourWords(const Samples& block, uint32_t bytesPerPixel);

// Fields of a 565 word.
inline uint32_t RedLevel(uint16_t word) { return word & 0x1Fu; }
inline uint32_t GreenLevel(uint16_t word) { return (word >> 5) & 0x3Fu; }
inline uint32_t BlueLevel(uint16_t word) { return word >> 11; }

// Adds an alpha byte from `alpha` (cycled) after every RGB triple.
Samples AddAlpha(const Samples& rgb, const Samples& alpha);

// The photographs used by the tests and benchmarks.
std::string PhotoPath(const std::string& name);
bool FileExists(const std::string& path);

}  // namespace png2zeq::testing
