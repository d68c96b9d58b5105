// Class records and instance records of the finite-impulse-response modules: polyphase decimators and interpolators
// (float and Fract32), a sparse FIR over its own delay line, sparse readers that tap the delay line of another module
// found by object id, LMS and normalised LMS adaptive filters, block convolution and correlation of two inputs,
// plain down- and upsamplers and a dither generator; with the helpers they share.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "Modules/Advanced/AdvancedKit.h"
#include "Modules/ModuleKit.h"
#include "Modules/Standard/Shapes.h"
#include "kve/kve_vec.h"

extern "C" {
extern const kve::kit::ClassRecord<6> kve_modFIRDecimatorClass;
extern const kve::kit::ClassRecord<8> kve_modFIRDecimatorFract32Class;
extern const kve::kit::ClassRecord<7> kve_modFIRInterpolatorClass;
extern const kve::kit::ClassRecord<9> kve_modFIRInterpolatorFract32Class;
extern const kve::kit::ClassRecord<7> kve_modFIRSparseClass;
extern const kve::kit::ClassRecord<6> kve_modFIRSparseReaderClass;
extern const kve::kit::ClassRecord<8> kve_modFIRSparseReaderFract16Class;
extern const kve::kit::ClassRecord<8> kve_modFIRSparseReaderFract32Class;
extern const kve::kit::ClassRecord<6> kve_modLMSClass;
extern const kve::kit::ClassRecord<11> kve_modLMSNormFract32Class;
extern const kve::kit::ClassRecord<3> kve_modConvolveClass;
extern const kve::kit::ClassRecord<3> kve_modCorrelateClass;
extern const kve::kit::ClassRecord<1> kve_modDownsamplerClass;
extern const kve::kit::ClassRecord<1> kve_modUpsamplerClass;
extern const kve::kit::ClassRecord<3> kve_modDitherFract32Class;
}

