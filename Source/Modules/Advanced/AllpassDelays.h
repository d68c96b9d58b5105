// Class records and instance records of the allpass delays: Schroeder allpass sections on a delay line of whole
// samples (float, Fract32, and lines stored in 16 bits) and on a line read at a modulated fractional delay.
#pragma once

#include <cstdint>

#include "Modules/ModuleKit.h"

extern "C" {
extern const kve::kit::ClassRecord<5> kve_modAllpassDelayClass;
extern const kve::kit::ClassRecord<7> kve_modAllpassDelayFract32Class;
extern const kve::kit::ClassRecord<5> kve_modAllpassDelay16Class;
extern const kve::kit::ClassRecord<7> kve_modAllpassDelay16Fract32Class;
extern const kve::kit::ClassRecord<6> kve_modAllpassDelayiClass;
extern const kve::kit::ClassRecord<6> kve_modAllpassDelayciClass;
}

namespace kve::allpass {

// The float allpass delays: v = x + g d is stored and y = d - g v comes out, d being the line `delay` frames back.
// `line` holds (maxDelay + 1) frames of every channel: 32-bit floats, or 16-bit words for AllpassDelay16.
struct AllpassDelayModule {
    ClassModule header;
    int32_t maxDelay;
    int32_t delay;
    float gain;
    int32_t writeIndex;
    void *line;
};

// The Fract32 allpass delays: the gain as a Q31 mantissa and a power-of-two exponent, which Set derives from `gain`.
struct AllpassDelayFract32Module {
    ClassModule header;
    int32_t maxDelay;
    int32_t delay;
    float gain;
    int32_t mantissa;
    int32_t exponent;
    int32_t writeIndex;
    void *line;
};

// The modulated allpass delays: wire 0 the modulation (one value per frame), wire 1 the audio, wire 2 the output;
// the delay of every frame is baseDelay + depth x modulation, held to 0 .. maxDelay.
struct ModulatedAllpassModule {
    ClassModule header;
    int32_t maxDelay;
    float baseDelay;
    float depth;
    float gain;
    int32_t writeIndex;
    uint32_t pad;
    float *line;
};

} // namespace kve::allpass
