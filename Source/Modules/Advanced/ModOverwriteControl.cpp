// OverwriteControl: replaces chosen channels' control values (one per channel) by values the layout holds, as
// floats or truncated to integers.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "Modules/Advanced/AdvancedKit.h"
#include "Modules/Advanced/StateControl.h"
#include "Modules/Standard/Shapes.h"

using namespace kve::kit;
using namespace kve::statecontrol;

namespace {

constexpr std::array<Variable, 3> kVariables = {
    KVE_VARIABLE(OverwriteControlModule, convertToInt, Int),
    KVE_ARRAY(OverwriteControlModule, overwriteFlags, IntArray, perChannelOfWire(0)),
    KVE_ARRAY(OverwriteControlModule, overwriteValues, FloatArray, perChannelOfWire(0)),
};

ClassModule *overwriteConstruct(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                const uint32_t *args)
{
    return construct(kve_modOverwriteControlClass, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void overwriteProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<OverwriteControlModule *>(m);
    const GenericWire *in = wire(m, 0);
    GenericWire *out = wire(m, KVE_PACKED_INPUTS(m->packed));
    const uint32_t n = std::min({KVE_WIRE_CHANNELS(in->info1), wireWords(in), wireWords(out), capacity(m, 0)});
    const auto *x = static_cast<const uint32_t *>(in->buffer);
    auto *y = static_cast<uint32_t *>(out->buffer);
    for (uint32_t i = 0; i < n; ++i) {
        if (s->overwriteFlags[i] != 1) {
            y[i] = x[i];
        } else if (s->convertToInt == 1) {
            const int32_t v = kve_advTruncateToInt32(s->overwriteValues[i]);
            std::memcpy(&y[i], &v, 4);
        } else {
            std::memcpy(&y[i], &s->overwriteValues[i], 4);
        }
    }
}

} // namespace

extern "C" constinit const ClassRecord<3> kve_modOverwriteControlClass =
    makeClass<3>(0xBEEF0D5Cu, {overwriteConstruct, overwriteProcess}, kVariables);
