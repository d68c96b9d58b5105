// The stereo example chain, loaded from its stored stream with the installed class table, gives the output of the
// same chain computed in double precision by scipy, block after block.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "kve/kve_packet.h"
#include "layouts/ExampleLayouts.h"
#include "support/PythonOracle.h"
#include "support/TestEngine.h"

namespace {

using kvetest::bitsOf;
using kvetest::floatOf;

int32_t startHook() { return KVE_OK; }

TEST(ExampleChain, FollowsGainLowpassAndMixComputedIndependently)
{
    constexpr uint32_t kBlock = 32;
    constexpr uint32_t kBlocks = 12;
    kvetest::TestEngine engine;
    engine->classTable = g_module_descriptor_table;
    engine->classCount = g_module_descriptor_count;
    engine->startHook = startHook;

    const std::vector<uint32_t> words = kvelayouts::findExampleLayout("stereo-chain")->build({}).words();
    std::vector<uint32_t> buffer(KVE_LOADER_BUFFER_WORDS);
    kve_fwPacketInit(buffer.data(), static_cast<uint32_t>(buffer.size()));
    uint32_t offset = 0;
    ASSERT_EQ(kve_fwPacketExecuteArrayPrivate(engine.get(), words.data(), static_cast<uint32_t>(words.size()),
                                              &offset, nullptr),
              KVE_OK);

    // A 440 Hz tone on the left, a 9 kHz tone (well past the cutoff) plus a step on the right.
    std::vector<float> in(2 * kBlock * kBlocks), out(in.size());
    for (size_t f = 0; f < in.size() / 2; ++f) {
        const double t = static_cast<double>(f) / 48000.0;
        in[2 * f] = static_cast<float>(0.6 * std::sin(2 * M_PI * 440.0 * t));
        in[2 * f + 1] = static_cast<float>(0.3 * std::sin(2 * M_PI * 9000.0 * t) + (f >= 100 ? 0.25 : 0.0));
    }
    // Input wire 1 and output wire 4 are the ones the pins carry.
    const uint32_t n = 2 * kBlock;
    for (uint32_t b = 0; b < kBlocks; ++b) {
        std::vector<uint32_t> words(n);
        for (uint32_t i = 0; i < n; ++i)
            words[i] = bitsOf(in[b * n + i]);
        ASSERT_EQ(kve_fwSetValues(engine.get(), KVE_MEMBER_ADDRESS(1, 3), 0, n, words.data(), 0), KVE_OK);
        ASSERT_EQ(kve_fwPump(engine.get(), 0), KVE_OK);
        ASSERT_EQ(kve_fwFetchValues(engine.get(), KVE_MEMBER_ADDRESS(4, 3), 0, n, words.data()), KVE_OK);
        for (uint32_t i = 0; i < n; ++i)
            out[b * n + i] = floatOf(words[i]);
    }

    std::vector<std::string> args = {"-6", "4", "5000", "48000", "0.8", "0.2"};
    for (float v : in)
        args.push_back(kvetest::oracleArg(v));
    const std::vector<double> expected = kvetest::runOracle("example_chain.py", args);
    ASSERT_EQ(expected.size(), out.size());
    for (size_t i = 0; i < out.size(); ++i)
        ASSERT_NEAR(out[i], expected[i], 2e-5) << "sample " << i / 2 << " channel " << i % 2;
}

} // namespace
