#include <cmath>

#include "kve/kve_vec_stats.h"

// The largest of src[0 .. n - 1], NaN elements ignored (maxNum); *index = the first position holding it (a later
// element moves it only when strictly greater). n < 1 returns 0 and writes nothing.
extern "C" float kve_vecMax(const float *src, int32_t n, uint32_t *index)
{
    if (n < 1)
        return 0.0f;
    float best = src[0];
    uint32_t at = 0;
    for (int32_t k = 1; k < n; ++k) {
        if (src[k] > best)
            at = static_cast<uint32_t>(k);
        best = std::fmax(best, src[k]);
    }
    *index = at;
    return best;
}
