// Layouts: construction, placing modules, the timed run, clock dividers, the single-layout pump and the tick.
#include "Engine/Clock.h"
#include "Engine/EngineInternal.h"

extern "C" {

const ModClassDescriptor LayoutClass_Descriptor = {nullptr, KVE_CLASS_LAYOUT, nullptr, nullptr, nullptr,
                                                   nullptr, nullptr,          0,       0,       0};

ClassLayout *ClassLayout_Constructor(KVEInstance *instance, int32_t *status, uint32_t capacity,
                                     uint32_t clockDivider)
{
    if (*status != KVE_OK)
        return nullptr;
    const uint64_t bytes = KVE_LAYOUT_HEADER_SIZE + static_cast<uint64_t>(capacity) * sizeof(ClassModule *);
    if (bytes > UINT32_MAX) {
        *status = KVE_E_HEAPS_FULL;
        return nullptr;
    }
    auto *layout = static_cast<ClassLayout *>(
        kve_fwMalloc2(instance, static_cast<uint32_t>(bytes), 8, KVE_HEAPS_DEFAULT, status));
    if (layout == nullptr)
        return nullptr;
    layout->classRecord = &LayoutClass_Descriptor;
    kve::issueId(instance, kve::asObject(layout));
    layout->clockDivider = clockDivider;
    layout->capacity = capacity;
    if (instance->lastLayout == nullptr)
        instance->firstLayout = layout;
    else
        instance->lastLayout->nextLayout = layout;
    instance->lastLayout = layout;
    kve::appendObject(instance, kve::asObject(layout));
    return layout;
}

int32_t kve_fwAddModuleToLayout(KVEInstance *instance, uint32_t count, const uint32_t *words)
{
    if (count < 3)
        return KVE_E_ARG_COUNT;
    KVEObject *o = nullptr;
    uint32_t cls = 0;
    if (kve_fwGetObjectByID(instance, words[0], &o, &cls) != KVE_OK)
        return KVE_E_ID_NOT_FOUND;
    if (cls != KVE_CLASS_LAYOUT)
        return KVE_E_NOT_A_LAYOUT;
    ClassLayout *layout = kve::asLayout(o);
    const uint64_t first = words[1];
    const uint64_t modules = count - 2u;
    if (first + modules > layout->capacity)
        return KVE_E_NOT_A_LAYOUT;
    for (uint64_t i = 0; i < modules; ++i) {
        if (kve_fwGetObjectByID(instance, words[2 + i], &o, &cls) != KVE_OK)
            return KVE_E_ID_NOT_FOUND;
        if (!kve::isModuleClass(cls))
            return KVE_E_NOT_A_MODULE;
        ClassModule *m = kve::asModule(o);
        if (m->layoutOwner != 0)
            return KVE_E_MODULE_IN_LAYOUT;
        layout->modules[first + i] = m;
    }
    return KVE_OK;
}

} // extern "C"

namespace {

// Runs the modules of the slots from `slot` to `end`, stopping at the first empty slot, and calls `afterEach` with
// each module once it has run. The next slot is read before the current module runs: the next module's reads of
// its own record then do not queue behind the current module's sample stores.
template <class AfterEach> void runModules(ClassModule *const *slot, ClassModule *const *end, AfterEach afterEach)
{
    ClassModule *m = slot != end ? *slot : nullptr;
    while (m != nullptr) {
        ++slot;
        ClassModule *const next = slot != end ? *slot : nullptr;
        m->process(m);
        afterEach(m);
        m = next;
    }
}

} // namespace

