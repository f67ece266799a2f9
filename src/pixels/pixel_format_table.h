#pragma once

#include <cstdint>

#include "job/conversion_job.h"

namespace png2zeq {

// Repacks the job's source block into `destination` (already sized for the
// output layout), dithering through `state` when the job has the hooks.
using Transcoder = void (*)(const ConversionJob& job, uint8_t* destination, DitherState* state);

struct PixelFormatEntry {
  uint32_t depth;        // code the -depth text must yield; 0 without -depth
  uint8_t colourType;    // decoded PNG colour type
  uint32_t pixelFormat;  // code written to the header; sets the bytes per pixel
  Transcoder transcoder; // nullptr: the decoded block passes on unchanged
};

// Finds the entry for a depth code and colour type; nullptr when none.
const PixelFormatEntry* FindPixelFormat(uint32_t depth, uint8_t colourType);

}  // namespace png2zeq
