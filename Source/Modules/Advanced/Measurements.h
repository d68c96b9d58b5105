// Class records and instance records of the modules that observe signals for tuning and test: a normalised
// correlation, a histogram, a smoothed density estimate, a synchronous-averaging measurement and a probe.
#pragma once

#include <algorithm>
#include <cstdint>

#include "Modules/ModuleKit.h"

extern "C" {
extern const kve::kit::ClassRecord<1> kve_modCorrelationFract32Class;
extern const kve::kit::ClassRecord<8> kve_modHistogramClass;
extern const kve::kit::ClassRecord<11> kve_modPDFClass;
extern const kve::kit::ClassRecord<8> kve_modMeasurementClass;
extern const kve::kit::ClassRecord<2> kve_modProbeFract32Class;
}

namespace kve::measurements {

// CorrelationFract32: 1 normalises by the sums of magnitudes, 2 by the energies; any other type outputs 0.
struct CorrelationFract32Module {
    ClassModule header;
    int32_t correlationType;
};

// Histogram: bin k is centred on `binStart` + k x `binWidth`; the three counters are the host's and never cleared.
struct HistogramModule {
    ClassModule header;
    int32_t numBins;
    float binStart;
    float binWidth;
    int32_t reset;
    int32_t totalCount;
    int32_t underCount;
    int32_t overCount;
    uint32_t pad;
    uint32_t *histogram;
};

// PDF: `numBins` bins over `minValue` .. `maxValue`, bin k of channel c at `pdf`[k x channels + c]. Set makes
// `forgetFactor` and `binWidth`; `binArray` is kept for the layout and never written.
struct PDFModule {
    ClassModule header;
    int32_t numBins;
    int32_t resetInput;
    float minValue;
    float maxValue;
    float smoothingTime;
    float forgetFactor;
    float binWidth;
    int32_t reset;
    float *binArray;
    float *pdf;
    uint32_t *binCounts;
};

// Measurement: plays `reference` (`bufferLength` samples) `numAverages` times from the moment the host writes 1
// into `measureState`, and averages what comes back into `accum`, one block of every channel per pass position.
struct MeasurementModule {
    ClassModule header;
    int32_t bufferLength;
    int32_t numAverages;
    int32_t measureState;
    int32_t readIndex;
    int32_t writePos;
    int32_t passCount;
    float *reference;
    float *accum;
};

// ProbeFract32: 0 passes the audio, 1 also captures channel 0, 2 plays `probeBuffer` into channel 0.
struct ProbeFract32Module {
    ClassModule header;
    int32_t probeMode;
    uint32_t pad;
    Fract32 *probeBuffer;
};

// A count a host writes, held to 0 .. what was built.
inline uint32_t heldCount(int32_t written, uint32_t built)
{
    return written < 0 ? 0u : std::min(static_cast<uint32_t>(written), built);
}

// A 32-bit counter after `added` more events: it wraps, as a host reading it as unsigned expects.
inline int32_t counted(int32_t counter, uint32_t added)
{
    return static_cast<int32_t>(static_cast<uint32_t>(counter) + added);
}

} // namespace kve::measurements
