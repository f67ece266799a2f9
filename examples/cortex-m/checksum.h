/* The checksum the firmware reports for each decode's pixels, and that the
   device test recomputes on the host: 32-bit FNV-1a, taken piece by piece. */
#ifndef CHECKSUM_H
#define CHECKSUM_H

#include <stddef.h>
#include <stdint.h>

#define CHECKSUM_START 2166136261u

/* Returns `hash` continued over the `length` bytes at `bytes`. */
static inline uint32_t checksum_add(uint32_t hash, const uint8_t *bytes, size_t length) {
  while (length-- != 0) hash = (hash ^ *bytes++) * 16777619u;
  return hash;
}

#endif
