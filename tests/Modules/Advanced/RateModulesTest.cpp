// The rate and timing modules: the sample-rate meter driven by an injected clock (its snapping, its ties, its lock
// after three agreeing periods, a period without elapsed time), the rate updater's rescaling of the wires it
// recorded and its Set of every other module, the object ids around it, the cycle burners' busy time and the
// wire-property adapter's copy.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "Modules/Advanced/RateModules.h"
#include "Modules/Advanced/StateControl.h"
#include "support/ModuleFixture.h"
#include "support/ModuleVariables.h"
#include "support/TestEngine.h"

namespace {

using kvetest::FakeClock;
using kvetest::variable;

constexpr uint32_t kSampleRate = 0xBEEF0D26u;
constexpr uint32_t kUpdate = 0xBEEF0D46u;
constexpr uint32_t kWireProperties = 0xBEEF0D35u;
constexpr uint32_t kBurner = 0xBEEF0CDEu;
constexpr uint32_t kBurnerSet = 0xBEEF0D63u;
constexpr uint32_t kTimeOut = 0xBEEF0D42u;

const ModClassDescriptor *const kTable[] = {
    &kve_modSampleRateClass.record,    &kve_modUpdateSampleRateClass.record, &kve_modSetWirePropertiesClass.record,
    &kve_modCycleBurnerClass.record,   &kve_modCycleBurnerSetClass.record,   &kve_modTimeOutClass.record,
};

enum : uint32_t { kScale, kPeriod, kStamp, kAccumulated, kRates, kRunning, kLocked, kMeasured, kLast, kBefore,
                  kEnable, kCountdown, kTable12 };

class RateModules : public kvetest::ModuleFixture {
protected:
    void SetUp() override { useTable(kTable); }
};

TEST_F(RateModules, MeterLocksOnTheNearestAllowedRateAfterThreeAgreeingPeriods)
{
    constexpr uint32_t kPeriodBlocks = 4;
    const struct {
        const char *what;
        float scale;     // times 10^6: clock ticks per second
        uint32_t step;   // ticks per block
        std::vector<float> table;
        float declared;
        float locked;    // the measured rate once locked
    } cases[] = {
        {"47990 snaps to 48000", 10.0f, 6668, {44100.0f, 48000.0f}, 32000.0f, 48000.0f},
        {"44000 snaps to 44100", 10.0f, 7273, {44100.0f, 48000.0f}, 48000.0f, 44100.0f},
        {"a tie takes the earlier entry", 1.40625f, 1000, {44000.0f, 46000.0f}, 48000.0f, 44000.0f},
        {"a tie takes the earlier entry, reversed", 1.40625f, 1000, {46000.0f, 44000.0f}, 48000.0f, 46000.0f},
        {"a nearest entry of 0 keeps the estimate", 1.40625f, 1000, {0.0f, 90000.0f}, 48000.0f, 45000.0f},
        {"without a table the estimate stands", 1.40625f, 1000, {}, 48000.0f, 45000.0f},
    };
    for (const auto &c : cases) {
        FakeClock clock(0xFFFF0000u, c.step); // the count wraps during the run
        GenericWire *in = engine_.wire(1, 32);
        in->sampleRate = c.declared;
        GenericWire *out = engine_.wire(1, 1);
        const auto n = static_cast<uint32_t>(c.table.size());
        ClassModule *m = build(kSampleRate, 0x101, {in, out},
                               {kvetest::bitsOf(c.scale), kPeriodBlocks, 0, 0, n, 0, 0, 0, 0, 0, 1, 0});
        std::copy(c.table.begin(), c.table.end(), kvetest::privateArray<float>(m, kTable12));
        for (uint32_t block = 1; block <= 1 + 3 * kPeriodBlocks; ++block) {
            pump(m);
            const bool locked = block == 1 + 3 * kPeriodBlocks;
            ASSERT_EQ(variable<int32_t>(m, kLocked), locked ? 1 : 0) << c.what << " block " << block;
            ASSERT_EQ(variable<float>(m, kMeasured), locked ? c.locked : c.declared) << c.what << " block " << block;
            ASSERT_EQ(data<int32_t>(out)[0], static_cast<int32_t>(locked ? c.locked : c.declared));
        }
    }
}

TEST_F(RateModules, MeterGivesNoEstimateForAPeriodWithoutElapsedTime)
{
    FakeClock clock(5, 0);
    GenericWire *in = engine_.wire(1, 32);
    GenericWire *out = engine_.wire(1, 1);
    ClassModule *m = build(kSampleRate, 0x101, {in, out}, {kvetest::bitsOf(10.0f), 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    data<int32_t>(out)[0] = -7;
    for (int block = 0; block < 10; ++block)
        pump(m);
    EXPECT_EQ(variable<float>(m, kLast), 0.0f);
    EXPECT_EQ(variable<int32_t>(m, kLocked), 0);
    EXPECT_EQ(variable<float>(m, kMeasured), 48000.0f);
    EXPECT_EQ(data<int32_t>(out)[0], -7) << "output disabled";
}

TEST_F(RateModules, UpdaterRescalesTheWiresItRecordedAndSetsEveryOtherModule)
{
    GenericWire *in = engine_.wire(2, 32);
    GenericWire *slow = engine_.wire(1, 1);
    slow->sampleRate = 1500.0f;
    GenericWire *flag = engine_.wire(1, 1);
    GenericWire *timeOutOut = engine_.wire(2, 32);
    ClassModule *t = build(kTimeOut, 0x101, {in, timeOutOut}, {kvetest::bitsOf(1.0f), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    const uint32_t before = t->objectId;
    ClassModule *u = build(kUpdate, 0x101, {in, flag}, {0, 0, 0});
    ASSERT_NE(u, nullptr);
    EXPECT_EQ(variable<int32_t>(u, 2), 0) << "the Set of construction, with no rate yet, updates nothing";
    GenericWire *later = engine_.wire(1, 32);
    EXPECT_EQ(u->objectId, before + 2) << "the updater takes two ids";
    EXPECT_EQ(later->objectId, u->objectId + 1);
    KVEObject *orphan = nullptr;
    uint32_t classId = 0;
    EXPECT_NE(kve_fwGetObjectByID2(before + 1, &orphan, &classId), KVE_OK) << "the first id names no object";

    // Every object of the list: the updater must be the only module of its class in it.
    std::vector<GenericWire *> wires;
    uint32_t updaters = 0;
    KVEObject *o = nullptr;
    for (int32_t r = kve_fwGetFirstObject(&o, &classId); r == KVE_OK && o != nullptr;
         r = kve_fwGetNextObject(o, &o, &classId)) {
        if (classId >= 0xBEEF0080u && classId <= 0xBEEF07FFu && reinterpret_cast<GenericWire *>(o) != later)
            wires.push_back(reinterpret_cast<GenericWire *>(o));
        updaters += classId == kUpdate ? 1u : 0u;
    }
    EXPECT_EQ(updaters, 1u);
    std::vector<float> recorded;
    for (GenericWire *w : wires)
        recorded.push_back(w->sampleRate);
    EXPECT_EQ(variable<float>(u, 1), 48000.0f);
    later->sampleRate = 8000.0f;

    for (float rate : {24000.0f, 48000.0f}) {
        variable<float>(u, 0) = rate;
        ASSERT_EQ(u->classRecord->set(u, 1u << 8), 0);
        for (size_t k = 0; k < wires.size(); ++k)
            EXPECT_EQ(wires[k]->sampleRate, recorded[k] * rate / 48000.0f) << rate << " wire " << k;
        EXPECT_EQ(later->sampleRate, 8000.0f) << "a wire built after the updater keeps its rate";
        EXPECT_EQ(variable<int32_t>(t, 9), static_cast<int32_t>(rate / 32.0f)) << "the time-out was Set";
        pump(u);
        EXPECT_EQ(data<int32_t>(flag)[0], 1);
    }
    // A zero or non-finite rate would leave no wire a usable rate: nothing changes.
    for (float rate : {0.0f, -48000.0f, NAN, INFINITY}) {
        variable<float>(u, 0) = rate;
        EXPECT_EQ(u->classRecord->set(u, 1u << 8), 0);
        EXPECT_EQ(slow->sampleRate, 1500.0f) << rate;
    }
}

TEST_F(RateModules, CycleBurnersSpendTheirTimeAndLeaveTheOutput)
{
    FakeClock clock(0xFFFFFFF0u, 1); // across the clock's wrap
    GenericWire *in = engine_.wire(1, 4);
    GenericWire *out = engine_.wire(1, 4);
    data<float>(out)[0] = 3.5f;
    ClassModule *b = build(kBurner, 0x101, {in, out}, {100});
    pump(b);
    EXPECT_EQ(FakeClock::now, 0xFFFFFFF0u + 102u) << "one read to start, then until more than 100 ticks passed";
    EXPECT_EQ(data<float>(out)[0], 3.5f);

    ClassModule *s = build(kBurnerSet, 0x101, {in, out}, {50, 0});
    const uint32_t start = FakeClock::now;
    pump(s);
    ASSERT_EQ(s->classRecord->set(s, 1u << 8), 0);
    EXPECT_EQ(FakeClock::now, start) << "no burning from Process or another variable's Set";
    ASSERT_EQ(s->classRecord->set(s, 1u << 9), 0);
    EXPECT_EQ(FakeClock::now, start + 52u);
}

TEST_F(RateModules, WirePropertiesPassTheWordsAsTheyAre)
{
    GenericWire *in = engine_.wire(2, 8);
    GenericWire *complexOut = engine_.wire(2, 8);
    complexOut->info1 |= 1u << 27;
    complexOut->sampleRate = 6000.0f;
    GenericWire *shortOut = engine_.wire(1, 4);
    for (uint32_t i = 0; i < 16; ++i)
        data<uint32_t>(in)[i] = 0x7FC00000u + i; // NaN payloads must pass bit for bit
    ClassModule *m = build(kWireProperties, 0x101, {in, complexOut}, {});
    pump(m);
    EXPECT_EQ(words<uint32_t>(complexOut), words<uint32_t>(in));
    std::fill_n(data<uint32_t>(complexOut), 16, 0u);
    m->classRecord->bypass(m);
    EXPECT_EQ(words<uint32_t>(complexOut), words<uint32_t>(in)) << "Bypass is the copy";
    ClassModule *s = build(kWireProperties, 0x101, {in, shortOut}, {});
    pump(s);
    EXPECT_EQ(words<uint32_t>(shortOut), std::vector<uint32_t>(data<uint32_t>(in), data<uint32_t>(in) + 4));
}

} // namespace
