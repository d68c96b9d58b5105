// SubblockStatistics: one statistic per run of frames, over all channels of the run.
#include "Modules/Advanced/Statistics.h"
#include "Modules/Standard/Shapes.h"

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::statistics;

extern "C" constinit const ClassRecord<3> kve_modSubblockStatisticsClass = makeClass<3>(
    0xBEEF0D3Cu,
    {wired<&kve_modSubblockStatisticsClass, 1, 1>, subblockStatisticsProcess<float>},
    subblockStatisticsVariables());
