// Class record and instance of the subband noise reducer, which lowers stationary noise in one subband wire.
#pragma once

#include <cstdint>

#include "Modules/ModuleKit.h"

extern "C" {
extern const kve::kit::ClassRecord<20> kve_modSCNRv1Class;
}

namespace kve::noise {

// The layout chooses the first two values; Set derives the rest from the input wire's sample rate and overwrites
// them on every call. The five arrays hold one float per subband and carry the reducer's state between blocks.
struct SCNRv1Module {
    ClassModule header;
    float minGainDb;         // floor of the gain, dB
    float noiseOverEstimate; // beta: how far above the tracked noise floor the noise is taken to be
    float minGain;           // linear floor of the gain
    float noiseRiseTime;     // ms for the noise floor to rise 63% of the way to a higher power
    float noiseRiseCoeff;    // per-block rise step of the noise floor
    float powerCutoff;       // Hz, the input- and output-power smoother
    float powerB0;
    float powerB1;
    float powerA1;
    float gainCutoff; // Hz, the gain smoother
    float gainB0;
    float gainB1;
    float gainA1;
    float priorTime;  // s, memory of the a-priori estimate
    float priorCoeff; // weight of the previous output power in the a-priori estimate
    float *powerState;
    float *outPowerState;
    float *gainState;
    float *noiseFloor;
    float *outPower;
};

} // namespace kve::noise
