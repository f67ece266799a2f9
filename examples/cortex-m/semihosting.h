/* Talking to the debugger (here QEMU) through semihosting calls. */
#ifndef SEMIHOSTING_H
#define SEMIHOSTING_H

/* Writes the NUL-terminated `text` to the debugger's console. */
void semihosting_write(const char *text);

/* Ends the program: QEMU exits with status 0 when `success` is non-zero,
   else with 1. Does not return. */
void semihosting_exit(int success);

#endif
