// Class records and instance records of the gain-computing dynamics modules: envelope followers, compressor and AGC
// gain computers, downward expanders, duckers, an attack-decay-sustain-release envelope and a slew-rate limiter; with
// the coefficient and level helpers they share.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "Dsp/Fract32.h"
#include "Modules/Advanced/AdvancedKit.h"
#include "Modules/ModuleKit.h"
#include "Modules/Standard/Dynamics.h"
#include "Modules/Standard/Shapes.h"
#include "kve/kve_design.h"
#include "kve/kve_vec.h"

extern "C" {
extern const kve::kit::ClassRecord<5> kve_modAGCAttackReleaseClass;
extern const kve::kit::ClassRecord<5> kve_modAGCAttackReleaseFract32Class;
extern const kve::kit::ClassRecord<15> kve_modAGCCompressorCoreClass;
extern const kve::kit::ClassRecord<17> kve_modAGCCompressorCoreFract32Class;
extern const kve::kit::ClassRecord<30> kve_modAGCCoreFract32Class;
extern const kve::kit::ClassRecord<11> kve_modAGCVariableAttackReleaseClass;
extern const kve::kit::ClassRecord<12> kve_modAttackDecaySustainReleaseClass;
extern const kve::kit::ClassRecord<10> kve_modDownwardExpanderCoreClass;
extern const kve::kit::ClassRecord<14> kve_modDownwardExpanderCoreFract32Class;
extern const kve::kit::ClassRecord<13> kve_modDuckerClass;
extern const kve::kit::ClassRecord<13> kve_modDuckerFract32Class;
extern const kve::kit::ClassRecord<7> kve_modSlewRateLimiterClass;
}

namespace kve::dyncores {

// The rate every time of these classes is measured against: the first input wire's.
inline float rateOf(const ClassModule *m) { return kit::wire(m, 0)->sampleRate; }

// The one-pole coefficient of a time in milliseconds, per sample of the first input.
inline float perSample(const ClassModule *m, float timeMs) { return design_smoother(1, timeMs, rateOf(m)); }

// Whether Set's mask names public variable k.
inline bool names(uint32_t mask, uint32_t k) { return (mask & (1u << (8 + k))) != 0; }

// The samples a mono class works on: the first block-size samples of its input (wire 0), as far as the output after
// the inputs holds them too.
inline int32_t monoSamples(const ClassModule *m) { return dynamics::gainSamples(m); }

// Whole frames of a multichannel wire pair, and the channels whose state array was built for them.
struct Frames {
    uint32_t stride;   // channels of the input
    uint32_t channels; // channels with state
    int32_t frames;
};
inline Frames framesOf(ClassModule *m, uint32_t stateArray)
{
    const GenericWire *in = kit::wire(m, 0);
    const GenericWire *out = kit::wire(m, shapes::inputs(m));
    const uint32_t stride = shapes::channels(in);
    if (stride == 0 || shapes::channels(out) != stride)
        return {stride, 0, 0};
    const uint32_t frames = std::min(kit::wireWords(in), kit::wireWords(out)) / stride;
    return {stride, std::min(stride, kit::capacity(m, stateArray)), static_cast<int32_t>(frames)};
}

// Envelope followers, float and Fract32: times in ms, the per-sample coefficients, and one envelope per channel.
template <class T> struct AttackReleaseModule {
    ClassModule header;
    float attackTime;
    float releaseTime;
    T attackCoeff;
    T releaseCoeff;
    T *envelope;
};
template <class T> constexpr std::array<kit::Variable, 5> attackReleaseVariables()
{
    using M = AttackReleaseModule<T>;
    constexpr bool isFloat = std::is_same_v<T, float>;
    return {
        KVE_VARIABLE(M, attackTime, Float),
        KVE_VARIABLE(M, releaseTime, Float),
        kit::Variable{offsetof(M, attackCoeff), isFloat ? kit::Type::Float : kit::Type::Fract32},
        kit::Variable{offsetof(M, releaseCoeff), isFloat ? kit::Type::Float : kit::Type::Fract32},
        kit::Variable{offsetof(M, envelope), isFloat ? kit::Type::FloatArray : kit::Type::Fract32Array,
                      kit::perChannelOfWire(0)},
    };
}

// The envelope followers' kernel for a channel: the float and Fract32 kernels take their arguments in different
// orders.
inline void followChannel(const float *x, float *y, int32_t stride, float *env, float attack, float release, int32_t n)
{
    kve_vecAttackRelease(x, stride, y, stride, env, attack, release, n);
}
inline void followChannel(const Fract32 *x, Fract32 *y, int32_t stride, Fract32 *env, Fract32 attack,
                          Fract32 release, int32_t n)
{
    kve_vecAttackReleaseFract32(x, stride, y, stride, attack, release, env, n);
}

inline float asSample(float v, const float *) { return v; }
inline Fract32 asSample(float v, const Fract32 *) { return kve_advFloatToFract32(v); }

template <class T> void attackReleaseProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<AttackReleaseModule<T> *>(m);
    const Frames f = framesOf(m, 0);
    const auto *x = static_cast<const T *>(kit::wire(m, 0)->buffer);
    auto *y = static_cast<T *>(kit::wire(m, 1)->buffer);
    for (uint32_t c = 0; c < f.channels; ++c)
        followChannel(x + c, y + c, static_cast<int32_t>(f.stride), &s->envelope[c], s->attackCoeff, s->releaseCoeff,
                      f.frames);
}

template <class T> int32_t attackReleaseSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<AttackReleaseModule<T> *>(m);
    s->attackCoeff = asSample(perSample(m, s->attackTime), s->envelope);
    s->releaseCoeff = asSample(perSample(m, s->releaseTime), s->envelope);
    return 0;
}

