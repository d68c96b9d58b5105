// NullSinkV2: NullSink under its second class id, exported for layouts that name it but kept out of the class table.
#include "Modules/Standard/Sources.h"

extern "C" constinit const kve::kit::ClassRecord<0> kve_modNullSinkV2Class =
    kve::sources::nullSinkClass<&kve_modNullSinkV2Class>(0xBEEF08DCu);
