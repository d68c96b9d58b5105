// The composite filter and mapping modules: the inner modules each builds (class, wires, argument words, object ids)
// as a recording class table sees them, what they refuse to build, the weighting filters' curve selection and the
// clean start of every channel at a switch of curve, the loading modules' active stages and taps against scipy and
// against standalone Fract32 modules, the emphasis filters against their one-pole definition, the mapper, the
// state-space Butterworth filter against scipy's design (3.01 dB down at its cutoff) and the state-space volume
// control against its closed form.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <map>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "Modules/Advanced/Composites.h"
#include "Modules/Advanced/HpBiquads.h"
#include "Modules/Standard/Arithmetic.h"
#include "Modules/Standard/Filters.h"
#include "Modules/Standard/FiltersFract32.h"
#include "Modules/Standard/Logic.h"
#include "Modules/Standard/Mutes.h"
#include "Modules/Standard/Routers.h"
#include "support/ModuleVariables.h"
#include "support/PythonOracle.h"
#include "support/TestEngine.h"

namespace {

using kvetest::bitsOf;
using kvetest::variable;

constexpr uint32_t kAudioWeighting = 0xBEEF0CBEu;
constexpr uint32_t kAudioWeightingFract32 = 0xBEEF0CBDu;
constexpr uint32_t kBiquadLoading = 0xBEEF0CC3u;
constexpr uint32_t kBiquadLoadingFract32 = 0xBEEF0CC2u;
constexpr uint32_t kFIRLoading = 0xBEEF0CFCu;
constexpr uint32_t kFIRLoadingFract32 = 0xBEEF0CFBu;
constexpr uint32_t kEmphasisFilter = 0xBEEF0CF3u;
constexpr uint32_t kEmphasisFilterFract32 = 0xBEEF0CF2u;
constexpr uint32_t kMapperControl = 0xBEEF0D5Bu;
constexpr uint32_t kButterworthFilterHP = 0xBEEF0CCCu;
constexpr uint32_t kVolumeControlHP = 0xBEEF0D48u;

constexpr uint32_t kBiquadCascade = 0xBEEF080Bu;
constexpr uint32_t kBiquadCascadeFract32 = 0xBEEF0884u;
constexpr uint32_t kBiquadSmoothed = 0xBEEF080Du;
constexpr uint32_t kBiquadSmoothedFract32 = 0xBEEF0886u;
constexpr uint32_t kFIR = 0xBEEF080Fu;
constexpr uint32_t kFIRFract32 = 0xBEEF088Eu;
constexpr uint32_t kMuteUnmute = 0xBEEF081Du;
constexpr uint32_t kMuteUnmuteFract32 = 0xBEEF089Bu;
constexpr uint32_t kRouter = 0xBEEF0864u;
constexpr uint32_t kTypeConversion = 0xBEEF0866u;
constexpr uint32_t kClipAsym = 0xBEEF084Eu;
constexpr uint32_t kScaleOffset = 0xBEEF0817u;
constexpr uint32_t kBiquadCascadeHP = 0xBEEF0CC1u;
constexpr uint32_t kBiquadSmoothedHP = 0xBEEF0CC4u;

// A member address reaches variable k at index 8 + k.
constexpr uint32_t kMemberBase = 8;

const ModClassDescriptor *const kTable[] = {
    &kve_modAudioWeightingClass.record,  &kve_modAudioWeightingFract32Class.record,
    &kve_modBiquadLoadingClass.record,   &kve_modBiquadLoadingFract32Class.record,
    &kve_modFIRLoadingClass.record,      &kve_modFIRLoadingFract32Class.record,
    &kve_modEmphasisFilterClass.record,  &kve_modEmphasisFilterFract32Class.record,
    &kve_modMapperControlClass.record,   &kve_modBiquadCascadeClass.record,
    &kve_modBiquadCascadeFract32Class.record, &kve_modBiquadSmoothedClass.record,
    &kve_modBiquadSmoothedFract32Class.record, &kve_modFIRClass.record,
    &kve_modFIRFract32Class.record,      &kve_modMuteUnmuteClass.record,
    &kve_modMuteUnmuteFract32Class.record, &kve_modRouterClass.record,
    &kve_modTypeConversionClass.record,  &kve_modClipAsymClass.record,
    &kve_modScaleOffsetClass.record, &kve_modButterworthFilterHPClass.record,
    &kve_modVolumeControlHPClass.record, &kve_modBiquadCascadeHPClass.record,
    &kve_modBiquadSmoothedHPClass.record,
};

// ---- A class table that records every inner construction ----

// What a constructor was handed.
struct Construction {
    uint32_t classId;
    uint32_t wireWord;
    std::vector<GenericWire *> wires;
    std::vector<uint32_t> args;
};
std::vector<Construction> g_constructions;

template <auto *Real>
ClassModule *recordingConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                  const uint32_t *args)
{
    const uint32_t n = KVE_PACKED_INPUTS(wireWord) + KVE_PACKED_OUTPUTS(wireWord) + KVE_PACKED_SCRATCH(wireWord);
    g_constructions.push_back({Real->record.classId, wireWord, std::vector<GenericWire *>(wires, wires + n),
                               std::vector<uint32_t>(args, args + argc)});
    return Real->record.constructor(status, wireWord, wires, argc, args);
}

// The class record of `Real` (its variable offsets with it) with the recording constructor in front of its own.
template <auto *Real> const auto kRecording = [] {
    auto c = *Real;
    c.record.constructor = recordingConstructor<Real>;
    return c;
}();

