// Class records and instance records of the small control modules: sample-and-hold, dead band, hysteresis, run
// counting, derivative and integral, smoothed per-channel inversion, a phase oscillator, interpolated random values
// and the NaN and infinity guard.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "Modules/ModuleKit.h"
#include "kve/kve_types.h"

extern "C" {
extern const kve::kit::ClassRecord<1> kve_modSampleAndHoldClass;
extern const kve::kit::ClassRecord<1> kve_modSampleAndHoldInt32Class;
extern const kve::kit::ClassRecord<4> kve_modDeadBandClass;
extern const kve::kit::ClassRecord<3> kve_modHysteresisClass;
extern const kve::kit::ClassRecord<2> kve_modConsecutiveCountIntClass;
extern const kve::kit::ClassRecord<2> kve_modDerivativeClass;
extern const kve::kit::ClassRecord<3> kve_modDerivativeFract32Class;
extern const kve::kit::ClassRecord<2> kve_modIntegralClass;
extern const kve::kit::ClassRecord<6> kve_modInvertNClass;
extern const kve::kit::ClassRecord<4> kve_modOscillatorClass;
extern const kve::kit::ClassRecord<9> kve_modRandiClass;
extern const kve::kit::ClassRecord<9> kve_modRandiFract32Class;
extern const kve::kit::ClassRecord<3> kve_modMathExceptionClass;
}

