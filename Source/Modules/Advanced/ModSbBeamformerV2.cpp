// SbBeamformerV2: the beamformer whose second output, when wired, carries the layout's table of one float per
// subband and direction: the chosen direction's column in the selected-beam form, the whole table otherwise.
#include <algorithm>

#include "Modules/Advanced/SbBeamformers.h"
#include "Modules/Standard/Filters.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::beams;
using kve::filters::elementFactor;
using kve::filters::sizeArgument;
using kve::scalers::samples;

constexpr std::array<Variable, 5> kVariables = {
    KVE_VARIABLE(SbBeamformerV2Module, numDirections, Int),
    KVE_VARIABLE(SbBeamformerV2Module, numWeights, Int),
    KVE_VARIABLE(SbBeamformerV2Module, infoRows, Int),
    KVE_ARRAY(SbBeamformerV2Module, weights, FloatArray, perArgument(1)),
    KVE_ARRAY(SbBeamformerV2Module, directionInfo, FloatArray, fixedLength(0)),
};

ClassModule *kve_modSbBeamformerV2Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires,
                                              uint32_t argc, const uint32_t *args)
{
    if (!requireWires(status, wireWord, 1, 1) || !beamArgumentsFit(status, wireWord, wires, argc, args, 3, true))
        return nullptr;
    auto variables = kVariables;
    const auto directions = static_cast<uint32_t>(std::max(sizeArgument(argc, args, 3, 0), 0));
    const auto rows = static_cast<uint32_t>(std::max(sizeArgument(argc, args, 3, 2), 0));
    variables[4].length = fixedLength(elementFactor(directions, rows));
    return construct(kve_modSbBeamformerV2Class, variables, 1, 1, status, wireWord, wires, argc, args);
}

// The table's second output, or null when only the beam is wired.
GenericWire *infoOutput(const ClassModule *m)
{
    return KVE_PACKED_OUTPUTS(m->packed) >= 2 ? wire(m, KVE_PACKED_INPUTS(m->packed) + 1) : nullptr;
}

void kve_modSbBeamformerV2Process(ClassModule *m)
{
    const auto *s = reinterpret_cast<SbBeamformerV2Module *>(m);
    const Beams beams = formBeams(m, s->numDirections, s->weights, capacity(m, 0));
    GenericWire *out = infoOutput(m);
    if (out == nullptr || beams.directions == 0)
        return;
    const uint32_t held = capacity(m, 1);
    float *y = samples(out);
    if (selectedForm(m)) {
        // Row k holds subband k's value of every direction; the chosen direction's column goes out.
        const uint32_t n = std::min(subbands(microphones(m)), wireWords(out));
        for (uint32_t k = 0; k < n && size_t{k} * beams.directions + beams.direction < held; ++k)
            y[k] = s->directionInfo[size_t{k} * beams.directions + beams.direction];
        return;
    }
    const uint64_t table = uint64_t{subbands(microphones(m))} * beams.directions;
    const auto n = static_cast<int32_t>(std::min<uint64_t>({table, held, wireWords(out)}));
    kve_vecCopy32(s->directionInfo, 1, y, 1, n);
}

// Bypass: microphone 0 as the beam, and a table of ones, so what reads the table as a gain passes the beam as is.
void kve_modSbBeamformerV2Bypass(ClassModule *m)
{
    passMicrophone(m);
    GenericWire *out = infoOutput(m);
    if (out == nullptr)
        return;
    const auto *s = reinterpret_cast<SbBeamformerV2Module *>(m);
    const uint64_t nSub = subbands(microphones(m));
    const auto directions = static_cast<uint32_t>(std::max(s->numDirections, 0));
    const uint64_t ones = selectedForm(m) ? nSub : nSub * directions;
    kve_vecFill(samples(out), 1, 1.0f, static_cast<int32_t>(std::min<uint64_t>(ones, wireWords(out))));
}

} // namespace

extern "C" constinit const ClassRecord<5> kve_modSbBeamformerV2Class =
    makeClass<5>(0xBEEF42FDu,
                 {kve_modSbBeamformerV2Constructor, kve_modSbBeamformerV2Process, kve_modSbBeamformerV2Bypass},
                 kVariables);