const ModClassDescriptor *const kRecordingTable[] = {
    &kve_modAudioWeightingClass.record,
    &kve_modAudioWeightingFract32Class.record,
    &kve_modBiquadLoadingClass.record,
    &kve_modBiquadLoadingFract32Class.record,
    &kve_modFIRLoadingClass.record,
    &kve_modFIRLoadingFract32Class.record,
    &kve_modEmphasisFilterClass.record,
    &kve_modEmphasisFilterFract32Class.record,
    &kve_modMapperControlClass.record,
    &kRecording<&kve_modBiquadCascadeClass>.record,
    &kRecording<&kve_modBiquadCascadeFract32Class>.record,
    &kRecording<&kve_modBiquadSmoothedClass>.record,
    &kRecording<&kve_modBiquadSmoothedFract32Class>.record,
    &kRecording<&kve_modFIRClass>.record,
    &kRecording<&kve_modFIRFract32Class>.record,
    &kRecording<&kve_modMuteUnmuteClass>.record,
    &kRecording<&kve_modMuteUnmuteFract32Class>.record,
    &kRecording<&kve_modRouterClass>.record,
    &kRecording<&kve_modTypeConversionClass>.record,
    &kRecording<&kve_modClipAsymClass>.record,
    &kRecording<&kve_modScaleOffsetClass>.record,
    &kve_modButterworthFilterHPClass.record,
    &kve_modVolumeControlHPClass.record,
    &kRecording<&kve_modBiquadCascadeHPClass>.record,
    &kRecording<&kve_modBiquadSmoothedHPClass>.record,
};

// ---- Signals and references ----

// Uniform noise in steps of 2^-10, so each sample passes to an oracle in few characters: a reference of a few
// thousand samples stays within what one command line holds.
std::vector<float> noise(size_t n, uint32_t seed, float scale)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> u(-scale, scale);
    std::vector<float> x(n);
    for (float &v : x)
        v = std::round(u(rng) * 1024.0f) / 1024.0f;
    return x;
}

// Samples as the Fract32 words a Fract32 wire carries, and back.
std::vector<uint32_t> wordsOf(const std::vector<float> &x)
{
    std::vector<uint32_t> w(x.size());
    for (size_t i = 0; i < x.size(); ++i)
        w[i] = static_cast<uint32_t>(static_cast<int32_t>(std::lround(x[i] * 2147483648.0)));
    return w;
}

// scipy's per-channel filtering of x (interleaved frames of `channels`): "sos" with the sections, or "fir" with
// the taps in time order. Cases that share a reference ask scipy once.
std::vector<double> filtered(const std::string &kind, uint32_t channels, const std::vector<float> &coeffs,
                             const std::vector<float> &x)
{
    static std::map<std::vector<std::string>, std::vector<double>> asked;
    const size_t count = kind == "sos" ? coeffs.size() / 5 : coeffs.size();
    std::vector<std::string> args = {kind, std::to_string(channels), std::to_string(count)};
    for (float c : coeffs)
        args.push_back(kvetest::oracleArg(c));
    for (float v : x)
        args.push_back(kvetest::oracleArg(v));
    auto found = asked.find(args);
    if (found == asked.end())
        found = asked.emplace(args, kvetest::runOracle("filter_channels.py", args)).first;
    return found->second;
}

// Every value from `from` on within `tolerance` of the reference, naming the first misses.
void expectClose(const std::vector<double> &y, const std::vector<double> &reference, size_t from, double tolerance,
                 const std::string &what)
{
    ASSERT_EQ(y.size(), reference.size()) << what;
    int misses = 0;
    for (size_t i = from; i < y.size() && misses < 5; ++i)
        if (!(std::fabs(y[i] - reference[i]) <= tolerance)) {
            ADD_FAILURE() << what << ": word " << i << " gives " << y[i] << ", expected " << reference[i];
            ++misses;
        }
}

class CompositeModules : public ::testing::Test {
protected:
    void SetUp() override { useTable(kTable, std::size(kTable)); }
    void useTable(const ModClassDescriptor *const *table, size_t count)
    {
        engine_->classTable = table;
        engine_->classCount = static_cast<uint32_t>(count);
    }

    GenericWire *wire(uint32_t channels, uint32_t block, float rate = 48000.0f)
    {
        GenericWire *w = engine_.wire(channels, block);
        w->sampleRate = rate;
        return w;
    }

    // Exactly the stereo wires a wiring word names: a read past them shows under the address sanitizer.
    std::vector<GenericWire *> wiresOf(uint32_t wireWord)
    {
        std::vector<GenericWire *> w;
        const uint32_t n = KVE_PACKED_INPUTS(wireWord) + KVE_PACKED_OUTPUTS(wireWord) + KVE_PACKED_SCRATCH(wireWord);
        for (uint32_t k = 0; k < n; ++k)
            w.push_back(wire(2, 32));
        return w;
    }

    ClassModule *build(uint32_t classId, uint32_t wireWord, std::vector<GenericWire *> wires,
                       std::vector<uint32_t> args, int32_t *status = nullptr)
    {
        int32_t local = KVE_OK;
        return ClassModule_Constructor3(engine_.get(), classId, status != nullptr ? status : &local, wireWord,
                                        wires.data(), static_cast<uint32_t>(args.size()), args.data());
    }

    // Feeds x block by block (words as the wire carries them) and returns every output word, as floats or as
    // Fract32 words scaled to floats.
    std::vector<double> run(ClassModule *m, GenericWire *in, GenericWire *out, const std::vector<uint32_t> &x,
                            bool fract32)
    {
        const size_t block = kve::kit::wireWords(in);
        std::vector<double> y;
        for (size_t at = 0; at + block <= x.size(); at += block) {
            std::copy_n(x.begin() + static_cast<std::ptrdiff_t>(at), block, static_cast<uint32_t *>(in->buffer));
            EXPECT_EQ(kve_fwPumpModule(engine_.get(), m), KVE_OK);
            const auto *words = static_cast<const uint32_t *>(out->buffer);
            for (uint32_t i = 0; i < kve::kit::wireWords(out); ++i)
                y.push_back(fract32 ? static_cast<int32_t>(words[i]) / 2147483648.0 : kvetest::floatOf(words[i]));
        }
        return y;
    }
    std::vector<double> run(ClassModule *m, GenericWire *in, GenericWire *out, const std::vector<float> &x,
                            bool fract32)
    {
        if (fract32)
            return run(m, in, out, wordsOf(x), true);
        std::vector<uint32_t> words(x.size());
        std::transform(x.begin(), x.end(), words.begin(), bitsOf);
        return run(m, in, out, words, false);
    }

