// SbNLMS: a complex NLMS filter per subband. The reference enters its subband's ring; the output is the taps'
// conjugates applied to the newest samples, the error the desired signal minus it, and the taps then move by the
// step normalised by the reference power over the taps in use.
#include "Modules/Advanced/SbNLMSKit.h"

namespace {

using namespace kve::kit;
using namespace kve::sbnlms;

ClassModule *kve_modSbNLMSConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                      const uint32_t *args)
{
    return constructFilter(kve_modSbNLMSClass, kVariables, status, wireWord, wires, argc, args);
}

void kve_modSbNLMSProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<SbNLMSModule *>(m);
    const Shape shape = shapeOf(m, UINT32_MAX);
    const Pins pins = pinsOf(m);
    for (uint32_t k = 0; k < shape.subbands; ++k) {
        float *w = s->taps + 2 * k * shape.ring;
        float *x = s->refHistory + 2 * k * shape.ring;
        x[2 * shape.newest] = pins.reference[2 * k];
        x[2 * shape.newest + 1] = pins.reference[2 * k + 1];
        // y = sum of conj(w_i) x_i, P = sum of |x_i|^2, tap i reading the sample i blocks old.
        Complex y = {0.0f, 0.0f};
        float power = 0.0f;
        uint32_t slot = shape.newest;
        for (uint32_t i = 0; i < shape.taps; ++i, slot = older(slot, shape.ring))
            accumulate(y, power, w + 2 * i, x + 2 * slot);
        const Complex e = emit(pins, k, y);
        // w_i += step x_i conj(e).
        const float step = normalisedStep(stepSize(m, k), power, s->epsilon);
        slot = shape.newest;
        for (uint32_t i = 0; i < shape.taps; ++i, slot = older(slot, shape.ring)) {
            const float xr = x[2 * slot], xi = x[2 * slot + 1];
            w[2 * i] += step * (xr * e.re + xi * e.im);
            w[2 * i + 1] += step * (xi * e.re - xr * e.im);
        }
    }
    advanceHistory(s, shape);
}

} // namespace

extern "C" constinit const ClassRecord<7> kve_modSbNLMSClass = makeClass<7>(
    0xBEEF0D2Du, {kve_modSbNLMSConstructor, kve_modSbNLMSProcess, IOMatchUpModule_Bypass}, kVariables);
