// Class records of the Fract32 scaler modules, and the helpers their Process and Set functions share.
#pragma once

#include <cmath>
#include <cstring>

#include "Dsp/Fract32.h"
#include "Modules/Standard/Scalers.h"
#include "kve/kve_vec.h"

extern "C" {
extern const kve::kit::ClassRecord<3> kve_modScalerFract32Class;
extern const kve::kit::ClassRecord<3> kve_modScalerDBFract32Class;
extern const kve::kit::ClassRecord<7> kve_modScalerSmoothedFract32Class;
extern const kve::kit::ClassRecord<7> kve_modScalerDBSmoothedFract32Class;
extern const kve::kit::ClassRecord<3> kve_modScalerNFract32Class;
extern const kve::kit::ClassRecord<7> kve_modScalerNSmoothedFract32Class;
extern const kve::kit::ClassRecord<7> kve_modScalerNDBSmoothedFract32Class;
extern const kve::kit::ClassRecord<4> kve_modScalerControlSmoothedFract32Class;
extern const kve::kit::ClassRecord<4> kve_modScalerControlBlockSmoothedFract32Class;
}

namespace kve::scalers {

inline Fract32 *words(const GenericWire *w) { return static_cast<Fract32 *>(w->buffer); }

// The mantissa split of a gain, g = mantissa x 2^exponent with 0.5 <= |mantissa| < 1; 0 (and a gain without an
// exponent, infinite or not a number) gives exponent 0.
inline float mantissa(float g, int32_t *exponent)
{
    int e = 0;
    const float m = std::frexp(g, &e);
    *exponent = std::isfinite(g) ? e : 0;
    return m;
}

// One smoothed-gain kernel call on float or Fract32 samples (the Fract32 glide with postShift 0).
inline void scaleSmooth(const float *in, int32_t inInc, float *out, int32_t outInc, float *gain, float target,
                        float coeff, int32_t n)
{
    kve_vecScaleSmooth(in, inInc, out, outInc, gain, target, coeff, n);
}

inline void scaleSmooth(const Fract32 *in, int32_t inInc, Fract32 *out, int32_t outInc, Fract32 *gain,
                        Fract32 target, Fract32 coeff, int32_t n)
{
    kve_vecScaleSmoothFract32(in, inInc, out, outInc, gain, target, 0, coeff, n);
}

// Every channel of `ch` interleaved channels glides over `frames` frames from the same gain `start` toward
// `target`, so all channels follow one trajectory. Returns the last channel's end gain, or `start` when there is no
// channel.
template <class Sample>
Sample glideChannelsFrom(const Sample *in, Sample *out, uint32_t ch, int32_t frames, Sample start, Sample target,
                         Sample coeff)
{
    Sample last = start;
    for (uint32_t c = 0; c < ch; ++c) {
        last = start;
        scaleSmooth(in + c, static_cast<int32_t>(ch), out + c, static_cast<int32_t>(ch), &last, target, coeff,
                    frames);
    }
    return last;
}

// g x 2^-shift for any shift a host writes: shifts beyond +-256 give what +-256 gives (0 or infinity for every
// float), and negating the most negative shift is never attempted.
inline float withoutShift(float g, int32_t shift) { return std::ldexp(g, -std::clamp(shift, -256, 256)); }

// The control scalers apply every gain with this shift, so a float control value v acts as the linear gain v.
constexpr int32_t kControlShift = 8;

// Samples per sub-block of the control scalers: the audio block (wire 1) cut into one sub-block per control
// sample (wire 0). 0 when the control pin has no samples or more samples than the audio block.
inline uint32_t subblockSize(const ClassModule *m)
{
    const uint32_t controls = KVE_WIRE_BLOCK_SIZE(kit::wire(m, 0)->info2);
    return controls == 0 ? 0 : KVE_WIRE_BLOCK_SIZE(kit::wire(m, 1)->info2) / controls;
}

// Control samples the control scalers read per block: one per control-pin sample, never more words than the
// pin holds.
inline uint32_t controlCount(const ClassModule *m)
{
    const GenericWire *control = kit::wire(m, 0);
    return std::min(KVE_WIRE_BLOCK_SIZE(control->info2), kit::wireWords(control));
}

// The target of control sample j: a float gain below 256, held as Q1.31 with the control shift, when floatControl
// is 1; otherwise the sample is already the Fract32 target.
inline Fract32 controlTarget(const ClassModule *m, uint32_t j, int32_t floatControl)
{
    const Fract32 word = words(kit::wire(m, 0))[j];
    if (floatControl != 1)
        return word;
    float v;
    std::memcpy(&v, &word, sizeof v);
    return kve_rounded(v * 0.00390625f);
}

// Walks the sub-blocks of one pair of the control scalers that holds `frames` frames: fn(j, first frame, frames of
// the sub-block) for control sample j. The frames past the last whole sub-block go with the last one; a pair shorter
// than the audio block ends the walk early, and no sub-block size (no control sample, or more control samples than
// audio frames) means no walk.
template <class Fn> void forEachSubblock(const ClassModule *m, uint32_t frames, Fn fn)
{
    const uint32_t size = subblockSize(m);
    const uint32_t count = controlCount(m);
    if (size == 0)
        return;
    for (uint32_t j = 0, first = 0; j < count && first < frames; ++j, first += size)
        fn(j, first, j + 1 == count ? frames - first : std::min(size, frames - first));
}

// Bypass of the control scalers: each audio input copied to its output, the control pin dropped.
inline void controlBypass(ClassModule *m)
{
    const uint32_t pairs = KVE_PACKED_OUTPUTS(m->packed);
    for (uint32_t k = 0; k < pairs; ++k) {
        const GenericWire *in = kit::wire(m, 1 + k);
        const GenericWire *out = kit::wire(m, 1 + pairs + k);
        kve_vecCopy32(in->buffer, 1, out->buffer, 1,
                      static_cast<int32_t>(std::min(kit::wireWords(in), kit::wireWords(out))));
    }
}

// Builds a control scaler: wire 0 the control pin, then one audio input per output; at least one pair, since Set
// reads the sample rate of the first audio input.
inline ClassModule *constructControlScaler(const ModClassDescriptor &record, const kit::Variable *variables,
                                           size_t count, int32_t *status, uint32_t wireWord, GenericWire **wires,
                                           uint32_t argc, const uint32_t *args)
{
    const uint32_t pairs = std::max<uint32_t>(KVE_PACKED_OUTPUTS(wireWord), 1);
    return kit::construct(record, variables, count, 1 + pairs, pairs, status, wireWord, wires, argc, args);
}

} // namespace kve::scalers
