// Db20: 20 log10 |x| of every sample of wire 0 into wire 1, held at -758.5955810546875 dB below the
// smallest normal float.
#include "Modules/Standard/Math.h"
#include "kve/kve_vec.h"

using namespace kve::math;

extern "C" constinit const kve::kit::ClassRecord<0> kve_modDb20Class =
    plainClass<&kve_modDb20Class, 1, 1>(0xBEEF0848u, oneToOne<kernel<kve_vecDb20>>);
