// Bit and logic kernels on 32-bit words, whichever sample type the words hold: their results on chosen words.
#include <gtest/gtest.h>

#include <cstdint>

#include "kve/kve_vec.h"

namespace {

int32_t word(uint32_t bits) { return static_cast<int32_t>(bits); }

TEST(LogicalNot, GivesALogicWordNotABitwiseComplement)
{
    const int32_t src[] = {0, 1, 2, -1, INT32_MIN, INT32_MAX};
    const int32_t expected[] = {1, 0, 0, 0, 0, 0};
    int32_t dst[6] = {7, 7, 7, 7, 7, 7};
    kve_vecNot1x1(src, 1, dst, 1, 6);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(dst[i], expected[i]) << "word " << src[i];
}

TEST(BitwiseOperations, CombineWordsBitByBit)
{
    const int32_t a[] = {word(0xF0F0F0F0), word(0x12345678), word(0x80000000), -1, 0};
    const int32_t b[] = {word(0xFF00FF00), word(0x0000FFFF), word(0x80000001), word(0x3F800000), word(0x3F800000)};
    const int32_t expectedAnd[] = {word(0xF000F000), word(0x00005678), word(0x80000000), word(0x3F800000), 0};
    const int32_t expectedOr[] = {word(0xFFF0FFF0), word(0x1234FFFF), word(0x80000001), -1, word(0x3F800000)};
    const int32_t expectedXor[] = {word(0x0FF00FF0), word(0x1234A987), word(0x00000001), word(0xC07FFFFF),
                                   word(0x3F800000)};
    int32_t dst[5];
    kve_vecAnd2x1(a, 1, b, 1, dst, 1, 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(dst[i], expectedAnd[i]) << "and, word " << i;
    kve_vecOr2x1(a, 1, b, 1, dst, 1, 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(dst[i], expectedOr[i]) << "or, word " << i;
    kve_vecXor2x1(a, 1, b, 1, dst, 1, 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(dst[i], expectedXor[i]) << "xor, word " << i;
}

} // namespace
