// ReciprocalFract32: 1/x of every Q1.31 sample, written with 31 - postShift fractional bits.
#include "Modules/Standard/MathFract32.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::mathq;

struct ReciprocalFract32Module {
    ClassModule header;
    int32_t postShift;
};

constexpr std::array<Variable, 1> kVariables = {KVE_VARIABLE(ReciprocalFract32Module, postShift, Int)};

} // namespace

extern "C" constinit const ClassRecord<1> kve_modReciprocalFract32Class = makeClass<1>(
    0xBEEF08B1u,
    {wired<&kve_modReciprocalFract32Class, 1, 1>,
     oneToOne<kernelWith<kve_vecReciprocalFract32, &ReciprocalFract32Module::postShift>>},
    kVariables);
