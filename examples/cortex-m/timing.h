/* Counting instructions with SysTick. QEMU models no cycle counter, but
   under `-icount shift=0` its clocks run at one nanosecond per instruction,
   so SysTick, calibrated against a loop of known length, counts them. */
#ifndef TIMING_H
#define TIMING_H

#include <stdint.h>

/* Starts SysTick on the core clock and measures the calibration loop. */
void timing_start(void);

/* SysTick's counter now, for timing_ticks_since. */
uint32_t timing_now(void);

/* SysTick ticks since `start`, a timing_now value fewer than 2^24 ticks
   (about 670 million instructions) ago. */
uint32_t timing_ticks_since(uint32_t start);

/* The instructions `ticks` stand for; meaningful under -icount only. */
uint32_t timing_instructions(uint64_t ticks);

#endif
