// Class records of the standard module pack.
#pragma once

#include "Modules/ModuleKit.h"
#include "Modules/Standard/Mixers.h"
#include "Modules/Standard/Routers.h"
#include "Modules/Standard/Scalers.h"
#include "Modules/Standard/ScalersFract32.h"

extern "C" {
extern const kve::kit::ClassRecord<0> kve_modCopierClass;
}
