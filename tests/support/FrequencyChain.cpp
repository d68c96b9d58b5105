#include "support/FrequencyChain.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "support/ModuleVariables.h"

namespace kvetest {

namespace {

EngineOptions chainOptions()
{
    EngineOptions o;
    o.heapWords = 1u << 18;
    o.profiling = false;
    return o;
}

// Window's construction arguments are startIndex, stopIndex, gain and windowOption; its coefficients follow them.
constexpr uint32_t kWindowCoefficients = 4;
// WindowOverlap holds its coefficients in its first variable.
constexpr uint32_t kOverlapCoefficients = 0;

} // namespace

std::vector<float> sqrtHann(int size)
{
    std::vector<float> w(static_cast<size_t>(size));
    for (int n = 0; n < size; ++n)
        w[static_cast<size_t>(n)] =
            static_cast<float>(std::sqrt(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * n / size)));
    return w;
}

FrequencyChain::FrequencyChain(int size, int hop, float sampleRate, Resynthesis resynthesis)
    : engine_(chainOptions()), size_(size), hop_(hop), rate_(sampleRate), resynthesis_(resynthesis)
{
    engine_->classTable = g_module_descriptor_table;
    engine_->classCount = g_module_descriptor_count;
}

GenericWire *FrequencyChain::newWire(uint32_t channels, uint32_t words, bool complex, float rate)
{
    if (status_ != KVE_OK)
        return nullptr;
    const uint32_t info1 = (4u << 28) | (complex ? 1u << 27 : 0u) | channels;
    return ClassWire_Constructor(engine_.get(), &status_, bitsOf(rate), info1, words, 0);
}

uint32_t FrequencyChain::channelsOf(const GenericWire *w)
{
    // A wire an earlier step failed to build fails every step after it.
    if (w == nullptr && status_ == KVE_OK)
        status_ = KVE_E_NOT_A_WIRE;
    return w == nullptr ? 0u : KVE_WIRE_CHANNELS(w->info1);
}

GenericWire *FrequencyChain::frameWire(uint32_t channels, uint32_t extra)
{
    return newWire(channels, static_cast<uint32_t>(size_) + extra, false, rate_);
}

GenericWire *FrequencyChain::timeWire(uint32_t channels)
{
    return newWire(channels, static_cast<uint32_t>(hop_), false, rate_);
}

GenericWire *FrequencyChain::spectrumWire(uint32_t channels)
{
    return newWire(channels, static_cast<uint32_t>(2 * bins()), true, rate_ / static_cast<float>(hop_));
}

ClassModule *FrequencyChain::add(uint32_t classId, const std::vector<GenericWire *> &inputs,
                                 const std::vector<GenericWire *> &outputs, const std::vector<uint32_t> &args,
                                 const std::vector<GenericWire *> &scratch)
{
    if (status_ != KVE_OK)
        return nullptr;
    std::vector<GenericWire *> wires(inputs);
    wires.insert(wires.end(), outputs.begin(), outputs.end());
    wires.insert(wires.end(), scratch.begin(), scratch.end());
    const auto wireWord = static_cast<uint32_t>(inputs.size() | (outputs.size() << 8) | (scratch.size() << 16));
    ClassModule *m = ClassModule_Constructor3(engine_.get(), classId, &status_, wireWord, wires.data(),
                                              static_cast<uint32_t>(args.size()), args.data());
    if (m == nullptr && status_ == KVE_OK)
        status_ = KVE_E_NOT_A_MODULE;
    if (m != nullptr)
        modules_.push_back(m);
    return m;
}

ClassModule *FrequencyChain::window(GenericWire *in, GenericWire *out, float gain)
{
    // The kept span covers the whole frame: every sample is scaled and windowed.
    ClassModule *m = add(kWindowClass, {in}, {out}, {0u, static_cast<uint32_t>(size_), bitsOf(gain), 0u});
    if (m != nullptr) {
        const std::vector<float> w = sqrtHann(size_);
        std::copy(w.begin(), w.end(), privateArray<float>(m, kWindowCoefficients));
    }
    return m;
}

