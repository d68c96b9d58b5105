// The volume controls: the inner smoothed biquad each builds right after itself with its fixed arguments, the
// numerator Set derives from the gain and the compensation (a unity filter at 0 dB, a plain gain above), the whole
// response below 0 dB against scipy's freqz of the closed form once the inner coefficients have glided, the inner
// module's state choosing what runs, and construction that fails without leaving anything behind.
#include <complex>
#include <numbers>

#include "FaderTestSupport.h"
#include "Modules/Standard/Filters.h"
#include "Modules/Standard/FiltersFract32.h"
#include "support/PythonOracle.h"

namespace fadertest {
namespace {

using kvetest::floatOf;
using kvetest::oracleArg;

constexpr uint32_t kVolumeControl = 0xBEEF081Au;
constexpr uint32_t kVolumeControlFract32 = 0xBEEF08D6u;
constexpr uint32_t kBiquadSmoothed = 0xBEEF080Du;
constexpr uint32_t kBiquadSmoothedFract32 = 0xBEEF0886u;

// Variables in member order.
enum : uint32_t { kGainDB, kReserved, kCompCoeff2, kCompCoeff1, kCompCoeff0, kCompB0, kCompB1, kCompB2, kInner };

// The denominator the float inner module starts with.
const float kA1 = floatOf(0xBFFEF2D4u);
const float kA2 = floatOf(0x3F7DEA07u);

// What the inner class's constructor was last asked to build.
struct InnerCall {
    uint32_t classId = 0;
    uint32_t wireWord = 0;
    std::vector<GenericWire *> wires;
    std::vector<uint32_t> args;
};
InnerCall g_innerCall;

template <const auto &Real> ClassModule *recordingConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires,
                                                              uint32_t argc, const uint32_t *args)
{
    g_innerCall.classId = Real.record.classId;
    g_innerCall.wireWord = wireWord;
    g_innerCall.wires.assign(wires, wires + KVE_PACKED_INPUTS(wireWord) + KVE_PACKED_OUTPUTS(wireWord));
    g_innerCall.args.assign(args, args + argc);
    return Real.record.constructor(status, wireWord, wires, argc, args);
}

// The inner classes as the engine finds them, with their constructors watched.
template <const auto &Real> auto watched()
{
    auto copy = Real;
    copy.record.constructor = recordingConstructor<Real>;
    return copy;
}
const auto kWatchedBiquad = watched<kve_modBiquadSmoothedClass>();
const auto kWatchedBiquadFract32 = watched<kve_modBiquadSmoothedFract32Class>();

const ModClassDescriptor *const kVolumeTable[] = {
    &kve_modVolumeControlClass.record,
    &kve_modVolumeControlFract32Class.record,
    &kWatchedBiquad.record,
    &kWatchedBiquadFract32.record,
};

class VolumeControl : public Faders {
protected:
    void SetUp() override
    {
        engine_->classTable = kVolumeTable;
        engine_->classCount = std::size(kVolumeTable);
        g_innerCall = {};
    }

