// The Fract32 LMS filters against exact integer models written from their arithmetic in 128-bit integers: full-range
// signals carried across calls of every length, the saturation of outputs, errors and weights where a wrapping sum
// would flip their sign, and the energy and leaving sample that kve_vecLMSNormFract32 carries between calls.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Dsp/ExactModels.h"
#include "Dsp/Fir/FirSignals.h"
#include "Dsp/GuardedVector.h"
#include "kve/kve_vec.h"

namespace {

using kvetest::clampTo32;
using kvetest::exactFract32Product;
using kvetest::firBlockLengths;
using kvetest::firNoiseWords;
using kvetest::floorDivPow2;
using kvetest::scaleByPow2;

// ---- kve_vecLMSFract32 ----

struct RingLms {
    std::vector<int32_t> weights;
    std::vector<int32_t> ring;
    int32_t index = 0;
};

// One sample: the ring takes x, out = the Fract32 products of w[j] and the sample j steps old, scaled by
// 2^postShift, saturated; err = desired - out, saturated; each weight adds floor(sample x g / 2^31), saturated, with
// g the Fract32 product of err and mu x 2^-postShift (the step's count the low 16 bits of postShift).
void modelRingLms(RingLms &m, int32_t x, int32_t desired, int32_t mu, int32_t postShift, int32_t &out, int32_t &err)
{
    const int taps = static_cast<int>(m.ring.size());
    m.ring[static_cast<size_t>(m.index)] = x;
    auto sampleAge = [&](int j) { return m.ring[static_cast<size_t>(((m.index - j) % taps + taps) % taps)]; };
    __int128 sum = 0;
    for (int j = 0; j < taps; ++j)
        sum += exactFract32Product(sampleAge(j), m.weights[static_cast<size_t>(j)]);
    out = clampTo32(scaleByPow2(sum, postShift));
    err = clampTo32(static_cast<__int128>(desired) - out);
    const int32_t step = clampTo32(scaleByPow2(mu, -static_cast<int16_t>(postShift)));
    const int32_t g = exactFract32Product(step, err);
    for (int j = 0; j < taps; ++j) {
        int32_t &w = m.weights[static_cast<size_t>(j)];
        w = clampTo32(w + floorDivPow2(static_cast<__int128>(sampleAge(j)) * g, 31));
    }
    m.index = (m.index + 1) % taps;
}

struct LmsCase {
    int32_t numTaps;
    int32_t postShift;
    int32_t mu;
    int32_t startIndex;
    uint64_t seed;
};

const LmsCase kRingCases[] = {
    {1, 0, 0x40000000, 0, 1},   {2, 0, 0x7FFFFFFF, 1, 2},  {5, 1, 0x20000000, 3, 3},  {16, -1, 0x10000000, 7, 4},
    {33, 2, 0x08000000, 32, 5}, {8, 40, 0x7FFFFFFF, 2, 6}, {8, -40, 0x7FFFFFFF, 5, 7}, {4, 0, INT32_MIN, 0, 8},
    {6, 0x10003, 0x01000000, 0, 9}, // the step takes only the low 16 bits (3); the output the whole count
};

TEST(Fract32Lms, MatchesTheExactModelAcrossCalls)
{
    for (const LmsCase &c : kRingCases) {
        SCOPED_TRACE("taps " + std::to_string(c.numTaps) + " postShift " + std::to_string(c.postShift));
        const size_t total = 300;
        const std::vector<int32_t> x = firNoiseWords(total, c.seed);
        const std::vector<int32_t> desired = firNoiseWords(total, c.seed + 100);
        RingLms model{firNoiseWords(static_cast<size_t>(c.numTaps), c.seed + 200),
                      firNoiseWords(static_cast<size_t>(c.numTaps), c.seed + 300), c.startIndex};
        std::vector<int32_t> weights = model.weights;
        std::vector<int32_t> ring = model.ring;
        int32_t index = c.startIndex;
        std::vector<int32_t> out(total);
        std::vector<int32_t> err(total);
        size_t done = 0;
        for (int32_t len : firBlockLengths(static_cast<int32_t>(total))) {
            kve_vecLMSFract32(x.data() + done, desired.data() + done, out.data() + done, err.data() + done,
                              weights.data(), ring.data(), &index, c.postShift, len, c.numTaps, c.mu);
            done += static_cast<size_t>(len);
        }
        for (size_t i = 0; i < total; ++i) {
            int32_t o = 0;
            int32_t e = 0;
            modelRingLms(model, x[i], desired[i], c.mu, c.postShift, o, e);
            ASSERT_EQ(out[i], o) << "out " << i;
            ASSERT_EQ(err[i], e) << "err " << i;
        }
        EXPECT_EQ(weights, model.weights);
        EXPECT_EQ(ring, model.ring);
        EXPECT_EQ(index, model.index);
    }
}

// Sums that leave the 32-bit range hold at its ends instead of wrapping to the other sign.
TEST(Fract32Lms, SaturatesWhereASumLeavesTheRange)
{
    struct Case {
        const char *name;
        int32_t weight, x, desired, mu, postShift;
        int32_t out, err, newWeight;
    };
    // One tap, so every value follows by hand: out = floor(x w / 2^31), err = desired - out, the weight moves by
    // floor(x floor(mu err / 2^31) / 2^31).
    const Case cases[] = {
        // 0x3FFFFFF8 out, err 0x40000007, step 0x40000006, weight + 0x20000003 passes the top.
        {"weight held at the top", 0x7FFFFFF0, 0x40000000, INT32_MAX, INT32_MAX, 0, 0x3FFFFFF8, 0x40000007,
         INT32_MAX},
        // out -0x3FFFFFF8, err -0x40000008, weight - 0x20000004 passes the bottom.
        {"weight held at the bottom", -0x7FFFFFF0, 0x40000000, INT32_MIN, INT32_MAX, 0, -0x3FFFFFF8, -0x40000008,
         INT32_MIN},
        // -1 x -1 is held at 0x7FFFFFFF; desired -1 minus it is held at the bottom.
        {"err held at the bottom", INT32_MIN, INT32_MIN, INT32_MIN, 0, 0, INT32_MAX, INT32_MIN, INT32_MIN},
        // out 0x40000000 doubled twice by the post-shift is held at the top.
        {"out held at the top", 0x40000000, INT32_MAX, 0, 0, 2, INT32_MAX, -INT32_MAX, 0x40000000},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        int32_t weight = c.weight;
        int32_t ring = 0;
        int32_t index = 0;
        int32_t out = 0;
        int32_t err = 0;
        kve_vecLMSFract32(&c.x, &c.desired, &out, &err, &weight, &ring, &index, c.postShift, 1, 1, c.mu);
        EXPECT_EQ(out, c.out);
        EXPECT_EQ(err, c.err);
        EXPECT_EQ(weight, c.newWeight);
        RingLms model{{c.weight}, {0}, 0};
        int32_t o = 0;
        int32_t e = 0;
        modelRingLms(model, c.x, c.desired, c.mu, c.postShift, o, e);
        EXPECT_EQ(model.weights[0], c.newWeight) << "the model agrees";
    }
}

// ---- kve_vecLMSNormFract32 ----

struct LinearLms {
    std::vector<int32_t> weights;
    std::vector<int32_t> history; // the numTaps - 1 kept samples
    int32_t energy = 0;
    int32_t leaving = 0;
};

// One sample, step by step as the kernel is meant to take it, in 128 bits: the energy drops 2 leaving^2 and takes
// 2 x^2 around a 32-bit boundary; out = (sum of full products) / 2^(31 - postShift), err = desired - out, both
// saturated; the step is floor(floor(err mu / 2^31) r / 2^31) with r the reciprocal of energy + 256; each weight
// adds floor(2 sample step / 2^32) with its lowest bit cleared.
void modelLinearLms(LinearLms &m, const std::vector<int32_t> &window, int32_t desired, int32_t mu, int32_t postShift,
                    int32_t &out, int32_t &err)
{
    const int taps = static_cast<int>(m.weights.size());
    const int32_t x = window[static_cast<size_t>(taps - 1)];
    const __int128 t = static_cast<__int128>(m.energy) * (static_cast<__int128>(1) << 32) -
                       2 * static_cast<__int128>(m.leaving) * m.leaving;
    const __int128 cleared = floorDivPow2(t, 32) * (static_cast<__int128>(1) << 32);
    m.energy = clampTo32(floorDivPow2(cleared + 2 * static_cast<__int128>(x) * x, 32));
    __int128 sum = 0;
    for (int k = 0; k < taps; ++k)
        sum += static_cast<__int128>(window[static_cast<size_t>(k)]) * m.weights[static_cast<size_t>(k)];
    out = clampTo32(scaleByPow2(sum, postShift - 31));
    err = clampTo32(static_cast<__int128>(desired) - out);
    int32_t r = 0;
    kve_vecRecipFract32(clampTo32(static_cast<__int128>(m.energy) + 256), &r);
    const int32_t g = clampTo32(floorDivPow2(static_cast<__int128>(exactFract32Product(err, mu)) * r, 31));
    for (int k = 0; k < taps; ++k) {
        int32_t &w = m.weights[static_cast<size_t>(k)];
        const __int128 delta = floorDivPow2(2 * static_cast<__int128>(window[static_cast<size_t>(k)]) * g, 32);
        w = clampTo32(w + (delta - (delta & 1)));
    }
    m.leaving = window[0];
}

struct NormCase {
    int32_t numTaps;
    int32_t inc;
    int32_t postShift;
    int32_t mu;
    int32_t amplitudeShift; // samples are full-range words shifted right by this
    uint64_t seed;
};

const NormCase kNormCases[] = {
    {1, 1, 0, 0x40000000, 4, 1},  {2, 1, 0, 0x7FFFFFFF, 3, 2},  {5, 2, 1, 0x20000000, 5, 3},
    {16, 1, -2, 0x10000000, 6, 4}, {33, 3, 0, 0x40000000, 7, 5}, {8, 1, 4, 0x7FFFFFFF, 0, 6},
    {8, -1, 0, INT32_MIN, 0, 7},   {4, 2, 40, 0x7FFFFFFF, 0, 8}, {4, 1, -40, 0x7FFFFFFF, 0, 9},
};

TEST(Fract32NormLms, MatchesTheExactModelAcrossCalls)
{
    for (const NormCase &c : kNormCases) {
        SCOPED_TRACE("taps " + std::to_string(c.numTaps) + " inc " + std::to_string(c.inc) + " postShift " +
                     std::to_string(c.postShift));
        const size_t total = 260;
        const size_t kept = static_cast<size_t>(c.numTaps - 1);
        std::vector<int32_t> x = firNoiseWords(total, c.seed);
        for (int32_t &v : x)
            v >>= c.amplitudeShift;
        const std::vector<int32_t> desired = firNoiseWords(total, c.seed + 100);

        LinearLms model{firNoiseWords(static_cast<size_t>(c.numTaps), c.seed + 200), std::vector<int32_t>(kept, 0),
                        0, 0};
        std::vector<int32_t> weights = model.weights;
        std::vector<int32_t> history(kept + 100 + 4, 0);
        int32_t energy = 0;
        int32_t leaving = 0;
        std::vector<int32_t> out(total);
        std::vector<int32_t> err(total);
        size_t done = 0;
        for (int32_t len : firBlockLengths(static_cast<int32_t>(total))) {
            kvetest::GuardedVector in(len, c.inc);
            kvetest::GuardedVector want(len, c.inc);
            kvetest::GuardedVector o(len, c.inc);
            kvetest::GuardedVector e(len, c.inc);
            for (int32_t i = 0; i < len; ++i) {
                in[i] = static_cast<uint32_t>(x[done + static_cast<size_t>(i)]);
                want[i] = static_cast<uint32_t>(desired[done + static_cast<size_t>(i)]);
            }
            kve_vecLMSNormFract32(in.as<int32_t>(), want.as<int32_t>(), o.as<int32_t>(), e.as<int32_t>(),
                                  history.data(), weights.data(), &energy, &leaving, len, c.inc, c.numTaps, c.mu,
                                  c.postShift);
            for (int32_t i = 0; i < len; ++i) {
                out[done + static_cast<size_t>(i)] = kvetest::intOf(o[i]);
                err[done + static_cast<size_t>(i)] = kvetest::intOf(e[i]);
            }
            done += static_cast<size_t>(len);
        }

        std::vector<int32_t> window = model.history;
        for (size_t i = 0; i < total; ++i) {
            window.push_back(x[i]);
            int32_t o = 0;
            int32_t e = 0;
            modelLinearLms(model, window, desired[i], c.mu, c.postShift, o, e);
            window.erase(window.begin());
            ASSERT_EQ(out[i], o) << "out " << i;
            ASSERT_EQ(err[i], e) << "err " << i;
        }
        EXPECT_EQ(weights, model.weights);
        EXPECT_EQ(energy, model.energy);
        EXPECT_EQ(leaving, model.leaving);
        EXPECT_EQ(std::vector<int32_t>(history.begin(), history.begin() + static_cast<ptrdiff_t>(kept)),
                  window)
            << "the last numTaps - 1 samples are kept at the front";
    }
}

// Two taps of -1 against a history of -1 sum to 2^63: out holds at the top and desired -1 minus it at the bottom,
// where 64-bit sums would wrap both to the other sign.
TEST(Fract32NormLms, SaturatesOutputAndError)
{
    std::vector<int32_t> history = {INT32_MIN, 0};
    std::vector<int32_t> weights = {INT32_MIN, INT32_MIN};
    const int32_t x = INT32_MIN;
    const int32_t desired = INT32_MIN;
    int32_t energy = 0;
    int32_t leaving = 0;
    int32_t out = 0;
    int32_t err = 0;
    kve_vecLMSNormFract32(&x, &desired, &out, &err, history.data(), weights.data(), &energy, &leaving, 1, 1, 2, 0, 0);
    EXPECT_EQ(out, INT32_MAX);
    EXPECT_EQ(err, INT32_MIN);
    EXPECT_EQ(energy, INT32_MAX) << "2^62 / 2^31 is one past the top";
    EXPECT_EQ(leaving, INT32_MIN);
    EXPECT_EQ(weights, (std::vector<int32_t>{INT32_MIN, INT32_MIN})) << "a step of mu 0 moves nothing";
}

// ---- Sizes that leave nothing to filter ----

// With no taps every LMS filter outputs 0 and passes desired to err, touching neither weights, ring nor index; with
// no samples it writes nothing. Ring indices outside the ring are taken modulo its length.
TEST(LmsSizes, NoTapsPassDesiredAndNoSamplesWriteNothing)
{
    const std::vector<float> fin = {0.5f, -0.25f, 0.75f};
    const std::vector<int32_t> win = {0x10000000, -0x20000000, 0x30000000};
    for (int32_t numTaps : {0, -1}) {
        std::vector<float> fo(3, 9.0f), fe(3, 9.0f), fw(2, 1.0f), fs(2, 2.0f);
        int32_t index = 1;
        float energy = 3.0f;
        kve_vecLMS(fin.data(), fin.data(), fo.data(), fe.data(), fw.data(), fs.data(), &index, 3, 0.5f, numTaps);
        EXPECT_EQ(fo, std::vector<float>(3, 0.0f));
        EXPECT_EQ(fe, fin);
        kve_vecLMSNorm(fin.data(), fin.data(), fo.data(), fe.data(), fw.data(), fs.data(), &index, 3, numTaps, &energy);
        EXPECT_EQ(fe, fin);
        EXPECT_EQ(fw, std::vector<float>(2, 1.0f));
        EXPECT_EQ(fs, std::vector<float>(2, 2.0f));
        EXPECT_EQ(energy, 3.0f);

        std::vector<int32_t> wo(3, 9), we(3, 9), ww(2, 1), ws(2, 2);
        int32_t e32 = 5;
        int32_t leaving = 6;
        kve_vecLMSFract32(win.data(), win.data(), wo.data(), we.data(), ww.data(), ws.data(), &index, 0, 3, numTaps,
                          0x40000000);
        EXPECT_EQ(wo, std::vector<int32_t>(3, 0));
        EXPECT_EQ(we, win);
        wo.assign(3, 9);
        we.assign(3, 9);
        kve_vecLMSNormFract32(win.data(), win.data(), wo.data(), we.data(), ws.data(), ww.data(), &e32, &leaving, 3, 1,
                              numTaps, 0x40000000, 0);
        EXPECT_EQ(wo, std::vector<int32_t>(3, 0));
        EXPECT_EQ(we, win);
        EXPECT_EQ(ww, std::vector<int32_t>(2, 1));
        EXPECT_EQ(ws, std::vector<int32_t>(2, 2));
        EXPECT_EQ(e32, 5);
        EXPECT_EQ(leaving, 6);
        EXPECT_EQ(index, 1);
    }

    for (int32_t n : {0, -4}) {
        std::vector<float> fo(3, 9.0f), fw(2, 1.0f), fs(2, 2.0f);
        std::vector<int32_t> wo(3, 9), ww(2, 1), ws(4, 2);
        int32_t index = 1;
        float energy = 3.0f;
        int32_t e32 = 5;
        int32_t leaving = 6;
        kve_vecLMS(fin.data(), fin.data(), fo.data(), fo.data(), fw.data(), fs.data(), &index, n, 0.5f, 2);
        kve_vecLMSNorm(fin.data(), fin.data(), fo.data(), fo.data(), fw.data(), fs.data(), &index, n, 2, &energy);
        kve_vecLMSFract32(win.data(), win.data(), wo.data(), wo.data(), ww.data(), ws.data(), &index, 0, n, 2, 1);
        kve_vecLMSNormFract32(win.data(), win.data(), wo.data(), wo.data(), ws.data(), ww.data(), &e32, &leaving, n, 1,
                              2, 1, 0);
        EXPECT_EQ(fo, std::vector<float>(3, 9.0f));
        EXPECT_EQ(wo, std::vector<int32_t>(3, 9));
        EXPECT_EQ(fw, std::vector<float>(2, 1.0f));
        EXPECT_EQ(ww, std::vector<int32_t>(2, 1));
        EXPECT_EQ(index, 1);
        EXPECT_EQ(energy, 3.0f);
        EXPECT_EQ(e32, 5);
        EXPECT_EQ(leaving, 6);
    }

    // A ring index past either end is taken modulo the ring: -1 and 7 on a ring of 4 both mean 3.
    for (int32_t start : {-1, 7}) {
        SCOPED_TRACE(start);
        std::vector<int32_t> ring = {1 << 28, 2 << 28, 3 << 28, 4 << 28};
        std::vector<int32_t> ringRef = ring;
        std::vector<int32_t> w = {0x40000000, 0x20000000, 0x10000000, 0x08000000};
        std::vector<int32_t> wRef = w;
        int32_t index = start;
        int32_t indexRef = 3;
        int32_t out[3], err[3], outRef[3], errRef[3];
        kve_vecLMSFract32(win.data(), win.data(), out, err, w.data(), ring.data(), &index, 0, 3, 4, 0x40000000);
        kve_vecLMSFract32(win.data(), win.data(), outRef, errRef, wRef.data(), ringRef.data(), &indexRef, 0, 3, 4,
                          0x40000000);
        EXPECT_EQ(std::vector<int32_t>(out, out + 3), std::vector<int32_t>(outRef, outRef + 3));
        EXPECT_EQ(w, wRef);
        EXPECT_EQ(ring, ringRef);
        EXPECT_EQ(index, indexRef);

        std::vector<float> fring = {0.1f, 0.2f, 0.3f, 0.4f};
        std::vector<float> fringRef = fring;
        std::vector<float> fw = {0.5f, 0.25f, 0.125f, 0.0625f};
        std::vector<float> fwRef = fw;
        float fout[3], ferr[3], foutRef[3], ferrRef[3];
        index = start;
        indexRef = 3;
        kve_vecLMS(fin.data(), fin.data(), fout, ferr, fw.data(), fring.data(), &index, 3, 0.5f, 4);
        kve_vecLMS(fin.data(), fin.data(), foutRef, ferrRef, fwRef.data(), fringRef.data(), &indexRef, 3, 0.5f, 4);
        EXPECT_EQ(std::vector<float>(fout, fout + 3), std::vector<float>(foutRef, foutRef + 3));
        EXPECT_EQ(fw, fwRef);
        EXPECT_EQ(index, indexRef);
    }
}

} // namespace
