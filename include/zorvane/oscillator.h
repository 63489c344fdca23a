/* Zorvane Oscillator: a cycle indicator computed over price bars.
 *
 * The module file ("Zorvane Oscillator.so" on Linux, "Zorvane Oscillator.dll"
 * on Windows) exports exactly one function, ZorvaneOscillator. Hosts usually
 * load the file at run time and resolve the symbol by name; linking against
 * it directly works too. Compiles as C99 and as C++. */
#ifndef ZORVANE_OSCILLATOR_H
#define ZORVANE_OSCILLATOR_H

#include <stdint.h>

#include "zorvane/version.h"

#if defined(_WIN32)
#  define ZORVANE_CALL __cdecl
#  if defined(ZORVANE_BUILDING_MODULE)
#    define ZORVANE_EXPORT __declspec(dllexport)
#  else
#    define ZORVANE_EXPORT
#  endif
#else
#  define ZORVANE_CALL
#  define ZORVANE_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Output modes. Any other value writes only the six warm-up markers. */
enum ZorvaneMode {
    CycleAverage = 1,  /* average price over the measured cycle (price-following) */
    SmoothedPrice = 2, /* smoothed price with a small momentum lead (price-following) */
    Sine = 3,          /* sine of the cycle phase, between -1 and 1 */
    LeadSine = 4       /* sine of the cycle phase advanced by 45 degrees */
};

/* Bit pattern of the float written to the warm-up entries 0 to 5: the float
 * nearest 3.4e38 (not FLT_MAX). Compare bits, not values, to detect it. */
#define ZORVANE_NO_VALUE_BITS 0x7F7FC99Eu

/* Number of leading bars that always receive the no-value marker. */
#define ZORVANE_WARMUP_BARS 6

/* Computes one mode over `count` bars.
 *   priceA, priceB  the two prices of each bar (e.g. high and low), `count`
 *                   entries each; only their mean is used, so they may be swapped.
 *   mode            one of ZorvaneMode.
 *   count           number of bars; at least 6 for a meaningful result.
 *   output          receives one float per bar; may be the same array as
 *                   priceA or priceB (each bar's prices are read before its
 *                   output is stored).
 * Entries 0 to 5 get the no-value marker (warm-up). From entry 6 on each bar
 * gets the mode's value; for an unknown mode those entries are left as they
 * were. Every call recomputes from bar 0 and keeps no state.
 * A null array, or a count of 0 or below, touches nothing; a count from 1 to
 * 5 writes the marker to those entries only. If working memory (9 x count
 * doubles) cannot be obtained, `output` is left untouched. */
ZORVANE_EXPORT void ZORVANE_CALL ZorvaneOscillator(const float* priceA, const float* priceB,
                                                   int32_t mode, int32_t count, float* output);

#ifdef __cplusplus
}
#endif

#endif /* ZORVANE_OSCILLATOR_H */
