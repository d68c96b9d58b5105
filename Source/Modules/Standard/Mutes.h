// Class records of the mute and solo modules, and the envelope, gain and strip logic their float and Fract32 twins
// share.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <type_traits>

#include "Modules/Standard/Scalers.h"
#include "Modules/Standard/ScalersFract32.h"
#include "kve/kve_design.h"

extern "C" {
extern const kve::kit::ClassRecord<14> kve_modMuteUnmuteClass;
extern const kve::kit::ClassRecord<14> kve_modMuteUnmuteFract32Class;
extern const kve::kit::ClassRecord<5> kve_modMuteSmoothedClass;
extern const kve::kit::ClassRecord<5> kve_modMuteSmoothedFract32Class;
extern const kve::kit::ClassRecord<5> kve_modMuteNSmoothedClass;
extern const kve::kit::ClassRecord<5> kve_modMuteNSmoothedFract32Class;
extern const kve::kit::ClassRecord<7> kve_modSoloMuteClass;
extern const kve::kit::ClassRecord<7> kve_modSoloMuteFract32Class;
}

namespace kve::mutes {

template <class Sample> Sample *data(const GenericWire *w) { return static_cast<Sample *>(w->buffer); }

// ---- Smoothed gains, float or Fract32 (the Fract32 glides run with postShift 0) ----

// The smoothing coefficient of a glide time in ms at the sample rate of `w`, as the class stores it.
template <class Sample> Sample smoothingCoeffOf(float timeMs, const GenericWire *w)
{
    const float coeff = design_smoother(1, timeMs, w->sampleRate);
    if constexpr (std::is_same_v<Sample, float>)
        return coeff;
    else
        return kve_rounded(coeff);
}

// Full gain: 1.0, or 0x7FFFFFFF in Q1.31.
template <class Sample> constexpr Sample kUnity = std::is_same_v<Sample, float> ? Sample(1) : Sample(INT32_MAX);

// Channel c of the pair glides from current[c] toward target[c], for the first `served` channels.
template <class Sample>
void glideEachChannel(const GenericWire *in, const GenericWire *out, uint32_t served, Sample *current,
                      const Sample *target, Sample coeff)
{
    const auto ch = static_cast<int32_t>(scalers::channels(in));
    const int32_t n = scalers::frames(in, out);
    for (uint32_t c = 0; c < served; ++c)
        scalers::scaleSmooth(data<Sample>(in) + c, ch, data<Sample>(out) + c, ch, &current[c], target[c], coeff, n);
}

// Every channel of the pair glides from the same stored gain; the gain keeps the last channel's end value (0 for a
// wire without channels).
template <class Sample>
void glideWholeWire(const GenericWire *in, const GenericWire *out, Sample *current, Sample target, Sample coeff)
{
    const uint32_t ch = scalers::channels(in);
    *current = ch == 0 ? Sample(0)
                       : scalers::glideChannelsFrom(data<Sample>(in), data<Sample>(out), ch, scalers::frames(in, out),
                                                    *current, target, coeff);
}

// ---- Per-channel mutes ----

// Set of both per-channel mutes: new targets when the mute flags changed, a new coefficient when the smoothing
// time did.
template <class Sample, class Module> int32_t channelMuteSet(ClassModule *m, uint32_t mask)
{
    auto *s = reinterpret_cast<Module *>(m);
    constexpr uint32_t kSmoothingTimeChanged = 1u << 8;
    constexpr uint32_t kMutesChanged = 1u << 10;
    if ((mask & kMutesChanged) != 0) {
        const uint32_t served = scalers::servedChannels(scalers::channels(kit::wire(m, 0)), kit::capacity(m, 0));
        for (uint32_t c = 0; c < served; ++c)
            s->targetGain[c] = s->isMuted[c] == 0 ? kUnity<Sample> : Sample(0);
    }
    if ((mask & kSmoothingTimeChanged) != 0)
        s->smoothingCoeff = smoothingCoeffOf<Sample>(s->smoothingTime, kit::wire(m, 0));
    return 0;
}

// Process of both per-channel mutes: each channel glides toward its own target.
template <class Module> void channelMuteProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<Module *>(m);
    // The three arrays share one length, the channel count of wire 0 at construction.
    const uint32_t served = scalers::servedChannels(scalers::channels(kit::wire(m, 0)), kit::capacity(m, 0));
    glideEachChannel(kit::wire(m, 0), kit::wire(m, 1), served, s->currentGain, s->targetGain, s->smoothingCoeff);
}

// ---- The mute-hold-unmute envelope ----

