// An engine holding the balance, polarity, crossfade and wet/dry classes, with integer models of the Q1.31 rules
// their Fract32 twins follow.
#pragma once

#include "Modules/Standard/Faders.h"
#include "ScalerTestSupport.h"

#include <iterator>

namespace fadertest {

using kvetest::bitsOf;
using scalertest::glide;
using scalertest::kRate;
using scalertest::stepOf;

constexpr uint32_t kBalance = 0xBEEF087Du;
constexpr uint32_t kBalanceFract32 = 0xBEEF0888u;
constexpr uint32_t kInvert = 0xBEEF0815u;
constexpr uint32_t kInvertFract32 = 0xBEEF0891u;
constexpr uint32_t kCrossFader = 0xBEEF0812u;
constexpr uint32_t kWetDry = 0xBEEF085Fu;

inline const ModClassDescriptor *const kFaderTable[] = {
    &kve_modBalanceClass.record, &kve_modBalanceFract32Class.record, &kve_modInvertClass.record,
    &kve_modInvertFract32Class.record, &kve_modCrossFaderClass.record, &kve_modWetDryClass.record,
};

constexpr int32_t kMax = INT32_MAX;
constexpr int32_t kMin = INT32_MIN;
constexpr float kSentinel = -777.0f;

inline int32_t clamp32(__int128 v) { return v > kMax ? kMax : v < kMin ? kMin : static_cast<int32_t>(v); }
// a x b in Q1.31: the 128-bit product shifted right by 31 (toward minus infinity), saturated.
inline int32_t mul31(int32_t a, int32_t b) { return clamp32((static_cast<__int128>(a) * b) >> 31); }
// One smoothing step of g toward target with coefficient a: g (1 - a) + target a, each product and the sum saturated.
inline int32_t step(int32_t g, int32_t target, int32_t a)
{
    return clamp32(static_cast<__int128>(mul31(g, clamp32(static_cast<__int128>(kMax) - a))) + mul31(target, a));
}
// A float gain in Q1.31, half a unit away from zero: 1.0 and above saturate, as do values below -1.0.
inline int32_t q31(double x)
{
    if (x >= 1.0)
        return kMax;
    if (x < -1.0)
        return kMin;
    const double y = x * 2147483648.0;
    return static_cast<int32_t>(y > 0 ? y + 0.5 : y - 0.5);
}

// Glides every channel of a block from g0 toward target, each channel starting again from g0, and returns the
// output words and (through *last) the last channel's end gain.
inline std::vector<int32_t> modelGlide(const std::vector<int32_t> &in, uint32_t ch, uint32_t frames, int32_t g0,
                                       int32_t target, int32_t a, int32_t *last)
{
    std::vector<int32_t> out(in.size(), 0);
    *last = g0;
    for (uint32_t c = 0; c < ch; ++c) {
        int32_t g = g0;
        for (uint32_t t = 0; t < frames; ++t) {
            g = step(g, target, a);
            out[t * ch + c] = mul31(in[t * ch + c], g);
        }
        *last = g;
    }
    return out;
}

// Words reaching the corners of the products: both extremes, zero, small values of both signs, a spread.
inline std::vector<int32_t> testWords(uint32_t n, uint32_t seed = 1)
{
    const int32_t corners[] = {kMax, kMin, 0, 1, -1, 0x40000000, -0x40000000, 0x12345678, -0x0FEDCBA9};
    std::vector<int32_t> w(n);
    for (uint32_t i = 0; i < n; ++i)
        w[i] = i < std::size(corners) ? corners[(i + seed) % std::size(corners)]
                                      : static_cast<int32_t>(0x9E3779B9u * (i + seed));
    return w;
}

class Faders : public scalertest::Scalers {
protected:
    void SetUp() override
    {
        engine_->classTable = kFaderTable;
        engine_->classCount = std::size(kFaderTable);
    }

    static int32_t *words(GenericWire *w) { return static_cast<int32_t *>(w->buffer); }
    static void put(GenericWire *w, const std::vector<int32_t> &v) { std::copy(v.begin(), v.end(), words(w)); }
    static std::vector<int32_t> get(GenericWire *w)
    {
        return std::vector<int32_t>(words(w), words(w) + kve::kit::wireWords(w));
    }
};

} // namespace fadertest
