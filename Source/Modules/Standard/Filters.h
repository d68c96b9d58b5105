// Class records of the float biquad, FIR and Butterworth filter modules, the instance records that other modules
// reach into when they build one of these classes as an inner module, and the helpers the filter modules share.
#pragma once

#include <algorithm>
#include <cstdint>

#include "Modules/Standard/Scalers.h"
#include "kve/kve_vec.h"

extern "C" {
extern const kve::kit::ClassRecord<6> kve_modBiquadClass;
extern const kve::kit::ClassRecord<3> kve_modBiquadCascadeClass;
extern const kve::kit::ClassRecord<3> kve_modBiquadNCascadeClass;
extern const kve::kit::ClassRecord<14> kve_modBiquadSmoothedClass;
extern const kve::kit::ClassRecord<4> kve_modButterworthFilterClass;
extern const kve::kit::ClassRecord<4> kve_modFIRClass;
extern const kve::kit::ClassRecord<9> kve_modGraphicEQBandClass;
}

namespace kve::filters {

constexpr uint32_t kBiquadCascadeClassId = 0xBEEF080Bu;
// Words of one second-order section: b0, b1, b2, a1, a2.
constexpr uint32_t kSectionWords = 5;
// State words of one direct-form-II section on one channel.
constexpr uint32_t kSectionStateWords = 2;
// The wiring of every composite filter: one input and one output.
constexpr uint32_t kOneInOneOut = 0x101;

// BiquadSmoothed: `b0`..`a2` are the targets the current coefficients glide toward once per block.
struct BiquadSmoothedModule {
    ClassModule header;
    int32_t updateActive;
    float smoothingTime;
    float b0, b1, b2, a1, a2;
    float currentB0, currentB1, currentB2, currentA1, currentA2;
    float smoothingCoeff;
    float *state;
};

// BiquadCascade: the inner module of the composite filters, which design straight into its `coeffs`.
struct BiquadCascadeModule {
    ClassModule header;
    int32_t numStages;
    float *coeffs;
    float *state;
};

// A size a host wrote (stages, taps, order) held to what was allocated for it: below zero counts as zero.
inline uint32_t clampedCount(int32_t written, uint32_t capacity)
{
    return written <= 0 ? 0u : std::min(static_cast<uint32_t>(written), capacity);
}

// The size a construction argument gives, or 0 when the argument list is not the class's (the generic constructor
// refuses that list, so the value is never used).
inline int32_t sizeArgument(uint32_t argc, const uint32_t *args, uint32_t publicCount, uint32_t index)
{
    return args != nullptr && argc == publicCount ? static_cast<int32_t>(args[index]) : 0;
}

// count x per as an element factor for the kit; a product beyond 32 bits stays too large to allocate, so the
// construction fails instead of wrapping to a small array.
inline uint32_t elementFactor(uint64_t count, uint64_t per)
{
    return static_cast<uint32_t>(std::min<uint64_t>(count * per, UINT32_MAX));
}

// One section over the first `served` channels of interleaved frames `stride` samples apart: four channels at a
// time, then a pair, then a last single channel; channel c's two state words at state + 2c.
inline void biquadChannels(const float *src, float *dst, uint32_t stride, uint32_t served, const float *coeffs,
                           float *state, int32_t frames)
{
    const auto inc = static_cast<int32_t>(stride);
    uint32_t c = 0;
    for (; c + 4 <= served; c += 4)
        kve_vecBiquad_4ch(src + c, inc, dst + c, inc, coeffs, state + kSectionStateWords * c, frames);
    if (c + 2 <= served) {
        kve_vecBiquad_2ch(src + c, inc, dst + c, inc, coeffs, state + kSectionStateWords * c, frames);
        c += 2;
    }
    if (c < served)
        kve_vecBiquad(src + c, inc, dst + c, inc, coeffs, state + kSectionStateWords * c, frames);
}

// One section from wire `in` into wire `out` over the frames both hold, for the first `served` channels.
inline void runBiquad(const GenericWire *in, GenericWire *out, const float *coeffs, float *state, uint32_t served)
{
    biquadChannels(scalers::samples(in), scalers::samples(out), scalers::channels(in), served, coeffs, state,
                   scalers::frames(in, out));
}

// One smoothing step of a running coefficient toward its target, (1 - c) current fused onto c target.
inline float glideTowards(float current, float target, float c) { return std::fma(1.0f - c, current, c * target); }

// The same step for `count` running coefficients.
inline void glideCoefficients(float *current, const float *target, float c, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i)
        current[i] = glideTowards(current[i], target[i], c);
}

// Builds a composite filter: the outer module by the generic constructor, then the inner cascade of class
// `innerClassId` with `stages(outer)` sections on the outer module's two wires, stored in the private pointer at
// `innerOffset`. Wiring other than one input and one output is refused before any wire is read; null when either
// module cannot be built.
template <class Stages>
ClassModule *constructComposite(const ModClassDescriptor &record, size_t innerOffset, uint32_t innerClassId,
                                int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                const uint32_t *args, Stages stages)
{
    if (*status != KVE_OK)
        return nullptr;
    if (wireWord != kOneInOneOut) {
        *status = KVE_E_ARG_COUNT;
        return nullptr;
    }
    ClassModule *outer = BaseClassModule_ConstructorHidden(&record, status, wireWord, wires, argc, args, 0);
    if (outer == nullptr)
        return nullptr;
    const uint32_t count = stages(outer);
    ClassModule *inner = ClassModule_Constructor(innerClassId, status, kOneInOneOut, outer->wires, 1, &count);
    if (inner == nullptr || *status != KVE_OK)
        return nullptr;
    std::memcpy(reinterpret_cast<char *>(outer) + innerOffset, &inner, sizeof inner);
    return outer;
}

} // namespace kve::filters
