// Class records of the generator modules: the random-number source, the sine generators (rotating phasors in float
// and Q1.31, sines whose frequency glides) and the white-noise composites built from inner modules.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "Dsp/Fract32.h"
#include "Modules/Standard/Shapes.h"
#include "kve/kve_design.h"

extern "C" {
extern const kve::kit::ClassRecord<1> kve_modRandClass;
extern const kve::kit::ClassRecord<6> kve_modSineGenClass;
extern const kve::kit::ClassRecord<6> kve_modSineGenFract32Class;
extern const kve::kit::ClassRecord<7> kve_modSineSmoothedGenClass;
extern const kve::kit::ClassRecord<7> kve_modSineSmoothedGenFract32Class;
extern const kve::kit::ClassRecord<6> kve_modSineGenControlFract32Class;
extern const kve::kit::ClassRecord<4> kve_modWhiteNoiseClass;
extern const kve::kit::ClassRecord<3> kve_modWhiteNoiseFract32Class;
}

namespace kve::oscillators {

// The angle of one cycle, as single precision holds it.
constexpr float kTwoPi = 6.2831855f;

// A source's output wire: the first wire after its inputs.
inline GenericWire *output(const ClassModule *m) { return kit::wire(m, shapes::inputs(m)); }

// Radians per sample of `freq` hertz at the sample rate of the module's output.
inline float stepAngle(const ClassModule *m, float freq) { return kTwoPi * freq / output(m)->sampleRate; }

// The phase increment per sample of the smoothed sines, as they form it: radians of `freq` over half the rate.
inline float smoothedIncrement(const ClassModule *m, float freq)
{
    return freq * 3.1415927f / (output(m)->sampleRate * 0.5f);
}

// Phasor steps a sine generator writes into its output: one sample per step on a mono wire, an (a, b) pair per step
// on any other, block size steps at the most and never more than the wire holds.
inline int32_t phasorSteps(const GenericWire *out)
{
    const uint32_t words = kit::wireWords(out);
    const uint32_t block = kit::blockSize(out);
    return static_cast<int32_t>(std::min(block, shapes::channels(out) == 1 ? words : words / 2));
}

// The Q1.31 phasor (a, b) turned phasorSteps(out) times by (cosW, sinW), writing b per step (one channel) or the
// pair (a, b) (any other channel count), then brought back to unit length through the fixed-point square root and
// reciprocal.
void turnPhasorFract32(GenericWire *out, Fract32 *a, Fract32 *b, Fract32 cosW, Fract32 sinW);

// The float and Q1.31 twins of the sine generators share their instance layout and logic; only the word type,
// the conversion of a float coefficient into it and the kernel differ.
template <class T> constexpr kit::Type kWordType = std::is_same_v<T, float> ? kit::Type::Float : kit::Type::Fract32;

// A float coefficient as a float twin stores it.
inline float asFloat(float v) { return v; }

template <class T> struct SineGenModule {
    ClassModule header;
    float freq;
    float sineReserved;
    T phasorA;
    T phasorB;
    T cosW;
    T sinW;
};

template <class T>
constexpr std::array<kit::Variable, 6> kSineGenVariables = {
    kit::Variable{offsetof(SineGenModule<T>, freq), kit::Type::Float},
    kit::Variable{offsetof(SineGenModule<T>, sineReserved), kit::Type::Float},
    kit::Variable{offsetof(SineGenModule<T>, phasorA), kWordType<T>},
    kit::Variable{offsetof(SineGenModule<T>, phasorB), kWordType<T>},
    kit::Variable{offsetof(SineGenModule<T>, cosW), kWordType<T>},
    kit::Variable{offsetof(SineGenModule<T>, sinW), kWordType<T>},
};

// Turns the phasor (a, b) through one block of the output by the angle whose cosine and sine are given.
template <class T> using TurnPhasor = void (*)(GenericWire *out, T *a, T *b, T cosW, T sinW);

template <class T, TurnPhasor<T> Turn> void sineGenProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<SineGenModule<T> *>(m);
    Turn(output(m), &s->phasorA, &s->phasorB, s->cosW, s->sinW);
}

