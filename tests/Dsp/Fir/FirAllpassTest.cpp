// Schroeder allpass sections on a ring of Q15 words: the float section against scipy.signal.lfilter of its
// difference equations, its 16-bit quantisation word for word, and the Fract32 section against an exact integer
// model; indices carried across calls of every length.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "Dsp/ExactModels.h"
#include "Dsp/Fir/FirSignals.h"
#include "Dsp/GuardedVector.h"
#include "kve/kve_vec.h"
#include "support/PythonOracle.h"

namespace {

using kvetest::bitsOf;
using kvetest::firBlockLengths;
using kvetest::firNoise;
using kvetest::firNoiseWords;

struct Section {
    int32_t delayLen;
    int32_t writeIndex;
    int32_t readIndex;
    int32_t delay() const
    {
        const int32_t d = ((writeIndex - readIndex) % delayLen + delayLen) % delayLen;
        return d == 0 ? delayLen : d; // the read comes before the write, so equal indices delay by the whole ring
    }
};

TEST(FloatAllpass, FollowsItsDifferenceEquationsThroughTheQ15Ring)
{
    const struct {
        float gain;
        Section section;
        float amplitude;
    } cases[] = {{0.5f, {16, 5, 0}, 0.3f}, {-0.7f, {8, 2, 5}, 0.2f}, {0.3f, {30, 29, 0}, 0.5f},
                 {0.6f, {10, 3, 3}, 0.3f}, {0.0f, {7, 6, 4}, 0.9f},   {0.9f, {3, 1, 0}, 0.05f}};
    const int32_t n = 200;
    for (const auto &c : cases) {
        const Section &s = c.section;
        const std::vector<float> x = firNoise(static_cast<size_t>(n), 190, c.amplitude);
        std::vector<std::string> args = {kvetest::oracleArg(c.gain), std::to_string(s.delay())};
        kvetest::appendOracleArgs(args, x);
        const std::vector<double> expected = kvetest::runOracle("fir_allpass.py", args);
        ASSERT_EQ(expected.size(), 2 * x.size()) << "gain " << c.gain;

        std::vector<int16_t> line(static_cast<size_t>(s.delayLen), 0);
        int32_t write = s.writeIndex, read = s.readIndex;
        std::vector<float> y(x.size()), delayed(x.size());
        int32_t done = 0;
        for (int32_t len : firBlockLengths(n)) {
            kve_vecAllpassDelay16(line.data(), s.delayLen, &write, &read, x.data() + done, y.data() + done,
                                  delayed.data() + done, len, c.gain);
            done += len;
        }
        // Each stored word is off by at most 1.5 units of 2^-15 (the rounding moves negative values up), and the
        // feedback carries the error on.
        const double tol = 4.0 * 0x1p-15 / (1.0 - std::fabs(c.gain));
        for (size_t i = 0; i < x.size(); ++i) {
            ASSERT_NEAR(y[i], expected[i], tol) << "gain " << c.gain << ", sample " << i;
            ASSERT_NEAR(delayed[i], expected[x.size() + i], tol) << "gain " << c.gain << ", delayed sample " << i;
        }
        EXPECT_EQ(write, (s.writeIndex + n) % s.delayLen);
        EXPECT_EQ(read, (s.readIndex + n) % s.delayLen);
    }
}

// With gain 0 the section is a delay through the ring, so each word stored comes back one sample later.
TEST(FloatAllpass, StoresSamplesAsQ15WordsRoundedUpByHalfAUnit)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        float x;
        int16_t stored;
    } cases[] = {
        {0.5f, 16384},         {-0.5f, -16383},        {1.0f, 32767},          {-1.0f, -32767}, {2.0f, 32767},
        {-2.0f, -32767},       {1.4f / 32768, 1},      {-1.4f / 32768, 0},     {-1.6f / 32768, -1},
        {0.75f / 32768, 1},    {0.0f, 0},              {nan, 0},
    };
    const auto count = static_cast<int32_t>(std::size(cases));
    std::vector<float> x(static_cast<size_t>(count) + 1, 0.0f);
    for (int32_t k = 0; k < count; ++k)
        x[static_cast<size_t>(k)] = cases[k].x;
    int16_t line[4] = {};
    int32_t write = 1, read = 0;
    std::vector<float> y(x.size()), delayed(x.size());
    kve_vecAllpassDelay16(line, 4, &write, &read, x.data(), y.data(), delayed.data(), count + 1, 0.0f);
    for (int32_t k = 0; k < count; ++k)
        EXPECT_EQ(delayed[static_cast<size_t>(k) + 1], cases[k].stored / 32768.0f) << "input " << cases[k].x;
}

