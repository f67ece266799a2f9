/* For the big-endian test: decodes each ZEQ file named on the command line
   (in the working directory, ending in .zeq) to each output of checksum.h
   over its destination, whole and as streams of 1 and 7 rows, and prints
   "<name> <output> 0x<checksum>" as loader_checksums does on the host.
   Exits with 1 when a decode fails or the three disagree. */
#include <stdio.h>
#include <string.h>

#include "checksum.h"
#include "zeq_loader.h"

static size_t read_file(void *context, uint8_t *buffer, size_t length) {
  return fread(buffer, 1, length, context);
}

int main(int argc, char **argv) {
  static uint8_t file[1 << 22], pixels[1 << 22], workspace[1 << 16];
  int i;
  size_t t, at, row_bytes;
  for (i = 1; i < argc; ++i) {
    FILE *input = fopen(argv[i], "rb");
    const size_t size = input != NULL ? fread(file, 1, sizeof file, input) : 0;
    for (t = 0; t < TARGET_COUNT; ++t) {
      const zeq_output *output = &targets[t].output;
      zeq_info info;
      zeq_stream *stream;
      uint32_t rows, row, count, whole, checksum;
      zeq_status status = zeq_parse_header(file, size, &info);
      row_bytes = info.width * zeq_layout_bytes_per_pixel(&info, output->layout);
      destination_fill(pixels, 0, info.height * row_bytes);
      if (status == ZEQ_OK) {
        status = zeq_decode_to(file, size, output, pixels, sizeof pixels, workspace, sizeof workspace);
      }
      whole = checksum_add(CHECKSUM_START, pixels, info.height * row_bytes);
      for (rows = 1; rows <= 7 && status == ZEQ_OK; rows += 6) {
        rewind(input);
        checksum = CHECKSUM_START;
        status = zeq_stream_open(&stream, read_file, input, workspace, sizeof workspace, &info);
        for (row = 0; status == ZEQ_OK && row < info.height; row += count) {
          count = info.height - row < rows ? info.height - row : rows;
          at = row * row_bytes;
          destination_fill(pixels, at, count * row_bytes);
          status = zeq_stream_rows_to(stream, output, pixels, count);
          checksum = checksum_add(checksum, pixels, count * row_bytes);
        }
        if (status == ZEQ_OK) status = zeq_stream_finish(stream);
        if (status == ZEQ_OK && checksum != whole) status = ZEQ_E_CHECKSUM_MISMATCH;
      }
      if (status != ZEQ_OK) return fprintf(stderr, "%s: %s\n", argv[i], zeq_status_text(status)), 1;
      printf("%.*s %s 0x%08lx\n", (int)strlen(argv[i]) - 4, argv[i], targets[t].name,
             (unsigned long)whole);
    }
    fclose(input);
  }
  return 0;
}
