#include "VoiceQuality/VoiceRig.h"

#include <kiss_fftr.h>

#include "support/FrequencyChain.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <numbers>
#include <random>
#include <unistd.h>
#include <utility>

namespace voice {

// ---- Transform ----

Stft::Stft(int size, int hop)
    : size_(size), hop_(hop), forward_(kiss_fftr_alloc(size, 0, nullptr, nullptr)),
      inverse_(kiss_fftr_alloc(size, 1, nullptr, nullptr)), window_(size), frame_(size), history_(size),
      overlap_(size), bins_(size / 2 + 1)
{
    for (int n = 0; n < size; ++n)
        window_[n] = static_cast<float>(std::sqrt(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * n / size)));
}

Stft::~Stft()
{
    kiss_fftr_free(forward_);
    kiss_fftr_free(inverse_);
}

void Stft::analyse(const float *hopIn, float *spectrum)
{
    std::copy(history_.begin() + hop_, history_.end(), history_.begin());
    std::copy(hopIn, hopIn + hop_, history_.end() - hop_);
    for (int n = 0; n < size_; ++n)
        frame_[n] = history_[n] * window_[n];
    kiss_fftr(forward_, frame_.data(), reinterpret_cast<kiss_fft_cpx *>(bins_.data()));
    std::copy(reinterpret_cast<const float *>(bins_.data()), reinterpret_cast<const float *>(bins_.data()) + 2 * bins(),
              spectrum);
}

void Stft::synthesise(const float *spectrum, float *hopOut)
{
    std::copy(spectrum, spectrum + 2 * bins(), reinterpret_cast<float *>(bins_.data()));
    kiss_fftri(inverse_, reinterpret_cast<const kiss_fft_cpx *>(bins_.data()), frame_.data());
    // Periodic sqrt-Hann windows twice over overlap to size / (2 hop); the inverse transform is unscaled.
    const float scale = 2.0f * static_cast<float>(hop_) / (static_cast<float>(size_) * static_cast<float>(size_));
    for (int n = 0; n < size_; ++n)
        overlap_[n] += frame_[n] * window_[n] * scale;
    std::copy(overlap_.begin(), overlap_.begin() + hop_, hopOut);
    std::copy(overlap_.begin() + hop_, overlap_.end(), overlap_.begin());
    std::fill(overlap_.end() - hop_, overlap_.end(), 0.0f);
}

// ---- Layout ----

namespace {

// A rig object, or null when its layout could not be built (a class missing from the library's table).
template <class Base, class T, class... Args> std::unique_ptr<Base> builtOrNull(Args &&...args)
{
    auto p = std::make_unique<T>(std::forward<Args>(args)...);
    if (!p->built())
        return nullptr;
    return p;
}

kvetest::EngineOptions rigOptions()
{
    kvetest::EngineOptions o;
    o.heapWords = 1u << 18;
    o.profiling = false;
    return o;
}

} // namespace

SubbandLayout::SubbandLayout(uint32_t classId, int bins, int hop, const std::vector<uint32_t> &inputChannels,
                             const std::vector<uint32_t> &outputChannels, const std::vector<uint32_t> &args)
    : engine_(rigOptions())
{
    engine_->classTable = g_module_descriptor_table;
    engine_->classCount = g_module_descriptor_count;
    const uint32_t rateBits = kvetest::bitsOf(static_cast<float>(kRate) / static_cast<float>(hop));
    auto subband = [&](uint32_t channels) {
        return ClassWire_Constructor(engine_.get(), &status_, rateBits, (4u << 28) | (1u << 27) | channels,
                                     2u * static_cast<uint32_t>(bins), 0);
    };
    for (uint32_t c : inputChannels)
        inputs_.push_back(subband(c));
    for (uint32_t c : outputChannels)
        outputs_.push_back(subband(c));
    if (status_ != KVE_OK)
        return;
    std::vector<GenericWire *> wires(inputs_);
    wires.insert(wires.end(), outputs_.begin(), outputs_.end());
    const auto wireWord = static_cast<uint32_t>(inputs_.size() | (outputs_.size() << 8));
    ClassModule *m = ClassModule_Constructor3(engine_.get(), classId, &status_, wireWord, wires.data(),
                                              static_cast<uint32_t>(args.size()), args.data());
    if (status_ != KVE_OK)
        return;
    layout_ = engine_.layout(1, 1);
    if (layout_ == nullptr || (status_ = engine_.place(layout_, 0, {m})) != KVE_OK)
        return;
    module_ = m;
}

