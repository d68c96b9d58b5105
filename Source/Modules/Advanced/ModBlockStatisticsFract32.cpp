// BlockStatisticsFract32: one statistic of a whole Fract32 block, codes 0 to 7.
#include "Modules/Advanced/Statistics.h"
#include "Modules/Standard/Shapes.h"

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::statistics;

extern "C" constinit const ClassRecord<2> kve_modBlockStatisticsFract32Class = makeClass<2>(
    0xBEEF0CCAu,
    {wired<&kve_modBlockStatisticsFract32Class, 1, 0>, blockStatisticsProcess<Fract32, 7>},
    blockStatisticsVariables<Fract32>());
