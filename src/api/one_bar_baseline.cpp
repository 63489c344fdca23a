// The one-bar path for the kernels every processor of the architecture runs.
#include "one_bar_body.hpp"

namespace zorvane::detail {

OneBarPath::Push oneBarBaselinePush() { return pushBar<Pair>; }

}  // namespace zorvane::detail
