// BlockExtract: frames `startIndex` .. `stopIndex` of the input block, with zero frames where that span reaches
// before the block's start or past its end.
#include <algorithm>
#include <cstring>

#include "Modules/Advanced/Rebuffering.h"
#include "Modules/Standard/Control.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using kve::control::withArrays;
using namespace kve::rebuffering;

constexpr std::array<Variable, 2> kVariables = {
    KVE_VARIABLE(BlockExtractModule, startIndex, Int),
    KVE_VARIABLE(BlockExtractModule, stopIndex, Int),
};

void kve_modBlockExtractProcess(ClassModule *m)
{
    const auto *s = reinterpret_cast<const BlockExtractModule *>(m);
    const GenericWire *in = wire(m, 0);
    GenericWire *out = wire(m, 1);
    const Frames f = framesOf(in);
    auto *dst = static_cast<float *>(out->buffer);
    const auto *src = static_cast<const float *>(in->buffer);
    // Output frame k is input frame start + k; the output holds stop - start + 1 frames, and never more than its
    // wire. Frames outside the input, and output frames past the span, are zero.
    const int64_t start = s->startIndex;
    const int64_t span = std::max<int64_t>(int64_t{s->stopIndex} - start + 1, 0);
    const int64_t held = std::min<int64_t>(framesHeld(out, f.words), span);
    const int64_t first = std::clamp<int64_t>(-start, 0, held);
    const int64_t last = std::clamp<int64_t>(int64_t{f.count} - start, first, held);
    const auto words = static_cast<uint32_t>(f.words);
    const auto copied = static_cast<uint32_t>(last - first) * words;
    if (copied != 0)
        std::memmove(dst + first * words, src + (start + first) * words, copied * sizeof(float));
    kve_vecFill(dst, 1, 0.0f, static_cast<int32_t>(first * words));
    const uint32_t tail = static_cast<uint32_t>(last) * words;
    kve_vecFill(dst + tail, 1, 0.0f, static_cast<int32_t>(wireWords(out) - tail));
}

} // namespace

extern "C" constinit const ClassRecord<2> kve_modBlockExtractClass =
    makeClass<2>(0xBEEF0CC7u,
                 {.constructor = withArrays<&kve_modBlockExtractClass, &kVariables, 1, 1>,
                  .process = kve_modBlockExtractProcess,
                  .bypass = kve_modBlockExtractProcess},
                 kVariables);
