// PowFract32: y = x^p for x on wire 0 and p on wire 1, both Q1.31, into wire 2 (Q1.31), formed as 10^(p dB(x)/20)
// by the fixed-point decibel conversions. Its three scratch arrays are not read by the datapath; they keep the
// class's member indices.
#include <algorithm>

#include "Modules/Standard/MathFract32.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;

struct PowFract32Module {
    ClassModule header;
    Fract32 *scratch0;
    Fract32 *scratch1;
    Fract32 *scratch2;
};

constexpr uint32_t kScratchHeaps = 2;

constexpr std::array<Variable, 3> kVariables = {
    KVE_ARRAY_IN(PowFract32Module, scratch0, Fract32Array, perBlockOfWire(0), kScratchHeaps),
    KVE_ARRAY_IN(PowFract32Module, scratch1, Fract32Array, perBlockOfWire(0), kScratchHeaps),
    KVE_ARRAY_IN(PowFract32Module, scratch2, Fract32Array, perBlockOfWire(0), kScratchHeaps),
};

ClassModule *powConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                            const uint32_t *args)
{
    return construct(kve_modPowFract32Class, kVariables, 2, 1, status, wireWord, wires, argc, args);
}

// Samples per pass through the stack buffer that carries the decibel values from one conversion to the next, so
// no wire is written before every wire it shares a buffer with has been read.
constexpr int32_t kChunk = 64;

// dB(x) with 24 fractional bits (the linear-to-dB steps at 1 integer bit in, 8 out: the 20-bit value scaled by 16
// with saturation, so -128 dB is the floor); times p as a Fract32 product, saturated, so a floor value times -1.0
// is +128 dB rather than its wrapped negative; back to linear with 24 fractional bits (8 octaves and more
// saturate); then shifted left by 7 with saturation to Q1.31.
void power(ClassModule *, const Fract32 *x, const Fract32 *p, Fract32 *y, int32_t n)
{
    Fract32 dB[kChunk];
    for (int32_t i = 0; i < n; i += kChunk) {
        const int32_t count = std::min(kChunk, n - i);
        kve_vecLinearToDBFract32(x + i, dB, count, 1, 8);
        kve_vecMultiply2x1Fract32(dB, 1, p + i, 1, dB, 1, count);
        kve_vecDBToLinearFract32(dB, dB, count);
        kve_vecShift(dB, 1, y + i, 1, 7, count);
    }
}

} // namespace

extern "C" constinit const ClassRecord<3> kve_modPowFract32Class =
    makeClass<3>(0xBEEF08ACu, {powConstructor, twoToOne<power>}, kVariables);
