/* For the big-endian test: decodes each ZEQ file named on the command line
   with the loader, whole and as streams of 1 and 7 rows, and prints
   "<path> <method> checksum 0x<checksum>" as the Cortex-M4 example does.
   Exits with 1 when a decode fails. */
#include <stdio.h>
#include <stdlib.h>

#include "checksum.h"
#include "zeq_loader.h"

static size_t read_file(void *context, uint8_t *buffer, size_t length) {
  return fread(buffer, 1, length, context);
}

static int report(const char *path, const char *method, zeq_status status, uint32_t checksum) {
  if (status != ZEQ_OK) return fprintf(stderr, "%s %s: %s\n", path, method, zeq_status_text(status)), 1;
  printf("%s %s checksum 0x%08lx\n", path, method, (unsigned long)checksum);
  return 0;
}

int main(int argc, char **argv) {
  static uint8_t file[1 << 22], pixels[1 << 22], workspace[1 << 16];
  int i, failed = 0;
  for (i = 1; i < argc; ++i) {
    FILE *input = fopen(argv[i], "rb");
    size_t size;
    zeq_info info;
    zeq_stream *stream;
    uint32_t rows, row, count, checksum = CHECKSUM_START;
    zeq_status status;
    if (input == NULL) {
      failed |= report(argv[i], "open", ZEQ_E_FILE_EMPTY, 0);
      continue;
    }
    size = fread(file, 1, sizeof file, input);
    status = zeq_decode(file, size, pixels, sizeof pixels, workspace, sizeof workspace);
    (void)zeq_parse_header(file, size, &info);
    failed |= report(argv[i], "decode", status, checksum_add(checksum, pixels, info.raw_length));
    for (rows = 1; rows <= 7; rows += 6) {
      rewind(input);
      checksum = CHECKSUM_START;
      status = zeq_stream_open(&stream, read_file, input, workspace, sizeof workspace, &info);
      for (row = 0; status == ZEQ_OK && row < info.height; row += count) {
        count = info.height - row < rows ? info.height - row : rows;
        status = zeq_stream_rows(stream, pixels, count);
        checksum = checksum_add(checksum, pixels, count * info.width * info.bytes_per_pixel);
      }
      if (status == ZEQ_OK) status = zeq_stream_finish(stream);
      failed |= report(argv[i], rows == 1 ? "rows1" : "rows7", status, checksum);
    }
    fclose(input);
  }
  return failed;
}
