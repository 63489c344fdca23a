// The floating-point guard where the project knows no control registers:
// the standard interface, the default environment inside and the caller's
// whole environment (flags included) restored on leaving. Included by
// floating_point_guard.hpp.
#pragma once

#include <cfenv>

namespace zorvane::detail {

class FloatingPointGuard {
public:
    FloatingPointGuard() {
        std::fegetenv(&saved_);
        std::fesetenv(FE_DFL_ENV);
    }
    ~FloatingPointGuard() { std::fesetenv(&saved_); }
    FloatingPointGuard(const FloatingPointGuard&) = delete;
    FloatingPointGuard& operator=(const FloatingPointGuard&) = delete;

private:
    std::fenv_t saved_;
};

}  // namespace zorvane::detail
