// Class records of the generators: impulse and pulse trains, periodic table playback, the periodic function
// generator and sawtooth ramps. A generator has no input wire: its first wire is its output, and every one of them
// but the periodic tables writes one channel of block-size samples at the start of it.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

#include "Dsp/Fract32.h"
#include "Modules/Standard/Delays.h"
#include "Modules/Standard/Shapes.h"
#include "kve/kve_vec_generators.h"

extern "C" {
extern const kve::kit::ClassRecord<2> kve_modImpulseSourceClass;
extern const kve::kit::ClassRecord<2> kve_modImpulseSourceFract32Class;
extern const kve::kit::ClassRecord<3> kve_modImpulseMsecSourceClass;
extern const kve::kit::ClassRecord<3> kve_modImpulseMsecSourceFract32Class;
extern const kve::kit::ClassRecord<5> kve_modPeriodicSourceClass;
extern const kve::kit::ClassRecord<5> kve_modPeriodicSourceFract32Class;
extern const kve::kit::ClassRecord<13> kve_modPeriodicFunctionGenClass;
extern const kve::kit::ClassRecord<6> kve_modPulseGenClass;
extern const kve::kit::ClassRecord<6> kve_modPulseGenFract32Class;
extern const kve::kit::ClassRecord<3> kve_modSawtoothClass;
extern const kve::kit::ClassRecord<3> kve_modSawtoothFract32Class;
}

namespace kve::generators {

// The full-scale sample of each sample type: an impulse or a pulse.
template <class T> inline constexpr T kFullScale = T(1);
template <> inline constexpr Fract32 kFullScale<Fract32> = INT32_MAX;

// The one channel a generator writes: wire 0's first block-size words, never more than the wire holds.
inline int32_t generatedSamples(const ClassModule *m)
{
    const GenericWire *out = kit::wire(m, 0);
    return static_cast<int32_t>(std::min(kit::blockSize(out), kit::wireWords(out)));
}

template <class T> T *generated(const ClassModule *m) { return static_cast<T *>(kit::wire(m, 0)->buffer); }

// Zero-fills y[0..n) and puts a full-scale impulse at `position` and every `period` samples after it; `position`
// becomes the offset of the next impulse in the next block. A negative position counts as 0 (it would lie before
// the block), and one past the period restarts at 0 when `restartPastPeriod` is set. A period below 1 leaves the
// block silent and the position as it was.
template <class T> void impulseTrain(T *y, int32_t n, int32_t period, int32_t &position, bool restartPastPeriod)
{
    std::fill(y, y + n, T(0));
    if (period < 1)
        return;
    int64_t t = std::max(position, 0);
    if (restartPastPeriod && t > period)
        t = 0;
    for (; t < n; t += period)
        y[t] = kFullScale<T>;
    // The next impulse lies at most one period past the block, or where a far position still counts down to.
    position = static_cast<int32_t>(t - n);
}

// The impulse sources: `period` and `position`, with `periodMs` first in the millisecond forms.
struct ImpulseModule {
    ClassModule header;
    int32_t period;
    int32_t position;
};

struct ImpulseMsecModule {
    ClassModule header;
    int32_t periodMs;
    int32_t period;
    int32_t position;
};

inline constexpr std::array<kit::Variable, 2> kImpulseVariables = {
    KVE_VARIABLE(ImpulseModule, period, Int),
    KVE_VARIABLE(ImpulseModule, position, Int),
};

inline constexpr std::array<kit::Variable, 3> kImpulseMsecVariables = {
    KVE_VARIABLE(ImpulseMsecModule, periodMs, Int),
    KVE_VARIABLE(ImpulseMsecModule, period, Int),
    KVE_VARIABLE(ImpulseMsecModule, position, Int),
};

// `period` from `periodMs` at the output's sample rate, truncated toward zero.
int32_t impulseMsecSet(ClassModule *m, uint32_t mask);

template <class Module, class T> void impulseProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<Module *>(m);
    impulseTrain(generated<T>(m), generatedSamples(m), s->period, s->position, true);
}

// The pulse trains: `repeat` plays period after period, otherwise one period plays each time the host writes a
// non-zero `counter`.
struct PulseGenModule {
    ClassModule header;
    float periodMs;
    float widthMs;
    int32_t repeat;
    int32_t periodSamples;
    int32_t widthSamples;
    int32_t counter;
};