GenericWire *FrequencyChain::analysis(GenericWire *in)
{
    const uint32_t channels = channelsOf(in);
    GenericWire *rebuffered = frameWire(channels), *windowed = frameWire(channels);
    GenericWire *spectrum = spectrumWire(channels);
    // Each frame is the last size - hop samples before the block followed by the block's hop.
    add(kRebufferClass, {in}, {rebuffered}, {0u, static_cast<uint32_t>(size_ - hop_), 0u});
    ClassModule *w = window(rebuffered, windowed, 1.0f);
    // The transform works channel by channel through one frame of scratch.
    add(kFftClass, {windowed}, {spectrum}, {}, {frameWire(1)});
    if (status_ != KVE_OK)
        return nullptr;
    analysisWindow_ = privateArray<float>(w, kWindowCoefficients);
    return spectrum;
}

GenericWire *FrequencyChain::synthesis(GenericWire *spectrum)
{
    const uint32_t channels = channelsOf(spectrum);
    GenericWire *frames = frameWire(channels), *out = timeWire(channels);
    add(kIfftClass, {spectrum}, {frames}, {}, {frameWire(1, 2)});
    // Squared sqrt-Hann windows overlap to size / (2 hop): the synthesis scales that back to one. The inverse
    // transform already divides by size.
    const float gain = 2.0f * static_cast<float>(hop_) / static_cast<float>(size_);
    if (resynthesis_ == Resynthesis::WindowOverlap) {
        ClassModule *m = add(kWindowOverlapClass, {frames}, {out}, {});
        if (m != nullptr) {
            float *w = privateArray<float>(m, kOverlapCoefficients);
            const std::vector<float> h = sqrtHann(size_);
            for (size_t n = 0; n < h.size(); ++n)
                w[n] = h[n] * gain;
            synthesisWindow_ = w;
            synthesisGain_ = 1.0f;
        }
    } else {
        GenericWire *windowed = frameWire(channels);
        ClassModule *w = window(frames, windowed, gain);
        // The overlap-add state holds one frame per channel: the longest span a sample is still summed over.
        add(kOverlapAddClass, {windowed}, {out}, {0u, static_cast<uint32_t>(size_), 0u});
        if (w != nullptr) {
            synthesisWindow_ = privateArray<float>(w, kWindowCoefficients);
            synthesisGain_ = gain;
        }
    }
    return status_ == KVE_OK ? out : nullptr;
}

std::vector<double> FrequencyChain::windowProduct() const
{
    std::vector<double> p;
    if (analysisWindow_ == nullptr || synthesisWindow_ == nullptr)
        return p;
    for (int n = 0; n < size_; ++n)
        p.push_back(static_cast<double>(analysisWindow_[n]) * synthesisWindow_[n] * synthesisGain_);
    return p;
}

bool FrequencyChain::place()
{
    if (status_ != KVE_OK)
        return false;
    layout_ = engine_.layout(static_cast<uint32_t>(modules_.size()), 1);
    if (layout_ == nullptr) {
        status_ = KVE_E_NOT_A_LAYOUT;
        return false;
    }
    std::vector<uint32_t> words{layout_->objectId, 0};
    for (ClassModule *m : modules_)
        words.push_back(m->objectId);
    status_ = kve_fwAddModuleToLayout(engine_.get(), static_cast<uint32_t>(words.size()), words.data());
    if (status_ != KVE_OK)
        layout_ = nullptr;
    return layout_ != nullptr;
}

void FrequencyChain::run()
{
    if (layout_ == nullptr)
        return;
    uint32_t time = 0, period = 0;
    g_pKVE_instance = engine_.get();
    ClassLayout_Process(engine_.get(), layout_, &time, &period);
}

} // namespace kvetest
