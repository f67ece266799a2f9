#include "png/png_reader.h"

#include "png/png_decoder.h"

namespace png2zeq {

ErrorCode ReadPngImage(ConversionJob& job) {
  // The decoder writes only what it reached; the job keeps the rest.
  PngImage image{job.width, job.height, job.pngColourType, job.pixels, job.pixelLength};
  const PngDecodeResult result = DecodePng(job.inputPath, job.verbose != 0, &image);
  job.width = image.width;
  job.height = image.height;
  job.pngColourType = image.colourType;
  job.pixels = image.samples;
  job.pixelLength = image.length;
  switch (result) {
    case PngDecodeResult::OK: return ErrorCode::OK;
    case PngDecodeResult::OpenFailed: return ErrorCode::OpenInputFileFailed;
    case PngDecodeResult::SizeZero: return ErrorCode::PNGWidthHeightZero;
    case PngDecodeResult::OutOfMemory: return ErrorCode::OutOfMemory;
    case PngDecodeResult::DecodeError: break;
  }
  return ErrorCode::PNGDecodeError;
}

}  // namespace png2zeq