void SubbandLayout::run()
{
    uint32_t time = 0, period = 0;
    g_pKVE_instance = engine_.get();
    ClassLayout_Process(engine_.get(), layout_, &time, &period);
}

// ---- Signals ----

namespace {

// Normal deviates from a fixed generator and a fixed transform, so every machine draws the same signals.
class Normal {
public:
    explicit Normal(uint32_t seed) : gen_(seed) {}
    double operator()()
    {
        const double u1 = (static_cast<double>(gen_()) + 1.0) / 4294967297.0;
        const double u2 = static_cast<double>(gen_()) / 4294967296.0;
        return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
    }

private:
    std::mt19937 gen_;
};

void scaleTo(Signal &x, double level)
{
    const double r = rms(x.data(), x.size());
    if (r > 0)
        for (float &v : x)
            v = static_cast<float>(v * level / r);
}

double energy(const float *x, size_t n)
{
    double e = 0;
    for (size_t i = 0; i < n; ++i)
        e += static_cast<double>(x[i]) * x[i];
    return e;
}

double db10(double ratio) { return 10.0 * std::log10(std::max(ratio, 1e-30)); }

} // namespace

double rms(const float *x, size_t n) { return n == 0 ? 0.0 : std::sqrt(energy(x, n) / static_cast<double>(n)); }

Signal whiteNoise(size_t n, double level, uint32_t seed)
{
    Normal g(seed);
    Signal x(n);
    for (float &v : x)
        v = static_cast<float>(g() * level);
    return x;
}

Signal pinkNoise(size_t n, double level, uint32_t seed)
{
    // A sum of first-order low-passes spread over the band approximates the 3 dB per octave slope.
    Normal g(seed);
    double b[7] = {};
    Signal x(n);
    for (float &v : x) {
        const double w = g();
        b[0] = 0.99886 * b[0] + w * 0.0555179;
        b[1] = 0.99332 * b[1] + w * 0.0750759;
        b[2] = 0.96900 * b[2] + w * 0.1538520;
        b[3] = 0.86650 * b[3] + w * 0.3104856;
        b[4] = 0.55000 * b[4] + w * 0.5329522;
        b[5] = -0.7616 * b[5] - w * 0.0168980;
        v = static_cast<float>(b[0] + b[1] + b[2] + b[3] + b[4] + b[5] + b[6] + w * 0.5362);
        b[6] = w * 0.115926;
    }
    scaleTo(x, level);
    return x;
}

Signal roomResponse(uint32_t seed, double gainDb)
{
    const int bulk = kRate * 15 / 1000, tail = kRate * 64 / 1000;
    Normal g(seed);
    Signal h(static_cast<size_t>(bulk + tail), 0.0f);
    for (int n = 0; n < tail; ++n)
        h[static_cast<size_t>(bulk + n)] = static_cast<float>(g() * std::exp(-6.907755 * n / tail));
    const double e = energy(h.data(), h.size());
    for (float &v : h)
        v = static_cast<float>(v * std::pow(10.0, gainDb / 20.0) / std::sqrt(e));
    return h;
}

Signal convolve(const Signal &x, const Signal &h)
{
    // Overlap-add through one transform size that holds the response four times over.
    int n = 1;
    while (n < 4 * static_cast<int>(h.size()))
        n *= 2;
    const size_t step = static_cast<size_t>(n) - h.size() + 1;
    kiss_fftr_cfg fwd = kiss_fftr_alloc(n, 0, nullptr, nullptr), inv = kiss_fftr_alloc(n, 1, nullptr, nullptr);
    std::vector<kiss_fft_cpx> H(static_cast<size_t>(n / 2 + 1)), X(H.size());
    std::vector<float> buf(static_cast<size_t>(n), 0.0f);
    std::copy(h.begin(), h.end(), buf.begin());
    kiss_fftr(fwd, buf.data(), H.data());
    Signal y(x.size() + h.size() - 1, 0.0f);
    for (size_t start = 0; start < x.size(); start += step) {
        const size_t len = std::min(step, x.size() - start);
        std::fill(buf.begin(), buf.end(), 0.0f);
        std::copy(x.begin() + static_cast<std::ptrdiff_t>(start), x.begin() + static_cast<std::ptrdiff_t>(start + len),
                  buf.begin());
        kiss_fftr(fwd, buf.data(), X.data());
        for (size_t k = 0; k < X.size(); ++k) {
            const std::complex<float> p = std::complex<float>(X[k].r, X[k].i) * std::complex<float>(H[k].r, H[k].i);
            X[k] = {p.real(), p.imag()};
        }
        kiss_fftri(inv, X.data(), buf.data());
        for (size_t i = 0; i < len + h.size() - 1 && start + i < y.size(); ++i)
            y[start + i] += buf[i] / static_cast<float>(n);
    }
    kiss_fftr_free(fwd);
    kiss_fftr_free(inv);
    y.resize(x.size());
    return y;
}

