// The library's own short-time Fourier transform, built as a layout author builds it: Rebuffer -> sqrt-Hann
// Window -> Fft for analysis, Ifft -> WindowOverlap (or Ifft -> Window -> OverlapAdd) for synthesis, with any
// frequency-domain modules between, all in one layout of one engine that runs a hop per block.
#pragma once

#include <cstdint>
#include <vector>

#include "kve/kve_engine.h"
#include "support/TestEngine.h"

namespace kvetest {

constexpr uint32_t kFftClass = 0xBEEF0CF5u, kIfftClass = 0xBEEF0D09u, kRebufferClass = 0xBEEF0D1Du;
constexpr uint32_t kWindowClass = 0xBEEF0D4Du, kWindowOverlapClass = 0xBEEF0D4Fu, kOverlapAddClass = 0xBEEF0D16u;

// How the synthesis puts the frames back together: a synthesis window with overlap-add in one module, or a window
// module followed by a plain overlap-add.
enum class Resynthesis { WindowOverlap, OverlapAdd };

// The periodic sqrt-Hann window of `size` points: applied at analysis and synthesis, its square overlaps to
// size / (2 hop) at any hop that divides size / 2.
std::vector<float> sqrtHann(int size);

class FrequencyChain {
public:
    FrequencyChain(int size, int hop, float sampleRate, Resynthesis resynthesis = Resynthesis::WindowOverlap);

    int size() const { return size_; }
    int hop() const { return hop_; }
    int bins() const { return size_ / 2 + 1; }
    // Samples the chain delays its input by.
    int latency() const { return size_ - hop_; }
    // False once any wire or module failed to build; status() says why.
    bool ok() const { return status_ == KVE_OK; }
    int32_t status() const { return status_; }

    // A real wire of `channels` interleaved channels and one hop of frames at the audio rate.
    GenericWire *timeWire(uint32_t channels);
    // A complex wire of size/2 + 1 bins per channel at the hop rate: what Fft writes and Ifft reads.
    GenericWire *spectrumWire(uint32_t channels);
    // Analysis of a time wire into a new spectrum wire (unscaled forward transform of the windowed frame).
    GenericWire *analysis(GenericWire *in);
    // Synthesis of a spectrum wire into a new time wire; a spectrum passed on unchanged returns the analysed
    // input delayed by latency() samples.
    GenericWire *synthesis(GenericWire *spectrum);
    // A module of the class table on the given wires, run after the modules added before it.
    ClassModule *add(uint32_t classId, const std::vector<GenericWire *> &inputs,
                     const std::vector<GenericWire *> &outputs, const std::vector<uint32_t> &args,
                     const std::vector<GenericWire *> &scratch = {});
    // Places every module added, in order, in one layout; false (with the engine's status) when it cannot.
    bool place();
    // One block: a hop of new samples in, a hop out.
    void run();

    static float *samples(GenericWire *w) { return static_cast<float *>(w->buffer); }
    // The factor each sample of a frame meets on its way through, read from the window modules of the last
    // analysis and synthesis built: analysis window times synthesis window times the synthesis gain.
    std::vector<double> windowProduct() const;

private:
    GenericWire *newWire(uint32_t channels, uint32_t words, bool complex, float rate);
    uint32_t channelsOf(const GenericWire *w);
    // A real wire of one frame (and `extra` words) per channel at the audio rate.
    GenericWire *frameWire(uint32_t channels, uint32_t extra = 0);
    ClassModule *window(GenericWire *in, GenericWire *out, float gain);

    TestEngine engine_;
    int size_, hop_;
    float rate_;
    Resynthesis resynthesis_;
    int32_t status_ = KVE_OK;
    std::vector<ClassModule *> modules_;
    ClassLayout *layout_ = nullptr;
    const float *analysisWindow_ = nullptr, *synthesisWindow_ = nullptr;
    float synthesisGain_ = 1.0f;
};

} // namespace kvetest
