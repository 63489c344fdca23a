// The floating-point environment a computation runs in, whatever the caller's.
//
// Hosts change it: some set another rounding mode, flush subnormals to zero
// (FTZ/DAZ on x86, FZ on aarch64), unmask exceptions (several Windows
// toolchains do by default, and then a NaN price traps), or lower the x87
// precision the Windows runtime's sine and arctangent compute in. Any of these changes our bits or kills the
// host. A guard switches to round to nearest with every exception masked
// and no flushing, and on leaving puts back exactly what the caller had,
// sticky exception flags included, so nothing raised inside shows outside.
//
// It runs per streamed bar, so on entry it writes the control words only
// when they differ from what the computation needs.
#pragma once

#if defined(__x86_64__) || defined(__i386__)
#include "floating_point_guard_x86.hpp"
#elif defined(__aarch64__)
#include "floating_point_guard_aarch64.hpp"
#else
#include "floating_point_guard_fenv.hpp"
#endif
