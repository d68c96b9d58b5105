// Class records and instance records of the block rebuffering and rearrangement modules, which change the shape of
// blocks without filtering them, and the frame arithmetic they share.
#pragma once

#include <cstdint>

#include "Modules/ModuleKit.h"

extern "C" {
extern const kve::kit::ClassRecord<4> kve_modRebufferClass;
extern const kve::kit::ClassRecord<0> kve_modZeroPaddingClass;
extern const kve::kit::ClassRecord<0> kve_modZeroPaddingFract32Class;
extern const kve::kit::ClassRecord<1> kve_modShiftSamplesClass;
extern const kve::kit::ClassRecord<6> kve_modFifoInClass;
extern const kve::kit::ClassRecord<1> kve_modFifoOutClass;
extern const kve::kit::ClassRecord<0> kve_modBlockConcatenateClass;
extern const kve::kit::ClassRecord<2> kve_modBlockExtractClass;
extern const kve::kit::ClassRecord<0> kve_modBlockFlipClass;
}

namespace kve::rebuffering {

// Rebuffer: each output block is the last `historyLength` frames of earlier input followed by the current block;
// `state` is the circular history, `stateIndex` its oldest word.
struct RebufferModule {
    ClassModule header;
    int32_t reservedValue;
    int32_t historyLength;
    int32_t stateIndex;
    float *state;
};

// ShiftSamples: delays (positive) or advances (negative) a block by `shift` samples, filling with zeros.
struct ShiftSamplesModule {
    ClassModule header;
    int32_t shift;
};

// FifoIn: the writing end of a circular buffer of `capacity` frames that a reader in another layout drains.
struct FifoInModule {
    ClassModule header;
    int32_t capacity;
    int32_t writeCount;
    int32_t readCount;
    int32_t writeIndex;
    int32_t readIndex;
    float *buffer;
};

// FifoOut: the reading end; `fifoIn` is aimed at a FifoIn by the layout.
struct FifoOutModule {
    ClassModule header;
    FifoInModule *fifoIn;
};

// BlockExtract: frames `startIndex` .. `stopIndex` of the input, zeros where that span lies outside the block.
struct BlockExtractModule {
    ClassModule header;
    int32_t startIndex;
    int32_t stopIndex;
};

// The frames of a wire as these modules count them: a frame is one sample time of every channel, two words per
// sample on a complex wire, whose block size counts words.
struct Frames {
    uint32_t words; // words of one frame
    uint32_t count; // whole frames of a block
};
Frames framesOf(const GenericWire *w);

// Frames of the output wire `out`, counted in frames of `words` words: an output smaller than the input's shape is
// filled, never overrun.
uint32_t framesHeld(const GenericWire *out, uint32_t words);

// Words of the ring a FifoIn writes: `capacity` frames of its input, within the buffer it built. A host's negative
// capacity makes no ring.
uint32_t fifoRingWords(ClassModule *fifoIn);

// The padding ZeroPadding and ZeroPaddingFract32 share: as many input words as the output holds at its start, then
// zeros to its end.
void padWithZeros(ClassModule *m);

// A block counter one block on; it wraps past the largest count instead of overflowing.
inline int32_t nextCount(int32_t count) { return static_cast<int32_t>(static_cast<uint32_t>(count) + 1u); }

} // namespace kve::rebuffering
