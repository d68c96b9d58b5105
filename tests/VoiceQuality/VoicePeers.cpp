#include "VoiceQuality/VoicePeers.h"

#include <algorithm>
#include <cmath>
#include <vector>

#if KVE_VOICE_SPEEXDSP
#include <speex/speex_echo.h>
#include <speex/speex_preprocess.h>
#endif
#if KVE_VOICE_WEBRTC
#include <webrtc/common.h>
#include <webrtc/modules/audio_processing/include/audio_processing.h>
#endif

namespace voice {

namespace {

// The 16-bit peers take samples at full scale 32768, saturated.
[[maybe_unused]] int16_t toPcm(float v)
{
    return static_cast<int16_t>(std::clamp(std::lround(v * 32768.0f), -32768L, 32767L));
}

} // namespace

#if KVE_VOICE_SPEEXDSP
namespace {

class SpeexCanceller : public EchoCanceller {
public:
    SpeexCanceller(int frame, int tail, int references)
        : frame_(frame), refs_(references),
          st_(speex_echo_state_init_mc(frame, tail, 1, references)), mic_(frame), ref_(frame * references),
          out_(frame)
    {
        int rate = kRate;
        speex_echo_ctl(st_, SPEEX_ECHO_SET_SAMPLING_RATE, &rate);
    }
    ~SpeexCanceller() override { speex_echo_state_destroy(st_); }
    int frame() const override { return frame_; }
    void process(const float *mic, const float *ref, float *out) override
    {
        for (int i = 0; i < frame_; ++i)
            mic_[i] = toPcm(mic[i]);
        for (int i = 0; i < frame_ * refs_; ++i)
            ref_[i] = toPcm(ref[i]);
        speex_echo_cancellation(st_, mic_.data(), ref_.data(), out_.data());
        for (int i = 0; i < frame_; ++i)
            out[i] = static_cast<float>(out_[i]) / 32768.0f;
    }

private:
    int frame_, refs_;
    SpeexEchoState *st_;
    std::vector<spx_int16_t> mic_, ref_, out_;
};

class SpeexDenoiser : public Denoiser {
public:
    SpeexDenoiser(int frame, int floorDb) : frame_(frame), st_(speex_preprocess_state_init(frame, kRate)), pcm_(frame)
    {
        int on = 1, off = 0;
        speex_preprocess_ctl(st_, SPEEX_PREPROCESS_SET_DENOISE, &on);
        speex_preprocess_ctl(st_, SPEEX_PREPROCESS_SET_NOISE_SUPPRESS, &floorDb);
        speex_preprocess_ctl(st_, SPEEX_PREPROCESS_SET_AGC, &off);
        speex_preprocess_ctl(st_, SPEEX_PREPROCESS_SET_VAD, &off);
        speex_preprocess_ctl(st_, SPEEX_PREPROCESS_SET_DEREVERB, &off);
    }
    ~SpeexDenoiser() override { speex_preprocess_state_destroy(st_); }
    int frame() const override { return frame_; }
    void process(const float *in, float *out) override
    {
        for (int i = 0; i < frame_; ++i)
            pcm_[i] = toPcm(in[i]);
        speex_preprocess_run(st_, pcm_.data());
        for (int i = 0; i < frame_; ++i)
            out[i] = static_cast<float>(pcm_[i]) / 32768.0f;
    }

private:
    int frame_;
    SpeexPreprocessState *st_;
    std::vector<spx_int16_t> pcm_;
};

} // namespace

std::unique_ptr<EchoCanceller> speexCanceller(int frame, int tail, int references)
{
    return std::make_unique<SpeexCanceller>(frame, tail, references);
}

std::unique_ptr<Denoiser> speexDenoiser(int frame, int floorDb)
{
    return std::make_unique<SpeexDenoiser>(frame, floorDb);
}
#else
std::unique_ptr<EchoCanceller> speexCanceller(int, int, int) { return nullptr; }
std::unique_ptr<Denoiser> speexDenoiser(int, int) { return nullptr; }
#endif

#if KVE_VOICE_WEBRTC
namespace {

constexpr int kWebrtcFrame = kRate / 100;

// One processing instance; the canceller feeds the far end through the reverse stream first, frame by frame.
class WebrtcProcessing {
public:
    explicit WebrtcProcessing(bool echo)
    {
        webrtc::Config config;
        config.Set<webrtc::ExtendedFilter>(new webrtc::ExtendedFilter(true));
        apm_.reset(webrtc::AudioProcessing::Create(config));
        if (echo) {
            apm_->echo_cancellation()->enable_drift_compensation(false);
            apm_->echo_cancellation()->set_suppression_level(webrtc::EchoCancellation::kModerateSuppression);
            apm_->echo_cancellation()->Enable(true);
        } else {
            apm_->noise_suppression()->set_level(webrtc::NoiseSuppression::kHigh);
            apm_->noise_suppression()->Enable(true);
        }
    }
    void reverse(const float *const *far, int channels)
    {
        apm_->AnalyzeReverseStream(far, kWebrtcFrame, kRate,
                                   channels == 2 ? webrtc::AudioProcessing::kStereo : webrtc::AudioProcessing::kMono);
    }
    void process(const float *in, float *out, bool echo)
    {
        if (echo)
            apm_->set_stream_delay_ms(0);
        const float *src[1] = {in};
        float *dst[1] = {out};
        apm_->ProcessStream(src, kWebrtcFrame, kRate, webrtc::AudioProcessing::kMono, kRate,
                            webrtc::AudioProcessing::kMono, dst);
    }

private:
    std::unique_ptr<webrtc::AudioProcessing> apm_;
};

class WebrtcCanceller : public EchoCanceller {
public:
    explicit WebrtcCanceller(int references) : refs_(references), apm_(true), far_(references) {}
    int frame() const override { return kWebrtcFrame; }
    void process(const float *mic, const float *ref, float *out) override
    {
        const float *channels[2];
        for (int r = 0; r < refs_; ++r) {
            far_[r].resize(kWebrtcFrame);
            for (int i = 0; i < kWebrtcFrame; ++i)
                far_[r][i] = ref[i * refs_ + r];
            channels[r] = far_[r].data();
        }
        apm_.reverse(channels, refs_);
        apm_.process(mic, out, true);
    }

private:
    int refs_;
    WebrtcProcessing apm_;
    std::vector<std::vector<float>> far_;
};

class WebrtcDenoiser : public Denoiser {
public:
    WebrtcDenoiser() : apm_(false) {}
    int frame() const override { return kWebrtcFrame; }
    void process(const float *in, float *out) override { apm_.process(in, out, false); }

private:
    WebrtcProcessing apm_;
};

} // namespace

std::unique_ptr<EchoCanceller> webrtcCanceller(int references)
{
    return references <= 2 ? std::make_unique<WebrtcCanceller>(references) : nullptr;
}
std::unique_ptr<Denoiser> webrtcDenoiser() { return std::make_unique<WebrtcDenoiser>(); }
#else
std::unique_ptr<EchoCanceller> webrtcCanceller(int) { return nullptr; }
std::unique_ptr<Denoiser> webrtcDenoiser() { return nullptr; }
#endif

} // namespace voice