// The Fract32 section exactly, one sample at a time in 128 bits.
struct ExactAllpass {
    std::vector<int16_t> line;
    int32_t write, read;
    int32_t gain, shift; // shift: the low 16 bits of the post-shift, signed

    int32_t scaled(int32_t a, int32_t b) const
    {
        return kvetest::clampTo32(kvetest::scaleByPow2(kvetest::exactFract32Product(a, b), shift));
    }

    void step(int32_t x, int32_t &y, int32_t &delayed)
    {
        const int32_t d = line[static_cast<size_t>(read)] * 65536;
        const __int128 sum = static_cast<__int128>(x) + scaled(d, gain);
        int32_t w;
        int16_t stored;
        if (sum <= INT32_MIN) {
            w = INT32_MIN;
            stored = -32768;
        } else if (sum >= INT32_MAX) {
            w = INT32_MAX;
            stored = 32767;
        } else {
            w = static_cast<int32_t>(sum);
            const __int128 rounded = kvetest::floorDivPow2(sum + 32768, 16);
            stored = static_cast<int16_t>(rounded > 32767 ? 32767 : rounded);
        }
        delayed = d;
        y = kvetest::clampTo32(static_cast<__int128>(d) - scaled(w, gain));
        line[static_cast<size_t>(write)] = stored;
        write = (write + 1) % static_cast<int32_t>(line.size());
        read = (read + 1) % static_cast<int32_t>(line.size());
    }
};

TEST(Fract32Allpass, IsTheExactSectionWithItsQ15Ring)
{
    const struct {
        int32_t gain;
        int32_t postShift;
        int32_t inputShift; // inputs are full-range words shifted right by this much
        Section section;
    } cases[] = {
        {0x40000000, 0, 2, {16, 5, 0}},       {-0x60000000, 0, 1, {8, 2, 5}},   {0x30000000, 1, 2, {30, 29, 0}},
        {INT32_MAX, 0, 0, {10, 3, 3}},        {0x20000000, 2, 0, {7, 6, 4}},    {0x40000000, -1, 0, {5, 1, 0}},
        {0x12345678, 0x10001, 3, {9, 4, 0}},  {0x40000000, 40, 4, {6, 2, 0}},   {-0x40000000, -40, 0, {6, 2, 0}},
        {INT32_MIN, 0, 0, {4, 3, 0}},
    };
    const int32_t n = 300;
    for (const auto &c : cases) {
        const Section &s = c.section;
        std::vector<int32_t> x = firNoiseWords(static_cast<size_t>(n), 200u + static_cast<uint64_t>(s.delayLen));
        for (int32_t &v : x)
            v >>= c.inputShift;
        ExactAllpass model{std::vector<int16_t>(static_cast<size_t>(s.delayLen), 0), s.writeIndex, s.readIndex,
                           c.gain, static_cast<int16_t>(c.postShift)};
        std::vector<int32_t> expectedY(x.size()), expectedDelayed(x.size());
        for (size_t i = 0; i < x.size(); ++i)
            model.step(x[i], expectedY[i], expectedDelayed[i]);

        std::vector<int16_t> line(static_cast<size_t>(s.delayLen), 0);
        int32_t write = s.writeIndex, read = s.readIndex;
        std::vector<int32_t> y(x.size()), delayed(x.size());
        int32_t done = 0;
        for (int32_t len : firBlockLengths(n)) {
            kve_vecAllpassDelay16Fract32(line.data(), s.delayLen, &write, &read, x.data() + done, y.data() + done,
                                         delayed.data() + done, c.gain, c.postShift, len);
            done += len;
        }
        for (size_t i = 0; i < x.size(); ++i) {
            ASSERT_EQ(y[i], expectedY[i]) << "gain " << std::hex << c.gain << std::dec << ", sample " << i;
            ASSERT_EQ(delayed[i], expectedDelayed[i]) << "gain " << std::hex << c.gain << std::dec << ", sample " << i;
        }
        EXPECT_EQ(line, model.line);
        EXPECT_EQ(write, model.write);
        EXPECT_EQ(read, model.read);
    }
}

} // namespace
