// The turning constants of phase_rotation.hpp, computed by the compiler: no
// library call, nothing filled on first use, the same bits everywhere.
#include "phase_rotation.hpp"

namespace zorvane::detail {
namespace {

constexpr PhaseRotation rotationFor(double compensation, bool cosineNegative) {
    constexpr double kRightAngle = 1.5707963267948966;
    PhaseRotation r{};
    // Phases must stay below 2048 degrees for the bound: |a K1| < 90, and
    // the constants below add at most 405 more.
    if (!(compensation < 1500.0 && compensation > -1500.0)) {
        r.fold = PhaseRotation::kUnused;
        return r;
    }
    const double unfolded = (compensation + 90.0) + (cosineNegative ? 180.0 : 0.0);
    for (int folded = 0; folded < 2; ++folded)
        for (int lead = 0; lead < 2; ++lead) {
            const double psi = (unfolded - (folded ? 360.0 : 0.0)) + (lead ? 45.0 : 0.0);
            const SineAndCosine turn = sineAndCosineOf(psi * kRadiansPerDegree);
            r.cosines[folded][lead] = turn.cosine;
            r.sines[folded][lead] = turn.sine;
        }
    const double t = (315.0 - unfolded) / kDegreesPerRadian;
    r.fold = t > kRightAngle + 1e-9    ? PhaseRotation::kNever
             : t < -kRightAngle - 1e-9 ? PhaseRotation::kAlways
                                       : PhaseRotation::kTest;
    const SineAndCosine fold = sineAndCosineOf(t > kRightAngle ? kRightAngle : t < -kRightAngle ? -kRightAngle : t);
    r.foldCosine = fold.cosine;
    r.foldSine = fold.sine;
    return r;
}

constexpr PhaseRotations allPhaseRotations() {
    PhaseRotations all{};
    for (int quarters = 0; quarters < kCompensationKeys; ++quarters)
        for (int negative = 0; negative < 2; ++negative)
            all.rows[quarters][negative] = rotationFor(compensationOfQuarters(quarters), negative != 0);
    return all;
}

}  // namespace

constexpr PhaseRotations kPhaseRotations = allPhaseRotations();

}  // namespace zorvane::detail
