// The block rebuffering and rearrangement modules against small models of the blocks they should output, over
// several blocks so that carried state shows; the FIFO pair across blocks of different sizes; and the refusals and
// clamps of what a layout or host may write.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "Modules/Advanced/Rebuffering.h"
#include "support/ModuleVariables.h"
#include "support/TestEngine.h"

namespace {

constexpr uint32_t kRebuffer = 0xBEEF0D1Du;
constexpr uint32_t kZeroPadding = 0xBEEF0D51u;
constexpr uint32_t kZeroPaddingFract32 = 0xBEEF0D50u;
constexpr uint32_t kShiftSamples = 0xBEEF0D36u;
constexpr uint32_t kFifoIn = 0xBEEF0D52u;
constexpr uint32_t kFifoOut = 0xBEEF0D53u;
constexpr uint32_t kBlockConcatenate = 0xBEEF0CC5u;
constexpr uint32_t kBlockExtract = 0xBEEF0CC7u;
constexpr uint32_t kBlockFlip = 0xBEEF0CC8u;

const ModClassDescriptor *const kTable[] = {
    &kve_modRebufferClass.record,     &kve_modZeroPaddingClass.record, &kve_modZeroPaddingFract32Class.record,
    &kve_modShiftSamplesClass.record, &kve_modFifoInClass.record,      &kve_modFifoOutClass.record,
    &kve_modBlockConcatenateClass.record, &kve_modBlockExtractClass.record, &kve_modBlockFlipClass.record,
};

// Words of one block: every channel's samples, two words each on a complex wire.
struct Shape {
    uint32_t channels, frames;
    bool complex = false;
    uint32_t parts() const { return complex ? 2 : 1; }
    uint32_t frameWords() const { return channels * parts(); }
    uint32_t words() const { return frames * frameWords(); }
};

class Rebuffering : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine_->classTable = kTable;
        engine_->classCount = sizeof kTable / sizeof kTable[0];
    }
    GenericWire *wire(Shape s)
    {
        GenericWire *w = engine_.wire(s.channels, s.frames * s.parts());
        if (s.complex)
            w->info1 |= 1u << 27;
        return w;
    }
    ClassModule *build(uint32_t classId, uint32_t wireWord, std::initializer_list<GenericWire *> wires,
                       std::initializer_list<uint32_t> args, int32_t *status = nullptr)
    {
        return engine_.module(classId, wireWord, wires, args, status);
    }
    void pump(ClassModule *m) { ASSERT_EQ(kve_fwPumpModule(engine_.get(), m), KVE_OK); }
    static float *data(GenericWire *w) { return static_cast<float *>(w->buffer); }
    static std::vector<float> words(GenericWire *w) { return {data(w), data(w) + kve::kit::wireWords(w)}; }
    // A block no earlier block repeats: word k of block b is 1000 b + k + 1.
    static std::vector<float> block(uint32_t b, uint32_t words)
    {
        std::vector<float> v(words);
        for (uint32_t k = 0; k < words; ++k)
            v[k] = static_cast<float>(1000 * b + k + 1);
        return v;
    }
    static void load(GenericWire *w, const std::vector<float> &v) { std::copy(v.begin(), v.end(), data(w)); }

    // Runs three blocks of fresh input through m and compares the output with what model makes of each input.
    template <class Model>
    void expectBlocks(ClassModule *m, GenericWire *in, GenericWire *out, Model model, const std::string &what)
    {
        for (uint32_t b = 0; b < 3; ++b) {
            const std::vector<float> x = block(b, kve::kit::wireWords(in));
            load(in, x);
            pump(m);
            EXPECT_EQ(words(out), model(x)) << what << ", block " << b;
        }
    }

    kvetest::TestEngine engine_;
};

// Frames lo .. hi of a block of frames `frameWords` words wide, zero frames where they lie outside it.
std::vector<float> framesBetween(const std::vector<float> &x, uint32_t frameWords, int64_t lo, int64_t hi)
{
    const auto count = static_cast<int64_t>(x.size() / frameWords);
    std::vector<float> y;
    for (int64_t t = lo; t <= hi; ++t)
        for (uint32_t w = 0; w < frameWords; ++w)
            y.push_back(t >= 0 && t < count ? x[t * frameWords + w] : 0.0f);
    return y;
}

