/* The public header must compile as plain C99. */
#include "zorvane/oscillator.h"

int main(void) {
    void (*entry)(const float*, const float*, int32_t, int32_t, float*) = ZorvaneOscillator;
    enum ZorvaneMode mode = LeadSine;
    return (entry != 0 && mode == 4 && ZORVANE_NO_VALUE_BITS == 0x7F7FC99Eu) ? 0 : 1;
}
