// Convolve: per channel, `outputCount` samples of the full linear convolution of the two inputs' blocks, from
// index `firstOutput` on.
#include "Modules/Advanced/FirFilters.h"

extern "C" constinit const kve::kit::ClassRecord<3> kve_modConvolveClass =
    kve::fir::windowedProductClass<&kve_modConvolveClass, kve_vecConv>(0xBEEF0CDBu);
