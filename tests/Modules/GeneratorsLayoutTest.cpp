// Generators as a host runs them: a layout built by command packets through the library interface, pumped block
// after block with PumpAudio. An impulse train and a pulse train summed leave through the output pin, and their
// positions and counters carry across the blocks.
#include <gtest/gtest.h>

#include <vector>

#include "Engine/LibraryHost.h"
#include "kve/kve_engine.h"

namespace {

using kvepackets::bits;

constexpr uint32_t kImpulseSource = 0xBEEF0FE0u;
constexpr uint32_t kPulseGen = 0xBEEF0878u;
constexpr uint32_t kAdder = 0xBEEF082Cu;
constexpr uint32_t kBlock = 32;

TEST(GeneratorsLayout, PumpedImpulseAndPulseTrainsLandWhereTheirPeriodsSay)
{
    kvepackets::LayoutStream s;
    s.lookupTable(16);
    const uint32_t in = s.wire(1, kBlock);
    const uint32_t impulses = s.wire(1, kBlock);
    const uint32_t pulses = s.wire(1, kBlock);
    const uint32_t out = s.wire(1, kBlock);
    const std::vector<uint32_t> modules = {
        // An impulse every 10 samples, the first 3 samples in.
        s.module(kImpulseSource, 0x100, {impulses}, {10, 3}),
        // 1 ms periods with 0.25 ms pulses at 48 kHz, repeating: 12 samples on in every 48.
        s.module(kPulseGen, 0x100, {pulses}, {bits(1.0f), bits(0.25f), 1, 0, 0, 0}),
        s.module(kAdder, 0x102, {impulses, pulses, out}, {0}),
    };
    s.place(s.layout(static_cast<uint32_t>(modules.size())), 0, modules);
    s.bind(in, kvepackets::inputPin(0)).bind(out, kvepackets::outputPin(0));
    s.start();

    kvehost::Library lib = kvehost::makeLibrary();
    ASSERT_EQ(lib->CreateEx("generators", 0.0f, 0.0f, false, kBlock, 0, 1, 1), 0);
    ASSERT_EQ(kvehost::sendStream(*lib, s.words()), 0);
    lib->SetLayoutAddresses(in, out, 0);

    std::vector<_Sample> silence(kBlock), pumped(kBlock);
    for (uint32_t block = 0; block < 8; ++block) {
        ASSERT_EQ(lib->PumpAudio(silence.data(), pumped.data(), kBlock, kBlock), 0);
        for (uint32_t t = 0; t < kBlock; ++t) {
            const uint32_t g = block * kBlock + t;
            const float impulse = g >= 3 && (g - 3) % 10 == 0 ? 1.0f : 0.0f;
            const float pulse = g % 48 < 12 ? 1.0f : 0.0f;
            EXPECT_EQ(pumped[t].f, impulse + pulse) << "block " << block << ", sample " << t;
        }
    }
}

} // namespace
