// DitherFract32: adds dither from a 32-bit linear congruential generator to every sample, channel after channel in
// interleaved order. Type 0 passes the input, type 1 adds one generator value shifted right by `ditherShift`, any
// other type the mean of two (a triangular density) shifted by `ditherShift` - 1. The generator state is kept in
// `seed` from block to block.
#include "Modules/Advanced/FirFilters.h"

namespace {

using namespace kve::kit;
using namespace kve::fir;

using M = DitherModule;

// The next generator value: seed x 1664525 + 1013904223, modulo 2^32.
uint32_t nextSeed(uint32_t seed) { return seed * 1664525u + 1013904223u; }

Fract32 asSigned(uint32_t v) { return static_cast<Fract32>(v); }

// A shift count a host wrote, held to 0..31 so that no shift is negative or wider than the word.
int32_t shiftCount(int64_t written) { return static_cast<int32_t>(std::clamp<int64_t>(written, 0, 31)); }

// The sum saturates: a dither that wrapped would turn a sample near full scale into a full-scale click of the other
// sign.
Fract32 addDither(Fract32 x, Fract32 d)
{
    return static_cast<Fract32>(std::clamp<int64_t>(int64_t{x} + d, INT32_MIN, INT32_MAX));
}

void ditherProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<M *>(m);
    const GenericWire *in = wire(m, 0);
    GenericWire *out = wire(m, 1);
    const uint32_t n = std::min(wireWords(in), wireWords(out));
    const auto *x = static_cast<const Fract32 *>(in->buffer);
    auto *y = static_cast<Fract32 *>(out->buffer);
    if (s->ditherType == 0) {
        kve_vecCopy32(x, 1, y, 1, static_cast<int32_t>(n));
        return;
    }
    auto seed = static_cast<uint32_t>(s->seed);
    if (s->ditherType == 1) {
        const int32_t shift = shiftCount(s->ditherShift);
        for (uint32_t i = 0; i < n; ++i) {
            seed = nextSeed(seed);
            y[i] = addDither(x[i], asSigned(seed) >> shift);
        }
    } else {
        const int32_t shift = shiftCount(int64_t{s->ditherShift} - 1);
        for (uint32_t i = 0; i < n; ++i) {
            const uint32_t r1 = nextSeed(seed);
            seed = nextSeed(r1);
            y[i] = addDither(x[i], ((asSigned(seed) >> 1) + (asSigned(r1) >> 1)) >> shift);
        }
    }
    s->seed = asSigned(seed);
}

} // namespace

extern "C" constinit const ClassRecord<3> kve_modDitherFract32Class = makeClass<3>(
    0xBEEF0CECu, {kve::shapes::wired<&kve_modDitherFract32Class, 1, 1>, ditherProcess},
    {{KVE_VARIABLE(M, ditherType, Int), KVE_VARIABLE(M, ditherShift, Int), KVE_VARIABLE(M, seed, Int)}});
