// Router: each output channel copies the input channel its routing word names, or is silent when the word names
// nothing.
#include "Modules/Standard/Routers.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::routers;

struct RouterModule {
    ClassModule header;
    int32_t *channelIndex;
};

constexpr std::array<Variable, 1> kVariables = {
    KVE_ARRAY_IN(RouterModule, channelIndex, IntArray, perChannelOfWire(0), 0x231),
};

ClassModule *routerConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                               const uint32_t *args)
{
    // One routing word per channel of the output wire, which follows the inputs.
    std::array<Variable, 1> variables = kVariables;
    variables[0].length = perChannelOfWire(KVE_PACKED_INPUTS(wireWord));
    return construct(kve_modRouterClass.record, variables.data(), variables.size(), 1, 1, status, wireWord, wires,
                     argc, args);
}

void routerProcess(ClassModule *m)
{
    auto *r = reinterpret_cast<RouterModule *>(m);
    const GenericWire *out = wire(m, KVE_PACKED_INPUTS(m->packed));
    const bool complex = isComplex(wire(m, 0));
    const uint32_t parts = complex ? 2 : 1;
    const uint32_t outChannels = channels(out);
    const auto outStride = static_cast<int32_t>(parts * outChannels);
    const int32_t outFrames = static_cast<int32_t>(complex ? blockSize(out) >> 1 : blockSize(out));
    for (uint32_t o = 0; o < outChannels; ++o) {
        // A channel the output gained after construction has no routing word: it stays silent.
        const Route route = o < capacity(m, 0) ? decode(m, r->channelIndex[o]) : Route{};
        for (uint32_t part = 0; part < parts; ++part) {
            float *dst = samples(out) + parts * o + part;
            if (route.wire == nullptr) {
                kve_vecFill(dst, outStride, 0.0f, outFrames);
                continue;
            }
            const auto srcStride = static_cast<int32_t>(parts * channels(route.wire));
            const int32_t n = routedFrames(route.wire, out, complex);
            kve_vecCopy32(samples(route.wire) + parts * route.channel + part, srcStride, dst, outStride, n);
            kve_vecFill(dst + n * outStride, outStride, 0.0f, outFrames - n);
        }
    }
}

} // namespace

extern "C" constinit const ClassRecord<1> kve_modRouterClass =
    makeClass<1>(0xBEEF0864u, {routerConstructor, routerProcess}, kVariables);
