// What the FFT modules share: the two process-wide plan caches, the shape checks of every constructor, and the steps
// of the Fract32 transforms around the block-floating-point kernel.
#include "Modules/Advanced/FftModules.h"

#include <array>
#include <bit>
#include <cstring>

#include "kve/kve_vec.h"

namespace kve::fftmod {

namespace {

using namespace kve::kit;
using kve::fft::ComplexFftPlan;
using kve::fft::FftPlan;
using kve::fft::RealFftPlan;

int32_t sizeIndexOf(int32_t points) { return std::countr_zero(static_cast<uint32_t>(points)) - 1; }

// One slot per size index (log2(N) - 1, 1 .. 13); slot 0 is never used.
constexpr size_t kSlots = 14;

// Plans shared by every module of one size. A slot counts the modules holding its plan, each of which owns one of
// the plan's references; the last one to give its reference back frees the plan and empties the slot, so the next
// module of that size makes a fresh plan. Constructors and teardown run under the engine's lock; Process only uses
// the plan its module holds.
template <class Plan>
class PlanCache {
public:
    Plan *acquire(int32_t sizeIndex, int32_t points)
    {
        Slot &slot = slots_[static_cast<size_t>(sizeIndex)];
        if (slot.plan == nullptr) {
            slot.plan = Plan::create(points);
            if (slot.plan == nullptr)
                return nullptr;
        } else {
            slot.plan->retain();
        }
        ++slot.holders;
        return slot.plan;
    }