    // Writes `values` into the array at variable k of module `id` through its member address, then has the module
    // take them through its Set, as a host loads coefficients.
    void load(uint32_t id, uint32_t k, const std::vector<float> &values)
    {
        std::vector<uint32_t> words(values.size());
        std::transform(values.begin(), values.end(), words.begin(), bitsOf);
        const uint32_t address = KVE_MEMBER_ADDRESS(id, kMemberBase + k) | KVE_MEMBER_DEREF;
        ASSERT_EQ(kve_fwSetValuesSetCall(engine_.get(), address, 0, KVE_MASK_HOST,
                                         static_cast<uint32_t>(words.size()), words.data(), 0),
                  KVE_OK);
    }

    // Writes a public scalar of module m through its member address, then calls its Set.
    void write(ClassModule *m, uint32_t k, uint32_t value)
    {
        ASSERT_EQ(kve_fwSetValueSetCall(engine_.get(), KVE_MEMBER_ADDRESS(m->objectId, kMemberBase + k), value,
                                        KVE_MASK_HOST, 0, 0),
                  KVE_OK);
    }

    kvetest::TestEngine engine_;
};

// ---- Inner modules ----

TEST_F(CompositeModules, InnerModulesAreBuiltWithTheirArgumentWordsOnTheRightWiresWithTheNextIds)
{
    useTable(kRecordingTable, std::size(kRecordingTable));
    // Wire slots of the outer module: 0 input, 1 output, 2 and 3 scratch.
    struct Inner {
        uint32_t classId;
        uint32_t wireWord;
        std::vector<uint32_t> slots;
        std::vector<uint32_t> args;
    };
    const std::vector<uint32_t> floatMute = {1,
                                             bitsOf(0.1f),
                                             bitsOf(100.0f),
                                             bitsOf(50.0f),
                                             5,
                                             4800,
                                             2400,
                                             bitsOf(0.809017f),
                                             bitsOf(0.5877852f),
                                             bitsOf(0.99999917f),
                                             bitsOf(0.0013089966f),
                                             bitsOf(0.0f),
                                             bitsOf(0.0f),
                                             0};
    const std::vector<uint32_t> fract32Mute = {
        0, bitsOf(0.1f), bitsOf(100.0f), bitsOf(50.0f), 5, 4800, 2400, 1737350766, 1262259218, 2147481808, 2811049,
        0, 0, 0};
    struct Case {
        const char *what;
        uint32_t classId;
        uint32_t wireWord;
        std::vector<uint32_t> args;
        std::vector<Inner> inner;
    } cases[] = {
        {"AudioWeighting",
         kAudioWeighting,
         0x20101,
         {2, 3},
         {{kBiquadCascade, 0x101, {0, 2}, {3}}, {kMuteUnmute, 0x10101, {2, 1, 3}, floatMute}}},
        {"AudioWeightingFract32",
         kAudioWeightingFract32,
         0x20101,
         {5, 4},
         {{kBiquadCascadeFract32, 0x101, {0, 2}, {4}}, {kMuteUnmuteFract32, 0x10101, {2, 1, 3}, fract32Mute}}},
        {"BiquadLoading", kBiquadLoading, 0x101, {6, 2}, {{kBiquadCascade, 0x101, {0, 1}, {6}}}},
        {"BiquadLoadingFract32", kBiquadLoadingFract32, 0x101, {3, 3}, {{kBiquadCascadeFract32, 0x101, {0, 1}, {3}}}},
        {"FIRLoading", kFIRLoading, 0x101, {16, 4}, {{kFIR, 0x101, {0, 1}, {16, 0}}}},
        {"FIRLoadingFract32", kFIRLoadingFract32, 0x101, {12, 12}, {{kFIRFract32, 0x101, {0, 1}, {12, 0, 1}}}},
        {"EmphasisFilter",
         kEmphasisFilter,
         0x101,
         {1, bitsOf(50.0f)},
         {{kBiquadSmoothed,
           0x101,
           {0, 1},
           {1, bitsOf(10.0f), bitsOf(1.0f), 0, 0, 0, 0, bitsOf(1.0f), 0, 0, 0, 0, 0x3D8414E8u}}}},
        {"EmphasisFilterFract32",
         kEmphasisFilterFract32,
         0x101,
         {0, bitsOf(75.0f)},
         {{kBiquadSmoothedFract32, 0x101, {0, 1}, {1, bitsOf(10.0f), 138497664, 1, 1}}}},
        {"MapperControl",
         kMapperControl,
         0x10101,
         {1, bitsOf(0.0f), bitsOf(1.0f), bitsOf(0.0f), bitsOf(10.0f)},
         {{kRouter, 0x101, {0, 2}, {}},
          {kTypeConversion, 0x101, {2, 2}, {0, 0}},
          {kClipAsym, 0x101, {2, 2}, {bitsOf(-1.0f), bitsOf(1.0f)}},
          {kScaleOffset, 0x101, {2, 1}, {bitsOf(1.0f), bitsOf(0.0f)}}}},
        {"ButterworthFilterHP of order 5",
         kButterworthFilterHP,
         0x101,
         {1, 5, bitsOf(1000.0f)},
         {{kBiquadCascadeHP, 0x101, {0, 1}, {3}}}},
        {"ButterworthFilterHP of order 10",
         kButterworthFilterHP,
         0x101,
         {0, 10, bitsOf(1000.0f)},
         {{kBiquadCascadeHP, 0x101, {0, 1}, {5}}}},
        {"VolumeControlHP",
         kVolumeControlHP,
         0x101,
         std::vector<uint32_t>(10, 0),
         {{kBiquadSmoothedHP, 0x101, {0, 1}, {1, bitsOf(10.0f), 0x3D8414E8u}}}},
    };
    for (const Case &c : cases) {
        const std::vector<GenericWire *> wires = wiresOf(c.wireWord);
        g_constructions.clear();
        ClassModule *m = build(c.classId, c.wireWord, wires, c.args);
        ASSERT_NE(m, nullptr) << c.what;
        ASSERT_EQ(g_constructions.size(), c.inner.size()) << c.what;
        const ModClassDescriptor *record = m->classRecord;
        const uint32_t firstInner = kve_ClassVariableCount(record) - static_cast<uint32_t>(c.inner.size());
        KVEObject *expectedNext = reinterpret_cast<KVEObject *>(m);
        for (size_t k = 0; k < c.inner.size(); ++k) {
            const std::string what = std::string(c.what) + ", inner module " + std::to_string(k);
            const Construction &built = g_constructions[k];
            EXPECT_EQ(built.classId, c.inner[k].classId) << what;
            EXPECT_EQ(built.wireWord, c.inner[k].wireWord) << what;
            ASSERT_EQ(built.wires.size(), c.inner[k].slots.size()) << what;
            for (size_t w = 0; w < built.wires.size(); ++w)
                EXPECT_EQ(built.wires[w], wires[c.inner[k].slots[w]]) << what << ", wire " << w;
            EXPECT_EQ(built.args, c.inner[k].args) << what;
            // Kept in the outer module's pointer variables in building order, with the ids right after its own.
            auto *inner = variable<ClassModule *>(m, firstInner + static_cast<uint32_t>(k));
            ASSERT_NE(inner, nullptr) << what;
            EXPECT_EQ(inner->classRecord->classId, c.inner[k].classId) << what;
            EXPECT_EQ(inner->objectId, m->objectId + 1 + k) << what;
            EXPECT_EQ(expectedNext->next, reinterpret_cast<KVEObject *>(inner)) << what;
            expectedNext = reinterpret_cast<KVEObject *>(inner);
        }
        EXPECT_EQ(engine_->lastObject, expectedNext) << c.what;
    }
}

