// BlockFlip: each channel's samples reversed in time; complex samples are reversed as pairs.
#include <algorithm>

#include "Modules/Advanced/Rebuffering.h"
#include "Modules/Standard/Control.h"

namespace {

using namespace kve::kit;
using kve::control::withArrays;
using namespace kve::rebuffering;

constexpr std::array<Variable, 0> kVariables = {};

void kve_modBlockFlipProcess(ClassModule *m)
{
    const GenericWire *in = wire(m, 0);
    GenericWire *out = wire(m, 1);
    const Frames f = framesOf(in);
    const uint32_t q = std::min(f.count, framesHeld(out, f.words));
    const auto *src = static_cast<const float *>(in->buffer);
    auto *dst = static_cast<float *>(out->buffer);
    // Frames are swapped from both ends inward, each pair read before it is written, so an output on the input's
    // own buffer flips in place.
    for (uint32_t a = 0, b = q - 1; a < q - a; ++a, --b)
        for (uint32_t w = 0; w < f.words; ++w) {
            const float early = src[a * f.words + w];
            const float late = src[b * f.words + w];
            dst[a * f.words + w] = late;
            dst[b * f.words + w] = early;
        }
}

} // namespace

extern "C" constinit const ClassRecord<0> kve_modBlockFlipClass =
    makeClass<0>(0xBEEF0CC8u,
                 {.constructor = withArrays<&kve_modBlockFlipClass, &kVariables, 1, 1>,
                  .process = kve_modBlockFlipProcess,
                  .bypass = IOMatchUpModule_Bypass},
                 kVariables);
