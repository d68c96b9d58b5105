// A small engine holding the float filter classes, with helpers that run a module over several blocks and ask
// scipy for what each channel should have come out as.
#pragma once

#include <random>
#include <string>

#include "Modules/Standard/Filters.h"
#include "ScalerTestSupport.h"
#include "support/PythonOracle.h"

namespace floatfiltertest {

using kvetest::bitsOf;

constexpr uint32_t kBiquad = 0xBEEF080Au;
constexpr uint32_t kBiquadCascade = 0xBEEF080Bu;
constexpr uint32_t kBiquadNCascade = 0xBEEF080Cu;
constexpr uint32_t kBiquadSmoothed = 0xBEEF080Du;
constexpr uint32_t kButterworthFilter = 0xBEEF0805u;
constexpr uint32_t kFIR = 0xBEEF080Fu;
constexpr uint32_t kGraphicEQBand = 0xBEEF0810u;

inline const ModClassDescriptor *const kFilterTable[] = {
    &kve_modBiquadClass.record,         &kve_modBiquadCascadeClass.record,  &kve_modBiquadNCascadeClass.record,
    &kve_modBiquadSmoothedClass.record, &kve_modButterworthFilterClass.record, &kve_modFIRClass.record,
    &kve_modGraphicEQBandClass.record,
};

class Filters : public scalertest::Scalers {
protected:
    void SetUp() override
    {
        engine_->classTable = kFilterTable;
        engine_->classCount = sizeof kFilterTable / sizeof kFilterTable[0];
    }

    // Uniform noise in [-1, 1), the same for the same seed.
    static std::vector<float> noise(size_t count, uint32_t seed)
    {
        std::mt19937 generator(seed);
        std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
        std::vector<float> x(count);
        for (float &v : x)
            v = uniform(generator);
        return x;
    }

    // Feeds x (interleaved frames of the input's channels) through the module block by block and returns what it
    // wrote to the output.
    std::vector<float> run(ClassModule *m, GenericWire *in, GenericWire *out, const std::vector<float> &x)
    {
        const size_t block = kve::kit::wireWords(in);
        std::vector<float> y;
        for (size_t at = 0; at + block <= x.size(); at += block) {
            std::copy(x.begin() + static_cast<ptrdiff_t>(at), x.begin() + static_cast<ptrdiff_t>(at + block), data(in));
            pump(m);
            y.insert(y.end(), data(out), data(out) + kve::kit::wireWords(out));
        }
        return y;
    }

    // What scipy's per-channel filter of `kind` (see tests/oracles/filter_channels.py) makes of x.
    static std::vector<double> oracle(const std::string &kind, uint32_t channels, const std::vector<double> &params,
                                      const std::vector<float> &x)
    {
        std::vector<std::string> args = {kind, std::to_string(channels)};
        for (double p : params)
            args.push_back(kvetest::oracleArg(p));
        for (float v : x)
            args.push_back(kvetest::oracleArg(v));
        return kvetest::runOracle("filter_channels.py", args);
    }

    // Every output word within `tolerance` of the reference, naming frame and channel of the first misses.
    static void expectClose(const std::vector<float> &y, const std::vector<double> &reference, uint32_t channels,
                            double tolerance, const std::string &what)
    {
        ASSERT_EQ(y.size(), reference.size()) << what;
        int misses = 0;
        for (size_t i = 0; i < y.size() && misses < 5; ++i)
            if (!(std::fabs(y[i] - reference[i]) <= tolerance)) {
                ADD_FAILURE() << what << ": frame " << i / channels << " channel " << i % channels << " gives "
                              << y[i] << ", expected " << reference[i];
                ++misses;
            }
    }
};

} // namespace floatfiltertest
