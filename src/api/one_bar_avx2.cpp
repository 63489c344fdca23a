// The one-bar path for the AVX2 pair kernels, with fused multiply-adds
// inside the fast functions. Compiled with -mavx2 -mfma; chosen only with
// those kernels (one_bar_path.cpp).
#include "one_bar_body.hpp"

namespace zorvane::detail {

OneBarPath::Push oneBarAvx2Push() { return pushBar<Pair>; }

}  // namespace zorvane::detail
