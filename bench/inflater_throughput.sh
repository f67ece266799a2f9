#!/usr/bin/env bash
# Host throughput of the loader's two inflaters (not part of CI): converts
# each photograph of SHARED/photos with BUILD_DIR's png2zeq (default window
# and -window 9), builds a small driver against the loader with its own
# inflater, with its fast loop (ZEQ_FAST_INFLATE) and with zlib's (-O2), and prints for each file the megabytes of
# pixels per CPU second of zeq_decode and of a stream of 7 rows per call,
# the best of five runs of at least 0.2 s each.
#
# Usage: bench/inflater_throughput.sh BUILD_DIR [SHARED]
set -euo pipefail
build_dir=$(cd "${1:?usage: $0 BUILD_DIR [SHARED]}" && pwd)
cd "$(dirname "$0")/.."
shared=${2:-../shared}
work=$(mktemp -d /tmp/png2zeq-inflaters-XXXXXX)
trap 'rm -rf "$work"' EXIT

cat >"$work/driver.c" <<'PROGRAM'
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include "zeq_loader.h"
static unsigned char *file, *pixels, workspace[ZEQ_STREAM_WORKSPACE_BOUND(15)];
static size_t size, at;
static size_t read_file(void *context, uint8_t *buffer, size_t length) {
  (void)context;
  if (length > size - at) length = size - at;
  for (size_t i = 0; i < length; ++i) buffer[i] = file[at + i];
  at += length;
  return length;
}
static int run(int streaming) {
  zeq_info info;
  zeq_stream *stream;
  if (!streaming) return zeq_decode(file, size, pixels, 1 << 22, workspace, sizeof workspace);
  at = 0;
  int status = zeq_stream_open(&stream, read_file, NULL, workspace, sizeof workspace, &info);
  for (uint32_t row = 0; status == ZEQ_OK && row < info.height; row += 7)
    status = zeq_stream_rows(stream, pixels, info.height - row < 7 ? info.height - row : 7);
  return status == ZEQ_OK ? zeq_stream_finish(stream) : status;
}
int main(int argc, char **argv) {
  FILE *in = fopen(argv[1], "rb");
  file = malloc(1 << 23), pixels = malloc(1 << 22);
  size = fread(file, 1, 1 << 23, in);
  fclose(in);
  zeq_info info;
  zeq_parse_header(file, size, &info);
  for (int streaming = 0; streaming < 2; ++streaming) {
    double best = 0;
    for (int round = 0; round < 5; ++round) {
      int runs = 0;
      clock_t start = clock(), now;
      do {
        if (run(streaming) != ZEQ_OK) return 1;
        ++runs;
      } while ((now = clock()) - start < CLOCKS_PER_SEC / 5);
      double rate = runs * (double)info.raw_length / 1e6 / ((double)(now - start) / CLOCKS_PER_SEC);
      if (rate > best) best = rate;
    }
    printf(" %8.1f", best);
  }
  printf("\n");
  return 0;
}
PROGRAM
cc -std=c99 -O2 -Iloader "$work/driver.c" loader/*.c -o "$work/own"
cc -std=c99 -O2 -DZEQ_FAST_INFLATE -Iloader "$work/driver.c" loader/*.c -o "$work/fast"
cc -std=c99 -O2 -DZEQ_USE_ZLIB -Iloader "$work/driver.c" loader/*.c -lz -o "$work/zlib"
echo "== MB of pixels per CPU second, $(uname -m) (zlib $(pkg-config --modversion zlib)) =="
printf '%-36s %8s %8s %8s %8s %8s %8s\n' file "own" "own" "fast" "fast" "zlib" "zlib"
printf '%-36s %8s %8s %8s %8s %8s %8s\n' "" decode rows7 decode rows7 decode rows7
for photo in "$shared"/photos/*.png; do
  for window in 15 9; do
    zeq=$work/$(basename "$photo" .png)-w$window.zeq
    "$build_dir/bin/png2zeq" -window $window -output "$zeq" "$photo" >/dev/null
    printf '%-36s%s%s%s\n' "$(basename "$zeq")" "$("$work/own" "$zeq")" "$("$work/fast" "$zeq")" \
      "$("$work/zlib" "$zeq")"
  done
done