Signal speech(const std::string &voiceName, const std::string &text, double rmsLevel)
{
    // Rendered once per voice and text for the whole program.
    static std::map<std::string, Signal> rendered;
    const std::string key = voiceName + "|" + text;
    auto found = rendered.find(key);
    if (found == rendered.end()) {
        char dir[] = "/tmp/kve_voiceXXXXXX";
        Signal x;
        std::string cmd;
        if (mkdtemp(dir) != nullptr) {
            const std::string wav = std::string(dir) + "/speech.wav", raw = std::string(dir) + "/speech.f32";
            cmd = "espeak-ng -v " + voiceName + " -s 150 -w " + wav + " \"" + text +
                                    "\" && sox " + wav + " -r 16000 -c 1 -e floating-point -b 32 -t raw " + raw;
            if (std::system(cmd.c_str()) == 0) {
                std::ifstream f(raw, std::ios::binary);
                std::vector<char> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
                x.resize(bytes.size() / sizeof(float));
                std::copy(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(x.size() * sizeof(float)),
                          reinterpret_cast<char *>(x.data()));
            }
            std::remove(wav.c_str());
            std::remove(raw.c_str());
            rmdir(dir);
        }
        if (x.empty())
            std::fprintf(stderr, "speech could not be rendered: %s\n", cmd.c_str());
        found = rendered.emplace(key, std::move(x)).first;
    }
    Signal x = found->second;
    // The level of its voiced part: frames of 20 ms within 40 dB of the loudest.
    const size_t frame = kRate / 50;
    double peak = 0, sum = 0;
    size_t count = 0;
    for (size_t i = 0; i + frame <= x.size(); i += frame)
        peak = std::max(peak, energy(&x[i], frame));
    for (size_t i = 0; i + frame <= x.size(); i += frame) {
        const double e = energy(&x[i], frame);
        if (e > peak * 1e-4) {
            sum += e;
            count += frame;
        }
    }
    if (count > 0)
        for (float &v : x)
            v = static_cast<float>(v * rmsLevel / std::sqrt(sum / static_cast<double>(count)));
    return x;
}

// ---- Echo ----

namespace {

constexpr double kFarLevel = 0.1;      // -20 dBFS
constexpr double kEchoGainDb = -6.0;   // loudspeaker to microphone
constexpr double kNearNoiseDb = -50.0; // below the echo of the white far end
constexpr size_t kWindow = kRate / 2;

const char *const kFarText[] = {
    "The quick brown fox jumps over the lazy dog, and the five boxing wizards jump quickly. "
    "A loudspeaker plays this voice while the microphone listens.",
    "Pack my box with five dozen liquor jugs, then sing a song of sixpence, a pocket full of rye. "
    "Every other sentence comes from the second speaker.",
};

} // namespace

EchoScene makeEchoScene(int references, double whiteSeconds)
{
    EchoScene s;
    s.references = references;
    s.whiteSeconds = whiteSeconds;
    const size_t white = static_cast<size_t>(whiteSeconds * kRate);
    std::vector<Signal> farSpeech;
    size_t speechLength = 0;
    for (int r = 0; r < references; ++r) {
        farSpeech.push_back(speech(r == 0 ? "en-us" : "en-gb", kFarText[r], kFarLevel));
        speechLength = std::max(speechLength, farSpeech.back().size());
    }
    const Signal near = speech("en-us+f3", "Hello, can you hear me? I am talking at the same time.", 0.05);
    const size_t quiet = kRate * 3 / 2;
    const size_t total = 2 * white + speechLength + quiet;
    s.swapAt = white;
    s.speechAt = 2 * white;
    s.doubleTalkAt = s.speechAt + std::max<size_t>(speechLength, near.size()) - near.size();
    s.doubleTalkEnd = s.doubleTalkAt + near.size();
    s.quietAt = s.speechAt + speechLength;
    Signal echo(total, 0.0f);
    // Each loudspeaker's path takes an equal share of the echo.
    const double pathDb = kEchoGainDb - 10.0 * std::log10(static_cast<double>(references));
    for (int r = 0; r < references; ++r) {
        Signal x = whiteNoise(2 * white, kFarLevel, 11u + static_cast<uint32_t>(r));
        farSpeech[static_cast<size_t>(r)].resize(speechLength, 0.0f);
        x.insert(x.end(), farSpeech[static_cast<size_t>(r)].begin(), farSpeech[static_cast<size_t>(r)].end());
        x.resize(total, 0.0f);
        const Signal a = convolve(x, roomResponse(101u + static_cast<uint32_t>(r), pathDb));
        const Signal b = convolve(x, roomResponse(201u + static_cast<uint32_t>(r), pathDb));
        for (size_t t = 0; t < total; ++t)
            echo[t] += t < s.swapAt ? a[t] : b[t];
        s.far.push_back(std::move(x));
    }
    const double noiseLevel = kFarLevel * std::pow(10.0, (kEchoGainDb + kNearNoiseDb) / 20.0);
    s.mic = whiteNoise(total, noiseLevel, 7);
    for (size_t t = 0; t < total; ++t)
        s.mic[t] += echo[t];
    for (size_t t = 0; t < near.size(); ++t)
        s.mic[s.doubleTalkAt + t] += near[t];
    return s;
}

