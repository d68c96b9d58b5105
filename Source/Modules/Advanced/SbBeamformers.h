// Class records and instance records of the subband beamformers, and the beam code both versions share: fixed
// complex weights per look direction, subband and microphone combine a microphone array into beams.
#pragma once

#include "Modules/ModuleKit.h"

extern "C" {
extern const kve::kit::ClassRecord<3> kve_modSbBeamformerClass;
extern const kve::kit::ClassRecord<5> kve_modSbBeamformerV2Class;
}

namespace kve::beams {

// SbBeamformer: `numDirections` weight sets of nSub x M complex weights each, in `weights` direction by direction,
// subband by subband, microphone by microphone.
struct SbBeamformerModule {
    ClassModule header;
    int32_t numDirections;
    int32_t numWeights;
    float *weights;
};

// SbBeamformerV2: as SbBeamformer, with a table of one float per subband (row) and direction that a second output
// carries out beside the beam.
struct SbBeamformerV2Module {
    ClassModule header;
    int32_t numDirections;
    int32_t numWeights;
    int32_t infoRows;
    float *weights;
    float *directionInfo;
};

// Refuses (-67) a beamformer whose arguments cannot serve its microphone wire: fewer than one direction, or fewer
// weights than every direction needs. With `infoTable` the third argument, the table's row count, is checked too:
// never negative, and with a second output at least one row per subband. True when the module may be built.
bool beamArgumentsFit(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc, const uint32_t *args,
                      uint32_t publicCount, bool infoTable);

// The beam or beams of the module's microphone wire into output 0, with the weights the module holds; the
// selected-beam form (two inputs) reads its direction from input 0.
struct Beams {
    uint32_t directions; // the directions the weights (and in the all-beams form the output) hold
    uint32_t direction;  // the direction chosen in the selected-beam form
};
Beams formBeams(ClassModule *m, int32_t numDirections, const float *weights, uint32_t weightCapacity);

// Bypass of both versions: every channel of output 0 receives microphone 0.
void passMicrophone(ClassModule *m);

// Whether the module has the selected-beam form (exactly two inputs), and its microphone wire.
inline bool selectedForm(const ClassModule *m) { return KVE_PACKED_INPUTS(m->packed) == 2; }
inline const GenericWire *microphones(const ClassModule *m) { return kit::wire(m, selectedForm(m) ? 1 : 0); }
inline uint32_t subbands(const GenericWire *w) { return kit::blockSize(w) / 2; }

} // namespace kve::beams
