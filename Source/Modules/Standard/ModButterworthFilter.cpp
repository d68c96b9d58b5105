// ButterworthFilter: a lowpass, highpass or allpass Butterworth filter of order 1 to 10, designed by Set into an
// inner BiquadCascade of (order + 1) / 2 sections that Process runs.
#include "Modules/Standard/Filters.h"
#include "kve/kve_design.h"

namespace {

using namespace kve::kit;
using namespace kve::filters;

struct ButterworthFilterModule {
    ClassModule header;
    int32_t filterType;
    int32_t order;
    float cutoffFreq;
    ClassModule *innerModule;
};

constexpr std::array<Variable, 4> kVariables = {
    KVE_VARIABLE(ButterworthFilterModule, filterType, Int),
    KVE_VARIABLE(ButterworthFilterModule, order, Int),
    KVE_VARIABLE(ButterworthFilterModule, cutoffFreq, Float),
    KVE_VARIABLE(ButterworthFilterModule, innerModule, Pointer),
};

// The orders the Butterworth design knows.
constexpr int32_t kMaxOrder = 10;

int32_t sectionsOf(int32_t order) { return (order + 1) / 2; }

ClassModule *butterworthConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                    const uint32_t *args)
{
    const int32_t order = sizeArgument(argc, args, 3, 1);
    if (*status == KVE_OK && wireWord == kOneInOneOut && argc == 3 && args != nullptr &&
        (order < 1 || order > kMaxOrder)) {
        *status = KVE_E_BAD_ARGUMENT;
        return nullptr;
    }
    return constructComposite(kve_modButterworthFilterClass.record, offsetof(ButterworthFilterModule, innerModule),
                              kBiquadCascadeClassId, status, wireWord, wires, argc, args, [](ClassModule *outer) {
                                  const int32_t built = reinterpret_cast<ButterworthFilterModule *>(outer)->order;
                                  return static_cast<uint32_t>(sectionsOf(built));
                              });
}

void butterworthProcess(ClassModule *m)
{
    runInner(reinterpret_cast<ButterworthFilterModule *>(m)->innerModule);
}

int32_t butterworthSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<ButterworthFilterModule *>(m);
    auto *inner = reinterpret_cast<BiquadCascadeModule *>(s->innerModule);
    // The inner cascade was built for the order given at construction: a higher order is held to what its sections
    // can take, a lower one designs fewer sections and leaves the rest passing the signal through.
    const uint32_t sections = capacity(s->innerModule, 0) / kSectionWords;
    const auto order = static_cast<int32_t>(
        std::max<uint32_t>(1, clampedCount(s->order, std::min<uint32_t>(kMaxOrder, 2 * sections))));
    const GenericWire *in = wire(m, 0);
    design_butterworth(order, s->filterType, inner->coeffs, s->cutoffFreq, in->sampleRate);
    for (uint32_t k = static_cast<uint32_t>(sectionsOf(order)); k < sections; ++k) {
        float *section = inner->coeffs + kSectionWords * k;
        std::fill(section, section + kSectionWords, 0.0f);
        section[0] = 1.0f;
    }
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<4> kve_modButterworthFilterClass = makeClass<4>(
    0xBEEF0805u, {butterworthConstructor, butterworthProcess, IOMatchUpModule_Bypass, butterworthSet}, kVariables);
