// The Fract32 biquad modules: coefficient words and shifts derived by Set, samples checked word for word against
// integer models of the sections, the update handshake between Set and Process, the glide of the smoothed section
// (its gain kept continuous when a new design needs another shift), the datapath choice of BiquadV2Fract32, and the
// bounds that keep a host's writes and a wire's later reshaping inside the module's own memory.
#include "FilterFract32TestSupport.h"

#include "kve/kve_design.h"
#include "kve/kve_vec_biquad_fixed.h"
#include "support/PythonOracle.h"

namespace filtertest {
namespace {

// Cascade variables: numStages, then coeffs, coeffsFract32, state, postShift.
enum { kStages = 0, kCascadeCoeffs = 1, kCascadeWords = 2, kCascadeState = 3, kCascadeShifts = 4 };
// BiquadFract32: updateActive, postShift, pendingPostShift, coeffs, coeffsFract32, state, pendingCoeffsFract32.
enum { kBqActive = 0, kBqShift = 1, kBqPendingShift = 2, kBqCoeffs = 3, kBqWords = 4, kBqState = 5, kBqPending = 6 };
// BiquadSmoothedFract32: updateActive, smoothingTime, smoothingCoeffFract32, postShift, pendingPostShift, coeffs,
// targetCoeffsFract32, currentCoeffsFract32, state.
enum { kSmActive = 0, kSmTime = 1, kSmCoeff = 2, kSmShift = 3, kSmPendingShift = 4, kSmCoeffs = 5, kSmTarget = 6,
       kSmCurrent = 7 };
// BiquadV2Fract32: precision, updateActive, extraShift, numShift, pendingNumShift, denShift, pendingDenShift,
// coeffs, coeffsFract32, state, pendingCoeffsFract32.
enum { kV2Precision = 0, kV2Active = 1, kV2Extra = 2, kV2NumShift = 3, kV2PendingNum = 4, kV2DenShift = 5,
       kV2PendingDen = 6, kV2Coeffs = 7, kV2Words = 8, kV2Pending = 10 };

using BiquadsFract32 = FiltersFract32;

// One glide step of the smoothed section: current (1 - k) + target k, each product floored, the sum saturated.
int32_t glideStep(int32_t current, int32_t target, int32_t k)
{
    const __int128 keep = kvetest::floorDivPow2(static_cast<__int128>(current) * (static_cast<__int128>(kMax) - k), 31);
    const __int128 pull = kvetest::floorDivPow2(static_cast<__int128>(target) * k, 31);
    return clampTo32(keep + pull);
}

TEST_F(BiquadsFract32, CascadeHoldsEachStageInQ31WithItsOwnShift)
{
    struct Case {
        std::vector<float> coeffs;
        int shift;
    };
    const Case cases[] = {
        {{1.9f, -0.5f, 0.25f, 0.1f, 0.2f}, 1},          // largest 1.9: held as 0.95 with shift 1
        {{0.49f, -0.3f, 0.1f, -0.2f, 0.05f}, 0},        // all below 0.5
        {{0.0f, 0.0f, 0.0f, 0.0f, 0.0f}, 0},            // silence: no shift, zero words
        {{1.0f, -2.0f, 1.0f, -1.5f, 0.5625f}, 2},       // -2.0 needs 2^2
        {{3e-10f, -3e-10f, 1e-9f, 0.75f, -0.999f}, 0},  // words of a unit or two round to nearest
        {{0.0f, 0.0f, 0.0f, -1.0f, 0.3f}, 1},           // -1.0 itself needs 2^1
    };
    GenericWire *in = wire(1, 8);
    GenericWire *out = wire(1, 8);
    ClassModule *m = build(kCascade, 0x101, {in, out}, {static_cast<uint32_t>(std::size(cases))});
    ASSERT_NE(m, nullptr);
    for (size_t k = 0; k < std::size(cases); ++k)
        std::copy(cases[k].coeffs.begin(), cases[k].coeffs.end(), array<float>(m, kCascadeCoeffs) + 5 * k);
    EXPECT_EQ(set(m), 0);
    for (size_t k = 0; k < std::size(cases); ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(array(m, kCascadeShifts)[k], cases[k].shift);
        EXPECT_EQ(shiftOf(cases[k].coeffs), cases[k].shift);
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(array(m, kCascadeWords)[5 * k + i], q31(cases[k].coeffs[i], cases[k].shift)) << i;
    }
    EXPECT_EQ(static_cast<uint32_t>(array(m, kCascadeWords)[0]), 0x79999980u); // 0.95 in Q1.31
    EXPECT_EQ(array(m, kCascadeWords)[20], 1);                                  // 3e-10 x 2^31 = 0.64 rounds up
    EXPECT_EQ(array(m, kCascadeWords)[21], -1);
}

// Two stages, one with a gain that drives full-scale input into saturation, over two blocks: every channel is its
// own cascade with its own state, a one-channel wire takes the unstrided kernel, and the words match the model.
TEST_F(BiquadsFract32, CascadeRunsEveryChannelAsTheModelDoes)
{
    const std::vector<float> design = {1.9f, -0.5f, 0.25f, 0.1f, 0.2f, 0.2f, 0.4f, 0.2f, -0.6f, 0.4f};
    for (uint32_t ch : {1u, 2u, 3u}) {
        SCOPED_TRACE(ch);
        constexpr uint32_t kBlock = 12;
        GenericWire *in = wire(ch, kBlock);
        GenericWire *out = wire(ch, kBlock);
        ClassModule *m = build(kCascade, 0x101, {in, out}, {2});
        ASSERT_NE(m, nullptr);
        write(m, kCascadeCoeffs, design);
        set(m);
        const int32_t *words = array(m, kCascadeWords);
        const int32_t *shifts = array(m, kCascadeShifts);
        std::vector<int32_t> state(8 * ch, 0);
        const std::vector<int32_t> x = testSignal(2 * kBlock * ch);
        for (uint32_t b = 0; b < 2; ++b) {
            const int32_t *block = x.data() + b * kBlock * ch;
            load(in, block);
            process(m);
            std::vector<int32_t> expected(kBlock * ch);
            for (uint32_t c = 0; c < ch; ++c) {
                int32_t *s = state.data() + 8 * c;
                cascadeSection(block + c, static_cast<int>(ch), expected.data() + c, static_cast<int>(ch), words, s,
                               shifts[0], kBlock);
                cascadeSection(expected.data() + c, static_cast<int>(ch), expected.data() + c, static_cast<int>(ch),
                               words + 5, s + 4, shifts[1], kBlock);
            }
            EXPECT_EQ(contents(out), expected) << "block " << b;
        }
        EXPECT_EQ(std::vector<int32_t>(array(m, kCascadeState), array(m, kCascadeState) + 8 * ch), state);
    }
}

// The converted cascade is the float design within Q1.31 precision: scipy's double-precision run of the same
// sections on a moderate signal.
TEST_F(BiquadsFract32, CascadeFollowsTheFloatDesign)
{
    constexpr uint32_t kBlock = 64;
    const std::vector<float> design = {0.0675f, 0.135f, 0.0675f, -1.1430f, 0.4128f,
                                       1.6f,    -1.2f,  0.3f,    -0.5f,    0.1f};
    GenericWire *in = wire(1, kBlock);
    GenericWire *out = wire(1, kBlock);
    ClassModule *m = build(kCascade, 0x101, {in, out}, {2});
    ASSERT_NE(m, nullptr);
    write(m, kCascadeCoeffs, design);
    set(m);
    const std::vector<int32_t> x = testSignal(kBlock, 0.25);
    load(in, x.data());
    process(m);
    std::vector<std::string> args = {"2"};
    for (float c : design)
        args.push_back(kvetest::oracleArg(c));
    for (int32_t w : x)
        args.push_back(kvetest::oracleArg(w / 2147483648.0));
    const std::vector<double> expected = kvetest::runOracle("filterf_sosfilt.py", args);
    ASSERT_EQ(expected.size(), kBlock);
    for (uint32_t i = 0; i < kBlock; ++i)
        EXPECT_NEAR(data(out)[i] / 2147483648.0, expected[i], 2e-7) << i;
}

// A count the host raises past what was allocated runs the allocated stages; a lower count runs fewer.
TEST_F(BiquadsFract32, CascadeHoldsAWrittenStageCountToItsArrays)
{
    constexpr uint32_t kBlock = 8;
    const std::vector<float> design = {0.5f, 0.25f, 0.0f, -0.25f, 0.0f, 0.75f, -0.5f, 0.125f, 0.5f, 0.25f};
    const std::vector<int32_t> x = testSignal(kBlock * 2, 0.5);
    auto run = [&](int32_t stages, std::vector<int32_t> *state) {
        GenericWire *in = wire(2, kBlock);
        GenericWire *out = wire(2, kBlock);
        ClassModule *m = build(kCascade, 0x101, {in, out}, {2});
        write(m, kCascadeCoeffs, design);
        var(m, kStages) = stages;
        set(m);
        load(in, x.data());
        process(m);
        *state = std::vector<int32_t>(array(m, kCascadeState), array(m, kCascadeState) + 16);
        return contents(out);
    };
    std::vector<int32_t> twoState, manyState, oneState;
    const std::vector<int32_t> two = run(2, &twoState);
    EXPECT_EQ(run(1000, &manyState), two);
    EXPECT_EQ(manyState, twoState);

    const std::vector<int32_t> one = run(1, &oneState);
    std::vector<int32_t> expected(2 * kBlock);
    for (int c = 0; c < 2; ++c) {
        std::vector<int32_t> s(4, 0);
        int32_t words[5];
        for (int i = 0; i < 5; ++i)
            words[i] = q31(design[i], 0);
        cascadeSection(x.data() + c, 2, expected.data() + c, 2, words, s.data(), 0, kBlock);
        // With one stage, channel 1's state follows channel 0's directly.
        EXPECT_EQ(std::vector<int32_t>(oneState.begin() + 4 * c, oneState.begin() + 4 * c + 4), s);
    }
    EXPECT_EQ(one, expected);
    EXPECT_EQ(run(-3, &oneState), contents(wire(2, kBlock))); // no stage: the kernel leaves the output as it was
}

// Set prepares the pending words and raises updateActive; Process takes them over at the next block, and takes
// nothing while the flag is down.
TEST_F(BiquadsFract32, BiquadTakesPendingWordsOnlyWhileUpdateIsActive)
{
    GenericWire *in = wire(1, 4);
    GenericWire *out = wire(1, 4);
    ClassModule *m = build(kBiquad, 0x101, {in, out}, {0, 0, 0});
    ASSERT_NE(m, nullptr);
    const std::vector<float> design = {1.5f, -0.75f, 0.25f, -0.5f, 0.125f};
    write(m, kBqCoeffs, design);
    EXPECT_EQ(set(m), 0);
    EXPECT_EQ(var(m, kBqActive), 1);
    EXPECT_EQ(var(m, kBqPendingShift), 1);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(array(m, kBqPending)[i], q31(design[i], 1));
        EXPECT_EQ(array(m, kBqWords)[i], 0); // not before the block
    }
    EXPECT_EQ(var(m, kBqShift), 0);
    process(m);
    EXPECT_EQ(var(m, kBqShift), 1);
    EXPECT_EQ(std::vector<int32_t>(array(m, kBqWords), array(m, kBqWords) + 5),
              std::vector<int32_t>(array(m, kBqPending), array(m, kBqPending) + 5));
    EXPECT_EQ(var(m, kBqActive), 1); // the flag stays raised

