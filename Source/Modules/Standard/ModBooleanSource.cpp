// BooleanSource: logic words from the host, carried as SourceInt carries integers.
#include "Modules/Standard/Sources.h"

using namespace kve::kit;

extern "C" constinit const ClassRecord<1> kve_modBooleanSourceClass =
    kve::sources::hostSourceClass<&kve_modBooleanSourceClass, int32_t, Type::IntArray, false>(0xBEEF0871u);