namespace kve::control {

// Sample-and-hold (float or int32 words): input 0 the trigger, input 1 the data; `held` per data channel.
struct SampleAndHoldModule {
    ClassModule header;
    void *held;
};

struct DeadBandModule {
    ClassModule header;
    float upperLimit;
    float lowerLimit;
    int32_t resetFlag;
    float *lastOutput;
};

struct HysteresisModule {
    ClassModule header;
    float upperThreshold;
    float lowerThreshold;
    int32_t *outputState;
};

struct ConsecutiveCountModule {
    ClassModule header;
    int32_t lastValue;
    int32_t count;
};

struct DerivativeModule {
    ClassModule header;
    float derivativeGain;
    float *previous;
};

struct DerivativeFract32Module {
    ClassModule header;
    float derivativeGain;
    Fract32 gainFract32; // derivativeGain x sample rate x 2^-17
    Fract32 *previous;
};

struct IntegralModule {
    ClassModule header;
    float integralTime; // seconds
    float *accumulator;
};

// InvertN: one gain per channel of a single input wire, or per wire when there are several.
struct InvertNModule {
    ClassModule header;
    int32_t numChannels;
    float smoothingTime; // ms
    float smoothingCoeff;
    int32_t *invert;
    float *currentGain;
    float *targetGain;
};

struct OscillatorModule {
    ClassModule header;
    float oscParamA;
    float oscParamB;
    float phaseIncrement; // radians per sample
    float *phase;
};

// Randi and its Fract32 twin: T is float or Fract32 for `slope`, `value` and `invPeriod`.
template <class T> struct RandiModule {
    ClassModule header;
    float rate; // values per second
    int32_t interpolate;
    T slope;
    T value;
    int32_t period;
    int32_t seed;
    int32_t randiReserved;
    int32_t countdown;
    T invPeriod;
};

struct MathExceptionModule {
    ClassModule header;
    int32_t nanCount;
    int32_t infCount;
    float replacement;
};

// Builds a module of a class with private arrays: `Variables` gives its description.
template <const auto *Record, auto Variables, uint32_t Inputs, uint32_t Outputs>
ClassModule *built(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc, const uint32_t *args)
{
    return kit::construct(*Record, Variables(), Inputs, Outputs, status, wireWord, wires, argc, args);
}

constexpr std::array<kit::Variable, 1> sampleAndHoldVariables()
{
    return {KVE_ARRAY(SampleAndHoldModule, held, FloatArray, perChannelOfWire(1))};
}
constexpr std::array<kit::Variable, 1> sampleAndHoldInt32Variables()
{
    return {KVE_ARRAY(SampleAndHoldModule, held, IntArray, perChannelOfWire(1))};
}
constexpr std::array<kit::Variable, 4> deadBandVariables()
{
    return {KVE_VARIABLE(DeadBandModule, upperLimit, Float), KVE_VARIABLE(DeadBandModule, lowerLimit, Float),
            KVE_VARIABLE(DeadBandModule, resetFlag, Int),
            KVE_ARRAY(DeadBandModule, lastOutput, FloatArray, perChannelOfWire(0))};
}
constexpr std::array<kit::Variable, 3> hysteresisVariables()
{
    return {KVE_VARIABLE(HysteresisModule, upperThreshold, Float),
            KVE_VARIABLE(HysteresisModule, lowerThreshold, Float),
            KVE_ARRAY(HysteresisModule, outputState, IntArray, perChannelOfWire(0))};
}
constexpr std::array<kit::Variable, 2> consecutiveCountVariables()
{
    return {KVE_VARIABLE(ConsecutiveCountModule, lastValue, Int), KVE_VARIABLE(ConsecutiveCountModule, count, Int)};
}
constexpr std::array<kit::Variable, 2> derivativeVariables()
{
    return {KVE_VARIABLE(DerivativeModule, derivativeGain, Float),
            KVE_ARRAY(DerivativeModule, previous, FloatArray, perChannelOfWire(0))};
}
constexpr std::array<kit::Variable, 3> derivativeFract32Variables()
{
    return {KVE_VARIABLE(DerivativeFract32Module, derivativeGain, Float),
            KVE_VARIABLE(DerivativeFract32Module, gainFract32, Fract32),
            KVE_ARRAY(DerivativeFract32Module, previous, Fract32Array, perChannelOfWire(0))};
}
constexpr std::array<kit::Variable, 2> integralVariables()
{
    return {KVE_VARIABLE(IntegralModule, integralTime, Float),
            KVE_ARRAY(IntegralModule, accumulator, FloatArray, perChannelOfWire(0))};
}
constexpr std::array<kit::Variable, 6> invertNVariables()
{
    return {KVE_VARIABLE(InvertNModule, numChannels, Int), KVE_VARIABLE(InvertNModule, smoothingTime, Float),
            KVE_VARIABLE(InvertNModule, smoothingCoeff, Float),
            KVE_ARRAY_IN(InvertNModule, invert, IntArray, perArgument(0), KVE_HEAPS_HOST_ARRAYS),
            KVE_ARRAY(InvertNModule, currentGain, FloatArray, perArgument(0)),
            KVE_ARRAY(InvertNModule, targetGain, FloatArray, perArgument(0))};
}
// The phase of every output channel: the output follows the one modulation input.
constexpr std::array<kit::Variable, 4> oscillatorVariables()
{
    return {KVE_VARIABLE(OscillatorModule, oscParamA, Float), KVE_VARIABLE(OscillatorModule, oscParamB, Float),
            KVE_VARIABLE(OscillatorModule, phaseIncrement, Float),
            KVE_ARRAY(OscillatorModule, phase, FloatArray, perChannelOfWire(1))};
}
template <class T> constexpr std::array<kit::Variable, 9> randiVariables()
{
    using R = RandiModule<T>;
    constexpr auto t = sizeof(T) == 4 && T(0.5) != T(0) ? kit::Type::Float : kit::Type::Fract32;
    return {{{offsetof(R, rate), kit::Type::Float},
             {offsetof(R, interpolate), kit::Type::Int},
             {offsetof(R, slope), t},
             {offsetof(R, value), t},
             {offsetof(R, period), kit::Type::Int},
             {offsetof(R, seed), kit::Type::Int},
             {offsetof(R, randiReserved), kit::Type::Int},
             {offsetof(R, countdown), kit::Type::Int},
             {offsetof(R, invPeriod), t}}};
}
constexpr std::array<kit::Variable, 3> mathExceptionVariables()
{
    return {KVE_VARIABLE(MathExceptionModule, nanCount, Int), KVE_VARIABLE(MathExceptionModule, infCount, Int),
            KVE_VARIABLE(MathExceptionModule, replacement, Float)};
}

void sampleAndHoldProcess(ClassModule *m);
void sampleAndHoldBypass(ClassModule *m);
void deadBandProcess(ClassModule *m);
void hysteresisProcess(ClassModule *m);
void consecutiveCountProcess(ClassModule *m);
void consecutiveCountBypass(ClassModule *m);
void derivativeProcess(ClassModule *m);
void derivativeFract32Process(ClassModule *m);
int32_t derivativeFract32Set(ClassModule *m, uint32_t mask);
void integralProcess(ClassModule *m);
void invertNProcess(ClassModule *m);
int32_t invertNSet(ClassModule *m, uint32_t mask);
void oscillatorProcess(ClassModule *m);
void randiProcess(ClassModule *m);
void randiFract32Process(ClassModule *m);
int32_t randiSet(ClassModule *m, uint32_t mask);
int32_t randiFract32Set(ClassModule *m, uint32_t mask);
void mathExceptionProcess(ClassModule *m);

// The samples between two random values: floor(rate / values per second), held to 1..2^31-1 so a rate above the
// sample rate, zero, negative or non-finite never leaves a period the divisions and the countdown cannot use.
int32_t randiPeriod(float sampleRate, float valuesPerSecond);

// One step of the random sequence: the 32-bit linear congruential generator.
inline int32_t nextSeed(int32_t seed)
{
    return static_cast<int32_t>(static_cast<uint32_t>(seed) * 1664525u + 1013904223u);
}

} // namespace kve::control
