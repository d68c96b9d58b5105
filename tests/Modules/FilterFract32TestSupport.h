// A small engine holding the Fract32 filter classes, with helpers that fill wires, reach variables by ordinal, and
// exact integer models of the Q1.31 coefficient conversion and of the biquad sections, written from their documented
// rules in 128-bit arithmetic.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "../Dsp/ExactModels.h"
#include "Modules/Standard/FiltersFract32.h"
#include "support/ModuleVariables.h"
#include "support/TestEngine.h"

namespace filtertest {

using kvetest::bitsOf;
using kvetest::clampTo32;
using kvetest::exactFract32Product;
using kvetest::scaleByPow2;

constexpr uint32_t kCascade = 0xBEEF0884u;
constexpr uint32_t kBiquad = 0xBEEF0885u;
constexpr uint32_t kSmoothed = 0xBEEF0886u;
constexpr uint32_t kButterworth = 0xBEEF0887u;
constexpr uint32_t kV2 = 0xBEEF0889u;
constexpr uint32_t kFir = 0xBEEF088Eu;
constexpr uint32_t kGraphicEQ = 0xBEEF088Fu;

constexpr float kRate = 48000.0f;
constexpr int32_t kMax = INT32_MAX;
constexpr int32_t kMin = INT32_MIN;

inline const ModClassDescriptor *const kFilterTable[] = {
    &kve_modBiquadCascadeFract32Class.record,     &kve_modBiquadFract32Class.record,
    &kve_modBiquadSmoothedFract32Class.record,    &kve_modBiquadV2Fract32Class.record,
    &kve_modButterworthFilterFract32Class.record, &kve_modFIRFract32Class.record,
    &kve_modGraphicEQBandFract32Class.record,
};

// ---- Models ----

// v x 2^-shift in Q1.31 by the rounded conversion: below -1.0 gives 0x80000000, 1.0 and above 0x7FFFFFFF, otherwise
// the single-precision product with 2^31, moved half a unit away from zero in single precision, truncated.
inline int32_t q31(float v, int shift)
{
    const double scaled = std::ldexp(static_cast<double>(v), -shift);
    if (scaled < -1.0)
        return kMin;
    if (scaled >= 1.0)
        return kMax;
    const double y = static_cast<double>(static_cast<float>(scaled)) * 2147483648.0;
    const float moved = static_cast<float>(y > 0.0 ? y + 0.5 : y - 0.5);
    return static_cast<int32_t>(std::trunc(static_cast<double>(moved)));
}

// The shift of a coefficient set: the largest binary exponent e with |v| < 2^e, at least 0.
inline int shiftOf(const std::vector<float> &c)
{
    int shift = 0;
    for (float v : c)
        if (v != 0.0f)
            shift = std::max(shift, static_cast<int>(std::floor(std::log2(std::fabs(static_cast<double>(v))))) + 1);
    return shift;
}

// The kernels negate a1 and a2 with saturation.
inline int32_t negated(int32_t a) { return clampTo32(-static_cast<__int128>(a)); }

// One direct-form-I section over a channel of n samples (stride `inc`): each product a x c / 2^31 floored and held to
// 32 bits, the five summed exactly, scaled by 2^shift (floored), saturated; state x1, x2, y1, y2.
inline void directFormI(const int32_t *x, int32_t *y, int inc, const int32_t *c, int32_t *state, int shift, int n)
{
    for (int i = 0; i < n; ++i) {
        const int32_t in = x[i * inc];
        const __int128 sum = static_cast<__int128>(exactFract32Product(in, c[0])) + exactFract32Product(state[0], c[1]) +
                             exactFract32Product(state[1], c[2]) + exactFract32Product(state[2], negated(c[3])) +
                             exactFract32Product(state[3], negated(c[4]));
        const int32_t out = clampTo32(scaleByPow2(sum, shift));
        y[i * inc] = out;
        state[1] = state[0];
        state[0] = in;
        state[3] = state[2];
        state[2] = out;
    }
}

// One cascade section with Q4.28 state (each word the sample / 8, floored): the sum of the full products with x/8
// and the state, scaled by 2^(shift - 28) (floored), saturated; y1 takes the output / 8.
inline void cascadeSection(const int32_t *x, int xInc, int32_t *y, int yInc, const int32_t *c, int32_t *state,
                           int shift, int n)
{
    for (int i = 0; i < n; ++i) {
        const __int128 in = kvetest::floorDivPow2(x[i * xInc], 3);
        const __int128 sum = in * c[0] + static_cast<__int128>(state[0]) * c[1] +
                             static_cast<__int128>(state[1]) * c[2] + static_cast<__int128>(state[2]) * negated(c[3]) +
                             static_cast<__int128>(state[3]) * negated(c[4]);
        const int32_t out = clampTo32(scaleByPow2(sum, shift - 28));
        y[i * yInc] = out;
        state[1] = state[0];
        state[0] = static_cast<int32_t>(in);
        state[3] = state[2];
        state[2] = static_cast<int32_t>(kvetest::floorDivPow2(out, 3));
    }
}

// Words that reach the corners of the products and sums: both extremes, zero, small values of both signs, a spread.
inline std::vector<int32_t> testSignal(uint32_t n, double scale = 1.0)
{
    const int32_t corners[] = {kMax, kMin, 0, 1, -1, 0x40000000, -0x40000000, 0x12345678, -0x0FEDCBA9, kMax, kMax};
    std::vector<int32_t> w(n);
    for (uint32_t i = 0; i < n; ++i) {
        const int32_t raw = i < std::size(corners) ? corners[i] : static_cast<int32_t>(0x9E3779B9u * (i + 1));
        w[i] = static_cast<int32_t>(std::trunc(raw * scale));
    }
    return w;
}

// Amplitude of the sine of `freq` in channel 0 of a mono Fract32 record, by projection on sine and cosine over
// whole periods of the record (its length a multiple of the period).
inline double amplitudeAt(const std::vector<int32_t> &y, double freq)
{
    double s = 0.0;
    double c = 0.0;
    for (size_t i = 0; i < y.size(); ++i) {
        const double phase = 2.0 * M_PI * freq * static_cast<double>(i) / kRate;
        s += y[i] * std::sin(phase);
        c += y[i] * std::cos(phase);
    }
    return 2.0 * std::hypot(s, c) / static_cast<double>(y.size()) / 2147483648.0;
}

class FiltersFract32 : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine_->classTable = kFilterTable;
        engine_->classCount = std::size(kFilterTable);
    }

    GenericWire *wire(uint32_t channels, uint32_t block) { return engine_.wire(channels, block); }
    static int32_t *data(GenericWire *w) { return static_cast<int32_t *>(w->buffer); }
    static void load(GenericWire *w, const int32_t *src)
    {
        std::memcpy(w->buffer, src, kve::kit::wireWords(w) * sizeof(int32_t));
    }
    static std::vector<int32_t> contents(GenericWire *w)
    {
        return {data(w), data(w) + kve::kit::wireWords(w)};
    }

    ClassModule *build(uint32_t classId, uint32_t wireWord, std::vector<GenericWire *> wires,
                       std::vector<uint32_t> args, int32_t *status = nullptr)
    {
        int32_t local = KVE_OK;
        return ClassModule_Constructor3(engine_.get(), classId, status != nullptr ? status : &local, wireWord,
                                        wires.data(), static_cast<uint32_t>(args.size()), args.data());
    }
    static void process(ClassModule *m) { m->classRecord->process(m); }
    static int32_t set(ClassModule *m) { return ClassModule_Set(m, KVE_MASK_ALL); }

public:
    // Variable k of a module, as its class record places it.
    template <typename T = int32_t> static T &var(ClassModule *m, uint32_t k)
    {
        return kvetest::variable<T>(m, k);
    }
    // The array (or inner module) a private variable points at.
    template <typename T = int32_t> static T *array(ClassModule *m, uint32_t k)
    {
        return kvetest::privateArray<T>(m, k);
    }
    // Writes a float coefficient array.
    static void write(ClassModule *m, uint32_t k, const std::vector<float> &values)
    {
        std::copy(values.begin(), values.end(), array<float>(m, k));
    }

protected:
    kvetest::TestEngine engine_;
};

} // namespace filtertest
