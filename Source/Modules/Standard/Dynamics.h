// Class records of the dynamics and meter modules, and the per-sample peak reading their magnitude modules share.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "Dsp/Fract32.h"
#include "Modules/Standard/Shapes.h"
#include "kve/kve_design.h"
#include "kve/kve_vec.h"

extern "C" {
extern const kve::kit::ClassRecord<0> kve_modMaxAbsClass;
extern const kve::kit::ClassRecord<0> kve_modMaxAbsFract32Class;
extern const kve::kit::ClassRecord<0> kve_modAGCMultiplierClass;
extern const kve::kit::ClassRecord<1> kve_modAGCMultiplierFract32Class;
extern const kve::kit::ClassRecord<17> kve_modAGCCoreClass;
extern const kve::kit::ClassRecord<15> kve_modAGCNoiseGateCoreClass;
extern const kve::kit::ClassRecord<12> kve_modAGCLimiterCoreClass;
extern const kve::kit::ClassRecord<16> kve_modAGCLimiterCoreFract32Class;
extern const kve::kit::ClassRecord<8> kve_modClipIndicatorClass;
extern const kve::kit::ClassRecord<8> kve_modClipIndicatorFract32Class;
extern const kve::kit::ClassRecord<6> kve_modMeterClass;
extern const kve::kit::ClassRecord<6> kve_modMeterFract32Class;
extern const kve::kit::ClassRecord<5> kve_modSoftClipClass;
extern const kve::kit::ClassRecord<8> kve_modRMSClass;
extern const kve::kit::ClassRecord<8> kve_modRMSFract32Class;
extern const kve::kit::ClassRecord<4> kve_modRMSNClass;
extern const kve::kit::ClassRecord<6> kve_modSoftClipFract32Class;
}