extern "C" {

void ClassLayout_Process(KVEInstance *instance, ClassLayout *layout, uint32_t *time, uint32_t *period)
{
    g_pKVE_instance = instance;
    ClassModule *const *slot = layout->modules;
    ClassModule *const *const end = slot + layout->capacity;
    if ((instance->flags & KVE_FLAG_NO_LAYOUT_PROFILING) != 0) {
        runModules(slot, end, [](ClassModule *) {});
        layout->runCount++;
        return;
    }

    const kve::ProfileClock clock;
    const bool warm = layout->runCount > 19;
    const uint32_t t0 = clock.now();
    if (layout->lastStart != 0)
        layout->averagePeriod = kve::smoothTicks(layout->averagePeriod, t0 - layout->lastStart);
    layout->lastStart = t0;

    if ((instance->flags & KVE_FLAG_NO_MODULE_PROFILING) == 0) {
        // Each module's time runs from the read that ended the module before it (the run's start for the first).
        uint32_t before = t0;
        runModules(slot, end, [&](ClassModule *m) {
            const uint32_t after = clock.now();
            if (warm)
                m->cycles = kve::smoothTicks(m->cycles, after - before);
            before = after;
        });
    } else {
        runModules(slot, end, [](ClassModule *) {});
    }

    if (warm) {
        const uint32_t dt = clock.now() - t0;
        layout->lastTime = dt * 256u;
        if (time != nullptr)
            *time = layout->lastTime;
        if (layout->lastTime > layout->peakTime)
            layout->peakTime = layout->lastTime;
        layout->averageTime = kve::smoothTicks(layout->averageTime, dt);
        if (layout->averagePeriod != 0)
            layout->loadPercent =
                static_cast<float>(layout->averageTime) * 100.0f / static_cast<float>(layout->averagePeriod);
    }
    if (period != nullptr)
        *period = layout->averagePeriod;
    layout->runCount++;
}

int32_t kve_fwPump(KVEInstance *instance, uint32_t index)
{
    ClassLayout *layout = instance->firstLayout;
    for (uint32_t i = 0; layout != nullptr && i < index; ++i)
        layout = layout->nextLayout;
    if (layout == nullptr)
        return KVE_E_NO_LAYOUT;
    ClassLayout_Process(instance, layout, nullptr, nullptr);
    instance->flags &= ~KVE_FLAG_TICKED;
    return KVE_OK;
}

int32_t kve_fwTick(KVEInstance *instance)
{
    instance->flags |= KVE_FLAG_TICKED;
    // With no request waiting there is nothing to find: the block's tick costs no walk of the object list.
    if (instance->pendingSets == 0 || instance->firstObject == nullptr)
        return KVE_OK;
    g_pKVE_instance = instance;
    KVEObject *o = instance->tickCursor == nullptr ? instance->firstObject : instance->tickCursor->next;
    for (; o != nullptr; o = o->next) {
        instance->tickCursor = o;
        if (!kve::isModule(o))
            continue;
        ClassModule *m = kve::asModule(o);
        if ((m->packed & KVE_PACKED_DEFERRED_SET) != 0) {
            ClassModule_Set(m, KVE_MASK_ALL);
            m->packed &= ~KVE_PACKED_DEFERRED_SET;
            instance->pendingSets--;
            return KVE_OK;
        }
    }
    instance->tickCursor = nullptr;
    return KVE_OK;
}

int32_t kve_fwGetProfileValues(KVEInstance *instance, uint32_t, uint32_t *time, uint32_t *period)
{
    const ClassLayout *first = instance->firstLayout;
    if (first == nullptr) {
        *time = 0;
        *period = 0;
        return KVE_E_NO_LAYOUT;
    }
    const ClassLayout *second = first->nextLayout;
    if (second != nullptr && second->nextLayout == nullptr && first->averagePeriod != 0 &&
        first->averageTime != 0 && second->averagePeriod != 0 && second->averageTime != 0) {
        const uint32_t t1 = first->averageTime, p1 = first->averagePeriod;
        const uint32_t t2 = second->averageTime, p2 = second->averagePeriod;
        *time = t2 + (kve::effectiveDivider(second) - t2 / p1) * t1;
        *period = p2;
    } else {
        *time = first->averageTime;
        *period = first->averagePeriod;
    }
    return KVE_OK;
}

int32_t kve_fwClearProfileValues(KVEInstance *instance, uint32_t layoutNumber)
{
    ClassLayout *layout = instance->firstLayout;
    for (uint32_t k = 2; layout != nullptr && k <= layoutNumber; ++k)
        layout = layout->nextLayout;
    if (layout == nullptr)
        return KVE_E_NO_LAYOUT;
    layout->averageTime = 0;
    layout->averagePeriod = 0;
    return KVE_OK;
}

uint32_t kve_fwEvalLayoutMask(KVEInstance *instance, uint32_t *dividers)
{
    uint32_t mask = 1;
    uint32_t i = 0;
    for (ClassLayout *l = instance->firstLayout; l != nullptr; l = l->nextLayout, ++i) {
        if (dividers != nullptr && i >= 4)
            break;
        if (l->countdown == 0) {
            if (i < 32)
                mask |= 1u << i;
            if (dividers != nullptr)
                dividers[i] = l->clockDivider;
            l->countdown = kve::effectiveDivider(l) - 1;
        } else {
            l->countdown--;
        }
    }
    return mask;
}

} // extern "C"