TEST_F(CompositeModules, RefuseWiringsAndSizesTheyCannotBuildAndLeaveNothingBehind)
{
    struct Case {
        const char *what;
        uint32_t classId;
        uint32_t wireWord;
        std::vector<uint32_t> args;
        int32_t status;
    } cases[] = {
        {"a weighting of five stages", kAudioWeighting, 0x20101, {0, 5}, KVE_E_BAD_ARGUMENT},
        {"a Fract32 weighting of 100 stages", kAudioWeightingFract32, 0x20101, {0, 100}, KVE_E_BAD_ARGUMENT},
        {"a weighting of -1 stages", kAudioWeighting, 0x20101, {0, static_cast<uint32_t>(-1)}, KVE_E_BAD_ARGUMENT},
        {"a weighting with one scratch wire", kAudioWeighting, 0x10101, {0, 2}, KVE_E_ARG_COUNT},
        {"a loading cascade with two outputs", kBiquadLoading, 0x201, {2, 2}, KVE_E_ARG_COUNT},
        {"a loading FIR with a scratch wire", kFIRLoading, 0x10101, {4, 4}, KVE_E_ARG_COUNT},
        {"a loading cascade of -2 stages", kBiquadLoading, 0x101, {static_cast<uint32_t>(-2), 0},
         KVE_E_BAD_ARGUMENT},
        {"an emphasis filter with two inputs", kEmphasisFilter, 0x102, {1, bitsOf(50.0f)}, KVE_E_ARG_COUNT},
        {"a mapper without its scratch wire", kMapperControl, 0x101, {1, 0, 0, 0, 0}, KVE_E_ARG_COUNT},
        {"a mapper with one argument short", kMapperControl, 0x10101, {1, 0, 0, 0}, KVE_E_ARG_COUNT},
        {"a Butterworth filter of order 0", kButterworthFilterHP, 0x101, {0, 0, bitsOf(100.0f)}, KVE_E_BAD_ARGUMENT},
        {"a Butterworth filter of order 11", kButterworthFilterHP, 0x101, {0, 11, bitsOf(100.0f)},
         KVE_E_BAD_ARGUMENT},
        {"a Butterworth filter of order -1", kButterworthFilterHP, 0x101, {0, static_cast<uint32_t>(-1), 0},
         KVE_E_BAD_ARGUMENT},
        {"a Butterworth filter with a scratch wire", kButterworthFilterHP, 0x10101, {0, 2, bitsOf(100.0f)},
         KVE_E_ARG_COUNT},
        {"a volume control with a second output", kVolumeControlHP, 0x201, std::vector<uint32_t>(10, 0),
         KVE_E_ARG_COUNT},
    };
    for (const Case &c : cases) {
        const std::vector<GenericWire *> wires = wiresOf(c.wireWord);
        KVEObject *const last = engine_->lastObject;
        int32_t status = KVE_OK;
        EXPECT_EQ(build(c.classId, c.wireWord, wires, c.args, &status), nullptr) << c.what;
        EXPECT_EQ(status, c.status) << c.what;
        EXPECT_EQ(engine_->lastObject, last) << c.what << ": nothing is left in the object list";
    }

    // An inner class missing from the class table: the composite is not built either.
    const ModClassDescriptor *const withoutMute[] = {&kve_modAudioWeightingClass.record,
                                                     &kve_modBiquadCascadeClass.record};
    useTable(withoutMute, std::size(withoutMute));
    const std::vector<GenericWire *> wires = wiresOf(0x20101);
    KVEObject *const last = engine_->lastObject;
    int32_t status = KVE_OK;
    EXPECT_EQ(build(kAudioWeighting, 0x20101, wires, {0, 2}, &status), nullptr);
    EXPECT_EQ(status, KVE_E_CLASS_NOT_FOUND);
    EXPECT_EQ(engine_->lastObject, last);
}

// ---- Weighting filters ----

// At 8 kHz the mute fades out over 1 sample, holds 800 and fades in over 400.
constexpr float kWeightingRate = 8000.0f;
constexpr size_t kMuteHoldFrom = 1, kMuteHoldTo = 801, kMuteEnd = 1201;

// Eight sets of two stable sections each, every set its own response.
std::vector<float> weightingTable(uint32_t stages)
{
    std::vector<float> t(160, 0.0f);
    for (uint32_t set = 0; set < 8; ++set)
        for (uint32_t s = 0; s < stages; ++s) {
            float *c = t.data() + (set * stages + s) * 5;
            c[0] = 0.2f + 0.1f * static_cast<float>(set);
            c[1] = 0.1f * static_cast<float>(s + 1);
            c[2] = -0.05f;
            c[3] = -0.5f + 0.1f * static_cast<float>(set);
            c[4] = 0.1f * static_cast<float>(s);
        }
    return t;
}

