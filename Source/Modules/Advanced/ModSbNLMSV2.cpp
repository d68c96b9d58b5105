// SbNLMSV2: the subband NLMS filter with its update moved to the start of the next block, where it is applied with
// the scaled error kept from the block before. Outputs equal those of the first form; between blocks the taps lag one
// update behind.
#include "Modules/Advanced/SbNLMSKit.h"

namespace {

using namespace kve::kit;
using namespace kve::sbnlms;

constexpr std::array<Variable, 8> kV2Variables = {
    kVariables[0], kVariables[1], kVariables[2], kVariables[3], kVariables[4], kVariables[5], kVariables[6],
    KVE_ARRAY(SbNLMSModule, pendingError, FloatArray, perBlockOfWire(0)),
};

ClassModule *kve_modSbNLMSV2Constructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                        const uint32_t *args)
{
    return constructFilter(kve_modSbNLMSV2Class, kV2Variables, status, wireWord, wires, argc, args);
}

void kve_modSbNLMSV2Process(ClassModule *m)
{
    auto *s = reinterpret_cast<SbNLMSModule *>(m);
    const Shape shape = shapeOf(m, capacity(m, kPendingArray) / 2);
    const Pins pins = pinsOf(m);
    for (uint32_t k = 0; k < shape.subbands; ++k) {
        float *w = s->taps + 2 * k * shape.ring;
        float *x = s->refHistory + 2 * k * shape.ring;
        float *pending = s->pendingError + 2 * k;
        // Last block's update, w_i += e' x_i, over the ring as that block left it.
        uint32_t slot = shape.ring == 0 ? 0 : older(shape.newest, shape.ring);
        for (uint32_t i = 0; i < shape.taps; ++i, slot = older(slot, shape.ring)) {
            const float xr = x[2 * slot], xi = x[2 * slot + 1];
            w[2 * i] += pending[0] * xr - pending[1] * xi;
            w[2 * i + 1] += pending[0] * xi + pending[1] * xr;
        }
        x[2 * shape.newest] = pins.reference[2 * k];
        x[2 * shape.newest + 1] = pins.reference[2 * k + 1];
        // y and P with the updated taps, from the last tap to the first.
        Complex y = {0.0f, 0.0f};
        float power = 0.0f;
        for (uint32_t i = shape.taps; i-- > 0;)
            accumulate(y, power, w + 2 * i, x + 2 * ((shape.newest + shape.ring - i) % shape.ring));
        const Complex e = emit(pins, k, y);
        const float step = normalisedStep(stepSize(m, k), power, s->epsilon);
        pending[0] = step * e.re;
        pending[1] = -step * e.im;
    }
    advanceHistory(s, shape);
}

} // namespace

extern "C" constinit const ClassRecord<8> kve_modSbNLMSV2Class = makeClass<8>(
    0xBEEF0D60u, {kve_modSbNLMSV2Constructor, kve_modSbNLMSV2Process, IOMatchUpModule_Bypass}, kV2Variables);