TEST_F(Rebuffering, RebufferPutsTheLastHistoryFramesOfEarlierInputAheadOfEachBlock)
{
    const struct {
        Shape in;
        uint32_t history;
    } cases[] = {
        {{1, 2}, 3},       // history longer than a block: it reaches back over two earlier blocks
        {{2, 4}, 3},       // interleaved channels move as frames
        {{2, 4, true}, 2}, // complex samples move as pairs
        {{1, 4}, 4},       // history of exactly one block
        {{3, 2}, 0},       // no history: a copy
    };
    for (const auto &c : cases) {
        const Shape out{c.in.channels, c.history + c.in.frames, c.in.complex};
        GenericWire *in = wire(c.in);
        GenericWire *o = wire(out);
        ClassModule *m = build(kRebuffer, 0x101, {in, o}, {0, c.history, 0});
        ASSERT_NE(m, nullptr);
        const uint32_t historyWords = c.history * c.in.frameWords();
        std::vector<float> stream(historyWords, 0.0f); // the history starts at zero
        for (uint32_t b = 0; b < 6; ++b) {
            const std::vector<float> x = block(b, c.in.words());
            load(in, x);
            pump(m);
            std::vector<float> expected(stream.end() - historyWords, stream.end());
            expected.insert(expected.end(), x.begin(), x.end());
            EXPECT_EQ(words(o), expected) << c.in.channels << " channels, " << c.in.frames << " frames"
                                          << (c.in.complex ? " complex" : "") << ", history " << c.history
                                          << ", block " << b;
            stream.insert(stream.end(), x.begin(), x.end());
        }
    }
}

TEST_F(Rebuffering, RebufferHoldsAHostsHistoryAndIndexToTheRingItBuilt)
{
    // One channel, 2-frame blocks, built with 3 frames of history: the ring is 3 words.
    GenericWire *in = wire({1, 2});
    GenericWire *out = wire({1, 5});
    ClassModule *m = build(kRebuffer, 0x101, {in, out}, {0, 3, 0});
    ASSERT_NE(m, nullptr);
    int32_t &history = kvetest::variable<int32_t>(m, 1);
    int32_t &index = kvetest::variable<int32_t>(m, 2);
    const struct {
        int32_t history, index;
        uint32_t keptHistory; // words of history the output then carries
    } cases[] = {
        {3, 0, 3}, {1000000, 0, 3}, {INT32_MAX, -7, 3}, {3, INT32_MIN, 3}, {3, 1000, 3}, {-5, 0, 0}, {1, 0, 1},
    };
    uint32_t b = 0;
    for (const auto &c : cases) {
        history = c.history;
        index = c.index;
        const std::vector<float> x = block(++b, 2);
        load(in, x);
        pump(m);
        // Whatever was written, the current block follows the history kept, the rest of the output is zero, and
        // the index stays inside the ring.
        const std::vector<float> got = words(out);
        const std::string what = "history " + std::to_string(c.history) + ", index " + std::to_string(c.index);
        EXPECT_EQ(std::vector<float>(got.begin() + c.keptHistory, got.begin() + c.keptHistory + 2), x) << what;
        for (uint32_t k = c.keptHistory + 2; k < 5; ++k)
            EXPECT_EQ(got[k], 0.0f) << what << ", word " << k;
        if (c.keptHistory != 0) {
            EXPECT_GE(index, 0) << what;
            EXPECT_LT(index, static_cast<int32_t>(c.keptHistory)) << what;
        }
    }
}

