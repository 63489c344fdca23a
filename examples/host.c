/* A minimal host: loads the module by its file name at run time, as a
 * charting platform would, runs the four modes over bars read from a CSV
 * file (time,open,high,low,close) and prints the last bars as a table.
 *
 *   zorvane_host [bars.csv [module-file]]
 *
 * Defaults: the bundled sample bars, and the module beside this program. */
#include <dlfcn.h>
#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "zorvane/oscillator.h"

typedef void (*ZorvaneEntry)(const float*, const float*, int32_t, int32_t, float*);

enum { kShownBars = 12, kModes = 4 };

typedef struct {
    char (*time)[16];
    float *high, *low;
    int count;
} Bars;

static int readBars(const char* path, Bars* bars) {
    FILE* file = fopen(path, "r");
    if (!file) {
        fprintf(stderr, "zorvane_host: cannot open %s: %s\n", path, strerror(errno));
        return 0;
    }
    char line[256];
    int capacity = 0, lineNumber = 1;
    memset(bars, 0, sizeof *bars);
    if (!fgets(line, sizeof line, file)) line[0] = 0; /* header */
    while (fgets(line, sizeof line, file)) {
        ++lineNumber;
        char time[16];
        float open, high, low, close;
        if (line[0] == '\n' || line[0] == '\r' || line[0] == 0) continue;
        if (sscanf(line, "%15[^,],%f,%f,%f,%f", time, &open, &high, &low, &close) != 5) {
            fprintf(stderr, "zorvane_host: %s:%d: expected time,open,high,low,close\n", path, lineNumber);
            fclose(file);
            return 0;
        }
        if (bars->count == capacity) {
            capacity = capacity ? capacity * 2 : 1024;
            void* t = realloc(bars->time, (size_t)capacity * sizeof *bars->time);
            void* h = t ? realloc(bars->high, (size_t)capacity * sizeof(float)) : NULL;
            void* l = h ? realloc(bars->low, (size_t)capacity * sizeof(float)) : NULL;
            if (t) bars->time = t;
            if (h) bars->high = h;
            if (!l) {
                fprintf(stderr, "zorvane_host: out of memory\n");
                fclose(file);
                return 0;
            }
            bars->low = l;
        }
        memcpy(bars->time[bars->count], time, sizeof time);
        bars->high[bars->count] = high;
        bars->low[bars->count] = low;
        ++bars->count;
    }
    fclose(file);
    return 1;
}

/* The module file beside this program's own executable. */
static void besideExecutable(const char* name, char* path, size_t size) {
    ssize_t length = readlink("/proc/self/exe", path, size - 1);
    if (length <= 0) {
        snprintf(path, size, "./%s", name);
        return;
    }
    path[length] = 0;
    char* slash = strrchr(path, '/');
    snprintf(slash + 1, size - (size_t)(slash + 1 - path), "%s", name);
}

static void printValue(float value) {
    uint32_t bits;
    memcpy(&bits, &value, sizeof bits);
    if (bits == ZORVANE_NO_VALUE_BITS)
        printf(" %14s", "-");
    else
        printf(" %14.6g", value);
}

int main(int argc, char** argv) {
    const char* csvPath = argc > 1 ? argv[1] : ZORVANE_SAMPLE_BARS;
    char modulePath[PATH_MAX];
    if (argc > 2)
        snprintf(modulePath, sizeof modulePath, "%s", argv[2]);
    else
        besideExecutable("Zorvane Oscillator.so", modulePath, sizeof modulePath);

    void* module = dlopen(modulePath, RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        fprintf(stderr, "zorvane_host: cannot load %s: %s\n", modulePath, dlerror());
        return 2;
    }
    ZorvaneEntry entry = (ZorvaneEntry)dlsym(module, "ZorvaneOscillator");
    if (!entry) {
        fprintf(stderr, "zorvane_host: %s has no ZorvaneOscillator: %s\n", modulePath, dlerror());
        return 2;
    }

    Bars bars;
    if (!readBars(csvPath, &bars)) return 1;
    float* outputs[kModes];
    for (int m = 0; m < kModes; ++m) {
        outputs[m] = malloc((size_t)(bars.count ? bars.count : 1) * sizeof(float));
        if (!outputs[m]) {
            fprintf(stderr, "zorvane_host: out of memory\n");
            return 1;
        }
        entry(bars.high, bars.low, m + 1, bars.count, outputs[m]);
    }

    printf("%d bars from %s\nmodule: %s\n\n", bars.count, csvPath, modulePath);
    printf("%-12s %9s %9s %14s %14s %14s %14s\n", "time", "high", "low", "cycle-average",
           "smoothed-price", "sine", "lead-sine");
    for (int i = bars.count > kShownBars ? bars.count - kShownBars : 0; i < bars.count; ++i) {
        printf("%-12s %9.2f %9.2f", bars.time[i], bars.high[i], bars.low[i]);
        for (int m = 0; m < kModes; ++m) printValue(outputs[m][i]);
        printf("\n");
    }
    for (int m = 0; m < kModes; ++m) free(outputs[m]);
    free(bars.time);
    free(bars.high);
    free(bars.low);
    dlclose(module);
    return 0;
}
