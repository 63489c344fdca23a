// Lets another thread have this processor: for a thread that waits on the
// other's progress, which on a busy machine may need this very processor.
#pragma once

namespace zorvane_cli {

void yieldToOtherThreads();

}  // namespace zorvane_cli