    void release(FftPlan *plan)
    {
        Slot &slot = slots_[static_cast<size_t>(sizeIndexOf(plan->size()))];
        if (slot.plan == plan && --slot.holders == 0)
            slot.plan = nullptr;
        FftPlan::release(plan);
    }

private:
    struct Slot {
        Plan *plan = nullptr;
        int32_t holders = 0;
    };
    std::array<Slot, kSlots> slots_{};
};

PlanCache<RealFftPlan> g_realPlans;
PlanCache<ComplexFftPlan> g_complexPlans;

bool isPlanSize(int32_t points)
{
    return points >= kve::fft::kFftMinSize && points <= kve::fft::kFftMaxSize &&
           std::has_single_bit(static_cast<uint32_t>(points));
}

// The input, output and scratch wires a module's Process relies on: the scratch wire is the first after the outputs.
bool shapesFit(uint32_t wireWord, GenericWire **wires, uint32_t outputWords, uint32_t scratchWords)
{
    if (wires == nullptr || wires[0] == nullptr || wires[1] == nullptr)
        return false;
    const GenericWire *in = wires[0];
    const GenericWire *out = wires[1];
    const GenericWire *scratch = wires[KVE_PACKED_INPUTS(wireWord) + KVE_PACKED_OUTPUTS(wireWord)];
    return scratch != nullptr && KVE_WIRE_CHANNELS(out->info1) == KVE_WIRE_CHANNELS(in->info1) &&
           blockSize(out) >= outputWords && wireWords(scratch) >= scratchWords;
}

// The wiring every FFT module needs: one input, one output and a scratch wire (-4 without).
bool wiresPresent(int32_t *status, uint32_t wireWord)
{
    if (!requireWires(status, wireWord, 1, 1))
        return false;
    if (KVE_PACKED_SCRATCH(wireWord) < 1) {
        *status = KVE_E_ARG_COUNT;
        return false;
    }
    return true;
}

template <class T>
T *take(uint32_t bytes, uint32_t heaps, int32_t *status)
{
    void *p = kve_fwMallocAligned(bytes, 8, heaps, status);
    if (p == nullptr && *status == KVE_OK)
        *status = KVE_E_HEAPS_FULL;
    return static_cast<T *>(p);
}

FftPlan *acquirePlan(PlanKind kind, int32_t sizeIndex, int32_t points)
{
    if (kind == PlanKind::Real)
        return g_realPlans.acquire(sizeIndex, points);
    return g_complexPlans.acquire(sizeIndex, points);
}

} // namespace

ClassModule *constructFloatFft(const ModClassDescriptor &record, const Variable *variables, size_t count,
                               size_t stateOffset, PlanKind kind, int32_t points, uint32_t outputWords,
                               uint32_t scratchWords, uint32_t heaps, int32_t *status, uint32_t wireWord,
                               GenericWire **wires, uint32_t argc, const uint32_t *args)
{
    if (!wiresPresent(status, wireWord))
        return nullptr;
    if (!isPlanSize(points) || !shapesFit(wireWord, wires, outputWords, scratchWords)) {
        *status = KVE_E_BAD_ARGUMENT;
        return nullptr;
    }
    ClassModule *m = construct(record, variables, count, 1, 1, status, wireWord, wires, argc, args);
    if (m == nullptr)
        return nullptr;
    // A real transform works on one channel's N/2 + 1 bins, or on N complex values when the channels go by pairs;
    // a complex transform on N complex values.
    const bool pairs = KVE_WIRE_CHANNELS(wires[0]->info1) % 2 == 0;
    const uint32_t bufferFloats = kind == PlanKind::Real && !pairs ? static_cast<uint32_t>(points) + 2 : 2u * points;
    auto *state = take<FftState>(sizeof(FftState), heaps, status);
    float *buffer = state != nullptr ? take<float>(4 * bufferFloats, heaps, status) : nullptr;
    if (buffer == nullptr)
        return nullptr;
    state->sizeIndex = sizeIndexOf(points);
    state->buffer = buffer;
    // The plan comes last: once the module holds a reference, nothing else may fail, so teardown gives it back.
    state->plan = acquirePlan(kind, state->sizeIndex, points);
    if (state->plan == nullptr) {
        *status = KVE_E_HEAPS_FULL;
        return nullptr;
    }
    std::memcpy(reinterpret_cast<char *>(m) + stateOffset, &state, sizeof state);
    return m;
}

int32_t setFloatFft(FftState *state, PlanKind kind, uint32_t mask)
{
    if (mask != KVE_MASK_TEARDOWN || state == nullptr || state->plan == nullptr)
        return KVE_OK;
    if (kind == PlanKind::Real)
        g_realPlans.release(state->plan);
    else
        g_complexPlans.release(state->plan);
    state->plan = nullptr;
    return KVE_OK;
}

int32_t setRealFft(ClassModule *m, uint32_t mask)
{
    return setFloatFft(reinterpret_cast<FftModule *>(m)->fftState, PlanKind::Real, mask);
}

ClassModule *constructFixedFft(const ModClassDescriptor &record, const Variable *variables, size_t count,
                               int32_t points, uint32_t outputWords, uint32_t scratchWords, int32_t *status,
                               uint32_t wireWord, GenericWire **wires, uint32_t argc, const uint32_t *args)
{
    if (!wiresPresent(status, wireWord))
        return nullptr;
    if (points < 0 || !shapesFit(wireWord, wires, outputWords, scratchWords)) {
        *status = KVE_E_BAD_ARGUMENT;
        return nullptr;
    }
    return construct(record, variables, count, 1, 1, status, wireWord, wires, argc, args);
}

void copyComplex(const void *src, int32_t srcStride, void *dst, int32_t dstStride, int32_t count)
{
    // Each (re, im) pair moves as one 8-byte unit: one pass over the channel instead of one per part.
    const auto *from = static_cast<const char *>(src);
    auto *to = static_cast<char *>(dst);
    const ptrdiff_t fromStep = ptrdiff_t{4} * srcStride;
    const ptrdiff_t toStep = ptrdiff_t{4} * dstStride;
    for (ptrdiff_t k = 0; k < count; ++k)
        std::memcpy(to + k * toStep, from + k * fromStep, 8);
}

void silence(GenericWire *w)
{
    kve_vecFill(static_cast<float *>(w->buffer), 1, 0.0f, static_cast<int32_t>(wireWords(w)));
}

int32_t fixedTransform(Fract32 *work, int32_t points)
{
    kve_vecBitReversal(work, 2 * points);
    return kve_vecCfftFract32Wrapper(work, points);
}

void conjugate(Fract32 *work, int32_t count) { kve_vecScaleFract32(work + 1, 2, work + 1, 2, INT32_MIN, 0, count); }

void shiftOut(const Fract32 *work, Fract32 *out, int32_t stride, int32_t exponent, int32_t count)
{
    kve_vecShift(work, 2, out, stride, exponent, count);
    kve_vecShift(work + 1, 2, out + 1, stride, exponent, count);
}

} // namespace kve::fftmod
