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

const ModClassDescriptor *const kTable[] = {
    &kve_modRebufferClass.record,
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

    kvetest::TestEngine engine_;
};

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

} // namespace