// The per-sample angle of `freq` as its cosine and sine.
template <class T, T (*Convert)(float)> int32_t sineGenSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<SineGenModule<T> *>(m);
    const float w = stepAngle(m, s->freq);
    s->sinW = Convert(std::sin(w));
    s->cosW = Convert(std::cos(w));
    return KVE_OK;
}

template <class T> struct SineSmoothedGenModule {
    ClassModule header;
    float freq;
    float smoothingTime;
    float sineReserved;
    T smoothingCoeff;
    T phase;
    T targetInc;
    T currentInc;
};

template <class T>
constexpr std::array<kit::Variable, 7> kSineSmoothedGenVariables = {
    kit::Variable{offsetof(SineSmoothedGenModule<T>, freq), kit::Type::Float},
    kit::Variable{offsetof(SineSmoothedGenModule<T>, smoothingTime), kit::Type::Float},
    kit::Variable{offsetof(SineSmoothedGenModule<T>, sineReserved), kit::Type::Float},
    kit::Variable{offsetof(SineSmoothedGenModule<T>, smoothingCoeff), kWordType<T>},
    kit::Variable{offsetof(SineSmoothedGenModule<T>, phase), kWordType<T>},
    kit::Variable{offsetof(SineSmoothedGenModule<T>, targetInc), kWordType<T>},
    kit::Variable{offsetof(SineSmoothedGenModule<T>, currentInc), kWordType<T>},
};

// The smoothed-sine kernels: output, phase, increment, target increment, glide coefficient, count.
template <class T> using SmoothedSineKernel = void (*)(T *dst, T *phase, T *increment, T target, T coeff, int32_t n);

// One channel of block-size samples, never more than the wire holds.
template <class T, SmoothedSineKernel<T> Kernel> void sineSmoothedGenProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<SineSmoothedGenModule<T> *>(m);
    const GenericWire *out = output(m);
    Kernel(shapes::words(out), &s->phase, &s->currentInc, s->targetInc, s->smoothingCoeff,
           std::min(shapes::held({out}), static_cast<int32_t>(kit::blockSize(out))));
}

// The per-sample glide coefficient and the target increment of `freq`, each in the twin's own form.
template <class T, T (*Coeff)(float), T (*Increment)(float)> int32_t sineSmoothedGenSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<SineSmoothedGenModule<T> *>(m);
    s->smoothingCoeff = Coeff(design_smoother(1, s->smoothingTime, output(m)->sampleRate));
    s->targetInc = Increment(smoothedIncrement(m, s->freq));
    return KVE_OK;
}

// The white-noise composites: the outer module holds one output and one scratch wire and owns inner modules, which
// its Process runs in order, each through its current process function.
constexpr uint32_t kOutputAndScratch = 0x10100;

struct InnerModule {
    uint32_t classId;
    uint32_t wireWord;
    std::array<uint32_t, 2> wires; // indices into the outer module's wires: 0 the output, 1 the scratch wire
    uint32_t argc;
    std::array<uint32_t, 6> args;
};

// Builds the outer module of `record` and then each inner module in order, storing it in the outer module's
// pointer variables that follow its public ones. Refuses any wiring but one output and one scratch wire (-4)
// before it reads a wire; null when any step fails.
ClassModule *constructNoise(const ModClassDescriptor &record, const InnerModule *inner, uint32_t innerCount,
                            int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                            const uint32_t *args);

// The inner module k of a composite built by constructNoise.
ClassModule *innerOf(ClassModule *m, uint32_t k);

// Runs the inner modules of a composite in order.
void processNoise(ClassModule *m);

// Gives an inner scaler the gain `gain` (its public variable 0) and has it take the gain through its own Set.
void setScalerGain(ClassModule *scaler, float gain);

} // namespace kve::oscillators
