// NullSink: ends any number of wires that nothing reads.
#include "Modules/Standard/Sources.h"

extern "C" constinit const kve::kit::ClassRecord<0> kve_modNullSinkClass =
    kve::sources::nullSinkClass<&kve_modNullSinkClass>(0xBEEF086Cu);