    // A host that lowers the flag keeps the running words whatever the pending ones hold.
    var(m, kBqActive) = 0;
    std::fill_n(array(m, kBqPending), 5, 0x11111111);
    var(m, kBqPendingShift) = 5;
    process(m);
    EXPECT_EQ(var(m, kBqShift), 1);
    EXPECT_EQ(array(m, kBqWords)[0], q31(1.5f, 1));

    // Set raises it again, and the next block runs the new design.
    write(m, kBqCoeffs, {0.5f, 0.0f, 0.0f, 0.0f, 0.0f});
    set(m);
    process(m);
    EXPECT_EQ(var(m, kBqShift), 0);
    EXPECT_EQ(array(m, kBqWords)[0], 0x40000000);
}

TEST_F(BiquadsFract32, BiquadRunsEveryChannelAsTheModelDoes)
{
    const std::vector<float> design = {1.5f, -0.75f, 0.25f, -0.5f, 0.125f};
    for (uint32_t ch : {1u, 3u}) {
        SCOPED_TRACE(ch);
        constexpr uint32_t kBlock = 10;
        GenericWire *in = wire(ch, kBlock);
        GenericWire *out = wire(ch, kBlock);
        ClassModule *m = build(kBiquad, 0x101, {in, out}, {0, 0, 0});
        write(m, kBqCoeffs, design);
        set(m);
        int32_t words[5];
        for (int i = 0; i < 5; ++i)
            words[i] = q31(design[i], 1);
        std::vector<int32_t> state(4 * ch, 0);
        const std::vector<int32_t> x = testSignal(2 * kBlock * ch);
        for (uint32_t b = 0; b < 2; ++b) {
            load(in, x.data() + b * kBlock * ch);
            process(m);
            std::vector<int32_t> expected(kBlock * ch);
            for (uint32_t c = 0; c < ch; ++c)
                directFormI(x.data() + b * kBlock * ch + c, expected.data() + c, static_cast<int>(ch), words,
                            state.data() + 4 * c, 1, kBlock);
            EXPECT_EQ(contents(out), expected) << "block " << b;
        }
    }
}

TEST_F(BiquadsFract32, SmoothedSetDerivesItsStepAndTargets)
{
    struct Case {
        float timeMs;
        std::vector<float> coeffs;
        int shift;
    };
    const Case cases[] = {
        {0.0f, {0.0f, 0.0f, 0.0f, 0.0f, 0.0f}, 0}, // silence: shift 0, zero words, the target in one block
        {20.0f, {1.2f, -0.3f, 0.0f, -1.7f, 0.72f}, 1},
        {5.0f, {0.4f, 0.2f, 0.1f, 0.0f, 0.0f}, 0},
        {100.0f, {-3.5f, 0.0f, 0.0f, 0.0f, 0.0f}, 2},
    };
    constexpr uint32_t kBlock = 32;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.timeMs);
        GenericWire *in = wire(1, kBlock);
        GenericWire *out = wire(1, kBlock);
        ClassModule *m = build(kSmoothed, 0x101, {in, out}, {0, bitsOf(c.timeMs), 0, 0, 0});
        ASSERT_NE(m, nullptr);
        write(m, kSmCoeffs, c.coeffs);
        EXPECT_EQ(set(m), 0);
        // The per-block step of a one-pole smoother that covers 63% of the way in timeMs.
        const double step = c.timeMs == 0.0f ? 1.0 : 1.0 - std::exp(-1000.0 * kBlock / (c.timeMs * kRate));
        EXPECT_NEAR(var(m, kSmCoeff) / 2147483648.0, step, 1e-6);
        EXPECT_EQ(var(m, kSmPendingShift), c.shift);
        EXPECT_EQ(var(m, kSmActive), 1);
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(array(m, kSmTarget)[i], q31(c.coeffs[i], c.shift)) << i;
    }
}