namespace kve::fir {

// Class ids of the modules whose delay lines the sparse readers know how to follow.
inline constexpr uint32_t kFIRSparseId = 0xBEEF0CFDu;
inline constexpr uint32_t kDelayStateWriterId = 0xBEEF0CE4u;
inline constexpr uint32_t kDelayStateWriter16Id = 0xBEEF0CE5u;

// ---- Instance records ----

// FIRDecimator: each channel keeps the history of its last numTaps - 1 samples at the front of its own slice of
// `state`, which `stateLength` sizes; the time-reversed taps the filter runs on are hidden words after the members.
struct DecimatorModule {
    ClassModule header;
    int32_t decimationFactor;
    int32_t numTaps;
    int32_t stateIndex;
    int32_t stateLength;
    float *coeffs;
    float *state;
};

// FIRDecimatorFract32: `coeffsFract32` is the Fract32 copy of `coeffs` that Set prepares.
struct DecimatorFract32Module {
    ClassModule header;
    int32_t decimationFactor;
    int32_t numTaps;
    int32_t stateIndex;
    int32_t stateLength;
    int32_t postShift;
    float *coeffs;
    Fract32 *coeffsFract32;
    Fract32 *state;
};

// FIRInterpolator: one ring of whole interleaved frames for all channels; phase p uses taps p, p + factor, ...
struct InterpolatorModule {
    ClassModule header;
    int32_t interpolationFactor;
    int32_t numTaps;
    int32_t tapsPerPhase;
    int32_t stateIndex;
    int32_t stateLength;
    float *coeffs;
    float *state;
};

struct InterpolatorFract32Module {
    ClassModule header;
    int32_t interpolationFactor;
    int32_t numTaps;
    int32_t postShift;
    int32_t tapsPerPhase;
    int32_t stateIndex;
    int32_t stateLength;
    float *coeffs;
    Fract32 *coeffsFract32;
    Fract32 *state;
};

// FIRSparse: `delayLine` is a ring of block + `maxDelay` samples with one spare slot past its end, written at
// `stateIndex`; tap k reads the block `delays`[k] samples old.
struct SparseModule {
    ClassModule header;
    int32_t numTaps;
    int32_t maxDelay;
    int32_t delayHeap;
    int32_t stateIndex;
    int32_t *delays;
    float *coeffs;
    float *delayLine;
};

// FIRSparseReader: `activeDelays` is the copy of `delays` the reader runs on; `source` the module whose line it
// reads, found for the id `sourceId`.
struct SparseReaderModule {
    ClassModule header;
    int32_t numTaps;
    uint32_t sourceId;
    int32_t *delays;
    int32_t *activeDelays;
    float *coeffs;
    ClassModule *source;
};

// FIRSparseReaderFract16 and Fract32: the coefficients scaled by 2^-`postShift` into the fixed-point array, which
// holds Fract32 values or (16-bit form) pairs of Q15 values.
struct SparseReaderFixedModule {
    ClassModule header;
    int32_t numTaps;
    int32_t postShift;
    uint32_t sourceId;
    int32_t *delays;
    int32_t *activeDelays;
    float *coeffs;
    int32_t *coeffsFixed;
    ClassModule *source;
};

struct LMSModule {
    ClassModule header;
    int32_t maxTaps;
    int32_t numTaps;
    float mu;
    int32_t stateIndex;
    float *coeffs;
    float *state;
};

// LMSNormFract32: per channel the kernel's window energy and leaving sample run on from block to block in hidden
// words after the members, starting from `lmsValueA` and `lmsValueB`.
struct LMSNormFract32Module {
    ClassModule header;
    int32_t numTaps;
    float mu;
    int32_t lmsParamA;
    int32_t lmsParamB;
    int32_t lmsShift;
    Fract32 muFract32;
    int32_t lmsValueA;
    int32_t lmsValueB;
    float *coeffs;
    Fract32 *coeffsFract32;
    Fract32 *state;
};

// Convolve and Correlate: `length` is the layout's note of the result length; Process does not read it.
struct WindowedProductModule {
    ClassModule header;
    int32_t length;
    int32_t firstOutput;
    int32_t outputCount;
};

struct RateModule {
    ClassModule header;
    int32_t factor;
};

struct DitherModule {
    ClassModule header;
    int32_t ditherType;
    int32_t ditherShift;
    int32_t seed;
};

// ---- Shared helpers ----

// A rate factor a layout or host wrote: below 1 counts as 1, so no rate changer divides by it or steps by it
// backwards.
inline int32_t rateFactor(int32_t written) { return std::max(written, 1); }

// A ring position a host may have written, brought into 0..len-1 (len at least 1).
inline int32_t ringPosition(int32_t index, int32_t len)
{
    const int32_t r = index % len;
    return r < 0 ? r + len : r;
}

// A size argument of a constructor: refuses (-67) a negative count, else gives it.
bool sizeArgumentOk(int32_t *status, int64_t value);

// A tap count a host may have written, held to what arrays 0 and 1 of the module (its taps) hold.
inline uint32_t heldTaps(ClassModule *m, int32_t numTaps)
{
    return std::min({static_cast<uint32_t>(std::max(numTaps, 0)), kit::capacity(m, 0), kit::capacity(m, 1)});
}

// The Fract32 taps the fixed-point filter kernels read, from the host's float taps (array 0 of the module) into its
// Fract32 taps (array 1), for the n = `numTaps` taps both arrays hold: dst[k] = the Fract32 of coeffs[k] for the ring
// filters, which weigh the sample k steps old by tap k as the host's taps do; dst[n - 1 - k] for a linear-history
// filter, which walks its window from the oldest sample.
void fract32Taps(ClassModule *m, int32_t numTaps, const float *coeffs, Fract32 *dst, bool reversed);

// The state words per channel a module's state array gives, on a wire of `channels` channels.
inline uint32_t perChannel(ClassModule *m, uint32_t stateArray, uint32_t channels)
{
    return channels == 0 ? 0 : kit::capacity(m, stateArray) / channels;
}

// ---- Decimators and interpolators ----

// Sizes a rate-changing FIR's state at construction: `taps` and `length` are the argument indices of its tap count
// and ring length, refused (-67) when negative; each channel gets the input block + ring length + `spare` words,
// at least one.
bool rateStateShape(int32_t *status, uint32_t argc, const uint32_t *args, GenericWire **wires, uint32_t publicCount,
                    uint32_t taps, uint32_t length, int32_t spare, kit::Variable &state);

// What one block of a rate changer runs on, every size held to what the module and its wires hold: `channels`
// interleaved channels, `factor` at least 1, `taps` within the coefficient array, a ring of `ring` words in each
// channel's `perChannel`-word slice of the state, and `count` blocks of work (outputs of a decimator, inputs of an
// interpolator) that neither the input nor the output overruns.
struct RateRun {
    int32_t channels = 0;
    int32_t factor = 1;
    int32_t taps = 0;
    int32_t ring = 0;
    int32_t perChannel = 0;
    int32_t count = 0;
};

// The constructor of every FIR rate changer: one input and one output; its state, the last variable, sized by
// rateStateShape from the tap count (argument 1) and the ring length (argument `LengthArg`); with `HiddenTaps`, one
// hidden word a tap after the capacities.
template <const auto *Record, const auto *Variables, uint32_t LengthArg, int32_t Spare, bool HiddenTaps = false>
ClassModule *rateConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                             const uint32_t *args)
{
    auto variables = *Variables;
    const uint32_t publicCount = kve_ClassPublicCount(&Record->record);
    if (!kit::requireWires(status, wireWord, 1, 1) ||
        !rateStateShape(status, argc, args, wires, publicCount, 1, LengthArg, Spare, variables.back()))
        return nullptr;
    const uint32_t hidden = HiddenTaps && args != nullptr && argc == publicCount ? args[1] : 0;
    return kit::construct(*Record, variables, 1, 1, status, wireWord, wires, argc, args, hidden);
}

