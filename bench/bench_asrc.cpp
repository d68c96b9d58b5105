// The sample-rate converter on a 1 kHz sine at -6 dBFS, mono and stereo, 48000 -> 44100 Hz (a set made here from the
// 140 dB, M = 64 table: nominal step for that pair, step fixed, no loop filter) and 51200 -> 48000 Hz (its stored
// 100 dB set, also at its fixed nominal step), beside speexdsp (qualities 10 and 5), libsamplerate (best and fastest
// band-limited converters) and soxr (24- and 16-bit qualities) where they are installed, all fed the same input in
// blocks of 768 frames. Each run reports the time per output frame, the multiple of real time at the output rate
// and the THD+N of the converter's output (a least-squares sine fit in double precision, measured before timing), so
// speed is compared at a known quality. The converter's readers are measured through their calls and, beside them,
// in their scalar and four-lane forms, which give the same words.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "Dsp/Asrc/Asrc.h"
#include "kve/kve_asrc.h"

#if KVE_BENCH_SPEEXDSP
#include <speex/speex_resampler.h>
#endif
#if KVE_BENCH_SAMPLERATE
#include <samplerate.h>
#endif
#if KVE_BENCH_SOXR
#include <soxr.h>
#endif

namespace {

struct RatePair {
    const char *name;
    double inputRate;
    double outputRate;
};

constexpr RatePair kRates[] = {{"48000_to_44100", 48000.0, 44100.0}, {"51200_to_48000", 51200.0, 48000.0}};

// 768 frames hold a whole number of periods of 1 kHz at both input rates (16 at 48 kHz, 15 at 51.2 kHz), so one block
// repeated is a continuous sine.
constexpr int kBlock = 768;
constexpr double kToneHz = 1000.0;
constexpr double kAmplitude = 0.5;
// Blocks converted for the quality measurement, and output frames left out of the fit while the filters fill.
constexpr int kQualityBlocks = 128;
constexpr int64_t kSettleFrames = 8192;

// The input block at a rate: channel c's sine starts c / 2 radians later, so a reader that swapped or repeated planes
// shows in the fit.
struct InputBlock {
    std::vector<float> floats;
    std::vector<int32_t> words;

    InputBlock(double rate, int channels)
    {
        for (int i = 0; i < kBlock; ++i) {
            for (int c = 0; c < channels; ++c) {
                const double v =
                    kAmplitude * std::sin(2.0 * std::numbers::pi * kToneHz * i / rate + 0.5 * c);
                floats.push_back(static_cast<float>(v));
                words.push_back(static_cast<int32_t>(std::lround(v * 2147483648.0)));
            }
        }
    }
};

// THD+N in dB of one channel's output: everything but the best-fitting sine at the tone (and DC), over the sine.
double thdnDb(const std::vector<double> &x, double outputRate)
{
    const double w = 2.0 * std::numbers::pi * kToneHz / outputRate;
    const auto n = static_cast<int64_t>(x.size());
    // Normal equations of x ~ a cos + b sin + d.
    double m[3][4] = {};
    for (int64_t i = kSettleFrames; i < n; ++i) {
        const double t = w * static_cast<double>(i);
        const double basis[3] = {std::cos(t), std::sin(t), 1.0};
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c) {
                m[r][c] += basis[r] * basis[c];
            }
            m[r][3] += basis[r] * x[static_cast<size_t>(i)];
        }
    }
    for (int p = 0; p < 3; ++p) {
        for (int r = p + 1; r < 3; ++r) {
            const double f = m[r][p] / m[p][p];
            for (int c = p; c < 4; ++c) {
                m[r][c] -= f * m[p][c];
            }
        }
    }
    double coef[3];
    for (int r = 2; r >= 0; --r) {
        double v = m[r][3];
        for (int c = r + 1; c < 3; ++c) {
            v -= m[r][c] * coef[c];
        }
        coef[r] = v / m[r][r];
    }
    double residual = 0.0;
    double tone = 0.0;
    for (int64_t i = kSettleFrames; i < n; ++i) {
        const double t = w * static_cast<double>(i);
        const double s = coef[0] * std::cos(t) + coef[1] * std::sin(t);
        const double e = x[static_cast<size_t>(i)] - s - coef[2];
        residual += e * e;
        tone += s * s;
    }
    return 10.0 * std::log10(residual / tone);
}

