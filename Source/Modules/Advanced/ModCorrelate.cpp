// Correlate: per channel, `outputCount` samples of the full cross-correlation of the two inputs' blocks, from index
// `firstOutput` on; index (input 2 block - 1) is lag 0.
#include "Modules/Advanced/FirFilters.h"

extern "C" constinit const kve::kit::ClassRecord<3> kve_modCorrelateClass =
    kve::fir::windowedProductClass<&kve_modCorrelateClass, kve_vecCorr>(0xBEEF0CDCu);