// The current words move one step toward the targets per block, and each block runs with the words of its step.
TEST_F(BiquadsFract32, SmoothedGlidesOneStepPerBlock)
{
    constexpr uint32_t kBlock = 6;
    GenericWire *in = wire(2, kBlock);
    GenericWire *out = wire(2, kBlock);
    ClassModule *m = build(kSmoothed, 0x101, {in, out}, {0, bitsOf(0.5f), 0, 0, 0});
    ASSERT_NE(m, nullptr);
    const std::vector<float> design = {0.9f, -0.6f, 0.3f, -0.4f, 0.2f};
    write(m, kSmCoeffs, design);
    set(m);
    const int32_t k = var(m, kSmCoeff);
    ASSERT_GT(k, 0);
    ASSERT_LT(k, kMax);
    int32_t current[5] = {};
    std::vector<int32_t> state(8, 0);
    const std::vector<int32_t> x = testSignal(4 * 2 * kBlock, 0.5);
    for (int b = 0; b < 4; ++b) {
        for (int i = 0; i < 5; ++i)
            current[i] = glideStep(current[i], q31(design[i], 0), k);
        load(in, x.data() + b * 2 * kBlock);
        process(m);
        EXPECT_EQ(std::vector<int32_t>(array(m, kSmCurrent), array(m, kSmCurrent) + 5),
                  std::vector<int32_t>(current, current + 5))
            << "block " << b;
        std::vector<int32_t> expected(2 * kBlock);
        for (int c = 0; c < 2; ++c)
            directFormI(x.data() + b * 2 * kBlock + c, expected.data() + c, 2, current, state.data() + 4 * c, 0,
                        kBlock);
        EXPECT_EQ(contents(out), expected) << "block " << b;
    }
    // With the flag down the words stay where they are.
    var(m, kSmActive) = 0;
    process(m);
    EXPECT_EQ(array(m, kSmCurrent)[0], current[0]);
}

