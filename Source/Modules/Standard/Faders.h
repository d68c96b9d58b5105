// Class records of the balance, polarity, crossfade, wet/dry and volume modules.
#pragma once

#include "Modules/Standard/Scalers.h"
#include "Modules/Standard/ScalersFract32.h"

extern "C" {
}