TEST_F(Rebuffering, ZeroPaddingKeepsTheBlockAndAppendsZeroFrames)
{
    const struct {
        Shape in, out;
    } cases[] = {
        {{2, 4}, {2, 8}},             // 4 frames to 8: the 4 frames, then 4 zero frames
        {{1, 3, true}, {1, 5, true}}, // complex samples pad alike
        {{2, 4}, {2, 4}},             // same size: a copy
        {{2, 4}, {2, 2}},             // an output shorter than the block takes what it holds
    };
    for (uint32_t cls : {kZeroPadding, kZeroPaddingFract32})
        for (const auto &c : cases) {
            GenericWire *in = wire(c.in);
            GenericWire *out = wire(c.out);
            ClassModule *m = build(cls, 0x101, {in, out}, {});
            ASSERT_NE(m, nullptr);
            const uint32_t outWords = c.out.words();
            expectBlocks(
                m, in, out,
                [&](const std::vector<float> &x) {
                    std::vector<float> y(x.begin(), x.begin() + std::min<size_t>(x.size(), outWords));
                    y.resize(outWords, 0.0f);
                    return y;
                },
                (cls == kZeroPadding ? "float, " : "Fract32, ") + std::to_string(c.in.words()) + " to " +
                    std::to_string(outWords) + " words");
        }
}

TEST_F(Rebuffering, ZeroPaddingFract32MovesEveryWordUnchanged)
{
    // Fixed-point words that are not finite or not normal as floats still travel bit for bit.
    GenericWire *in = wire({1, 4});
    GenericWire *out = wire({1, 6});
    ClassModule *m = build(kZeroPaddingFract32, 0x101, {in, out}, {});
    ASSERT_NE(m, nullptr);
    const int32_t x[4] = {INT32_MIN, INT32_MAX, -1, 0x7F800001};
    std::memcpy(data(in), x, sizeof x);
    pump(m);
    const int32_t expected[6] = {INT32_MIN, INT32_MAX, -1, 0x7F800001, 0, 0};
    EXPECT_EQ(std::memcmp(data(out), expected, sizeof expected), 0);
}

TEST_F(Rebuffering, ShiftSamplesDelaysOrAdvancesWholeFramesFillingWithZeros)
{
    const Shape real{2, 5};
    const Shape complex{1, 4, true};
    const struct {
        Shape shape;
        int32_t shift;
    } cases[] = {
        {real, 0}, {real, 1}, {real, 3}, {real, -2}, {real, 5}, {real, 9}, {real, -5}, {real, INT32_MIN},
        {real, INT32_MAX}, {complex, 1}, {complex, -3}, {complex, 4},
    };
    for (bool inPlace : {false, true})
        for (const auto &c : cases) {
            GenericWire *in = wire(c.shape);
            GenericWire *out = inPlace ? in : wire(c.shape);
            ClassModule *m = build(kShiftSamples, 0x101, {in, out}, {static_cast<uint32_t>(c.shift)});
            ASSERT_NE(m, nullptr);
            const auto n = static_cast<int64_t>(c.shape.frames);
            // Output frame t is input frame t - shift.
            const int64_t s = std::clamp<int64_t>(c.shift, -n, n);
            expectBlocks(
                m, in, out,
                [&](const std::vector<float> &x) { return framesBetween(x, c.shape.frameWords(), -s, n - 1 - s); },
                "shift " + std::to_string(c.shift) + (c.shape.complex ? " complex" : "") +
                    (inPlace ? " in place" : ""));
        }
}

TEST_F(Rebuffering, BlockExtractTakesAFrameSpanWithZerosOutsideTheBlock)
{
    const Shape real{2, 4};
    const Shape complex{1, 4, true};
    const struct {
        Shape in;
        int32_t start, stop;
        uint32_t outFrames;
    } cases[] = {
        {real, -2, 5, 8},                   // two zero frames, the whole block, two zero frames
        {real, 1, 2, 2},                    // the middle
        {real, 0, 3, 4},                    // the whole block
        {real, 2, 6, 5},                    // past the end: zeros follow
        {real, 4, 6, 3},                    // starting past the block: zeros
        {real, -3, -1, 3},                  // ending before the block: zeros
        {real, 3, 1, 2},                    // an empty span: zeros
        {real, 0, 3, 2},                    // an output shorter than the span holds its first frames
        {real, 1, 2, 4},                    // an output longer than the span ends in zeros
        {real, INT32_MIN, INT32_MAX, 4},    // a span as wide as a host can write
        {real, INT32_MAX, INT32_MAX, 1},
        {complex, 1, 2, 2},                 // complex samples move as pairs
        {complex, -1, 4, 6},
    };
    for (const auto &c : cases) {
        GenericWire *in = wire(c.in);
        GenericWire *out = wire({c.in.channels, c.outFrames, c.in.complex});
        ClassModule *m = build(kBlockExtract, 0x101, {in, out},
                               {static_cast<uint32_t>(c.start), static_cast<uint32_t>(c.stop)});
        ASSERT_NE(m, nullptr);
        const int64_t stop = std::min<int64_t>(c.stop, int64_t{c.start} + c.outFrames - 1);
        expectBlocks(
            m, in, out,
            [&](const std::vector<float> &x) {
                std::vector<float> y = framesBetween(x, c.in.frameWords(), c.start, stop);
                y.resize(c.outFrames * c.in.frameWords(), 0.0f);
                return y;
            },
            "frames " + std::to_string(c.start) + " to " + std::to_string(c.stop) + (c.in.complex ? " complex" : ""));
    }
}