// A gain stage on a steady input: moving to a design that needs another shift glides from the gain the stage had,
// in both directions. Going down, a current coefficient at or above 1.0 cannot be held under the smaller shift: it
// starts from just under 1.0.
TEST_F(BiquadsFract32, SmoothedGainStaysContinuousWhenTheShiftChanges)
{
    constexpr uint32_t kBlock = 16;
    constexpr int32_t kInput = 0x20000000; // 0.25
    struct Case {
        float from;
        float to;
        double glideStart;
    };
    for (const Case c : {Case{0.9f, 1.2f, 0.9}, Case{0.3f, 3.0f, 0.3}, Case{2.5f, 1.5f, 2.0}, Case{1.2f, 0.9f, 1.0},
                         Case{0.6f, 0.45f, 0.6}}) {
        SCOPED_TRACE(c.to);
        GenericWire *in = wire(1, kBlock);
        GenericWire *out = wire(1, kBlock);
        ClassModule *m = build(kSmoothed, 0x101, {in, out}, {0, bitsOf(0.0f), 0, 0, 0});
        ASSERT_NE(m, nullptr);
        std::fill_n(data(in), kBlock, kInput);
        write(m, kSmCoeffs, {c.from, 0.0f, 0.0f, 0.0f, 0.0f});
        set(m);
        process(m);
        EXPECT_NEAR(data(out)[kBlock - 1] / 2147483648.0, 0.25 * c.from, 1e-8);

        var<float>(m, kSmTime) = 20.0f;
        write(m, kSmCoeffs, {c.to, 0.0f, 0.0f, 0.0f, 0.0f});
        set(m);
        const double k = var(m, kSmCoeff) / 2147483648.0;
        double previous = 0.25 * c.glideStart;
        for (int b = 0; b < 600; ++b) {
            process(m);
            const double now = data(out)[kBlock - 1] / 2147483648.0;
            // Each block moves the gain by the step's share of what is left, never more.
            EXPECT_NEAR(now - previous, k * (0.25 * c.to - previous), 1e-6) << "block " << b;
            previous = now;
        }
        EXPECT_NEAR(previous, 0.25 * c.to, 1e-4);
        EXPECT_EQ(var(m, kSmShift), shiftOf({c.to}));
    }
}

