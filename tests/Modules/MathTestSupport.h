// A small engine holding the float math classes, with helpers that fill and read wires, reshape a wire after a
// module is built, and compare samples by how many representable floats lie between them.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "Modules/Standard/Math.h"
#include "support/PythonOracle.h"
#include "support/TestEngine.h"

namespace mathtest {

using kvetest::bitsOf;

inline const ModClassDescriptor *const kTable[] = {
    &kve_modAcosClass.record, &kve_modAsinClass.record, &kve_modAtanClass.record, &kve_modAtan2Class.record,
    &kve_modCosClass.record, &kve_modCoshClass.record, &kve_modSinClass.record, &kve_modSinhClass.record,
    &kve_modTanClass.record, &kve_modTanhClass.record, &kve_modExpClass.record, &kve_modLogClass.record,
    &kve_modLog10Class.record, &kve_modLog2Class.record, &kve_modDb10Class.record, &kve_modDb10ApproxClass.record,
    &kve_modDb20Class.record, &kve_modDb20ApproxClass.record, &kve_modUndb10Class.record,
    &kve_modUndb10ApproxClass.record, &kve_modUndb20Class.record, &kve_modUndb20ApproxClass.record,
    &kve_modPowClass.record, &kve_modPow10toXClass.record, &kve_modSqrtClass.record, &kve_modReciprocalClass.record,
    &kve_modCeilClass.record, &kve_modFloorClass.record, &kve_modRoundClass.record, &kve_modSignClass.record,
    &kve_modFmodClass.record, &kve_modRemainderClass.record, &kve_modFrexpClass.record, &kve_modModfClass.record,
    &kve_modLdexpClass.record,
};

constexpr uint32_t kAcos = 0xBEEF0851u, kAsin = 0xBEEF0852u, kAtan = 0xBEEF0853u, kAtan2 = 0xBEEF0854u;
constexpr uint32_t kCos = 0xBEEF0855u, kCosh = 0xBEEF0856u, kSin = 0xBEEF0857u, kSinh = 0xBEEF0858u;
constexpr uint32_t kTan = 0xBEEF0859u, kTanh = 0xBEEF085Au, kExp = 0xBEEF0830u, kLog = 0xBEEF0835u;
constexpr uint32_t kLog10 = 0xBEEF0836u, kLog2 = 0xBEEF0837u, kDb10 = 0xBEEF0846u, kDb10Approx = 0xBEEF0847u;
constexpr uint32_t kDb20 = 0xBEEF0848u, kDb20Approx = 0xBEEF0849u, kUndb10 = 0xBEEF084Au;
constexpr uint32_t kUndb10Approx = 0xBEEF084Bu, kUndb20 = 0xBEEF084Cu, kUndb20Approx = 0xBEEF084Du;
constexpr uint32_t kPow = 0xBEEF083Au, kPow10toX = 0xBEEF083Bu, kSqrt = 0xBEEF083Fu, kReciprocal = 0xBEEF083Cu;
constexpr uint32_t kCeil = 0xBEEF082Eu, kFloor = 0xBEEF0831u, kRound = 0xBEEF083Du, kSign = 0xBEEF083Eu;
constexpr uint32_t kFmod = 0xBEEF0832u, kRemainder = 0xBEEF08B0u, kFrexp = 0xBEEF0833u, kModf = 0xBEEF0838u;
constexpr uint32_t kLdexp = 0xBEEF0834u;

// A word no module computes from the test inputs: marks samples that must stay as they are.
constexpr uint32_t kSentinelBits = 0x7FC0BEEFu;

// How many representable floats lie between a and b (+0 and -0 are the same point); NaN matches only NaN.
inline int64_t ulpsApart(float a, float b)
{
    if (std::isnan(a) || std::isnan(b))
        return std::isnan(a) && std::isnan(b) ? 0 : INT64_MAX;
    const auto line = [](float f) {
        const int32_t i = std::bit_cast<int32_t>(f);
        return i < 0 ? -static_cast<int64_t>(i & 0x7FFFFFFF) : static_cast<int64_t>(i);
    };
    return std::llabs(line(a) - line(b));
}

// Within `ulps` of the reference; with 0 the very same word (signs of zero included), or NaN for NaN.
inline bool matches(float got, float want, int64_t ulps)
{
    if (ulps == 0)
        return std::isnan(want) ? std::isnan(got) : bitsOf(got) == bitsOf(want);
    return ulpsApart(got, want) <= ulps;
}

// Oracle arguments: the words, then one group of numbers after each "--".
inline void appendGroup(std::vector<std::string> &args, const std::vector<double> &values)
{
    args.emplace_back("--");
    for (double v : values)
        args.push_back(kvetest::oracleArg(v));
}

class MathModules : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine_->classTable = kTable;
        engine_->classCount = std::size(kTable);
    }

    GenericWire *wire(uint32_t channels, uint32_t block, bool complex = false)
    {
        GenericWire *w = engine_.wire(channels, block);
        if (complex)
            w->info1 |= 1u << 27;
        return w;
    }
    // The wire's block cut to `block` frames after the modules on it were built.
    static void reshape(GenericWire *w, uint32_t block) { w->info2 = (w->info2 & ~0x1FFFFu) | block; }
    template <class T = float> static T *data(GenericWire *w) { return static_cast<T *>(w->buffer); }
    template <class T> static void load(GenericWire *w, const std::vector<T> &v)
    {
        std::copy(v.begin(), v.end(), data<T>(w));
    }
    static std::vector<float> samples(GenericWire *w, uint32_t count)
    {
        return {data(w), data(w) + count};
    }
    static void mark(GenericWire *w, uint32_t count)
    {
        std::fill(data<uint32_t>(w), data<uint32_t>(w) + count, kSentinelBits);
    }
    // Words from `from` up to `to` still hold the sentinel.
    static bool untouched(GenericWire *w, uint32_t from, uint32_t to)
    {
        return std::all_of(data<uint32_t>(w) + from, data<uint32_t>(w) + to,
                           [](uint32_t u) { return u == kSentinelBits; });
    }

    // Pumps m again with its output marked: the first `held` words come out as `before`, and none past them is
    // written.
    void expectWritesOnly(ClassModule *m, GenericWire *out, const std::vector<float> &before, uint32_t held,
                          const std::string &what)
    {
        const uint32_t n = static_cast<uint32_t>(before.size());
        mark(out, n);
        pump(m);
        for (uint32_t i = 0; i < held; ++i)
            EXPECT_EQ(bitsOf(data(out)[i]), bitsOf(before[i])) << what << " at " << i;
        EXPECT_TRUE(untouched(out, held, n)) << what << " wrote past what its wires hold";
    }

    ClassModule *build(uint32_t classId, uint32_t wireWord, std::initializer_list<GenericWire *> wires,
                       std::initializer_list<uint32_t> args = {})
    {
        int32_t status = KVE_OK;
        ClassModule *m = engine_.module(classId, wireWord, wires, args, &status);
        EXPECT_EQ(status, KVE_OK) << std::hex << classId;
        EXPECT_NE(m, nullptr) << std::hex << classId;
        return m;
    }
    void pump(ClassModule *m) { ASSERT_EQ(kve_fwPumpModule(engine_.get(), m), KVE_OK); }

    kvetest::TestEngine engine_;
};

} // namespace mathtest
