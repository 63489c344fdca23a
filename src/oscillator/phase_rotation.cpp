#include "phase_rotation.hpp"

namespace zorvane::detail {

void PhaseRotations::fill(Row& r, double compensation, bool cosineNegative) {
    constexpr double kRightAngle = 1.5707963267948966;
    r.filled = true;
    // Phases must stay below 2048 degrees for the bound: |a K1| < 90, and
    // the constants below add at most 405 more.
    if (!(std::fabs(compensation) < 1500.0)) {
        r.fold = kUnused;
        return;
    }
    const double unfolded = (compensation + 90.0) + (cosineNegative ? 180.0 : 0.0);
    for (int folded = 0; folded < 2; ++folded)
        for (int lead = 0; lead < 2; ++lead) {
            const double beta = ((unfolded - (folded ? 360.0 : 0.0)) + (lead ? 45.0 : 0.0)) * kRadiansPerDegree;
            r.cosines[folded][lead] = std::cos(beta);
            r.sines[folded][lead] = std::sin(beta);
        }
    const double t = (315.0 - unfolded) / kDegreesPerRadian;
    r.fold = t > kRightAngle + 1e-9 ? kNever : t < -kRightAngle - 1e-9 ? kAlways : kTest;
    const double clamped = t > kRightAngle ? kRightAngle : t < -kRightAngle ? -kRightAngle : t;
    r.foldCosine = std::cos(clamped);
    r.foldSine = std::sin(clamped);
}

}  // namespace zorvane::detail
