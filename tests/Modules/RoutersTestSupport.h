// A small engine holding the router, multiplexor and interleave classes, on the scaler tests' wire helpers.
#pragma once

#include "Modules/Standard/Routers.h"
#include "ScalerTestSupport.h"

namespace routertest {

using kvetest::bitsOf;

inline const ModClassDescriptor *const kRouterTable[] = {
    &kve_modRouterClass.record,
    &kve_modRouterSmoothedClass.record,
    &kve_modRouterSmoothedFract32Class.record,
    &kve_modInterleaveClass.record,
    &kve_modDeinterleaveClass.record,
    &kve_modDeMultiplexorClass.record,
    &kve_modMultiplexorClass.record,
    &kve_modMultiplexorFadeClass.record,
    &kve_modMultiplexorFadeFract32Class.record,
    &kve_modMultiplexorSmoothedClass.record,
    &kve_modMultiplexorSmoothedFract32Class.record,
    &kve_modMultiplexorControlClass.record,
    &kve_modMultiplexorV2Class.record,
    &kve_modMultiplexorV2Fract32Class.record,
};

class Routers : public scalertest::Scalers {
protected:
    void SetUp() override
    {
        engine_->classTable = kRouterTable;
        engine_->classCount = sizeof kRouterTable / sizeof kRouterTable[0];
    }
};

// Exact Q1.31 arithmetic of the Fract32 glides: products truncated toward minus infinity, sums saturated.
inline int32_t mulQ31(int64_t a, int64_t b)
{
    const int64_t p = (a * b) >> 31;
    return static_cast<int32_t>(std::min<int64_t>(p, INT32_MAX));
}
inline int32_t addQ31(int64_t a, int64_t b)
{
    return static_cast<int32_t>(std::clamp<int64_t>(a + b, INT32_MIN, INT32_MAX));
}
// One step of the Fract32 one-pole glide toward target.
inline int32_t stepQ31(int32_t g, int32_t target, int32_t coeff)
{
    return addQ31(mulQ31(g, 0x7FFFFFFF - coeff), mulQ31(target, coeff));
}
inline int32_t *words(GenericWire *w) { return static_cast<int32_t *>(w->buffer); }

class Interleaves : public Routers {};
class Multiplexors : public Routers {};

} // namespace routertest
