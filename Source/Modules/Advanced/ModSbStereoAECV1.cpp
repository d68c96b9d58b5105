// SbStereoAECV1: cancels the echo of a two-channel loudspeaker signal in one microphone, per subband, then (when
// `postFilterEnable` is set) scales each subband by the residual-echo table's gain. Input 0 is the microphone
// subband wire, input 1 the reference pair interleaved per subband (x1 then x2), the output the echo-reduced
// microphone. Every tap variance starts at 1.0, the prior of an echo path of 0 dB per tap, with no cross term:
// from zero variances the gains would be zero and the taps would never move.
#include <algorithm>
#include <array>

#include "Modules/Advanced/SbEchoPost.h"
#include "Modules/Advanced/SbStereoEchoCanceller.h"
#include "Modules/Standard/Filters.h"
#include "Modules/Standard/Shapes.h"

namespace {

using namespace kve::kit;
using kve::sbaec::SbStereoAECModule;

// Array numbers (counting arrays only) of the arrays Process and Set reach by capacity.
constexpr uint32_t kTapVariance = 2;
constexpr uint32_t kPostGain = 15;
constexpr uint32_t kPostTable = 16;
constexpr uint32_t kPostSegments = 17;
constexpr uint32_t kFirstArray = 11;

// Lengths per tap, read from the reference wire (input 1) of two channels: Nc is its channel count, its block size
// is the microphone's B, its words are Nc x B, and Nc x (B / 2) is B; the constructor multiplies each by maxTaps.
constexpr std::array<Variable, 29> kVariables = {
    KVE_VARIABLE(SbStereoAECModule, maxTaps, Int),
    KVE_VARIABLE(SbStereoAECModule, numTaps, Int),
    KVE_VARIABLE(SbStereoAECModule, noiseScale, Float),
    KVE_VARIABLE(SbStereoAECModule, timeConstant, Float),
    KVE_VARIABLE(SbStereoAECModule, alpha, Float),
    KVE_VARIABLE(SbStereoAECModule, spareValue, Float),
    KVE_VARIABLE(SbStereoAECModule, numIterations, Int),
    KVE_VARIABLE(SbStereoAECModule, postFilterEnable, Int),
    KVE_VARIABLE(SbStereoAECModule, spareCount, Int),
    KVE_VARIABLE(SbStereoAECModule, numTablePoints, Int),
    KVE_VARIABLE(SbStereoAECModule, spareWord, Int),
    KVE_ARRAY(SbStereoAECModule, taps, FloatArray, perWordOfWire(1)),
    KVE_ARRAY(SbStereoAECModule, predictedTaps, FloatArray, perChannelOfWire(1, 2)),
    KVE_ARRAY(SbStereoAECModule, tapVariance, FloatArray, perBlockOfWire(1)),
    KVE_ARRAY(SbStereoAECModule, crossVariance, FloatArray, perBlockOfWire(1)),
    KVE_ARRAY(SbStereoAECModule, predictedVariance, FloatArray, perChannelOfWire(1)),
    KVE_ARRAY(SbStereoAECModule, predictedCross, FloatArray, perBlockOfWire(1)),
    KVE_ARRAY(SbStereoAECModule, refHistory, FloatArray, perWordOfWire(1)),
    KVE_ARRAY(SbStereoAECModule, refPowerHistory, FloatArray, perBlockOfWire(1)),
    KVE_ARRAY(SbStereoAECModule, crossHistory, FloatArray, perBlockOfWire(1)),
    KVE_ARRAY(SbStereoAECModule, stereoScratchA, FloatArray, perChannelOfWire(1)),
    KVE_ARRAY(SbStereoAECModule, diagGain, FloatArray, perBlockOfWire(1)),
    KVE_ARRAY(SbStereoAECModule, stereoScratchB, FloatArray, perArgument(0, 2)),
    KVE_ARRAY(SbStereoAECModule, crossGain, FloatArray, perBlockOfWire(1)),
    KVE_ARRAY(SbStereoAECModule, stereoScratchC, FloatArray, perChannelOfWire(1, 2)),
    KVE_ARRAY(SbStereoAECModule, gainVectors, FloatArray, perWordOfWire(1, 2)),
    KVE_ARRAY(SbStereoAECModule, postGain, FloatArray, fixedLength(0)),
    KVE_ARRAY(SbStereoAECModule, postTable, FloatArray, fixedLength(0)),
    KVE_ARRAY(SbStereoAECModule, postSegments, FloatArray, fixedLength(0)),
};

uint32_t subbandsOf(const GenericWire *w) { return (blockSize(w) >> 1) & 0xFFFFu; }

// Refuses a reference that is not a pair of channels and audio wires whose block size is not the microphone's:
// the kernel reads both references of every subband and writes every subband of the output.
bool wiresMatch(uint32_t wireWord, GenericWire **wires)
{
    if (wires == nullptr || wires[0] == nullptr || wires[1] == nullptr || wires[KVE_PACKED_INPUTS(wireWord)] == nullptr)
        return true; // construction refuses a missing wire itself
    const uint32_t block = blockSize(wires[0]);
    return kve::shapes::channels(wires[1]) == 2 && blockSize(wires[1]) == block &&
           blockSize(wires[KVE_PACKED_INPUTS(wireWord)]) == block;
}

ClassModule *stereoAecConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                  const uint32_t *args)
{
    using kve::filters::elementFactor;
    if (!requireWires(status, wireWord, 2, 1))
        return nullptr;
    const int32_t maxTaps = kve::filters::sizeArgument(argc, args, 11, 0);
    if (maxTaps < 0 || !wiresMatch(wireWord, wires)) {
        *status = KVE_E_BAD_ARGUMENT;
        return nullptr;
    }
    const int32_t points = std::max(kve::filters::sizeArgument(argc, args, 11, 9), 0);
    auto variables = kVariables;
    for (uint32_t k = kFirstArray; k < kFirstArray + kPostGain; ++k)
        if (variables[k].length.from != Length::From::Argument)
            variables[k].length.times = elementFactor(variables[k].length.times, static_cast<uint32_t>(maxTaps));
    const uint32_t nSub = wires != nullptr && wires[0] != nullptr ? subbandsOf(wires[0]) : 0;
    variables[kFirstArray + kPostGain].length = fixedLength(nSub);
    variables[kFirstArray + kPostTable].length = fixedLength(elementFactor(static_cast<uint32_t>(points), 2));
    variables[kFirstArray + kPostSegments].length =
        fixedLength(elementFactor(static_cast<uint32_t>(std::max(points - 1, 0)), 4));
    ClassModule *m = construct(kve_modSbStereoAECV1Class, variables, 2, 1, status, wireWord, wires, argc, args);
    if (m == nullptr)
        return nullptr;
    auto *s = reinterpret_cast<SbStereoAECModule *>(m);
    for (uint32_t j = 0; j < capacity(m, kTapVariance); ++j)
        s->tapVariance[j] = 1.0f;
    return m;
}

