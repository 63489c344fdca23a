// The per-bar loops that run many bars side by side in vector registers,
// written once (kernel_bodies.hpp) and compiled per instruction set: on x86
// for SSE2, the baseline every x86 build has, and for AVX2 and AVX-512, used
// only where the processor and the operating system support them
// (kernels_x86.cpp chooses once per call); on aarch64 for NEON, which every
// aarch64 processor has; elsewhere over the compiler's portable vectors
// (both kernels_one_set.cpp).
//
// Every kernel computes what the scalar formulas compute, lane by lane in
// the same order, except where it uses a fast approximation: then it says so
// in the certainty bits or the doubt flags it returns, and the stage makes
// the library call for those bars.
#pragma once

#include <cstdint>

#include "working_series.hpp"

namespace zorvane::detail {

class AngleTable;

struct Kernels {
    const char* name;

    // Phase angles of `count` bars from their in-phase and quadrature values
    // (index -1 is the bar before the first). Marks kExactPhase where the
    // angle needs no arctangent.
    void (*phaseAngles)(const double* inPhase, const double* quadrature, int count, double* phase,
                        Certainty* certainty);

    // A chunk's in-phase and quadrature filters from its mean prices (with
    // the differences they start from), and its phase angles as phaseAngles
    // gives them; `smoothed`, if not null, gets mode 2's smoothed prices (the
    // formula of bars from kFirstSmoothedBar on). Every pointer is at the
    // first bar; mid and differenced reach back 6 bars, the others 1.
    void (*filteredAngles)(const double* mid, double* differenced, double* inPhase, double* quadrature,
                           double* smoothed, int count, double* phase, Certainty* certainty);

    // Clamped phase changes of `count` bars from the angles (index -1 is the
    // bar before the first) and their certainty, which gains kExactChange
    // where the change is exact and kWrapInDoubt where the wrap test needs
    // the library's angles. Returns whether any bar is in doubt.
    bool (*phaseChanges)(const double* phase, int count, double* deltaPhase, Certainty* certainty);

    // The raw period search of `count` bars (count <= kChunkBars; the
    // changes reach back 41 bars): the count recorded, 0 for none, and a bit
    // per bar (64 to a word) whose search must be redone by the stage.
    // termsBefore, the terms the bar before the first needed, only speeds it.
    void (*rawPeriods)(const double* deltaPhase, int count, int termsBefore, std::int32_t* found,
                       std::uint64_t* doubts);

    // Correlation sums of `count` neighbouring bars (count <= kKernelBars):
    // mid and period point at the first bar, mid reaches back 36 bars. The
    // table must hold the rows of every period that occurs.
    void (*correlations)(const double* mid, const double* period, int count, const AngleTable& table,
                         double* sineSums, double* cosineSums);

    // Sine and lead sine of `count` bars (count <= kKernelBars) from their
    // correlation sums and lag compensation (0 where none applies); either
    // output may be null. Returns a bit per bar whose outputs need the library.
    std::uint64_t (*phaseOutputs)(const double* sineSums, const double* cosineSums, const double* compensation,
                                  int count, float* sineOut, float* leadSineOut);

    // Mode 1's averages of `count` bars (count <= kChunkBars; mid and period
    // point at the first, mid reaches back `before` bars, at least every
    // bar's period + 1): sum / (period + 2), rounded to float, where the
    // sums are exact whatever their order (false, nothing stored, where that
    // is not certain).
    bool (*averages)(const double* mid, const double* period, int count, int before, float* out);

    // One bar's angle and clamped change from its components (in-phase,
    // in-phase before, quadrature, quadrature before) and the angle and
    // certainty of the bar before, for the streaming object: true when the
    // wrap test needs the library's angles.
    bool (*angleAndChangeOfOneBar)(const double (&components)[4], double phaseBefore, Certainty certaintyBefore,
                                   double* phase, double* change, Certainty* certainty);

    // Both outputs of one bar, for the streaming object: true when they
    // need the library.
    bool (*phaseOutputsOfOneBar)(double sineSum, double cosineSum, double compensation, float* sineOut,
                                 float* leadSineOut);

    // The fast arctangent (of |x|) and sine themselves, as this instruction
    // set evaluates them: for the tests of their error bounds.
    void (*approximations)(const double* x, int count, double* atanOut, double* sineOut);
};

// Bars per call of the kernels that take a bounded count.
constexpr int kKernelBars = 64;
constexpr int kChunkBars = 256;  // bars computed per window (entry.cpp)

// The kernels every processor of this architecture runs.
const Kernels& baselineKernels();
// The widest kernels this processor runs.
const Kernels& kernelsForThisMachine();
// The quickest kernels for one bar at a time (the streaming object).
const Kernels& kernelsForOneBar();

// Every set of kernels this processor runs, from the baseline to the widest
// (for the tests, which try each): how many were put in `sets`.
constexpr int kMostKernelSets = 4;
int kernelsThisMachineRuns(const Kernels* (&sets)[kMostKernelSets]);

}  // namespace zorvane::detail
