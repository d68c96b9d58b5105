// FifoOut: the reading end of a FifoIn's circular buffer. The layout aims `fifoIn`; until it names a live FifoIn of
// the instance the output is zeros, so a stale or wrong pointer is never read through.
#include "Modules/Advanced/Rebuffering.h"
#include "Modules/Standard/Control.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::rebuffering;

constexpr std::array<Variable, 1> kVariables = {
    KVE_VARIABLE(FifoOutModule, fifoIn, Pointer),
};

void kve_modFifoOutProcess(ClassModule *m)
{
    auto *target = reinterpret_cast<ClassModule *>(reinterpret_cast<FifoOutModule *>(m)->fifoIn);
    GenericWire *out = wire(m, 0);
    auto *dst = static_cast<float *>(out->buffer);
    const auto n = static_cast<int32_t>(wireWords(out));
    const bool aimed = kve::control::isLiveModule(target) && target->classRecord == &kve_modFifoInClass.record;
    const uint32_t ring = aimed ? fifoRingWords(target) : 0;
    if (ring == 0) {
        kve_vecFill(dst, 1, 0.0f, n);
        return;
    }
    auto *f = reinterpret_cast<FifoInModule *>(target);
    f->readCount = nextCount(f->readCount);
    kve_vecCircRead(f->buffer, static_cast<int32_t>(ring), &f->readIndex, 1, dst, 1, n);
}

} // namespace

extern "C" constinit const ClassRecord<1> kve_modFifoOutClass =
    makeClass<1>(0xBEEF0D53u,
                 {.constructor = kve::control::bridge<&kve_modFifoOutClass, 0, 1>,
                  .process = kve_modFifoOutProcess},
                 kVariables);