Signal runCanceller(EchoCanceller &c, const EchoScene &scene)
{
    const size_t f = static_cast<size_t>(c.frame()), refs = static_cast<size_t>(scene.references);
    const size_t total = scene.mic.size();
    Signal out(total + static_cast<size_t>(c.latency()) + f, 0.0f), ref(f * refs);
    for (size_t t = 0; t + f <= total; t += f) {
        for (size_t i = 0; i < f; ++i)
            for (size_t r = 0; r < refs; ++r)
                ref[i * refs + r] = scene.far[r][t + i];
        c.process(&scene.mic[t], ref.data(), &out[t]);
    }
    out.erase(out.begin(), out.begin() + c.latency());
    out.resize(total, 0.0f);
    return out;
}

namespace {

// ERLE of each 0.5 s window of [from, to).
std::vector<double> windowErle(const Signal &mic, const Signal &out, size_t from, size_t to)
{
    std::vector<double> erle;
    for (size_t t = from; t + kWindow <= to; t += kWindow)
        erle.push_back(db10(energy(&mic[t], kWindow) / energy(&out[t], kWindow)));
    return erle;
}

double mean(const std::vector<double> &v, size_t from, size_t to)
{
    double s = 0;
    for (size_t i = from; i < to; ++i)
        s += v[i];
    return to > from ? s / static_cast<double>(to - from) : 0.0;
}

// Mean ERLE of the 0.5 s windows of the last two seconds before `end`.
double steadyErle(const Signal &mic, const Signal &out, size_t end)
{
    const std::vector<double> w = windowErle(mic, out, end - 4 * kWindow, end);
    return mean(w, 0, w.size());
}

} // namespace

EchoFigures echoFigures(const EchoScene &scene, const Signal &out)
{
    EchoFigures f;
    f.erle = windowErle(scene.mic, out, 0, scene.speechAt);
    const size_t swapWindow = scene.swapAt / kWindow;
    f.steadyA = mean(f.erle, swapWindow - 4, swapWindow);
    f.steadyB = mean(f.erle, f.erle.size() - 4, f.erle.size());
    for (size_t i = 0; i < swapWindow; ++i) {
        const double end = static_cast<double>((i + 1) * kWindow) / kRate;
        if (f.to10 < 0 && f.erle[i] >= 10.0)
            f.to10 = end;
        if (f.to20 < 0 && f.erle[i] >= 20.0)
            f.to20 = end;
    }
    for (size_t i = swapWindow; i < f.erle.size() && f.reconverge20 < 0; ++i)
        if (f.erle[i] >= 20.0)
            f.reconverge20 = static_cast<double>((i + 1) * kWindow - scene.swapAt) / kRate;
    const size_t single = scene.doubleTalkAt - scene.speechAt;
    f.speechErle = db10(energy(&scene.mic[scene.speechAt], single) / energy(&out[scene.speechAt], single));
    const size_t talk = scene.doubleTalkEnd - scene.doubleTalkAt;
    f.doubleTalkLevel = db10(energy(&out[scene.doubleTalkAt], talk) / energy(&scene.mic[scene.doubleTalkAt], talk));
    f.doubleTalkWorst = -1e9;
    for (double e : windowErle(scene.mic, out, scene.doubleTalkAt, scene.doubleTalkEnd))
        f.doubleTalkWorst = std::max(f.doubleTalkWorst, -e);
    // The near-end noise alone, once the echo of the last far-end sound has died away.
    const size_t from = scene.quietAt + kRate / 4, n = scene.mic.size() - from;
    f.nearEndGain = std::sqrt(energy(&out[from], n) / energy(&scene.mic[from], n));
    return f;
}

