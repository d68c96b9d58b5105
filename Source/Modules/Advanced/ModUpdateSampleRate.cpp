// UpdateSampleRate: rescales the rate of every wire that existed when it was built and has every other module
// recompute what depends on the rate.
#include <cmath>

#include "Modules/Advanced/RateModules.h"

using namespace kve::kit;
using namespace kve::rate;

namespace {

constexpr uint32_t kUpdater = 0xBEEF0D46u;

bool isWire(uint32_t classId) { return classId >= 0xBEEF0080u && classId <= 0xBEEF07FFu; }
bool isModule(uint32_t classId) { return classId >= 0xBEEF0800u && classId <= 0xBEEFFFFFu; }

constexpr std::array<Variable, 4> kVariables = {
    KVE_VARIABLE(UpdateSampleRateModule, newRate, Float),
    KVE_VARIABLE(UpdateSampleRateModule, referenceRate, Float),
    KVE_VARIABLE(UpdateSampleRateModule, updated, Int),
    KVE_ARRAY(UpdateSampleRateModule, wireRates, FloatArray, fixedLength(0)),
};

uint32_t countWires()
{
    uint32_t n = 0;
    KVEObject *o = nullptr;
    uint32_t classId = 0;
    for (int32_t r = kve_fwGetFirstObject(&o, &classId); r == KVE_OK && o != nullptr;
         r = kve_fwGetNextObject(o, &o, &classId))
        n += isWire(classId) ? 1u : 0u;
    return n;
}

ClassModule *updateConstruct(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                             const uint32_t *args)
{
    if (*status != KVE_OK || g_pKVE_instance == nullptr)
        return nullptr;
    // Layouts number their objects as if this module were built twice and the second kept: the first id is issued
    // and names nothing, so every later id matches.
    GetNextInstanceID(g_pKVE_instance);
    std::array<Variable, 4> vars = kVariables;
    vars[3].length = fixedLength(countWires());
    ClassModule *m = construct(kve_modUpdateSampleRateClass.record, vars.data(), vars.size(), 1, 1, status,
                               wireWord, wires, argc, args);
    if (m == nullptr)
        return nullptr;
    auto *s = reinterpret_cast<UpdateSampleRateModule *>(m);
    uint32_t k = 0;
    KVEObject *o = nullptr;
    uint32_t classId = 0;
    const uint32_t n = capacity(m, 0);
    for (int32_t r = kve_fwGetFirstObject(&o, &classId); r == KVE_OK && o != nullptr && k < n;
         r = kve_fwGetNextObject(o, &o, &classId))
        if (isWire(classId))
            s->wireRates[k++] = reinterpret_cast<GenericWire *>(o)->sampleRate;
    s->referenceRate = wire(m, 0)->sampleRate;
    return m;
}

int32_t updateSet(ClassModule *m, uint32_t mask)
{
    auto *s = reinterpret_cast<UpdateSampleRateModule *>(m);
    if ((mask & (1u << 8)) == 0)
        return 0;
    const float ratio = s->newRate / s->referenceRate;
    // A ratio from a zero reference or a zero, negative or non-finite rate (a layout's unset rate, at construction)
    // would leave every wire without a usable rate: nothing is updated.
    if (!std::isfinite(ratio) || ratio <= 0.0f)
        return 0;
    s->updated = 1;
    const uint32_t n = capacity(m, 0);
    uint32_t k = 0;
    KVEObject *o = nullptr;
    uint32_t classId = 0;
    for (int32_t r = kve_fwGetFirstObject(&o, &classId); r == KVE_OK && o != nullptr;
         r = kve_fwGetNextObject(o, &o, &classId)) {
        if (isWire(classId) && k < n)
            reinterpret_cast<GenericWire *>(o)->sampleRate = s->wireRates[k++] * ratio;
    }
    for (int32_t r = kve_fwGetFirstObject(&o, &classId); r == KVE_OK && o != nullptr;
         r = kve_fwGetNextObject(o, &o, &classId))
        if (isModule(classId) && classId != kUpdater)
            ClassModule_Set(reinterpret_cast<ClassModule *>(o), 0xFFFFFFFFu);
    return 0;
}

void updateProcess(ClassModule *m)
{
    static_cast<int32_t *>(wire(m, 1)->buffer)[0] = reinterpret_cast<UpdateSampleRateModule *>(m)->updated;
}

} // namespace

extern "C" constinit const ClassRecord<4> kve_modUpdateSampleRateClass = makeClass<4>(
    kUpdater, {updateConstruct, updateProcess, IOMatchUpModule_Bypass, updateSet}, kVariables);
