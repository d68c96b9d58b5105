// MultiplierV2Fract32: input 0 as a gain signal on every channel of input 1, each product shifted by `postShift`;
// or the product of every channel of every input in one channel that starts at full scale; or the elementwise
// product of all inputs.
#include "Modules/Standard/Arithmetic.h"

namespace
{

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::arith;

struct MultiplierV2Fract32Module {
    ClassModule header;
    int32_t firstInputIsGain;
    int32_t oneChannelOutput;
    int32_t postShift;
};

constexpr std::array<Variable, 3> kVariables = {
    KVE_VARIABLE(MultiplierV2Fract32Module, firstInputIsGain, Int),
    KVE_VARIABLE(MultiplierV2Fract32Module, oneChannelOutput, Int),
    KVE_VARIABLE(MultiplierV2Fract32Module, postShift, Int),
};

void applyGain(ClassModule *m, const int32_t *x, int32_t xInc, const int32_t *gain, int32_t *y, int32_t yInc, int32_t n)
{
    const int32_t postShift = reinterpret_cast<const MultiplierV2Fract32Module *>(m)->postShift;
    kve_vecAGCMultiplierFract32(x, xInc, gain, 1, y, yInc, postShift, n);
}

} // namespace

extern "C" constinit const ClassRecord<3> kve_modMultiplierV2Fract32Class = makeClass<3>(
    0xBEEF08A5u,
    {wired<&kve_modMultiplierV2Fract32Class, 1, 1>, multiplierV2<MultiplierV2Fract32Module, applyGain, Fract32Product>},
    kVariables);