constexpr uint32_t kV2 = 0xBEEF429Du, kV3 = 0xBEEF429Eu;

std::vector<uint32_t> aecArguments(const AecSettings &s)
{
    using kvetest::bitsOf;
    const auto taps = static_cast<uint32_t>(s.taps);
    // maxTaps, numTaps, noiseScale, timeConstant, alpha, spareValue, numIterations, postFilterEnable; the post-filter
    // stays off (its two table points are there for the table's own sake).
    std::vector<uint32_t> a = {taps, taps, bitsOf(s.noiseScale), bitsOf(s.timeConstant), 0, 0,
                               static_cast<uint32_t>(s.iterations), 0};
    if (s.classId == kV2)
        a.insert(a.end(), {0u, 0u, 2u, 0u}); // no freeze input, historyIndex, numTablePoints, spareWord
    else if (s.classId == kV3)
        a.insert(a.end(), {bitsOf(s.minTapVariance), 0u, 2u, 0u});
    else
        a.insert(a.end(), {0u, 2u, 0u}); // spareCount, numTablePoints, spareWord
    return a;
}

namespace {

class SubbandCanceller : public EchoCanceller {
public:
    SubbandCanceller(const AecSettings &s, int references)
        : refs_(references), mic_(s.size, s.hop), out_(s.size, s.hop),
          layout_(s.classId, s.size / 2 + 1, s.hop, {1u, static_cast<uint32_t>(references)}, {1u}, aecArguments(s)),
          spectrum_(static_cast<size_t>(s.size + 2))
    {
        for (int r = 0; r < references; ++r) {
            refStft_.push_back(std::make_unique<Stft>(s.size, s.hop));
            refHop_.emplace_back(static_cast<size_t>(s.hop));
        }
    }
    bool built() const { return layout_.built(); }
    int frame() const override { return mic_.hop(); }
    int latency() const override { return mic_.latency(); }
    void process(const float *mic, const float *ref, float *out) override
    {
        const int bins = mic_.bins(), hop = mic_.hop();
        mic_.analyse(mic, layout_.input(0));
        for (int r = 0; r < refs_; ++r) {
            for (int i = 0; i < hop; ++i)
                refHop_[r][i] = ref[i * refs_ + r];
            refStft_[r]->analyse(refHop_[r].data(), spectrum_.data());
            float *in = layout_.input(1);
            for (int k = 0; k < bins; ++k) {
                in[2 * (k * refs_ + r)] = spectrum_[2 * k];
                in[2 * (k * refs_ + r) + 1] = spectrum_[2 * k + 1];
            }
        }
        layout_.run();
        out_.synthesise(layout_.output(0), out);
    }

private:
    int refs_;
    Stft mic_, out_;
    std::vector<std::unique_ptr<Stft>> refStft_;
    std::vector<std::vector<float>> refHop_;
    SubbandLayout layout_;
    std::vector<float> spectrum_;
};

// The subband spectra of one signal over [0, samples).
std::vector<float> spectra(const Signal &x, int size, int hop, size_t samples)
{
    Stft t(size, hop);
    const size_t blocks = samples / static_cast<size_t>(hop), width = static_cast<size_t>(2 * t.bins());
    std::vector<float> s(blocks * width);
    for (size_t b = 0; b < blocks; ++b)
        t.analyse(&x[b * static_cast<size_t>(hop)], &s[b * width]);
    return s;
}

// The resynthesised signal of block-by-block spectra, aligned with the input.
Signal resynthesise(const std::vector<float> &s, int size, int hop)
{
    Stft t(size, hop);
    const size_t width = static_cast<size_t>(2 * t.bins()), blocks = s.size() / width;
    Signal y(blocks * static_cast<size_t>(hop));
    for (size_t b = 0; b < blocks; ++b)
        t.synthesise(&s[b * width], &y[b * static_cast<size_t>(hop)]);
    y.erase(y.begin(), y.begin() + t.latency());
    return y;
}

using cd = std::complex<double>;

// Solves a x = b (n × n, row-major) by Gaussian elimination with partial pivoting.
std::vector<cd> solve(std::vector<cd> a, std::vector<cd> b, size_t n)
{
    for (size_t col = 0; col < n; ++col) {
        size_t pivot = col;
        for (size_t r = col + 1; r < n; ++r)
            if (std::abs(a[r * n + col]) > std::abs(a[pivot * n + col]))
                pivot = r;
        for (size_t c = 0; c < n; ++c)
            std::swap(a[col * n + c], a[pivot * n + c]);
        std::swap(b[col], b[pivot]);
        if (std::abs(a[col * n + col]) == 0.0)
            continue;
        for (size_t r = col + 1; r < n; ++r) {
            const cd f = a[r * n + col] / a[col * n + col];
            for (size_t c = col; c < n; ++c)
                a[r * n + c] -= f * a[col * n + c];
            b[r] -= f * b[col];
        }
    }
    std::vector<cd> x(n);
    for (size_t r = n; r-- > 0;) {
        cd v = b[r];
        for (size_t c = r + 1; c < n; ++c)
            v -= a[r * n + c] * x[c];
        x[r] = std::abs(a[r * n + r]) == 0.0 ? cd{} : v / a[r * n + r];
    }
    return x;
}

} // namespace