    static ClassModule *inner(ClassModule *m) { return var<ClassModule *>(m, kInner); }
    static kve::filters::BiquadSmoothedModule *biquad(ClassModule *m)
    {
        return reinterpret_cast<kve::filters::BiquadSmoothedModule *>(inner(m));
    }
    static kve::filters::BiquadSmoothedFract32Module *biquadFract32(ClassModule *m)
    {
        return reinterpret_cast<kve::filters::BiquadSmoothedFract32Module *>(inner(m));
    }
};

TEST_F(VolumeControl, InnerBiquadIsBuiltRightAfterWithItsFixedArguments)
{
    struct Case {
        const char *what;
        uint32_t classId, innerClassId;
        std::vector<uint32_t> innerArgs;
    } cases[] = {
        {"VolumeControl",
         kVolumeControl,
         kBiquadSmoothed,
         {1, 0x41200000u, 0x3F800000u, 0xBFFEF2D4u, 0x3F7DEA07u, 0xBFFEF2D4u, 0x3F7DEA07u, 0x3F800000u, 0xBFFEF2D4u,
          0x3F7DEA07u, 0xBFFEF2D4u, 0x3F7DEA07u, 0x3D8414E8u}},
        {"VolumeControlFract32", kVolumeControlFract32, kBiquadSmoothedFract32, {1, 0x41200000u, 0x08414E80u, 1, 1}},
    };
    for (const Case &c : cases) {
        // The caller's wiring holds a second output and a scratch wire: both modules keep one input and one output.
        GenericWire *in = wire(2, 32);
        GenericWire *out = wire(2, 32);
        GenericWire *spare = wire(2, 32);
        GenericWire *scratch = wire(1, 32);
        ClassModule *m = build(c.classId, 0x10201, {in, out, spare, scratch}, {0, 0, 0, 0, 0, 0, 0, 0});
        ASSERT_NE(m, nullptr) << c.what;
        ASSERT_NE(inner(m), nullptr) << c.what;
        EXPECT_EQ(m->packed & 0xFFFFFFu, 0x101u) << c.what;
        EXPECT_EQ(g_innerCall.classId, c.innerClassId) << c.what;
        EXPECT_EQ(g_innerCall.wireWord, 0x101u) << c.what;
        EXPECT_EQ(g_innerCall.wires, (std::vector<GenericWire *>{in, out})) << c.what;
        EXPECT_EQ(g_innerCall.args, c.innerArgs) << c.what;
        EXPECT_EQ(inner(m)->objectId, m->objectId + 1) << c.what;
        EXPECT_EQ(inner(m)->classRecord->classId, c.innerClassId) << c.what;
        EXPECT_EQ(engine_->lastObject, reinterpret_cast<KVEObject *>(inner(m))) << c.what;
    }
}

TEST_F(VolumeControl, ClassRecordsCountThePrivateInnerModule)
{
    for (const auto *record : {&kve_modVolumeControlClass.record, &kve_modVolumeControlFract32Class.record}) {
        EXPECT_EQ(record->countWord, 8u | (1u << 16));
        EXPECT_EQ(record->floatMask, 0xFFu);
        EXPECT_EQ(kve_ClassVariableOffsets(record)[kInner], KVE_MODULE_HEADER_SIZE + 32u);
    }
}

TEST_F(VolumeControl, NumeratorIsAUnityFilterAtZeroDecibelsAndAPlainGainAbove)
{
    // The compensation is set but has no effect at or above 0 dB.
    struct Case {
        float gainDB;
        double gain;
    } cases[] = {{0.0f, 1.0}, {6.0f, std::pow(10.0, 6.0 / 20.0)}, {-0.0f, 1.0}};
    for (const Case &c : cases) {
        GenericWire *in = wire(1, 32);
        GenericWire *out = wire(1, 32);
        ClassModule *m = build(kVolumeControl, 0x101, {in, out},
                               {bitsOf(c.gainDB), 0, bitsOf(0.01f), bitsOf(-0.5f), bitsOf(3.0f), bitsOf(0.004f), 0,
                                bitsOf(-0.004f)});
        ASSERT_NE(m, nullptr);
        const auto *b = biquad(m);
        EXPECT_NEAR(b->b0, c.gain, 1e-6 * c.gain) << c.gainDB << " dB";
        EXPECT_NEAR(b->b1, c.gain * kA1, 2e-6 * c.gain) << c.gainDB << " dB";
        EXPECT_NEAR(b->b2, c.gain * kA2, 1e-6 * c.gain) << c.gainDB << " dB";
        EXPECT_EQ(b->a1, kA1);
        EXPECT_EQ(b->a2, kA2);
        if (c.gain == 1.0) {
            EXPECT_EQ(b->b0, 1.0f);
            EXPECT_EQ(b->b1, b->a1);
            EXPECT_EQ(b->b2, b->a2);
        }
    }
}

// Glides a volume control's inner coefficients to rest (silence keeps the filter state at rest meanwhile), then
// drives it with a cosine at each frequency and returns its response there: the output's transform over whole
// periods after the transient of the frequency change has died away, divided by the amplitude.
template <typename Sample>
std::vector<std::complex<double>> measuredResponse(kvetest::TestEngine &engine, ClassModule *m, GenericWire *in,
                                                   GenericWire *out, const std::vector<double> &freqs, double amplitude)
{
    auto *x = static_cast<Sample *>(in->buffer);
    auto *y = static_cast<Sample *>(out->buffer);
    const uint32_t block = KVE_WIRE_BLOCK_SIZE(in->info2);
    std::fill(x, x + block, Sample{});
    for (int i = 0; i < 600; ++i)
        kve_fwPumpModule(engine.get(), m);
    constexpr uint32_t kSettle = 12000;
    std::vector<std::complex<double>> response;
    for (double f : freqs) {
        const auto period = static_cast<uint32_t>(kRate / f);
        const uint32_t measured = period * ((4800 + period - 1) / period);
        std::complex<double> sum = 0.0;
        for (uint32_t first = 0; first < kSettle + measured; first += block) {
            for (uint32_t t = 0; t < block; ++t)
                x[t] = static_cast<Sample>(amplitude * std::cos(2.0 * std::numbers::pi * f * (first + t) / kRate));
            kve_fwPumpModule(engine.get(), m);
            for (uint32_t t = 0; t < block; ++t) {
                const uint32_t n = first + t;
                if (n >= kSettle && n < kSettle + measured)
                    sum += static_cast<double>(y[t]) * std::polar(1.0, -2.0 * std::numbers::pi * f * n / kRate);
            }
        }
        response.push_back(sum * (2.0 / (measured * amplitude)));
    }
    return response;
}

struct Compensation {
    float gainDB, c2, c1, c0, cB0, cB1, cB2;
};

std::vector<std::complex<double>> closedForm(const Compensation &c, float a1, float a2,
                                             const std::vector<double> &freqs)
{
    std::vector<std::string> args;
    for (double v : {double(c.gainDB), double(c.c2), double(c.c1), double(c.c0), double(c.cB0), double(c.cB1),
                     double(c.cB2), double(a1), double(a2), double(kRate)})
        args.push_back(oracleArg(v));
    for (double f : freqs)
        args.push_back(oracleArg(f));
    const std::vector<double> v = kvetest::runOracle("fader_volume_response.py", args);
    std::vector<std::complex<double>> h;
    for (size_t i = 0; i + 1 < v.size(); i += 2)
        h.emplace_back(v[i], v[i + 1]);
    return h;
}

// How far a filter whose five coefficients each stray by a few parts in 10^7 (their single-precision or Q1.31
// rounding, and where the inner glide comes to rest) may answer from H = B / A at f: the first-order change
// (dB - H dA) / A, which the denominator's near-cancelling low resonance magnifies at low frequencies.
double tolerance(const Compensation &c, std::complex<double> h, double f)
{
    const double g = std::pow(10.0, c.gainDB / 20.0);
    const double q = c.c2 * c.gainDB * c.gainDB + c.c1 * c.gainDB + c.c0;
    const double e = c.gainDB < 0.0f ? g * (std::pow(10.0, q / 20.0) - 1.0) : 0.0;
    const double b = std::abs(g + e * c.cB0) + std::abs(g * kA1 + e * c.cB1) + std::abs(g * kA2 + e * c.cB2);
    const double a = 1.0 + std::abs(kA1) + std::abs(kA2);
    const std::complex<double> z = std::polar(1.0, -2.0 * std::numbers::pi * f / kRate);
    const double denominator = std::abs(1.0 + static_cast<double>(kA1) * z + static_cast<double>(kA2) * z * z);
    constexpr double kStray = 2e-7;
    return 1e-4 * std::max(1.0, std::abs(h)) + kStray * (b + std::abs(h) * a) / denominator;
}

const std::vector<double> kFreqs = {20.0, 60.0, 100.0, 300.0, 1000.0, 6000.0, 16000.0};

TEST_F(VolumeControl, ResponseBelowZeroDecibelsAddsTheCompensationShare)
{
    // A level polynomial and a band around the denominator's low resonance, at three levels below 0 dB and one above.
    const Compensation cases[] = {
        {-20.0f, 0.01f, -0.5f, 3.0f, 0.004f, 0.0f, -0.004f},
        {-40.0f, 0.0f, -0.3f, 0.0f, 0.004f, 0.0f, -0.004f},
        {-6.0f, 0.0f, 0.0f, 6.0f, 0.002f, 0.001f, -0.003f},
        {3.0f, 0.0f, 0.0f, 6.0f, 0.002f, 0.001f, -0.003f},
    };
    for (const Compensation &c : cases) {
        GenericWire *in = wire(1, 32);
        GenericWire *out = wire(1, 32);
        ClassModule *m = build(kVolumeControl, 0x101, {in, out},
                               {bitsOf(c.gainDB), 0, bitsOf(c.c2), bitsOf(c.c1), bitsOf(c.c0), bitsOf(c.cB0),
                                bitsOf(c.cB1), bitsOf(c.cB2)});
        ASSERT_NE(m, nullptr);
        const std::vector<std::complex<double>> expected = closedForm(c, kA1, kA2, kFreqs);
        ASSERT_EQ(expected.size(), kFreqs.size());
        const std::vector<std::complex<double>> measured = measuredResponse<float>(engine_, m, in, out, kFreqs, 1.0);
        for (size_t i = 0; i < kFreqs.size(); ++i)
            EXPECT_LT(std::abs(measured[i] - expected[i]), tolerance(c, expected[i], kFreqs[i]))
                << c.gainDB << " dB at " << kFreqs[i] << " Hz: " << measured[i] << " against " << expected[i];
    }
}

TEST_F(VolumeControl, Fract32ResponseFollowsTheDenominatorTheHostGaveTheInnerModule)
{
    const Compensation c = {-20.0f, 0.01f, -0.5f, 3.0f, 0.004f, 0.0f, -0.004f};
    GenericWire *in = wire(1, 32);
    GenericWire *out = wire(1, 32);
    ClassModule *m = build(kVolumeControlFract32, 0x101, {in, out},
                           {bitsOf(c.gainDB), 0, bitsOf(c.c2), bitsOf(c.c1), bitsOf(c.c0), bitsOf(c.cB0),
                            bitsOf(c.cB1), bitsOf(c.cB2)});
    ASSERT_NE(m, nullptr);
    // The denominator goes into the inner module's coefficients; the outer Set then writes the numerator over it and
    // has the inner module convert all five.
    float *coeffs = biquadFract32(m)->coeffs;
    coeffs[3] = kA1;
    coeffs[4] = kA2;
    ClassModule_Set(m, KVE_MASK_ALL);
    const double g = std::pow(10.0, c.gainDB / 20.0);
    const double q = c.c2 * c.gainDB * c.gainDB + c.c1 * c.gainDB + c.c0;
    const double e = g * (std::pow(10.0, q / 20.0) - 1.0);
    EXPECT_NEAR(coeffs[0], g + e * c.cB0, 1e-6);
    EXPECT_NEAR(coeffs[1], g * kA1 + e * c.cB1, 1e-6);
    EXPECT_NEAR(coeffs[2], g * kA2 + e * c.cB2, 1e-6);
    EXPECT_EQ(biquadFract32(m)->pendingPostShift, 1) << "a1 near -2 takes one bit of headroom";

    const std::vector<std::complex<double>> expected = closedForm(c, kA1, kA2, kFreqs);
    ASSERT_EQ(expected.size(), kFreqs.size());
    const std::vector<std::complex<double>> measured =
        measuredResponse<int32_t>(engine_, m, in, out, kFreqs, 0x40000000);
    for (size_t i = 0; i < kFreqs.size(); ++i)
        EXPECT_LT(std::abs(measured[i] - expected[i]), tolerance(c, expected[i], kFreqs[i]))
            << "at " << kFreqs[i] << " Hz: " << measured[i] << " against " << expected[i];
}

TEST_F(VolumeControl, ProcessRunsTheInnerModuleInWhateverStateItIsIn)
{
    for (uint32_t classId : {kVolumeControl, kVolumeControlFract32}) {
        GenericWire *in = wire(2, 32);
        GenericWire *out = wire(2, 32);
        ClassModule *m = build(classId, 0x101, {in, out}, {bitsOf(-12.0f), 0, 0, 0, 0, 0, 0, 0});
        ASSERT_NE(m, nullptr);
        ramp(in, 1.0f);
        ASSERT_EQ(kve_fwSetModuleState(inner(m), KVE_STATE_BYPASSED), KVE_OK);
        pump(m);
        for (uint32_t i = 0; i < 64; ++i)
            EXPECT_EQ(data(out)[i], data(in)[i]) << "bypassed inner module, word " << i;
        ASSERT_EQ(kve_fwSetModuleState(inner(m), KVE_STATE_MUTED), KVE_OK);
        pump(m);
        for (uint32_t i = 0; i < 64; ++i)
            EXPECT_EQ(data(out)[i], 0.0f) << "muted inner module, word " << i;
    }
}

TEST_F(VolumeControl, FailedConstructionLeavesNothingBehind)
{
    struct Case {
        const char *what;
        uint32_t classId, wireWord;
        bool innerInTable;
        int32_t status;
    } cases[] = {
        {"no output wire", kVolumeControl, 0x001, true, KVE_E_ARG_COUNT},
        {"no input wire", kVolumeControlFract32, 0x100, true, KVE_E_ARG_COUNT},
        {"inner class missing", kVolumeControl, 0x101, false, KVE_E_CLASS_NOT_FOUND},
        {"inner Fract32 class missing", kVolumeControlFract32, 0x101, false, KVE_E_CLASS_NOT_FOUND},
    };
    for (const Case &c : cases) {
        engine_->classCount = c.innerInTable ? std::size(kVolumeTable) : 2;
        std::vector<GenericWire *> wires;
        for (uint32_t k = 0; k < KVE_PACKED_INPUTS(c.wireWord) + KVE_PACKED_OUTPUTS(c.wireWord); ++k)
            wires.push_back(wire(1, 32));
        const KVEObject *before = engine_->lastObject;
        int32_t status = KVE_OK;
        EXPECT_EQ(build(c.classId, c.wireWord, wires, std::vector<uint32_t>(8, 0), &status), nullptr) << c.what;
        EXPECT_EQ(status, c.status) << c.what;
        EXPECT_EQ(engine_->lastObject, before) << c.what;
        EXPECT_TRUE(g_innerCall.args.empty()) << c.what;
    }
}

} // namespace
} // namespace fadertest
