// Class records of the subband blocks that filter, level and smooth subband or frequency-domain wires value by
// value: the complex NLMS filters (and their delayed-update form), the fixed complex FIRs, the attack-hold-release
// envelope, the difference over one block, the running RMS, the sliding average across bins and the gliding
// second-order filter.
#pragma once

#include "Modules/ModuleKit.h"

extern "C" {
extern const kve::kit::ClassRecord<7> kve_modSbNLMSClass;
extern const kve::kit::ClassRecord<8> kve_modSbNLMSV2Class;
extern const kve::kit::ClassRecord<4> kve_modSbComplexFIRClass;
extern const kve::kit::ClassRecord<5> kve_modSbComplexFIRvlClass;
extern const kve::kit::ClassRecord<8> kve_modSbAttackReleaseClass;
extern const kve::kit::ClassRecord<2> kve_modSbDerivativeClass;
extern const kve::kit::ClassRecord<4> kve_modSbRMSClass;
extern const kve::kit::ClassRecord<7> kve_modSbSmoothClass;
extern const kve::kit::ClassRecord<18> kve_modSbSOFClass;
}