std::unique_ptr<EchoCanceller> subbandCanceller(const AecSettings &s, int references)
{
    return builtOrNull<EchoCanceller, SubbandCanceller>(s, references);
}

namespace {

class ChainCanceller : public EchoCanceller {
public:
    ChainCanceller(const AecSettings &s, int references)
        : refs_(static_cast<size_t>(references)), chain_(s.size, s.hop, static_cast<float>(kRate))
    {
        mic_ = chain_.timeWire(1);
        ref_ = chain_.timeWire(static_cast<uint32_t>(references));
        GenericWire *micSpectrum = chain_.analysis(mic_), *refSpectrum = chain_.analysis(ref_);
        GenericWire *clean = chain_.spectrumWire(1);
        chain_.add(s.classId, {micSpectrum, refSpectrum}, {clean}, aecArguments(s));
        out_ = chain_.synthesis(clean);
        built_ = out_ != nullptr && chain_.place();
    }
    bool built() const { return built_; }
    int frame() const override { return chain_.hop(); }
    int latency() const override { return chain_.latency(); }
    void process(const float *mic, const float *ref, float *out) override
    {
        const size_t hop = static_cast<size_t>(chain_.hop());
        std::copy_n(mic, hop, kvetest::FrequencyChain::samples(mic_));
        std::copy_n(ref, hop * refs_, kvetest::FrequencyChain::samples(ref_));
        chain_.run();
        std::copy_n(kvetest::FrequencyChain::samples(out_), hop, out);
    }

private:
    size_t refs_;
    kvetest::FrequencyChain chain_;
    GenericWire *mic_ = nullptr, *ref_ = nullptr, *out_ = nullptr;
    bool built_ = false;
};

} // namespace

std::unique_ptr<EchoCanceller> chainCanceller(const AecSettings &s, int references)
{
    return builtOrNull<EchoCanceller, ChainCanceller>(s, references);
}

SubbandFrames subbandFrames(const EchoScene &scene, int size, int hop, size_t samples)
{
    SubbandFrames f;
    f.bins = size / 2 + 1;
    f.blocks = static_cast<int>(samples / static_cast<size_t>(hop));
    f.references = scene.references;
    f.mic = spectra(scene.mic, size, hop, samples);
    std::vector<std::vector<float>> refs;
    for (const Signal &x : scene.far)
        refs.push_back(spectra(x, size, hop, samples));
    const size_t R = refs.size(), bins = static_cast<size_t>(f.bins);
    f.ref.resize(f.mic.size() * R);
    for (size_t b = 0; b < static_cast<size_t>(f.blocks); ++b)
        for (size_t k = 0; k < bins; ++k)
            for (size_t r = 0; r < R; ++r)
                for (size_t part = 0; part < 2; ++part)
                    f.ref[2 * ((b * bins + k) * R + r) + part] = refs[r][2 * (b * bins + k) + part];
    return f;
}

double subbandOutputErle(const EchoScene &scene, int size, int hop, const std::vector<float> &out)
{
    Signal y = resynthesise(out, size, hop);
    y.resize(scene.mic.size(), 0.0f);
    return steadyErle(scene.mic, y, scene.swapAt);
}

