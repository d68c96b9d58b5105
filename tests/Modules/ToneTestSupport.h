// A small engine holding the smoothed second-order filter and tone-control classes, with helpers that run a module
// block by block over a signal and ask the cookbook oracle what a chain of sections makes of the same signal.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "Modules/Standard/Tone.h"
#include "../Dsp/ExactModels.h"
#include "ScalerTestSupport.h"
#include "support/PythonOracle.h"

namespace tonetest {

using kvetest::bitsOf;

constexpr uint32_t kSecondOrderFilterSmoothed = 0xBEEF0807u;
constexpr uint32_t kSecondOrderFilterSmoothedCascade = 0xBEEF0808u;
constexpr uint32_t kSecondOrderFilterSmoothedFract32 = 0xBEEF08C1u;
constexpr uint32_t kSOFSmoothedCascadeFract32 = 0xBEEF08C0u;
constexpr uint32_t kSofV2HpFract32 = 0xBEEF08CEu;
constexpr uint32_t kThreeBandToneControl = 0xBEEF0809u;
constexpr uint32_t kThreeBandToneControlFract32 = 0xBEEF08D2u;

inline const ModClassDescriptor *const kToneTable[] = {
    &kve_modSecondOrderFilterSmoothedClass.record,        &kve_modSecondOrderFilterSmoothedCascadeClass.record,
    &kve_modSecondOrderFilterSmoothedFract32Class.record, &kve_modSOFSmoothedCascadeFract32Class.record,
    &kve_modSofV2HpFract32Class.record,                   &kve_modThreeBandToneControlClass.record,
    &kve_modThreeBandToneControlFract32Class.record,
};

constexpr uint32_t kBlock = 32;
constexpr double kFullScale = 2147483648.0;

// How far a settled filter may stray from the cookbook chain computed in double precision. A float section with a
// pole near the unit circle turns the last-place rounding of its coefficients (and the few units a glide stops short
// of its target) into output errors of up to some 2e-5; Q1.31 sections truncate every product, which a post shift
// and such poles make errors of up to some 1e-5 of full scale. A wrong design argument, shift or coefficient, or a
// state mixed up between channels or stages, shows as 1e-2 and more.
constexpr double kFloatTolerance = 1e-4;
constexpr double kFract32Tolerance = 5e-5;

// Construction arguments are 32-bit patterns: floats by their bits, integers as they are.
inline uint32_t f(float v) { return bitsOf(v); }
inline uint32_t i(int32_t v) { return static_cast<uint32_t>(v); }

// One parametric section as the oracle takes it.
struct Section {
    int32_t type;
    float freq, gain, Q;
};

// Uniform noise in [-amplitude, amplitude), the same for every run with one seed.
inline std::vector<float> noise(size_t n, float amplitude, uint32_t seed)
{
    std::mt19937 gen(seed);
    std::vector<float> v(n);
    for (float &x : v)
        x = amplitude * (static_cast<float>(gen() >> 8) * 0x1p-23f - 1.0f);
    return v;
}

// Interleaved channels through the sections in order, from rest, in double precision; `single` rounds the
// coefficients to single precision first, as a float filter holds them.
inline std::vector<double> cookbook(uint32_t channels, const std::vector<Section> &sections,
                                    const std::vector<float> &x, bool single = false)
{
    std::vector<std::string> args{single ? "single" : "double", kvetest::oracleArg(48000.0), std::to_string(channels),
                                  std::to_string(sections.size())};
    for (const Section &s : sections)
        for (double v : {static_cast<double>(s.type), double{s.freq}, double{s.gain}, double{s.Q}})
            args.push_back(kvetest::oracleArg(v));
    for (float v : x)
        args.push_back(kvetest::oracleArg(v));
    return kvetest::runOracle("tone_sections.py", args);
}

class Tone : public scalertest::Scalers {
protected:
    void SetUp() override
    {
        engine_->classTable = kToneTable;
        engine_->classCount = sizeof kToneTable / sizeof kToneTable[0];
    }

    static int32_t *words(GenericWire *w) { return static_cast<int32_t *>(w->buffer); }

    // Runs the module over the signal, block by block through its input wire, and returns what its output wire held
    // after each block.
    template <typename T> std::vector<T> run(ClassModule *m, const std::vector<T> &x)
    {
        GenericWire *in = kve::kit::wire(m, 0);
        GenericWire *out = kve::kit::wire(m, 1);
        const uint32_t n = kve::kit::wireWords(in);
        std::vector<T> y;
        for (size_t at = 0; at + n <= x.size(); at += n) {
            std::memcpy(in->buffer, x.data() + at, n * sizeof(T));
            pump(m);
            const T *o = static_cast<const T *>(out->buffer);
            y.insert(y.end(), o, o + n);
        }
        return y;
    }
    // Writes the per-stage parameters of a cascade into its four stage arrays (the first at variable `first`) and
    // calls Set.
    static void configureStages(ClassModule *m, uint32_t first, const std::vector<Section> &sections)
    {
        for (size_t k = 0; k < sections.size(); ++k) {
            array<int32_t>(m, first)[k] = sections[k].type;
            array<float>(m, first + 1)[k] = sections[k].freq;
            array<float>(m, first + 2)[k] = sections[k].gain;
            array<float>(m, first + 3)[k] = sections[k].Q;
        }
        ASSERT_EQ(ClassModule_Set(m, KVE_MASK_ALL), 0);
    }
    // Runs `blocks` blocks of silence, so that gliding coefficients settle while the filter state stays at rest.
    void settle(ClassModule *m, uint32_t blocks)
    {
        GenericWire *in = kve::kit::wire(m, 0);
        for (uint32_t b = 0; b < blocks; ++b) {
            std::memset(in->buffer, 0, kve::kit::wireWords(in) * 4);
            pump(m);
        }
    }
};

// Q1.31 words of float samples (exact for the amplitudes the tests use).
inline std::vector<int32_t> toWords(const std::vector<float> &x)
{
    std::vector<int32_t> w(x.size());
    for (size_t k = 0; k < x.size(); ++k)
        w[k] = static_cast<int32_t>(static_cast<double>(x[k]) * kFullScale);
    return w;
}

// The Q1.31 smoothing step as stated: both products exact, each floored at 2^-31 and held at most at 0x7FFFFFFF,
// the sum clamped to 32 bits.
inline int32_t glidedWord(int32_t current, int32_t target, int32_t k)
{
    using kvetest::floorDivPow2;
    const __int128 complement = __int128{INT32_MAX} - k;
    const __int128 kept = std::min<__int128>(floorDivPow2(__int128{current} * complement, 31), INT32_MAX);
    const __int128 moved = std::min<__int128>(floorDivPow2(__int128{target} * k, 31), INT32_MAX);
    return kvetest::clampTo32(kept + moved);
}

// The largest distance between the module's output and the oracle's.
template <typename T> double worstError(const std::vector<T> &y, const std::vector<double> &expected, double unit)
{
    double worst = 0.0;
    EXPECT_EQ(y.size(), expected.size());
    for (size_t k = 0; k < y.size() && k < expected.size(); ++k)
        worst = std::max(worst, std::fabs(static_cast<double>(y[k]) / unit - expected[k]));
    return worst;
}

} // namespace tonetest
