// RunningStatisticsFract32: the running statistics on Fract32 samples, with the block statistics' codes 0 to 7
// and 64-bit running means.
#include "Modules/Advanced/Statistics.h"
#include "Modules/Standard/Shapes.h"

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::statistics;

extern "C" constinit const ClassRecord<6> kve_modRunningStatisticsFract32Class = makeClass<6>(
    0xBEEF0D21u,
    {wired<&kve_modRunningStatisticsFract32Class, 1, 0>, runningStatisticsProcess<Fract32, runningStatisticFract32>,
     IOMatchUpModule_Bypass, runningStatisticsSet},
    runningStatisticsVariables<Fract32>());
