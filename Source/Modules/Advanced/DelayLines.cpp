// What the delay lines share: building a module with arrays sized from its wires and arguments, the modulated
// delays' bypass and their Fract32 datapath.
#include "Modules/Advanced/DelayLines.h"

#include <algorithm>
#include <cstring>

namespace kve::dly {

using namespace kve::kit;
using namespace kve::shapes;

ClassModule *constructArrays(const ModClassDescriptor &record, uint32_t inputs, uint32_t outputs, uint32_t arrays,
                             SizeArray size, int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                             const uint32_t *args)
{
    if (!requireWires(status, wireWord, inputs, outputs))
        return nullptr;
    ClassModule *m = BaseClassModule_ConstructorHidden(&record, status, wireWord, wires, argc, args, arrays);
    if (m == nullptr)
        return nullptr;
    const uint32_t *offsets = kve_ClassVariableOffsets(&record);
    const uint32_t first = record.countWord & 0xFFFFu;
    for (uint32_t k = 0; k < arrays; ++k) {
        const ArraySize want = size(m, k);
        // An empty array still gets one word, so every pointer a host reads names memory of the module's own.
        const uint64_t words = std::max<uint64_t>(want.words, 1);
        void *p = words * 4 <= UINT32_MAX ? kve_fwMalloc(static_cast<uint32_t>(words * 4), want.heaps, status)
                                          : nullptr;
        if (p == nullptr) {
            if (*status == KVE_OK)
                *status = KVE_E_HEAPS_FULL;
            return nullptr;
        }
        std::memcpy(reinterpret_cast<char *>(m) + offsets[first + k], &p, sizeof p);
        kve_fwModuleHiddenWords(m)[k] = static_cast<uint32_t>(want.words);
    }
    return m;
}

void bypassModulated(ClassModule *m)
{
    const GenericWire *in = wire(m, 1);
    const GenericWire *out = wire(m, inputs(m));
    std::memmove(out->buffer, in->buffer, static_cast<size_t>(held({in, out})) * 4);
}

int32_t toQ16(float v)
{
    const float q = v * 65536.0f;
    if (q != q)
        return 0;
    if (q >= 2147483648.0f)
        return INT32_MAX;
    if (q < -2147483648.0f)
        return INT32_MIN;
    return static_cast<int32_t>(q);
}

namespace {

constexpr int64_t kMax = INT32_MAX;

} // namespace

FrameDelay fract32Delay(int32_t baseQ16, int32_t depthQ16, int32_t mod, uint32_t maxDelay, int32_t *fraction)
{
    const int64_t swing = std::min(q31(mod, depthQ16), kMax);
    int64_t d = std::clamp<int64_t>(int64_t{baseQ16} + swing, 0, kMax);
    // The longest delay in Q16; a line of 32768 frames or more is held by the Q16 range itself.
    const int64_t top = std::min<int64_t>(int64_t{maxDelay} << 16, kMax);
    if (d >= top) {
        d = top;
        *fraction = 0;
    } else {
        *fraction = static_cast<int32_t>((d & 0xFFFF) << 15);
    }
    return {static_cast<int32_t>(d >> 16), d == 0};
}

CubicTerms cubicTerms(int32_t f)
{
    CubicTerms t{};
    t.f = f;
    t.f2 = std::min(q31(f, f), kMax);
    t.f3 = q31(f, t.f2);
    t.a = q31(t.f3, -357921099);
    t.b = q31(f, -715756299);
    t.c = q31(f, -0x40000000);
    t.d = q31(t.f3, -0x40000000);
    t.e = q31(t.f3, 357921099);
    t.g = q31(f, -357921099);
    return t;
}

void cubicWeights(float f, float w[4])
{
    const float f2 = f * f;
    const float f3 = f2 * f;
    w[0] = -0.3333f * f + 0.5f * f2 - 0.16667f * f3;
    w[1] = 1.0f + 0.5f * f3 - 0.5f * f - f2;
    w[2] = f + 0.5f * f2 - 0.5f * f3;
    w[3] = 0.16667f * (f3 - f);
}

void Fract32Taps::frame(uint32_t control, uint32_t maxDelay, int64_t k[4])
{
    const FrameDelay d = fract32Delay(baseQ16, depthQ16, static_cast<int32_t>(control), maxDelay, &f);
    k[0] = d.n;
    k[1] = int64_t{d.n} + 1;
    if (cubic) {
        cubicOffsets(d, k);
        terms = cubicTerms(f);
    }
}

} // namespace kve::dly
