// TypeConversion: wire 0 converted from `inputType` to `outputType` (0 float, 1 Fract32, any other code 32-bit
// integer) into wire 1. Composites build it by class id with the two codes as arguments, so its id and variable
// order stay as they are. A bypassed instance still converts: what follows it expects the output type.
#include "Modules/Standard/Logic.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;

struct TypeConversionModule {
    ClassModule header;
    int32_t inputType;
    int32_t outputType;
};

constexpr std::array<Variable, 2> kVariables = {
    KVE_VARIABLE(TypeConversionModule, inputType, Int),
    KVE_VARIABLE(TypeConversionModule, outputType, Int),
};

void typeConversionProcess(ClassModule *m)
{
    const auto *s = reinterpret_cast<const TypeConversionModule *>(m);
    const GenericWire *in = wire(m, 0);
    const GenericWire *out = kve::logic::firstOutput(m);
    const Words x = words(in);
    const Words y = words(out);
    const int32_t n = held({in, out});
    if (s->inputType == s->outputType) {
        if (in->buffer != out->buffer)
            kve_vecCopy32(x, 1, y, 1, n);
    } else if (s->inputType == KVE_SAMPLE_FLOAT) {
        if (s->outputType == KVE_SAMPLE_FRACT32)
            kve_vecFloatToFract32(x, 1, y, 1, n);
        else
            kve_vecFloatToInt(x, 1, y, 1, n);
    } else if (s->inputType == KVE_SAMPLE_FRACT32) {
        if (s->outputType == KVE_SAMPLE_FLOAT)
            kve_vecFract32ToFloat(x, 1, y, 1, n);
        else
            kve_vecFract32ToInt(x, 1, y, 1, n);
    } else if (s->outputType == KVE_SAMPLE_FLOAT) {
        kve_vecIntToFloat(x, 1, y, 1, n);
    } else {
        kve_vecIntToFract32(x, 1, y, 1, n);
    }
}

} // namespace

extern "C" constinit const ClassRecord<2> kve_modTypeConversionClass = makeClass<2>(
    0xBEEF0866u, {wired<&kve_modTypeConversionClass, 1, 1>, typeConversionProcess, typeConversionProcess},
    kVariables);
