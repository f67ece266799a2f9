#include "timing.h"

#define SYST_CSR (*(volatile uint32_t *)0xE000E010u)
#define SYST_RVR (*(volatile uint32_t *)0xE000E014u)
#define SYST_CVR (*(volatile uint32_t *)0xE000E018u)
enum {
  COUNTER_MASK = 0xFFFFFF, /* SysTick counts down 24 bits, then wraps */
  CSR_ON_WITH_CORE_CLOCK = 5,
  CALIBRATION_LOOPS = 1000000,
  INSTRUCTIONS_PER_LOOP = 2 /* subs, bne */
};

static uint32_t calibration_ticks;

/* Runs `loops` times round a loop of INSTRUCTIONS_PER_LOOP instructions. */
static void spin(uint32_t loops) {
  __asm__ volatile("1: subs %0, %0, #1\n\tbne 1b" : "+r"(loops) : : "cc");
}

void timing_start(void) {
  uint32_t start;
  SYST_RVR = COUNTER_MASK;
  SYST_CVR = 0;
  SYST_CSR = CSR_ON_WITH_CORE_CLOCK;
  start = timing_now();
  spin(CALIBRATION_LOOPS);
  calibration_ticks = timing_ticks_since(start);
}

uint32_t timing_now(void) { return SYST_CVR; }

uint32_t timing_ticks_since(uint32_t start) { return (start - timing_now()) & COUNTER_MASK; }

uint32_t timing_instructions(uint64_t ticks) {
  const uint64_t loop_instructions = (uint64_t)CALIBRATION_LOOPS * INSTRUCTIONS_PER_LOOP;
  if (calibration_ticks == 0) return 0;
  return (uint32_t)((ticks * loop_instructions + calibration_ticks / 2) / calibration_ticks);
}
