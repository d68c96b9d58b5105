// SubblockStatisticsFract32: one statistic of Fract32 samples per run of frames.
#include "Modules/Advanced/Statistics.h"
#include "Modules/Standard/Shapes.h"

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::statistics;

extern "C" constinit const ClassRecord<3> kve_modSubblockStatisticsFract32Class = makeClass<3>(
    0xBEEF0D3Bu,
    {wired<&kve_modSubblockStatisticsFract32Class, 1, 1>, subblockStatisticsProcess<Fract32>},
    subblockStatisticsVariables());
