// ShiftSamples: the block delayed (positive `shift`) or advanced (negative) by whole samples within itself, zeros
// filling the frames the shift empties; complex samples move as pairs.
#include <algorithm>
#include <cstring>

#include "Modules/Advanced/Rebuffering.h"
#include "Modules/Standard/Control.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using kve::control::withArrays;
using namespace kve::rebuffering;

constexpr std::array<Variable, 1> kVariables = {
    KVE_VARIABLE(ShiftSamplesModule, shift, Int),
};

void kve_modShiftSamplesProcess(ClassModule *m)
{
    const GenericWire *in = wire(m, 0);
    GenericWire *out = wire(m, 1);
    const Frames f = framesOf(in);
    // Frames both wires hold; a shift of the whole block or more leaves only zeros.
    const auto q = static_cast<int32_t>(std::min(f.count, framesHeld(out, f.words)));
    const int32_t s = std::clamp(reinterpret_cast<const ShiftSamplesModule *>(m)->shift, -q, q);
    const uint32_t zeros = static_cast<uint32_t>(s < 0 ? -s : s) * f.words;
    const uint32_t kept = static_cast<uint32_t>(q) * f.words - zeros;
    auto *dst = static_cast<float *>(out->buffer);
    const auto *src = static_cast<const float *>(in->buffer);
    // The move comes before the zeros, so an output on the input's own buffer is read before it is cleared.
    if (s >= 0) {
        std::memmove(dst + zeros, src, kept * sizeof(float));
        kve_vecFill(dst, 1, 0.0f, static_cast<int32_t>(zeros));
    } else {
        std::memmove(dst, src + zeros, kept * sizeof(float));
        kve_vecFill(dst + kept, 1, 0.0f, static_cast<int32_t>(zeros));
    }
}

// Nothing is derived from `shift`: Process reads it as it stands.
int32_t kve_modShiftSamplesSet(ClassModule *, uint32_t) { return 0; }

} // namespace

extern "C" constinit const ClassRecord<1> kve_modShiftSamplesClass =
    makeClass<1>(0xBEEF0D36u,
                 {.constructor = withArrays<&kve_modShiftSamplesClass, &kVariables, 1, 1>,
                  .process = kve_modShiftSamplesProcess,
                  .bypass = IOMatchUpModule_Bypass,
                  .set = kve_modShiftSamplesSet},
                 kVariables);