// Current words that do not fit the new shift saturate when they are brought to it.
TEST_F(BiquadsFract32, SmoothedRescaleSaturates)
{
    GenericWire *in = wire(1, 4);
    GenericWire *out = wire(1, 4);
    ClassModule *m = build(kSmoothed, 0x101, {in, out}, {0, bitsOf(0.0f), 0, 0, 0});
    write(m, kSmCoeffs, {1.5f, -1.5f, 0.25f, 0.0f, 0.0f});
    set(m);
    process(m);
    ASSERT_EQ(var(m, kSmShift), 1);
    var<float>(m, kSmTime) = 1e6f;
    write(m, kSmCoeffs, {0.5f, -0.5f, 0.25f, 0.0f, 0.0f});
    set(m);
    ASSERT_EQ(var(m, kSmPendingShift), 0);
    const int32_t k = var(m, kSmCoeff);
    const int32_t held[3] = {array(m, kSmCurrent)[0], array(m, kSmCurrent)[1], array(m, kSmCurrent)[2]};
    process(m);
    EXPECT_EQ(var(m, kSmShift), 0);
    EXPECT_EQ(array(m, kSmCurrent)[0], glideStep(kMax, q31(0.5f, 0), k));
    EXPECT_EQ(array(m, kSmCurrent)[1], glideStep(kMin, q31(-0.5f, 0), k));
    EXPECT_EQ(array(m, kSmCurrent)[2], glideStep(held[2] * 2, q31(0.25f, 0), k));
    EXPECT_EQ(held[0], q31(1.5f, 1) - 1); // one unit under the target after a whole step
}

