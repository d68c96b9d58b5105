// What the control classes share: their wiring, the reading of control wires, the audio Bypass and the first-order
// pole.
#include "Modules/Advanced/ControlledFilters.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "kve/kve_vec.h"

namespace kve::controlled {

uint32_t controlWiresOf(int32_t controlMask) { return std::popcount(static_cast<uint32_t>(controlMask) & 7u); }

ClassModule *constructSecondOrder(const ModClassDescriptor &record, const kit::Variable *variables, size_t count,
                                  uint32_t maskVariable, uint32_t stateWords, int32_t *status, uint32_t wireWord,
                                  GenericWire **wires, uint32_t argc, const uint32_t *args)
{
    if (*status != KVE_OK)
        return nullptr;
    if (args == nullptr || argc <= maskVariable) {
        *status = KVE_E_ARG_COUNT;
        return nullptr;
    }
    const uint32_t audio = controlWiresOf(static_cast<int32_t>(args[maskVariable]));
    if (KVE_PACKED_INPUTS(wireWord) < audio + 1 || KVE_PACKED_OUTPUTS(wireWord) < 1) {
        *status = KVE_E_ARG_COUNT;
        return nullptr;
    }
    // The state follows the audio wire, whose place the mask decides.
    std::vector<kit::Variable> v(variables, variables + count);
    v.back().length = kit::perChannelOfWire(KVE_PACKED_INPUTS(wireWord) - 1, stateWords);
    return kit::construct(record, v.data(), v.size(), audio + 1, 1, status, wireWord, wires, argc, args);
}

void followControls(ClassModule *m, int32_t controlMask, const Controls &controls)
{
    float *const targets[] = {controls.freq, controls.gain, controls.Q};
    // A mask a host widened after construction never reaches past the control wires the module was built with.
    const uint32_t wires = KVE_PACKED_INPUTS(m->packed) - 1;
    uint32_t next = 0;
    bool changed = false;
    for (uint32_t bit = 0; bit < 3 && next < wires; ++bit) {
        if ((static_cast<uint32_t>(controlMask) & (1u << bit)) == 0)
            continue;
        const GenericWire *w = kit::wire(m, next++);
        if (kit::wireWords(w) == 0)
            continue;
        // Compared as stored words, so a NaN control asks for one redesign, not one per block.
        if (std::memcmp(w->buffer, targets[bit], sizeof(float)) != 0) {
            std::memcpy(targets[bit], w->buffer, sizeof(float));
            changed = true;
        }
    }
    if (changed)
        kve_fwRequestDeferredSet(m);
}

namespace {

void copyAudio(const GenericWire *in, GenericWire *out)
{
    const uint32_t n = std::min(kit::wireWords(in), kit::wireWords(out));
    auto *dst = static_cast<int32_t *>(out->buffer);
    kve_vecCopy32(static_cast<const int32_t *>(in->buffer), 1, dst, 1, static_cast<int32_t>(n));
    kve_vecFillInt32(dst + n, 1, 0, static_cast<int32_t>(kit::wireWords(out) - n));
}

} // namespace

void bypassLastInput(ClassModule *m) { copyAudio(audioInput(m), output(m)); }
void bypassSecondInput(ClassModule *m) { copyAudio(kit::wire(m, kAudioWire), output(m)); }

float controlFrequency(const GenericWire *control, float low, float sampleRate)
{
    const float f = kit::wireWords(control) != 0 ? static_cast<const float *>(control->buffer)[0] : low;
    return std::fmin(std::fmax(f, low), 0.45f * sampleRate);
}

float poleOf(float f, float sampleRate)
{
    const double w = 2.0 * std::numbers::pi * f / sampleRate;
    return static_cast<float>((1.0 - std::sin(w)) / std::cos(w));
}

} // namespace kve::controlled
