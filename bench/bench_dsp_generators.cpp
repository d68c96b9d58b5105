// Step-1 ring writes and reads, by the strided kernels and by the block copies, beside a plain copy of the same words
// (memcpy) in the same run, on blocks of 32, 256 and 1024 words; reported as ns per sample and multiples of real time
// for one 48 kHz channel. The ring holds 4099 words (a prime, so successive blocks wrap at the end of the ring at
// every offset); a ring kernel should cost no more than 1.5 times the copy beside it.
#include <benchmark/benchmark.h>

#include "BenchReport.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "kve/kve_vec.h"

namespace {

constexpr int32_t kRingLength = 4099;

struct Words {
    explicit Words(int32_t n) : block(static_cast<size_t>(n)), ring(kRingLength)
    {
        for (size_t i = 0; i < block.size(); ++i)
            block[i] = static_cast<uint32_t>(i * 2654435761u);
    }
    std::vector<uint32_t> block;
    std::vector<uint32_t> ring;
    int32_t index = 0;
};

// Runs move(words, n) once per iteration on a block of range(0) words.
template <typename Move>
void BM_Move(benchmark::State &state, Move move)
{
    const auto n = static_cast<int32_t>(state.range(0));
    Words w(n);
    for (auto _ : state) {
        move(w, n);
        benchmark::ClobberMemory();
    }
    reportPerSample(state, n);
}

const auto copyWords = [](Words &w, int32_t n) {
    std::memcpy(w.ring.data(), w.block.data(), static_cast<size_t>(n) * sizeof(uint32_t));
};
const auto ringWrite = [](Words &w, int32_t n) {
    kve_vecCircWrite(w.ring.data(), kRingLength, &w.index, 1, w.block.data(), 1, n);
};
const auto ringRead = [](Words &w, int32_t n) {
    kve_vecCircRead(w.ring.data(), kRingLength, &w.index, 1, w.block.data(), 1, n);
};
const auto ringWriteBlocks = [](Words &w, int32_t n) {
    kve_vecCircWrite_SIMD4(w.ring.data(), kRingLength, &w.index, w.block.data(), n);
};
const auto ringReadBlocks = [](Words &w, int32_t n) {
    kve_vecCircRead_SIMD4(w.ring.data(), kRingLength, &w.index, w.block.data(), n);
};

BENCHMARK_CAPTURE(BM_Move, CopyWords, copyWords)->Arg(32)->Arg(256)->Arg(1024);
BENCHMARK_CAPTURE(BM_Move, RingWrite, ringWrite)->Arg(32)->Arg(256)->Arg(1024);
BENCHMARK_CAPTURE(BM_Move, RingRead, ringRead)->Arg(32)->Arg(256)->Arg(1024);
BENCHMARK_CAPTURE(BM_Move, RingWrite_SIMD4, ringWriteBlocks)->Arg(32)->Arg(256)->Arg(1024);
BENCHMARK_CAPTURE(BM_Move, RingRead_SIMD4, ringReadBlocks)->Arg(32)->Arg(256)->Arg(1024);

} // namespace