inline constexpr std::array<kit::Variable, 6> kPulseGenVariables = {
    KVE_VARIABLE(PulseGenModule, periodMs, Float),     KVE_VARIABLE(PulseGenModule, widthMs, Float),
    KVE_VARIABLE(PulseGenModule, repeat, Int),         KVE_VARIABLE(PulseGenModule, periodSamples, Int),
    KVE_VARIABLE(PulseGenModule, widthSamples, Int),   KVE_VARIABLE(PulseGenModule, counter, Int),
};

int32_t pulseGenSet(ClassModule *m, uint32_t mask);

template <class T> void pulseGenProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<PulseGenModule *>(m);
    T *y = generated<T>(m);
    const int32_t n = generatedSamples(m);
    const int32_t period = s->periodSamples;
    if ((s->counter == 0 && s->repeat == 0) || period < 1) {
        std::fill(y, y + n, T(0));
        return;
    }
    int32_t counter = s->counter;
    for (int32_t i = 0; i < n; ++i) {
        y[i] = counter < s->widthSamples ? kFullScale<T> : T(0);
        // A counter at or past the period's end (a host may write one) wraps, and never counts on to overflow.
        const bool wraps = counter >= period - 1;
        counter = wraps ? 0 : counter + 1;
        if (wraps && s->repeat == 0) {
            std::fill(y + i + 1, y + n, T(0));
            break;
        }
    }
    s->counter = counter;
}

// The periodic table players: `periodLength` words per channel of the channel-major `table`, read from `readIndex`.
template <class T> struct PeriodicSourceModule {
    ClassModule header;
    int32_t periodLength;
    int32_t periodicReservedA;
    int32_t periodicReservedB;
    int32_t readIndex;
    T *table;
};

template <class T, kit::Type Array> constexpr std::array<kit::Variable, 5> periodicSourceVariables()
{
    using Module = PeriodicSourceModule<T>;
    return {
        KVE_VARIABLE(Module, periodLength, Int),
        KVE_VARIABLE(Module, periodicReservedA, Int),
        KVE_VARIABLE(Module, periodicReservedB, Int),
        KVE_VARIABLE(Module, readIndex, Int),
        // Its length is the output's channels times periodLength: the constructor allocates it.
        kit::Variable{offsetof(Module, table), Array, kit::fixedLength(0), KVE_HEAPS_HOST_ARRAYS},
    };
}

// The table: the output's channels times periodLength (a negative one: none), plus `Spare` words, from the heap
// list of host-filled arrays.
template <class T, uint32_t Spare> delays::OwnArray periodicTable(ClassModule *m)
{
    auto *s = reinterpret_cast<PeriodicSourceModule<T> *>(m);
    const uint64_t length = static_cast<uint64_t>(std::max(s->periodLength, 0));
    return {&s->table, shapes::channels(kit::wire(m, 0)) * length + Spare, KVE_HEAPS_HOST_ARRAYS};
}

// Plays every channel from the same read position; a period length a host writes is held to the one built.
template <class T, uint32_t Spare> void periodicSourceProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<PeriodicSourceModule<T> *>(m);
    const GenericWire *out = kit::wire(m, 0);
    const uint32_t ch = shapes::channels(out);
    const auto block = static_cast<int32_t>(kit::blockSize(out));
    T *y = static_cast<T *>(out->buffer);
    const uint32_t built = ch == 0 ? 0 : (kit::capacity(m, 0) - Spare) / ch;
    const int32_t length = std::min(s->periodLength, static_cast<int32_t>(std::min<uint32_t>(built, INT32_MAX)));
    if (length < 1) {
        std::fill(y, y + kit::wireWords(out), T(0));
        return;
    }
    int32_t index = s->readIndex;
    for (uint32_t c = 0; c < ch; ++c) {
        index = s->readIndex;
        kve_vecCircRead(s->table + c * static_cast<uint32_t>(length), length, &index, 1, y + c,
                        static_cast<int32_t>(ch), block);
    }
    s->readIndex = index;
}

// The sawtooth ramps: `freq`, and the running `phase` and its `step` per sample in the ramp's own sample type.
template <class T> struct SawtoothModule {
    ClassModule header;
    float freq;
    T phase;
    T step;
};

template <class T, kit::Type Sample> constexpr std::array<kit::Variable, 3> sawtoothVariables()
{
    using Module = SawtoothModule<T>;
    return {
        KVE_VARIABLE(Module, freq, Float),
        kit::Variable{offsetof(Module, phase), Sample},
        kit::Variable{offsetof(Module, step), Sample},
    };
}

} // namespace kve::generators