std::vector<float> weightingSet(const std::vector<float> &table, uint32_t set, uint32_t stages)
{
    const auto from = static_cast<std::ptrdiff_t>(set * stages * 5);
    return std::vector<float>(table.begin() + from, table.begin() + from + stages * 5);
}

TEST_F(CompositeModules, WeightingRunsTheCurveItsTypeSelectsOnceTheSwitchMuteIsOver)
{
    struct Case {
        uint32_t classId;
        int32_t type;
        uint32_t set; // the set that type selects
        int32_t stagesBuilt, stagesWritten;
    } cases[] = {
        {kAudioWeighting, 0, 0, 2, 2},        {kAudioWeighting, 3, 3, 2, 2},
        {kAudioWeighting, 9, 7, 2, 2},        {kAudioWeighting, -2, 0, 2, 2},
        {kAudioWeighting, 5, 5, 3, 1},        {kAudioWeighting, 6, 6, 2, 7},
        {kAudioWeighting, 1, 1, 2, 0},        {kAudioWeightingFract32, 2, 2, 3, -4},
        {kAudioWeightingFract32, 7, 7, 2, 2}, {kAudioWeightingFract32, 12, 7, 4, 4},
        {kAudioWeightingFract32, 4, 4, 4, 2},
    };
    constexpr uint32_t kChannels = 2, kBlock = 32, kBlocks = 45;
    const std::vector<float> x = noise(kChannels * kBlock * kBlocks, 5, 0.25f);
    for (const Case &c : cases) {
        const bool fract32 = c.classId == kAudioWeightingFract32;
        // A stage count written above what was built is held to it; a lower one runs fewer stages of its sets, and
        // none leaves the signal as it is.
        const auto stages = static_cast<uint32_t>(std::clamp(c.stagesWritten, 0, c.stagesBuilt));
        const std::string what = std::string(fract32 ? "Fract32 " : "") + "type " + std::to_string(c.type) +
                                 ", stages " + std::to_string(c.stagesBuilt) + " then " +
                                 std::to_string(c.stagesWritten);
        GenericWire *in = wire(kChannels, kBlock, kWeightingRate);
        GenericWire *out = wire(kChannels, kBlock, kWeightingRate);
        ClassModule *m = build(c.classId, 0x20101,
                               {in, out, wire(kChannels, kBlock, kWeightingRate), wire(1, kBlock, kWeightingRate)},
                               {static_cast<uint32_t>(c.type), static_cast<uint32_t>(c.stagesBuilt)});
        ASSERT_NE(m, nullptr) << what;
        const std::vector<float> table = weightingTable(stages);
        load(m->objectId, 2, table);
        write(m, 1, static_cast<uint32_t>(c.stagesWritten));
        const std::vector<double> y = run(m, in, out, x, fract32);
        for (size_t frame = kMuteHoldFrom; frame < kMuteHoldTo; ++frame)
            for (uint32_t ch = 0; ch < kChannels; ++ch)
                ASSERT_EQ(y[frame * kChannels + ch], 0.0) << what << ": frame " << frame << " is muted";
        const std::vector<double> reference =
            stages == 0 ? std::vector<double>(x.begin(), x.end())
                        : filtered("sos", kChannels, weightingSet(table, c.set, stages), x);
        expectClose(y, reference, kMuteEnd * kChannels, fract32 ? 2e-6 : 1e-6, what);
    }
}

// A switch of curve starts every channel's filter from rest: state left in any channel would run on under the new
// coefficients. Slow one-pole curves keep a channel's old state alive well past the mute.
TEST_F(CompositeModules, WeightingSwitchLeavesNoOldStateInAnyChannel)
{
    constexpr uint32_t kChannels = 3, kBlock = 32, kBefore = 40, kAfter = 50;
    std::vector<float> table(160, 0.0f);
    const float before[5] = {1e-3f, 0.0f, 0.0f, -0.999f, 0.0f};
    const float after[5] = {5e-4f, 0.0f, 0.0f, -0.9995f, 0.0f};
    std::copy_n(before, 5, table.begin());
    std::copy_n(after, 5, table.begin() + 5);
    // A large level on every channel, different on each, so each channel's state is far from rest at the switch.
    std::vector<float> x = noise(kChannels * kBlock * (kBefore + kAfter), 8, 0.05f);
    for (size_t i = 0; i < x.size(); ++i)
        x[i] += 0.25f * static_cast<float>(1 + i % kChannels);
    for (uint32_t classId : {kAudioWeighting, kAudioWeightingFract32}) {
        const bool fract32 = classId == kAudioWeightingFract32;
        GenericWire *in = wire(kChannels, kBlock, kWeightingRate);
        GenericWire *out = wire(kChannels, kBlock, kWeightingRate);
        ClassModule *m = build(classId, 0x20101,
                               {in, out, wire(kChannels, kBlock, kWeightingRate), wire(1, kBlock, kWeightingRate)},
                               {0, 1});
        ASSERT_NE(m, nullptr);
        load(m->objectId, 2, table);
        const size_t split = kChannels * kBlock * kBefore;
        const std::vector<float> first(x.begin(), x.begin() + static_cast<std::ptrdiff_t>(split));
        const std::vector<float> second(x.begin() + static_cast<std::ptrdiff_t>(split), x.end());
        run(m, in, out, first, fract32);
        write(m, 0, 1);
        expectClose(run(m, in, out, second, fract32), filtered("sos", kChannels, {after, after + 5}, second),
                    kMuteEnd * kChannels, 1e-5, fract32 ? "Fract32" : "float");
    }
}

// ---- Loading cascades and FIRs ----

// Four stable sections and ten taps to load.
const std::vector<float> kSections = {0.3f,  0.2f, 0.1f,  -0.4f, 0.2f,  1.0f,  -0.5f, 0.25f, 0.3f, 0.1f,
                                      0.5f,  0.5f, 0.0f,  -0.2f, 0.0f,  0.8f,  0.1f,  -0.3f, 0.5f, 0.4f};
