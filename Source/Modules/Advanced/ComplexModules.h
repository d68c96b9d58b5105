// Class records of the complex-sample modules, which convert between complex and real wires and do elementwise
// complex arithmetic on frequency-domain blocks; the instance records of the two classes with variables; and the
// helpers their Process functions share.
#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>

#include "Modules/ModuleKit.h"
#include "Modules/Standard/Shapes.h"

extern "C" {
extern const kve::kit::ClassRecord<0> kve_modComplexAngleClass;
extern const kve::kit::ClassRecord<0> kve_modComplexConjugateClass;
extern const kve::kit::ClassRecord<0> kve_modComplexMagnitudeClass;
extern const kve::kit::ClassRecord<0> kve_modComplexMagnitudeFract32Class;
extern const kve::kit::ClassRecord<0> kve_modComplexMagnitudeSquaredClass;
extern const kve::kit::ClassRecord<2> kve_modComplexModulateClass;
extern const kve::kit::ClassRecord<1> kve_modComplexMultiplierClass;
extern const kve::kit::ClassRecord<0> kve_modComplexToPolarClass;
extern const kve::kit::ClassRecord<0> kve_modComplexToRealImagClass;
extern const kve::kit::ClassRecord<0> kve_modComplexToRealImagFract32Class;
extern const kve::kit::ClassRecord<0> kve_modPolarToComplexClass;
extern const kve::kit::ClassRecord<0> kve_modRealImagToComplexClass;
extern const kve::kit::ClassRecord<0> kve_modRealImagToComplexFract32Class;
extern const kve::kit::ClassRecord<0> kve_modUnwrapClass;
}

namespace kve::complexmods {

// ComplexModulate: `frequency` in cycles per block of the input; `modTable` one complex value per input sample of a
// channel, e^(i 2 pi frequency k / n), filled by Set.
struct ComplexModulateModule {
    ClassModule header;
    float frequency;
    float *modTable;
};

// ComplexMultiplier: `multiplyMode` 0 multiplies the inputs sample by sample; any other value multiplies every
// channel of every input into one complex output channel.
struct ComplexMultiplierModule {
    ClassModule header;
    int32_t multiplyMode;
};

inline float *samples(const GenericWire *w) { return static_cast<float *>(w->buffer); }
inline uint32_t channels(const GenericWire *w) { return KVE_WIRE_CHANNELS(w->info1); }
inline bool isComplex(const GenericWire *w) { return KVE_WIRE_COMPLEX(w->info1) != 0; }
inline uint32_t inputs(const ClassModule *m) { return KVE_PACKED_INPUTS(m->packed); }
inline uint32_t outputs(const ClassModule *m) { return KVE_PACKED_OUTPUTS(m->packed); }

// Complex samples a wire's words hold, all channels in one run: two words each.
inline uint32_t complexIn(const GenericWire *w) { return kit::wireWords(w) / 2; }
// Samples a wire holds as its complex flag counts them: two words each on a complex wire, one on a real one.
inline uint32_t samplesIn(const GenericWire *w) { return isComplex(w) ? complexIn(w) : kit::wireWords(w); }
// Samples of one channel, as the complex flag counts them; a wire without channels has none.
inline uint32_t samplesPerChannel(const GenericWire *w)
{
    if (channels(w) == 0)
        return 0;
    return isComplex(w) ? kit::blockSize(w) / 2 : kit::blockSize(w);
}

// The smallest of the counts: a run every wire involved holds.
inline int32_t fewest(std::initializer_list<uint32_t> counts)
{
    return static_cast<int32_t>(std::min(counts));
}

// The classes that reduce each complex sample of wire 0 to one real value of their first output, by a kernel of
// the form (src, srcIncrement, dst, dstIncrement, n): the float and Fract32 magnitudes, the squared magnitude.
template <auto Kernel> void toRealProcess(ClassModule *m)
{
    const GenericWire *in = kit::wire(m, 0);
    const GenericWire *out = kit::wire(m, inputs(m));
    const shapes::Words x = shapes::words(in);
    Kernel(x, 2, shapes::words(out), 1, fewest({complexIn(in), kit::wireWords(out)}));
}

// Bypass of those classes: the real part of every sample passes to the output.
void realPartsBypass(ClassModule *m);

// ComplexToRealImag and its Fract32 twin: the parts are 32-bit words of either kind, copied as they are.
void splitPartsProcess(ClassModule *m);
// RealImagToComplex and its Fract32 twin: input 0 into the real parts, input 1 into the imaginary parts.
void joinPartsProcess(ClassModule *m);

} // namespace kve::complexmods
