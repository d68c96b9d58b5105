// PolarToComplex: the complex samples of magnitude wire 1 and angle wire 0 (radians) into the complex wire 2:
// re = magnitude cos(angle), im = magnitude sin(angle).
#include <cmath>

#include "Modules/Advanced/ComplexModules.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::complexmods;

constexpr std::array<Variable, 0> kVariables = {};

constexpr float kPi = 3.1415927f;
// Angles taken into the principal range per pass, on the stack.
constexpr int32_t kRun = 64;

// The fast cosine and sine hold only for |angle| <= pi, and an angle wire may carry any phase (an unwrapped or an
// accumulated one): whole turns are taken away first. Angles already in range pass bit for bit.
float principal(float angle)
{
    if (std::fabs(angle) <= kPi)
        return angle;
    return static_cast<float>(std::remainder(static_cast<double>(angle), 2.0 * M_PI));
}

void polarToComplexProcess(ClassModule *m)
{
    const GenericWire *out = wire(m, inputs(m));
    const float *angle = samples(wire(m, 0));
    const float *magnitude = samples(wire(m, 1));
    const int32_t n = fewest({wireWords(wire(m, 0)), wireWords(wire(m, 1)), complexIn(out)});
    float wrapped[kRun];
    for (int32_t done = 0; done < n; done += kRun) {
        const int32_t run = std::min(kRun, n - done);
        for (int32_t k = 0; k < run; ++k)
            wrapped[k] = principal(angle[done + k]);
        kve_vecPolarToComplex(magnitude + done, 1, wrapped, 1, samples(out) + 2 * done, 2, run);
    }
}

} // namespace

extern "C" constinit const ClassRecord<0> kve_modPolarToComplexClass = makeClass<0>(
    0xBEEF0D17u,
    {kve::shapes::wired<&kve_modPolarToComplexClass, 2, 1>, polarToComplexProcess, polarToComplexProcess},
    kVariables);
