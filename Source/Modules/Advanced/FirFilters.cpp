// What the FIR modules share: coefficient preparation of the fixed-point forms, and how the sparse readers find,
// check and bound the delay line they read.
#include "Modules/Advanced/FirFilters.h"

#include <cmath>
#include <cstring>

#include "Modules/Standard/Control.h"

namespace kve::fir {

bool sizeArgumentOk(int32_t *status, int64_t value)
{
    if (value >= 0)
        return true;
    *status = KVE_E_BAD_ARGUMENT;
    return false;
}

void fract32Taps(ClassModule *m, int32_t numTaps, const float *coeffs, Fract32 *dst, bool reversed)
{
    const uint32_t taps = heldTaps(m, numTaps);
    for (uint32_t k = 0; k < taps; ++k)
        dst[reversed ? taps - 1 - k : k] = kve_advFloatToFract32(coeffs[k]);
}

bool rateStateShape(int32_t *status, uint32_t argc, const uint32_t *args, GenericWire **wires, uint32_t publicCount,
                    uint32_t taps, uint32_t length, int32_t spare, kit::Variable &state)
{
    if (*status != KVE_OK)
        return false;
    if (args == nullptr || argc != publicCount || wires == nullptr || wires[0] == nullptr)
        return true; // the engine refuses this construction itself
    const auto t = static_cast<int32_t>(args[taps]);
    const auto len = static_cast<int32_t>(args[length]);
    if (!sizeArgumentOk(status, t) || !sizeArgumentOk(status, len))
        return false;
    const int64_t words = std::max<int64_t>(int64_t{kit::blockSize(wires[0])} + len + spare, 1);
    state.length = kit::perChannelOfWire(0, static_cast<uint32_t>(std::min<int64_t>(words, UINT32_MAX)));
    return true;
}

namespace {

// Channels of the input, and the slice of state each one has.
RateRun rateBase(ClassModule *m, int32_t factor, uint32_t stateArray)
{
    RateRun r;
    const uint32_t ch = KVE_WIRE_CHANNELS(kit::wire(m, 0)->info1);
    r.perChannel = static_cast<int32_t>(std::min<uint32_t>(perChannel(m, stateArray, ch), INT32_MAX));
    if (r.perChannel == 0)
        return r;
    r.channels = static_cast<int32_t>(ch);
    r.factor = rateFactor(factor);
    return r;
}

} // namespace

RateRun decimatorRun(ClassModule *m, int32_t factor, int32_t numTaps, int32_t stateLength, uint32_t coeffArray,
                     uint32_t stateArray)
{
    RateRun r = rateBase(m, factor, stateArray);
    if (r.channels == 0)
        return r;
    r.taps = static_cast<int32_t>(std::min<int64_t>(std::max(numTaps, 0), kit::capacity(m, coeffArray)));
    r.ring = std::clamp(stateLength, 1, r.perChannel);
    const uint32_t outFrames = kit::wireWords(kit::wire(m, 1)) / static_cast<uint32_t>(r.channels);
    r.count = static_cast<int32_t>(
        std::min<uint32_t>(kit::blockSize(kit::wire(m, 0)) / static_cast<uint32_t>(r.factor), outFrames));
    return r;
}

RateRun interpolatorRun(ClassModule *m, int32_t factor, int32_t tapsPerPhase, int32_t stateLength,
                        uint32_t coeffArray, uint32_t stateArray)
{
    RateRun r = rateBase(m, factor, stateArray);
    if (r.channels == 0)
        return r;
    r.taps = static_cast<int32_t>(
        std::min<int64_t>(std::max(tapsPerPhase, 0), kit::capacity(m, coeffArray) / static_cast<uint32_t>(r.factor)));
    r.ring = std::clamp(stateLength, 1, r.perChannel);
    const uint64_t outFrames = kit::wireWords(kit::wire(m, 1)) / static_cast<uint32_t>(r.channels);
    r.count = static_cast<int32_t>(
        std::min<uint64_t>(kit::blockSize(kit::wire(m, 0)), outFrames / static_cast<uint32_t>(r.factor)));
    return r;
}

namespace {

bool accepts(LineKind kind, uint32_t classId)
{
    switch (kind) {
    case LineKind::Float:
        return classId == kFIRSparseId || classId == kDelayStateWriterId;
    case LineKind::Word32:
        return classId == kDelayStateWriterId;
    case LineKind::Half16:
        return classId == kDelayStateWriter16Id;
    }
    return false;
}

template <class T> T memberAt(const ClassModule *m, uint32_t variable)
{
    T v;
    std::memcpy(&v, reinterpret_cast<const char *>(m) + kve_ClassVariableOffsets(m->classRecord)[variable], sizeof v);
    return v;
}

// The sparse FIR's own line: block + maxDelay samples, held within what it allocated (the spare slot apart).
SourceLine sparseLine(ClassModule *source)
{
    auto *s = reinterpret_cast<SparseModule *>(source);
    const uint32_t built = kit::capacity(source, 2);
    if (built < 2)
        return {};
    const int64_t block = kit::wireWords(kit::wire(source, 0));
    const auto length = static_cast<int32_t>(std::min<int64_t>(block + std::max(s->maxDelay, 0), built - 1));
    if (length < 1)
        return {};
    return {s->delayLine, length, ringPosition(s->stateIndex, length), true};
}

// A delay-state writer's line: variable 1 its length L (2L words for a complex input), 2 its write index, 4 its
// buffer, the only array it allocates. A 32-bit line keeps a spare word past its end; a 16-bit line packs two
// samples a word.
SourceLine writerLine(ClassModule *source, LineKind kind)
{
    if (kve_ClassVariableCount(source->classRecord) < 5 || kve_fwModuleHiddenWords(source)[-1] < 1)
        return {};
    const int64_t words = kit::capacity(source, 0);
    int64_t length = memberAt<int32_t>(source, 1);
    int64_t room = words - 1;
    if (kind == LineKind::Half16) {
        room = 2 * words;
    } else if (KVE_WIRE_COMPLEX(kit::wire(source, 0)->info1) != 0) {
        length *= 2;
    }
    length = std::min(length, room);
    if (length < 1)
        return {};
    const auto len = static_cast<int32_t>(length);
    const bool spare = kind != LineKind::Half16;
    return {memberAt<void *>(source, 4), len, ringPosition(memberAt<int32_t>(source, 2), len), spare};
}

} // namespace

ClassModule *followedSource(const GenericWire *idWire, uint32_t *sourceId, ClassModule *current, LineKind kind)
{
    const uint32_t id = control::firstWord(idWire);
    if (id == *sourceId)
        return current;
    *sourceId = id;
    KVEObject *o = nullptr;
    uint32_t classId = 0;
    if (g_pKVE_instance == nullptr || kve_fwGetObjectByID2(id, &o, &classId) != KVE_OK)
        return nullptr;
    auto *m = reinterpret_cast<ClassModule *>(o);
    if (!control::isLiveModule(m) || !accepts(kind, m->classRecord->classId) || kve_fwModuleHiddenWords(m) == nullptr)
        return nullptr;
    return m;
}

SourceLine lineOf(ClassModule *source, LineKind kind)
{
    if (source == nullptr)
        return {};
    return source->classRecord->classId == kFIRSparseId ? sparseLine(source) : writerLine(source, kind);
}

void clampDelays(int32_t *delays, uint32_t taps, int32_t longest)
{
    for (uint32_t t = 0; t < taps; ++t)
        delays[t] = std::clamp(delays[t], 0, std::max(longest, 0));
}

uint32_t readerTaps(ClassModule *m, int32_t numTaps)
{
    const uint32_t built = std::min({kit::capacity(m, 0), kit::capacity(m, 1) - 1, kit::capacity(m, 2)});
    return numTaps <= 0 ? 0u : std::min(static_cast<uint32_t>(numTaps), built);
}

void activateDelays(ClassModule *m, const int32_t *delays, int32_t *active, int32_t numTaps)
{
    std::copy_n(delays, readerTaps(m, numTaps), active);
}

namespace {

// The fixed-point taps a reader's array holds: Fract32 words, or two Q15 values a word.
uint32_t fixedTaps(ClassModule *m, int32_t numTaps, LineKind kind)
{
    const uint64_t held = uint64_t{kit::capacity(m, 3)} * (kind == LineKind::Half16 ? 2 : 1);
    return static_cast<uint32_t>(std::min<uint64_t>(readerTaps(m, numTaps), held));
}

} // namespace

void fixedReaderProcess(ClassModule *m, LineKind kind)
{
    auto *s = reinterpret_cast<SparseReaderFixedModule *>(m);
    s->source = followedSource(kit::wire(m, 0), &s->sourceId, s->source, kind);
    GenericWire *out = kit::wire(m, 1);
    auto *y = static_cast<Fract32 *>(out->buffer);
    const SourceLine line = lineOf(s->source, kind);
    if (line.length == 0) {
        kve_vecFillFract32(y, 1, 0, static_cast<int32_t>(kit::wireWords(out)));
        return;
    }
    const uint32_t taps = fixedTaps(m, s->numTaps, kind);
    const auto n = static_cast<int32_t>(kit::blockSize(out));
    clampDelays(s->activeDelays, taps, line.length - n);
    const auto *delays = reinterpret_cast<const uint32_t *>(s->activeDelays);
    const int32_t start = ringPosition(line.writeIndex - n, line.length);
    if (kind == LineKind::Half16)
        kve_vecFIRSparseReaderFract16(delays, y, reinterpret_cast<const int16_t *>(s->coeffsFixed),
                                      static_cast<int32_t>(taps), n, start, line.length,
                                      static_cast<const int16_t *>(line.buffer), s->postShift);
    else
        kve_vecFIRSparseReaderFract32(delays, y, s->coeffsFixed, static_cast<int32_t>(taps), n, start, line.length,
                                      static_cast<const Fract32 *>(line.buffer), s->postShift);
}

// The taps scaled by 2^-postShift into Fract32, the 16-bit form keeping the upper half of each.
int32_t fixedReaderSet(ClassModule *m, LineKind kind)
{
    auto *s = reinterpret_cast<SparseReaderFixedModule *>(m);
    const uint32_t taps = fixedTaps(m, s->numTaps, kind);
    s->postShift = readerShift(s->coeffs, taps);
    auto *q15 = reinterpret_cast<int16_t *>(s->coeffsFixed);
    for (uint32_t k = 0; k < taps; ++k) {
        const Fract32 v = kve_advFloatToFract32(std::ldexp(s->coeffs[k], -s->postShift));
        if (kind == LineKind::Half16)
            q15[k] = static_cast<int16_t>(v >> 16);
        else
            s->coeffsFixed[k] = v;
    }
    activateDelays(m, s->delays, s->activeDelays, s->numTaps);
    return 0;
}

int32_t readerShift(const float *coeffs, uint32_t taps)
{
    int32_t positive = 0;
    int32_t shift = -31;
    for (uint32_t k = 0; k < taps; ++k) {
        if (coeffs[k] == 0.0f || !std::isfinite(coeffs[k]))
            continue;
        int32_t e = 0;
        std::frexp(coeffs[k], &e);
        if (e > 0)
            positive = std::max(positive, e);
        else if (e >= -31)
            shift = std::max(shift, e);
    }
    return positive > 0 ? positive : shift;
}

PlainRate plainRate(ClassModule *m)
{
    const GenericWire *in = kit::wire(m, 0);
    GenericWire *out = kit::wire(m, 1);
    const uint32_t ch = KVE_WIRE_CHANNELS(in->info1);
    return {static_cast<const float *>(in->buffer), static_cast<float *>(out->buffer), ch,
            static_cast<uint32_t>(rateFactor(reinterpret_cast<RateModule *>(m)->factor)), kit::blockSize(in),
            ch == 0 ? 0 : kit::wireWords(out) / ch};
}

void windowedProduct(ClassModule *m, WindowedProductKernel kernel)
{
    const auto *s = reinterpret_cast<WindowedProductModule *>(m);
    const GenericWire *a = kit::wire(m, 0);
    const GenericWire *b = kit::wire(m, 1);
    const GenericWire *out = kit::wire(m, 2);
    const uint32_t chA = KVE_WIRE_CHANNELS(a->info1);
    const uint32_t chB = KVE_WIRE_CHANNELS(b->info1);
    const uint32_t chOut = KVE_WIRE_CHANNELS(out->info1);
    const uint32_t served = std::min({chA, chB, chOut});
    if (served == 0)
        return;
    const auto count = static_cast<int32_t>(
        std::min<int64_t>(std::max(s->outputCount, 0), kit::wireWords(out) / chOut));
    const int32_t first = std::max(s->firstOutput, 0);
    const auto *x = static_cast<const float *>(a->buffer);
    const auto *h = static_cast<const float *>(b->buffer);
    auto *y = static_cast<float *>(out->buffer);
    for (uint32_t c = 0; c < served; ++c)
        kernel(x + c, static_cast<int32_t>(chA), static_cast<int32_t>(kit::blockSize(a)), h + c,
               static_cast<int32_t>(chB), static_cast<int32_t>(kit::blockSize(b)), y + c, static_cast<int32_t>(chOut),
               count, first);
}

} // namespace kve::fir