// The instance of both envelope classes: the float class holds its turning phasor in floats, the Fract32 twin in
// Q1.31.
template <class Sample> struct MuteUnmuteModule {
    ClassModule header;
    int32_t trigger;
    float rampDownTime;
    float muteTime;
    float rampUpTime;
    int32_t rampDownSamples;
    int32_t muteSamples;
    int32_t rampUpSamples;
    Sample rampDownCos;
    Sample rampDownSin;
    Sample rampUpCos;
    Sample rampUpSin;
    Sample phasorRe;
    Sample phasorIm;
    int32_t sampleCount;
};

template <class Sample> constexpr std::array<kit::Variable, 14> muteUnmuteVariables(kit::Type phasorType)
{
    using M = MuteUnmuteModule<Sample>;
    return {
        KVE_VARIABLE(M, trigger, Int),
        KVE_VARIABLE(M, rampDownTime, Float),
        KVE_VARIABLE(M, muteTime, Float),
        KVE_VARIABLE(M, rampUpTime, Float),
        KVE_VARIABLE(M, rampDownSamples, Int),
        KVE_VARIABLE(M, muteSamples, Int),
        KVE_VARIABLE(M, rampUpSamples, Int),
        kit::Variable{offsetof(M, rampDownCos), phasorType},
        kit::Variable{offsetof(M, rampDownSin), phasorType},
        kit::Variable{offsetof(M, rampUpCos), phasorType},
        kit::Variable{offsetof(M, rampUpSin), phasorType},
        kit::Variable{offsetof(M, phasorRe), phasorType},
        kit::Variable{offsetof(M, phasorIm), phasorType},
        KVE_VARIABLE(M, sampleCount, Int),
    };
}

// The envelope arithmetic of the float class: a phasor turned by fused steps, the fades read off its real component.
struct FloatEnvelope {
    using Sample = float;
    static Sample fadeOut(Sample re) { return (re + 1.0f) * 0.5f; }
    static Sample fadeIn(Sample re) { return (1.0f - re) * 0.5f; }
    static void turn(Sample &re, Sample &im, Sample cs, Sample sn)
    {
        const Sample nextRe = std::fma(re, cs, -(im * sn));
        im = std::fma(re, sn, im * cs);
        re = nextRe;
    }
    static Sample stored(float v) { return v; }
    static void fill(Sample *env, Sample v, int32_t n) { kve_vecFill(env, 1, v, n); }
    static void apply(const Sample *in, int32_t inc, const Sample *env, Sample *out, int32_t n)
    {
        kve_vecMultiply2x1(in, inc, env, 1, out, inc, n);
    }
};

// The same envelope in Q1.31: products rounded toward minus infinity, sums saturated.
struct Fract32Envelope {
    using Sample = Fract32;
    static Sample fadeOut(Sample re) { return (re >> 1) + 0x40000000; }
    static Sample fadeIn(Sample re) { return kve_subFract32(0x40000000, re >> 1); }
    static void turn(Sample &re, Sample &im, Sample cs, Sample sn)
    {
        const Sample nextRe = kve_subFract32(kve_mulFract32(re, cs), kve_mulFract32(im, sn));
        im = kve_addFract32(kve_mulFract32(re, sn), kve_mulFract32(im, cs));
        re = nextRe;
    }
    static Sample stored(float v) { return kve_rounded(v); }
    static void fill(Sample *env, Sample v, int32_t n) { kve_vecFillFract32(env, 1, v, n); }
    static void apply(const Sample *in, int32_t inc, const Sample *env, Sample *out, int32_t n)
    {
        kve_vecMultiply2x1Fract32(in, inc, env, 1, out, inc, n);
    }
};

// Samples of a time in ms at rate fs: floor(fs x time x 0.001 + 0.5), the product rounded to single precision
// before the fused step.
inline int32_t samplesOf(float fs, float timeMs)
{
    const float product = fs * timeMs;
    return kve_truncateToInt32(std::floor(std::fma(product, 0.001f, 0.5f)));
}

template <class E> int32_t muteUnmuteSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<MuteUnmuteModule<typename E::Sample> *>(m);
    const float fs = kit::wire(m, 0)->sampleRate;
    s->rampDownSamples = std::max(samplesOf(fs, s->rampDownTime), 1);
    s->muteSamples = samplesOf(fs, s->muteTime);
    s->rampUpSamples = std::max(samplesOf(fs, s->rampUpTime), 1);
    const float down = 3.14159274f / static_cast<float>(s->rampDownSamples);
    const float up = 3.14159274f / static_cast<float>(s->rampUpSamples);
    s->rampDownCos = E::stored(std::cos(down));
    s->rampDownSin = E::stored(std::sin(down));
    s->rampUpCos = E::stored(std::cos(up));
    s->rampUpSin = E::stored(std::sin(up));
    return 0;
}

