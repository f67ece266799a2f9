/* For the big-endian test: decodes each ZEQ file named on the command line
   (in the working directory, ending in .zeq) with the loader, whole and as
   streams of 1 and 7 rows, and prints "<name> 0x<checksum>" as
   loader_checksums does on the host. Exits with 1 when a decode fails or
   the three disagree. */
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
  for (i = 1; i < argc; ++i) {
    FILE *input = fopen(argv[i], "rb");
    const size_t size = input != NULL ? fread(file, 1, sizeof file, input) : 0;
    zeq_info info;
    zeq_stream *stream;
    uint32_t rows, row, count, whole, checksum;
    zeq_status status = zeq_decode(file, size, pixels, sizeof pixels, workspace, sizeof workspace);
    (void)zeq_parse_header(file, size, &info);
    whole = checksum_add(CHECKSUM_START, pixels, info.raw_length);
    for (rows = 1; rows <= 7 && status == ZEQ_OK; rows += 6) {
      rewind(input);
      checksum = CHECKSUM_START;
      status = zeq_stream_open(&stream, read_file, input, workspace, sizeof workspace, &info);
      for (row = 0; status == ZEQ_OK && row < info.height; row += count) {
        count = info.height - row < rows ? info.height - row : rows;
        status = zeq_stream_rows(stream, pixels, count);
        checksum = checksum_add(checksum, pixels, count * info.width * info.bytes_per_pixel);
      }
      if (status == ZEQ_OK) status = zeq_stream_finish(stream);
      if (status == ZEQ_OK && checksum != whole) status = ZEQ_E_CHECKSUM_MISMATCH;
    }
    if (status != ZEQ_OK) return fprintf(stderr, "%s: %s\n", argv[i], zeq_status_text(status)), 1;
    printf("%.*s 0x%08lx\n", (int)strlen(argv[i]) - 4, argv[i], (unsigned long)whole);
    fclose(input);
  }
  return 0;
}
