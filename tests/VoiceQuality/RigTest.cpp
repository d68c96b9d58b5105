// The rig the quality tests stand on: its transform returns its input delayed when the spectra pass unchanged.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "VoiceQuality/VoiceRig.h"

namespace {

using namespace voice;

TEST(VoiceRig, TransformReturnsItsInputDelayedByTheFrameLessOneHop)
{
    for (auto [size, hop] : {std::pair{512, 128}, std::pair{256, 128}}) {
        Stft t(size, hop);
        const Signal x = whiteNoise(40 * static_cast<size_t>(hop), 0.1, 3);
        Signal y(x.size());
        std::vector<float> spectrum(static_cast<size_t>(2 * t.bins()));
        for (size_t b = 0; b * hop < x.size(); ++b) {
            t.analyse(&x[b * hop], spectrum.data());
            t.synthesise(spectrum.data(), &y[b * hop]);
        }
        double worst = 0;
        // Past the first frame, every output sample is its input size - hop samples earlier.
        for (size_t n = static_cast<size_t>(size); n < y.size(); ++n)
            worst = std::max(worst, std::fabs(double(y[n]) - x[n - static_cast<size_t>(t.latency())]));
        EXPECT_LT(worst, 1e-6) << size << "/" << hop;
    }
}

} // namespace
