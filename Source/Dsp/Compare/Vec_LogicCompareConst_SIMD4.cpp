#include <functional>

#include "Dsp/Compare/Compare.h"
#include "kve/kve_vec_compare.h"

// dst[i] = 1 where src[i] == constant, else 0, four lanes at a time.
extern "C" void kve_vecLogicCompareConstEqual_SIMD4(const float *src, float constant, int32_t *dst, int32_t n)
{
    kve_compareWithConstantF32x4(src, constant, dst, n, kve_laneEqual{}, std::equal_to<float>{});
}

// dst[i] = 1 where src[i] != constant, else 0, four lanes at a time.
extern "C" void kve_vecLogicCompareConstNotEqual_SIMD4(const float *src, float constant, int32_t *dst, int32_t n)
{
    kve_compareWithConstantF32x4(src, constant, dst, n, kve_laneNotEqual{}, std::not_equal_to<float>{});
}

// dst[i] = 1 where src[i] < constant, else 0, four lanes at a time.
extern "C" void kve_vecLogicCompareConstLessThan_SIMD4(const float *src, float constant, int32_t *dst, int32_t n)
{
    kve_compareWithConstantF32x4(src, constant, dst, n, kve_laneLessThan{}, std::less<float>{});
}

// dst[i] = 1 where src[i] <= constant, else 0, four lanes at a time.
extern "C" void kve_vecLogicCompareConstLessOrEqual_SIMD4(const float *src, float constant, int32_t *dst, int32_t n)
{
    kve_compareWithConstantF32x4(src, constant, dst, n, kve_laneLessOrEqual{}, std::less_equal<float>{});
}

// dst[i] = 1 where src[i] > constant, else 0, four lanes at a time.
extern "C" void kve_vecLogicCompareConstGreater_SIMD4(const float *src, float constant, int32_t *dst, int32_t n)
{
    kve_compareWithConstantF32x4(src, constant, dst, n, kve_laneGreater{}, std::greater<float>{});
}

// dst[i] = 1 where src[i] >= constant, else 0, four lanes at a time.
extern "C" void kve_vecLogicCompareConstGreaterOrEqual_SIMD4(const float *src, float constant, int32_t *dst, int32_t n)
{
    kve_compareWithConstantF32x4(src, constant, dst, n, kve_laneGreaterOrEqual{}, std::greater_equal<float>{});
}
