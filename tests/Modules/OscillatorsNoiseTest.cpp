// The random-number source against the linear congruential sequence (numpy-free Python oracle), wire after wire
// and block after block; the white-noise composites: the inner modules they build and the object ids those take,
// the wirings they refuse, and their output as the sequence scaled by the amplitude.
#include <string>

#include "OscillatorsTestSupport.h"
#include "support/PythonOracle.h"

namespace osctest {
namespace {

class Noise : public OscillatorTable {
protected:
    // The n words of the sequence that follow `seed`.
    static std::vector<uint32_t> sequence(uint32_t seed, uint32_t n)
    {
        const std::vector<double> r = kvetest::runOracle("generators_lcg.py", {std::to_string(seed), std::to_string(n)});
        return std::vector<uint32_t>(r.begin(), r.end());
    }
};

TEST_F(Noise, RandFromSeedZeroStartsWithTheGeneratorsFirstStates)
{
    GenericWire *out = wire(1, 2);
    ClassModule *m = build(kRand, 0x100, {out}, {0});
    ASSERT_NE(m, nullptr);
    pump(m);
    EXPECT_EQ(data<uint32_t>(out)[0], 1013904223u);
    EXPECT_EQ(data<uint32_t>(out)[1], 1196435762u);
    EXPECT_EQ(var<uint32_t>(m, 0), 1196435762u);
}

TEST_F(Noise, RandContinuesTheSequenceFromWireToWireAndBlockToBlock)
{
    struct Case {
        uint32_t seed;
        uint32_t wires;
        uint32_t channels, block;
    } cases[] = {{0, 1, 2, 8}, {12345, 2, 1, 4}, {0xFFFFFFFFu, 3, 2, 3}};
    for (const Case &c : cases) {
        std::vector<GenericWire *> outs;
        for (uint32_t k = 0; k < c.wires; ++k)
            outs.push_back(wire(c.channels, c.block));
        int32_t status = KVE_OK;
        ClassModule *m = ClassModule_Constructor3(engine_.get(), kRand, &status, c.wires << 8, outs.data(), 1, &c.seed);
        ASSERT_NE(m, nullptr) << status;
        constexpr uint32_t kBlocks = 3;
        const uint32_t perWire = c.channels * c.block;
        const std::vector<uint32_t> want = sequence(c.seed, kBlocks * c.wires * perWire);
        ASSERT_EQ(want.size(), kBlocks * c.wires * perWire);
        size_t at = 0;
        for (uint32_t b = 0; b < kBlocks; ++b) {
            pump(m);
            for (GenericWire *w : outs)
                for (uint32_t i = 0; i < perWire; ++i, ++at)
                    ASSERT_EQ(data<uint32_t>(w)[i], want[at]) << "seed " << c.seed << ", word " << at;
        }
        EXPECT_EQ(var<uint32_t>(m, 0), want.back());
    }
}

TEST_F(Noise, WhiteNoiseIsTheSequenceScaledByItsAmplitude)
{
    const std::vector<uint32_t> want = sequence(0, 3 * 16);
    for (const float amplitude : {1.0f, 0.25f, -3.0f}) {
        GenericWire *out = wire(2, 8);
        GenericWire *scratch = wire(2, 8);
        ClassModule *m = build(kWhiteNoise, 0x10100, {out, scratch}, {bitsOf(amplitude)});
        ASSERT_NE(m, nullptr);
        for (uint32_t b = 0, at = 0; b < 3; ++b) {
            pump(m);
            for (uint32_t i = 0; i < 16; ++i, ++at) {
                const double expected = static_cast<int32_t>(want[at]) / kQ31 * amplitude;
                ASSERT_NEAR(data(out)[i], expected, 1e-7 * std::abs(amplitude)) << amplitude << ", word " << at;
            }
        }
        // A new amplitude reaches the inner scaler through Set.
        var(m, 0) = 0.5f;
        ASSERT_EQ(ClassModule_Set(m, 1u << 8), KVE_OK);
        pump(m);
        const std::vector<uint32_t> next = sequence(want.back(), 16);
        EXPECT_NEAR(data(out)[3], static_cast<int32_t>(next[3]) / kQ31 * 0.5, 1e-7) << amplitude;
    }
}

TEST_F(Noise, WhiteNoiseFract32ScalesTheSequenceInQ31)
{
    // amplitude 0.5 halves each word (rounding down); full scale is a gain of 1.0, held as 0.5 and one left shift,
    // which passes each word but its lowest bit.
    struct Case {
        int32_t amplitude;
        int32_t (*expected)(int32_t word);
    } cases[] = {
        {0x40000000, [](int32_t x) { return x >> 1; }},
        {0x7FFFFFFF, [](int32_t x) { return x & ~1; }},
        {static_cast<int32_t>(0xC0000000u), [](int32_t x) { return static_cast<int32_t>(-((int64_t{x} + 1) >> 1)); }},
    };
    const std::vector<uint32_t> want = sequence(0, 2 * 8);
    for (const Case &c : cases) {
        GenericWire *out = wire(1, 8);
        GenericWire *scratch = wire(1, 8);
        ClassModule *m = build(kWhiteNoiseFract32, 0x10100, {out, scratch}, {static_cast<uint32_t>(c.amplitude)});
        ASSERT_NE(m, nullptr);
        for (uint32_t b = 0, at = 0; b < 2; ++b) {
            pump(m);
            for (uint32_t i = 0; i < 8; ++i, ++at)
                ASSERT_EQ(data<int32_t>(out)[i], c.expected(static_cast<int32_t>(want[at])))
                    << std::hex << c.amplitude << ", word " << std::dec << at;
        }
    }
}

TEST_F(Noise, CompositesBuildTheirInnerModulesRightAfterThemselves)
{
    struct Inner {
        uint32_t classId;
        uint32_t wires[2]; // 0 the output, 1 the scratch wire
        uint32_t wireCount;
        std::vector<uint32_t> firstVariables; // as built, and as Set left them for amplitude 0
    };
    struct Case {
        uint32_t cls;
        std::vector<Inner> inner;
    } cases[] = {
        // Rand: seed. TypeConversion: integer to float. ScalerV2: gain, smoothingTime, isDB. ScalerFract32: gain.
        {kWhiteNoise,
         {{kRand, {1}, 1, {0}}, {kTypeConversion, {1, 1}, 2, {2, 0}}, {kScalerV2, {1, 0}, 2, {0, 0, 0}}}},
        {kWhiteNoiseFract32, {{kRand, {1}, 1, {0}}, {kScalerFract32, {1, 0}, 2, {0}}}},
    };
    for (const Case &c : cases) {
        GenericWire *own[2] = {wire(1, 4), wire(1, 4)};
        ClassModule *m = build(c.cls, 0x10100, {own[0], own[1]}, {0});
        ASSERT_NE(m, nullptr);
        KVEObject *o = reinterpret_cast<KVEObject *>(m);
        for (size_t k = 0; k < c.inner.size(); ++k) {
            ClassModule *inner = var<ClassModule *>(m, static_cast<uint32_t>(1 + k));
            o = o->next;
            ASSERT_EQ(o, reinterpret_cast<KVEObject *>(inner)) << std::hex << c.cls << " inner " << k;
            EXPECT_EQ(inner->objectId, m->objectId + 1 + k);
            EXPECT_EQ(inner->classRecord->classId, c.inner[k].classId);
            for (uint32_t w = 0; w < c.inner[k].wireCount; ++w)
                EXPECT_EQ(inner->wires[w], own[c.inner[k].wires[w]]) << std::hex << c.cls << " inner " << k;
            for (uint32_t v = 0; v < c.inner[k].firstVariables.size(); ++v)
                EXPECT_EQ(var<uint32_t>(inner, v), c.inner[k].firstVariables[v]) << "inner " << k << " variable " << v;
        }
        EXPECT_EQ(engine_->lastObject, o) << "no objects past the inner modules";
    }
}

TEST_F(Noise, CompositesRefuseAnyOtherWiringBeforeReadingAWire)
{
    for (uint32_t cls : {kWhiteNoise, kWhiteNoiseFract32}) {
        for (uint32_t wireWord : {0x100u, 0x101u, 0x10101u, 0x20100u, 0x10200u, 0x0u}) {
            KVEObject *last = engine_->lastObject;
            int32_t status = KVE_OK;
            const uint32_t amplitude = 0;
            EXPECT_EQ(ClassModule_Constructor3(engine_.get(), cls, &status, wireWord, nullptr, 1, &amplitude),
                      nullptr);
            EXPECT_EQ(status, KVE_E_ARG_COUNT) << std::hex << cls << " wire word " << wireWord;
            EXPECT_EQ(engine_->lastObject, last);
        }
    }
}

} // namespace
} // namespace osctest
