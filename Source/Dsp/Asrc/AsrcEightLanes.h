// The converter's reader on x86-64's eight 32-bit lanes (AVX2), where the four-lane form is emulated and slow.
//
// Every product is rounded on its own ((a x b + 2^31) >> 32), so these give the scalar walk's words. The widening
// multiply takes the even 32-bit lanes only; the odd ones are moved down by a 64-bit shift and multiplied apart.
// Each rounded product is the upper half of its 64-bit sum.
#pragma once

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

// Sums of rounded products over the interpolation's rows, eight taps at a time: the even taps' and the odd
// taps' 64-bit sums are added as 32-bit lanes, which gives each upper half the wrapping sum of the rounded upper
// halves (the exact sum, which fits 32 bits).
struct AsrcEightLaneRows {
    __m256i even = _mm256_setzero_si256();
    __m256i odd = _mm256_setzero_si256();

    void add(__m256i weight, __m256i row)
    {
        const __m256i half = _mm256_set1_epi64x(int64_t{1} << 31);
        even = _mm256_add_epi32(even, _mm256_add_epi64(_mm256_mul_epi32(weight, row), half));
        odd = _mm256_add_epi32(odd, _mm256_add_epi64(_mm256_mul_epi32(weight, _mm256_srli_epi64(row, 32)), half));
    }
    // The eight sums in tap order.
    __m256i sums() const { return _mm256_blend_epi32(_mm256_srli_epi64(even, 32), odd, 0xAA); }
};

// Coefficients of taps first .. first + count - 1, stored in reverse as kve_asrcCoefficients does; the taps past the
// last whole group of eight are left to the caller.
template <int Rows>
static inline uint32_t kve_asrcCoefficients8(const int32_t *rows, uint32_t taps, const int32_t *w, uint32_t first,
                                             uint32_t count, int32_t *__restrict reversed)
{
    __m256i weight[Rows];
    for (int k = 0; k < Rows; ++k) {
        weight[k] = _mm256_set1_epi32(w[k]);
    }
    const __m256i backwards = _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0);
    uint32_t j = 0;
    for (; count - j >= 8; j += 8) {
        AsrcEightLaneRows c;
        for (int k = 0; k < Rows; ++k) {
            c.add(weight[k], _mm256_loadu_si256(
                                 reinterpret_cast<const __m256i *>(rows + static_cast<size_t>(k) * taps + first + j)));
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(reversed + count - j - 8),
                            _mm256_permutevar8x32_epi32(c.sums(), backwards));
    }
    return j;
}

// The sum of the rounded products of count contiguous samples and coefficients, in whole groups of eight; the taps it
// took go to `taken`. Each upper half is taken as an unsigned word after adding 2^63 (and 2^31 to round), summed in
// 64-bit lanes, and the 2^31 each one carries taken off at the end.
static inline int64_t kve_asrcDot8(const int32_t *x, const int32_t *c, uint32_t count, uint32_t *taken)
{
    const __m256i bias = _mm256_set1_epi64x(static_cast<int64_t>(0x8000000080000000ULL));
    __m256i lanes = _mm256_setzero_si256();
    uint32_t k = 0;
    for (; count - k >= 8; k += 8) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(x + k));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(c + k));
        const __m256i even = _mm256_add_epi64(_mm256_mul_epi32(a, b), bias);
        const __m256i odd =
            _mm256_add_epi64(_mm256_mul_epi32(_mm256_srli_epi64(a, 32), _mm256_srli_epi64(b, 32)), bias);
        lanes = _mm256_add_epi64(lanes, _mm256_add_epi64(_mm256_srli_epi64(even, 32), _mm256_srli_epi64(odd, 32)));
    }
    __m128i sum = _mm_add_epi64(_mm256_castsi256_si128(lanes), _mm256_extracti128_si256(lanes, 1));
    *taken = k;
    return _mm_cvtsi128_si64(sum) + _mm_extract_epi64(sum, 1) - (static_cast<int64_t>(k) << 31);
}
