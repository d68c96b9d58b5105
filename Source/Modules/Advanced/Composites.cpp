// Building and running the composites' inner modules.
#include "Modules/Advanced/Composites.h"
#include "kve/kve_design.h"

namespace kve::composites {

namespace {

uint32_t wiresOf(uint32_t wireWord)
{
    return KVE_PACKED_INPUTS(wireWord) + KVE_PACKED_OUTPUTS(wireWord) + KVE_PACKED_SCRATCH(wireWord);
}

} // namespace

ClassModule *constructComposite(const ModClassDescriptor &record, const kit::Variable *variables, size_t count,
                                uint32_t ownWiring, std::span<const InnerModule> inner, int32_t *status,
                                uint32_t wireWord, GenericWire **wires, uint32_t argc, const uint32_t *args)
{
    if (*status != KVE_OK)
        return nullptr;
    if (wireWord != ownWiring) {
        *status = KVE_E_ARG_COUNT;
        return nullptr;
    }
    ClassModule *outer = kit::construct(record, variables, count, 1, 1, status, wireWord, wires, argc, args);
    if (outer == nullptr)
        return nullptr;
    size_t slot = 0;
    for (const InnerModule &step : inner) {
        GenericWire *on[3] = {};
        for (uint32_t w = 0; w < wiresOf(step.wireWord); ++w)
            on[w] = outer->wires[step.wires[w]];
        ClassModule *built = ClassModule_Constructor(step.classId, status, step.wireWord, on,
                                                     static_cast<uint32_t>(step.args.size()), step.args.data());
        if (built == nullptr || *status != KVE_OK)
            return nullptr;
        while (variables[slot].type != kit::Type::Pointer)
            ++slot;
        std::memcpy(reinterpret_cast<char *>(outer) + variables[slot++].offset, &built, sizeof built);
    }
    return outer;
}

ClassModule *innerModule(ClassModule *m, uint32_t k)
{
    // The pointers follow the public variables and the arrays, whose count the word before their capacities holds.
    const uint32_t arrays = kve_fwModuleHiddenWords(m)[-1];
    return innerArray<ClassModule>(m, kve_ClassPublicCount(m->classRecord) + arrays + k);
}

void runInnerModules(ClassModule *m)
{
    const uint32_t arrays = kve_fwModuleHiddenWords(m)[-1];
    const uint32_t count = (m->classRecord->countWord >> 16) - arrays;
    for (uint32_t k = 0; k < count; ++k)
        kit::runInner(innerModule(m, k));
}

ClassModule *constructWeighting(const kit::ClassRecord<5> &record, const WeightingInner &inner, int32_t *status,
                                uint32_t wireWord, GenericWire **wires, uint32_t argc, const uint32_t *args)
{
    const uint32_t stages = sizeArgument(argc, args, 2, 1);
    // The table holds eight sets of at most four stages: more would read one set into the next.
    if (*status == KVE_OK && static_cast<int32_t>(stages) > kMaxWeightingStages) {
        *status = KVE_E_BAD_ARGUMENT;
        return nullptr;
    }
    const uint32_t cascadeArgs[] = {stages};
    const InnerModule steps[] = {
        {inner.cascadeId, kOneInOneOut, {kIn, kScratch1}, cascadeArgs},
        {inner.muteId, kWithScratch, {kScratch1, kOut, kScratch2}, inner.muteArgs},
    };
    return constructComposite(record, kAudioWeightingVariables, kWithTwoScratch, steps, status, wireWord, wires, argc,
                              args);
}

int32_t setWeighting(ClassModule *m, const WeightingInner &inner)
{
    auto *s = reinterpret_cast<AudioWeightingModule *>(m);
    // A stage count the host writes is held to what the cascade and one set of the table hold; the cascade runs
    // exactly the stages of the set, none left over from an earlier one.
    const uint32_t stages =
        std::min({static_cast<uint32_t>(std::max(s->numStages, 0)), static_cast<uint32_t>(kMaxWeightingStages),
                  inner.stageCapacity(s->cascade)});
    const auto set = static_cast<uint32_t>(std::clamp(s->weightingType, 0, kWeightingSets - 1));
    const uint32_t words = kSetWords * stages;
    // The output is muted for the switch, and the cascade stays muted while its coefficients change.
    innerVariable<int32_t>(s->mute, 0) = 1;
    kve_fwSetModuleState(s->cascade, KVE_STATE_MUTED);
    inner.clearState(s->cascade);
    innerVariable<int32_t>(s->cascade, 0) = static_cast<int32_t>(stages);
    const float *from = s->weightingTable + std::min<size_t>(size_t{set} * words, kit::capacity(m, 0) - words);
    std::copy_n(from, words, innerArray<float>(s->cascade, 1));
    inner.load(s->cascade);
    // A cascade of no stages writes nothing, and the mute would pass on whatever its scratch wire last held: with no
    // stages the cascade is bypassed instead, so the curve is flat.
    kve_fwSetModuleState(s->cascade, stages == 0 ? KVE_STATE_BYPASSED : KVE_STATE_ACTIVE);
    return 0;
}

void loadActiveCount(ClassModule *inner, int32_t active)
{
    // The inner module holds the count to what it was built for. Its own Set then derives what it runs from the
    // coefficients loaded so far at the new count (the FIRs' working taps, the Fract32 words of every active stage):
    // left as they were, a count raised or lowered here would run words derived for the old one.
    innerVariable<int32_t>(inner, 0) = active;
    ClassModule_Set(inner, KVE_MASK_ALL);
}

void designEmphasis(ClassModule *m, float *coeffs)
{
    const auto *s = reinterpret_cast<const EmphasisFilterModule *>(m);
    const float rate = kit::wire(m, 0)->sampleRate;
    if (s->emphasisType == 0)
        design_second_order_filter(0, coeffs, rate, 1000.0f, 0.0f, 1.0f);
    else
        design_emphasis_filter(s->emphasisType == 1 ? 1 : 0, coeffs, s->timeConstant, rate);
}

} // namespace kve::composites
