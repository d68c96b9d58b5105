// Class records of the arithmetic modules: magnitudes, adders, subtractors, multipliers, dividers, sums and
// differences, squares, scale-offset, clips and polynomials.
#pragma once

#include "Modules/Standard/Shapes.h"

extern "C" {
extern const kve::kit::ClassRecord<0> kve_modAbsClass;
}
