// Class records and instance records of the window and overlap-add modules, which cut a signal into windowed
// blocks for frequency-domain work and lay processed blocks back together.
#pragma once

#include "Modules/ModuleKit.h"

extern "C" {
extern const kve::kit::ClassRecord<5> kve_modWindowClass;
extern const kve::kit::ClassRecord<4> kve_modWindowFract32Class;
extern const kve::kit::ClassRecord<5> kve_modWindowAliasClass;
extern const kve::kit::ClassRecord<7> kve_modWindowAliasFract32Class;
extern const kve::kit::ClassRecord<2> kve_modWindowOverlapClass;
extern const kve::kit::ClassRecord<2> kve_modWindowOverlapFract32Class;
extern const kve::kit::ClassRecord<4> kve_modRepWinOverlapClass;
extern const kve::kit::ClassRecord<4> kve_modOverlapAddClass;
extern const kve::kit::ClassRecord<4> kve_modOverlapAddFract32Class;
}

namespace kve::windows {

// Window: keeps the samples from `startIndex` to `stopIndex` (a span that wraps past the block's end when the stop
// comes first), scales them by `gain` and weights each by `window`; `windowOption` is the host's own note.
struct WindowModule {
    ClassModule header;
    uint32_t startIndex;
    uint32_t stopIndex;
    float gain;
    int32_t windowOption;
    float *window;
};

// WindowFract32: `window` as the host writes it, and the Fract32 coefficients Set makes of it with the common
// exponent `postShift`.
struct WindowFract32Module {
    ClassModule header;
    int32_t windowLength;
    int32_t postShift;
    float *window;
    Fract32 *windowFract32;
};

// WindowAlias: each output block sums `numFolds` windowed segments of the last `windowLength` samples of a channel.
struct WindowAliasModule {
    ClassModule header;
    int32_t windowLength;
    int32_t stateIndex;
    int32_t numFolds;
    float *window;
    float *state;
};

// WindowAliasFract32: the history is one ring of interleaved frames, `stateIndex` at its oldest frame.
struct WindowAliasFract32Module {
    ClassModule header;
    int32_t windowLength;
    int32_t stateIndex;
    int32_t numFolds;
    int32_t postShift;
    float *window;
    Fract32 *windowFract32;
    Fract32 *state;
};

// WindowOverlap and its Fract32 twin: a synthesis window over the block, overlap-added into a block of frames.
template <typename Sample> struct WindowOverlapModule {
    ClassModule header;
    Sample *window;
    Sample *state;
};

// RepWinOverlap: the input block laid `numRepeats` times under a window of `stateLength` samples, overlap-added.
struct RepWinOverlapModule {
    ClassModule header;
    int32_t stateLength;
    int32_t numRepeats;
    float *window;
    float *state;
};

// OverlapAdd and its Fract32 twin: a ring of `bufferLength` frames the blocks are added into; `reservedValue` is
// the host's own.
template <typename Sample> struct OverlapAddModule {
    ClassModule header;
    int32_t stateIndex;
    int32_t bufferLength;
    int32_t reservedValue;
    Sample *state;
};

} // namespace kve::windows
