// SbRMS: a running RMS of every value of a block (a word of a real wire, a complex value of a complex one), the mean
// square smoothed by one pole per block; the output is a real wire of one level per value.
#include <algorithm>
#include <cmath>

#include "Modules/Advanced/SbBlocks.h"
#include "Modules/Standard/Scalers.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using kve::scalers::isComplex;
using kve::scalers::samples;

struct SbRMSModule {
    ClassModule header;
    float smoothingTime; // ms
    float rmsA1;
    float rmsB0;
    float *meanSquare;
};

constexpr std::array<Variable, 4> kVariables = {
    KVE_VARIABLE(SbRMSModule, smoothingTime, Float),
    KVE_VARIABLE(SbRMSModule, rmsA1, Float),
    KVE_VARIABLE(SbRMSModule, rmsB0, Float),
    KVE_ARRAY(SbRMSModule, meanSquare, FloatArray, perWordOfWire(0)),
};

constexpr uint32_t kSmoothingTimeChanged = 1u << 8;
constexpr float kTwoPi = 6.2831855f;
// Milliseconds per second as the single-precision value just below 1000, which the time constant is formed with.
constexpr float kMsPerSecond = 999.99994f;

ClassModule *kve_modSbRMSConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                     const uint32_t *args)
{
    return construct(kve_modSbRMSClass, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

// Levels of one block: values of the input that the output and the mean squares hold.
uint32_t levelCount(ClassModule *m)
{
    const GenericWire *in = wire(m, 0);
    const uint32_t values = isComplex(in) ? wireWords(in) / 2 : wireWords(in);
    return std::min({values, wireWords(wire(m, 1)), capacity(m, 0)});
}

void kve_modSbRMSProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<SbRMSModule *>(m);
    const float *in = samples(wire(m, 0));
    float *out = samples(wire(m, 1));
    const bool complex = isComplex(wire(m, 0));
    const uint32_t n = levelCount(m);
    for (uint32_t i = 0; i < n; ++i) {
        const float power = complex ? in[2 * i] * in[2 * i] + in[2 * i + 1] * in[2 * i + 1] : in[i] * in[i];
        float &p = s->meanSquare[i];
        p = s->rmsB0 * power - s->rmsA1 * p;
        out[i] = std::sqrt(p);
    }
}

// A bypassed RMS outputs the level of each value without smoothing.
void kve_modSbRMSBypass(ClassModule *m)
{
    const float *in = samples(wire(m, 0));
    float *out = samples(wire(m, 1));
    const auto n = static_cast<int32_t>(levelCount(m));
    if (isComplex(wire(m, 0)))
        kve_vecMagnitude(in, 2, out, 1, n);
    else
        kve_vecAbs(in, 1, out, 1, n);
}

int32_t kve_modSbRMSSet(ClassModule *m, uint32_t mask)
{
    auto *s = reinterpret_cast<SbRMSModule *>(m);
    if ((mask & kSmoothingTimeChanged) == 0)
        return 0;
    // A time of 0 does not smooth; nor does a negative one (or NaN), whose pole would lie outside the unit circle and
    // drive the mean square to infinity or below zero.
    if (!(s->smoothingTime > 0.0f)) {
        s->rmsA1 = 0.0f;
        s->rmsB0 = 1.0f;
        return 0;
    }
    const float a = std::exp(-kTwoPi * kMsPerSecond / (s->smoothingTime * wire(m, 0)->sampleRate));
    s->rmsA1 = -a;
    s->rmsB0 = 1.0f - a;
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<4> kve_modSbRMSClass = makeClass<4>(
    0xBEEF0D2Eu, {kve_modSbRMSConstructor, kve_modSbRMSProcess, kve_modSbRMSBypass, kve_modSbRMSSet}, kVariables);