double leastSquaresCeiling(const EchoScene &scene, int size, int hop, int taps)
{
    const size_t samples = scene.swapAt + static_cast<size_t>(size);
    const SubbandFrames f = subbandFrames(scene, size, hop, samples);
    // Fitted over the blocks of the first echo path only.
    const size_t fitted = scene.swapAt / static_cast<size_t>(hop), bins = static_cast<size_t>(f.bins);
    const size_t R = static_cast<size_t>(f.references), L = static_cast<size_t>(taps), n = L * R;
    std::vector<float> out(f.mic);
    auto ref = [&](size_t b, size_t i, size_t k, size_t r) {
        if (b < i)
            return cd{};
        const size_t at = 2 * (((b - i) * bins + k) * R + r);
        return cd(f.ref[at], f.ref[at + 1]);
    };
    for (size_t k = 0; k < bins; ++k) {
        std::vector<cd> a(n * n), p(n), x(n);
        for (size_t b = 0; b < fitted; ++b) {
            for (size_t j = 0; j < n; ++j)
                x[j] = ref(b, j / R, k, j % R);
            const cd d(f.mic[2 * (b * bins + k)], f.mic[2 * (b * bins + k) + 1]);
            for (size_t j = 0; j < n; ++j) {
                p[j] += std::conj(x[j]) * d;
                for (size_t i = 0; i < n; ++i)
                    a[j * n + i] += std::conj(x[j]) * x[i];
            }
        }
        const std::vector<cd> w = solve(a, p, n);
        for (size_t b = 0; b < static_cast<size_t>(f.blocks); ++b) {
            cd e(f.mic[2 * (b * bins + k)], f.mic[2 * (b * bins + k) + 1]);
            for (size_t j = 0; j < n; ++j)
                e -= w[j] * ref(b, j / R, k, j % R);
            out[2 * (b * bins + k)] = static_cast<float>(e.real());
            out[2 * (b * bins + k) + 1] = static_cast<float>(e.imag());
        }
    }
    return subbandOutputErle(scene, size, hop, out);
}

// ---- Noise ----

namespace {

constexpr size_t kSegment = kRate / 50; // 20 ms
constexpr uint32_t kReducer = 0xBEEF43C4u;

const char *const kNoiseText = "Noise reduction keeps the words clear while the hiss around them fades away. "
                               "She sells sea shells by the sea shore, and the shells she sells are surely shells.";

class SubbandReducer : public Denoiser {
public:
    SubbandReducer(int size, int hop, float minGainDb, float overEstimate)
        : in_(size, hop), out_(size, hop),
          layout_(kReducer, size / 2 + 1, hop, {1u}, {1u}, reducerArguments(minGainDb, overEstimate))
    {
    }
    bool built() const { return layout_.built(); }
    int frame() const override { return in_.hop(); }
    void process(const float *in, float *out) override
    {
        in_.analyse(in, layout_.input(0));
        layout_.run();
        out_.synthesise(layout_.output(0), out);
    }

private:
    Stft in_, out_;
    SubbandLayout layout_;
};

class ChainReducer : public Denoiser {
public:
    ChainReducer(int size, int hop, float minGainDb, float overEstimate) : chain_(size, hop, static_cast<float>(kRate))
    {
        in_ = chain_.timeWire(1);
        GenericWire *noisy = chain_.analysis(in_), *clean = chain_.spectrumWire(1);
        chain_.add(kReducer, {noisy}, {clean}, reducerArguments(minGainDb, overEstimate));
        out_ = chain_.synthesis(clean);
        built_ = out_ != nullptr && chain_.place();
    }
    bool built() const { return built_; }
    int frame() const override { return chain_.hop(); }
    void process(const float *in, float *out) override
    {
        const size_t hop = static_cast<size_t>(chain_.hop());
        std::copy_n(in, hop, kvetest::FrequencyChain::samples(in_));
        chain_.run();
        std::copy_n(kvetest::FrequencyChain::samples(out_), hop, out);
    }

private:
    kvetest::FrequencyChain chain_;
    GenericWire *in_ = nullptr, *out_ = nullptr;
    bool built_ = false;
};

// The gain a on the clean segment s that leaves the least of y - a s: the speech the segment keeps.
double gainOn(const float *y, const float *s)
{
    double ys = 0, ss = 0;
    for (size_t i = 0; i < kSegment; ++i) {
        ys += static_cast<double>(y[i]) * s[i];
        ss += static_cast<double>(s[i]) * s[i];
    }
    return ys / ss;
}

// A segment's SNR with the speech it keeps as the signal and all else as noise, held to -10 .. 35 dB: a change of
// level alone is no noise.
double scaledSnr(const float *y, const float *s)
{
    const double a = gainOn(y, s);
    double signal = 0, noise = 0;
    for (size_t i = 0; i < kSegment; ++i) {
        signal += a * s[i] * a * s[i];
        noise += (y[i] - a * s[i]) * (y[i] - a * s[i]);
    }
    return std::clamp(db10(signal / noise), -10.0, 35.0);
}

// The lag (0 .. 1023 samples) at which the output best matches the clean speech, over the first two seconds of it.
size_t lagOf(const Signal &out, const Signal &clean, size_t from)
{
    const size_t to = std::min(clean.size(), from + 2 * static_cast<size_t>(kRate));
    size_t best = 0;
    double bestScore = -1e300;
    for (size_t lag = 0; lag < 1024; ++lag) {
        double s = 0;
        for (size_t t = from; t < to && t + lag < out.size(); t += 4)
            s += static_cast<double>(out[t + lag]) * clean[t];
        if (s > bestScore) {
            bestScore = s;
            best = lag;
        }
    }
    return best;
}

} // namespace

