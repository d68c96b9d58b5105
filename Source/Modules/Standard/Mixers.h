// Class records of the mixer modules, and the helpers their constructors and Process functions share.
#pragma once

#include <algorithm>

#include "Modules/Standard/Scalers.h"
#include "kve/kve_vec.h"

extern "C" {
extern const kve::kit::ClassRecord<1> kve_modMixerClass;
extern const kve::kit::ClassRecord<1> kve_modMixerDenseClass;
extern const kve::kit::ClassRecord<4> kve_modMixerSmoothedClass;
extern const kve::kit::ClassRecord<3> kve_modMixerFract32Class;
extern const kve::kit::ClassRecord<3> kve_modMixerDenseFract32Class;
extern const kve::kit::ClassRecord<6> kve_modMixerSmoothedFract32Class;
extern const kve::kit::ClassRecord<6> kve_modSMixer2x1Class;
extern const kve::kit::ClassRecord<10> kve_modSMixer2x1Fract32Class;
extern const kve::kit::ClassRecord<5> kve_modMixerSmoothedV2bClass;
extern const kve::kit::ClassRecord<5> kve_modMixerV3Class;
extern const kve::kit::ClassRecord<7> kve_modMixerV3Fract32Class;
extern const kve::kit::ClassRecord<8> kve_modMixerSparseSmoothedClass;
}

namespace kve::mixers {

// The variables of a matrix mixer with every array sized to the gain matrix: input channels of wire 0 times the
// output channels of wire 1, the wire shapes of the dense mixers. The caller has checked that both wires exist.
template <size_t N>
std::array<kit::Variable, N> withMatrixLength(std::array<kit::Variable, N> variables, GenericWire *const *wires)
{
    for (kit::Variable &v : variables)
        if (kit::isArray(v.type))
            v.length = kit::perChannelOfWire(0, scalers::channels(wires[1]));
    return variables;
}

// Frames both the input and the output hold.
inline int32_t blockFrames(const GenericWire *in, const GenericWire *out)
{
    return static_cast<int32_t>(std::min(KVE_WIRE_BLOCK_SIZE(in->info2), KVE_WIRE_BLOCK_SIZE(out->info2)));
}

// Output channels whose whole matrix row of `inputs` entries lies inside a matrix of `capacity` entries: wires that
// grew after construction leave the outputs beyond it silent instead of reading past the matrix.
inline uint32_t servedOutputs(uint32_t outputs, uint32_t inputs, uint32_t capacity)
{
    return inputs == 0 ? outputs : std::min(outputs, capacity / inputs);
}

// One term of a term-list mixer: a non-zero matrix entry as the input channel's first sample, the output channel's
// first sample and the input wire's channel count.
template <class Sample> struct Term {
    const Sample *input;
    Sample *output;
    int32_t stride;
};
// Words a term takes in its array.
constexpr uint32_t kTermWords = sizeof(Term<float>) / 4;

// Input channels of the mixers over several input wires: the channels of all input wires.
inline uint32_t inputChannelsOf(const ClassModule *m)
{
    uint32_t inputs = 0;
    for (uint32_t k = 0; k < KVE_PACKED_INPUTS(m->packed); ++k)
        inputs += scalers::channels(kit::wire(m, k));
    return inputs;
}

// Builds a term list from the non-zero entries of the matrix `gain` (output-major, `matrixCapacity` entries), in
// matrix order, at most `slots` terms: keep(n, term, gain) stores term n. Returns the number of terms.
template <class Sample, class Keep>
uint32_t buildTerms(const ClassModule *m, const float *gain, uint32_t matrixCapacity, uint32_t slots, Keep keep)
{
    const uint32_t inputWires = KVE_PACKED_INPUTS(m->packed);
    const GenericWire *out = kit::wire(m, inputWires);
    const uint32_t inputs = inputChannelsOf(m);
    const uint32_t rows = servedOutputs(scalers::channels(out), inputs, matrixCapacity);
    uint32_t n = 0;
    for (uint32_t o = 0; o < rows; ++o)
        for (uint32_t k = 0, g = 0; k < inputWires; ++k) {
            const GenericWire *in = kit::wire(m, k);
            const uint32_t ch = scalers::channels(in);
            for (uint32_t i = 0; i < ch; ++i, ++g) {
                const float entry = gain[o * inputs + g];
                if (entry == 0.0f || n >= slots)
                    continue;
                keep(n++, Term<Sample>{static_cast<const Sample *>(in->buffer) + i,
                                       static_cast<Sample *>(out->buffer) + o, static_cast<int32_t>(ch)},
                     entry);
            }
        }
    return n;
}

// Frames every wire of the module holds: the terms of a list may point into any of them.
inline int32_t commonFrames(const ClassModule *m)
{
    const uint32_t count = KVE_PACKED_INPUTS(m->packed) + KVE_PACKED_OUTPUTS(m->packed);
    uint32_t n = UINT32_MAX;
    for (uint32_t k = 0; k < count; ++k)
        n = std::min(n, KVE_WIRE_BLOCK_SIZE(kit::wire(m, k)->info2));
    return count == 0 ? 0 : static_cast<int32_t>(n);
}

// Bypass of the mixers over several input wires: global input channel g (channels numbered across the input wires
// in wire order) copied to output channel g, the other output channels silent. Float 0.0 and Fract32 0 are the same
// word, so one bypass serves both.
inline void channelCopyBypass(ClassModule *m)
{
    const uint32_t inputWires = KVE_PACKED_INPUTS(m->packed);
    GenericWire *out = kit::wire(m, inputWires);
    const uint32_t outputs = scalers::channels(out);
    auto *y = static_cast<int32_t *>(out->buffer);
    kve_vecFillInt32(y, 1, 0, static_cast<int32_t>(kit::wireWords(out)));
    for (uint32_t k = 0, g = 0; k < inputWires && g < outputs; ++k) {
        const GenericWire *in = kit::wire(m, k);
        const uint32_t ch = scalers::channels(in);
        for (uint32_t i = 0; i < ch && g < outputs; ++i, ++g)
            kve_vecCopy32(static_cast<const int32_t *>(in->buffer) + i, static_cast<int32_t>(ch), y + g,
                          static_cast<int32_t>(outputs), blockFrames(in, out));
    }
}

} // namespace kve::mixers