TEST_F(BiquadsFract32, V2HoldsFeedForwardAndFeedbackWithTheirOwnShifts)
{
    struct Case {
        std::vector<float> coeffs;
        int32_t extra;
        int32_t numShift;
        int32_t denShift;
    };
    const Case cases[] = {
        {{0.5f, 0.0f, 0.0f, 0.0f, 0.0f}, 0, 0, 0},         // zero pairs take no exponent
        {{0.9f, 0.3f, 0.1f, -1.5f, 0.7f}, 1, 0, 1},        // log2 0.3 = -1.7 toward zero is -1
        {{0.2f, 2.5f, -0.4f, 0.2f, 0.1f}, 1, 2, -1},       // a small feedback pair is scaled up
        {{0.25f, -5.0f, 0.0f, -1.9f, 0.95f}, 3, 5, 3},     // extraShift adds to both
        {{4.0f, 0.1f, 0.0f, 0.0f, 0.0f}, 1, -2, 1},        // b0 takes no part: 4 x 2^2 saturates
    };
    GenericWire *in = wire(1, 4);
    GenericWire *out = wire(1, 4);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.coeffs[1]);
        ClassModule *m = build(kV2, 0x101, {in, out}, {2, 0, static_cast<uint32_t>(c.extra), 0, 0, 0, 0});
        ASSERT_NE(m, nullptr);
        write(m, kV2Coeffs, c.coeffs);
        EXPECT_EQ(set(m), 0);
        EXPECT_EQ(var(m, kV2Active), 1);
        EXPECT_EQ(var(m, kV2PendingNum), c.numShift);
        EXPECT_EQ(var(m, kV2PendingDen), c.denShift);
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(array(m, kV2Pending)[i], q31(c.coeffs[i], i < 3 ? c.numShift : c.denShift)) << i;
        process(m);
        EXPECT_EQ(var(m, kV2NumShift), c.numShift);
        EXPECT_EQ(var(m, kV2DenShift), c.denShift);
        EXPECT_EQ(array(m, kV2Words)[3], array(m, kV2Pending)[3]);
    }
}

