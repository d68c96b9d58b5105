#include <functional>

#include "Dsp/Compare/Compare.h"
#include "kve/kve_vec_compare.h"

// dst[i] = 1 where a[i] == b[i], else 0 (IEEE: false for a NaN operand).
extern "C" void kve_vecLogicCompareEqual(const float *a, const float *b, int32_t *dst, int32_t n)
{
    kve_compareVectors(a, b, dst, n, std::equal_to<float>{});
}

// dst[i] = 1 where a[i] != b[i], else 0 (IEEE: true for a NaN operand).
extern "C" void kve_vecLogicCompareNotEqual(const float *a, const float *b, int32_t *dst, int32_t n)
{
    kve_compareVectors(a, b, dst, n, std::not_equal_to<float>{});
}

// dst[i] = 1 where a[i] < b[i], else 0 (IEEE: false for a NaN operand).
extern "C" void kve_vecLogicCompareLessThan(const float *a, const float *b, int32_t *dst, int32_t n)
{
    kve_compareVectors(a, b, dst, n, std::less<float>{});
}

// dst[i] = 1 where a[i] <= b[i], else 0 (IEEE: false for a NaN operand).
extern "C" void kve_vecLogicCompareLessOrEqual(const float *a, const float *b, int32_t *dst, int32_t n)
{
    kve_compareVectors(a, b, dst, n, std::less_equal<float>{});
}

// dst[i] = 1 where a[i] > b[i], else 0 (IEEE: false for a NaN operand).
extern "C" void kve_vecLogicCompareGreater(const float *a, const float *b, int32_t *dst, int32_t n)
{
    kve_compareVectors(a, b, dst, n, std::greater<float>{});
}

// dst[i] = 1 where a[i] >= b[i], else 0 (IEEE: false for a NaN operand).
extern "C" void kve_vecLogicCompareGreaterOrEqual(const float *a, const float *b, int32_t *dst, int32_t n)
{
    kve_compareVectors(a, b, dst, n, std::greater_equal<float>{});
}