// Writes the next `count` envelope values of the running sequence into env and moves the sequence on. The sequence
// is resumable at any sample, so a block cut into stretches gives the same envelope as the whole block. Its ends are
// formed in 64 bits: lengths a host writes cannot overflow them.
template <class E> void nextEnvelope(MuteUnmuteModule<typename E::Sample> *s, typename E::Sample *env, int32_t count)
{
    using Sample = typename E::Sample;
    constexpr Sample one = kUnity<Sample>;
    if (s->trigger == 0) {
        E::fill(env, one, count);
        return;
    }
    const int64_t fadeOutEnd = s->rampDownSamples;
    // A negative hold (a negative mute time) is no hold: the fade-in still starts from silence.
    const int64_t holdEnd = fadeOutEnd + std::max(s->muteSamples, 0);
    const int64_t fadeInEnd = holdEnd + s->rampUpSamples;
    int64_t n = s->sampleCount;
    int32_t i = 0;
    if (n < fadeOutEnd) {
        if (n == 0) {
            s->phasorRe = one;
            s->phasorIm = 0;
        }
        for (; n < fadeOutEnd && i < count; ++n, ++i) {
            env[i] = E::fadeOut(s->phasorRe);
            E::turn(s->phasorRe, s->phasorIm, s->rampDownCos, s->rampDownSin);
        }
    }
    for (; n >= fadeOutEnd && n < holdEnd && i < count; ++n, ++i)
        env[i] = 0;
    if (n >= holdEnd && n < fadeInEnd && i < count) {
        if (n == holdEnd) {
            s->phasorRe = one;
            s->phasorIm = 0;
        }
        for (; n < fadeInEnd && i < count; ++n, ++i) {
            env[i] = E::fadeIn(s->phasorRe);
            E::turn(s->phasorRe, s->phasorIm, s->rampUpCos, s->rampUpSin);
        }
    }
    if (n >= fadeInEnd) {
        E::fill(env + i, one, count - i);
        s->trigger = 0;
        s->sampleCount = 0;
    } else {
        s->sampleCount = static_cast<int32_t>(n);
    }
}

// Multiplies every channel of wire 0 by the envelope into wire 1. The envelope is built in the scratch wire, one
// value per frame; a scratch wire shorter than the block is filled and applied one stretch at a time, never overrun.
template <class E> void muteUnmuteProcess(ClassModule *m)
{
    using Sample = typename E::Sample;
    auto *s = reinterpret_cast<MuteUnmuteModule<Sample> *>(m);
    const GenericWire *in = kit::wire(m, 0);
    const GenericWire *out = kit::wire(m, 1);
    const GenericWire *scratch = kit::wire(m, 2);
    const uint32_t ch = scalers::channels(in);
    const int32_t frames = scalers::frames(in, out);
    const auto stretch = static_cast<int32_t>(std::min<uint32_t>(kit::wireWords(scratch), INT32_MAX));
    if (stretch == 0)
        return;
    Sample *env = data<Sample>(scratch);
    for (int32_t first = 0; first < frames; first += stretch) {
        const int32_t n = std::min(stretch, frames - first);
        nextEnvelope<E>(s, env, n);
        const size_t offset = static_cast<size_t>(first) * ch;
        for (uint32_t c = 0; c < ch; ++c)
            E::apply(data<Sample>(in) + offset + c, static_cast<int32_t>(ch), env, data<Sample>(out) + offset + c, n);
    }
}

// Builds an envelope module: one input, one output and a scratch wire that holds at least one envelope value.
inline ClassModule *constructMuteUnmute(const ModClassDescriptor &record, const kit::Variable *variables,
                                        size_t count, int32_t *status, uint32_t wireWord, GenericWire **wires,
                                        uint32_t argc, const uint32_t *args)
{
    if (*status != KVE_OK)
        return nullptr;
    const uint32_t scratchIndex = KVE_PACKED_INPUTS(wireWord) + KVE_PACKED_OUTPUTS(wireWord);
    if (KVE_PACKED_INPUTS(wireWord) < 1 || KVE_PACKED_OUTPUTS(wireWord) < 1 || KVE_PACKED_SCRATCH(wireWord) < 1 ||
        kit::wireWords(wires[scratchIndex]) == 0) {
        *status = KVE_E_ARG_COUNT;
        return nullptr;
    }
    return kit::construct(record, variables, count, 1, 1, status, wireWord, wires, argc, args);
}