// One converter fed the shared input block: run() converts one block and returns the output frames, which sample()
// then gives as doubles in -1..1.
class Resampler {
public:
    virtual ~Resampler() = default;
    virtual int64_t run() = 0;
    virtual double sample(int64_t frame, int channel) const = 0;
};

enum class Form { Call, Scalar, FourLanes, EightLanes };

// The converter on its own ring, at a fixed step with the loop filter off.
template <typename Interp>
class KveConverter final : public Resampler {
public:
    KveConverter(const qirn_asrc_props &props, const InputBlock &in, int channels, Form form)
        : props_(props), in_(in), channels_(channels), form_(form),
          ring_(size_t{kRing} * static_cast<size_t>(channels)), out_(size_t{kRing} * static_cast<size_t>(channels))
    {
        qirn_asrc_init_Q31(&props_, ring_.data(), kRing, 0, static_cast<uint32_t>(channels), &state_);
        state_.regulate = 0;
    }

    int64_t run() override
    {
        qirn_asrc_write_input_Q31(&state_, in_.words.data(), kBlock);
        const int32_t n = qirn_asrc_output_avail(&state_);
        if (n < 1) {
            return 0;
        }
        switch (form_) {
        case Form::Call:
            if constexpr (Interp::kRows == 4) {
                qirn_asrc_read_output_cubic_Q31(&state_, out_.data(), n);
            } else {
                qirn_asrc_read_output_linear_Q31(&state_, out_.data(), n);
            }
            break;
        case Form::Scalar:
            kve_asrcReadFrames<Interp, AsrcForm::Scalar>(&state_, out_.data(), n);
            break;
        case Form::FourLanes:
            kve_asrcReadFrames<Interp, AsrcForm::FourLanes>(&state_, out_.data(), n);
            break;
        case Form::EightLanes:
#if defined(__AVX2__)
            kve_asrcReadFrames<Interp, AsrcForm::EightLanes>(&state_, out_.data(), n);
#endif
            break;
        }
        return n;
    }

    double sample(int64_t frame, int channel) const override
    {
        return out_[static_cast<size_t>(frame * channels_ + channel)] / 2147483648.0;
    }

private:
    // Room for a block, the filter window and the step's share of both, many times over.
    static constexpr uint32_t kRing = 4096;
    qirn_asrc_props props_;
    const InputBlock &in_;
    int channels_;
    Form form_;
    std::vector<int32_t> ring_;
    std::vector<int32_t> out_;
    qirn_asrc_state state_{};
};

// Output room of the peers: twice a block of frames at the highest ratio measured.
constexpr size_t kPeerOutFrames = 2 * kBlock;

class FloatPeer : public Resampler {
public:
    FloatPeer(const InputBlock &in, int channels)
        : in_(in), channels_(channels), out_(kPeerOutFrames * static_cast<size_t>(channels))
    {
    }

    double sample(int64_t frame, int channel) const override
    {
        return out_[static_cast<size_t>(frame * channels_ + channel)];
    }

protected:
    const InputBlock &in_;
    int channels_;
    std::vector<float> out_;
};

#if KVE_BENCH_SPEEXDSP
class SpeexPeer final : public FloatPeer {
public:
    SpeexPeer(const RatePair &rates, const InputBlock &in, int channels, int quality) : FloatPeer(in, channels)
    {
        int err = 0;
        st_ = speex_resampler_init(static_cast<spx_uint32_t>(channels), static_cast<spx_uint32_t>(rates.inputRate),
                                   static_cast<spx_uint32_t>(rates.outputRate), quality, &err);
        speex_resampler_skip_zeros(st_);
    }
    ~SpeexPeer() override { speex_resampler_destroy(st_); }

