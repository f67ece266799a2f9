// Both transcoders, plain and dithered, on the 1024 x 768 photographs.
// Reported per pixel: the per_pixel counter is the time one pixel takes.

#include <benchmark/benchmark.h>

#include <vector>

#include "bench_photos.h"
#include "pixels/burkes_dither.h"
#include "pixels/transcoders.h"

namespace png2zeq::bench {
namespace {

const DecodedPhoto& Astronaut() {
  static const DecodedPhoto photo = DecodePhoto(PhotoPath("astronaut-1024x768.png"));
  return photo;
}

const DecodedPhoto& Coffee() {
  static const DecodedPhoto photo = DecodePhoto(PhotoPath("coffee-rgba-1024x768.png"));
  return photo;
}

// Runs `transcoder` over the photograph, building and releasing a dither
// state per image when dithering, as the transcoding stage does.
void RunTranscoder(benchmark::State& state, const DecodedPhoto& photo, uint8_t colourType,
                   void (*transcoder)(const ConversionJob&, uint8_t*, DitherState*),
                   uint32_t destinationBytes, bool dither) {
  if (photo.samples.empty() || photo.colourType != colourType) {
    state.SkipWithError("photograph missing or of the wrong colour type");
    return;
  }
  ConversionJob job{};
  job.width = photo.width;
  job.height = photo.height;
  job.pngColourType = photo.colourType;
  job.pixels = const_cast<uint8_t*>(photo.samples.data());  // only read
  job.pixelLength = static_cast<uint32_t>(photo.samples.size());
  if (dither) {
    job.ditherState = BurkesDitherState;
    job.ditherError = BurkesDitherError;
  }
  const size_t pixels = static_cast<size_t>(photo.width) * photo.height;
  std::vector<uint8_t> destination(pixels * destinationBytes);

  for (auto _ : state) {
    DitherState* ditherState = dither ? BurkesDitherState(job, true, nullptr) : nullptr;
    transcoder(job, destination.data(), ditherState);
    if (dither) BurkesDitherState(job, false, ditherState);
    benchmark::DoNotOptimize(destination.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * pixels));
  state.counters["per_pixel"] = benchmark::Counter(
      static_cast<double>(pixels),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_Rgb888ToRgb565Plain(benchmark::State& state) {
  RunTranscoder(state, Astronaut(), 2, TransposeRgb888ToRgb565, 2, false);
}
void BM_Rgb888ToRgb565Dithered(benchmark::State& state) {
  RunTranscoder(state, Astronaut(), 2, TransposeRgb888ToRgb565, 2, true);
}
void BM_Rgba8888ToRgba5658Plain(benchmark::State& state) {
  RunTranscoder(state, Coffee(), 6, TransposeRgba8888ToRgba5658, 3, false);
}
void BM_Rgba8888ToRgba5658Dithered(benchmark::State& state) {
  RunTranscoder(state, Coffee(), 6, TransposeRgba8888ToRgba5658, 3, true);
}

BENCHMARK(BM_Rgb888ToRgb565Plain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Rgb888ToRgb565Dithered)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Rgba8888ToRgba5658Plain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Rgba8888ToRgba5658Dithered)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace png2zeq::bench

BENCHMARK_MAIN();
