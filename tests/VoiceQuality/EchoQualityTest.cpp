// The subband echo cancellers on a room's echo: white noise from the far end, an echo path that changes half-way,
// then speech with a stretch of double talk and a closing stretch of near-end noise alone. Each canceller runs on
// the test's 512-point transform (hop 128) and is held to its targets: 20 dB of echo return loss enhancement (ERLE)
// within 5 s and again within 5 s of the path change, near-end sound never raised, near-end noise passed, and the
// steady ERLE of the equations' numpy model and the filter bank's least-squares ceiling. Between the library's own
// transform modules, in one layout, each canceller keeps its ERLE within 1 dB. The peers' figures on the same signals
// are printed beside.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

#include "VoiceQuality/VoicePeers.h"
#include "VoiceQuality/VoiceRig.h"
#include "support/PythonOracle.h"

namespace {

using namespace voice;

// The sanitizer build runs the canceller some ten times slower: there each echo path plays for 3 s, enough to see
// the cancellers converge, and the 5 s targets are held in the optimised build.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kUnderSanitizers = true;
#else
constexpr bool kUnderSanitizers = false;
#endif
constexpr double kWhiteSeconds = kUnderSanitizers ? 3.0 : 6.0;

constexpr uint32_t kV1 = 0xBEEF429Au, kV2 = 0xBEEF429Du, kV3 = 0xBEEF429Eu, kStereo = 0xBEEF429Bu;

const EchoScene &scene(int references)
{
    static const EchoScene mono = makeEchoScene(1, kWhiteSeconds);
    static const EchoScene stereo = makeEchoScene(2, kWhiteSeconds);
    return references == 1 ? mono : stereo;
}

void print(const char *name, const EchoFigures &f)
{
    std::printf("[ echo ] %-22s steady %5.1f / %5.1f dB, 10 dB at %4.1f s, 20 dB at %4.1f s, again %4.1f s after "
                "the change, speech %5.1f dB, double talk %+5.1f dB (worst %+5.1f), near-end gain %.2f\n",
                name, f.steadyA, f.steadyB, f.to10, f.to20, f.reconverge20, f.speechErle, f.doubleTalkLevel,
                f.doubleTalkWorst, f.nearEndGain);
}

// The steady ERLE of a numpy model of the canceller's equations on the same subband signals, over the first echo
// path (the model writes its subband output to a file the test resynthesises like the canceller's).
double modelErle(const char *model, const AecSettings &s, int references)
{
    const EchoScene &sc = scene(references);
    const SubbandFrames f = subbandFrames(sc, s.size, s.hop, sc.swapAt + static_cast<size_t>(s.size));
    char dir[] = "/tmp/kve_echo_modelXXXXXX";
    if (mkdtemp(dir) == nullptr)
        return -1e9;
    const std::string mic = std::string(dir) + "/mic.f32", ref = std::string(dir) + "/ref.f32",
                      out = std::string(dir) + "/out.f32";
    std::ofstream(mic, std::ios::binary).write(reinterpret_cast<const char *>(f.mic.data()),
                                               static_cast<std::streamsize>(f.mic.size() * sizeof(float)));
    std::ofstream(ref, std::ios::binary).write(reinterpret_cast<const char *>(f.ref.data()),
                                               static_cast<std::streamsize>(f.ref.size() * sizeof(float)));
    const std::vector<double> done =
        kvetest::runOracle("voice_echo_model.py",
                           {model, mic, ref, out, std::to_string(f.bins), std::to_string(references),
                            std::to_string(s.taps), std::to_string(s.iterations), kvetest::oracleArg(s.noiseScale),
                            kvetest::oracleArg(s.timeConstant), kvetest::oracleArg(kRate / double(s.hop)),
                            kvetest::oracleArg(s.minTapVariance)});
    std::vector<float> y(f.mic.size());
    std::ifstream(out, std::ios::binary).read(reinterpret_cast<char *>(y.data()),
                                              static_cast<std::streamsize>(y.size() * sizeof(float)));
    std::remove(mic.c_str());
    std::remove(ref.c_str());
    std::remove(out.c_str());
    rmdir(dir);
    if (done.size() != 1)
        return -1e9;
    return subbandOutputErle(sc, s.size, s.hop, y);
}

struct Case {
    const char *name;
    uint32_t classId;
    int references;
    const char *model;    // the numpy model of its equations
    float minTapVariance; // V3's floor: low enough to keep the steady ERLE, high enough to act
};

const Case kCases[] = {
    {"V1", kV1, 1, "v1", 0.0f},
    {"V2", kV2, 1, "v2", 0.0f},
    {"V3", kV3, 1, "v3", 1e-4f},
    {"stereo", kStereo, 2, "stereo", 0.0f},
};

TEST(EchoQuality, SubbandCancellersConvergeTrackAPathChangeAndSpareTheNearEnd)
{
    // The ceiling of each reference count at 512/128, shared by the cancellers of that count.
    std::map<int, double> ceilings;
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.name);
        AecSettings s{c.classId};
        s.minTapVariance = c.minTapVariance;
        auto canceller = subbandCanceller(s, c.references);
        ASSERT_NE(canceller, nullptr) << "the class is not in the library's class table";
        const EchoScene &sc = scene(c.references);
        ASSERT_TRUE(sc.hasSpeech());
        const EchoFigures f = echoFigures(sc, runCanceller(*canceller, sc));
        print(c.name, f);
        const double limit = kUnderSanitizers ? kWhiteSeconds : 5.0;
        EXPECT_GT(f.to20, 0.0);
        EXPECT_LE(f.to20, limit);
        EXPECT_GT(f.reconverge20, 0.0);
        EXPECT_LE(f.reconverge20, limit);
        EXPECT_LE(f.doubleTalkWorst, 1.0) << "the output rose above the microphone in double talk";
        EXPECT_GE(f.nearEndGain, 0.5);
        EXPECT_LE(f.nearEndGain, 2.0);

