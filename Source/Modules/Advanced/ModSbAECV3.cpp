// SbAECV3: the subband echo canceller whose predicted tap variances never fall below `minTapVariance`, so the
// taps keep following an echo path that changes after a long steady stretch.
#include "Modules/Advanced/SbEchoCancellers.h"

namespace {

using namespace kve::kit;
using namespace kve::sbaec;

constexpr std::array<Variable, 4> kScalars = {
    KVE_VARIABLE(SbAECV3Module, minTapVariance, Float),
    KVE_VARIABLE(SbAECV3Module, spareCount, Int),
    KVE_VARIABLE(SbAECV3Module, numTablePoints, Int),
    KVE_VARIABLE(SbAECV3Module, spareWord, Int),
};
constexpr auto kVariables = cancellerVariables<SbAECV3Module>(kScalars);

ClassModule *sbAECV3Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                const uint32_t *args)
{
    return constructCanceller<SbAECV3Module>(kve_modSbAECV3Class, kVariables, {12, 10, 2, false}, status, wireWord,
                                             wires, argc, args);
}

} // namespace

extern "C" constinit const ClassRecord<22> kve_modSbAECV3Class = makeClass<22>(
    0xBEEF429Eu,
    {sbAECV3Constructor, cancellerProcess<SbAECV3Module, vec_aec3>, IOMatchUpModule_Bypass,
     cancellerSet<SbAECV3Module>},
    kVariables);
