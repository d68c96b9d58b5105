// Class records and instance records of the click-free mutes: a synchroniser that fades along a raised cosine at
// sample resolution (float and Fract32) and a linear fade that reports when its ramp has ended.
#pragma once

#include <cstdint>

#include "Modules/ModuleKit.h"

extern "C" {
extern const kve::kit::ClassRecord<18> kve_modMuteSyncClass;
extern const kve::kit::ClassRecord<18> kve_modMuteSyncFract32Class;
extern const kve::kit::ClassRecord<8> kve_modMuteLinearFadeClass;
}

namespace kve::mutesync {

// Machine states and the command codes the host's requests leave in the two command words.
enum State : int32_t { kStart = 0, kUnmuted = 1, kMuted = 2, kFadingIn = 3, kFadingOut = 4 };
enum Command : int32_t { kNone = 0, kUnmute = 1, kMute = 2 };

// MuteSync and its Fract32 twin: G is float or Fract32 (1.0 = 0x7FFFFFFF) for the gain, the sines, the cosines and
// the phasor, which turns by pi/N per frame so that its real part traces the raised cosine.
template <class G> struct MuteSyncModule {
    ClassModule header;
    int32_t muteRequest;
    int32_t command1;
    int32_t command2;
    float fadeOutTime;
    float fadeInTime;
    int32_t commandSlot;
    int32_t state;
    G gain;
    G sinOut;
    int32_t live;
    int32_t fadeOutSamples;
    int32_t fadeInSamples;
    G cosOut;
    G cosIn;
    G sinIn;
    G phasorRe;
    G phasorIm;
    int32_t samplesDone;
};

// MuteLinearFade: the gain ramps by one step per sample towards `target`; `done` is raised once it arrives.
struct MuteLinearFadeModule {
    ClassModule header;
    int32_t mute;
    float fadeOutTime;
    float fadeInTime;
    int32_t done;
    float gain;
    float fadeOutStep;
    float fadeInStep;
    float target;
};

} // namespace kve::mutesync