    int64_t run() override
    {
        spx_uint32_t inLen = kBlock;
        spx_uint32_t outLen = kPeerOutFrames;
        speex_resampler_process_interleaved_float(st_, in_.floats.data(), &inLen, out_.data(), &outLen);
        return outLen;
    }

private:
    SpeexResamplerState *st_ = nullptr;
};
#endif

#if KVE_BENCH_SAMPLERATE
class SampleratePeer final : public FloatPeer {
public:
    SampleratePeer(const RatePair &rates, const InputBlock &in, int channels, int type)
        : FloatPeer(in, channels), ratio_(rates.outputRate / rates.inputRate)
    {
        int err = 0;
        st_ = src_new(type, channels, &err);
    }
    ~SampleratePeer() override { src_delete(st_); }

    int64_t run() override
    {
        SRC_DATA d{};
        d.data_in = in_.floats.data();
        d.input_frames = kBlock;
        d.data_out = out_.data();
        d.output_frames = static_cast<long>(kPeerOutFrames);
        d.src_ratio = ratio_;
        src_process(st_, &d);
        return d.output_frames_gen;
    }

private:
    double ratio_;
    SRC_STATE *st_ = nullptr;
};
#endif

#if KVE_BENCH_SOXR
class SoxrPeer final : public FloatPeer {
public:
    SoxrPeer(const RatePair &rates, const InputBlock &in, int channels, unsigned long quality) : FloatPeer(in, channels)
    {
        soxr_error_t err = nullptr;
        const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
        const soxr_quality_spec_t q = soxr_quality_spec(quality, 0);
        // One thread: every converter here runs on one core.
        const soxr_runtime_spec_t rt = soxr_runtime_spec(1);
        st_ = soxr_create(rates.inputRate, rates.outputRate, static_cast<unsigned>(channels), &err, &io, &q, &rt);
    }
    ~SoxrPeer() override { soxr_delete(st_); }

    int64_t run() override
    {
        size_t used = 0;
        size_t made = 0;
        soxr_process(st_, in_.floats.data(), kBlock, &used, out_.data(), kPeerOutFrames, &made);
        return static_cast<int64_t>(made);
    }

private:
    soxr_t st_ = nullptr;
};
#endif

// The set the 48000 -> 44100 runs use: the 140 dB, M = 64 table at that pair's nominal step.
qirn_asrc_props downTo44100()
{
    qirn_asrc_props p = QIRN_ASRC_48000_TO_48000_64M_140DB_PROPS;
    p.nominalStep = std::llround(64.0 * 4294967296.0 * 48000.0 / 44100.0);
    p.inputRate = 48000.0f;
    p.outputRate = 44100.0f;
    return p;
}

using Factory = std::unique_ptr<Resampler> (*)(const RatePair &, const InputBlock &, int);

template <typename Interp, Form form>
std::unique_ptr<Resampler> kve(const RatePair &rates, const InputBlock &in, int channels)
{
    const qirn_asrc_props props =
        rates.inputRate == 48000.0 ? downTo44100() : QIRN_ASRC_51200_TO_48000_64M_100DB_PROPS;
    return std::make_unique<KveConverter<Interp>>(props, in, channels, form);
}

#if KVE_BENCH_SPEEXDSP
template <int quality>
std::unique_ptr<Resampler> speex(const RatePair &rates, const InputBlock &in, int channels)
{
    return std::make_unique<SpeexPeer>(rates, in, channels, quality);
}
#endif
#if KVE_BENCH_SAMPLERATE
template <int type>
std::unique_ptr<Resampler> samplerate(const RatePair &rates, const InputBlock &in, int channels)
{
    return std::make_unique<SampleratePeer>(rates, in, channels, type);
}
#endif
#if KVE_BENCH_SOXR
template <unsigned long quality>
std::unique_ptr<Resampler> soxr(const RatePair &rates, const InputBlock &in, int channels)
{
    return std::make_unique<SoxrPeer>(rates, in, channels, quality);
}
#endif

