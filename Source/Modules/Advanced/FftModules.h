// Class records and instance records of the FFT modules: a real FFT, its inverse back to real samples and a complex
// FFT, each in a float form (on the library's shared transform plans) and a Fract32 form (on the block-floating-point
// complex FFT kernel). All six work channel by channel on interleaved wires, with one scratch wire.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "Dsp/Fft/FftPlan.h"
#include "Modules/ModuleKit.h"

extern "C" {
extern const kve::kit::ClassRecord<1> kve_modFftClass;
extern const kve::kit::ClassRecord<1> kve_modIfftClass;
extern const kve::kit::ClassRecord<4> kve_modCfftClass;
extern const kve::kit::ClassRecord<0> kve_modFftFract32Class;
extern const kve::kit::ClassRecord<1> kve_modIfftFract32Class;
extern const kve::kit::ClassRecord<2> kve_modCfftFract32Class;
}

namespace kve::fftmod {

// What a float FFT module takes from the engine heaps at construction: its size as log2(N) - 1, N + 2 floats (real
// transforms) or N complex values (complex transform) of work memory, and its own reference to the shared plan of
// its size, given back by its teardown (null from then on).
struct FftState {
    int32_t sizeIndex;
    float *buffer;
    kve::fft::FftPlan *plan;
};

// Fft, Ifft: nothing public.
struct FftModule {
    ClassModule header;
    FftState *fftState;
};

inline constexpr std::array<kit::Variable, 1> kFftModuleVariables = {
    KVE_VARIABLE(FftModule, fftState, Pointer),
};

// Cfft: `dir` -1 selects the inverse, any other value the forward transform. The two slots after the state stay
// null.
struct CfftModule {
    ClassModule header;
    int32_t dir;
    FftState *fftState;
    void *reserved0;
    void *reserved1;
};

struct FftFract32Module {
    ClassModule header;
};

// IfftFract32: `scale` weights the spectrum before the unnormalised inverse sum; 1/N gives the true inverse.
struct IfftFract32Module {
    ClassModule header;
    Fract32 scale;
};

struct CfftFract32Module {
    ClassModule header;
    int32_t dir;
    Fract32 scale;
};

// Zeros on every word of a wire: what a float module without a plan writes.
void silence(GenericWire *w);

// The transform kinds of the float modules: each has its own process-wide plan cache.
enum class PlanKind { Real, Complex };

// Builds a float FFT module of `record` with its state (its pointer at `stateOffset`) and work memory from `heaps`
// and a reference to the shared plan of `points` points of `kind`. Refuses (-67) a size that is not a power of two
// from 4 to 16384, an output block shorter than `outputWords`, a scratch wire of fewer than `scratchWords` words,
// and an output whose channels differ from the input's.
ClassModule *constructFloatFft(const ModClassDescriptor &record, const kve::kit::Variable *variables, size_t count,
                               size_t stateOffset, PlanKind kind, int32_t points, uint32_t outputWords,
                               uint32_t scratchWords, uint32_t heaps, int32_t *status, uint32_t wireWord,
                               GenericWire **wires, uint32_t argc, const uint32_t *args);

// Teardown (mask 0) gives the module's plan reference back; any other mask does nothing.
int32_t setFloatFft(FftState *state, PlanKind kind, uint32_t mask);
// The Set of Fft and Ifft.
int32_t setRealFft(ClassModule *m, uint32_t mask);

// The plan a float module holds; after its teardown none, and the module's output is silenced instead.
template <class Plan>
Plan *heldPlan(const FftState *state, GenericWire *out)
{
    if (state->plan == nullptr)
        silence(out);
    return static_cast<Plan *>(state->plan);
}

// Builds a Fract32 FFT module after the same shape checks, for any size the wires give.
ClassModule *constructFixedFft(const ModClassDescriptor &record, const kve::kit::Variable *variables, size_t count,
                               int32_t points, uint32_t outputWords, uint32_t scratchWords, int32_t *status,
                               uint32_t wireWord, GenericWire **wires, uint32_t argc, const uint32_t *args);

// The block size of wire k of a wiring, from which a constructor takes N; 0 for a wire the wiring does not have.
inline int32_t blockOf(uint32_t wireWord, GenericWire **wires, uint32_t k)
{
    const uint32_t count = KVE_PACKED_INPUTS(wireWord) + KVE_PACKED_OUTPUTS(wireWord) + KVE_PACKED_SCRATCH(wireWord);
    return wires != nullptr && k < count && wires[k] != nullptr ? static_cast<int32_t>(kit::blockSize(wires[k])) : 0;
}

// `count` complex values from `src` to `dst`, consecutive values `srcStride` and `dstStride` words apart: one channel
// of an interleaved complex wire to contiguous memory and back.
void copyComplex(const void *src, int32_t srcStride, void *dst, int32_t dstStride, int32_t count);

// The Fract32 transform of one channel's N complex values in `work`: bit reversal, the block-floating-point FFT,
// and the halvings it applied; the caller shifts by them.
int32_t fixedTransform(Fract32 *work, int32_t points);

// Every imaginary part of `count` complex values times -1.0 as a Fract32 product: -1.0 itself becomes 0x7FFFFFFF.
void conjugate(Fract32 *work, int32_t count);

// `count` complex values of `work`, shifted by `exponent` with saturation, to complex values `stride` words apart.
void shiftOut(const Fract32 *work, Fract32 *out, int32_t stride, int32_t exponent, int32_t count);

} // namespace kve::fftmod
