// Math, conversion and logic classes as a host runs them: a layout built by command packets through the library
// interface, its pinned wires pumped with PumpAudio, block after block. The chain crosses sample types (float to
// Fract32 and back) and its result has a closed form: y = (2x + 0.5)^2 + x, and a flag per sample for y > 0.25.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "Engine/LibraryHost.h"
#include "kve/kve_engine.h"

namespace {

using kvepackets::bits;

constexpr uint32_t kScaleOffset = 0xBEEF0817u;
constexpr uint32_t kTypeConversion = 0xBEEF0866u;
constexpr uint32_t kSquareFract32 = 0xBEEF08C9u;
constexpr uint32_t kFract32ToFloat = 0xBEEF0FDEu;
constexpr uint32_t kAdder = 0xBEEF082Cu;
constexpr uint32_t kLogicCompareConst = 0xBEEF0827u;
constexpr uint32_t kIntToFloat = 0xBEEF0FE1u;
constexpr uint32_t kGreater = 4;

constexpr uint32_t kChannels = 2;
constexpr uint32_t kBlock = 8;
constexpr uint32_t kWords = kChannels * kBlock;

TEST(MathLayout, PumpedChainAcrossSampleTypesMatchesItsClosedForm)
{
    kvepackets::LayoutStream s;
    s.lookupTable(32);
    const uint32_t x = s.wire(kChannels, kBlock);
    const uint32_t scaled = s.wire(kChannels, kBlock);
    const uint32_t q = s.wire(kChannels, kBlock);
    const uint32_t squared = s.wire(kChannels, kBlock);
    const uint32_t square = s.wire(kChannels, kBlock);
    const uint32_t y = s.wire(kChannels, kBlock);
    const uint32_t flags = s.wire(kChannels, kBlock);
    const uint32_t out = s.wire(kChannels, kBlock);
    const std::vector<uint32_t> modules = {
        s.module(kScaleOffset, 0x101, {x, scaled}, {bits(2.0f), bits(0.5f)}),
        s.module(kTypeConversion, 0x101, {scaled, q}, {0, 1}),
        s.module(kSquareFract32, 0x101, {q, squared}),
        s.module(kFract32ToFloat, 0x101, {squared, square}),
        s.module(kAdder, 0x102, {square, x, y}, {0}),
        s.module(kLogicCompareConst, 0x101, {y, flags}, {kGreater, bits(0.25f)}),
        // The flags leave through the output pin as floats, 1.0 or 0.0.
        s.module(kIntToFloat, 0x101, {flags, out}),
    };
    s.place(s.layout(static_cast<uint32_t>(modules.size())), 0, modules);
    s.bind(x, kvepackets::inputPin(0)).bind(out, kvepackets::outputPin(0));
    s.start();

    kvehost::Library lib = kvehost::makeLibrary();
    ASSERT_EQ(lib->CreateEx("math", 0.0f, 0.0f, false, kBlock, 0, kChannels, kChannels), 0);
    ASSERT_EQ(kvehost::sendStream(*lib, s.words()), 0);
    lib->SetLayoutAddresses(x, out, 0);

    std::vector<_Sample> in(kWords), pumped(kWords);
    for (uint32_t block = 0; block < 4; ++block) {
        // x over -0.7 .. 0.2, so that 2x + 0.5 stays inside the Fract32 range.
        for (uint32_t i = 0; i < kWords; ++i)
            in[i].f = -0.7f + 0.9f * static_cast<float>((i * 7 + block * 5) % kWords) / (kWords - 1);
        ASSERT_EQ(lib->PumpAudio(in.data(), pumped.data(), kWords, kWords), 0);
        for (uint32_t i = 0; i < kWords; ++i) {
            const double v = 2.0 * in[i].f + 0.5;
            const double expected = v * v + in[i].f;
            // The Fract32 path truncates twice (2^-31 each), far below the distance of any y here from 0.25.
            EXPECT_EQ(pumped[i].f, expected > 0.25 ? 1.0f : 0.0f)
                << "block " << block << ", word " << i << ": y = " << expected;
        }
    }
    // The sum wire of the last block, to see the values behind the flags.
    KVEObject *o = nullptr;
    uint32_t cls = 0;
    ASSERT_EQ(kve_fwGetObjectByID(g_pKVE_instance, y, &o, &cls), KVE_OK);
    ASSERT_EQ(cls, KVE_CLASS_WIRE);
    const float *sums = static_cast<const float *>(reinterpret_cast<GenericWire *>(o)->buffer);
    for (uint32_t i = 0; i < kWords; ++i) {
        const double v = 2.0 * in[i].f + 0.5;
        EXPECT_NEAR(sums[i], v * v + in[i].f, 1e-6) << "word " << i;
    }
}

} // namespace
