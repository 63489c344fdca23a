#include "literal_oscillator.hpp"

#include <cmath>
#include <cstring>
#include <vector>

namespace reference {
namespace {

// Written independently of the module's own helpers.
bool below(double a, double b) { return std::isnan(a) || std::isnan(b) || a < b; }
bool above(double a, double b) { return !std::isnan(a) && !std::isnan(b) && a > b; }
bool zero(double x) { return std::isnan(x) || x == 0.0; }

float marker() {
    const std::uint32_t bits = 0x7F7FC99Eu;
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

}  // namespace

namespace {

// Direct library calls, as a plain implementation makes them.
struct StandardMath {
    static double sin(double x) { return std::sin(x); }
    static double cos(double x) { return std::cos(x); }
    static double atan(double x) { return std::atan(x); }
};

template <class Math>
void literal(const float* priceA, const float* priceB, std::int32_t mode, std::int32_t count,
             float* output, const Math& math);

}  // namespace

const MathFunctions& standardMath() {
    static const MathFunctions math{StandardMath::sin, StandardMath::cos, StandardMath::atan};
    return math;
}

void literalOscillator(const float* priceA, const float* priceB, std::int32_t mode,
                       std::int32_t count, float* output) {
    literal(priceA, priceB, mode, count, output, StandardMath{});
}

void literalOscillator(const float* priceA, const float* priceB, std::int32_t mode,
                       std::int32_t count, float* output, const MathFunctions& math) {
    literal(priceA, priceB, mode, count, output, math);
}

namespace {

template <class Math>
void literal(const float* priceA, const float* priceB, std::int32_t mode, std::int32_t count,
             float* output, const Math& math) {
    if (!priceA || !priceB || !output || count <= 0) return;
    if (count < 6) {
        for (int j = 0; j < count; ++j) output[j] = marker();
        return;
    }
    std::vector<double> mid(count), differenced(count), inPhase(count), quadrature(count),
        phase(count), deltaPhase(count), rawPeriod(count), period(count), smoothedPrice(count);

    for (int j = 0; j < 6; ++j) {
        output[j] = marker();
        mid[j] = ((double)priceA[j] + (double)priceB[j]) * 0.5;
        differenced[j] = inPhase[j] = quadrature[j] = phase[j] = 0;
        deltaPhase[j] = rawPeriod[j] = period[j] = smoothedPrice[j] = 0;
    }
    if (!(count > 6)) return;

    for (int l = 6; l < count; ++l) {
        // Cycle measurement.
        mid[l] = ((double)priceA[l] + (double)priceB[l]) * 0.5;
        differenced[l] = mid[l] - mid[l - 6];
        inPhase[l] = 0.33 * differenced[l - 3] + 0.67 * inPhase[l - 1];
        double q = 0.25 * (differenced[l - 2] - differenced[l - 4]) +
                   0.75 * (differenced[l] - differenced[l - 6]);
        quadrature[l] = 0.2 * q + 0.8 * quadrature[l - 1];

        double s = inPhase[l - 1] + inPhase[l];
        if (!zero(s))
            phase[l] = math.atan(std::fabs((quadrature[l] + quadrature[l - 1]) / s)) *
                       57.29577951471995;
        else
            phase[l] = 0;
        double I = inPhase[l], Q = quadrature[l];
        if (below(I, 0) && above(Q, 0)) phase[l] = 180 - phase[l];
        if (below(I, 0) && below(Q, 0)) phase[l] = phase[l] + 180;
        if (above(I, 0) && below(Q, 0)) phase[l] = 360 - phase[l];

        deltaPhase[l] = phase[l - 1] - phase[l];
        if (below(phase[l - 1], 90) && above(phase[l], 270))
            deltaPhase[l] = (phase[l - 1] + 360) - phase[l];
        if (below(deltaPhase[l], 1)) deltaPhase[l] = 1;
        if (above(deltaPhase[l], 60)) deltaPhase[l] = 60;

        rawPeriod[l] = 0;
        double sum = 0;
        for (int m = 0; m <= 40; ++m) {
            if (l - m < 0) break;
            sum = sum + deltaPhase[l - m];
            if (above(sum, 360)) {
                rawPeriod[l] = m;
                break;
            }
        }
        if (zero(rawPeriod[l])) rawPeriod[l] = rawPeriod[l - 1];

        double unroundedPeriod = 0.75 * period[l - 1] + 0.25 * rawPeriod[l];
        period[l] = std::trunc(unroundedPeriod);
        double P = period[l];

        if (mode == 1 || mode == 2) {
            double total = 0;
            for (int F = 0; F <= (int)P + 1; ++F)
                if (l - F >= 0) total = total + mid[l - F];
            double cycleAverage = total / (P + 2);
            smoothedPrice[l] = 0.33 * (mid[l] + 0.5 * (mid[l] - mid[l - 3])) + 0.67 * smoothedPrice[l - 1];
            if (l < 25) {
                cycleAverage = mid[l];
                smoothedPrice[l] = mid[l];
            }
            output[l] = (float)(mode == 1 ? cycleAverage : smoothedPrice[l]);
        }

        if (mode == 3 || mode == 4) {
            double sineSum = 0, cosineSum = 0;
            if (P >= 1)
                for (int n = 0; n < (int)P; ++n) {
                    double angle = n * 6.283185307 / P;
                    sineSum = sineSum + math.sin(angle) * mid[l - n];
                    cosineSum = cosineSum + math.cos(angle) * mid[l - n];
                }
            double cyclePhase;
            if (above(std::fabs(cosineSum), 0.001))
                cyclePhase = math.atan(sineSum / cosineSum) * 57.29577951471995;
            else if (!zero(sineSum))
                cyclePhase = std::copysign(90.0, sineSum);
            else
                cyclePhase = 0;
            if (below(P, 30) && above(unroundedPeriod, 0))
                cyclePhase = cyclePhase + (6.818 / unroundedPeriod - 0.227) * 360;
            cyclePhase = cyclePhase + 90;
            if (below(cosineSum, 0)) cyclePhase = cyclePhase + 180;
            if (above(cyclePhase, 315)) cyclePhase = cyclePhase - 360;
            if (mode == 3)
                output[l] = (float)math.sin(cyclePhase * 0.017453292519444445);
            else
                output[l] = (float)math.sin((cyclePhase + 45) * 0.017453292519444445);
        }
    }
}

}  // namespace

}  // namespace reference
