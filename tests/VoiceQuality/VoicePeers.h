// The peers measured beside the voice front end on the same signals: speexdsp's echo canceller and preprocessor
// denoiser, and WebRTC's audio processing (echo cancellation and noise suppression). Each is present only when its
// library was found at build time; otherwise its maker returns null.
#pragma once

#include <memory>

#include "VoiceQuality/VoiceRig.h"

namespace voice {

// speexdsp's canceller on frames of `frame` samples with a tail of `tail` samples, one or two loudspeakers.
std::unique_ptr<EchoCanceller> speexCanceller(int frame, int tail, int references);
// WebRTC's canceller (extended filter, moderate suppression) on 10 ms frames.
std::unique_ptr<EchoCanceller> webrtcCanceller(int references);

// speexdsp's preprocessor with only its denoiser on, at a floor of `floorDb`.
std::unique_ptr<Denoiser> speexDenoiser(int frame, int floorDb);
// WebRTC's noise suppression at its high level, on 10 ms frames.
std::unique_ptr<Denoiser> webrtcDenoiser();

} // namespace voice
