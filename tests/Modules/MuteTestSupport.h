// A small engine holding the mute and solo classes, on the helpers of the scaler tests (wires, variables by ordinal,
// the one-pole glide in closed form), with word access for the Fract32 twins.
#pragma once

#include "Modules/Standard/Mutes.h"
#include "ScalerTestSupport.h"

namespace mutetest {

using kvetest::bitsOf;
using scalertest::glide;
using scalertest::kRate;
using scalertest::stepOf;

constexpr uint32_t kMuteUnmute = 0xBEEF081Du;
constexpr uint32_t kMuteUnmuteFract32 = 0xBEEF089Bu;
constexpr uint32_t kMuteSmoothed = 0xBEEF081Cu;
constexpr uint32_t kMuteSmoothedFract32 = 0xBEEF08A1u;
constexpr uint32_t kMuteNSmoothed = 0xBEEF081Bu;
constexpr uint32_t kMuteNSmoothedFract32 = 0xBEEF08A3u;
constexpr uint32_t kSoloMute = 0xBEEF081Eu;
constexpr uint32_t kSoloMuteFract32 = 0xBEEF08B6u;

inline const ModClassDescriptor *const kMuteTable[] = {
    &kve_modMuteUnmuteClass.record,         &kve_modMuteUnmuteFract32Class.record,
    &kve_modMuteSmoothedClass.record,       &kve_modMuteSmoothedFract32Class.record,
    &kve_modMuteNSmoothedClass.record,      &kve_modMuteNSmoothedFract32Class.record,
    &kve_modSoloMuteClass.record,           &kve_modSoloMuteFract32Class.record,
};

// Full scale of a Q1.31 word, as a fraction.
constexpr double kFullScale = 2147483648.0;

class Mutes : public scalertest::Scalers {
protected:
    void SetUp() override
    {
        engine_->classTable = kMuteTable;
        engine_->classCount = sizeof kMuteTable / sizeof kMuteTable[0];
    }

    static int32_t *words(GenericWire *w) { return static_cast<int32_t *>(w->buffer); }
    static void fillWords(GenericWire *w, int32_t v) { std::fill_n(words(w), kve::kit::wireWords(w), v); }
    // Sample i of a wire as a fraction of full scale, whichever sample type the wire carries.
    static double sample(GenericWire *w, uint32_t i, bool fract32)
    {
        return fract32 ? words(w)[i] / kFullScale : static_cast<double>(data(w)[i]);
    }
};

} // namespace mutetest
