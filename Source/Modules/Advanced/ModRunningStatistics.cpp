// RunningStatistics: a statistic of every block since the last reset, each block weighing the same; its codes
// put the sum before the means.
#include "Modules/Advanced/Statistics.h"
#include "Modules/Standard/Shapes.h"

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::statistics;

extern "C" constinit const ClassRecord<6> kve_modRunningStatisticsClass = makeClass<6>(
    0xBEEF0D22u,
    {wired<&kve_modRunningStatisticsClass, 1, 0>, runningStatisticsProcess<float, runningStatistic>,
     IOMatchUpModule_Bypass, runningStatisticsSet},
    runningStatisticsVariables<float>());
