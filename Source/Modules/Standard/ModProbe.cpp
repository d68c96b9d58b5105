// Probe: passes wire 0 to its output and, by `mode`, captures channel 0 of the input into `capture` for the host to
// read (1) or plays `capture`, as the host wrote it, into channel 0 of the output (2). Mode 0 only passes the
// audio; any other mode writes nothing.
#include "Modules/Standard/Streaming.h"
#include "kve/kve_vec_conversion.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;

struct ProbeModule {
    ClassModule header;
    uint32_t mode;
    uint32_t pad;
    float *capture;
};

constexpr std::array<Variable, 2> kVariables = {
    KVE_VARIABLE(ProbeModule, mode, UInt),
    // One block of every channel of wire 0, for the host to reach through value writes.
    KVE_ARRAY_IN(ProbeModule, capture, FloatArray, perWordOfWire(0), KVE_HEAPS_HOST_ARRAYS),
};

ClassModule *probeConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                              const uint32_t *args)
{
    return construct(kve_modProbeClass, kVariables, 1, 1, status, wireWord, wires, argc, args);
}

void probeProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<ProbeModule *>(m);
    const GenericWire *in = wire(m, 0);
    GenericWire *out = wire(m, inputs(m));
    // Frames of channel 0 that wire 0 and `capture` both hold.
    const uint32_t frames = channels(in) == 0 ? 0 : std::min(blockSize(in), capacity(m, 0));
    switch (s->mode) {
    case 0:
    case 1:
        kve_vecCopy32(in->buffer, 1, out->buffer, 1, held({in, out}));
        if (s->mode == 1)
            kve_vecCopy32(in->buffer, static_cast<int32_t>(channels(in)), s->capture, 1, static_cast<int32_t>(frames));
        break;
    case 2:
        // Channel 0 of the output, at the output's own stride and never past its block.
        kve_vecCopy32(s->capture, 1, out->buffer, static_cast<int32_t>(channels(out)),
                      static_cast<int32_t>(std::min(frames, channels(out) == 0 ? 0u : blockSize(out))));
        break;
    default:
        break;
    }
}

} // namespace

extern "C" constinit const ClassRecord<2> kve_modProbeClass =
    makeClass<2>(0xBEEF0FF1u, {probeConstructor, probeProcess}, kVariables);