// Precision 0 to 3 run the datapath of that number on every channel with its own state (six words a channel for
// the 56-bit accumulator, four for the others); any other precision leaves the output as it was.
TEST_F(BiquadsFract32, V2RunsTheDatapathItsPrecisionNames)
{
    using Kernel = void (*)(const Fract32 *, int32_t, Fract32 *, int32_t, const Fract32 *, Fract32 *, int32_t,
                            int32_t, int32_t);
    const Kernel kernels[] = {kve_vecBiquadFract24x24A56, kve_vecBiquadFract32x32A32, kve_vecBiquadFract32x32A64,
                              kve_vecBiquadFract24x24A24};
    const std::vector<float> design = {0.8f, -1.2f, 0.5f, -1.6f, 0.68f};
    constexpr uint32_t kBlock = 9;
    constexpr uint32_t kCh = 2;
    const std::vector<int32_t> x = testSignal(3 * kBlock * kCh, 0.6);
    for (int32_t precision = 0; precision < 4; ++precision) {
        SCOPED_TRACE(precision);
        GenericWire *in = wire(kCh, kBlock);
        GenericWire *out = wire(kCh, kBlock);
        ClassModule *m = build(kV2, 0x101, {in, out}, {static_cast<uint32_t>(precision), 0, 1, 0, 0, 0, 0});
        write(m, kV2Coeffs, design);
        set(m);
        const int32_t numShift = var(m, kV2PendingNum);
        const int32_t denShift = var(m, kV2PendingDen);
        std::vector<int32_t> words(array(m, kV2Pending), array(m, kV2Pending) + 5);
        std::vector<int32_t> state(6 * kCh, 0);
        for (uint32_t b = 0; b < 3; ++b) {
            const int32_t *block = x.data() + b * kBlock * kCh;
            load(in, block);
            process(m);
            std::vector<int32_t> expected(kBlock * kCh);
            for (uint32_t c = 0; c < kCh; ++c)
                kernels[precision](block + c, kCh, expected.data() + c, kCh, words.data(), state.data() + 6 * c,
                                   numShift, denShift, kBlock);
            EXPECT_EQ(contents(out), expected) << "block " << b;
        }
    }
    for (int32_t precision : {4, -1}) {
        GenericWire *in = wire(kCh, kBlock);
        GenericWire *out = wire(kCh, kBlock);
        ClassModule *m = build(kV2, 0x101, {in, out}, {static_cast<uint32_t>(precision), 0, 1, 0, 0, 0, 0});
        write(m, kV2Coeffs, design);
        set(m);
        load(in, x.data());
        std::fill_n(data(out), kBlock * kCh, 0x5A5A5A5A);
        process(m);
        EXPECT_EQ(contents(out), std::vector<int32_t>(kBlock * kCh, 0x5A5A5A5A)) << precision;
    }
}

// The classes read one input and write one output: wiring without either is refused.
TEST_F(BiquadsFract32, RefuseWiringWithoutAnInputAndAnOutput)
{
    struct Case {
        uint32_t classId;
        std::vector<uint32_t> args;
    };
    const Case cases[] = {{kCascade, {1}},    {kBiquad, {0, 0, 0}},          {kSmoothed, {0, 0, 0, 0, 0}},
                          {kV2, {0, 0, 0, 0, 0, 0, 0}}, {kFir, {3, 0, 0}}};
    GenericWire *w = wire(1, 8);
    for (const Case &c : cases)
        for (uint32_t wireWord : {0x1u, 0x100u}) {
            int32_t status = KVE_OK;
            EXPECT_EQ(build(c.classId, wireWord, {w, w}, c.args, &status), nullptr);
            EXPECT_EQ(status, KVE_E_ARG_COUNT) << std::hex << c.classId << " " << wireWord;
        }
}

// A wire that gains channels after construction gets the channels the state was allocated for; the others are left
// as they were.
TEST_F(BiquadsFract32, ChannelsBeyondTheAllocatedStateAreLeftAlone)
{
    struct Case {
        uint32_t classId;
        std::vector<uint32_t> args;
    };
    const Case cases[] = {{kCascade, {3}},    {kBiquad, {0, 0, 0}},          {kSmoothed, {0, 0, 0, 0, 0}},
                          {kV2, {0, 0, 0, 0, 0, 0, 0}}, {kFir, {5, 0, 0}}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.classId);
        GenericWire *in = wire(1, 16);
        GenericWire *out = wire(1, 16);
        ClassModule *m = build(c.classId, 0x101, {in, out}, c.args);
        ASSERT_NE(m, nullptr);
        set(m);
        for (GenericWire *w : {in, out}) {
            w->info1 = (w->info1 & ~0x3FFu) | 2u;
            w->info2 = 8;
        }
        std::fill_n(data(in), 16, 0x01000000);
        std::fill_n(data(out), 16, 0x5A5A5A5A);
        process(m);
        for (uint32_t t = 0; t < 8; ++t)
            EXPECT_EQ(data(out)[2 * t + 1], 0x5A5A5A5A) << t;
    }
}

} // namespace
} // namespace filtertest