template <const auto *Record, class T>
ClassModule *attackReleaseConstruct(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                    const uint32_t *args)
{
    static constexpr auto variables = attackReleaseVariables<T>();
    return kit::construct(*Record, variables, 1, 1, status, wireWord, wires, argc, args);
}

// Compressor gain computers: the attack (or release) time splits into a per-sample share m = max(t/2, the host's
// per-sample time) and a per-block share of what remains.
struct CompressorTimes {
    float blockTime;  // the block share, as the block smoother is given it
    float sampleTime; // m
};
// The block share is max(B/rate, t - m): a block duration in seconds against a time in ms, as layouts tuned for it
// expect.
inline CompressorTimes compressorTimes(const ClassModule *m, float time, float sampleTime)
{
    const GenericWire *in = kit::wire(m, 0);
    const float share = std::max(time * 0.5f, sampleTime);
    const float blockSeconds = static_cast<float>(kit::blockSize(in)) / in->sampleRate;
    return {std::max(blockSeconds, time - share), share};
}

} // namespace kve::dyncores

namespace kve::dyncores {

// The level detector of the expanders over n samples of the level input into the output (attack while the input is
// above the detector, else release); the detector is left in `state`.
template <class T> void detectLevels(const T *x, T *y, int32_t n, T &state, T attack, T release)
{
    T d = state;
    for (int32_t i = 0; i < n; ++i) {
        d = dynamics::followPeak(d, x[i], attack, release);
        y[i] = d;
    }
    state = d;
}

} // namespace kve::dyncores

namespace kve::dyncores {

// Duckers, float and Fract32 (gains and coefficients Q31, 1.0 as 0x7FFFFFFF): a trigger on wire 0 pulls the
// audio of wire 1 down to the ducked gain, which is held for `holdBlocks` blocks after the last trigger.
template <class T> struct DuckerModule {
    ClassModule header;
    float depth; // dB
    float attackTime;
    float holdTime;
    float releaseTime;
    int32_t force;
    T duckedGain;
    T attackCoeff;
    T releaseCoeff;
    int32_t holdBlocks;
    int32_t countdown;
    T smoothedGain;
    T target;
    T coeff;
};
template <class T> constexpr std::array<kit::Variable, 13> duckerVariables()
{
    using M = DuckerModule<T>;
    constexpr kit::Type g = std::is_same_v<T, float> ? kit::Type::Float : kit::Type::Fract32;
    return {
        KVE_VARIABLE(M, depth, Float),          KVE_VARIABLE(M, attackTime, Float),
        KVE_VARIABLE(M, holdTime, Float),       KVE_VARIABLE(M, releaseTime, Float),
        KVE_VARIABLE(M, force, Int),            kit::Variable{offsetof(M, duckedGain), g},
        kit::Variable{offsetof(M, attackCoeff), g}, kit::Variable{offsetof(M, releaseCoeff), g},
        KVE_VARIABLE(M, holdBlocks, Int),       KVE_VARIABLE(M, countdown, Int),
        kit::Variable{offsetof(M, smoothedGain), g}, kit::Variable{offsetof(M, target), g},
        kit::Variable{offsetof(M, coeff), g},
    };
}

template <class T> int32_t duckerSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<DuckerModule<T> *>(m);
    const GenericWire *in = kit::wire(m, 0);
    const T *as = nullptr;
    s->duckedGain = asSample(std::exp(s->depth * 0.115129255f), as);
    s->attackCoeff = asSample(perSample(m, s->attackTime), as);
    s->releaseCoeff = asSample(perSample(m, s->releaseTime), as);
    const float blocks = in->sampleRate * 0.001f * (3.0f * s->attackTime + s->holdTime) /
                         static_cast<float>(kit::blockSize(kit::wire(m, 1)));
    s->holdBlocks = kve_truncateToInt32(blocks);
    return 0;
}

// One block's target: a trigger (or the host's force) ducks and restarts the hold; otherwise the hold counts down
// one block and, once it stands at 0, the gain is released. The count never goes below 0, so a hold of 0 blocks
// releases on the first block without a trigger.
template <class T> void duckerStep(DuckerModule<T> *s, bool triggered, T unity)
{
    if (triggered || s->force != 0) {
        s->target = s->duckedGain;
        s->coeff = s->attackCoeff;
        s->countdown = std::max(s->holdBlocks, 0);
        s->force = 0;
        return;
    }
    s->countdown = std::max(s->countdown - (s->countdown > 0 ? 1 : 0), 0);
    if (s->countdown == 0) {
        s->target = unity;
        s->coeff = s->releaseCoeff;
    }
}

// The trigger is the first word of wire 0.
inline bool triggerOf(const ClassModule *m)
{
    const GenericWire *t = kit::wire(m, 0);
    return kit::wireWords(t) > 0 && *static_cast<const uint32_t *>(t->buffer) != 0;
}

// Whole frames of the audio (wire 1) that the output (wire 2) holds too.
inline int32_t audioFrames(const ClassModule *m)
{
    const uint32_t ch = shapes::channels(kit::wire(m, 1));
    return ch == 0 ? 0 : shapes::held({kit::wire(m, 1), kit::wire(m, 2)}) / static_cast<int32_t>(ch);
}

// The duckers' wiring: trigger and audio in, audio out.
template <const auto *Record, class T>
ClassModule *duckerConstruct(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                             const uint32_t *args)
{
    static constexpr auto variables = duckerVariables<T>();
    return kit::construct(*Record, variables, 2, 1, status, wireWord, wires, argc, args);
}

} // namespace kve::dyncores
