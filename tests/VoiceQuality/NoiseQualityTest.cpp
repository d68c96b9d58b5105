// The subband noise reducer on speech in white and pink noise at 0, 5, 10 and 20 dB SNR, on the test's 512-point
// transform (hop 128): it must raise the SNR (the noise it removes outweighs the speech it removes) at every input
// SNR, and its gain depends on power ratios only, so scaling the input by 10^±3 moves the results by less than
// 0.1 dB. Between the library's own transform modules, in one layout, its SNR gain stays within 1 dB of that on the
// test's transform. Its segmental SNR and the peers' figures on the same signals are printed beside.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "VoiceQuality/VoicePeers.h"
#include "VoiceQuality/VoiceRig.h"

namespace {

using namespace voice;

// Under the sanitizers the reducer runs between the library's transform modules on one scene only.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kUnderSanitizers = true;
#else
constexpr bool kUnderSanitizers = false;
#endif

constexpr float kMinGainDb = -15.0f; // speexdsp's default floor, so both are measured at the same depth
constexpr float kOverEstimate = 1.0f;

void print(const std::string &name, const NoiseFigures &f)
{
    std::printf("[ noise ] %-24s SNR gain %+5.1f dB (noise down %4.1f, speech down %4.1f), segmental SNR %+5.1f -> "
                "%+5.1f dB (%+5.1f)\n",
                name.c_str(), f.snrGain(), f.noiseAttenuation, f.speechAttenuation, f.segSnrIn, f.segSnrOut,
                f.segmentalGain());
}

NoiseFigures reduce(const NoiseScene &sc)
{
    auto d = subbandReducer(512, 128, kMinGainDb, kOverEstimate);
    EXPECT_NE(d, nullptr) << "the class is not in the library's class table";
    return d == nullptr ? NoiseFigures{} : noiseFigures(sc, runDenoiser(*d, sc.noisy));
}

// The reducer between the library's own transform modules keeps the figures it has on the test's transform.
void expectSameOnTheModules(const NoiseScene &sc, const NoiseFigures &f, const std::string &name)
{
    auto chained = chainReducer(512, 128, kMinGainDb, kOverEstimate);
    ASSERT_NE(chained, nullptr) << "the transform modules are not in the library's class table";
    const NoiseFigures g = noiseFigures(sc, runDenoiser(*chained, sc.noisy));
    print("reducer on the modules, " + name, g);
    EXPECT_NEAR(g.snrGain(), f.snrGain(), 1.0);
    EXPECT_NEAR(g.segmentalGain(), f.segmentalGain(), 1.0);
}

TEST(NoiseQuality, ReducerRaisesTheSnrAtEveryInputSnr)
{
    for (bool pink : {false, true}) {
        for (double snr : {0.0, 5.0, 10.0, 20.0}) {
            const std::string name = std::string(pink ? "pink" : "white") + " " + std::to_string(int(snr)) + " dB";
            SCOPED_TRACE(name);
            const NoiseScene sc = makeNoiseScene(pink, snr, 1.0);
            ASSERT_TRUE(sc.hasSpeech());
            const NoiseFigures f = reduce(sc);
            print("reducer, " + name, f);
            EXPECT_GT(f.snrGain(), 0.0);

            if (!kUnderSanitizers || (!pink && snr == 10.0))
                expectSameOnTheModules(sc, f, name);

            std::vector<std::pair<std::string, std::unique_ptr<Denoiser>>> peers;
            peers.emplace_back("speexdsp, " + name, speexDenoiser(128, static_cast<int>(kMinGainDb)));
            peers.emplace_back("webrtc, " + name, webrtcDenoiser());
            for (auto &[peer, d] : peers)
                if (d != nullptr)
                    print(peer, noiseFigures(sc, runDenoiser(*d, sc.noisy)));
        }
    }
}

TEST(NoiseQuality, ReducerGainDoesNotDependOnTheInputScale)
{
    const NoiseFigures reference = reduce(makeNoiseScene(false, 10.0, 1.0));
    for (double scale : {1e3, 1e-3}) {
        const NoiseFigures f = reduce(makeNoiseScene(false, 10.0, scale));
        EXPECT_NEAR(f.noiseAttenuation, reference.noiseAttenuation, 0.1) << scale;
        EXPECT_NEAR(f.speechAttenuation, reference.speechAttenuation, 0.1) << scale;
        EXPECT_NEAR(f.segmentalGain(), reference.segmentalGain(), 0.1) << scale;
    }
}

} // namespace