const std::vector<float> kTaps = {0.5f, -0.25f, 0.125f, 0.3f, -0.1f, 0.05f, 0.2f, -0.4f, 0.1f, 0.02f};

struct Loading {
    uint32_t classId;
    uint32_t innerId;
    bool fract32;
    bool fir;
};
constexpr Loading kLoadings[] = {
    {kBiquadLoading, kBiquadCascade, false, false},
    {kBiquadLoadingFract32, kBiquadCascadeFract32, true, false},
    {kFIRLoading, kFIR, false, true},
    {kFIRLoadingFract32, kFIRFract32, true, true},
};

// The host loads every stage or tap the module was built for through the inner module's id with one count active,
// then makes another count active: only that many run, with the coefficients loaded before. The float classes
// against scipy, the Fract32 classes bit for bit against a standalone cascade or FIR of that count loaded alike.
TEST_F(CompositeModules, LoadingModulesRunTheActiveCountOfWhatTheHostLoaded)
{
    struct Counts {
        int32_t loadedWith, active;
    } counts[] = {{4, 2}, {1, 3}, {4, 4}, {2, 0}, {3, 9}, {4, -1}};
    constexpr uint32_t kChannels = 3, kBlock = 16, kBlocks = 12;
    const std::vector<float> x = noise(kChannels * kBlock * kBlocks, 21, 0.2f);
    for (const Loading &l : kLoadings) {
        for (const Counts &n : counts) {
            const int32_t built = l.fir ? 10 : 4;
            const std::string what = std::string(l.fir ? "FIR" : "cascade") + (l.fract32 ? " Fract32" : "") +
                                     ", loaded with " + std::to_string(n.loadedWith) + " active, then " +
                                     std::to_string(n.active);
            GenericWire *in = wire(kChannels, kBlock);
            GenericWire *out = wire(kChannels, kBlock);
            ClassModule *m = build(l.classId, 0x101, {in, out},
                                   {static_cast<uint32_t>(built), static_cast<uint32_t>(n.loadedWith)});
            ASSERT_NE(m, nullptr) << what;
            const std::vector<float> &coeffs = l.fir ? kTaps : kSections;
            // The coefficients are the inner module's first array, its variable 1 (FIR: after its two or three
            // scalars).
            const uint32_t coeffsVariable = l.fir ? (l.fract32 ? 3 : 2) : 1;
            load(m->objectId + 1, coeffsVariable, coeffs);
            write(m, 1, static_cast<uint32_t>(n.active));
            const std::vector<double> y = run(m, in, out, x, l.fract32);

            const auto runs = static_cast<uint32_t>(std::clamp(n.active, 0, built));
            const size_t words = l.fir ? runs : 5 * runs;
            const std::vector<float> active(coeffs.begin(), coeffs.begin() + static_cast<std::ptrdiff_t>(words));
            if (runs == 0) {
                // Nothing runs: the output wire keeps what it held, silence here.
                EXPECT_TRUE(std::all_of(y.begin(), y.end(), [](double v) { return v == 0.0; })) << what;
            } else if (!l.fract32) {
                expectClose(y, filtered(l.fir ? "fir" : "sos", kChannels, active, x), 0, 1e-6, what);
            } else {
                GenericWire *modelIn = wire(kChannels, kBlock);
                GenericWire *modelOut = wire(kChannels, kBlock);
                const std::vector<uint32_t> modelArgs =
                    l.fir ? std::vector<uint32_t>{runs, 0, 1} : std::vector<uint32_t>{runs};
                ClassModule *model = build(l.innerId, 0x101, {modelIn, modelOut}, modelArgs);
                ASSERT_NE(model, nullptr) << what;
                load(model->objectId, coeffsVariable, active);
                EXPECT_EQ(y, run(model, modelIn, modelOut, x, true)) << what;
            }
        }
    }
}

// ---- Emphasis filters ----

// The one-pole emphasis of time constant tau microseconds at rate fs, p = exp(-1 / (tau fs)): de-emphasis
// (1 - p) / (1 - p z^-1), pre-emphasis its inverse; type 0 passes the signal through.
std::vector<float> emphasisSection(int32_t type, double tauUs, double fs)
{
    const double p = std::exp(-1.0 / (tauUs * 1e-6 * fs));
    if (type == 0)
        return {1.0f, 0.0f, 0.0f, 0.0f, 0.0f};
    if (type == 1)
        return {static_cast<float>(1.0 / (1.0 - p)), static_cast<float>(-p / (1.0 - p)), 0.0f, 0.0f, 0.0f};
    return {static_cast<float>(1.0 - p), 0.0f, 0.0f, static_cast<float>(-p), 0.0f};
}

TEST_F(CompositeModules, EmphasisFilterSettlesOnTheFilterOfItsType)
{
    struct Case {
        int32_t type;
        float tauUs;
    } cases[] = {{0, 50.0f}, {1, 50.0f}, {1, 75.0f}, {2, 75.0f}, {-3, 50.0f}};
    // The inner glide moves 6.4% of the way per block of 32 at 48 kHz: after 300 blocks it is within 2e-9 of the
    // design. The filters forget their input within a few dozen samples, so the reference is the last blocks
    // filtered from rest a few blocks earlier.
    constexpr uint32_t kChannels = 2, kBlock = 32, kBlocks = 300, kWarmUp = 10, kCompared = 20;
    const std::vector<float> x = noise(kChannels * kBlock * kBlocks, 33, 0.1f);
    const size_t tail = kChannels * kBlock * (kWarmUp + kCompared);
    const std::vector<float> lastBlocks(x.end() - static_cast<std::ptrdiff_t>(tail), x.end());
    for (uint32_t classId : {kEmphasisFilter, kEmphasisFilterFract32}) {
        const bool fract32 = classId == kEmphasisFilterFract32;
        for (const Case &c : cases) {
            const std::string what = std::string(fract32 ? "Fract32 " : "") + "type " + std::to_string(c.type) +
                                     " of " + std::to_string(c.tauUs) + " us";
            GenericWire *in = wire(kChannels, kBlock);
            GenericWire *out = wire(kChannels, kBlock);
            ClassModule *m = build(classId, 0x101, {in, out}, {static_cast<uint32_t>(c.type), bitsOf(c.tauUs)});
            ASSERT_NE(m, nullptr) << what;
            const std::vector<double> y = run(m, in, out, x, fract32);
            expectClose(std::vector<double>(y.end() - static_cast<std::ptrdiff_t>(tail), y.end()),
                        filtered("sos", kChannels, emphasisSection(c.type, c.tauUs, 48000.0), lastBlocks),
                        kChannels * kBlock * kWarmUp, 1e-6, what);
        }
    }
}

