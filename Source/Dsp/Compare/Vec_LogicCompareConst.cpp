#include <functional>

#include "Dsp/Compare/Compare.h"
#include "kve/kve_vec_compare.h"

// dst[i] = 1 where src[i] == constant, else 0 (IEEE: false for a NaN operand).
extern "C" void kve_vecLogicCompareConstEqual(const float *src, float constant, int32_t *dst, int32_t n)
{
    kve_compareWithConstant(src, constant, dst, n, std::equal_to<float>{});
}

// dst[i] = 1 where src[i] != constant, else 0 (IEEE: true for a NaN operand).
extern "C" void kve_vecLogicCompareConstNotEqual(const float *src, float constant, int32_t *dst, int32_t n)
{
    kve_compareWithConstant(src, constant, dst, n, std::not_equal_to<float>{});
}

// dst[i] = 1 where src[i] < constant, else 0 (IEEE: false for a NaN operand).
extern "C" void kve_vecLogicCompareConstLessThan(const float *src, float constant, int32_t *dst, int32_t n)
{
    kve_compareWithConstant(src, constant, dst, n, std::less<float>{});
}

// dst[i] = 1 where src[i] <= constant, else 0 (IEEE: false for a NaN operand).
extern "C" void kve_vecLogicCompareConstLessOrEqual(const float *src, float constant, int32_t *dst, int32_t n)
{
    kve_compareWithConstant(src, constant, dst, n, std::less_equal<float>{});
}

// dst[i] = 1 where src[i] > constant, else 0 (IEEE: false for a NaN operand).
extern "C" void kve_vecLogicCompareConstGreater(const float *src, float constant, int32_t *dst, int32_t n)
{
    kve_compareWithConstant(src, constant, dst, n, std::greater<float>{});
}

// dst[i] = 1 where src[i] >= constant, else 0 (IEEE: false for a NaN operand).
extern "C" void kve_vecLogicCompareConstGreaterOrEqual(const float *src, float constant, int32_t *dst, int32_t n)
{
    kve_compareWithConstant(src, constant, dst, n, std::greater_equal<float>{});
}
