// mu-law expansion and compression against a second coder of the telephone standard, over every code and every
// 16-bit input, and the round trip the WAVE writer and reader make of a recording.
#include <kve/kve_recognizer_runtime.h>

#include <gtest/gtest.h>

#ifdef KVE_TEST_SPANDSP
#define G711_ULAW_ZEROTRAP
#include <spandsp/telephony.h>
#include <spandsp/bit_operations.h>
#include <spandsp/g711.h>
#endif

TEST(RecognizerMuLaw, ExpandsEveryCodeAsTheStandardTable)
{
#ifndef KVE_TEST_SPANDSP
    GTEST_SKIP() << "no reference mu-law coder on this machine";
#else
    for (int code = 0; code < 256; ++code)
        ASSERT_EQ(ulawDecode(static_cast<uint8_t>(code)), ulaw_to_linear(static_cast<uint8_t>(code))) << code;
#endif
}

TEST(RecognizerMuLaw, CompressesEvery16BitInputWithClipAndZeroTrap)
{
#ifndef KVE_TEST_SPANDSP
    GTEST_SKIP() << "no reference mu-law coder on this machine";
#else
    for (int32_t x = -32768; x <= 32767; ++x)
        ASSERT_EQ(ulawEncode(static_cast<int16_t>(x)), linear_to_ulaw(x)) << x;
#endif
}

TEST(RecognizerMuLaw, NeverSendsTheAllZeroCodeAndKeepsDecodedLevels)
{
    // The loudest negative inputs, which would give code 0x00, are sent as 0x02; every other decoded level comes
    // back as the same code, so writing a mu-law recording read from a file loses nothing more.
    for (int32_t x : {-32768, -32767, -32635, -32124}) {
        SCOPED_TRACE(x);
        EXPECT_EQ(ulawEncode(static_cast<int16_t>(x)), 0x02);
    }
    EXPECT_EQ(ulawEncode(32767), 0x80);
    for (int code = 1; code < 256; ++code) {
        SCOPED_TRACE(code);
        EXPECT_EQ(ulawEncode(ulawDecode(static_cast<uint8_t>(code))), code == 0x7F ? 0xFF : code);
    }
    EXPECT_EQ(ulawDecode(0x02), -30076);
}
