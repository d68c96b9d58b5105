// BlockConcatenate: the inputs' blocks one after another in one output block, input 0 first. Words are copied as
// they stand, so complex samples stay pairs.
#include <algorithm>
#include <cstring>

#include "Modules/Advanced/Rebuffering.h"
#include "Modules/Standard/Control.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using kve::control::withArrays;

constexpr std::array<Variable, 0> kVariables = {};

void kve_modBlockConcatenateProcess(ClassModule *m)
{
    const uint32_t inputs = KVE_PACKED_INPUTS(m->packed);
    GenericWire *out = wire(m, inputs);
    const uint32_t outWords = wireWords(out);
    auto *dst = static_cast<float *>(out->buffer);
    // Inputs beyond the output's end are cut off; an output longer than them all ends in zeros.
    uint32_t at = 0;
    for (uint32_t k = 0; k < inputs && at < outWords; ++k) {
        const GenericWire *in = wire(m, k);
        const uint32_t n = std::min(wireWords(in), outWords - at);
        std::memmove(dst + at, in->buffer, n * sizeof(float));
        at += n;
    }
    kve_vecFill(dst + at, 1, 0.0f, static_cast<int32_t>(outWords - at));
}

} // namespace

extern "C" constinit const ClassRecord<0> kve_modBlockConcatenateClass =
    makeClass<0>(0xBEEF0CC5u,
                 {.constructor = withArrays<&kve_modBlockConcatenateClass, &kVariables, 0, 1>,
                  .process = kve_modBlockConcatenateProcess,
                  .bypass = kve_modBlockConcatenateProcess},
                 kVariables);
