/* The bars of linked_host.c, also computed by the Linux-side judge: whole
 * numbers of eighths, so every system makes the same floats without a
 * library call. */
#ifndef LINKED_HOST_SERIES_H
#define LINKED_HOST_SERIES_H

#define LINKED_HOST_BARS 64

static void linkedHostSeries(float* priceA, float* priceB) {
    int i;
    for (i = 0; i < LINKED_HOST_BARS; ++i) {
        const int eighths = 800 + (i * 37) % 101 + (i * i) % 13;
        priceA[i] = (float)eighths / 8;
        priceB[i] = (float)(eighths - (i * 7) % 5 - 1) / 8;
    }
}

#endif
