// Class records of the smoothed second-order filter and tone-control modules.
#pragma once

#include "Modules/Standard/Scalers.h"
#include "Modules/Standard/ScalersFract32.h"

extern "C" {
}
