// The sample-rate converter's stored configurations: each record agrees with its name, its arrays and the loop
// filter every set takes; every coefficient row has the gain 0.8912; the prototype the rows hold rejects the stop
// band the set is labelled for (its response evaluated here in double precision); and the three rows past the last
// phase continue the prototype, so interpolating across it has no jump.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <numbers>
#include <utility>
#include <vector>

#include "Dsp/Asrc/AsrcStoredSets.h"
#include "kve/kve_asrc.h"

namespace {

using kvetest::kStoredSets;
using kvetest::StoredSet;

constexpr int64_t kOutputRate = 48000;
constexpr double kRowGain = 0.8912;
constexpr double kQ31 = 2147483648.0;

const int32_t *row(const StoredSet &set, uint32_t r)
{
    return set.coefficients + static_cast<size_t>(r) * set.taps;
}

TEST(AsrcStoredSets, RecordsDescribeTheirArraysAndShareOneLoopFilter)
{
    const float regA[4] = {0.9984256f, 0.0011124931f, -0.0011124928f, 0.99998367f};
    const float regB[4] = {-1.3799784e-08f, -2.2485723e-05f, -5.6303904e-09f, -1.9382094e-06f};
    const float regC[2] = {2.2485727e-05f, -1.9382176e-06f};
    const float regD[2] = {-2.9962355e-13f, -5.025505e-10f};
    const float regState[2] = {25245.156f, -219785.05f}; // at 48 kHz; scaled with the input rate
    ASSERT_EQ(std::size(kStoredSets), 29u);
    for (const StoredSet &set : kStoredSets) {
        SCOPED_TRACE(set.name);
        const qirn_asrc_props &p = *set.props;
        const double rateRatio = static_cast<double>(set.inputRate) / static_cast<double>(kOutputRate);
        EXPECT_EQ(p.nominalStep, (static_cast<int64_t>(set.phases) << 32) * set.inputRate / kOutputRate);
        EXPECT_EQ(p.inputRate, static_cast<float>(set.inputRate));
        EXPECT_EQ(p.outputRate, static_cast<float>(kOutputRate));
        EXPECT_EQ(p.passbandEdge, 18000.0f);
        EXPECT_EQ(p.taps, set.taps);
        EXPECT_EQ(p.phases, set.phases);
        EXPECT_EQ(p.rows, set.phases + 3);
        EXPECT_EQ(p.coefficientCount, (set.phases + 3) * set.taps);
        EXPECT_EQ(p.integratorStart, static_cast<float>(-12641574.0 * rateRatio));
        EXPECT_EQ(p.coefficients, set.coefficients);
        EXPECT_EQ(p.regA, set.regA);
        EXPECT_EQ(p.regB, set.regB);
        EXPECT_EQ(p.regC, set.regC);
        EXPECT_EQ(p.regD, set.regD);
        EXPECT_EQ(p.regState, set.regState);
        EXPECT_TRUE(std::equal(regA, regA + 4, set.regA));
        EXPECT_TRUE(std::equal(regB, regB + 4, set.regB));
        EXPECT_TRUE(std::equal(regC, regC + 2, set.regC));
        EXPECT_TRUE(std::equal(regD, regD + 2, set.regD));
        for (int k = 0; k < 2; ++k)
            EXPECT_FLOAT_EQ(set.regState[k], static_cast<float>(regState[k] * rateRatio)) << "state " << k;
    }
}

TEST(AsrcStoredSets, EveryRowSumsToTheConverterGain)
{
    for (const StoredSet &set : kStoredSets) {
        SCOPED_TRACE(set.name);
        double worst = 0.0;
        uint32_t worstRow = 0;
        for (uint32_t r = 0; r < set.phases + 3; ++r) {
            int64_t sum = 0;
            for (uint32_t j = 0; j < set.taps; ++j)
                sum += row(set, r)[j];
            const double off = std::fabs(static_cast<double>(sum) / kQ31 - kRowGain);
            if (off > worst) {
                worst = off;
                worstRow = r;
            }
        }
        EXPECT_LE(worst, 1e-4) << "row " << worstRow;
    }
}

// In-place radix-2 transform of re + i im (length a power of two), the twiddles taken from std::cos and std::sin
// one by one so that no recurrence error reaches the deep stop bands.
void transform(std::vector<double> &re, std::vector<double> &im)
{
    const size_t n = re.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j |= bit;
        if (i < j) {
            std::swap(re[i], re[j]);
            std::swap(im[i], im[j]);
        }
    }
    std::vector<double> cosTable(n / 2), sinTable(n / 2);
    for (size_t k = 0; k < n / 2; ++k) {
        const double angle = -2.0 * std::numbers::pi * static_cast<double>(k) / static_cast<double>(n);
        cosTable[k] = std::cos(angle);
        sinTable[k] = std::sin(angle);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const size_t stride = n / len;
        for (size_t start = 0; start < n; start += len) {
            for (size_t k = 0; k < len / 2; ++k) {
                const double wr = cosTable[k * stride], wi = sinTable[k * stride];
                const size_t a = start + k, b = a + len / 2;
                const double tr = re[b] * wr - im[b] * wi, ti = re[b] * wi + im[b] * wr;
                re[b] = re[a] - tr;
                im[b] = im[a] - ti;
                re[a] += tr;
                im[a] += ti;
            }
        }
    }
}

