#include "cycle_measurement.hpp"

#include <cmath>

#include "comparisons.hpp"

namespace zorvane::detail {
namespace {

// The raw period search of L consecutive bars side by side: each lane adds
// its own terms in its own order, so the lanes only share the loop. A lane
// whose sum has passed 360 keeps adding, harmlessly: its recorded count is
// already fixed, and every term is at least 1 so its sum stays above 360.
// Terms before bar 0 do not exist; adding nothing in their place leaves the
// sum where the search would have stopped.
template <int L>
void searchGroup(const WorkingSeries& s, Bar firstBar, double (&found)[L]) {
    double sum[L];
    for (int k = 0; k < L; ++k) sum[k] = found[k] = 0.0;
    for (int m = 0; m <= kSearchLimit; ++m) {
        bool allFound = true;
        for (int k = 0; k < L; ++k) {
            const Bar bar = firstBar + k - m;
            sum[k] += bar >= 0 ? s.deltaPhase[bar] : 0.0;
            const bool firstPass = greaterThan(sum[k], 360.0) && isZero(found[k]);
            found[k] = firstPass ? m : found[k];
            allFound = allFound && isNotZero(found[k]);
        }
        if (allFound) break;
    }
}

}  // namespace

double phaseAngle(double inPhaseNow, double inPhaseBefore, double quadratureNow,
                  double quadratureBefore) {
    const double s = inPhaseBefore + inPhaseNow;
    double angle = 0.0;
    if (isNotZero(s))
        angle = std::atan(std::fabs((quadratureNow + quadratureBefore) / s)) * kDegreesPerRadian;
    // Quadrant from the current components alone (not the sums above).
    const double i = inPhaseNow, q = quadratureNow;
    if (lessThan(i, 0.0) && greaterThan(q, 0.0)) angle = 180.0 - angle;
    if (lessThan(i, 0.0) && lessThan(q, 0.0)) angle = angle + 180.0;
    if (greaterThan(i, 0.0) && lessThan(q, 0.0)) angle = 360.0 - angle;
    return angle;
}

double clampedPhaseChange(double before, double now) {
    double change = before - now;
    if (lessThan(before, 90.0) && greaterThan(now, 270.0)) change = (before + 360.0) - now;
    if (lessThan(change, 1.0)) change = 1.0;
    if (greaterThan(change, 60.0)) change = 60.0;
    return change;
}

void measurePhases(const WorkingSeries& s, Bar first, Bar last) {
    for (Bar l = first; l < last; ++l) {
        s.differenced[l] = s.mid[l] - s.mid[l - 6];
        s.inPhase[l] = 0.33 * s.differenced[l - 3] + 0.67 * s.inPhase[l - 1];
        const double q = 0.25 * (s.differenced[l - 2] - s.differenced[l - 4]) +
                         0.75 * (s.differenced[l] - s.differenced[l - 6]);
        s.quadrature[l] = 0.2 * q + 0.8 * s.quadrature[l - 1];
        s.phase[l] = phaseAngle(s.inPhase[l], s.inPhase[l - 1], s.quadrature[l], s.quadrature[l - 1]);
        s.deltaPhase[l] = clampedPhaseChange(s.phase[l - 1], s.phase[l]);
    }
}

void searchRawPeriods(const WorkingSeries& s, Bar first, Bar last) {
    constexpr int kLanes = 4;
    Bar l = first;
    auto record = [&s](Bar bar, double found) {
        s.rawPeriod[bar] = isZero(found) ? s.rawPeriod[bar - 1] : found;
    };
    for (; l + kLanes <= last; l += kLanes) {
        double found[kLanes];
        searchGroup(s, l, found);
        for (int k = 0; k < kLanes; ++k) record(l + k, found[k]);
    }
    for (; l < last; ++l) {
        double found[1];
        searchGroup(s, l, found);
        record(l, found[0]);
    }
}

void smoothPeriods(const WorkingSeries& s, Bar first, Bar last) {
    for (Bar l = first; l < last; ++l) s.period[l] = std::trunc(unroundedPeriod(s, l));
}

}  // namespace zorvane::detail
