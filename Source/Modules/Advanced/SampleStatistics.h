// Class records of the modules that reduce a multichannel block to one channel frame by frame (one statistic over
// the channels of every sample time), and the sweeps the float and Fract32 forms share.
#pragma once

#include <algorithm>
#include <cstdint>

#include "Modules/ModuleKit.h"
#include "kve/kve_vec.h"

extern "C" {
extern const kve::kit::ClassRecord<1> kve_modSampleStatisticsClass;
extern const kve::kit::ClassRecord<2> kve_modSampleStatisticsFract32Class;
}

namespace kve::samplestats {

struct SampleStatisticsModule {
    ClassModule header;
    int32_t statisticType;
};

// `reservedValue` is stored for the host and never read.
struct SampleStatisticsFract32Module {
    ClassModule header;
    int32_t statisticType;
    int32_t reservedValue;
};

// One Process's view of the wires: `frames` frames of `channels` input samples, output 0 and, when a second output
// is wired, its channel indices (null otherwise). The frames are those the input and every wired output hold, so a
// short output is filled, never overrun.
template <class T> struct Frames {
    const T *in;
    uint32_t channels;
    uint32_t frames;
    T *out;
    int32_t *index;
};

// Finds the wires and clears output 1, so statistics that name no channel leave it 0.
template <class T> Frames<T> framesOf(ClassModule *m)
{
    const uint32_t inputs = KVE_PACKED_INPUTS(m->packed);
    const GenericWire *in = kit::wire(m, 0);
    const GenericWire *out = kit::wire(m, inputs);
    const uint32_t channels = KVE_WIRE_CHANNELS(in->info1);
    uint32_t frames = channels == 0 ? 0 : std::min(kit::blockSize(in), kit::wireWords(out));
    int32_t *index = nullptr;
    if (KVE_PACKED_OUTPUTS(m->packed) >= 2) {
        const GenericWire *second = kit::wire(m, inputs + 1);
        index = static_cast<int32_t *>(second->buffer);
        kve_vecFillFract32(index, 1, 0, static_cast<int32_t>(std::min(kit::blockSize(in), kit::wireWords(second))));
        frames = std::min(frames, kit::wireWords(second));
    }
    return {static_cast<const T *>(in->buffer), channels, frames, static_cast<T *>(out->buffer), index};
}

template <class T> T asIs(T x) { return x; }

// The extreme of every frame: output 0 starts as channel 0, then each later channel, swept over the whole block,
// replaces a frame's value only when strictly beyond it. Ties keep the lower channel, and a NaN never wins.
template <class T, T (*Shape)(T), bool Largest> void extremes(const Frames<T> &f)
{
    for (uint32_t n = 0; n < f.frames; ++n)
        f.out[n] = Shape(f.in[n * f.channels]);
    for (uint32_t c = 1; c < f.channels; ++c) {
        for (uint32_t n = 0; n < f.frames; ++n) {
            const T x = Shape(f.in[n * f.channels + c]);
            if (Largest ? x > f.out[n] : x < f.out[n]) {
                f.out[n] = x;
                if (f.index != nullptr)
                    f.index[n] = static_cast<int32_t>(c);
            }
        }
    }
}

// Types 0 to 3, which both forms serve: the largest or smallest value, then the largest or smallest magnitude.
// Returns false, having written nothing, for any other type.
template <class T, T (*Magnitude)(T)> bool extremesByType(const Frames<T> &f, int32_t type)
{
    switch (type) {
    case 0:
        extremes<T, asIs<T>, true>(f);
        return true;
    case 1:
        extremes<T, asIs<T>, false>(f);
        return true;
    case 2:
        extremes<T, Magnitude, true>(f);
        return true;
    case 3:
        extremes<T, Magnitude, false>(f);
        return true;
    default:
        return false;
    }
}

} // namespace kve::samplestats