namespace kve::dynamics {

// The magnitude of a sample: IEEE absolute value for floats, saturating for Fract32 (the most negative word reads
// as the largest positive one).
inline float magnitude(float x) { return std::fabs(x); }
inline int32_t magnitude(int32_t x) { return kve_absFract32(x); }
// The larger of two magnitudes: IEEE maxNum for floats (a NaN loses to a number), signed compare for Fract32.
inline float larger(float a, float b) { return std::fmax(a, b); }
inline int32_t larger(int32_t a, int32_t b) { return std::max(a, b); }

// Constructor of the peak readers: one or more inputs and the one output after them.
template <const auto *Record>
ClassModule *inputsToOne(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc, const uint32_t *args)
{
    const uint32_t n = std::max(KVE_PACKED_INPUTS(wireWord), 1u);
    return kit::construct(Record->record, nullptr, 0, n, 1, status, wireWord, wires, argc, args);
}

// Output sample t = the largest magnitude over every channel of every input at sample time t, for the first
// input's block. Each input adds only the frames it holds; the output is written only where it has room.
template <class Sample, auto Abs> void maxAbsProcess(ClassModule *m)
{
    const uint32_t inputs = shapes::inputs(m);
    const GenericWire *first = kit::wire(m, 0);
    const GenericWire *out = kit::wire(m, inputs);
    auto *y = static_cast<Sample *>(out->buffer);
    const uint32_t firstChannels = shapes::channels(first);
    if (inputs == 1 && firstChannels == 1) {
        Abs(static_cast<const Sample *>(first->buffer), 1, y, 1, shapes::held({first, out}));
        return;
    }
    const uint32_t frames = std::min(kit::blockSize(first), kit::wireWords(out));
    for (uint32_t k = 0; k < inputs; ++k) {
        const GenericWire *in = kit::wire(m, k);
        const uint32_t ch = shapes::channels(in);
        const auto *x = static_cast<const Sample *>(in->buffer);
        const uint32_t held = ch == 0 ? 0 : std::min(frames, kit::wireWords(in) / ch);
        for (uint32_t t = 0; t < frames; ++t) {
            // The first input's channel 0 opens the reading; a first input with no sample there reads as silence.
            Sample peak = k == 0 ? (t < held ? magnitude(x[t * ch]) : Sample{}) : y[t];
            for (uint32_t c = (k == 0 ? 1 : 0); t < held && c < ch; ++c)
                peak = larger(peak, magnitude(x[t * ch + c]));
            y[t] = peak;
        }
    }
}

// Frames of the audio input (wire 1) that the one-channel gain signal (wire 0) and the output (wire 2) hold too,
// counted in the audio's channels.
inline int32_t gainedFrames(const ClassModule *m)
{
    const GenericWire *gain = kit::wire(m, 0);
    const GenericWire *audio = kit::wire(m, 1);
    const GenericWire *out = kit::wire(m, 2);
    const uint32_t ch = shapes::channels(audio);
    if (ch == 0)
        return 0;
    return static_cast<int32_t>(std::min({kit::wireWords(gain), kit::wireWords(audio) / ch, kit::wireWords(out) / ch}));
}

// Bypass of the gain appliers: the audio passes unchanged, as far as the output holds it.
inline void passAudio(ClassModule *m)
{
    const GenericWire *audio = kit::wire(m, 1);
    const GenericWire *out = kit::wire(m, 2);
    kve_vecCopy32(audio->buffer, 1, out->buffer, 1, shapes::held({audio, out}));
}

// The sum of squares over every sample of every input wire, and how many samples that is.
template <class Sum> struct Energy {
    Sum sum{};
    uint64_t samples = 0;
};
template <class Sample, class Sum> Energy<Sum> energyOfInputs(const ClassModule *m, Sum (*sumSquares)(const Sample *, int32_t))
{
    Energy<Sum> e;
    for (uint32_t k = 0; k < shapes::inputs(m); ++k) {
        const GenericWire *in = kit::wire(m, k);
        const uint32_t n = kit::wireWords(in);
        e.sum += sumSquares(static_cast<const Sample *>(in->buffer), static_cast<int32_t>(n));
        e.samples += n;
    }
    return e;
}

// The largest magnitude of channel c of wire 0 over its block.
inline float channelPeak(const ClassModule *m, uint32_t c, const float *)
{
    const GenericWire *in = kit::wire(m, 0);
    const uint32_t ch = shapes::channels(in);
    uint32_t index = 0;
    return kve_vecMaxAbs(static_cast<const float *>(in->buffer) + c, static_cast<int32_t>(ch),
                         static_cast<int32_t>(kit::wireWords(in) / ch), &index);
}
inline Fract32 channelPeak(const ClassModule *m, uint32_t c, const Fract32 *)
{
    const GenericWire *in = kit::wire(m, 0);
    const uint32_t ch = shapes::channels(in);
    uint32_t index = 0;
    return kve_vecMaxAbsFract32(static_cast<const Fract32 *>(in->buffer) + c, static_cast<int32_t>(ch),
                                static_cast<int32_t>(kit::wireWords(in) / ch), &index);
}

// One block step of a peak envelope: toward the block's peak with the attack coefficient when the peak is above it,
// else with the release coefficient. The Fract32 form takes Q1.31 products and saturates the sum.
inline float followPeak(float env, float peak, float attack, float release)
{
    const float k = peak > env ? attack : release;
    return k * peak + (1.0f - k) * env;
}
inline Fract32 followPeak(Fract32 env, Fract32 peak, Fract32 attack, Fract32 release)
{
    const int64_t k = peak > env ? attack : release;
    return kve_saturate64(((k * peak) >> 31) + (((INT32_MAX - k) * env) >> 31));
}

// The peak envelope of every channel of wire 0 that the `envelope` array was built for, one step per block.
template <class Sample> void followChannelPeaks(const ClassModule *m, Sample *envelope, uint32_t built, Sample attack,
                                                Sample release)
{
    const uint32_t ch = std::min(shapes::channels(kit::wire(m, 0)), built);
    for (uint32_t c = 0; c < ch; ++c)
        envelope[c] = followPeak(envelope[c], channelPeak(m, c, envelope), attack, release);
}

// The clip indicators' Process: each channel's peak envelope steps once per block, and the channel is clipped while
// its envelope stands above the threshold.
template <class Sample>
void indicateClips(ClassModule *m, Sample *envelope, int32_t *isClipped, Sample attack, Sample release,
                   Sample threshold)
{
    const uint32_t built = std::min(kit::capacity(m, 0), kit::capacity(m, 1));
    followChannelPeaks(m, envelope, built, attack, release);
    const uint32_t ch = std::min(shapes::channels(kit::wire(m, 0)), built);
    for (uint32_t c = 0; c < ch; ++c)
        isClipped[c] = envelope[c] > threshold ? 1 : 0;
}

// The meters' ballistics from meterType: its low four bits pick a standard pair of times (writing them back to the
// host's variables) or keep the host's, bit 4 steps the envelope once per block instead of once per sample. The
// times used are 0.434 of the times written, except the standard attacks. `quickAttack` is the type-0 attack
// written (the fixed-point form's differs).
struct Ballistics {
    float attackMs;
    float releaseMs;
    bool perBlock;
};
inline Ballistics meterBallistics(int32_t meterType, float &attackTime, float &releaseTime, float quickAttack)
{
    struct Standard {
        float attackWritten, releaseWritten, attackUsed;
    };
    const Standard standard[3] = {{quickAttack, 1087.0f, quickAttack * 0.434f}, {10.0f, 1450.0f, 4.34f},
                                  {65.0f, 65.0f, 28.21f}};
    const int32_t type = meterType & 15;
    float attackUsed = attackTime * 0.434f;
    if (type < 3) {
        attackTime = standard[type].attackWritten;
        releaseTime = standard[type].releaseWritten;
        attackUsed = standard[type].attackUsed;
    }
    return {attackUsed, releaseTime * 0.434f, (meterType & 16) != 0};
}

// The one-pole coefficient of a meter time: per block or per sample of wire 0.
inline float meterCoeff(const ClassModule *m, float timeMs, bool perBlock)
{
    const GenericWire *in = kit::wire(m, 0);
    return design_smoother(perBlock ? static_cast<int32_t>(kit::blockSize(in)) : 1, timeMs, in->sampleRate);
}

// The meters' wiring: the input and a work wire after it (an output or a scratch wire).
template <const auto *Record, size_t N>
ClassModule *meterConstruct(const std::array<kit::Variable, N> &variables, int32_t *status, uint32_t wireWord,
                            GenericWire **wires, uint32_t argc, const uint32_t *args)
{
    if (*status == KVE_OK && KVE_PACKED_OUTPUTS(wireWord) + KVE_PACKED_SCRATCH(wireWord) < 1) {
        *status = KVE_E_ARG_COUNT;
        return nullptr;
    }
    return kit::construct(*Record, variables, 1, 0, status, wireWord, wires, argc, args);
}

// The meters' Process: per block, the peak envelope of each channel; per sample, `follow(channel, stride, work,
// frames, value)` runs the channel's envelope through the work wire, its last value kept in `value`.
template <class Sample, class Follow>
void meterProcess(ClassModule *m, Sample *value, bool perBlock, Sample attack, Sample release, Follow follow)
{
    if (perBlock) {
        followChannelPeaks(m, value, kit::capacity(m, 0), attack, release);
        return;
    }
    const GenericWire *in = kit::wire(m, 0);
    GenericWire *work = kit::wire(m, shapes::inputs(m));
    const uint32_t ch = std::min(shapes::channels(in), kit::capacity(m, 0));
    const uint32_t stride = shapes::channels(in);
    if (stride == 0)
        return;
    const auto frames = static_cast<int32_t>(std::min(kit::wireWords(in) / stride, kit::wireWords(work)));
    for (uint32_t c = 0; c < ch; ++c)
        follow(static_cast<const Sample *>(in->buffer) + c, static_cast<int32_t>(stride),
               static_cast<Sample *>(work->buffer), frames, &value[c]);
}

// The mean square of the input's block (wire 0), given 1 / its sample count as the module keeps it.
inline float blockMeanSquare(const ClassModule *m, float invNumSamples)
{
    const GenericWire *in = kit::wire(m, 0);
    return kve_vecSumSquared(static_cast<const float *>(in->buffer), static_cast<int32_t>(kit::wireWords(in))) *
           invNumSamples;
}

// 1 / the samples of the input's block (wire 0).
inline float invSamplesOf(const ClassModule *m) { return 1.0f / static_cast<float>(kit::wireWords(kit::wire(m, 0))); }

// The pole of the RMS readers' one-pole averager: a time constant of averagingTime ms at the block rate.
inline float averagingPole(const ClassModule *m, float averagingTime)
{
    const GenericWire *in = kit::wire(m, 0);
    const float blockRate = in->sampleRate / static_cast<float>(kit::blockSize(in));
    return std::exp(-6.28318548f * (999.99994f / averagingTime) / blockRate);
}

// Samples of the gain signal a gain computer writes: one per sample of the input's block, as far as the input
// (wire 0) and the output after it both hold.
inline int32_t gainSamples(const ClassModule *m)
{
    const GenericWire *in = kit::wire(m, 0);
    const GenericWire *out = kit::wire(m, shapes::inputs(m));
    return static_cast<int32_t>(std::min(kit::blockSize(in), static_cast<uint32_t>(shapes::held({in, out}))));
}

// Bypass of the gain computers: unity gain over the whole output wire (1, or full scale, as an integer so every
// compiler takes it as a template argument).
template <class Sample, int32_t Unity> void unityGain(ClassModule *m)
{
    GenericWire *out = kit::wire(m, shapes::inputs(m));
    const auto n = static_cast<int32_t>(kit::wireWords(out));
    if constexpr (std::is_same_v<Sample, float>)
        kve_vecFill(static_cast<float *>(out->buffer), 1, static_cast<float>(Unity), n);
    else
        kve_vecFillFract32(static_cast<Fract32 *>(out->buffer), 1, Unity, n);
}

// The soft clippers' common Process: `clip` shapes the whole frames that the input (wire 0) and the output (wire 1)
// both hold, then the last of those frames is kept, input and output, in the first two private arrays (as far as
// they were built), for Get to report the momentary gain.
template <class Sample, class Module, class Clip> void clipKeepingLastFrame(ClassModule *m, Module *s, Clip clip)
{
    const GenericWire *in = kit::wire(m, 0);
    const GenericWire *out = kit::wire(m, 1);
    const uint32_t ch = shapes::channels(in);
    const uint32_t frames = ch == 0 ? 0 : std::min(kit::wireWords(in), kit::wireWords(out)) / ch;
    const auto *x = static_cast<const Sample *>(in->buffer);
    auto *y = static_cast<Sample *>(out->buffer);
    clip(x, y, static_cast<int32_t>(frames * ch));
    if (frames == 0)
        return;
    const uint32_t kept = std::min({ch, kit::capacity(m, 0), kit::capacity(m, 1)});
    const uint32_t last = (frames - 1) * ch;
    std::copy(x + last, x + last + kept, s->lastIn);
    std::copy(y + last, y + last + kept, s->lastOut);
}

// Channels whose last frame and gain the soft clippers keep.
inline uint32_t keptChannels(ClassModule *m)
{
    return std::min({shapes::channels(kit::wire(m, 0)), kit::capacity(m, 0), kit::capacity(m, 1),
                     kit::capacity(m, 2)});
}

} // namespace kve::dynamics
