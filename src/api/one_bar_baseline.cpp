// The one-bar path for the kernels every processor of the architecture runs.
#include "one_bar_body.hpp"

namespace zorvane::detail {

OneBarPath::Body oneBarBaselineBody() { return pushOneBar<Pair>; }

}  // namespace zorvane::detail