kve::sbaec::PostTable postTableOf(ClassModule *m)
{
    auto *s = reinterpret_cast<SbStereoAECModule *>(m);
    return {s->postTable, capacity(m, kPostTable), s->postSegments, capacity(m, kPostSegments)};
}

void stereoAecProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<SbStereoAECModule *>(m);
    const GenericWire *mic = wire(m, 0);
    const GenericWire *ref = wire(m, 1);
    GenericWire *out = wire(m, kve::shapes::inputs(m));
    // The subbands the state was built for and every wire holds.
    const uint32_t nSub = std::min({subbandsOf(mic), capacity(m, kPostGain), wireWords(mic) / 2, wireWords(ref) / 4,
                                    wireWords(out) / 2});
    float *y = static_cast<float *>(out->buffer);
    kve::sbaec::vec_aec1stereo(s, static_cast<const float *>(mic->buffer), static_cast<const float *>(ref->buffer), y,
                               nSub);
    if (s->postFilterEnable != 0)
        kve::sbaec::applyPostFilter(s->postGain, s->numTablePoints, postTableOf(m), y, nSub);
}

int32_t stereoAecSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<SbStereoAECModule *>(m);
    s->alpha = kve::sbaec::echoCancellerSet(s->timeConstant, wire(m, 0)->sampleRate, s->numTablePoints, postTableOf(m));
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<29> kve_modSbStereoAECV1Class = makeClass<29>(
    0xBEEF429Bu, {stereoAecConstructor, stereoAecProcess, IOMatchUpModule_Bypass, stereoAecSet}, kVariables);
