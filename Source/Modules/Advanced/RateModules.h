// Class records and instance records of the modules that deal with time and rates rather than samples: the
// sample-rate meter, the rate updater, the wire-property adapter, the cycle burners and the date-time module.
#pragma once

#include <cstdint>

#include "Modules/ModuleKit.h"

extern "C" {
extern const kve::kit::ClassRecord<13> kve_modSampleRateClass;
extern const kve::kit::ClassRecord<4> kve_modUpdateSampleRateClass;
extern const kve::kit::ClassRecord<0> kve_modSetWirePropertiesClass;
extern const kve::kit::ClassRecord<1> kve_modCycleBurnerClass;
extern const kve::kit::ClassRecord<2> kve_modCycleBurnerSetClass;
extern const kve::kit::ClassRecord<3> kve_modDateTimeClass;
}

namespace kve::rate {

// SampleRate: measures the block rate against the real-time clock and snaps it to a table of allowed rates.
struct SampleRateModule {
    ClassModule header;
    float timeScale; // clock units to seconds: the estimate uses timeScale x 10^6
    int32_t period;  // blocks
    uint32_t timeStamp;
    uint32_t accumulated;
    int32_t numRates;
    int32_t running;
    int32_t locked;
    float measuredRate;
    float lastEstimate;
    float estimateBefore;
    int32_t outputEnable;
    int32_t countdown;
    float *allowedRates;
};

// UpdateSampleRate: the wire rates recorded at construction, rescaled together on a new rate.
struct UpdateSampleRateModule {
    ClassModule header;
    float newRate;
    float referenceRate;
    int32_t updated;
    float *wireRates;
};

struct CycleBurnerModule {
    ClassModule header;
    int32_t busyTime; // 100 ns units
};

struct CycleBurnerSetModule {
    ClassModule header;
    int32_t busyTime;
    int32_t trigger;
};

struct DateTimeModule {
    ClassModule header;
    int32_t date;
    int32_t time;
    int32_t reserved;
};

// Busy-waits until more than `ticks` clock units have passed.
void burn(int32_t ticks);

} // namespace kve::rate
