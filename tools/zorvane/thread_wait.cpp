#include "thread_wait.hpp"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sched.h>
#include <time.h>
#endif

namespace zorvane_cli {
namespace {

// Rounds of only giving up the processor: a wait for a chunk of rows or a
// block of text to be done is usually shorter.
constexpr unsigned kYieldingRounds = 64;

}  // namespace

void waitAWhile(unsigned round) {
#if defined(_WIN32)
    if (round < kYieldingRounds)
        SwitchToThread();
    else
        Sleep(1);
#else
    if (round < kYieldingRounds) {
        sched_yield();
    } else {
        const timespec brief{0, 100000};  // 0.1 ms
        nanosleep(&brief, nullptr);
    }
#endif
}

}  // namespace zorvane_cli
