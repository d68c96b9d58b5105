// Class records of the float scaler modules, and the few helpers their Process and Set functions share.
#pragma once

#include <algorithm>
#include <cmath>

#include "Modules/ModuleKit.h"
#include "kve/kve_design.h"

extern "C" {
extern const kve::kit::ClassRecord<6> kve_modScalerV2Class;
extern const kve::kit::ClassRecord<1> kve_modScalerClass;
extern const kve::kit::ClassRecord<2> kve_modScalerDBClass;
extern const kve::kit::ClassRecord<4> kve_modScalerSmoothedClass;
extern const kve::kit::ClassRecord<5> kve_modScalerDBSmoothedClass;
extern const kve::kit::ClassRecord<1> kve_modScalerNClass;
extern const kve::kit::ClassRecord<4> kve_modScalerNSmoothedClass;
extern const kve::kit::ClassRecord<5> kve_modScalerNDBSmoothedClass;
extern const kve::kit::ClassRecord<7> kve_modScalerNV2Class;
extern const kve::kit::ClassRecord<3> kve_modScalerControlClass;
extern const kve::kit::ClassRecord<3> kve_modScalerDBControlClass;
extern const kve::kit::ClassRecord<3> kve_modScalerNControlClass;
}

namespace kve::scalers {

// The one-pole coefficient of a glide time in ms, for a step once per block of wire `w` at its sample rate.
inline float blockSmoother(float timeMs, const GenericWire *w)
{
    return design_smoother(static_cast<int32_t>(kit::blockSize(w)), timeMs, w->sampleRate);
}

// Linear gain of a gain in dB, in single precision.
inline float undB(float dB) { return std::exp(dB * 0.115129255f); }

inline float *samples(const GenericWire *w) { return static_cast<float *>(w->buffer); }
inline uint32_t channels(const GenericWire *w) { return KVE_WIRE_CHANNELS(w->info1); }
inline bool isComplex(const GenericWire *w) { return KVE_WIRE_COMPLEX(w->info1) != 0; }

// The first sample of a control pin; a pin that carries no samples reads as `none`, the value that leaves the gain
// as it stands.
inline float firstControl(const GenericWire *w, float none) { return kit::wireWords(w) != 0 ? samples(w)[0] : none; }

// Frames, counted in the input's channels, that both the input and its output hold: an output smaller than its
// input is filled, never overrun.
inline int32_t frames(const GenericWire *in, const GenericWire *out)
{
    const uint32_t ch = channels(in);
    return ch == 0 ? 0 : static_cast<int32_t>(std::min(kit::wireWords(in), kit::wireWords(out)) / ch);
}

// Words of the input's whole frames that both the input and its output hold: frames(in, out) x the input's
// channels. An input is a whole number of its own frames, so only an output smaller than it needs the division.
inline int32_t pairWords(const GenericWire *in, const GenericWire *out)
{
    const uint32_t inWords = kit::wireWords(in);
    const uint32_t outWords = kit::wireWords(out);
    return static_cast<int32_t>(inWords <= outWords ? inWords : outWords - outWords % channels(in));
}

// Channels a per-channel array of `capacity` entries can serve on a wire of `ch` channels: a wire that grew after
// construction never makes Process or Set index past the array.
inline uint32_t servedChannels(uint32_t ch, uint32_t capacity) { return std::min(ch, capacity); }

} // namespace kve::scalers