TEST_F(Rebuffering, BlockFlipReversesEachChannelAndTwiceGivesTheBlockBack)
{
    for (const Shape shape : {Shape{2, 5}, Shape{3, 4}, Shape{1, 3, true}, Shape{2, 4, true}, Shape{1, 1}})
        for (bool inPlace : {false, true}) {
            GenericWire *in = wire(shape);
            GenericWire *mid = inPlace ? in : wire(shape);
            GenericWire *back = inPlace ? in : wire(shape);
            ClassModule *flip = build(kBlockFlip, 0x101, {in, mid}, {});
            ClassModule *again = build(kBlockFlip, 0x101, {mid, back}, {});
            ASSERT_NE(flip, nullptr);
            ASSERT_NE(again, nullptr);
            const std::string what = std::to_string(shape.channels) + " channels, " + std::to_string(shape.frames) +
                                     " frames" + (shape.complex ? " complex" : "") + (inPlace ? " in place" : "");
            for (uint32_t b = 0; b < 3; ++b) {
                const std::vector<float> x = block(b, shape.words());
                load(in, x);
                pump(flip);
                std::vector<float> reversed;
                for (uint32_t t = shape.frames; t-- > 0;)
                    reversed.insert(reversed.end(), x.begin() + t * shape.frameWords(),
                                    x.begin() + (t + 1) * shape.frameWords());
                EXPECT_EQ(words(mid), reversed) << what << ", block " << b;
                pump(again);
                EXPECT_EQ(words(back), x) << what << ", block " << b;
            }
        }
}

TEST_F(Rebuffering, BlockConcatenatePutsTheInputsOneAfterAnother)
{
    const std::vector<Shape> inputs = {{2, 2}, {1, 3}, {1, 2, true}};
    const uint32_t total = 4 + 3 + 4;
    for (uint32_t outWords : {total, total - 5, total + 3}) {
        std::vector<GenericWire *> wires;
        for (const Shape &s : inputs)
            wires.push_back(wire(s));
        wires.push_back(wire({1, outWords}));
        int32_t status = KVE_OK;
        ClassModule *m = ClassModule_Constructor3(engine_.get(), kBlockConcatenate, &status, 0x103, wires.data(), 0,
                                                  nullptr);
        ASSERT_NE(m, nullptr) << status;
        for (uint32_t b = 0; b < 3; ++b) {
            std::vector<float> expected;
            for (uint32_t k = 0; k < inputs.size(); ++k) {
                const std::vector<float> x = block(10 * b + k, inputs[k].words());
                load(wires[k], x);
                expected.insert(expected.end(), x.begin(), x.end());
            }
            pump(m);
            expected.resize(outWords, 0.0f);
            EXPECT_EQ(words(wires.back()), expected) << outWords << " output words, block " << b;
        }
    }
}

