/* memcpy for a core that faults on unaligned accesses (TRAP_UNALIGNED):
   newlib's Cortex-M4 memcpy reads whole words from unaligned addresses,
   which the trap forbids. This one copies words where the source and the
   destination are aligned alike and bytes elsewhere. Built with
   -fno-tree-loop-distribute-patterns, so that GCC does not turn its byte
   loop back into a call of memcpy. */
#include <stddef.h>
#include <stdint.h>
#include <string.h>

void *memcpy(void *restrict destination, const void *restrict source, size_t length) {
  uint8_t *to = destination;
  const uint8_t *from = source;
  if ((uintptr_t)to % 4 == (uintptr_t)from % 4) {
    for (; length != 0 && (uintptr_t)to % 4 != 0; --length) *to++ = *from++;
    for (; length >= 4; length -= 4, to += 4, from += 4) {
      *(uint32_t *)(void *)to = *(const uint32_t *)(const void *)from;
    }
  }
  while (length-- != 0) *to++ = *from++;
  return destination;
}
