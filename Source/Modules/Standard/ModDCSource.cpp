// DCSource: every word of its output = `value`.
#include "Modules/Standard/Sources.h"

using namespace kve::kit;
using namespace kve::sources;

extern "C" constinit const ClassRecord<1> kve_modDCSourceClass = makeClass<1>(
    0xBEEF0FD5u, {source<&kve_modDCSourceClass, &kFloatValue>, constant<float, floatValue>}, kFloatValue);
