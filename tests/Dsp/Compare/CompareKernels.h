// The comparison kernels gathered by family, each family's six in the order the comparison modules index them:
// equal, not equal, less than, less or equal, greater, greater or equal.
#pragma once

#include <array>
#include <cstdint>

#include "kve/kve_vec.h"

namespace kvetest {

inline constexpr const char *kRelationNames[6] = {"Equal", "NotEqual", "LessThan", "LessOrEqual", "Greater",
                                                  "GreaterOrEqual"};

template <typename T>
using PairCompare = void (*)(const T *, const T *, int32_t *, int32_t);
template <typename T>
using ConstCompare = void (*)(const T *, T, int32_t *, int32_t);

template <typename T>
struct PairFamily {
    const char *name;
    std::array<PairCompare<T>, 6> kernels;
};

template <typename T>
struct ConstFamily {
    const char *name;
    std::array<ConstCompare<T>, 6> kernels;
};

inline const PairFamily<float> kFloatPairs{
    "LogicCompare",
    {kve_vecLogicCompareEqual, kve_vecLogicCompareNotEqual, kve_vecLogicCompareLessThan,
     kve_vecLogicCompareLessOrEqual, kve_vecLogicCompareGreater, kve_vecLogicCompareGreaterOrEqual}};
inline const PairFamily<float> kFloatPairsFourLane{
    "LogicCompare_SIMD4",
    {kve_vecLogicCompareEqual_SIMD4, kve_vecLogicCompareNotEqual_SIMD4, kve_vecLogicCompareLessThan_SIMD4,
     kve_vecLogicCompareLessOrEqual_SIMD4, kve_vecLogicCompareGreater_SIMD4,
     kve_vecLogicCompareGreaterOrEqual_SIMD4}};
inline const ConstFamily<float> kFloatConsts{
    "LogicCompareConst",
    {kve_vecLogicCompareConstEqual, kve_vecLogicCompareConstNotEqual, kve_vecLogicCompareConstLessThan,
     kve_vecLogicCompareConstLessOrEqual, kve_vecLogicCompareConstGreater, kve_vecLogicCompareConstGreaterOrEqual}};
inline const ConstFamily<float> kFloatConstsFourLane{
    "LogicCompareConst_SIMD4",
    {kve_vecLogicCompareConstEqual_SIMD4, kve_vecLogicCompareConstNotEqual_SIMD4,
     kve_vecLogicCompareConstLessThan_SIMD4, kve_vecLogicCompareConstLessOrEqual_SIMD4,
     kve_vecLogicCompareConstGreater_SIMD4, kve_vecLogicCompareConstGreaterOrEqual_SIMD4}};

inline const PairFamily<int32_t> kWordPairs[] = {
    {"LogicCompareFract32",
     {kve_vecLogicCompareEqualFract32, kve_vecLogicCompareNotEqualFract32, kve_vecLogicCompareLessThanFract32,
      kve_vecLogicCompareLessOrEqualFract32, kve_vecLogicCompareGreaterFract32,
      kve_vecLogicCompareGreaterOrEqualFract32}},
    {"LogicCompareInt32",
     {kve_vecLogicCompareEqualInt32, kve_vecLogicCompareNotEqualInt32, kve_vecLogicCompareLessThanInt32,
      kve_vecLogicCompareLessOrEqualInt32, kve_vecLogicCompareGreaterInt32, kve_vecLogicCompareGreaterOrEqualInt32}},
};
inline const ConstFamily<int32_t> kWordConsts[] = {
    {"LogicCompareConstFract32",
     {kve_vecLogicCompareConstEqualFract32, kve_vecLogicCompareConstNotEqualFract32,
      kve_vecLogicCompareConstLessThanFract32, kve_vecLogicCompareConstLessOrEqualFract32,
      kve_vecLogicCompareConstGreaterFract32, kve_vecLogicCompareConstGreaterOrEqualFract32}},
    {"LogicCompareConstInt32",
     {kve_vecLogicCompareConstEqualInt32, kve_vecLogicCompareConstNotEqualInt32,
      kve_vecLogicCompareConstLessThanInt32, kve_vecLogicCompareConstLessOrEqualInt32,
      kve_vecLogicCompareConstGreaterInt32, kve_vecLogicCompareConstGreaterOrEqualInt32}},
};

} // namespace kvetest
