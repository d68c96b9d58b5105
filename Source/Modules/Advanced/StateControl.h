// Class records and instance records of the state and timing control modules: the time-out that passes its inputs
// for a set time and then silences, rescales or replaces them, the module that sets other modules' states by object
// id, and the multiplexor that picks a data wire per frame.
#pragma once

#include <cstdint>

#include "Modules/Advanced/AdvancedKit.h"
#include "Modules/ModuleKit.h"

extern "C" {
extern const kve::kit::ClassRecord<13> kve_modTimeOutClass;
extern const kve::kit::ClassRecord<15> kve_modTimeOutFract32Class;
extern const kve::kit::ClassRecord<6> kve_modStatusSetClass;
extern const kve::kit::ClassRecord<0> kve_modSampleMultiplexorControlClass;
extern const kve::kit::ClassRecord<8> kve_modPresetArrayHandlerClass;
extern const kve::kit::ClassRecord<18> kve_modPresetArrayHandlerV2Class;
extern const kve::kit::ClassRecord<3> kve_modOverwriteControlClass;
extern const kve::kit::ClassRecord<6> kve_modTriggeredPulseClass;
}

namespace kve::statecontrol {

// TimeOut: T is float (Gain float) or Fract32; the Fract32 form adds its post-shift and gain scale.
struct TimeOutModule {
    ClassModule header;
    float timeout; // seconds
    int32_t action;
    float gainDb;
    float currentGain;
    float targetGain;
    float timeoutParam;
    int32_t bufferLength;
    int32_t bufferIndex;
    int32_t blockCounter;
    int32_t timeoutBlocks;
    float smoothingTime; // ms
    float smoothingCoeff;
    float *buffer;
};

struct TimeOutFract32Module {
    ClassModule header;
    float timeout;
    int32_t action;
    float gainDb;
    Fract32 currentGain;
    Fract32 targetGain;
    float timeoutParam;
    int32_t bufferLength;
    int32_t bufferIndex;
    int32_t blockCounter;
    int32_t timeoutBlocks;
    float smoothingTime;
    Fract32 smoothingCoeff;
    int32_t postShift;
    float gainScale;
    Fract32 *buffer;
};

// StatusSet: the references are module pointers kept in a word array, two words each on a 64-bit target.
struct StatusSetModule {
    ClassModule header;
    int32_t mode;
    int32_t lastState;
    int32_t currentState;
    int32_t numModules;
    int32_t *moduleIds;
    ClassModule **references;
};

// The preset handlers' leading variables: numPresets presets of numRows x numCols values each, stored with the
// presets of one column together (see presetSet).
struct PresetCounts {
    int32_t numPresets;
    int32_t numRows;
    int32_t numCols;
    int32_t combineMode; // 0 product, else sum
    int32_t trigger;
};

struct PresetArrayHandlerModule {
    ClassModule header;
    PresetCounts counts;
    float *presetData;
    ClassModule *targetModule; // aimed by the layout
    float *targetArray;        // aimed by the layout
};

constexpr uint32_t kPresetReferences = 10;

struct PresetArrayHandlerV2Module {
    ClassModule header;
    PresetCounts counts;
    float *presetData;
    float *presets[kPresetReferences];
    ClassModule *targetModule;
    float *targetArray;
};

// Builds a preset handler with its data array taken from the given heaps.
ClassModule *presetConstruct(const ModClassDescriptor &record, uint32_t heaps, int32_t *status, uint32_t wireWord,
                             GenericWire **wires, uint32_t argc, const uint32_t *args);
// Raises the handler's own deferred Set when the layout triggers it and both targets are aimed.
void presetProcess(ClassModule *m, PresetCounts &counts, const ClassModule *target, const float *array);
// Combines the presets into the target array and has the target recompute; `act` false leaves both alone.
int32_t presetSet(ClassModule *target, float *array, PresetCounts &counts, const float *data, bool act);

struct OverwriteControlModule {
    ClassModule header;
    int32_t convertToInt;
    int32_t *overwriteFlags;  // per channel
    float *overwriteValues;   // per channel
};

struct TriggeredPulseModule {
    ClassModule header;
    float pulseMs;
    int32_t pulseSamples;
    int32_t elapsed;
    int32_t extension;
    int32_t lastTrigger;
    int32_t active;
};

constexpr uint32_t kPointerWords = sizeof(void *) / 4;

// The time-out in blocks, rounded, from a float product: bounded so a huge or non-finite time cannot overflow.
int32_t timeoutBlocks(float sampleRate, float timeout, uint32_t blockSize);

// The playback buffer's usable length and its next index wrapped into it; 0 when nothing can be played.
int32_t playableLength(ClassModule *m, int32_t bufferLength, const void *buffer, int32_t *index);

} // namespace kve::statecontrol
