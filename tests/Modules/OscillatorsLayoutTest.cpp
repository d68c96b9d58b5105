// Generators as a host runs them: a layout built by command packets through the library interface, where the
// white-noise composite's inner modules take the object ids after its own (so the sine generator built next, the
// adder and the pin binding find theirs), pumped block after block with PumpAudio. The output has a closed form:
// 0.5 x the generator sequence x 2^-31 plus the stereo phasor (cos, sin) of 1 kHz.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "Engine/LibraryHost.h"
#include "support/PythonOracle.h"

namespace {

using kvepackets::bits;

constexpr uint32_t kWhiteNoise = 0xBEEF087Cu;
constexpr uint32_t kSineGen = 0xBEEF0FFBu;
constexpr uint32_t kAdder = 0xBEEF082Cu;

constexpr uint32_t kChannels = 2;
constexpr uint32_t kBlock = 8;
constexpr uint32_t kWords = kChannels * kBlock;
constexpr uint32_t kBlocks = 4;

TEST(OscillatorsLayout, PumpedNoisePlusSineMatchesItsClosedForm)
{
    kvepackets::LayoutStream s;
    s.lookupTable(32);
    const uint32_t in = s.wire(kChannels, kBlock);
    const uint32_t noise = s.wire(kChannels, kBlock);
    const uint32_t scratch = s.wire(kChannels, kBlock);
    const uint32_t sine = s.wire(kChannels, kBlock);
    const uint32_t out = s.wire(kChannels, kBlock);
    const std::vector<uint32_t> modules = {
        s.module(kWhiteNoise, 0x10100, {noise, scratch}, {bits(0.5f)}, 3),
        s.module(kSineGen, 0x100, {sine}, {bits(1000.0f), 0, bits(1.0f), 0, 0, 0}),
        s.module(kAdder, 0x102, {noise, sine, out}, {0}),
    };
    s.place(s.layout(static_cast<uint32_t>(modules.size())), 0, modules);
    s.bind(in, kvepackets::inputPin(0)).bind(out, kvepackets::outputPin(0));
    s.start();

    kvehost::Library lib = kvehost::makeLibrary();
    ASSERT_EQ(lib->CreateEx("generators", 0.0f, 0.0f, false, kBlock, 0, kChannels, kChannels), 0);
    ASSERT_EQ(kvehost::sendStream(*lib, s.words()), 0);
    lib->SetLayoutAddresses(in, out, 0);

    const std::vector<double> sequence = kvetest::runOracle("generators_lcg.py", {"0", std::to_string(kBlocks * kWords)});
    ASSERT_EQ(sequence.size(), kBlocks * kWords);
    std::vector<_Sample> silence(kWords), pumped(kWords);
    for (uint32_t block = 0, at = 0; block < kBlocks; ++block) {
        ASSERT_EQ(lib->PumpAudio(silence.data(), pumped.data(), kWords, kWords), 0);
        for (uint32_t i = 0; i < kWords; ++i, ++at) {
            const double word = static_cast<int32_t>(static_cast<uint32_t>(sequence[at]));
            const double angle = 2.0 * std::numbers::pi * 1000.0 * (block * kBlock + i / 2) / 48000.0;
            const double expected = 0.5 * word / 2147483648.0 + (i % 2 == 0 ? std::cos(angle) : std::sin(angle));
            EXPECT_NEAR(pumped[i].f, expected, 2e-6) << "block " << block << ", word " << i;
        }
    }
}

} // namespace