        const double model = modelErle(c.model, s, c.references);
        std::printf("[ echo ] %-22s numpy model of the equations %5.1f dB\n", c.name, model);
        EXPECT_NEAR(f.steadyA, model, 1.0);
        // No subband canceller of these taps passes the least-squares filter through the same bank.
        if (!ceilings.contains(c.references))
            ceilings[c.references] = leastSquaresCeiling(sc, s.size, s.hop, s.taps);
        EXPECT_LE(f.steadyA, ceilings[c.references] + 1.0);

        // The same windows and transforms built from the library's modules: the cancellation must not depend on
        // whose transform the subbands come from. Under the sanitizers one canceller per reference count runs so.
        if (kUnderSanitizers && c.classId != kV1 && c.classId != kStereo)
            continue;
        auto chained = chainCanceller(s, c.references);
        ASSERT_NE(chained, nullptr) << "the transform modules are not in the library's class table";
        const EchoFigures g = echoFigures(sc, runCanceller(*chained, sc));
        print((std::string(c.name) + " on the modules").c_str(), g);
        EXPECT_NEAR(g.steadyA, f.steadyA, 1.0);
        EXPECT_NEAR(g.steadyB, f.steadyB, 1.0);
        EXPECT_NEAR(g.speechErle, f.speechErle, 1.0);
    }
}

// The bank's ceiling for 12 taps at both transform sizes, and the peers on the same signals.
TEST(EchoQuality, CeilingAndPeersOnTheSameSignals)
{
    for (int references : {1, 2}) {
        const EchoScene &sc = scene(references);
        ASSERT_TRUE(sc.hasSpeech());
        const char *tag = references == 1 ? "mono" : "stereo";
        for (int size : {512, 256}) {
            const double ceiling = leastSquaresCeiling(sc, size, 128, 12);
            std::printf("[ echo ] %-6s least-squares ceiling of 12 taps at %d/128: %5.1f dB\n", tag, size, ceiling);
            // A working bank and fit cancel most of the echo; a misaligned one cancels almost none.
            EXPECT_GT(ceiling, size == 512 ? 30.0 : 15.0);
        }
        std::vector<std::pair<std::string, std::unique_ptr<EchoCanceller>>> runs;
        // speexdsp with the 96 ms tail that 12 taps of hop 128 span.
        runs.emplace_back(std::string("speexdsp ") + tag, speexCanceller(128, 1536, references));
        runs.emplace_back(std::string("webrtc ") + tag, webrtcCanceller(references));
        // The smaller transform is reported from the optimised build only.
        for (const Case &c : kCases)
            if (c.references == references && !kUnderSanitizers)
                runs.emplace_back(std::string(c.name) + " at 256/128",
                                  subbandCanceller({c.classId, 256, 128, 12, 2, 1.0f, 10.0f, c.minTapVariance},
                                                   references));
        for (auto &[name, canceller] : runs)
            if (canceller != nullptr)
                print(name.c_str(), echoFigures(sc, runCanceller(*canceller, sc)));
    }
}

} // namespace
