// BlockStatistics: one statistic of the whole block, and where in the block an extreme lies.
#include "Modules/Advanced/Statistics.h"
#include "Modules/Standard/Shapes.h"

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::statistics;

extern "C" constinit const ClassRecord<2> kve_modBlockStatisticsClass = makeClass<2>(
    0xBEEF0CCBu,
    {wired<&kve_modBlockStatisticsClass, 1, 0>, blockStatisticsProcess<float, 9>},
    blockStatisticsVariables<float>());
