// SbAECV1: cancels the loudspeaker echo of input 1 (the reference) in input 0 (the microphone), subband by subband,
// and writes the echo-reduced subband signal to the output; the residual-echo post-filter follows when enabled.
#include "Modules/Advanced/SbEchoCancellers.h"

namespace {

using namespace kve::kit;
using namespace kve::sbaec;

constexpr std::array<Variable, 3> kScalars = {
    KVE_VARIABLE(SbAECV1Module, spareCount, Int),
    KVE_VARIABLE(SbAECV1Module, numTablePoints, Int),
    KVE_VARIABLE(SbAECV1Module, spareWord, Int),
};
constexpr auto kVariables = cancellerVariables<SbAECV1Module>(kScalars);

ClassModule *sbAECV1Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                const uint32_t *args)
{
    return constructCanceller<SbAECV1Module>(kve_modSbAECV1Class, kVariables, {11, 9, 2, false}, status, wireWord,
                                             wires, argc, args);
}

} // namespace

extern "C" constinit const ClassRecord<21> kve_modSbAECV1Class = makeClass<21>(
    0xBEEF429Au,
    {sbAECV1Constructor, cancellerProcess<SbAECV1Module, vec_aec1>, IOMatchUpModule_Bypass,
     cancellerSet<SbAECV1Module>},
    kVariables);
