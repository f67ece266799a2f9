/* What the firmware and the device test's host side share: the checksum of
   each decode's pixels (32-bit FNV-1a, taken piece by piece), the outputs
   each image is decoded to, and the destination that blending writes onto. */
#ifndef CHECKSUM_H
#define CHECKSUM_H

#include <stddef.h>
#include <stdint.h>

#include "zeq_loader.h"

#define CHECKSUM_START 2166136261u

/* Returns `hash` continued over the `length` bytes at `bytes`. */
static inline uint32_t checksum_add(uint32_t hash, const uint8_t *bytes, size_t length) {
  while (length-- != 0) hash = (hash ^ *bytes++) * 16777619u;
  return hash;
}

/* An output by name: every layout over a background, and each layout
   without alpha onto the destination. */
struct target {
  const char *name;
  zeq_output output;
};
#define TARGET_BACKGROUND 0x3366CCu
static const struct target targets[] = {
    {"stored", {ZEQ_LAYOUT_STORED, TARGET_BACKGROUND, 0}},
    {"rgb565", {ZEQ_LAYOUT_RGB565, TARGET_BACKGROUND, 0}},
    {"rgb565be", {ZEQ_LAYOUT_RGB565_BE, TARGET_BACKGROUND, 0}},
    {"bgr565be", {ZEQ_LAYOUT_BGR565_BE, TARGET_BACKGROUND, 0}},
    {"rgb888", {ZEQ_LAYOUT_RGB888, TARGET_BACKGROUND, 0}},
    {"argb8888", {ZEQ_LAYOUT_ARGB8888, TARGET_BACKGROUND, 0}},
    {"rgb565-onto", {ZEQ_LAYOUT_RGB565, 0, 1}},
    {"rgb565be-onto", {ZEQ_LAYOUT_RGB565_BE, 0, 1}},
    {"bgr565be-onto", {ZEQ_LAYOUT_BGR565_BE, 0, 1}},
    {"rgb888-onto", {ZEQ_LAYOUT_RGB888, 0, 1}},
};
#define TARGET_COUNT (sizeof targets / sizeof targets[0])

/* Fills `length` bytes at `bytes` with the destination pattern, from byte
   `offset` of the image on. */
static inline void destination_fill(uint8_t *bytes, size_t offset, size_t length) {
  size_t i;
  for (i = 0; i < length; ++i) bytes[i] = (uint8_t)((offset + i) * 37u + ((offset + i) >> 9));
}

#endif