TEST(AsrcStoredSets, PrototypePassesTo18kHzAndRejectsTheLabelledStopBand)
{
    for (const StoredSet &set : kStoredSets) {
        SCOPED_TRACE(set.name);
        // The prototype runs at the input rate x M; h[j M + r] is row r tap j. Its response is sampled on a grid
        // at least four points per sidelobe, from 0 to the prototype's Nyquist rate.
        const size_t length = static_cast<size_t>(set.taps) * set.phases;
        size_t size = 1;
        while (size < 4 * length)
            size <<= 1;
        std::vector<double> re(size, 0.0), im(size, 0.0);
        for (uint32_t r = 0; r < set.phases; ++r)
            for (uint32_t j = 0; j < set.taps; ++j)
                re[static_cast<size_t>(j) * set.phases + r] = row(set, r)[j] / kQ31;
        transform(re, im);

        const double binHz = static_cast<double>(set.inputRate) * set.phases / static_cast<double>(size);
        const double stopEdge = set.phases >= 64 ? 24000.0 : static_cast<double>(set.inputRate) - 18000.0;
        const double dc = std::hypot(re[0], im[0]);
        double passDeviation = 0.0, stopPeak = 0.0;
        for (size_t k = 0; k <= size / 2; ++k) {
            const double gain = std::hypot(re[k], im[k]) / dc;
            const double hz = static_cast<double>(k) * binHz;
            if (hz <= 18000.0)
                passDeviation = std::max(passDeviation, std::fabs(gain - 1.0));
            else if (hz >= stopEdge)
                stopPeak = std::max(stopPeak, gain);
        }
        EXPECT_NEAR(dc, kRowGain * set.phases, 1e-4 * set.phases);
        EXPECT_LE(passDeviation, 1e-3); // 0.01 dB
        EXPECT_LE(20.0 * std::log10(stopPeak), -(set.attenuationDb - 3.0));
    }
}

TEST(AsrcStoredSets, RowsPastTheLastPhaseContinueThePrototype)
{
    for (const StoredSet &set : kStoredSets) {
        SCOPED_TRACE(set.name);
        for (uint32_t k = 0; k < 3; ++k) {
            const int32_t *past = row(set, set.phases + k);
            const int32_t *first = row(set, k);
            EXPECT_TRUE(std::equal(past, past + set.taps - 1, first + 1)) << "row " << set.phases + k;
            EXPECT_EQ(past[set.taps - 1], 0) << "row " << set.phases + k << " reaches past the prototype's end";
        }
    }
}

} // namespace
