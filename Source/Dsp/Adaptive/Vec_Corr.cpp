#include "Dsp/Adaptive/Window.h"
#include "kve/kve_vec.h"

// The outputs start .. start + numOut - 1 of the cross-correlation r[k] = sum over j of b[j] x a[k - (bLen - 1) + j]
// (k = bLen - 1 is lag 0), written dstInc apart; outputs before 0 are 0 and those past aLen + bLen - 2 are left
// unwritten.
extern "C" void kve_vecCorr(const float *a, int32_t aInc, int32_t aLen, const float *b, int32_t bInc, int32_t bLen,
                            float *dst, int32_t dstInc, int32_t numOut, int32_t start)
{
    kve_windowSums(a, aInc, aLen, b, bInc, bLen, dst, dstInc, numOut, start, true);
}
