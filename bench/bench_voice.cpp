// The voice front end's classes at 129 subbands (a 256-point transform, hop 128, 16 kHz: one block every 8 ms):
// cancellers of 12 taps and 2 passes, the beamformers on 4 microphones and 8 directions, the splitter and the noise
// reducer, each as a one-module layout; beside them the peers' cost per frame of their own. Every figure is given
// per block or frame and as a multiple of real time. The quality runs report the measured figures of the voice
// tests as counters: ERLE and convergence of every canceller and peer, and the noise reducers' SNR and segmental SNR
// gains.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "VoiceQuality/VoicePeers.h"
#include "VoiceQuality/VoiceRig.h"

namespace {

using namespace voice;

constexpr int kBins = 129, kHop = 128;
constexpr uint32_t kV1 = 0xBEEF429Au, kV2 = 0xBEEF429Du, kV3 = 0xBEEF429Eu, kStereo = 0xBEEF429Bu;
constexpr uint32_t kBeamformer = 0xBEEF42FCu, kBeamformerV2 = 0xBEEF42FDu, kSplitter = 0xBEEF0D31u;
constexpr uint32_t kReducer = 0xBEEF43C4u;
constexpr uint32_t kMics = 4, kDirections = 8, kBands = 4;

// Time per call (a block of a class, a frame of a peer) and the multiple of real time, for work that stands for
// `seconds` of audio per call.
void report(benchmark::State &state, double seconds, const char *per = "ns_per_block")
{
    const auto n = static_cast<double>(state.iterations());
    state.counters[per] =
        benchmark::Counter(n * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["realtime_x"] = benchmark::Counter(n * seconds, benchmark::Counter::kIsRate);
}

void fill(float *x, size_t n, uint32_t seed)
{
    const Signal v = whiteNoise(n, 1.0, seed);
    std::memcpy(x, v.data(), n * sizeof(float));
}

void runClass(benchmark::State &state, SubbandLayout &l, const std::vector<uint32_t> &inputChannels)
{
    if (!l.built()) {
        state.SkipWithError("the class is not in the library's class table");
        return;
    }
    for (size_t k = 0; k < inputChannels.size(); ++k)
        fill(l.input(static_cast<int>(k)), 2 * kBins * inputChannels[k], 3u + static_cast<uint32_t>(k));
    for (auto _ : state)
        l.run();
    report(state, double(kHop) / kRate);
}

void BM_VoiceCanceller(benchmark::State &state, uint32_t classId, uint32_t references)
{
    SubbandLayout l(classId, kBins, kHop, {1u, references}, {1u}, aecArguments({classId, 256, kHop, 12, 2}));
    runClass(state, l, {1u, references});
}
BENCHMARK_CAPTURE(BM_VoiceCanceller, SbAECV1, kV1, 1u);
BENCHMARK_CAPTURE(BM_VoiceCanceller, SbAECV2, kV2, 1u);
BENCHMARK_CAPTURE(BM_VoiceCanceller, SbAECV3, kV3, 1u);
BENCHMARK_CAPTURE(BM_VoiceCanceller, SbStereoAECV1, kStereo, 2u);

// All beams at once: the array in, one channel per direction out.
void BM_VoiceBeamformer(benchmark::State &state, uint32_t classId)
{
    std::vector<uint32_t> args = {kDirections, 2 * kDirections * kBins * kMics};
    if (classId == kBeamformerV2)
        args.push_back(kBins);
    SubbandLayout l(classId, kBins, kHop, {kMics}, {kDirections}, args);
    runClass(state, l, {kMics});
}
BENCHMARK_CAPTURE(BM_VoiceBeamformer, SbBeamformer, kBeamformer);
BENCHMARK_CAPTURE(BM_VoiceBeamformer, SbBeamformerV2, kBeamformerV2);

void BM_VoiceSplitter(benchmark::State &state)
{
    SubbandLayout l(kSplitter, kBins, kHop, {1u}, std::vector<uint32_t>(kBands, 1u), {kBands});
    runClass(state, l, {1u});
}
BENCHMARK(BM_VoiceSplitter);

void BM_VoiceReducer(benchmark::State &state)
{
    SubbandLayout l(kReducer, kBins, kHop, {1u}, {1u}, reducerArguments(-15.0f, 1.0f));
    runClass(state, l, {1u});
}
BENCHMARK(BM_VoiceReducer);

// ---- Peers, on frames of their own ----

void BM_VoicePeerCanceller(benchmark::State &state, const char *peer, int references)
{
    std::unique_ptr<EchoCanceller> c =
        std::string(peer) == "speexdsp" ? speexCanceller(kHop, 12 * kHop, references) : webrtcCanceller(references);
    if (c == nullptr) {
        state.SkipWithError("peer not installed");
        return;
    }
    const auto f = static_cast<size_t>(c->frame());
    const Signal mic = whiteNoise(f, 0.1, 1), ref = whiteNoise(f * static_cast<size_t>(references), 0.1, 2);
    Signal out(f);
    for (auto _ : state)
        c->process(mic.data(), ref.data(), out.data());
    report(state, double(f) / kRate, "ns_per_frame");
}
BENCHMARK_CAPTURE(BM_VoicePeerCanceller, speexdsp, "speexdsp", 1);
BENCHMARK_CAPTURE(BM_VoicePeerCanceller, speexdsp_stereo, "speexdsp", 2);
BENCHMARK_CAPTURE(BM_VoicePeerCanceller, webrtc, "webrtc", 1);
BENCHMARK_CAPTURE(BM_VoicePeerCanceller, webrtc_stereo, "webrtc", 2);

void BM_VoicePeerDenoiser(benchmark::State &state, const char *peer)
{
    std::unique_ptr<Denoiser> d = std::string(peer) == "speexdsp" ? speexDenoiser(kHop, -15) : webrtcDenoiser();
    if (d == nullptr) {
        state.SkipWithError("peer not installed");
        return;
    }
    const auto f = static_cast<size_t>(d->frame());
    const Signal in = whiteNoise(f, 0.1, 1);
    Signal out(f);
    for (auto _ : state)
        d->process(in.data(), out.data());
    report(state, double(f) / kRate, "ns_per_frame");
}
BENCHMARK_CAPTURE(BM_VoicePeerDenoiser, speexdsp, "speexdsp");
BENCHMARK_CAPTURE(BM_VoicePeerDenoiser, webrtc, "webrtc");

// ---- Quality, one run each on the voice tests' signals ----

std::unique_ptr<EchoCanceller> canceller(const std::string &name, int size, int references)
{
    if (name == "speexdsp")
        return speexCanceller(kHop, 12 * kHop, references);
    if (name == "webrtc")
        return webrtcCanceller(references);
    const uint32_t id = name == "V1" ? kV1 : name == "V2" ? kV2 : name == "V3" ? kV3 : kStereo;
    // V3 with the floor the voice tests give it.
    return subbandCanceller({id, size, kHop, 12, 2, 1.0f, 10.0f, id == kV3 ? 1e-4f : 0.0f}, references);
}

void BM_VoiceEchoQuality(benchmark::State &state, const char *name, int size, int references)
{
    static const EchoScene mono = makeEchoScene(1, 6.0), stereo = makeEchoScene(2, 6.0);
    const EchoScene &sc = references == 1 ? mono : stereo;
    std::unique_ptr<EchoCanceller> c = canceller(name, size, references);
    if (c == nullptr || !sc.hasSpeech()) {
        state.SkipWithError("canceller or speech not available");
        return;
    }
    EchoFigures f;
    for (auto _ : state)
        f = echoFigures(sc, runCanceller(*c, sc));
    state.counters["erle_db"] = f.steadyA;
    state.counters["erle_after_change_db"] = f.steadyB;
    state.counters["to_10db_s"] = f.to10;
    state.counters["to_20db_s"] = f.to20;
    state.counters["again_20db_s"] = f.reconverge20;
    state.counters["speech_erle_db"] = f.speechErle;
    state.counters["double_talk_db"] = f.doubleTalkLevel;
    state.counters["near_end_gain"] = f.nearEndGain;
    state.counters["ceiling_db"] = leastSquaresCeiling(sc, size, kHop, 12);
}
BENCHMARK_CAPTURE(BM_VoiceEchoQuality, V1_512, "V1", 512, 1)->Iterations(1);
BENCHMARK_CAPTURE(BM_VoiceEchoQuality, V2_512, "V2", 512, 1)->Iterations(1);
BENCHMARK_CAPTURE(BM_VoiceEchoQuality, V3_512, "V3", 512, 1)->Iterations(1);
BENCHMARK_CAPTURE(BM_VoiceEchoQuality, Stereo_512, "stereo", 512, 2)->Iterations(1);
BENCHMARK_CAPTURE(BM_VoiceEchoQuality, V1_256, "V1", 256, 1)->Iterations(1);
BENCHMARK_CAPTURE(BM_VoiceEchoQuality, V3_256, "V3", 256, 1)->Iterations(1);
BENCHMARK_CAPTURE(BM_VoiceEchoQuality, speexdsp, "speexdsp", 512, 1)->Iterations(1);
BENCHMARK_CAPTURE(BM_VoiceEchoQuality, speexdsp_stereo, "speexdsp", 512, 2)->Iterations(1);
BENCHMARK_CAPTURE(BM_VoiceEchoQuality, webrtc, "webrtc", 512, 1)->Iterations(1);
BENCHMARK_CAPTURE(BM_VoiceEchoQuality, webrtc_stereo, "webrtc", 512, 2)->Iterations(1);

void BM_VoiceNoiseQuality(benchmark::State &state, const char *name)
{
    const std::string peer = name;
    for (auto _ : state) {
        for (bool pink : {false, true}) {
            for (int snr : {0, 5, 10, 20}) {
                const NoiseScene sc = makeNoiseScene(pink, snr, 1.0);
                std::unique_ptr<Denoiser> d = peer == "speexdsp" ? speexDenoiser(kHop, -15)
                                              : peer == "webrtc" ? webrtcDenoiser()
                                                                 : subbandReducer(512, kHop, -15.0f, 1.0f);
                if (d == nullptr || !sc.hasSpeech()) {
                    state.SkipWithError("denoiser or speech not available");
                    return;
                }
                const NoiseFigures f = noiseFigures(sc, runDenoiser(*d, sc.noisy));
                const std::string tag = std::string(pink ? "pink" : "white") + std::to_string(snr);
                state.counters["snr_gain_" + tag] = f.snrGain();
                state.counters["segsnr_gain_" + tag] = f.segmentalGain();
                state.counters["noise_down_" + tag] = f.noiseAttenuation;
                state.counters["speech_down_" + tag] = f.speechAttenuation;
            }
        }
    }
}
BENCHMARK_CAPTURE(BM_VoiceNoiseQuality, SCNRv1, "SCNRv1")->Iterations(1);
BENCHMARK_CAPTURE(BM_VoiceNoiseQuality, speexdsp, "speexdsp")->Iterations(1);
BENCHMARK_CAPTURE(BM_VoiceNoiseQuality, webrtc, "webrtc")->Iterations(1);

} // namespace
