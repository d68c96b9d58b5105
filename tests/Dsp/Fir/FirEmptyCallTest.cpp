// Every FIR kernel called with a count below 1 (samples, or taps, factor and ring length) reads and writes nothing:
// outputs, states and indices keep their words.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "Dsp/GuardedVector.h"
#include "kve/kve_vec.h"

namespace {

// Words every kernel may be handed: sources, destination, coefficients, state, delays, and two indices.
struct Buffers {
    std::vector<uint32_t> src = std::vector<uint32_t>(64, kvetest::kGuardWord);
    std::vector<uint32_t> dst = std::vector<uint32_t>(64, kvetest::kGuardWord);
    std::vector<uint32_t> coeffs = std::vector<uint32_t>(64, kvetest::kGuardWord);
    std::vector<uint32_t> state = std::vector<uint32_t>(64, 0);
    std::vector<uint32_t> delays = std::vector<uint32_t>(8, 1);
    std::vector<uint32_t> extra = std::vector<uint32_t>(64, kvetest::kGuardWord);
    int32_t index = 3;
    int32_t otherIndex = 1;

    float *f(std::vector<uint32_t> &v) { return reinterpret_cast<float *>(v.data()); }
    int32_t *i(std::vector<uint32_t> &v) { return reinterpret_cast<int32_t *>(v.data()); }
    int16_t *h(std::vector<uint32_t> &v) { return reinterpret_cast<int16_t *>(v.data()); }
};

struct Kernel {
    const char *name;
    // n is the sample count, taps the other count the kernel takes (taps, factor or ring length).
    void (*call)(Buffers &b, int32_t n, int32_t taps);
};

const Kernel kKernels[] = {
    {"kve_vecFIR", [](Buffers &b, int32_t n, int32_t taps) {
         kve_vecFIR(b.f(b.src), 1, b.f(b.dst), 1, b.f(b.coeffs), b.f(b.state), n, taps);
     }},
    {"kve_vecFIRFract32", [](Buffers &b, int32_t n, int32_t taps) {
         kve_vecFIRFract32(b.i(b.src), 1, b.i(b.dst), 1, b.i(b.coeffs), b.i(b.state), n, taps, &b.index, 0);
     }},
    {"kve_vecFIR_Decimate", [](Buffers &b, int32_t n, int32_t taps) {
         kve_vecFIR_Decimate(b.f(b.src), 1, b.f(b.dst), 1, b.f(b.coeffs), b.f(b.state), &b.index, n, 4, 8, taps);
     }},
    {"kve_vecFIR_DecimateFract32", [](Buffers &b, int32_t n, int32_t taps) {
         kve_vecFIR_DecimateFract32(b.i(b.src), 1, b.i(b.dst), 1, b.i(b.coeffs), b.i(b.state), &b.index, n, 4, taps, 2,
                                    0);
     }},
    {"kve_vecFIR_Decimate_SIMD4", [](Buffers &b, int32_t n, int32_t taps) {
         kve_vecFIR_Decimate_SIMD4(b.f(b.src), 1, b.f(b.dst), 1, b.f(b.coeffs), b.f(b.state), &b.index, n, taps, 8, 2);
     }},
    {"kve_vecFIR_Interpolate", [](Buffers &b, int32_t n, int32_t taps) {
         kve_vecFIR_Interpolate(b.f(b.src), 2, b.f(b.dst), b.f(b.coeffs), 8, b.f(b.state), &b.index, n, taps, 4);
     }},
    {"kve_vecFIR_InterpolateFract32", [](Buffers &b, int32_t n, int32_t taps) {
         kve_vecFIR_InterpolateFract32(b.i(b.src), 1, b.i(b.dst), 1, b.i(b.coeffs), b.i(b.state), &b.index, 4, n, 2,
                                       taps, 0);
     }},
    {"kve_vecFIR_Interpolate_SIMD4", [](Buffers &b, int32_t n, int32_t taps) {
         kve_vecFIR_Interpolate_SIMD4(b.f(b.src), 2, b.f(b.dst), b.f(b.coeffs), 8, b.f(b.state), &b.index, n, 2, taps);
     }},
    {"kve_vecFIRSparseReader", [](Buffers &b, int32_t n, int32_t taps) {
         kve_vecFIRSparseReader(b.delays.data(), b.f(b.dst), b.f(b.coeffs), 4, n, 2, taps, b.f(b.src));
     }},
    {"kve_vecFIRSparseReaderFract32", [](Buffers &b, int32_t n, int32_t taps) {
         kve_vecFIRSparseReaderFract32(b.delays.data(), b.i(b.dst), b.i(b.coeffs), taps, n, 2, 16, b.i(b.src), 0);
     }},
    {"kve_vecFIRSparseReaderFract16", [](Buffers &b, int32_t n, int32_t taps) {
         kve_vecFIRSparseReaderFract16(b.delays.data(), b.i(b.dst), b.h(b.coeffs), taps, n, 2, 16, b.h(b.src), 0);
     }},
    {"kve_vecAllpassDelay16", [](Buffers &b, int32_t n, int32_t taps) {
         kve_vecAllpassDelay16(b.h(b.state), taps, &b.index, &b.otherIndex, b.f(b.src), b.f(b.dst), b.f(b.extra), n,
                               0.5f);
     }},
    {"kve_vecAllpassDelay16Fract32", [](Buffers &b, int32_t n, int32_t taps) {
         kve_vecAllpassDelay16Fract32(b.h(b.state), taps, &b.index, &b.otherIndex, b.i(b.src), b.i(b.dst),
                                      b.i(b.extra), 0x40000000, 0, n);
     }},
};

TEST(FirKernels, CountsBelowOneChangeNothing)
{
    const struct {
        int32_t n;
        int32_t taps;
    } calls[] = {{0, 4}, {-1, 4}, {INT32_MIN, 4}, {8, 0}, {8, -3}};
    for (const Kernel &k : kKernels) {
        for (const auto &c : calls) {
            Buffers b;
            const Buffers before = b;
            k.call(b, c.n, c.taps);
            EXPECT_EQ(b.dst, before.dst) << k.name << " n " << c.n << " taps " << c.taps;
            EXPECT_EQ(b.state, before.state) << k.name << " n " << c.n << " taps " << c.taps;
            EXPECT_EQ(b.extra, before.extra) << k.name << " n " << c.n << " taps " << c.taps;
            EXPECT_EQ(b.index, before.index) << k.name << " n " << c.n << " taps " << c.taps;
            EXPECT_EQ(b.otherIndex, before.otherIndex) << k.name << " n " << c.n << " taps " << c.taps;
        }
    }
}

} // namespace
