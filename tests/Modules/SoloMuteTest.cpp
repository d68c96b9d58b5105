// SoloMute and its Fract32 twin: which strips sound for each set of solo and mute flags, with the channels of one
// wire or whole wires as strips, and arrays sized for every strip the wiring can give.
#include "MuteTestSupport.h"

namespace mutetest {
namespace {

struct FlagCase {
    const char *what;
    std::array<int32_t, 3> solo, mute;
    std::array<int, 3> sounds;
};

const FlagCase kFlagCases[] = {
    {"strip 1 soloed and muted silences all three", {0, 1, 0}, {0, 1, 0}, {0, 0, 0}},
    {"a mute flag counts only when it is 1", {0, 0, 0}, {2, 0, 0}, {1, 1, 1}},
    {"no flags", {0, 0, 0}, {0, 0, 0}, {1, 1, 1}},
    {"solo", {0, 1, 0}, {0, 0, 0}, {0, 1, 0}},
    {"any non-zero solo flag counts", {0, 5, 0}, {0, 0, 0}, {0, 1, 0}},
    {"mutes", {0, 0, 0}, {1, 0, 1}, {0, 1, 0}},
    {"a muted solo", {1, 0, 1}, {1, 0, 0}, {0, 0, 1}},
};

// The strips of a module: the channels of one wire, or one wire each.
struct Form {
    const char *what;
    std::vector<uint32_t> channels; // of each input wire
    int32_t numChannels;
};

const Form kForms[] = {
    {"one input, channels as strips", {3}, 0},
    {"three inputs, wires as strips", {1, 2, 3}, 3},
};

class SoloMute : public Mutes {
protected:
    struct Built {
        ClassModule *module = nullptr;
        std::vector<GenericWire *> inputs, outputs;
    };
    // A module of `classId` over input wires of the given channel counts, each with an output of its shape.
    Built build(uint32_t classId, const std::vector<uint32_t> &channels, int32_t numChannels, uint32_t block = 16,
                int32_t *status = nullptr)
    {
        Built b;
        std::vector<GenericWire *> wires;
        for (uint32_t ch : channels)
            b.inputs.push_back(wire(ch, block));
        for (uint32_t ch : channels)
            b.outputs.push_back(wire(ch, block));
        wires = b.inputs;
        wires.insert(wires.end(), b.outputs.begin(), b.outputs.end());
        const auto n = static_cast<uint32_t>(channels.size());
        const uint32_t ms = bitsOf(1.0f);
        const auto count = static_cast<uint32_t>(numChannels);
        b.module = Mutes::build(classId, n | n << 8, wires,
                                classId == kSoloMute ? std::vector<uint32_t>{count, ms, 0}
                                                     : std::vector<uint32_t>{ms, count, 0},
                                status);
        return b;
    }
    static bool isFract32(uint32_t classId) { return classId == kSoloMuteFract32; }
    // Input word i of every wire: a level that is never zero.
    static void fillInputs(const Built &b, bool fract32)
    {
        for (GenericWire *w : b.inputs)
            for (uint32_t i = 0; i < kve::kit::wireWords(w); ++i) {
                if (fract32)
                    words(w)[i] = static_cast<int32_t>(0x01000000u * (i % 7 + 1));
                else
                    data(w)[i] = static_cast<float>(i % 7 + 1) / 128.0f;
            }
    }
};

TEST_F(SoloMute, FlagsDecideWhichStripsSound)
{
    const double a = stepOf(1.0);
    for (uint32_t classId : {kSoloMute, kSoloMuteFract32}) {
        const bool fract32 = isFract32(classId);
        for (const Form &form : kForms)
            for (const FlagCase &c : kFlagCases) {
                Built b = build(classId, form.channels, form.numChannels);
                ASSERT_NE(b.module, nullptr) << form.what;
                std::copy(c.solo.begin(), c.solo.end(), array<int32_t>(b.module, 3));
                std::copy(c.mute.begin(), c.mute.end(), array<int32_t>(b.module, 4));
                ASSERT_EQ(ClassModule_Set(b.module, 1u << 12), 0);
                fillInputs(b, fract32);
                pump(b.module);
                const uint32_t *target = array<uint32_t>(b.module, 6);
                const uint32_t *current = array<uint32_t>(b.module, 5);
                for (uint32_t s = 0; s < 3; ++s) {
                    const uint32_t unity = fract32 ? static_cast<uint32_t>(INT32_MAX) : bitsOf(1.0f);
                    EXPECT_EQ(target[s], c.sounds[s] ? unity : 0u) << c.what << ", strip " << s << ", " << form.what;
                    // One input: strip s is channel s of wire 0; several: strip s is all of wire s.
                    const bool oneInput = b.inputs.size() == 1;
                    GenericWire *in = b.inputs[oneInput ? 0 : s];
                    GenericWire *out = b.outputs[oneInput ? 0 : s];
                    const uint32_t ch = kve::scalers::channels(in);
                    for (uint32_t t = 0; t < 16; ++t)
                        for (uint32_t c2 = oneInput ? s : 0; c2 < (oneInput ? s + 1 : ch); ++c2) {
                            const uint32_t i = t * ch + c2;
                            const double g = glide(0.0, c.sounds[s], a, static_cast<int>(t) + 1);
                            ASSERT_NEAR(sample(out, i, fract32), sample(in, i, fract32) * g, 1e-6)
                                << c.what << ", strip " << s << ", " << form.what << ", frame " << t;
                        }
                    const double end = fract32 ? static_cast<int32_t>(current[s]) / kFullScale
                                               : static_cast<double>(kvetest::floatOf(current[s]));
                    EXPECT_NEAR(end, glide(0.0, c.sounds[s], a, 16), 1e-6) << c.what << ", strip " << s;
                }
            }
    }
}

TEST_F(SoloMute, SetReadsFlagsAndTimeOnlyOnTheirMaskBits)
{
    for (uint32_t classId : {kSoloMute, kSoloMuteFract32}) {
        const bool fract32 = isFract32(classId);
        Built b = build(classId, {2}, 2);
        ASSERT_NE(b.module, nullptr);
        const uint32_t timeVariable = fract32 ? 0 : 1;
        const uint32_t otherBit = fract32 ? 1u << 9 : 1u << 8;
        array<int32_t>(b.module, 4)[0] = 1;
        var<float>(b.module, timeVariable) = 4.0f;
        const uint32_t coeffBefore = var<uint32_t>(b.module, 2);
        ASSERT_EQ(ClassModule_Set(b.module, otherBit | 1u << 10), 0);
        EXPECT_EQ(var<uint32_t>(b.module, 2), coeffBefore);
        EXPECT_NE(array<uint32_t>(b.module, 6)[0], 0u) << "mute flag not flagged";
        ASSERT_EQ(ClassModule_Set(b.module, 1u << (8 + timeVariable) | 1u << 11), 0);
        const uint32_t coeff = var<uint32_t>(b.module, 2);
        EXPECT_NEAR(fract32 ? static_cast<int32_t>(coeff) / kFullScale : kvetest::floatOf(coeff), stepOf(4.0), 1e-6);
        EXPECT_EQ(array<uint32_t>(b.module, 6)[0], 0u) << "mute flag flagged";
    }
}

TEST_F(SoloMute, ArraysHoldEveryStripAndNumChannelsIsClamped)
{
    struct Case {
        const char *what;
        std::vector<uint32_t> channels;
        int32_t numChannels;   // construction argument
        uint32_t capacity;     // entries of every array
        int32_t hostWrites;    // numChannels written afterwards
        uint32_t servedStrips; // strips Set and Process then serve
    } cases[] = {
        {"one input sizes by its channels", {4}, 0, 4, 0, 4},
        {"one input ignores numChannels", {2}, 6, 6, 100, 2},
        {"inputs size by their count", {1, 1, 2}, 1, 3, 1000, 3},
        {"numChannels may ask for more", {1, 2}, 5, 5, 5, 2},
        {"numChannels below the inputs serves the first ones", {2, 2, 2}, 3, 3, 1, 1},
        {"a negative numChannels serves none", {2, 2}, 2, 2, -1, 0},
    };
    for (uint32_t classId : {kSoloMute, kSoloMuteFract32})
        for (const Case &c : cases) {
            Built b = build(classId, c.channels, c.numChannels);
            ASSERT_NE(b.module, nullptr) << c.what;
            for (uint32_t k = 0; k < 4; ++k)
                EXPECT_EQ(kve::kit::capacity(b.module, k), c.capacity) << c.what;
            var<int32_t>(b.module, isFract32(classId) ? 1 : 0) = c.hostWrites;
            // No flags: every served strip fades in from 0 and writes its output.
            ASSERT_EQ(ClassModule_Set(b.module, ~0u), 0);
            for (GenericWire *w : b.inputs)
                fillWords(w, 0x10000000);
            for (GenericWire *w : b.outputs)
                fillWords(w, 0x7F800001);
            pump(b.module);
            const bool oneInput = c.channels.size() == 1;
            for (uint32_t s = 0; s < (oneInput ? c.channels[0] : c.channels.size()); ++s) {
                GenericWire *out = b.outputs[oneInput ? 0 : s];
                const uint32_t ch = kve::scalers::channels(out);
                const uint32_t i = oneInput ? s : 0;
                EXPECT_EQ(words(out)[i] != 0x7F800001, s < c.servedStrips)
                    << c.what << ", strip " << s << (isFract32(classId) ? " (Fract32)" : "");
                EXPECT_EQ(words(out)[ch * 15 + (oneInput ? s : ch - 1)] != 0x7F800001, s < c.servedStrips)
                    << c.what << ", strip " << s << " last word";
            }
        }
}

TEST_F(SoloMute, RefusesInputsWithoutTheirOutputs)
{
    for (uint32_t classId : {kSoloMute, kSoloMuteFract32}) {
        int32_t status = KVE_OK;
        GenericWire *a = wire(1, 16);
        GenericWire *b = wire(1, 16);
        GenericWire *c = wire(1, 16);
        EXPECT_EQ(Mutes::build(classId, 0x102, {a, b, c}, zeroArgs(classId), &status), nullptr);
        EXPECT_EQ(status, KVE_E_ARG_COUNT);
    }
}

} // namespace
} // namespace mutetest
