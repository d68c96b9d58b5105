// The range tests and zero-crossing detectors: which output each range mode writes and which it must not, the
// all-in-range flag over the whole input, crossings of every direction on several channels across blocks against a
// numpy model, the sign state kept per channel, the channels a reshaped wire may reach, and bypass.
#include <cmath>
#include <limits>
#include <string>

#include "LogicTestSupport.h"
#include "support/PythonOracle.h"

namespace {

using namespace logictest;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// ---- Range tests ----

// The same range problem for both classes: the samples, as words, and bounds such that the flags are
// {0, 1, 1, 0, 1, 1} (below, inside, inside, above, inside, inside).
struct RangeForm {
    uint32_t classId;
    std::vector<int32_t> samples;
    uint32_t lower;
    uint32_t upper;
    int32_t inside; // one sample word that is in range
    int32_t above;  // one sample word that is out of range
};

std::vector<RangeForm> rangeForms()
{
    auto f = [](float v) { return static_cast<int32_t>(bitsOf(v)); };
    return {
        // A NaN sample is neither below nor above the bounds, so it counts as inside.
        {kWithinRange, {f(-1.0f), f(0.5f), f(kNaN), f(2.0f), f(0.0f), f(1.0f)}, bitsOf(0.0f), bitsOf(1.0f),
         f(0.5f), f(2.0f)},
        {kWithinRangeFract32, {INT32_MIN, 0x40000000, 0, INT32_MAX, -1, 0x20000000}, static_cast<uint32_t>(-1),
         0x40000000u, 0x20000000, INT32_MAX},
    };
}

class LogicRange : public Logic {
protected:
    ClassModule *range(const RangeForm &f, int32_t mode, std::vector<GenericWire *> wires)
    {
        const auto outputs = static_cast<uint32_t>(wires.size() - 1);
        return build(f.classId, wiring(1, outputs), std::move(wires),
                     {f.lower, f.upper, 7, static_cast<uint32_t>(mode)});
    }
};

TEST_F(LogicRange, EachOutputModeWritesOnlyWhatItNames)
{
    constexpr int32_t S = kSentinel;
    struct Case {
        int32_t mode;
        std::vector<int32_t> out;
    } cases[] = {
        {0, {S, S, S, S, S, S}},
        {1, {0, S, S, S, S, S}},  // the block flag
        {2, {0, 1, 1, 0, 1, 1}},  // one flag per sample
        {3, {S, S, S, S, S, S}},  // no other mode reaches the output
        {-1, {S, S, S, S, S, S}},
        {INT32_MAX, {S, S, S, S, S, S}},
    };
    for (const RangeForm &f : rangeForms()) {
        for (const Case &c : cases) {
            GenericWire *in = wire(2, 3);
            load(in, f.samples);
            GenericWire *out = filled(wire(2, 3), kSentinel);
            ClassModule *m = range(f, c.mode, {in, out});
            ASSERT_NE(m, nullptr);
            pump(m);
            EXPECT_EQ(var(m, 2), 0) << std::hex << f.classId << std::dec << " mode " << c.mode;
            EXPECT_EQ(words<int32_t>(out), c.out) << std::hex << f.classId << std::dec << " mode " << c.mode;
        }
        // Every sample inside: the block flag is 1.
        GenericWire *in = filled(wire(1, 4), f.inside);
        GenericWire *out = filled(wire(1, 4), kSentinel);
        ClassModule *m = range(f, 1, {in, out});
        ASSERT_NE(m, nullptr);
        pump(m);
        EXPECT_EQ(var(m, 2), 1);
        EXPECT_EQ(words<int32_t>(out), (std::vector<int32_t>{1, S, S, S}));
    }
}

TEST_F(LogicRange, FlagsStayInsideTheOutputWhileTheBlockFlagCoversEverySample)
{
    for (const RangeForm &f : rangeForms()) {
        // Without an output, or with two, every mode only sets allInRange.
        for (int32_t mode : {1, 2}) {
            GenericWire *in = wire(2, 3);
            load(in, f.samples);
            ClassModule *none = range(f, mode, {in});
            ASSERT_NE(none, nullptr);
            pump(none);
            EXPECT_EQ(var(none, 2), 0);

            GenericWire *first = filled(wire(2, 3), kSentinel);
            GenericWire *second = filled(wire(2, 3), kSentinel);
            ClassModule *two = range(f, mode, {in, first, second});
            ASSERT_NE(two, nullptr);
            pump(two);
            EXPECT_EQ(var(two, 2), 0);
            EXPECT_EQ(words<int32_t>(first), std::vector<int32_t>(6, kSentinel));
            EXPECT_EQ(words<int32_t>(second), std::vector<int32_t>(6, kSentinel));

            // An empty output has no word for either mode.
            GenericWire *empty = wire(0, 3);
            ClassModule *onEmpty = range(f, mode, {in, empty});
            ASSERT_NE(onEmpty, nullptr);
            pump(onEmpty);
            EXPECT_EQ(var(onEmpty, 2), 0);
            EXPECT_TRUE(fenced(empty));
        }
        // Per-sample flags into an output shorter than the input: the flags it holds are written, and the sample
        // out of range past them still clears allInRange.
        GenericWire *in = filled(wire(1, 6), f.inside);
        data<int32_t>(in)[4] = f.above;
        GenericWire *small = filled(wire(1, 3), kSentinel);
        ClassModule *m = range(f, 2, {in, small});
        ASSERT_NE(m, nullptr);
        pump(m);
        EXPECT_EQ(words<int32_t>(small), (std::vector<int32_t>{1, 1, 1}));
        EXPECT_TRUE(fenced(small));
        EXPECT_EQ(var(m, 2), 0);

        // No samples: nothing is outside.
        ClassModule *empty = range(f, 0, {wire(0, 4)});
        ASSERT_NE(empty, nullptr);
        pump(empty);
        EXPECT_EQ(var(empty, 2), 1);
    }
}

TEST_F(LogicRange, BypassMarksEveryOutputWordInRange)
{
    for (const RangeForm &f : rangeForms()) {
        GenericWire *in = wire(2, 3);
        load(in, f.samples);
        GenericWire *out = filled(wire(2, 3), kSentinel);
        ClassModule *m = range(f, 0, {in, out});
        ASSERT_NE(m, nullptr);
        pumpBypassed(m);
        EXPECT_EQ(words<int32_t>(out), std::vector<int32_t>(6, 1));

        GenericWire *one = filled(wire(1, 1), kSentinel);
        ClassModule *single = range(f, 0, {in, one});
        ASSERT_NE(single, nullptr);
        pumpBypassed(single);
        EXPECT_EQ(data<int32_t>(one)[0], 1);

        ClassModule *none = range(f, 0, {in});
        ASSERT_NE(none, nullptr);
        pumpBypassed(none);
    }
}

// ---- Zero-crossing detectors ----

struct CrossingForm {
    uint32_t classId;
    int32_t flag; // the output word of a crossing
    bool floatSamples;
};

const CrossingForm kCrossingForms[] = {
    {kZeroCrossing, static_cast<int32_t>(bitsOf(1.0f)), true},
    {kZeroCrossingFract32, INT32_MAX, false},
};

class LogicCrossing : public Logic {
protected:
    // The sample words of `values` in the form's sample type (the Fract32 word of a value is the integer itself).
    static std::vector<int32_t> samples(const CrossingForm &f, const std::vector<float> &values)
    {
        std::vector<int32_t> w;
        for (float v : values)
            w.push_back(f.floatSamples ? static_cast<int32_t>(bitsOf(v)) : static_cast<int32_t>(v));
        return w;
    }
    // Runs a detector over consecutive blocks of an interleaved signal and returns every output word.
    std::vector<int32_t> detect(ClassModule *m, GenericWire *in, GenericWire *out, const std::vector<int32_t> &x)
    {
        std::vector<int32_t> flags;
        const uint32_t block = kve::kit::wireWords(in);
        for (size_t start = 0; start < x.size(); start += block) {
            load(in, std::vector<int32_t>(x.begin() + static_cast<ptrdiff_t>(start),
                                          x.begin() + static_cast<ptrdiff_t>(start + block)));
            pump(m);
            const auto w = words<int32_t>(out);
            flags.insert(flags.end(), w.begin(), w.end());
        }
        return flags;
    }
};

TEST_F(LogicCrossing, EveryDirectionOnEveryChannelAcrossBlocksMatchesTheModel)
{
    // Three channels, four blocks of three frames; exact zeros (and -0.0) count as positive, and each channel's sign
    // carries over into the next block.
    constexpr uint32_t kChannels = 3;
    constexpr uint32_t kFrames = 3;
    const std::vector<float> signal = {
        -1, 0,  2,  -3, 5,  -0.0f, 4,  -1, -2, //
        -2, -4, 7,  0,  -1, 1,     3,  2,  -5, //
        -1, 3,  -6, 2,  -8, 0,     -1, 9,  0,  //
        5,  -2, -3, -4, 0,  -7,    6,  -1, -1,
    };
    std::vector<std::string> args{std::to_string(kChannels)};
    for (float v : signal)
        args.push_back(kvetest::oracleArg(v));
    const std::vector<double> oracle = kvetest::runOracle("logic_modules_crossings.py", args);
    ASSERT_EQ(oracle.size(), 3 * signal.size() + kChannels);

    for (const CrossingForm &f : kCrossingForms) {
        const int32_t modes[] = {0, 1, -1};
        for (int d = 0; d < 3; ++d) {
            for (int32_t mode : {modes[d], modes[d] * 5}) { // the direction is the sign of crossingType
                GenericWire *in = wire(kChannels, kFrames);
                GenericWire *out = wire(kChannels, kFrames);
                ClassModule *m = build(f.classId, wiring(1, 1), {in, out}, {static_cast<uint32_t>(mode)});
                ASSERT_NE(m, nullptr);
                const std::vector<int32_t> flags = detect(m, in, out, samples(f, signal));
                for (size_t i = 0; i < signal.size(); ++i)
                    EXPECT_EQ(flags[i], oracle[d * signal.size() + i] != 0 ? f.flag : 0)
                        << std::hex << f.classId << std::dec << " crossingType " << mode << " sample " << i;
                for (uint32_t c = 0; c < kChannels; ++c)
                    EXPECT_EQ(array(m, 1)[c], oracle[3 * signal.size() + c]) << "channel " << c;
            }
        }
    }
}

TEST_F(LogicCrossing, FirstSampleAndZeroRules)
{
    struct Case {
        int32_t mode;
        std::vector<float> x;
        std::vector<int32_t> crossings;
    } cases[] = {
        {0, {3, 4}, {1, 0}},      // the first sample counts against the initial state of neither sign
        {0, {-3, -4}, {1, 0}},
        {1, {-1, 2}, {0, 1}},     // rising only: the first sample is no rise
        {1, {-1, 0}, {0, 1}},     // an exact 0 is positive
        {-1, {0, -1}, {0, 1}},
        {-1, {-1, -2}, {0, 0}},   // falling needs a non-negative sample before
        {1, {2, -1}, {0, 0}},
    };
    for (const CrossingForm &f : kCrossingForms) {
        for (const Case &c : cases) {
            GenericWire *in = wire(1, 2);
            load(in, samples(f, c.x));
            GenericWire *out = wire(1, 2);
            ClassModule *m = build(f.classId, wiring(1, 1), {in, out}, {static_cast<uint32_t>(c.mode)});
            ASSERT_NE(m, nullptr);
            EXPECT_EQ(kve_fwModuleHiddenWords(m)[0], 1u);
            EXPECT_EQ(array(m, 1)[0], 0);
            pump(m);
            for (size_t i = 0; i < c.x.size(); ++i)
                EXPECT_EQ(data<int32_t>(out)[i], c.crossings[i] != 0 ? f.flag : 0)
                    << std::hex << f.classId << std::dec << " case " << &c - cases << " sample " << i;
        }
    }
    // A float -0.0 and NaN are not below zero: after a negative sample both are rises.
    GenericWire *in = wire(1, 4);
    load(in, std::vector<float>{-1.0f, -0.0f, -2.0f, kNaN});
    GenericWire *out = wire(1, 4);
    ClassModule *m = build(kZeroCrossing, wiring(1, 1), {in, out}, {1});
    ASSERT_NE(m, nullptr);
    pump(m);
    EXPECT_EQ(words<float>(out), (std::vector<float>{0.0f, 1.0f, 0.0f, 1.0f}));
}

TEST_F(LogicCrossing, OnlyTheChannelsAndFramesTheModuleWasBuiltForAreReached)
{
    for (const CrossingForm &f : kCrossingForms) {
        // The wire is reshaped to four channels after the sign state was made for two: channels 2 and 3 are not
        // served, so neither the state array nor their output words are touched.
        GenericWire *in = filled(wire(2, 4), -1);
        GenericWire *out = filled(wire(2, 4), kSentinel);
        ClassModule *m = build(f.classId, wiring(1, 1), {in, out}, {0});
        ASSERT_NE(m, nullptr);
        in->info1 = (in->info1 & ~0x3FFu) | 4u;
        in->info2 = 2;
        pump(m);
        const int32_t flag = f.flag;
        const int32_t S = kSentinel;
        EXPECT_EQ(words<int32_t>(out), (std::vector<int32_t>{flag, flag, S, S, 0, 0, S, S})) << std::hex << f.classId;
        EXPECT_TRUE(fenced(out));

        // An output shorter than the input gets the frames it holds.
        GenericWire *wide = filled(wire(2, 4), 1);
        GenericWire *small = filled(wire(1, 3), kSentinel);
        ClassModule *s = build(f.classId, wiring(1, 1), {wide, small}, {0});
        ASSERT_NE(s, nullptr);
        pump(s);
        EXPECT_EQ(words<int32_t>(small), (std::vector<int32_t>{flag, flag, S}));
        EXPECT_TRUE(fenced(small));
    }
}

TEST_F(LogicCrossing, BypassWritesNoCrossingAndAFullHeapRefusesTheModule)
{
    for (const CrossingForm &f : kCrossingForms) {
        GenericWire *in = filled(wire(2, 2), -1);
        GenericWire *out = filled(wire(2, 2), kSentinel);
        ClassModule *m = build(f.classId, wiring(1, 1), {in, out}, {0});
        ASSERT_NE(m, nullptr);
        pumpBypassed(m);
        EXPECT_EQ(words<int32_t>(out), std::vector<int32_t>(4, 0));

        int32_t status = KVE_OK;
        EXPECT_EQ(build(f.classId, wiring(1, 0), {in}, {0}, &status), nullptr);
        EXPECT_EQ(status, KVE_E_ARG_COUNT);
    }
    // Heaps with room for the module but not for a sign word per channel of a 1000-channel wire.
    for (const CrossingForm &f : kCrossingForms) {
        kvetest::TestEngine small({.heapWords = 2400});
        small->classTable = kLogicTable;
        small->classCount = std::size(kLogicTable);
        GenericWire *wires[2] = {small.wire(1000, 1), small.wire(1000, 1)};
        ASSERT_NE(wires[0], nullptr);
        ASSERT_NE(wires[1], nullptr);
        uint32_t free[6];
        kve_fwGetHeapSize(small.get(), free);
        for (uint32_t h = 0; h < 3; ++h)
            if (free[h] > 200) {
                ASSERT_NE(small.wire(1, free[h] - 200), nullptr);
            }
        int32_t status = KVE_OK;
        EXPECT_EQ(ClassModule_Constructor3(small.get(), f.classId, &status, wiring(1, 1), wires, 1,
                                           std::vector<uint32_t>{0}.data()),
                  nullptr);
        EXPECT_EQ(status, KVE_E_HEAPS_FULL) << std::hex << f.classId;
    }
}

} // namespace
