// For a thread that waits on the other's progress: gives up the processor
// (on a busy machine the other may need this very one), and after many
// rounds also sleeps a little, so that a long wait does not keep a
// processor spinning.
#pragma once

namespace zorvane_cli {

void waitAWhile(unsigned round);

}  // namespace zorvane_cli
