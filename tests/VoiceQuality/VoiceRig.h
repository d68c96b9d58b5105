// The voice front end measured as a host meets it: 16 kHz audio through a short-time Fourier transform of the test's
// own (kissfft, sqrt-Hann analysis and synthesis), the spectra fed block by block into the subband wires of a layout
// built on the engine, its output resynthesised; or the same classes between the library's own transform modules in
// one layout. The same signals and figures serve the quality tests and the benchmark program, beside the peers of
// VoicePeers.h.
#pragma once

#include <complex>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "kve/kve_engine.h"
#include "support/TestEngine.h"

struct kiss_fftr_state;

namespace voice {

constexpr int kRate = 16000;

using Signal = std::vector<float>;

// Analysis and synthesis of one channel: every hop of new samples gives size/2 + 1 bins, interleaved (re, im), in
// the unscaled scale of the forward transform; synthesis adds the windowed inverse up, hop by hop, so a spectrum
// passed back unchanged returns the input delayed by size - hop samples.
class Stft {
public:
    Stft(int size, int hop);
    ~Stft();
    Stft(const Stft &) = delete;
    Stft &operator=(const Stft &) = delete;

    int size() const { return size_; }
    int hop() const { return hop_; }
    int bins() const { return size_ / 2 + 1; }
    int latency() const { return size_ - hop_; }

    void analyse(const float *hopIn, float *spectrum);
    void synthesise(const float *spectrum, float *hopOut);

private:
    int size_, hop_;
    kiss_fftr_state *forward_, *inverse_;
    std::vector<float> window_, frame_, history_, overlap_;
    std::vector<std::complex<float>> bins_;
};

// One module of the library's class table in a one-module layout, on complex wires of `bins` subbands that carry
// the block rate (16 kHz / hop) as their sample rate.
class SubbandLayout {
public:
    // Wire channel counts of the inputs and outputs, then the constructor arguments.
    SubbandLayout(uint32_t classId, int bins, int hop, const std::vector<uint32_t> &inputChannels,
                  const std::vector<uint32_t> &outputChannels, const std::vector<uint32_t> &args);

