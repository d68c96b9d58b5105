// SbAECV2: the subband echo canceller over a circular reference history, with the last gains kept per subband and
// an optional freeze input (input 2 when `hasFreezePin` is 1) whose first word, while non-zero, holds the taps and
// their variances as they are; the output still follows the microphone and reference.
#include <cstring>

#include "Modules/Advanced/SbEchoCancellers.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::sbaec;

constexpr std::array<Variable, 4> kScalars = {
    KVE_VARIABLE(SbAECV2Module, hasFreezePin, Int),
    KVE_VARIABLE(SbAECV2Module, historyIndex, Int),
    KVE_VARIABLE(SbAECV2Module, numTablePoints, Int),
    KVE_VARIABLE(SbAECV2Module, spareWord, Int),
};
constexpr auto kVariables = cancellerVariables<SbAECV2Module>(kScalars);
constexpr uint32_t kFreezePinArgument = 8;

ClassModule *sbAECV2Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                const uint32_t *args)
{
    const bool freezePin = kve::filters::sizeArgument(argc, args, 12, kFreezePinArgument) == 1;
    return constructCanceller<SbAECV2Module>(kve_modSbAECV2Class, kVariables, {12, 10, freezePin ? 3u : 2u, true},
                                             status, wireWord, wires, argc, args);
}

// True while the freeze input, when the module was wired with one, holds a non-zero first word.
bool frozen(const ClassModule *m, const SbAECV2Module &s)
{
    if (s.hasFreezePin != 1 || KVE_PACKED_INPUTS(m->packed) < 3 || wireWords(wire(m, 2)) == 0)
        return false;
    int32_t word;
    std::memcpy(&word, wire(m, 2)->buffer, sizeof word);
    return word != 0;
}

// The history slot of this block's reference sample, wrapped into the taps in use.
uint32_t newestSlot(int32_t historyIndex, uint32_t taps)
{
    const auto n = static_cast<int64_t>(taps);
    return static_cast<uint32_t>((historyIndex % n + n) % n);
}

void sbAECV2Process(ClassModule *m)
{
    auto *s = reinterpret_cast<SbAECV2Module *>(m);
    const CancellerArrays &a = s->arrays;
    const Estimator e = estimatorOf(m, s->common);
    const uint32_t nSub = subbands(m);
    const float *mic = samplesOf(wire(m, 0));
    const float *ref = samplesOf(wire(m, 1));
    float *out = samplesOf(outputWire(m));
    const uint32_t newest = e.taps == 0 ? 0 : newestSlot(s->historyIndex, e.taps);
    if (e.taps > 0) {
        const auto n = static_cast<int32_t>(nSub);
        const auto stride = static_cast<int32_t>(e.capacity);
        kve_vecCopy32(ref, 2, a.refHistory + 2 * newest, 2 * stride, n);
        kve_vecCopy32(ref + 1, 2, a.refHistory + 2 * newest + 1, 2 * stride, n);
        kve_vecMagnitudeSquared(ref, 2, a.refPowerHistory + newest, stride, n);
    }
    const bool hold = frozen(m, *s);
    for (uint32_t k = 0; k < nSub; ++k) {
        const Subband b = subbandOf(a, e.capacity, k, a.tapGain + e.capacity * k);
        const Complex d = {mic[2 * k], mic[2 * k + 1]};
        const Complex err = hold ? filterError(b, e.taps, newest, d) : adaptSubband(e, b, a, newest, d);
        out[2 * k] = err.re;
        out[2 * k + 1] = err.im;
        if (s->common.postFilterEnable != 0)
            a.postGain[k] = postGainOf(b, e.taps, newest);
    }
    s->historyIndex = static_cast<int32_t>(e.taps == 0 ? 0 : (newest == 0 ? e.taps : newest) - 1);
    postFilter(m, *s, out, nSub);
}

} // namespace

extern "C" constinit const ClassRecord<22> kve_modSbAECV2Class = makeClass<22>(
    0xBEEF429Du, {sbAECV2Constructor, sbAECV2Process, IOMatchUpModule_Bypass, cancellerSet<SbAECV2Module>},
    kVariables);
