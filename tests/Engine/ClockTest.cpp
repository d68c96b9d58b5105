// The engine's clocks: the real-time clock the host reads, the counter clock that times layout runs and their
// modules, the clock reads a profiled run makes, and the order in which a run takes its modules.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <thread>

#include "Engine/Clock.h"
#include "Engine/LibraryHost.h"
#include "support/TestEngine.h"
#include "support/TestModules.h"

namespace {

using kvetest::bitsOf;
using kvetest::FakeClock;
using kvetest::TestEngine;

// The real-time clock in 100-ns ticks truncated to 32 bits, computed here from the system's own clock.
uint32_t realTicks()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<uint32_t>(static_cast<uint64_t>(ts.tv_sec) * 10000000u +
                                 static_cast<uint64_t>(ts.tv_nsec) / 100u);
}

// Signed distance from a to b on the wrapping 32-bit tick count.
int64_t ticksFrom(uint32_t a, uint32_t b) { return static_cast<int32_t>(b - a); }

// A clock reading taken between two reads of the system's real-time clock.
struct Bracketed {
    uint32_t before, value, after;
};

template <class Read> Bracketed bracket(Read read)
{
    Bracketed b{};
    b.before = realTicks();
    b.value = read();
    b.after = realTicks();
    return b;
}

TEST(Clocks, TheHostClockIsTheRealTimeClockInTicks)
{
    kvehost::Library lib = kvehost::makeLibrary();
    const struct {
        const char *what;
        Bracketed reading;
    } cases[] = {
        {"engine clock", bracket([] { return kve_fwReadClock(); })},
        {"interface GetCycles", bracket([&] { return lib->GetCycles(); })},
    };
    for (const auto &c : cases) {
        EXPECT_GE(ticksFrom(c.reading.before, c.reading.value), 0) << c.what;
        EXPECT_GE(ticksFrom(c.reading.value, c.reading.after), 0) << c.what;
    }
}

// The counter clock is calibrated a short while after the library loads; until then runs use the real-time clock.
const kve::CounterScale *calibratedScale()
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    const kve::CounterScale *scale = kve::counterScale();
    while (scale == nullptr && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        scale = kve::counterScale();
    }
    return scale;
}

TEST(Clocks, TheCounterClockKeepsTheRealTimeClocksTicks)
{
    if (calibratedScale() == nullptr)
        GTEST_SKIP() << "this processor has no steady counter: runs are timed by the real-time clock";
    const kve::ProfileClock clock;
    const Bracketed start = bracket([&] { return clock.now(); });
    // Anchored to the real-time clock when the library loaded: a wrong origin, base or unit shows as seconds.
    EXPECT_LT(std::abs(ticksFrom(start.before, start.value)), 10000000) << "within a second of the real-time clock";

    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const Bracketed end = bracket([&] { return clock.now(); });
    // The counter's own interval lies within the real-time brackets around its two reads, give or take 1 % for
    // the measured rate and the real-time clock's own slewing.
    const double shortest = static_cast<double>(ticksFrom(start.after, end.before));
    const double longest = static_cast<double>(ticksFrom(start.before, end.after));
    const double counted = static_cast<double>(ticksFrom(start.value, end.value));
    EXPECT_GE(counted, shortest * 0.99 - 2.0);
    EXPECT_LE(counted, longest * 1.01 + 2.0);
}

TEST(Clocks, AnInstalledSourceTimesTheRunsUntilItIsRemoved)
{
    {
        FakeClock fake(777, 5);
        const kve::ProfileClock clock;
        EXPECT_EQ(clock.now(), 777u);
        EXPECT_EQ(clock.now(), 782u);
        EXPECT_EQ(kve_fwReadClock(), 787u);
    }
    const Bracketed host = bracket([] { return kve_fwReadClock(); });
    EXPECT_GE(ticksFrom(host.before, host.value), 0) << "removing the source brings back the real-time clock";
    EXPECT_GE(ticksFrom(host.value, host.after), 0);
}

// A profiled run reads the clock once when it starts, once after each module (which ends that module's time and
// starts the next one's) and once when it ends; with module timing off, only at the start and the end.
TEST(Layouts, AProfiledRunReadsTheClockTwiceAndOncePerTimedModule)
{
    constexpr uint32_t kStep = 10;
    const struct {
        uint32_t modules;
        bool moduleTiming;
        uint32_t reads;
    } cases[] = {{0, true, 2}, {1, true, 3}, {3, true, 5}, {3, false, 2}};
    for (const auto &c : cases) {
        TestEngine engine;
        if (!c.moduleTiming)
            engine->flags |= KVE_FLAG_NO_MODULE_PROFILING;
        ClassLayout *l = engine.layout(c.modules, 1);
        std::vector<ClassModule *> modules;
        for (uint32_t k = 0; k < c.modules; ++k) {
            GenericWire *w = engine.wire(1, 4);
            modules.push_back(engine.module(kvetest::kGainClassId, 0x101, {w, w}, {bitsOf(1.0f), 1}));
            ASSERT_EQ(engine.place(l, k, {modules.back()}), KVE_OK);
        }
        FakeClock fake(1000, kStep);
        for (int run = 0; run < 20; ++run)
            ClassLayout_Process(engine.get(), l, nullptr, nullptr);
        const uint32_t before = FakeClock::now;
        uint32_t time = 0;
        ClassLayout_Process(engine.get(), l, &time, nullptr);
        EXPECT_EQ(FakeClock::now - before, c.reads * kStep) << c.modules << " modules";
        EXPECT_EQ(time, 256 * (c.reads - 1) * kStep) << "from the first read to the last";
        for (ClassModule *m : modules)
            EXPECT_EQ(m->cycles, c.moduleTiming ? 2 * kStep : 0u) << "each module spans one step";
    }
}

// A module that changes the state of the module after it (a control muting its neighbour) is obeyed in the same
// run: the layout takes each module's process function only when that module's turn comes.
ClassModule *g_neighbour = nullptr;

void muteNeighbourThenPass(ClassModule *m)
{
    kve_fwSetModuleState(g_neighbour, KVE_STATE_MUTED);
    m->classRecord->process(m);
}

TEST(Layouts, AStateChangedByTheModuleBeforeTakesEffectInTheSameRun)
{
    for (const bool profiled : {false, true}) {
        TestEngine engine;
        if (!profiled)
            engine->flags |= KVE_FLAG_NO_LAYOUT_PROFILING | KVE_FLAG_NO_MODULE_PROFILING;
        GenericWire *a = engine.wire(1, 4);
        GenericWire *b = engine.wire(1, 4);
        GenericWire *c = engine.wire(1, 4);
        ClassModule *control = engine.module(kvetest::kGainClassId, 0x101, {a, b}, {bitsOf(2.0f), 1});
        g_neighbour = engine.module(kvetest::kGainClassId, 0x101, {b, c}, {bitsOf(3.0f), 1});
        ClassLayout *l = engine.layout(2, 1);
        ASSERT_EQ(engine.place(l, 0, {control, g_neighbour}), KVE_OK);
        control->process = muteNeighbourThenPass;
        static_cast<float *>(a->buffer)[0] = 1.0f;
        static_cast<float *>(c->buffer)[0] = 5.0f;
        ClassLayout_Process(engine.get(), l, nullptr, nullptr);
        EXPECT_EQ(static_cast<float *>(b->buffer)[0], 2.0f) << "profiled " << profiled;
        EXPECT_EQ(static_cast<float *>(c->buffer)[0], 0.0f) << "the muted neighbour writes silence, profiled "
                                                            << profiled;
    }
    g_neighbour = nullptr;
}

} // namespace
