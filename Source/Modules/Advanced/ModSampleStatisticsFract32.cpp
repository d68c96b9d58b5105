// SampleStatisticsFract32: the extreme value or magnitude over the channels of every frame, into one channel, with
// the channel holding it on a second output. The magnitude saturates, so -1.0 counts as the largest positive value.
#include "Modules/Advanced/SampleStatistics.h"
#include "Modules/Standard/Shapes.h"

namespace {

using namespace kve::kit;
using namespace kve::samplestats;

constexpr std::array<Variable, 2> kVariables = {
    KVE_VARIABLE(SampleStatisticsFract32Module, statisticType, Int),
    KVE_VARIABLE(SampleStatisticsFract32Module, reservedValue, Int),
};

Fract32 magnitude(Fract32 x) { return x == INT32_MIN ? INT32_MAX : (x < 0 ? -x : x); }

void sampleStatisticsFract32Process(ClassModule *m)
{
    const int32_t type = reinterpret_cast<SampleStatisticsFract32Module *>(m)->statisticType;
    extremesByType<Fract32, magnitude>(framesOf<Fract32>(m), type);
}

} // namespace

extern "C" constinit const ClassRecord<2> kve_modSampleStatisticsFract32Class =
    makeClass<2>(0xBEEF0D27u,
                 {kve::shapes::wired<&kve_modSampleStatisticsFract32Class, 1, 1>, sampleStatisticsFract32Process},
                 kVariables);
