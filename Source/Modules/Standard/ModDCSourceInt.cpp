// DCSourceInt: every word of its output = the integer `value`.
#include "Modules/Standard/Sources.h"

using namespace kve::kit;
using namespace kve::sources;

extern "C" constinit const ClassRecord<1> kve_modDCSourceIntClass = makeClass<1>(
    0xBEEF0873u, {source<&kve_modDCSourceIntClass, &kIntValue>, constant<int32_t, intValue>}, kIntValue);
