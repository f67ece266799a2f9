// SPDX-License-Identifier: MIT
// ZeqPanel: decodes a ZEQ image kept in flash row by row into RGB565 with the
// high byte first, as an SPI panel takes it, and prints over Serial
//   ZEQ <width>x<height> RGB565_BE CRC32 <8 hex digits>
// (the CRC-32 of all the rows, as zlib's crc32() computes it), then OK, or
// the loader's status text on failure. A real sketch would send each row to
// the panel where this one adds it to the CRC.
//
// image.h holds the image: `const uint8_t zeq_image[] PROGMEM`, made by
// png2zeq with -depth 565 -window 9, and its ZEQ_IMAGE_WIDTH and
// ZEQ_IMAGE_HEIGHT (scripts/make-arduino-image.sh makes it from a PNG).
#include <string.h>
#include <zeq_loader.h>

#include "image.h"

#if defined(__AVR__)
#include <avr/interrupt.h>
#include <avr/sleep.h>
#endif

// The stream's workspace, enough for any image converted with -window 9,
// and one row of the panel's pixels.
static uint8_t workspace[ZEQ_STREAM_WORKSPACE_BOUND(9)];
static uint8_t row[ZEQ_IMAGE_WIDTH * 2];

// The read callback: copies up to `length` bytes of zeq_image from the
// offset at `context` on; returns how many, 0 at the end.
static size_t read_image(void *context, uint8_t *buffer, size_t length) {
  size_t *offset = (size_t *)context;
  const size_t left = sizeof zeq_image - *offset;
  if (length > left) length = left;
#if defined(__AVR__)
  memcpy_P(buffer, zeq_image + *offset, length);  // flash is another address space
#else
  memcpy(buffer, zeq_image + *offset, length);
#endif
  *offset += length;
  return length;
}

// Returns the CRC-32 `crc` continued over `length` bytes (zlib's crc32():
// reflected polynomial 0xEDB88320, bit by bit, so no table takes RAM).
static uint32_t crc32_add(uint32_t crc, const uint8_t *bytes, size_t length) {
  crc = ~crc;
  while (length-- != 0) {
    crc ^= *bytes++;
    for (uint8_t bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320UL & (0UL - (crc & 1UL)));
  }
  return ~crc;
}

// Prints `value` as 8 lower-case hexadecimal digits.
static void print_hex32(uint32_t value) {
  for (int8_t shift = 28; shift >= 0; shift -= 4) {
    const uint8_t digit = (uint8_t)((value >> shift) & 15u);
    Serial.print((char)(digit < 10 ? '0' + digit : 'a' + digit - 10));
  }
}

#if defined(__AVR__)
// The stack's high-water mark: the RAM between the end of the variables and
// the stack pointer is painted at start, and the bytes the stack reached are
// counted at the end (interrupt handlers included).
extern uint8_t __heap_start;
static const uint8_t kPaint = 0xA5;
static void paint_stack(void) {
  uint8_t *end = (uint8_t *)SP - 16;  // below this function's own frame
  for (uint8_t *p = &__heap_start; p < end; ++p) *p = kPaint;
}
static size_t stack_used(void) {
  const uint8_t *p = &__heap_start;
  while (p <= (const uint8_t *)RAMEND && *p == kPaint) ++p;
  return (size_t)((const uint8_t *)RAMEND + 1 - p);
}
#endif

// Decodes the image; returns the status and leaves the rows' CRC-32 in `crc`.
static zeq_status decode(zeq_info *info, uint32_t *crc) {
  size_t offset = 0;
  zeq_stream *stream;
  zeq_status status =
      zeq_stream_open(&stream, read_image, &offset, workspace, sizeof workspace, info);
  if (status != ZEQ_OK) return status;
  if (info->width > ZEQ_IMAGE_WIDTH) return ZEQ_E_PIXELS_TOO_SMALL;  // not the image row[] is for
  const zeq_output panel = {ZEQ_LAYOUT_RGB565_BE, 0, 0};
  *crc = 0;
  for (uint32_t y = 0; y < info->height && status == ZEQ_OK; ++y) {
    status = zeq_stream_rows_to(stream, &panel, row, 1);
    *crc = crc32_add(*crc, row, (size_t)info->width * 2u);
  }
  return status == ZEQ_OK ? zeq_stream_finish(stream) : status;
}

void setup() {
#if defined(__AVR__)
  paint_stack();
#endif
  Serial.begin(115200);
  zeq_info info;
  uint32_t crc = 0;
  const zeq_status status = decode(&info, &crc);
  if (status == ZEQ_OK) {
    // F(): the text stays in flash (on an AVR a plain one is copied to RAM).
    Serial.print(F("ZEQ "));
    Serial.print(info.width);
    Serial.print('x');
    Serial.print(info.height);
    Serial.print(F(" RGB565_BE CRC32 "));
    print_hex32(crc);
    Serial.println();
    Serial.println(F("OK"));
  } else {
    Serial.println(zeq_status_text(status));
  }
#if defined(__AVR__)
  Serial.print(F("stack "));
  Serial.println(stack_used());
  // Done: sleep with interrupts off, which also ends a run under simavr.
  Serial.flush();
  cli();
  sleep_enable();
  sleep_cpu();
#endif
}

void loop() {}
