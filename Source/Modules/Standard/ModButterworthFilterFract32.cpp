// ButterworthFilterFract32: a Butterworth lowpass, highpass or allpass of order 1 to 10 on Fract32 samples, run by
// an inner BiquadCascadeFract32 of (order + 1) / 2 stages that Set designs.
#include "Modules/Standard/FiltersFract32.h"
#include "kve/kve_design.h"

namespace {

using namespace kve::kit;
using namespace kve::filters;

struct ButterworthFilterFract32Module {
    ClassModule header;
    int32_t filterType;
    int32_t order;
    float cutoffFreq;
    ClassModule *innerModule;
};

constexpr std::array<Variable, 4> kVariables = {
    KVE_VARIABLE(ButterworthFilterFract32Module, filterType, Int),
    KVE_VARIABLE(ButterworthFilterFract32Module, order, Int),
    KVE_VARIABLE(ButterworthFilterFract32Module, cutoffFreq, Float),
    KVE_VARIABLE(ButterworthFilterFract32Module, innerModule, Pointer),
};

constexpr int32_t kMaxOrder = 10;

ClassModule *butterworthFilterFract32Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires,
                                                 uint32_t argc, const uint32_t *args)
{
    if (*status != KVE_OK)
        return nullptr;
    // The design knows orders 1 to 10 only. Wiring and argument counts are the cascade builder's to refuse.
    if (wireWord == 0x101u && argc == kVariables.size() - 1 && args != nullptr) {
        const auto order = static_cast<int32_t>(args[1]);
        if (order < 1 || order > kMaxOrder) {
            *status = KVE_E_BAD_ARGUMENT;
            return nullptr;
        }
    }
    return constructComposite(
        kve_modButterworthFilterFract32Class.record, offsetof(ButterworthFilterFract32Module, innerModule),
        kBiquadCascadeFract32Id, status, wireWord, wires, argc, args, [](ClassModule *m) {
            return static_cast<uint32_t>(reinterpret_cast<ButterworthFilterFract32Module *>(m)->order + 1) / 2;
        });
}

void butterworthFilterFract32Process(ClassModule *m)
{
    ClassModule *inner = reinterpret_cast<ButterworthFilterFract32Module *>(m)->innerModule;
    inner->process(inner);
}

int32_t butterworthFilterFract32Set(ClassModule *m, uint32_t)
{
    auto *b = reinterpret_cast<ButterworthFilterFract32Module *>(m);
    ClassModule *inner = b->innerModule;
    // An order the host raises past the stages the cascade was built with is held to them.
    const int32_t order = std::min(b->order, static_cast<int32_t>(2 * cascadeStageCapacity(inner)));
    design_butterworth(order, b->filterType, reinterpret_cast<BiquadCascadeFract32Module *>(inner)->coeffs,
                       b->cutoffFreq, wire(m, 0)->sampleRate);
    // Bit 9: the cascade's coefficients changed.
    ClassModule_Set(inner, 0x200u);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<4> kve_modButterworthFilterFract32Class =
    makeClass<4>(0xBEEF0887u,
                 {butterworthFilterFract32Constructor, butterworthFilterFract32Process, IOMatchUpModule_Bypass,
                  butterworthFilterFract32Set},
                 kVariables);
