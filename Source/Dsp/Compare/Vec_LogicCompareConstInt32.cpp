#include <functional>

#include "Dsp/Compare/Compare.h"
#include "kve/kve_vec_compare.h"

// dst[i] = 1 where src[i] == constant as signed integers, else 0.
extern "C" void kve_vecLogicCompareConstEqualInt32(const int32_t *src, int32_t constant, int32_t *dst, int32_t n)
{
    kve_compareWithConstant(src, constant, dst, n, std::equal_to<int32_t>{});
}

// dst[i] = 1 where src[i] != constant as signed integers, else 0.
extern "C" void kve_vecLogicCompareConstNotEqualInt32(const int32_t *src, int32_t constant, int32_t *dst, int32_t n)
{
    kve_compareWithConstant(src, constant, dst, n, std::not_equal_to<int32_t>{});
}

// dst[i] = 1 where src[i] < constant as signed integers, else 0.
extern "C" void kve_vecLogicCompareConstLessThanInt32(const int32_t *src, int32_t constant, int32_t *dst, int32_t n)
{
    kve_compareWithConstant(src, constant, dst, n, std::less<int32_t>{});
}

// dst[i] = 1 where src[i] <= constant as signed integers, else 0.
extern "C" void kve_vecLogicCompareConstLessOrEqualInt32(const int32_t *src, int32_t constant, int32_t *dst, int32_t n)
{
    kve_compareWithConstant(src, constant, dst, n, std::less_equal<int32_t>{});
}

// dst[i] = 1 where src[i] > constant as signed integers, else 0.
extern "C" void kve_vecLogicCompareConstGreaterInt32(const int32_t *src, int32_t constant, int32_t *dst, int32_t n)
{
    kve_compareWithConstant(src, constant, dst, n, std::greater<int32_t>{});
}

// dst[i] = 1 where src[i] >= constant as signed integers, else 0.
extern "C" void kve_vecLogicCompareConstGreaterOrEqualInt32(const int32_t *src, int32_t constant, int32_t *dst,
                                                            int32_t n)
{
    kve_compareWithConstant(src, constant, dst, n, std::greater_equal<int32_t>{});
}
