// Class records and instance records of the filters steered by control wires: the second-order sections whose
// frequency, gain and Q arrive on control wires and are redesigned by the tick, and the first-order sections whose
// pole follows a frequency wire block by block or sample by sample; with what they share.
#pragma once

#include <array>
#include <cstdint>

#include "Modules/ModuleKit.h"
#include "kve/kve_design.h"
#include "kve/kve_types.h"

extern "C" {
extern const kve::kit::ClassRecord<19> kve_modSOFControlClass;
extern const kve::kit::ClassRecord<14> kve_modSOFControlFract32Class;
extern const kve::kit::ClassRecord<11> kve_modSOFControlHPClass;
extern const kve::kit::ClassRecord<6> kve_modFOFControlClass;
extern const kve::kit::ClassRecord<8> kve_modFOFControlFract32Class;
extern const kve::kit::ClassRecord<4> kve_modLPF1ControlClass;
}

namespace kve::controlled {

// The second-order control classes' controls, in the order of their control wires and of the `controlMask` bits.
struct Controls {
    float *freq;
    float *gain;
    float *Q;
};

// The audio input of a second-order control class: its last input wire; every control class's output follows its
// inputs.
inline GenericWire *audioInput(const ClassModule *m) { return kit::wire(m, KVE_PACKED_INPUTS(m->packed) - 1); }
inline GenericWire *output(const ClassModule *m) { return kit::wire(m, KVE_PACKED_INPUTS(m->packed)); }

template <class S> Controls controlsOf(S *s) { return {&s->freq, &s->gain, &s->Q}; }

// The first half of a second-order class's Set: the flag lowered, so Process never glides toward half a design,
// then the design of the controls at the audio wire's rate. Returns the glide step of the class's smoothing time
// for one audio block; the caller stores it and the targets, and raises the flag.
template <class S> float designSection(ClassModule *m, S *s, float *design)
{
    const GenericWire *in = audioInput(m);
    s->updateActive = 0;
    design_second_order_filter(s->filterType, design, in->sampleRate, s->freq, s->gain, s->Q);
    return design_smoother(static_cast<int32_t>(kit::blockSize(in)), s->smoothingTime, in->sampleRate);
}

// Control wires a `controlMask` names: bit 0 frequency, bit 1 gain, bit 2 Q.
uint32_t controlWiresOf(int32_t controlMask);

// Builds a second-order control class: its control wires (as its `controlMask` argument, public variable
// `maskVariable`, names them) come first and the audio wire last; a wiring with fewer inputs is refused (-4). The
// state array, the class's last variable, holds `stateWords` words per channel of the audio wire.
ClassModule *constructSecondOrder(const ModClassDescriptor &record, const kit::Variable *variables, size_t count,
                                  uint32_t maskVariable, uint32_t stateWords, int32_t *status, uint32_t wireWord,
                                  GenericWire **wires, uint32_t argc, const uint32_t *args);

template <const auto *Record, const auto *Variables, uint32_t MaskVariable, uint32_t StateWords>
ClassModule *secondOrderConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                    const uint32_t *args)
{
    return constructSecondOrder(Record->record, Variables->data(), Variables->size(), MaskVariable, StateWords, status,
                                wireWord, wires, argc, args);
}

// Reads the first sample of each control wire the mask names and the module has, and stores every value that
// differs from its variable; a change asks the tick for the redesign (the module's deferred Set).
void followControls(ClassModule *m, int32_t controlMask, const Controls &controls);

// The Bypass of the control classes: the audio input copied into the output, the rest of a larger output zeroed.
// The second-order classes take their audio on the last input, the first-order classes on the second.
void bypassLastInput(ClassModule *m);
void bypassSecondInput(ClassModule *m);

// The first-order classes' inputs: the frequency wire, then the audio wire.
constexpr uint32_t kFrequencyWire = 0;
constexpr uint32_t kAudioWire = 1;

// The control frequency of a first-order class: the control wire's first sample, held to [low, 0.45 x sample rate]
// (NaN gives the low bound); no sample leaves the frequency at the low bound.
float controlFrequency(const GenericWire *control, float low, float sampleRate);

// The pole (1 - sin w) / cos w of a first-order section at w = 2 pi f / sample rate.
float poleOf(float f, float sampleRate);

} // namespace kve::controlled
