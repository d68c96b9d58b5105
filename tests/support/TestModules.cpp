#include "support/TestModules.h"

#include <cmath>

namespace kvetest {

std::vector<SetCall> &setLog()
{
    static std::vector<SetCall> log;
    return log;
}

namespace {

int32_t logSet(ClassModule *m, uint32_t mask)
{
    setLog().push_back({m->objectId, mask, g_pKVE_instance});
    return KVE_OK;
}

ClassModule *gainConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                             const uint32_t *args)
{
    auto *m = reinterpret_cast<GainModule *>(
        BaseClassModule_Constructor(&kGainClass.record, status, wireWord, wires, argc, args));
    if (m == nullptr)
        return nullptr;
    const uint32_t channels = KVE_WIRE_CHANNELS(wires[0]->info1);
    m->peak = static_cast<float *>(kve_fwMalloc(channels * 4u, KVE_HEAPS_DEFAULT, status));
    return m->peak != nullptr ? &m->header : nullptr;
}

void gainProcess(ClassModule *module)
{
    auto *m = reinterpret_cast<GainModule *>(module);
    const uint32_t pairs = KVE_PACKED_OUTPUTS(module->packed);
    const uint32_t peakChannels = KVE_WIRE_CHANNELS(module->wires[0]->info1);
    for (uint32_t p = 0; p < pairs; ++p) {
        const GenericWire *in = module->wires[p];
        GenericWire *out = module->wires[pairs + p];
        const uint32_t ch = KVE_WIRE_CHANNELS(in->info1);
        const uint32_t n = ch * KVE_WIRE_BLOCK_SIZE(in->info2);
        const auto *x = static_cast<const float *>(in->buffer);
        auto *y = static_cast<float *>(out->buffer);
        for (uint32_t i = 0; i < n; ++i) {
            y[i] = x[i] * m->gain;
            if (p == 0 && i % ch < peakChannels)
                m->peak[i % ch] = std::fmax(m->peak[i % ch], std::fabs(x[i]));
        }
    }
}

void deferredProcess(ClassModule *module)
{
    auto *m = reinterpret_cast<DeferredModule *>(module);
    if (m->requests > 0) {
        m->requests--;
        kve_fwRequestDeferredSet(module);
    }
}

int32_t deferredSet(ClassModule *module, uint32_t mask)
{
    if (mask == KVE_MASK_ALL)
        reinterpret_cast<DeferredModule *>(module)->fullSets++;
    return logSet(module, mask);
}

void idleProcess(ClassModule *) {}

int32_t failingSet(ClassModule *module, uint32_t mask)
{
    logSet(module, mask);
    return mask == KVE_MASK_TEARDOWN ? KVE_OK : reinterpret_cast<FailingSetModule *>(module)->failWith;
}

} // namespace

const ClassRecord<3> kGainClass = {
    {gainConstructor, kGainClassId, gainProcess, IOMatchUpModule_Bypass, logSet, nullptr, nullptr, 2u | (1u << 16),
     0x5u, 0},
    {offsetof(GainModule, gain), offsetof(GainModule, channels), offsetof(GainModule, peak)}};

const ClassRecord<2> kDeferredClass = {
    {nullptr, kDeferredClassId, deferredProcess, IOMatchUpModule_Bypass, deferredSet, nullptr, nullptr, 2u, 0, 0},
    {offsetof(DeferredModule, requests), offsetof(DeferredModule, fullSets)}};

const ClassRecord<1> kFailingSetClass = {
    {nullptr, kFailingSetClassId, idleProcess, IOMatchUpModule_Bypass, failingSet, nullptr, nullptr, 1u, 0, 0},
    {offsetof(FailingSetModule, failWith)}};

const ModClassDescriptor *const kTestClassTable[] = {&kGainClass.record, &kDeferredClass.record,
                                                     &kFailingSetClass.record};
const uint32_t kTestClassCount = 3;

} // namespace kvetest
