#include <cmath>

#include "Dsp/Statistics/Reductions.h"
#include "kve/kve_vec_stats.h"

// sqrt((sum of x²) / n).
extern "C" float kve_vecRMS(const float *src, int32_t n)
{
    return std::sqrt(kve_vecAvgEnergy(src, n));
}
