#include "thread_yield.hpp"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sched.h>
#endif

namespace zorvane_cli {

void yieldToOtherThreads() {
#if defined(_WIN32)
    SwitchToThread();
#else
    sched_yield();
#endif
}

}  // namespace zorvane_cli
