// Class records of the mute and solo modules.
#pragma once

#include "Modules/Standard/Scalers.h"
#include "Modules/Standard/ScalersFract32.h"

extern "C" {
}
