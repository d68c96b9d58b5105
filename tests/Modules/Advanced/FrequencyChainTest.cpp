// The frequency-domain round trip as a layout builds it: Rebuffer -> sqrt-Hann Window -> Fft -> Ifft ->
// WindowOverlap, or -> Window -> OverlapAdd, returns its input delayed by the frame less the hop, on one and two
// channels and at several frame sizes and overlaps; the windows the layout holds overlap-add to one by scipy's test.
#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "support/FrequencyChain.h"
#include "support/PythonOracle.h"

namespace {

using kvetest::FrequencyChain;
using kvetest::Resynthesis;

struct Case {
    int size, hop;
    uint32_t channels;
    Resynthesis resynthesis;
};

const Case kCases[] = {
    {512, 128, 1, Resynthesis::WindowOverlap}, {512, 128, 2, Resynthesis::WindowOverlap},
    {512, 128, 1, Resynthesis::OverlapAdd},    {512, 128, 2, Resynthesis::OverlapAdd},
    {1024, 512, 2, Resynthesis::WindowOverlap}, {256, 64, 2, Resynthesis::OverlapAdd},
    {16, 4, 2, Resynthesis::WindowOverlap},    {16, 8, 1, Resynthesis::OverlapAdd},
};

std::string name(const Case &c)
{
    return std::to_string(c.size) + "/" + std::to_string(c.hop) + ", " + std::to_string(c.channels) +
           " channels, " + (c.resynthesis == Resynthesis::WindowOverlap ? "WindowOverlap" : "OverlapAdd");
}

// analysis -> synthesis on one time wire of the case's channels; null wires when any class refuses.
struct RoundTrip {
    explicit RoundTrip(const Case &c) : chain(c.size, c.hop, 16000.0f, c.resynthesis)
    {
        in = chain.timeWire(c.channels);
        out = chain.synthesis(chain.analysis(in));
        if (out == nullptr || !chain.place())
            out = nullptr;
    }
    FrequencyChain chain;
    GenericWire *in = nullptr, *out = nullptr;
};

TEST(FrequencyChain, ReturnsTheInputDelayedByTheFrameLessTheHop)
{
    for (const Case &c : kCases) {
        SCOPED_TRACE(name(c));
        RoundTrip t(c);
        ASSERT_NE(t.out, nullptr) << "the chain is not built, status " << t.chain.status();
        // Every channel its own noise, so a channel mixed into another shows.
        const size_t hopWords = static_cast<size_t>(c.hop) * c.channels;
        const size_t blocks = static_cast<size_t>(4 * c.size / c.hop + 8);
        std::mt19937 gen(static_cast<uint32_t>(c.size + c.hop + c.channels));
        std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
        std::vector<float> x(blocks * hopWords), y(x.size());
        for (float &v : x)
            v = uniform(gen);
        for (size_t b = 0; b < blocks; ++b) {
            std::copy_n(&x[b * hopWords], hopWords, FrequencyChain::samples(t.in));
            t.chain.run();
            std::copy_n(FrequencyChain::samples(t.out), hopWords, &y[b * hopWords]);
        }
        // Before the first input sample has come through, the frames held only the zero history.
        const size_t delay = static_cast<size_t>(t.chain.latency()) * c.channels;
        double worst = 0;
        size_t worstAt = 0;
        for (size_t i = 0; i < y.size(); ++i) {
            const double expected = i < delay ? 0.0 : x[i - delay];
            if (std::fabs(y[i] - expected) > worst) {
                worst = std::fabs(y[i] - expected);
                worstAt = i;
            }
        }
        EXPECT_LE(worst, 1e-5) << "frame " << worstAt / c.channels << ", channel " << worstAt % c.channels;
    }
}

TEST(FrequencyChain, WindowsTheLayoutHoldsOverlapAddToOne)
{
    // One oracle run for every case: scipy takes seconds to load.
    std::vector<std::string> args;
    for (const Case &c : kCases) {
        RoundTrip t(c);
        ASSERT_NE(t.out, nullptr) << name(c) << ": the chain is not built, status " << t.chain.status();
        args.push_back(std::to_string(c.size));
        args.push_back(std::to_string(c.hop));
        for (double w : t.chain.windowProduct())
            args.push_back(kvetest::oracleArg(w));
    }
    const std::vector<double> cola = kvetest::runOracle("stft_cola.py", args);
    ASSERT_EQ(cola.size(), 3 * std::size(kCases));
    for (size_t k = 0; k < std::size(kCases); ++k) {
        SCOPED_TRACE(name(kCases[k]));
        EXPECT_EQ(cola[3 * k], 1.0) << "scipy does not find the window product overlap-adding to a constant";
        EXPECT_NEAR(cola[3 * k + 1], 1.0, 1e-6);
        EXPECT_NEAR(cola[3 * k + 2], 1.0, 1e-6);
    }
}

} // namespace
