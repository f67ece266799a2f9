// Times each stage of one conversion (read, transcode, deflate, write) on the
// photographs, over several repetitions, and prints the medians in ms with
// the share of a run spent outside libpng and zlib.
//
// Usage: stage_breakdown [repetitions] [--wall]
//   repetitions  runs per photograph and option set (default 9)
//   --wall       wall-clock time instead of the thread's CPU time; CPU time
//                is the default because the build machines are shared

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include <unistd.h>

#include "bench_photos.h"
#include "output/deflate_stage.h"
#include "output/zeq_writer.h"
#include "pixels/burkes_dither.h"
#include "pixels/transcode.h"

namespace png2zeq::bench {
namespace {

// The clock every stage is timed with; see main.
bool useWallClock = false;

// Current reading of the chosen clock, in ms.
double NowInMilliseconds() {
  timespec now{};
  clock_gettime(useWallClock ? CLOCK_MONOTONIC : CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) * 1e-6;
}

// One command line's worth of options, as the stages see them.
struct OptionSet {
  const char* label;
  bool depth565;
  bool uncompressed;
  bool dither;
};

constexpr OptionSet kOptionSets[] = {
    {"(none)", false, false, false},
    {"-uncompressed", false, true, false},
    {"-depth 565", true, false, false},
    {"-depth 565 -uncompressed", true, true, false},
    {"-depth 565 -dither", true, false, true},
    {"-depth 565 -dither -uncompressed", true, true, true},
};

constexpr const char* kPhotos[] = {"astronaut-1024x768.png", "coffee-rgba-1024x768.png"};

// Milliseconds of one run's stages. rowCopy estimates the part of the read
// that is the reader's own: copying the decoded rows into a fresh block.
struct StageTimes {
  double read = 0, rowCopy = 0, transcode = 0, deflate = 0, write = 0, total = 0;
};

// Time since `start`, a NowInMilliseconds reading.
double MillisecondsSince(double start) { return NowInMilliseconds() - start; }

// Keeps the compiler from dropping work whose result nothing reads.
void KeepAlive(void* block) { asm volatile("" : : "r"(block) : "memory"); }

// Median of a non-empty list.
double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t middle = values.size() / 2;
  return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// One conversion with the stages timed one by one; false when a stage fails.
bool TimeOneRun(const std::string& input, const std::string& output, const OptionSet& options,
                StageTimes& times) {
  ConversionJob job{};
  job.inputPath = input.c_str();
  job.outputPath = output.c_str();
  job.depthText = options.depth565 ? "565" : nullptr;
  job.uncompressed = options.uncompressed ? 1 : 0;
  if (options.dither) {
    job.ditherState = BurkesDitherState;
    job.ditherError = BurkesDitherError;
  }

  double start = NowInMilliseconds();
  ErrorCode result = ReadPngImage(job);
  times.read = MillisecondsSince(start);

  if (result == ErrorCode::OK) {
    start = NowInMilliseconds();
    auto* copy = static_cast<uint8_t*>(std::malloc(job.pixelLength));
    if (copy != nullptr) std::memcpy(copy, job.pixels, job.pixelLength);
    KeepAlive(copy);
    times.rowCopy = MillisecondsSince(start);
    std::free(copy);
  }
  if (result == ErrorCode::OK) {
    start = NowInMilliseconds();
    result = TranscodePixels(job);
    times.transcode = MillisecondsSince(start);
  }
  if (result == ErrorCode::OK) {
    start = NowInMilliseconds();
    result = CompressPixels(job);
    times.deflate = MillisecondsSince(start);
  }
  if (result == ErrorCode::OK) {
    start = NowInMilliseconds();
    result = WriteOutputFile(job);
    times.write = MillisecondsSince(start);
  }
  FreeBlock(job.pixels);
  times.total = times.read + times.transcode + times.deflate + times.write;
  if (result != ErrorCode::OK) std::fprintf(stderr, "%s: result %u\n", input.c_str(), result);
  return result == ErrorCode::OK;
}

}  // namespace
}  // namespace png2zeq::bench

int main(int argc, char** argv) {
  using namespace png2zeq::bench;
  int repetitions = 9;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--wall") == 0) {
      useWallClock = true;
    } else {
      repetitions = std::max(1, std::atoi(argv[i]));
    }
  }

  char directory[] = "/tmp/png2zeq-stages-XXXXXX";
  if (mkdtemp(directory) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  const std::string output = std::string(directory) + "/out.zeq";

  std::printf("Medians of %d runs, ms of %s. 'own%%' = (row copy + transcode + write) / total;\n"
              "the row copy is estimated by copying the decoded block into a fresh one.\n"
              "Everything else is libpng decoding and zlib deflating.\n\n",
              repetitions, useWallClock ? "wall-clock time" : "the thread's CPU time");
  std::printf("%-26s %-34s %8s %8s %9s %8s %7s %8s %6s\n", "photo", "options", "read",
              "rowcopy", "transcode", "deflate", "write", "total", "own%");
  int status = 0;
  for (const char* photo : kPhotos) {
    const std::string input = PhotoPath(photo);
    for (const OptionSet& options : kOptionSets) {
      std::vector<double> read, rowCopy, transcode, deflate, write, total, own;
      bool ok = true;
      for (int i = 0; i < repetitions && ok; ++i) {
        StageTimes times;
        ok = TimeOneRun(input, output, options, times);
        read.push_back(times.read);
        rowCopy.push_back(times.rowCopy);
        transcode.push_back(times.transcode);
        deflate.push_back(times.deflate);
        write.push_back(times.write);
        total.push_back(times.total);
        own.push_back(100.0 * (times.rowCopy + times.transcode + times.write) / times.total);
      }
      if (!ok) {
        status = 1;
        continue;
      }
      std::printf("%-26s %-34s %8.2f %8.2f %9.2f %8.2f %7.2f %8.2f %5.1f%%\n", photo,
                  options.label, Median(read), Median(rowCopy), Median(transcode), Median(deflate),
                  Median(write), Median(total), Median(own));
    }
  }
  unlink(output.c_str());
  rmdir(directory);
  return status;
}