// ---- Solo and mute over strips ----

// Strips a solo-mute module serves: the channels of its one input wire, or its input wires (as many as
// `numChannels` asks for); never more than its arrays hold.
inline uint32_t strips(const ClassModule *m, int32_t numChannels, uint32_t capacity)
{
    const uint32_t inputs = KVE_PACKED_INPUTS(m->packed);
    if (inputs == 0)
        return 0;
    if (inputs == 1)
        return std::min(scalers::channels(kit::wire(m, 0)), capacity);
    return std::min({static_cast<uint32_t>(std::max(numChannels, 0)), inputs, capacity});
}

// The variables of a solo-mute module with every array long enough for every strip it can serve: `numChannels`
// entries, or more when its wiring has more strips than that. The caller has checked the wiring.
template <size_t N>
std::array<kit::Variable, N> withStripLength(std::array<kit::Variable, N> variables, uint32_t numChannelsVariable,
                                             uint32_t wireWord, GenericWire *const *wires, uint32_t argc,
                                             const uint32_t *args)
{
    const uint32_t inputs = KVE_PACKED_INPUTS(wireWord);
    const uint32_t wired = inputs == 1 ? scalers::channels(wires[0]) : inputs;
    const auto asked = static_cast<int32_t>(numChannelsVariable < argc ? args[numChannelsVariable] : 0);
    const uint32_t length = std::max(wired, static_cast<uint32_t>(std::max(asked, 0)));
    for (kit::Variable &v : variables)
        if (kit::isArray(v.type))
            v.length = kit::fixedLength(length);
    return variables;
}

// Builds a solo-mute module: one output for every input.
template <size_t N>
ClassModule *constructSoloMute(const kit::ClassRecord<N> &record, const std::array<kit::Variable, N> &variables,
                               uint32_t numChannelsVariable, int32_t *status, uint32_t wireWord, GenericWire **wires,
                               uint32_t argc, const uint32_t *args)
{
    const uint32_t inputs = KVE_PACKED_INPUTS(wireWord);
    if (!kit::requireWires(status, wireWord, inputs, inputs))
        return nullptr;
    return kit::construct(record, withStripLength(variables, numChannelsVariable, wireWord, wires, argc, args),
                          inputs, inputs, status, wireWord, wires, argc, args);
}

// Set of both solo-mute classes: new targets when a solo or mute flag changed, a new coefficient when the
// smoothing time did. While any strip is soloed only soloed strips sound; a muted strip (flag exactly 1) never does.
template <class Sample, class Module, uint32_t kSmoothingTimeChanged>
int32_t soloMuteSet(ClassModule *m, uint32_t mask)
{
    auto *s = reinterpret_cast<Module *>(m);
    constexpr uint32_t kFlagsChanged = (1u << 11) | (1u << 12);
    const uint32_t n = strips(m, s->numChannels, kit::capacity(m, 0));
    if ((mask & kFlagsChanged) != 0 && n > 0) {
        // The solo flags are summed in 32 bits, wrapping as the stored words do.
        uint32_t soloSum = 0;
        for (uint32_t i = 0; i < n; ++i)
            soloSum += static_cast<uint32_t>(s->solo[i]);
        for (uint32_t i = 0; i < n; ++i)
            s->targetGain[i] = s->mute[i] == 1 || (soloSum != 0 && s->solo[i] == 0) ? Sample(0) : kUnity<Sample>;
    }
    if ((mask & kSmoothingTimeChanged) != 0 && KVE_PACKED_INPUTS(m->packed) + KVE_PACKED_OUTPUTS(m->packed) != 0)
        s->smoothingCoeff = smoothingCoeffOf<Sample>(s->smoothingTime, kit::wire(m, 0));
    return 0;
}

// Process of both solo-mute classes: one input glides each channel by its strip's gain; several inputs glide each
// wire, all its channels from its strip's gain, into its output.
template <class Module> void soloMuteProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<Module *>(m);
    const uint32_t inputs = KVE_PACKED_INPUTS(m->packed);
    const uint32_t n = strips(m, s->numChannels, kit::capacity(m, 0));
    if (inputs == 1) {
        glideEachChannel(kit::wire(m, 0), kit::wire(m, 1), n, s->currentGain, s->targetGain, s->smoothingCoeff);
        return;
    }
    for (uint32_t k = 0; k < n; ++k)
        glideWholeWire(kit::wire(m, k), kit::wire(m, inputs + k), &s->currentGain[k], s->targetGain[k],
                       s->smoothingCoeff);
}

} // namespace kve::mutes