TEST_F(Rebuffering, FifoOutReadsBackInOrderWhatFifoInWroteAcrossBlocksOfDifferentSizes)
{
    // The writer passes 3 frames a block, the reader takes 2 (or 5) a block, two channels, 12 frames held; the
    // reader runs whenever a whole block of it is waiting, so it never falls more than the capacity behind.
    for (uint32_t readFrames : {2u, 5u}) {
        GenericWire *in = wire({2, 3});
        GenericWire *through = wire({2, 3});
        GenericWire *out = wire({2, readFrames});
        ClassModule *writer = build(kFifoIn, 0x101, {in, through}, {12, 0, 0, 0, 0});
        ClassModule *reader = build(kFifoOut, 0x100, {out}, {});
        ASSERT_NE(writer, nullptr);
        ASSERT_NE(reader, nullptr);
        kvetest::variable<ClassModule *>(reader, 0) = writer;
        std::vector<float> stream;
        size_t readWords = 0;
        int32_t reads = 0;
        for (uint32_t b = 0; b < 20; ++b) {
            const std::vector<float> x = block(b, 6);
            load(in, x);
            pump(writer);
            EXPECT_EQ(words(through), x) << "the block goes on along the writer's layout, block " << b;
            stream.insert(stream.end(), x.begin(), x.end());
            while (stream.size() - readWords >= 2 * readFrames) {
                pump(reader);
                ++reads;
                const std::vector<float> expected(stream.begin() + static_cast<ptrdiff_t>(readWords),
                                                  stream.begin() + static_cast<ptrdiff_t>(readWords + 2 * readFrames));
                EXPECT_EQ(words(out), expected) << readFrames << "-frame reads, read " << reads;
                readWords += 2 * readFrames;
            }
        }
        EXPECT_EQ(kvetest::variable<int32_t>(writer, 1), 20) << "blocks written";
        EXPECT_EQ(kvetest::variable<int32_t>(writer, 2), reads) << "blocks read";
    }
}

TEST_F(Rebuffering, FifoOutWritesZerosUnlessAimedAtALiveFifoIn)
{
    GenericWire *in = wire({1, 4});
    GenericWire *through = wire({1, 4});
    GenericWire *out = wire({1, 4});
    ClassModule *writer = build(kFifoIn, 0x101, {in, through}, {8, 0, 0, 0, 0});
    ClassModule *other = build(kBlockFlip, 0x101, {in, through}, {});
    ClassModule *reader = build(kFifoOut, 0x100, {out}, {});
    ASSERT_NE(writer, nullptr);
    ASSERT_NE(other, nullptr);
    ASSERT_NE(reader, nullptr);
    load(in, {1, 2, 3, 4});
    pump(writer);
    // A block of samples that looks nothing like a module, outside every object of the instance.
    std::vector<float> stray(64, 5.0f);
    const struct {
        const char *what;
        void *target;
    } cases[] = {
        {"no FifoIn named", nullptr},
        {"another class of module", other},
        {"a wire", in},
        {"memory that is no object", stray.data()},
    };
    for (const auto &c : cases) {
        kvetest::variable<void *>(reader, 0) = c.target;
        std::fill(data(out), data(out) + 4, 9.0f);
        pump(reader);
        EXPECT_EQ(words(out), std::vector<float>(4, 0.0f)) << c.what;
        EXPECT_EQ(kvetest::variable<int32_t>(writer, 2), 0) << c.what << ": the FifoIn's reads stay as they are";
    }
    kvetest::variable<ClassModule *>(reader, 0) = writer;
    pump(reader);
    EXPECT_EQ(words(out), std::vector<float>({1, 2, 3, 4}));
}