// Runs `channels` channels each from the stored ring index `start`, as the per-channel kernels take it, and gives
// the index the last channel left, which the module stores.
template <class Run> int32_t eachChannelFrom(int32_t start, int32_t channels, Run run)
{
    int32_t index = start;
    for (int32_t c = 0; c < channels; ++c) {
        index = start;
        run(c, &index);
    }
    return index;
}

// Set of the Fract32 rate changers: their Fract32 taps from the host's float taps, in the same order, so that the
// fixed-point filter is the one the float twin runs with the same taps.
template <class M> int32_t fract32TapsSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<M *>(m);
    fract32Taps(m, s->numTaps, s->coeffs, s->coeffsFract32, false);
    return 0;
}

RateRun decimatorRun(ClassModule *m, int32_t factor, int32_t numTaps, int32_t stateLength, uint32_t coeffArray,
                     uint32_t stateArray);
// Interpolators: `taps` counts taps per phase, held so that every phase's taps lie in the coefficient array.
RateRun interpolatorRun(ClassModule *m, int32_t factor, int32_t tapsPerPhase, int32_t stateLength,
                        uint32_t coeffArray, uint32_t stateArray);

// ---- Sparse readers ----

// What a reader accepts as its source.
enum class LineKind : uint8_t { Float, Word32, Half16 };

// The readers' float and fixed-point taps live in heap 3.
inline constexpr uint32_t kReaderCoeffHeaps = 0x3u;

// A reader on one input (the source id) and one output, `numTaps` (argument 0) refused (-67) when negative. The id
// the source was found for, the last public variable, starts at none whatever the layout gave, so that the first
// id to arrive on the wire is looked up.
template <size_t N>
ClassModule *constructReader(const kit::ClassRecord<N> &record, const std::array<kit::Variable, N> &variables,
                             int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                             const uint32_t *args, uint32_t publicCount)
{
    if (!kit::requireWires(status, wireWord, 1, 1))
        return nullptr;
    if (args != nullptr && argc == publicCount && !sizeArgumentOk(status, static_cast<int32_t>(args[0])))
        return nullptr;
    ClassModule *m = kit::construct(record, variables, 1, 1, status, wireWord, wires, argc, args);
    if (m != nullptr)
        *reinterpret_cast<uint32_t *>(reinterpret_cast<char *>(m) + variables[publicCount - 1].offset) = 0;
    return m;
}

// Set of every reader: the host's delays become the active ones.
void activateDelays(ClassModule *m, const int32_t *delays, int32_t *active, int32_t numTaps);

// The fixed-point readers (`kind` Word32 or Half16), whose instance is a SparseReaderFixedModule.
void fixedReaderProcess(ClassModule *m, LineKind kind);
int32_t fixedReaderSet(ClassModule *m, LineKind kind);

