// Class records of the standard module pack.
#pragma once

#include "Modules/ModuleKit.h"
#include "Modules/Standard/Arithmetic.h"
#include "Modules/Standard/Control.h"
#include "Modules/Standard/Delays.h"
#include "Modules/Standard/Dynamics.h"
#include "Modules/Standard/Faders.h"
#include "Modules/Standard/Filters.h"
#include "Modules/Standard/FiltersFract32.h"
#include "Modules/Standard/Generators.h"
#include "Modules/Standard/Logic.h"
#include "Modules/Standard/Math.h"
#include "Modules/Standard/MathFract32.h"
#include "Modules/Standard/Mixers.h"
#include "Modules/Standard/Mutes.h"
#include "Modules/Standard/Oscillators.h"
#include "Modules/Standard/Routers.h"
#include "Modules/Standard/Scalers.h"
#include "Modules/Standard/ScalersFract32.h"
#include "Modules/Standard/Sources.h"
#include "Modules/Standard/Streaming.h"
#include "Modules/Standard/Tone.h"

extern "C" {
extern const kve::kit::ClassRecord<0> kve_modCopierClass;
}
