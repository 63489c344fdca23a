/* A plain C program linked through pkg-config: computes a sine wave's lead
 * sine and checks the warm-up marker and the range. */
#include <math.h>
#include <stdio.h>
#include <string.h>

#include <zorvane/oscillator.h>

int main(void) {
    enum { bars = 200 };
    float high[bars], low[bars], out[bars];
    for (int i = 0; i < bars; ++i) {
        high[i] = (float)(101.0 + sin(i * 0.3));
        low[i] = high[i] - 1.0f;
    }
    ZorvaneOscillator(high, low, LeadSine, bars, out);
    unsigned bits;
    memcpy(&bits, &out[0], sizeof bits);
    if (bits != ZORVANE_NO_VALUE_BITS) return 1;
    for (int i = ZORVANE_WARMUP_BARS; i < bars; ++i)
        if (!(out[i] >= -1.0f && out[i] <= 1.0f)) return 2;
    printf("zorvane %s from C: lead sine %.6f at the last bar\n", ZORVANE_VERSION_STRING, out[bars - 1]);
    return 0;
}
