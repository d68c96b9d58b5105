// The library interface as a host drives it: one pump of a stereo block of 32 frames through an empty layout and
// through chains of Copier modules (ns per sample and multiples of real time for a 48 kHz stream), and the rate
// of command packets through SendCommand.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include "Engine/LibraryHost.h"

namespace {

constexpr uint32_t kBlock = 32;
constexpr uint32_t kChannels = 2;
constexpr uint32_t kWords = kBlock * kChannels;

// A created library running a started chain of `modules` Copiers (0: an empty layout).
kvehost::Library startedChain(benchmark::State &state, uint32_t modules)
{
    kvehost::Library lib = kvehost::makeLibrary();
    const kvehost::CopierChain chain = kvehost::copierChain(kChannels, kBlock, modules);
    if (lib->Create("bench", 0.0f, 0.0f) != 0 || kvehost::sendStream(*lib, chain.stream.words()) != 0)
        state.SkipWithError("the layout cannot be built");
    lib->SetLayoutAddresses(chain.inputWire, chain.outputWire, 0);
    return lib;
}

void PumpCopierChain(benchmark::State &state)
{
    const auto modules = static_cast<uint32_t>(state.range(0));
    kvehost::Library lib = startedChain(state, modules);
    std::vector<_Sample> in(kWords), out(kWords);
    for (uint32_t i = 0; i < kWords; ++i)
        in[i].f = static_cast<float>(i % 17) / 17.0f - 0.5f;
    for (auto _ : state) {
        if (lib->PumpAudio(in.data(), out.data(), kWords, kWords) != 0) {
            state.SkipWithError("the pump failed");
            break;
        }
        benchmark::ClobberMemory();
    }
    const auto samples = static_cast<double>(state.iterations()) * kWords;
    state.SetItemsProcessed(static_cast<int64_t>(samples));
    state.counters["time_per_sample"] =
        benchmark::Counter(samples, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    // Audio seconds per wall-clock second for one stereo stream at 48 kHz (the console labels every rate "/s").
    state.counters["realtime_x_48k"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kBlock / 48000.0, benchmark::Counter::kIsRate);
}
BENCHMARK(PumpCopierChain)->Arg(0)->Arg(1)->Arg(10)->Arg(100)->ArgName("copiers");

// A fetch-value command on a wire's sample rate, rewritten into the buffer each time since the reply overwrites it.
void SendFetchValueCommand(benchmark::State &state)
{
    kvehost::Library lib = startedChain(state, 1);
    const std::vector<uint32_t> packet = kvepackets::packet(8, {(1u << 12) | 4u, 0});
    std::vector<uint32_t> buffer(8);
    for (auto _ : state) {
        std::copy(packet.begin(), packet.end(), buffer.begin());
        if (lib->SendCommand(buffer.data(), static_cast<uint32_t>(buffer.size())) != 0 || buffer[1] != 0) {
            state.SkipWithError("the command failed");
            break;
        }
        benchmark::DoNotOptimize(buffer[2]);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(SendFetchValueCommand);

} // namespace