// ---- Mapper ----

TEST_F(CompositeModules, MapperMapsTheChosenChannelClippedToItsInputRange)
{
    struct Case {
        const char *what;
        int32_t inputIndex;
        float inMin, inMax, outMin, outMax;
        std::vector<float> expected; // for the second channel's values below
    } cases[] = {
        {"[-1, 1] onto [0, 100]", 2, -1.0f, 1.0f, 0.0f, 100.0f, {0.0f, 0.0f, 50.0f, 75.0f, 100.0f}},
        {"[0, 2] onto [10, -10], falling", 2, 0.0f, 2.0f, 10.0f, -10.0f, {10.0f, 10.0f, 10.0f, 5.0f, -10.0f}},
        {"an empty input range maps to outMin", 2, 0.5f, 0.5f, 3.0f, 9.0f, {3.0f, 3.0f, 3.0f, 3.0f, 3.0f}},
        {"the first channel", 1, 0.0f, 10.0f, 0.0f, 1.0f, {0.5f, 0.5f, 0.5f, 0.5f, 0.5f}},
        {"a channel the wire lacks reads as 0", 3, -1.0f, 1.0f, 0.0f, 100.0f, {50.0f, 50.0f, 50.0f, 50.0f, 50.0f}},
        {"index 0 reads as 0", 0, -2.0f, 2.0f, 0.0f, 4.0f, {2.0f, 2.0f, 2.0f, 2.0f, 2.0f}},
        {"the lowest index reads as 0", INT32_MIN, -2.0f, 2.0f, 0.0f, 4.0f, {2.0f, 2.0f, 2.0f, 2.0f, 2.0f}},
    };
    const float second[] = {-2.0f, -1.0f, 0.0f, 0.5f, 3.0f};
    for (const Case &c : cases) {
        GenericWire *in = wire(2, 5);
        GenericWire *out = wire(1, 5);
        ClassModule *m = build(kMapperControl, 0x10101, {in, out, wire(1, 5)},
                               {static_cast<uint32_t>(c.inputIndex), bitsOf(c.inMin), bitsOf(c.inMax),
                                bitsOf(c.outMin), bitsOf(c.outMax)});
        ASSERT_NE(m, nullptr) << c.what;
        auto *samples = static_cast<float *>(in->buffer);
        for (size_t i = 0; i < 5; ++i) {
            samples[2 * i] = 5.0f;
            samples[2 * i + 1] = second[i];
        }
        ASSERT_EQ(kve_fwPumpModule(engine_.get(), m), KVE_OK);
        for (size_t i = 0; i < 5; ++i)
            EXPECT_NEAR(static_cast<float *>(out->buffer)[i], c.expected[i], 1e-5f) << c.what << ", value " << i;
    }
}

// ---- State-space Butterworth filter ----

TEST_F(CompositeModules, ButterworthFilterHPMatchesScipy)
{
    struct Case {
        int32_t kind; // 0 lowpass, 1 highpass
        int32_t order;
        float cutoff;
        uint32_t channels;
    } cases[] = {{0, 1, 3000.0f, 1}, {0, 4, 2500.0f, 2}, {1, 5, 2000.0f, 3}, {1, 2, 300.0f, 2},
                 {0, 10, 8000.0f, 3}, {1, 9, 12000.0f, 1}};
    constexpr uint32_t kBlock = 32, kBlocks = 16;
    for (const Case &c : cases) {
        const std::string what = std::string(c.kind == 0 ? "lowpass" : "highpass") + " of order " +
                                 std::to_string(c.order) + " at " + std::to_string(c.cutoff) + " Hz on " +
                                 std::to_string(c.channels) + " channels";
        GenericWire *in = wire(c.channels, kBlock);
        GenericWire *out = wire(c.channels, kBlock);
        ClassModule *m = build(kButterworthFilterHP, 0x101, {in, out},
                               {static_cast<uint32_t>(c.kind), static_cast<uint32_t>(c.order), bitsOf(c.cutoff)});
        ASSERT_NE(m, nullptr) << what;
        const std::vector<float> x = noise(c.channels * kBlock * kBlocks, static_cast<uint32_t>(c.order), 0.5f);
        std::vector<std::string> args = {"butter", std::to_string(c.channels), std::to_string(c.order),
                                         std::to_string(c.kind), kvetest::oracleArg(c.cutoff), "48000"};
        for (float v : x)
            args.push_back(kvetest::oracleArg(v));
        expectClose(run(m, in, out, x, false), kvetest::runOracle("filter_channels.py", args), 0, 2e-5, what);
    }
}

// The steady-state gain in dB of the module for a sine at f on a one-channel wire: the output's projection on the
// sine over whole periods, once the start has died away.
double gainInDB(kvetest::TestEngine &engine, ClassModule *m, GenericWire *in, GenericWire *out, double f)
{
    const uint32_t block = kve::kit::blockSize(in);
    const double rate = in->sampleRate;
    const auto period = static_cast<uint32_t>(std::lround(rate / f));
    const uint32_t settle = 200 * period, measured = 100 * period;
    std::complex<double> sum = 0.0;
    for (uint32_t first = 0; first < settle + measured; first += block) {
        for (uint32_t t = 0; t < block; ++t)
            static_cast<float *>(in->buffer)[t] =
                static_cast<float>(0.5 * std::sin(2.0 * std::numbers::pi * f * (first + t) / rate));
        kve_fwPumpModule(engine.get(), m);
        for (uint32_t t = 0; t < block; ++t) {
            const uint32_t n = first + t;
            if (n >= settle && n < settle + measured)
                sum += static_cast<double>(static_cast<float *>(out->buffer)[t]) *
                       std::polar(1.0, -2.0 * std::numbers::pi * f * n / rate);
        }
    }
    return 20.0 * std::log10(std::abs(sum) * 2.0 / (measured * 0.5));
}

