// Loading a layout of 1,000 stored packets from a layout array, plain and enciphered under the library's key: the
// cost of the reader, the cipher and the packet interpreter together, in packets per second.
#include <benchmark/benchmark.h>

#include <vector>

#include "Engine/LayoutCipher.h"
#include "kve/kve_packet.h"
#include "packets/PacketBuilder.h"
#include "support/TestEngine.h"
#include "support/TestModules.h"

namespace {

using kvepackets::LayoutStream;

constexpr uint32_t kPackets = 1000;

// A gain between two stereo wires in a one-slot layout, then set-value packets that write the samples of the input
// wire one by one, as a stored preset does: 1,000 packets in all.
std::vector<uint32_t> layoutOfPackets()
{
    LayoutStream s;
    s.lookupTable(8);
    const uint32_t in = s.wire(2, 32);
    const uint32_t out = s.wire(2, 32);
    const uint32_t gain = s.module(kvetest::kGainClassId, 0x101, {in, out}, {kvepackets::bits(0.5f), 2});
    const uint32_t layout = s.layout(1);
    s.place(layout, 0, {gain});
    const uint32_t samples = KVE_MEMBER_ADDRESS(in, 3) | KVE_MEMBER_DEREF;
    for (uint32_t i = 6; i < kPackets; ++i)
        s.setValue(samples, kvepackets::bits(static_cast<float>(i) / kPackets), i % 64);
    return s.words();
}

void LoadLayoutArray(benchmark::State &state)
{
    const bool enciphered = state.range(0) != 0;
    const char *key = enciphered ? kve::kLibraryLayoutKey : nullptr;
    const std::vector<uint32_t> plain = layoutOfPackets();
    const std::vector<uint32_t> stream = enciphered ? kvepackets::encipher(plain, key) : plain;
    kvetest::TestEngine engine;
    std::vector<uint32_t> buffer(KVE_LOADER_BUFFER_WORDS);
    kve_fwPacketInit(buffer.data(), static_cast<uint32_t>(buffer.size()));

    for (auto _ : state) {
        uint32_t offset = 0;
        const int32_t status = kve_fwPacketExecuteArrayPrivate(engine.get(), stream.data(),
                                                               static_cast<uint32_t>(stream.size()), &offset, key);
        state.PauseTiming();
        kve_fwDestroy(engine.get());
        state.ResumeTiming();
        if (status != KVE_OK) {
            state.SkipWithError("the layout does not load");
            break;
        }
    }
    state.counters["packets_per_second"] =
        benchmark::Counter(static_cast<double>(state.iterations() * kPackets), benchmark::Counter::kIsRate);
}
BENCHMARK(LoadLayoutArray)->Arg(0)->Arg(1)->ArgName("enciphered");

} // namespace
