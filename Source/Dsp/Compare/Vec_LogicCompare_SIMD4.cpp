#include <functional>

#include "Dsp/Compare/Compare.h"
#include "kve/kve_vec_compare.h"

// dst[i] = 1 where a[i] == b[i], else 0, four lanes at a time.
extern "C" void kve_vecLogicCompareEqual_SIMD4(const float *a, const float *b, int32_t *dst, int32_t n)
{
    kve_compareVectorsF32x4(a, b, dst, n, kve_laneEqual{}, std::equal_to<float>{});
}

// dst[i] = 1 where a[i] != b[i], else 0, four lanes at a time.
extern "C" void kve_vecLogicCompareNotEqual_SIMD4(const float *a, const float *b, int32_t *dst, int32_t n)
{
    kve_compareVectorsF32x4(a, b, dst, n, kve_laneNotEqual{}, std::not_equal_to<float>{});
}

// dst[i] = 1 where a[i] < b[i], else 0, four lanes at a time.
extern "C" void kve_vecLogicCompareLessThan_SIMD4(const float *a, const float *b, int32_t *dst, int32_t n)
{
    kve_compareVectorsF32x4(a, b, dst, n, kve_laneLessThan{}, std::less<float>{});
}

// dst[i] = 1 where a[i] <= b[i], else 0, four lanes at a time.
extern "C" void kve_vecLogicCompareLessOrEqual_SIMD4(const float *a, const float *b, int32_t *dst, int32_t n)
{
    kve_compareVectorsF32x4(a, b, dst, n, kve_laneLessOrEqual{}, std::less_equal<float>{});
}

// dst[i] = 1 where a[i] > b[i], else 0, four lanes at a time.
extern "C" void kve_vecLogicCompareGreater_SIMD4(const float *a, const float *b, int32_t *dst, int32_t n)
{
    kve_compareVectorsF32x4(a, b, dst, n, kve_laneGreater{}, std::greater<float>{});
}

// dst[i] = 1 where a[i] >= b[i], else 0, four lanes at a time.
extern "C" void kve_vecLogicCompareGreaterOrEqual_SIMD4(const float *a, const float *b, int32_t *dst, int32_t n)
{
    kve_compareVectorsF32x4(a, b, dst, n, kve_laneGreaterOrEqual{}, std::greater_equal<float>{});
}
