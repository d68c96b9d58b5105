// Module states and the shared process and bypass functions that class records point to.
#include <algorithm>

#include "Engine/EngineInternal.h"
#include "kve/kve_vec.h"

namespace {

constexpr uint32_t kMaxMatchedInputs = 255;

GenericWire *inputWire(const ClassModule *m, uint32_t i) { return m->wires[i]; }
GenericWire *outputWire(const ClassModule *m, uint32_t k) { return m->wires[KVE_PACKED_INPUTS(m->packed) + k]; }

void fillWire(GenericWire *w, float value)
{
    kve_vecFill(static_cast<float *>(w->buffer), 1, value, static_cast<int32_t>(kve::wireWords(w)));
}

void fillOutputs(ClassModule *m, float value)
{
    for (uint32_t k = 0; k < KVE_PACKED_OUTPUTS(m->packed); ++k)
        fillWire(outputWire(m, k), value);
}

void copyWords(const GenericWire *from, GenericWire *to, uint32_t words)
{
    if (from->buffer != to->buffer)
        kve_vecCopy32(from->buffer, 1, to->buffer, 1, static_cast<int32_t>(words));
}

} // namespace

extern "C" {

int32_t kve_fwSetModuleState(ClassModule *module, uint32_t state)
{
    if (!kve::isModule(kve::asObject(module)))
        return KVE_E_NOT_A_MODULE;
    const ModClassDescriptor *cls = module->classRecord;
    if (cls->setState != nullptr) {
        cls->setState(module, state);
        return KVE_OK;
    }
    if (state > KVE_STATE_MUTED)
        state = KVE_STATE_INACTIVE;
    static constexpr KVEProcessFn kGeneric[] = {nullptr, nullptr, GenericModule_Mute, GenericModule_Inactive};
    module->process = state == KVE_STATE_ACTIVE     ? cls->process
                      : state == KVE_STATE_BYPASSED ? cls->bypass
                                                    : kGeneric[state];
    module->packed = (module->packed & ~KVE_PACKED_STATE_MASK) | (state << KVE_PACKED_STATE_SHIFT);
    return KVE_OK;
}

int32_t kve_fwGetModuleState(ClassModule *module)
{
    if (!kve::isModule(kve::asObject(module)))
        return KVE_E_NOT_A_MODULE;
    return static_cast<int32_t>((module->packed & KVE_PACKED_STATE_MASK) >> KVE_PACKED_STATE_SHIFT);
}

void GenericModule_Mute(ClassModule *module) { fillOutputs(module, 0.0f); }

void GenericModule_Inactive(ClassModule *) {}

void IOMatchUpModule_Bypass(ClassModule *module)
{
    const uint32_t nIn = std::min(KVE_PACKED_INPUTS(module->packed), kMaxMatchedInputs);
    bool used[kMaxMatchedInputs] = {};
    for (uint32_t k = 0; k < KVE_PACKED_OUTPUTS(module->packed); ++k) {
        GenericWire *out = outputWire(module, k);
        GenericWire *match = nullptr;
        for (uint32_t i = 0; i < nIn && match == nullptr; ++i) {
            GenericWire *in = inputWire(module, i);
            if (!used[i] && kve::wireBlockSize(in) == kve::wireBlockSize(out) &&
                kve::wireChannels(in) == kve::wireChannels(out)) {
                used[i] = true;
                match = in;
            }
        }
        if (match != nullptr)
            copyWords(match, out, kve::wireWords(out));
        else
            fillWire(out, 0.0f);
    }
}

void IOAcrossModule_Bypass(ClassModule *module)
{
    const GenericWire *in = module->wires[0];
    GenericWire *out = module->wires[1];
    const uint32_t inCh = kve::wireChannels(in);
    const uint32_t outCh = kve::wireChannels(out);
    // Frames of the shorter wire: a longer input never writes past the output's block.
    const int32_t n = static_cast<int32_t>(std::min(kve::wireBlockSize(in), kve::wireBlockSize(out)));
    const bool sameBuffer = in->buffer == out->buffer;
    const auto *src = static_cast<const float *>(in->buffer);
    auto *dst = static_cast<float *>(out->buffer);
    const bool complex = KVE_WIRE_COMPLEX(in->info1) != 0;
    const int32_t parts = complex ? 2 : 1;
    const int32_t samples = complex ? n / 2 : n;
    for (uint32_t k = 0; k < outCh; ++k) {
        for (int32_t part = 0; part < parts; ++part) {
            float *o = dst + static_cast<size_t>(parts) * k + static_cast<size_t>(part);
            const int32_t outStride = parts * static_cast<int32_t>(outCh);
            if (k < inCh) {
                if (!sameBuffer)
                    kve_vecCopy32(src + static_cast<size_t>(parts) * k + static_cast<size_t>(part),
                                  parts * static_cast<int32_t>(inCh), o, outStride, samples);
            } else {
                kve_vecFill(o, outStride, 0.0f, samples);
            }
        }
    }
}

void IOMatchModule_Bypass(ClassModule *module)
{
    const uint32_t pairs = std::min(KVE_PACKED_INPUTS(module->packed), KVE_PACKED_OUTPUTS(module->packed));
    for (uint32_t i = 0; i < pairs; ++i) {
        const GenericWire *in = inputWire(module, i);
        GenericWire *out = outputWire(module, i);
        copyWords(in, out, std::min(kve::wireWords(in), kve::wireWords(out)));
    }
}

void IOAllOnesModule_Bypass(ClassModule *module) { fillOutputs(module, 1.0f); }

} // extern "C"
