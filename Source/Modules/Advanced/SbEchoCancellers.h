// Class records and instance records of the one-reference subband echo cancellers. Every canceller starts with the
// same eight public variables and ends with the same ten arrays, so the shared code reaches them alike in all three.
#pragma once

#include <cstdint>

#include "Modules/Advanced/SbEchoCanceller.h"

extern "C" {
extern const kve::kit::ClassRecord<21> kve_modSbAECV1Class;
extern const kve::kit::ClassRecord<22> kve_modSbAECV2Class;
extern const kve::kit::ClassRecord<22> kve_modSbAECV3Class;
}

namespace kve::sbaec {

struct SbAECV1Module {
    ClassModule header;
    CancellerScalars common;
    int32_t spareCount;
    int32_t numTablePoints;
    int32_t spareWord;
    CancellerArrays arrays;
};

struct SbAECV2Module {
    ClassModule header;
    CancellerScalars common;
    int32_t hasFreezePin;
    int32_t historyIndex;
    int32_t numTablePoints;
    int32_t spareWord;
    CancellerArrays arrays;
};

struct SbAECV3Module {
    ClassModule header;
    CancellerScalars common;
    float minTapVariance;
    int32_t spareCount;
    int32_t numTablePoints;
    int32_t spareWord;
    CancellerArrays arrays;
};

// The adaptive filter of V1 and V3 over all `nSub` subbands of the three wires' complex samples.
void vec_aec1(SbAECV1Module *s, const float *microphone, const float *reference, float *output, uint32_t nSub);
void vec_aec3(SbAECV3Module *s, const float *microphone, const float *reference, float *output, uint32_t nSub);

} // namespace kve::sbaec