std::vector<uint32_t> reducerArguments(float minGainDb, float overEstimate)
{
    std::vector<uint32_t> a(15, 0u);
    a[0] = kvetest::bitsOf(minGainDb);
    a[1] = kvetest::bitsOf(overEstimate);
    return a;
}

std::unique_ptr<Denoiser> subbandReducer(int size, int hop, float minGainDb, float overEstimate)
{
    return builtOrNull<Denoiser, SubbandReducer>(size, hop, minGainDb, overEstimate);
}

std::unique_ptr<Denoiser> chainReducer(int size, int hop, float minGainDb, float overEstimate)
{
    return builtOrNull<Denoiser, ChainReducer>(size, hop, minGainDb, overEstimate);
}

NoiseScene makeNoiseScene(bool pink, double snrDb, double scale)
{
    NoiseScene s;
    const double level = 0.1;
    const Signal x = speech("en-us", kNoiseText, level);
    const size_t lead = static_cast<size_t>(s.lead * kRate);
    s.clean.assign(lead, 0.0f);
    s.clean.insert(s.clean.end(), x.begin(), x.end());
    s.clean.resize(s.clean.size() + kRate / 2, 0.0f);
    const double noiseLevel = level * std::pow(10.0, -snrDb / 20.0);
    const Signal n = pink ? pinkNoise(s.clean.size(), noiseLevel, 5) : whiteNoise(s.clean.size(), noiseLevel, 5);
    s.noisy.resize(s.clean.size());
    for (size_t t = 0; t < s.clean.size(); ++t) {
        s.clean[t] = static_cast<float>(s.clean[t] * scale);
        s.noisy[t] = static_cast<float>(s.clean[t] + n[t] * scale);
    }
    return s;
}

Signal runDenoiser(Denoiser &d, const Signal &in)
{
    const size_t f = static_cast<size_t>(d.frame());
    Signal out(in.size(), 0.0f);
    for (size_t t = 0; t + f <= in.size(); t += f)
        d.process(&in[t], &out[t]);
    return out;
}

NoiseFigures noiseFigures(const NoiseScene &scene, const Signal &rawOut)
{
    const size_t from = static_cast<size_t>(scene.lead * kRate), to = scene.clean.size() - kSegment;
    Signal out(rawOut.begin() + static_cast<std::ptrdiff_t>(lagOf(rawOut, scene.clean, from)), rawOut.end());
    out.resize(scene.clean.size(), 0.0f);
    double peak = 0;
    for (size_t t = from; t + kSegment <= to; t += kSegment)
        peak = std::max(peak, energy(&scene.clean[t], kSegment));
    NoiseFigures f;
    double pauseIn = 0, pauseOut = 0, speechEnergy = 0, keptEnergy = 0;
    size_t active = 0;
    for (size_t t = from; t + kSegment <= to; t += kSegment) {
        const float *s = &scene.clean[t];
        const double es = energy(s, kSegment);
        if (es > peak * 1e-4) {
            const double kept = gainOn(&out[t], s);
            f.segSnrIn += scaledSnr(&scene.noisy[t], s);
            f.segSnrOut += scaledSnr(&out[t], s);
            keptEnergy += kept * kept * es;
            speechEnergy += es;
            ++active;
        } else if (es < peak * 1e-7) {
            pauseIn += energy(&scene.noisy[t], kSegment);
            pauseOut += energy(&out[t], kSegment);
        }
    }
    f.segSnrIn /= static_cast<double>(std::max<size_t>(active, 1));
    f.segSnrOut /= static_cast<double>(std::max<size_t>(active, 1));
    f.noiseAttenuation = db10(pauseIn / pauseOut);
    f.speechAttenuation = db10(speechEnergy / keptEnergy);
    return f;
}

} // namespace voice
