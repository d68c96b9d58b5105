// The converter's readers: both interpolations against an integer model of their arithmetic (Python's unbounded
// integers), with one to three channels, rings that wrap many times and filters longer than a coefficient block;
// the lane readers against the scalar one word for word; and the rows' gain for a constant input.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "Dsp/Asrc/Asrc.h"
#include "Dsp/Asrc/AsrcConverter.h"
#include "Dsp/Fir/FirSignals.h"
#include "support/PythonOracle.h"

namespace {

using kvetest::AsrcConverter;
using kvetest::AsrcSet;
using kvetest::FirRandom;

struct Reader {
    const char *name;
    bool cubic;
    int32_t (*read)(qirn_asrc_state *, int32_t *, int32_t);
    using Frames = void (*)(qirn_asrc_state *, int32_t *, int32_t);
    Frames scalar;
    Frames fourLanes;
    Frames eightLanes; // null where the machine has no eight lanes
};

#if defined(__AVX2__)
template <typename Interp>
constexpr Reader::Frames kEightLanes = kve_asrcReadFrames<Interp, AsrcForm::EightLanes>;
#else
template <typename Interp>
constexpr Reader::Frames kEightLanes = nullptr;
#endif

const Reader kReaders[] = {
    {"linear", false, qirn_asrc_read_output_linear_Q31, kve_asrcReadFrames<AsrcLinear, AsrcForm::Scalar>,
     kve_asrcReadFrames<AsrcLinear, AsrcForm::FourLanes>, kEightLanes<AsrcLinear>},
    {"cubic", true, qirn_asrc_read_output_cubic_Q31, kve_asrcReadFrames<AsrcCubic, AsrcForm::Scalar>,
     kve_asrcReadFrames<AsrcCubic, AsrcForm::FourLanes>, kEightLanes<AsrcCubic>},
};

struct Layout {
    uint32_t channels;
    uint32_t phases;
    uint32_t taps;
    uint32_t length;
    int32_t rounds; // write and read blocks
};

const Layout kLayouts[] = {
    {1, 4, 6, 19, 40},  // the ring wraps about every three blocks
    {2, 8, 7, 23, 40},  // taps neither a multiple of four nor below it
    {3, 2, 5, 13, 40},  // the window reaches across the wrap in most frames
    {2, 2, 301, 320, 6}, // coefficients in two blocks
};

// Coefficients of up to +-2^28, with the extreme words at a few places: sums for full-scale inputs reach past the
// 32-bit range now and then, so the saturation is exercised too.
std::vector<int32_t> table(const Layout &l, uint64_t seed)
{
    std::vector<int32_t> words = kvetest::firNoiseWords(size_t{l.phases + 3} * l.taps, seed);
    for (size_t k = 0; k < words.size(); ++k) {
        if (k % 29 != 3)
            words[k] >>= 3;
    }
    return words;
}

std::string describe(const Reader &r, const Layout &l)
{
    return std::string(r.name) + ", " + std::to_string(l.channels) + " channels, M " + std::to_string(l.phases) +
           ", taps " + std::to_string(l.taps) + ", L " + std::to_string(l.length);
}

TEST(AsrcReaders, MatchTheIntegerModelAcrossRingWrapsForAnyChannelCount)
{
    for (const Reader &r : kReaders) {
        for (const Layout &l : kLayouts) {
            AsrcSet set(l.phases, l.taps, table(l, l.taps));
            AsrcConverter conv(set.props, l.length, l.channels);
            FirRandom random(l.length);
            std::vector<std::string> args = {r.cubic ? "1" : "0", std::to_string(l.phases), std::to_string(l.taps),
                                             std::to_string(l.length), std::to_string(l.channels)};
            for (int32_t c : set.coefficients)
                args.push_back(std::to_string(c));
            std::vector<int32_t> got;
            for (int32_t round = 0; round < l.rounds; ++round) {
                // Blocks of 0 to 7 frames, advancing 0.6 to 1.6 samples per frame with arbitrary phase and fraction
                // bits; the writer keeps ahead of the reader.
                const auto written = static_cast<int32_t>(random.next() % 9);
                const std::vector<int32_t> frames =
                    kvetest::firNoiseWords(size_t(written) * l.channels, random.next());
                ASSERT_EQ(qirn_asrc_write_input_Q31(&conv.state, frames.data(), written), 0);
                args.push_back("0");
                args.push_back(std::to_string(written));
                for (int32_t x : frames)
                    args.push_back(std::to_string(x));

                const auto n = static_cast<int32_t>(random.next() % 8);
                const double rate = 0.6 + (random.next() % 1000) / 1000.0;
                const int64_t step = static_cast<int64_t>(rate * l.phases * 0x1p32) + (random.next() & 0xFFFF);
                conv.fixStep(step);
                qirn_asrc_state scalar = conv.state;
                std::vector<int32_t> out(size_t(n) * l.channels + 1, 0x5A5A5A5A);
                std::vector<int32_t> plain(out.size(), 0x5A5A5A5A);
                ASSERT_EQ(r.read(&conv.state, out.data(), n), 0) << describe(r, l);
                if (n > 0)
                    r.scalar(&scalar, plain.data(), n);
                else
                    scalar.readPosition = conv.state.readPosition;
                EXPECT_EQ(out, plain) << describe(r, l) << ", round " << round;
                EXPECT_EQ(scalar.readPosition, conv.state.readPosition) << describe(r, l) << ", round " << round;
                EXPECT_EQ(out.back(), 0x5A5A5A5A) << describe(r, l);
                got.insert(got.end(), out.begin(), out.end() - 1);
                args.push_back("1");
                args.push_back(std::to_string(n));
                args.push_back(std::to_string(step));
            }
            const std::vector<double> ref = kvetest::runOracle("asrc_readers.py", args);
            ASSERT_EQ(ref.size(), got.size()) << describe(r, l);
            size_t saturated = 0;
            for (size_t k = 0; k < got.size(); ++k) {
                ASSERT_EQ(got[k], static_cast<int32_t>(ref[k])) << describe(r, l) << ", sample " << k;
                saturated += got[k] == INT32_MAX || got[k] == INT32_MIN;
            }
            EXPECT_LT(saturated, got.size() / 2) << describe(r, l);
        }
    }
}

// The lane readers and the scalar one give the same words for long blocks and taps that fill several lane groups
// (and leave a part group: 6, 7, 5 and 301 taps).
TEST(AsrcReaders, LaneReadersGiveTheScalarReadersWords)
{
    for (const Reader &r : kReaders) {
        for (const Layout &l : kLayouts) {
            AsrcSet set(l.phases, l.taps, table(l, l.taps + 1));
            AsrcConverter conv(set.props, l.length, l.channels);
            const std::vector<int32_t> input = kvetest::firNoiseWords(size_t{l.length} * l.channels, 7);
            qirn_asrc_write_input_Q31(&conv.state, input.data(), static_cast<int32_t>(l.length));
            conv.fixStep((int64_t{l.phases} << 32) * 5 / 7 + 12345);
            const int32_t n = 3 * static_cast<int32_t>(l.length);
            qirn_asrc_state scalar = conv.state;
            std::vector<int32_t> plain(size_t(n) * l.channels);
            r.scalar(&scalar, plain.data(), n);
            for (const Reader::Frames lanes : {r.fourLanes, r.eightLanes}) {
                if (lanes == nullptr)
                    continue;
                qirn_asrc_state state = conv.state;
                std::vector<int32_t> got(plain.size());
                lanes(&state, got.data(), n);
                EXPECT_EQ(got, plain) << describe(r, l) << (lanes == r.fourLanes ? ", four lanes" : ", eight lanes");
                EXPECT_EQ(state.readPosition, scalar.readPosition) << describe(r, l);
            }
        }
    }
}

// The lanes' rounded products against (a x b + 2^31) >> 32 in 128 bits, for the words at the ends of the range and
// around the rounding: four lanes, and eight lanes both as coefficient sums and in the dot product.
TEST(AsrcReaders, LaneProductsRoundLikeTheWideProduct)
{
    const int32_t words[] = {INT32_MIN, INT32_MIN + 1, -0x40000000, -3, -1, 0, 1, 2, 0x40000000, 0x7FFFFFFE, INT32_MAX};
    for (int32_t a : words) {
        for (int32_t b : words) {
            const auto wide = static_cast<int64_t>((static_cast<__int128>(a) * b + (int64_t{1} << 31)) >> 32);
            int32_t lanes[4];
            vst1q_s32(lanes, kve_asrcRoundedProducts4(vdupq_n_s32(a), vdupq_n_s32(b)));
            EXPECT_EQ(lanes[0], wide) << a << " x " << b;
            EXPECT_EQ(lanes[3], wide) << a << " x " << b;
#if defined(__AVX2__)
            // One group of eight taps; a ninth is left to the scalar walk.
            const std::vector<int32_t> row(9, b);
            std::vector<int32_t> reversed(9, 7);
            EXPECT_EQ(kve_asrcCoefficients8<1>(row.data(), 9, &a, 0, 9, reversed.data()), 8u);
            EXPECT_EQ(std::vector<int32_t>(reversed.begin() + 1, reversed.end()),
                      std::vector<int32_t>(8, static_cast<int32_t>(wide)))
                << a << " x " << b;
            const std::vector<int32_t> x(9, a);
            uint32_t taken = 0;
            EXPECT_EQ(kve_asrcDot8(x.data(), row.data(), 9, &taken), 8 * wide) << a << " x " << b;
            EXPECT_EQ(taken, 8u);
#endif
        }
    }
}

// Rows that each sum to 0.8912 (-1 dB): a constant input comes out at 0.8912 times itself through either reader,
// at any phase and fraction, once the ring holds it everywhere.
TEST(AsrcReaders, ConstantInputComesOutAtTheRowGain)
{
    constexpr uint32_t kPhases = 8, kTaps = 12, kLength = 40;
    const auto rowSum = static_cast<int64_t>(std::llround(0.8912 * 0x1p31));
    std::vector<int32_t> coefficients;
    for (uint32_t row = 0; row < kPhases + 3; ++row) {
        // A Hann-windowed sinc, the prototype's row of this phase, scaled to the row sum; the rounding is taken up
        // by the middle tap.
        std::vector<double> h(kTaps);
        double sum = 0;
        for (uint32_t j = 0; j < kTaps; ++j) {
            const double x = (j * kPhases + row) / double(kPhases) - kTaps / 2.0;
            const double window = 0.5 - 0.5 * std::cos(2 * M_PI * (j * kPhases + row + 1) / ((kTaps + 1) * kPhases));
            h[j] = window * (x == 0 ? 1.0 : std::sin(M_PI * x * 0.8) / (M_PI * x * 0.8));
            sum += h[j];
        }
        int64_t words = 0;
        for (uint32_t j = 0; j < kTaps; ++j) {
            coefficients.push_back(static_cast<int32_t>(std::llround(h[j] / sum * rowSum)));
            words += coefficients.back();
        }
        coefficients[row * kTaps + kTaps / 2] += static_cast<int32_t>(rowSum - words);
    }
    AsrcSet set(kPhases, kTaps, coefficients);
    for (const Reader &r : kReaders) {
        for (int32_t level : {0x40000000, -0x5999999A, 0x7FFFFFFF, 1 << 20}) {
            AsrcConverter conv(set.props, kLength, 2);
            const std::vector<int32_t> frames(2 * kLength, level);
            qirn_asrc_write_input_Q31(&conv.state, frames.data(), kLength);
            conv.fixStep((int64_t{kPhases} << 32) * 93 / 100 + 987654321);
            std::vector<int32_t> out(2 * 50);
            ASSERT_EQ(r.read(&conv.state, out.data(), 50), 0);
            for (size_t k = 0; k < out.size(); ++k)
                ASSERT_NEAR(out[k], 0.8912 * level, 256) << r.name << ", level " << level << ", sample " << k;
        }
    }
}

} // namespace
