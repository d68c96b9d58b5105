// MultiplierV2: input 0 as a gain signal on every channel of input 1; or the product of every channel of every
// input in one channel that starts as channel 0 of input 0; or the elementwise product of all inputs.
#include "Modules/Standard/Arithmetic.h"

namespace
{

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::arith;

struct MultiplierV2Module {
    ClassModule header;
    int32_t firstInputIsGain;
    int32_t oneChannelOutput;
};

constexpr std::array<Variable, 2> kVariables = {
    KVE_VARIABLE(MultiplierV2Module, firstInputIsGain, Int),
    KVE_VARIABLE(MultiplierV2Module, oneChannelOutput, Int),
};

using Product = Fold<float, takeBy<float, kve_vecMultiply2x1>, kve_vecMultiply2x1, 1, true>;

void applyGain(ClassModule *, const float *x, int32_t xInc, const float *gain, float *y, int32_t yInc, int32_t n)
{
    kve_vecMultiply2x1(gain, 1, x, xInc, y, yInc, n);
}

} // namespace

extern "C" constinit const ClassRecord<2> kve_modMultiplierV2Class = makeClass<2>(
    0xBEEF0839u, {wired<&kve_modMultiplierV2Class, 1, 1>, multiplierV2<MultiplierV2Module, applyGain, Product>},
    kVariables);
