// ButterworthFilterHP: a lowpass, highpass or allpass Butterworth filter of order 1 to 10 in state-space sections,
// designed by Set into an inner BiquadCascadeHP of (order + 1) / 2 sections that Process runs.
#include "Modules/Advanced/Composites.h"
#include "Modules/Advanced/HpBiquads.h"

namespace {

using namespace kve::kit;
using namespace kve::composites;

struct ButterworthFilterHPModule {
    ClassModule header;
    int32_t filterKind;
    int32_t order;
    float cutoff; // Hz
    ClassModule *inner;
};

constexpr std::array<Variable, 4> kVariables = {
    KVE_VARIABLE(ButterworthFilterHPModule, filterKind, Int),
    KVE_VARIABLE(ButterworthFilterHPModule, order, Int),
    KVE_VARIABLE(ButterworthFilterHPModule, cutoff, Float),
    KVE_VARIABLE(ButterworthFilterHPModule, inner, Pointer),
};

// The orders the Butterworth design knows.
constexpr int32_t kMaxOrder = 10;

uint32_t sectionsOf(int32_t order) { return static_cast<uint32_t>(order + 1) / 2; }

ClassModule *butterworthFilterHPConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                            const uint32_t *args)
{
    const auto order = static_cast<int32_t>(sizeArgument(argc, args, 3, 1));
    if (*status == KVE_OK && argc == 3 && args != nullptr && (order < 1 || order > kMaxOrder)) {
        *status = KVE_E_BAD_ARGUMENT;
        return nullptr;
    }
    const uint32_t innerArgs[] = {sectionsOf(order)};
    const InnerModule steps[] = {{kve::hp::kBiquadCascadeHPClassId, kOneInOneOut, {kIn, kOut}, innerArgs}};
    return constructComposite(kve_modButterworthFilterHPClass, kVariables, kOneInOneOut, steps, status, wireWord,
                              wires, argc, args);
}

int32_t butterworthFilterHPSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<ButterworthFilterHPModule *>(m);
    auto *inner = reinterpret_cast<kve::hp::BiquadCascadeHPModule *>(s->inner);
    // The cascade was built for the order given at construction: a higher order is held to what its sections take,
    // a lower one designs fewer sections and leaves the rest passing the signal through.
    const uint32_t sections = std::min(capacity(s->inner, 0), capacity(s->inner, 1)) / kSetWords;
    const int32_t order = std::clamp(s->order, 1, std::min(kMaxOrder, static_cast<int32_t>(2 * sections)));
    design_butterworth(order, s->filterKind, inner->coeffs, s->cutoff, wire(m, 0)->sampleRate);
    for (uint32_t k = sectionsOf(order); k < sections; ++k) {
        float *section = inner->coeffs + kSetWords * k;
        std::fill_n(section, kSetWords, 0.0f);
        section[0] = 1.0f;
    }
    kve::hp::toStateSpace(inner->coeffs, inner->ssCoeffs, sections);
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<4> kve_modButterworthFilterHPClass =
    makeClass<4>(0xBEEF0CCCu,
                 {butterworthFilterHPConstructor, runInnerModules, IOMatchUpModule_Bypass, butterworthFilterHPSet},
                 kVariables);
