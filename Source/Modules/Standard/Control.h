// Control and preset modules: control-rate classes that carry one value per block in word 0 of a wire (the
// debouncer holds whole blocks), and the bridges that read or write a variable of another module.
#pragma once

#include <cstdint>
#include <cstring>

#include "Modules/Standard/Shapes.h"

extern "C" {
extern const kve::kit::ClassRecord<3> kve_modParamSetClass;
extern const kve::kit::ClassRecord<2> kve_modParamGetClass;
extern const kve::kit::ClassRecord<1> kve_modBlockCounterClass;
extern const kve::kit::ClassRecord<5> kve_modCounterClass;
extern const kve::kit::ClassRecord<5> kve_modDebounceClass;
extern const kve::kit::ClassRecord<2> kve_modToggleButtonClass;
extern const kve::kit::ClassRecord<2> kve_modApplyPresetClass;
extern const kve::kit::ClassRecord<5> kve_modGPIOClass;
}

namespace kve::control {

// Word 0 of a wire as a raw 32-bit pattern; `fallback` when the wire holds no word.
inline uint32_t firstWord(const GenericWire *w, uint32_t fallback = 0)
{
    if (kit::wireWords(w) == 0)
        return fallback;
    uint32_t v;
    std::memcpy(&v, w->buffer, sizeof v);
    return v;
}

// Writes word 0 of a wire, when it holds one.
inline void setFirstWord(GenericWire *w, uint32_t v)
{
    if (kit::wireWords(w) != 0)
        std::memcpy(w->buffer, &v, sizeof v);
}

// Whether `target` is a live module of the running instance: a layout may aim a bridge's pointer at anything, so the
// bridge acts only on an object the instance built whose class is a module class.
bool isLiveModule(const ClassModule *target);

// The plain generic constructor after the wiring check: a bridge's pointers are aimed by the layout through the
// pointer commands, so its instance must not claim ownership of its private variables.
ClassModule *constructBridge(const ModClassDescriptor &record, uint32_t inputs, uint32_t outputs, int32_t *status,
                             uint32_t wireWord, GenericWire **wires, uint32_t argc, const uint32_t *args);

template <const auto *Record, uint32_t Inputs, uint32_t Outputs>
ClassModule *bridge(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc, const uint32_t *args)
{
    return constructBridge(Record->record, Inputs, Outputs, status, wireWord, wires, argc, args);
}

// A class that owns private arrays (the kit allocates them, with their capacities) on a fixed wiring.
template <const auto *Record, const auto *Variables, uint32_t Inputs, uint32_t Outputs>
ClassModule *withArrays(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc, const uint32_t *args)
{
    return kit::construct(*Record, *Variables, Inputs, Outputs, status, wireWord, wires, argc, args);
}

} // namespace kve::control