struct Converter {
    const char *name;
    Factory make;
};

const Converter kConverters[] = {
    {"kve_cubic", kve<AsrcCubic, Form::Call>},
    {"kve_cubic_scalar", kve<AsrcCubic, Form::Scalar>},
    {"kve_cubic_four_lanes", kve<AsrcCubic, Form::FourLanes>},
#if defined(__AVX2__)
    {"kve_cubic_eight_lanes", kve<AsrcCubic, Form::EightLanes>},
#endif
    {"kve_linear", kve<AsrcLinear, Form::Call>},
    {"kve_linear_scalar", kve<AsrcLinear, Form::Scalar>},
    {"kve_linear_four_lanes", kve<AsrcLinear, Form::FourLanes>},
#if defined(__AVX2__)
    {"kve_linear_eight_lanes", kve<AsrcLinear, Form::EightLanes>},
#endif
#if KVE_BENCH_SPEEXDSP
    {"speexdsp_q10", speex<10>},
    {"speexdsp_q5", speex<5>},
#endif
#if KVE_BENCH_SAMPLERATE
    {"samplerate_best", samplerate<SRC_SINC_BEST_QUALITY>},
    {"samplerate_fastest", samplerate<SRC_SINC_FASTEST>},
#endif
#if KVE_BENCH_SOXR
    {"soxr_24bit", soxr<SOXR_24_BITQ>},
    {"soxr_16bit", soxr<SOXR_16_BITQ>},
#endif
};

// The worst channel's THD+N of a fresh converter over kQualityBlocks blocks.
double measureThdn(const Converter &conv, const RatePair &rates, const InputBlock &in, int channels)
{
    const std::unique_ptr<Resampler> r = conv.make(rates, in, channels);
    std::vector<std::vector<double>> out(static_cast<size_t>(channels));
    for (int b = 0; b < kQualityBlocks; ++b) {
        const int64_t n = r->run();
        for (int64_t f = 0; f < n; ++f) {
            for (int c = 0; c < channels; ++c) {
                out[static_cast<size_t>(c)].push_back(r->sample(f, c));
            }
        }
    }
    double worst = -400.0;
    for (const auto &x : out) {
        worst = std::max(worst, thdnDb(x, rates.outputRate));
    }
    return worst;
}

void runConverter(benchmark::State &state, const Converter &conv, const RatePair &rates, int channels)
{
    const InputBlock in(rates.inputRate, channels);
    const double thdn = measureThdn(conv, rates, in, channels);
    const std::unique_ptr<Resampler> r = conv.make(rates, in, channels);
    int64_t frames = 0;
    for (auto _ : state) {
        frames += r->run();
        benchmark::ClobberMemory();
    }
    const auto total = static_cast<double>(frames);
    state.counters["time_per_frame"] =
        benchmark::Counter(total, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["realtime_x"] = benchmark::Counter(total / rates.outputRate, benchmark::Counter::kIsRate);
    state.counters["thdn_db"] = thdn;
}

// Every converter at every rate pair, mono then stereo, in one run.
const bool kRegistered = [] {
    for (const RatePair &rates : kRates) {
        for (const Converter &conv : kConverters) {
            for (int channels : {1, 2}) {
                const std::string name = std::string("BM_Asrc/") + rates.name + "/" + conv.name +
                                         (channels == 1 ? "/mono" : "/stereo");
                benchmark::RegisterBenchmark(name.c_str(), runConverter, conv, rates, channels);
            }
        }
    }
    return true;
}();

} // namespace