// The variables of a fixed-point reader, its fixed-point taps of type `fixed` and length `length`.
constexpr std::array<kit::Variable, 8> fixedReaderVariables(kit::Type fixed, kit::Length length)
{
    using M = SparseReaderFixedModule;
    return {{KVE_VARIABLE(M, numTaps, Int), KVE_VARIABLE(M, postShift, Int), KVE_VARIABLE(M, sourceId, UInt),
             KVE_ARRAY_IN(M, delays, IntArray, perArgument(0), KVE_HEAPS_LONG_STATE),
             KVE_ARRAY_IN(M, activeDelays, IntArray, perArgument(0, 1, 1), KVE_HEAPS_LONG_STATE),
             KVE_ARRAY_IN(M, coeffs, FloatArray, perArgument(0), kReaderCoeffHeaps),
             kit::Variable{offsetof(M, coeffsFixed), fixed, length, kReaderCoeffHeaps},
             KVE_VARIABLE(M, source, Pointer)}};
}

template <LineKind Kind> void fixedReaderProcessOf(ClassModule *m) { fixedReaderProcess(m, Kind); }
template <LineKind Kind> int32_t fixedReaderSetOf(ClassModule *m, uint32_t) { return fixedReaderSet(m, Kind); }

// A fixed-point reader's class record.
template <const auto *Record, LineKind Kind, const auto *Variables>
constexpr kit::ClassRecord<8> fixedReaderClass(uint32_t id, KVEModuleConstructorFn constructor)
{
    return kit::makeClass<8>(id, {constructor, fixedReaderProcessOf<Kind>, IOMatchUpModule_Bypass,
                                  fixedReaderSetOf<Kind>}, *Variables);
}

// A source's delay line as a reader sees it: the ring of `length` samples (floats or Fract32 words, or 16-bit
// samples) with the sample after the newest at `writeIndex`; `length` 0 when there is no line to read. `spare` says
// the buffer holds one more word past the ring.
struct SourceLine {
    void *buffer = nullptr;
    int32_t length = 0;
    int32_t writeIndex = 0;
    bool spare = false;
};

// Follows the id on the reader's input: a new id is looked up once, and a module of a class the reader does not
// know leaves it without a source.
ClassModule *followedSource(const GenericWire *idWire, uint32_t *sourceId, ClassModule *current, LineKind kind);

// The line of a source a reader accepted for `kind`, every size clamped to what the source allocated.
SourceLine lineOf(ClassModule *source, LineKind kind);

// Holds every active delay to 0..`longest`: for a block of n samples from a line of L, the oldest sample still in
// the line lies L - n samples before the block's first; longer delays would read samples newer than they ask for.
void clampDelays(int32_t *delays, uint32_t taps, int32_t longest);

// The taps a reader serves: `numTaps` within its delays, active delays (one spare) and coefficients.
uint32_t readerTaps(ClassModule *m, int32_t numTaps);

// The fixed-point readers' scaling: the largest positive binary exponent of the coefficients or, when none is
// positive, the largest among -31..0, at least -31 (zero coefficients carry no exponent).
int32_t readerShift(const float *coeffs, uint32_t taps);

// ---- Plain rate changers ----

// The Down- and Upsampler's wires and factor (at least 1); no channels when the input has none.
struct PlainRate {
    const float *x;
    float *y;
    uint32_t channels;
    uint32_t factor;
    uint32_t inFrames;
    uint32_t outFrames;
};
PlainRate plainRate(ClassModule *m);

// ---- Convolution and correlation ----

using WindowedProductKernel = void (*)(const float *, int32_t, int32_t, const float *, int32_t, int32_t, float *,
                                       int32_t, int32_t, int32_t);

// Per channel served by both inputs and the output, the kernel's window of `outputCount` samples from
// `firstOutput` (held at 0 or more) of the full result, each input read over its own block and stride, no more
// samples than the output holds.
void windowedProduct(ClassModule *m, WindowedProductKernel kernel);

template <WindowedProductKernel Kernel> void windowedProductProcess(ClassModule *m) { windowedProduct(m, Kernel); }

template <const auto *Record, WindowedProductKernel Kernel>
constexpr kit::ClassRecord<3> windowedProductClass(uint32_t id)
{
    using W = WindowedProductModule;
    return kit::makeClass<3>(id, {shapes::wired<Record, 2, 1>, windowedProductProcess<Kernel>},
                             {{KVE_VARIABLE(W, length, Int), KVE_VARIABLE(W, firstOutput, Int),
                               KVE_VARIABLE(W, outputCount, Int)}});
}

} // namespace kve::fir
