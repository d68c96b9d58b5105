// Class record and instance record of the subband splitter, which divides one spectrum wire into band-limited copies.
#pragma once

#include "Modules/ModuleKit.h"

extern "C" {
extern const kve::kit::ClassRecord<4> kve_modSbSplitterClass;
}

namespace kve::splitter {

// SbSplitter: `numBands` bands split at `numBands` - 1 crossovers (centre and width of each raised-cosine transition,
// in the unit of the input's sample rate); `bandMasks` holds the gain of every bin, band b's row at b x bins.
struct SbSplitterModule {
    ClassModule header;
    int32_t numBands;
    float *crossoverFreqs;
    float *crossoverWidths;
    float *bandMasks;
};

} // namespace kve::splitter