TEST_F(Rebuffering, FifoHoldsAHostsCapacityAndIndicesToTheBufferItBuilt)
{
    // Built for 4 frames of 2 channels: an 8-word ring. Whatever a host writes, both ends stay inside it and
    // agree on it, so what is written is what is read.
    GenericWire *in = wire({2, 2});
    GenericWire *through = wire({2, 2});
    GenericWire *out = wire({2, 2});
    ClassModule *writer = build(kFifoIn, 0x101, {in, through}, {4, 0, 0, 0, 0});
    ClassModule *reader = build(kFifoOut, 0x100, {out}, {});
    ASSERT_NE(writer, nullptr);
    ASSERT_NE(reader, nullptr);
    kvetest::variable<ClassModule *>(reader, 0) = writer;
    const struct {
        int32_t capacity, writeIndex;
        bool delivered; // the written block is read back
    } cases[] = {
        {4, 0, true},         {INT32_MAX, 3, true}, {1000, -9, true}, {4, INT32_MIN, true}, {4, INT32_MAX, true},
        {2, 5, true},         {0, 0, false},        {-4, 0, false},
    };
    uint32_t b = 0;
    for (const auto &c : cases) {
        kvetest::variable<int32_t>(writer, 0) = c.capacity;
        kvetest::variable<int32_t>(writer, 3) = c.writeIndex;
        kvetest::variable<int32_t>(writer, 4) = c.writeIndex;
        const std::vector<float> x = block(++b, 4);
        load(in, x);
        pump(writer);
        pump(reader);
        const std::string what = "capacity " + std::to_string(c.capacity) + ", index " + std::to_string(c.writeIndex);
        EXPECT_EQ(words(out), c.delivered ? x : std::vector<float>(4, 0.0f)) << what;
        for (int32_t k : {3, 4}) {
            EXPECT_GE(kvetest::variable<int32_t>(writer, k), 0) << what;
            EXPECT_LT(kvetest::variable<int32_t>(writer, k), 8) << what;
        }
    }
}

TEST_F(Rebuffering, ConstructionRefusesShapesProcessCannotServe)
{
    GenericWire *two = wire({1, 2});
    GenericWire *five = wire({1, 5});
    GenericWire *four = wire({1, 4});
    GenericWire *stereo = wire({2, 2});
    const struct {
        const char *what;
        uint32_t classId, wireWord;
        std::vector<GenericWire *> wires;
        std::vector<uint32_t> args;
        int32_t status;
    } cases[] = {
        {"Rebuffer: output shorter than history and input", kRebuffer, 0x101, {two, four}, {0, 3, 0},
         KVE_E_BAD_ARGUMENT},
        {"Rebuffer: output shorter than the input", kRebuffer, 0x101, {four, two}, {0, 0, 0}, KVE_E_BAD_ARGUMENT},
        {"Rebuffer: history counted in frames of two channels", kRebuffer, 0x101, {stereo, five}, {0, 1, 0},
         KVE_E_BAD_ARGUMENT},
        {"Rebuffer: a history as long as a host can write", kRebuffer, 0x101, {two, five}, {0, 0x7FFFFFFF, 0},
         KVE_E_BAD_ARGUMENT},
        {"Rebuffer: no output wire", kRebuffer, 0x1, {two}, {0, 0, 0}, KVE_E_ARG_COUNT},
        {"FifoIn: negative capacity", kFifoIn, 0x101, {stereo, stereo}, {0xFFFFFFFF, 0, 0, 0, 0},
         KVE_E_BAD_ARGUMENT},
        {"FifoIn: more than the heaps hold", kFifoIn, 0x101, {stereo, stereo}, {0x7FFFFFFF, 0, 0, 0, 0},
         KVE_E_HEAPS_FULL},
        {"FifoIn: no output wire", kFifoIn, 0x1, {two}, {4, 0, 0, 0, 0}, KVE_E_ARG_COUNT},
        {"FifoOut: no output wire", kFifoOut, 0x0, {}, {}, KVE_E_ARG_COUNT},
        {"BlockConcatenate: no output wire", kBlockConcatenate, 0x2, {two, two}, {}, KVE_E_ARG_COUNT},
        {"BlockExtract: no output wire", kBlockExtract, 0x1, {two}, {0, 1}, KVE_E_ARG_COUNT},
        {"ShiftSamples: no output wire", kShiftSamples, 0x1, {two}, {1}, KVE_E_ARG_COUNT},
    };
    for (const auto &c : cases) {
        int32_t status = KVE_OK;
        std::vector<GenericWire *> wires = c.wires;
        std::vector<uint32_t> args = c.args;
        EXPECT_EQ(ClassModule_Constructor3(engine_.get(), c.classId, &status, c.wireWord, wires.data(),
                                           static_cast<uint32_t>(args.size()), args.data()),
                  nullptr)
            << c.what;
        EXPECT_EQ(status, c.status) << c.what;
    }
}

} // namespace
