// MaxAbs: the largest magnitude over every channel of every input, sample by sample, into the output after them.
#include "Modules/Standard/Dynamics.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::dynamics;

constexpr std::array<Variable, 0> kVariables = {};

} // namespace

extern "C" constinit const ClassRecord<0> kve_modMaxAbsClass = makeClass<0>(
    0xBEEF087Eu, {inputsToOne<&kve_modMaxAbsClass>, maxAbsProcess<float, kve_vecAbs>}, kVariables);
