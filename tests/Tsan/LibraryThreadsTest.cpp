// One library object driven from two threads, as a host drives it: an audio thread pumps blocks while a control
// thread sends commands, reads and writes values, stops and restarts the engine and reads the measurements.
// Built with ThreadSanitizer by scripts/tsan.sh; any data race ends the run.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "Engine/LibraryHost.h"
#include "kve/kve_engine.h"

namespace {

using kvehost::command;

constexpr uint32_t kBlock = 32;
constexpr uint32_t kChannels = 2;
constexpr uint32_t kWords = kBlock * kChannels;
constexpr auto kRunTime = std::chrono::milliseconds(1500);
// How long the control thread goes on, slowed down, past the run time when the audio thread has not yet had a
// block copied: on a loaded machine the control thread can hold the library through the whole run time.
constexpr auto kPatience = std::chrono::seconds(30);

uint32_t member(uint32_t id, uint32_t index) { return (id << 12) | index; }

struct Transitions {
    std::atomic<int> starts{0};
    std::atomic<int> stops{0};
    static void onStart(void *c) { static_cast<Transitions *>(c)->starts++; }
    static void onStop(void *c) { static_cast<Transitions *>(c)->stops++; }
};

struct PumpTally {
    uint64_t copied = 0;
    uint64_t silent = 0;
    uint64_t wrong = 0;
};

// Pumps numbered blocks until told to stop: a started engine must give each block back unchanged, a stopped one
// silence; anything else is counted as wrong.
PumpTally pumpUntil(CKVELib &lib, const std::atomic<bool> &done, std::atomic<uint64_t> &copiedSoFar)
{
    kve_fwSetFloatMode();
    PumpTally t;
    std::vector<_Sample> in(kWords), out(kWords);
    for (uint32_t n = 0; !done.load(); ++n) {
        for (uint32_t i = 0; i < kWords; ++i)
            in[i].u = n * kWords + i;
        const int32_t status = lib.PumpAudio(in.data(), out.data(), kWords, kWords);
        bool same = true, zero = true;
        for (uint32_t i = 0; i < kWords; ++i) {
            same = same && out[i].u == in[i].u;
            zero = zero && out[i].u == 0;
        }
        if (status == 0 && same) {
            t.copied++;
            copiedSoFar.fetch_add(1);
        }
        else if (status == KVE_E_NOT_STARTED && zero)
            t.silent++;
        else
            t.wrong++;
    }
    return t;
}

TEST(LibraryThreads, AnAudioThreadAndAControlThreadShareOneObject)
{
    kvehost::Library lib = kvehost::makeLibrary();
    ASSERT_EQ(lib->Create("threads", 0.0f, 0.0f), 0);
    Transitions transitions;
    lib->SetStartStopCallbacks(&transitions, Transitions::onStart, Transitions::onStop);
    const kvehost::CopierChain chain = kvehost::copierChain(kChannels, kBlock, 2);
    ASSERT_EQ(kvehost::sendStream(*lib, chain.stream.words()), 0);
    lib->SetLayoutAddresses(chain.inputWire, chain.outputWire, 0);

    std::atomic<bool> done{false};
    std::atomic<uint64_t> copiedSoFar{0};
    PumpTally tally;
    std::thread audio([&] { tally = pumpUntil(*lib, done, copiedSoFar); });

    // The middle wire's sample rate: nothing in the audio path reads it.
    const uint32_t rate = member(chain.inputWire + 1, 4);
    uint64_t controlFailures = 0;
    int restarts = 0;
    const auto deadline = std::chrono::steady_clock::now() + kRunTime;
    for (uint32_t i = 0;; ++i) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline && (copiedSoFar.load() > 0 || now >= deadline + kPatience))
            break;
        if (now >= deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        _Sample r{};
        r.f = 8000.0f + static_cast<float>(i % 100);
        controlFailures += lib->SetValue(rate, r) != 0;
        int32_t status = -1;
        controlFailures += lib->FetchValue(rate, &status).u != r.u || status != 0;
        const std::vector<uint32_t> fetched = command(*lib, 8, {rate, 0});
        controlFailures += fetched.size() != 4 || fetched[1] != 0 || fetched[2] != r.u;

        _Sample block[4];
        controlFailures += lib->FetchValues(member(chain.outputWire, 3), 4, block, 0) != 0;
        uint32_t props[9];
        controlFailures += lib->PinPropsEx(&props[0], &props[1], &props[2], &props[3], &props[4], &props[5],
                                           &props[6], &props[7], &props[8]) != 1;
        controlFailures += props[1] != kChannels || props[8] != 48000;
        lib->SetLayoutAddresses(chain.inputWire, chain.outputWire, 0);
        (void)lib->PumpCount();
        (void)lib->AverageCycles();
        (void)lib->IsStarted();
        if (i % 64 == 63) {
            command(*lib, kvehost::kStopOpcode);
            std::this_thread::yield();
            command(*lib, kvehost::kStartOpcode);
            restarts++;
        }
        if (i % 256 == 255)
            lib->ClearMeasure();
    }
    done = true;
    audio.join();

    EXPECT_EQ(controlFailures, 0u);
    EXPECT_EQ(tally.wrong, 0u);
    EXPECT_GT(tally.copied, 0u);
    EXPECT_GT(restarts, 0);
    EXPECT_EQ(transitions.stops.load(), restarts);
    EXPECT_EQ(transitions.starts.load(), restarts + 1) << "the layout's own start, then one per restart";
    EXPECT_TRUE(lib->IsStarted());
}

} // namespace
