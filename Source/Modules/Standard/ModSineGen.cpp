// SineGen: a sine of `freq` hertz from the phasor (phasorA, phasorB), turned each sample by the angle Set stores as
// (cosW, sinW). A mono output carries phasorB, the sine; any other output carries the (phasorA, phasorB) pairs.
// The phasor continues from block to block and is brought back to unit length after each.
#include "Modules/Standard/Oscillators.h"
#include "kve/kve_vec_generators.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::oscillators;

void turnPhasor(GenericWire *out, float *a, float *b, float cosW, float sinW)
{
    kve_vecSineGen(words(out), a, b, static_cast<int32_t>(channels(out)), phasorSteps(out), cosW, sinW);
}

} // namespace

extern "C" constinit const ClassRecord<6> kve_modSineGenClass =
    makeClass<6>(0xBEEF0FFBu,
                 {wired<&kve_modSineGenClass, 0, 1>, sineGenProcess<float, turnPhasor>, IOMatchUpModule_Bypass,
                  sineGenSet<float, asFloat>},
                 kSineGenVariables<float>);