TEST_F(CompositeModules, ButterworthFilterHPIsThreeDecibelsDownAtItsCutoff)
{
    struct Case {
        int32_t kind, order;
        float cutoff;
    } cases[] = {{0, 2, 1000.0f}, {0, 5, 1000.0f}, {1, 8, 1200.0f}, {1, 3, 4800.0f}, {0, 10, 4800.0f}};
    for (const Case &c : cases) {
        GenericWire *in = wire(1, 32);
        GenericWire *out = wire(1, 32);
        ClassModule *m = build(kButterworthFilterHP, 0x101, {in, out},
                               {static_cast<uint32_t>(c.kind), static_cast<uint32_t>(c.order), bitsOf(c.cutoff)});
        ASSERT_NE(m, nullptr);
        EXPECT_NEAR(gainInDB(engine_, m, in, out, c.cutoff), -3.0103, 0.01)
            << (c.kind == 0 ? "lowpass" : "highpass") << " of order " << c.order << " at " << c.cutoff << " Hz";
    }
}

// An order the host writes later: a lower one designs fewer sections and passes the signal through the rest; a
// higher one is held to the sections built, and 0 to order 1.
TEST_F(CompositeModules, ButterworthFilterHPOrdersAHostWritesStayWithinItsSections)
{
    struct Case {
        int32_t built, written, runs;
    } cases[] = {{5, 2, 2}, {6, 3, 3}, {4, 9, 4}, {4, 0, 1}, {3, -5, 1}};
    constexpr uint32_t kChannels = 2, kBlock = 32, kBlocks = 12;
    const std::vector<float> x = noise(kChannels * kBlock * kBlocks, 71, 0.5f);
    for (const Case &c : cases) {
        const std::string what = "built of order " + std::to_string(c.built) + ", written " +
                                 std::to_string(c.written);
        GenericWire *in = wire(kChannels, kBlock);
        GenericWire *out = wire(kChannels, kBlock);
        ClassModule *m = build(kButterworthFilterHP, 0x101, {in, out},
                               {1, static_cast<uint32_t>(c.built), bitsOf(1500.0f)});
        ASSERT_NE(m, nullptr) << what;
        write(m, 1, static_cast<uint32_t>(c.written));
        std::vector<std::string> args = {"butter", std::to_string(kChannels), std::to_string(c.runs), "1", "1500",
                                         "48000"};
        for (float v : x)
            args.push_back(kvetest::oracleArg(v));
        expectClose(run(m, in, out, x, false), kvetest::runOracle("filter_channels.py", args), 0, 2e-5, what);
    }
}

// ---- State-space volume control ----

struct Volume {
    float gain, curveA, curveB, curveC, shelfB0, shelfB1, shelfB2, a1, a2;
};

// The section of the volume control's closed form, from its parameters in double precision: G (1 + a1 z^-1 +
// a2 z^-2) + d (shelf) over 1 + a1 z^-1 + a2 z^-2, with G = 10^(g / 20) and, below 0 dB only, d = G (10^(q / 20) - 1)
// for the level curve q = A g^2 + B g + C.
std::vector<float> volumeSection(const Volume &v)
{
    const double g = v.gain;
    const double G = std::pow(10.0, g / 20.0);
    const double d = g < 0.0 ? G * (std::pow(10.0, ((v.curveA * g + v.curveB) * g + v.curveC) / 20.0) - 1.0) : 0.0;
    return {static_cast<float>(G + d * v.shelfB0), static_cast<float>(G * v.a1 + d * v.shelfB1),
            static_cast<float>(G * v.a2 + d * v.shelfB2), v.a1, v.a2};
}

// Once its glide toward the section has come to rest (on silence, so the filter state rests too), the volume control
// filters as the closed form does: a plain gain at 0 dB and above, the compensated section below.
TEST_F(CompositeModules, VolumeControlHPFiltersWithItsClosedFormOnceItsGlideIsOver)
{
    const Volume cases[] = {
        {0.0f, 0.01f, -0.5f, 3.0f, 0.05f, 0.0f, -0.05f, -1.6f, 0.8f},
        {6.0f, 0.01f, -0.5f, 3.0f, 0.05f, 0.0f, -0.05f, -1.6f, 0.8f},
        {-12.0f, 0.01f, -0.5f, 3.0f, 0.05f, 0.0f, -0.05f, -1.6f, 0.8f},
        {-30.0f, 0.005f, -0.2f, 6.0f, 0.1f, 0.02f, -0.08f, -1.2f, 0.5f},
    };
    constexpr uint32_t kChannels = 3, kBlock = 32, kBlocks = 12;
    const std::vector<float> x = noise(kChannels * kBlock * kBlocks, 90, 0.5f);
    const std::vector<float> silence(kChannels * kBlock * 400, 0.0f);
    for (const Volume &v : cases) {
        const std::string what = std::to_string(v.gain) + " dB";
        GenericWire *in = wire(kChannels, kBlock);
        GenericWire *out = wire(kChannels, kBlock);
        ClassModule *m = build(kVolumeControlHP, 0x101, {in, out},
                               {bitsOf(v.gain), bitsOf(123.0f), bitsOf(v.curveA), bitsOf(v.curveB), bitsOf(v.curveC),
                                bitsOf(v.shelfB0), bitsOf(v.shelfB1), bitsOf(v.shelfB2), bitsOf(v.a1), bitsOf(v.a2)});
        ASSERT_NE(m, nullptr) << what;
        run(m, in, out, silence, false);
        const std::vector<float> section = volumeSection(v);
        const double scale = std::max(1.0, std::fabs(static_cast<double>(section[0])));
        expectClose(run(m, in, out, x, false), filtered("sos", kChannels, section, x), 0, 2e-6 * scale, what);
    }
}

} // namespace