    bool built() const { return module_ != nullptr; }
    float *input(int k) { return static_cast<float *>(inputs_[k]->buffer); }
    float *output(int k) { return static_cast<float *>(outputs_[k]->buffer); }
    // Runs the layout once: one block.
    void run();

private:
    kvetest::TestEngine engine_;
    std::vector<GenericWire *> inputs_, outputs_;
    ClassModule *module_ = nullptr;
    ClassLayout *layout_ = nullptr;
    int32_t status_ = KVE_OK;
};

// Reproducible signals.
Signal whiteNoise(size_t n, double rms, uint32_t seed);
Signal pinkNoise(size_t n, double rms, uint32_t seed);
// A room's echo path: 15 ms of bulk delay, then 64 ms of noise decaying by 60 dB, scaled to the given energy gain.
Signal roomResponse(uint32_t seed, double gainDb);
Signal convolve(const Signal &x, const Signal &h);
double rms(const float *x, size_t n);
// Speech rendered by the speech synthesiser with the given voice and resampled to 16 kHz by sox, at the given RMS
// over its voiced part; empty with a message on stderr when either program fails.
Signal speech(const std::string &voice, const std::string &text, double rmsLevel);

// ---- Echo ----

// A canceller seen from outside: a frame of microphone and reference samples in, a frame out.
class EchoCanceller {
public:
    virtual ~EchoCanceller() = default;
    virtual int frame() const = 0;
    virtual int latency() const { return 0; }
    // ref holds `references` interleaved channels.
    virtual void process(const float *mic, const float *ref, float *out) = 0;
};

// The far end plays white noise for two stretches of `whiteSeconds`, the room's echo path changes between them,
// then speech with a stretch of near-end speech (double talk) and a closing stretch where only the near-end noise
// reaches the microphone.
struct EchoScene {
    int references = 1;
    double whiteSeconds = 0;
    size_t swapAt = 0, speechAt = 0, doubleTalkAt = 0, doubleTalkEnd = 0, quietAt = 0;
    std::vector<Signal> far; // one per reference
    Signal mic;
    bool hasSpeech() const { return doubleTalkEnd > doubleTalkAt; }
};
EchoScene makeEchoScene(int references, double whiteSeconds);

struct EchoFigures {
    std::vector<double> erle;      // per 0.5 s window of the white stretches (dB)
    double steadyA = 0, steadyB = 0; // mean over the last 2 s before the swap and before the speech
    double to10 = -1, to20 = -1;   // seconds from the start until a window first reaches 10 and 20 dB
    double reconverge20 = -1;      // seconds after the swap until a window reaches 20 dB again
    double speechErle = 0;         // over the far-end speech before the double talk
    double doubleTalkLevel = 0;    // output over microphone in the double talk (dB)
    double doubleTalkWorst = 0;    // largest output-over-microphone of a 0.5 s window there (dB)
    double nearEndGain = 0;        // amplitude gain of the stretch of near-end noise alone
};
Signal runCanceller(EchoCanceller &c, const EchoScene &scene);
EchoFigures echoFigures(const EchoScene &scene, const Signal &out);

// The library's subband cancellers on the test's transform.
struct AecSettings {
    uint32_t classId;
    int size = 512, hop = 128, taps = 12, iterations = 2;
    float noiseScale = 1.0f, timeConstant = 10.0f, minTapVariance = 0.0f;
};
std::unique_ptr<EchoCanceller> subbandCanceller(const AecSettings &s, int references);
// Their constructor arguments, the post-filter off.
std::vector<uint32_t> aecArguments(const AecSettings &s);
// The same canceller between the library's own analysis and synthesis modules, all in one layout that takes a hop
// of microphone and reference samples per block (kvetest::FrequencyChain).
std::unique_ptr<EchoCanceller> chainCanceller(const AecSettings &s, int references);

// The best per-band least-squares filter of `taps` taps through the same transform over the first white stretch:
// the ceiling any subband canceller of that length reaches on it (mean ERLE of its last 2 s).
double leastSquaresCeiling(const EchoScene &scene, int size, int hop, int taps);

// The subband signals of the microphone and the references over the first white stretch, for an outside model.
struct SubbandFrames {
    int bins = 0, blocks = 0, references = 0;
    std::vector<float> mic, ref; // blocks × bins complex; ref blocks × bins × references complex
};
SubbandFrames subbandFrames(const EchoScene &scene, int size, int hop, size_t samples);
// Mean ERLE over the last 2 s of the first white stretch of a subband output given block by block.
double subbandOutputErle(const EchoScene &scene, int size, int hop, const std::vector<float> &out);

// ---- Noise ----

class Denoiser {
public:
    virtual ~Denoiser() = default;
    virtual int frame() const = 0;
    virtual void process(const float *in, float *out) = 0;
};

struct NoiseScene {
    Signal clean, noisy;
    double lead = 2.0; // seconds of noise alone before the speech, for the noise trackers to settle
    bool hasSpeech() const { return clean.size() > static_cast<size_t>((lead + 1.0) * kRate); }
};
NoiseScene makeNoiseScene(bool pink, double snrDb, double scale);

// Over the segments of 20 ms after the lead: the segmental SNR of the input and output, each segment's output
// scaled to the clean speech first (what it keeps of the speech is the signal, all else is noise, so a change of level
// alone is none); the attenuation of the noise in the speech pauses and of the speech the output keeps.
struct NoiseFigures {
    double segSnrIn = 0, segSnrOut = 0, noiseAttenuation = 0, speechAttenuation = 0;
    double segmentalGain() const { return segSnrOut - segSnrIn; }
    // The rise of the SNR: speech kept over noise kept, against the input's.
    double snrGain() const { return noiseAttenuation - speechAttenuation; }
};
Signal runDenoiser(Denoiser &d, const Signal &in);
NoiseFigures noiseFigures(const NoiseScene &scene, const Signal &out);

std::unique_ptr<Denoiser> subbandReducer(int size, int hop, float minGainDb, float overEstimate);
// The same reducer between the library's own analysis and synthesis modules, in one layout.
std::unique_ptr<Denoiser> chainReducer(int size, int hop, float minGainDb, float overEstimate);
// Its constructor arguments: the layout's floor and over-estimation, then the thirteen that Set derives.
std::vector<uint32_t> reducerArguments(float minGainDb, float overEstimate);

} // namespace voice
