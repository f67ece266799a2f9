/* Semihosting on Cortex-M: `bkpt 0xAB` with the operation in r0 and its
   argument in r1. Hand-written, so that no C library I/O is linked. */
#include "semihosting.h"

#include <stdint.h>

enum {
  SYS_WRITE0 = 0x04,
  SYS_EXIT = 0x18,
  /* The reasons SYS_EXIT takes on a 32-bit core: QEMU ends with status 0
     for the first and 1 for any other. */
  APPLICATION_EXIT = 0x20026,
  RUN_TIME_ERROR = 0x20023
};

/* Performs one semihosting call; returns what the debugger left in r0. */
static uint32_t semihosting_call(uint32_t operation, uintptr_t argument) {
  register uint32_t r0 __asm__("r0") = operation;
  register uintptr_t r1 __asm__("r1") = argument;
  __asm__ volatile("bkpt 0xAB" : "+r"(r0) : "r"(r1) : "memory");
  return r0;
}

void semihosting_write(const char *text) { (void)semihosting_call(SYS_WRITE0, (uintptr_t)text); }

void semihosting_exit(int success) {
  for (;;) (void)semihosting_call(SYS_EXIT, success ? APPLICATION_EXIT : RUN_TIME_ERROR);
}
