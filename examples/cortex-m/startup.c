/* Start-up for a Cortex-M4 without the C library's start files: the vector
   table, the reset handler that prepares RAM and runs main, and fault
   handlers that report over semihosting and end the run. */
#include <stdint.h>
#include <string.h>

#include "semihosting.h"

int main(void);
void reset_handler(void); /* the entry point, named in mps2_an386.ld */

/* Placed by mps2_an386.ld. */
extern uint32_t __stack_top[];
extern uint32_t __data_start[], __data_end[], __data_load[];
extern uint32_t __bss_start[], __bss_end[];

/* The System Control Block's configuration registers. */
#define SCB_CCR (*(volatile uint32_t *)0xE000ED14u)
#define SCB_SHCSR (*(volatile uint32_t *)0xE000ED24u)
enum {
  CCR_UNALIGN_TRP = 1u << 3, /* any unaligned access faults */
  CCR_DIV_0_TRP = 1u << 4,   /* integer division by zero faults */
  SHCSR_FAULTS_ENABLED = 7u << 16 /* memory, bus and usage faults get their own handlers */
};

/* Reports `what` and ends the run as failed. */
static void fail_with(const char *what) {
  semihosting_write(what);
  semihosting_exit(0);
}

static void hard_fault_handler(void) { fail_with("fault: hard fault\n"); }
static void memory_fault_handler(void) { fail_with("fault: memory management fault\n"); }
static void bus_fault_handler(void) { fail_with("fault: bus fault\n"); }
static void usage_fault_handler(void) {
  fail_with("fault: usage fault (an unaligned access or a division by zero)\n");
}
static void unexpected_handler(void) { fail_with("fault: unexpected exception\n"); }

/* Copies the initial data from flash, zeroes the rest, makes divisions by
   zero (and with TRAP_UNALIGNED unaligned accesses) fault, and runs main;
   its return value 0 ends the run as passed. */
void reset_handler(void) {
  memcpy(__data_start, __data_load, (size_t)((uint8_t *)__data_end - (uint8_t *)__data_start));
  memset(__bss_start, 0, (size_t)((uint8_t *)__bss_end - (uint8_t *)__bss_start));
  SCB_CCR |= CCR_DIV_0_TRP;
#ifdef TRAP_UNALIGNED
  SCB_CCR |= CCR_UNALIGN_TRP;
#endif
  SCB_SHCSR |= SHCSR_FAULTS_ENABLED;
  semihosting_exit(main() == 0);
}

/* The core reads the stack's top and the reset handler from here. */
struct vector_table {
  uint32_t *stack_top;
  void (*handlers[15])(void);
};

__attribute__((section(".vectors"), used)) static const struct vector_table vectors = {
    __stack_top,
    {reset_handler, unexpected_handler, hard_fault_handler, memory_fault_handler,
     bus_fault_handler, usage_fault_handler, 0, 0, 0, 0, unexpected_handler,
     unexpected_handler, 0, unexpected_handler, unexpected_handler}};
