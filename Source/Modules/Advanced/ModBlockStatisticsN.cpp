// BlockStatisticsN: one statistic per channel, and where in the channel an extreme lies.
#include "Modules/Advanced/Statistics.h"
#include "Modules/Standard/Shapes.h"

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::statistics;

extern "C" constinit const ClassRecord<1> kve_modBlockStatisticsNClass = makeClass<1>(
    0xBEEF0D59u,
    {wired<&kve_modBlockStatisticsNClass, 1, 1>, blockStatisticsNProcess},
    std::array<Variable, 1>{KVE_VARIABLE(BlockStatisticsNModule, statisticType, Int)});
