#include <cmath>

#include "Dsp/Statistics/Reductions.h"
#include "kve/kve_vec_stats.h"

// sqrt((sum of x²) / n) over n samples srcInc apart.
extern "C" float kve_vecRMSStride(const float *src, int32_t srcInc, int32_t n)
{
    return std::sqrt(kve_vecAvgEnergyStride(src, srcInc, n));
}
