// The 32 kbit/s ADPCM coder held bit for bit to a second conforming coder: the codes it makes of speech, of
// full-scale and clipped signals, silence and noise, and the samples it decodes from those codes and from codes
// no encoder would make.
#include <kve/kve_recognizer_runtime.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#ifdef KVE_TEST_SPANDSP
#include <spandsp/telephony.h>
#include <spandsp/g726.h>
#endif

namespace {

using Samples = std::vector<int16_t>;
using Codes = std::vector<uint8_t>;

struct Signal {
    std::string name;
    Samples samples;
};

// Speech at 8 kHz, the coder's own rate, at its natural level and pushed to full scale.
Samples speech(const std::string &directory, bool fullScale)
{
    const std::string wav = directory + "/speech.wav", raw = directory + "/speech.raw";
    const std::string command = "espeak-ng -s 170 -w " + wav +
                                " \"the quick brown fox jumps over the lazy dog\" && sox " + wav +
                                " -r 8000 -c 1 -b 16 -e signed-integer -t raw " + raw +
                                (fullScale ? " gain -n 0" : "") + " 2>/dev/null";
    if (std::system(command.c_str()) != 0)
        return {};
    std::ifstream file(raw, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    Samples samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

Samples square(int period, int16_t high, int16_t low, size_t count)
{
    Samples x(count);
    for (size_t i = 0; i < count; ++i)
        x[i] = (i % period) < static_cast<size_t>(period / 2) ? high : low;
    return x;
}

Samples noise(int32_t amplitude, size_t count, uint32_t seed)
{
    std::mt19937 generator(seed);
    std::uniform_int_distribution<int32_t> value(-amplitude - 1, amplitude);
    Samples x(count);
    for (int16_t &v : x)
        v = static_cast<int16_t>(std::max<int32_t>(-32768, std::min<int32_t>(32767, value(generator))));
    return x;
}

std::vector<Signal> signals(const std::string &directory)
{
    std::vector<Signal> all;
    all.push_back({"speech", speech(directory, false)});
    all.push_back({"full-scale speech", speech(directory, true)});
    for (int period : {2, 3, 8, 40, 200})
        all.push_back({"square of period " + std::to_string(period), square(period, 32767, -32768, 4000)});
    Samples runs = square(1000, -32768, 32767, 6000);
    const Samples low = square(2, -32768, -32768, 1500);
    runs.insert(runs.end(), low.begin(), low.end());
    all.push_back({"runs of -32768 and 32767", runs});
    all.push_back({"silence", Samples(2000, 0)});
    all.push_back({"quiet noise", noise(64, 8000, 1)});
    all.push_back({"full-scale noise", noise(32767, 8000, 2)});
    Samples burst = noise(30, 4000, 3);
    const Samples loud = noise(32767, 400, 4);
    burst.insert(burst.begin() + 2000, loud.begin(), loud.end());
    all.push_back({"noise with a full-scale burst", burst});
    return all;
}

class RecognizerG721 : public testing::Test {
protected:
    void SetUp() override
    {
        directory = std::filesystem::temp_directory_path() /
                    ("kve_g721_" + std::to_string(::getpid()) + "_" +
                     testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(directory);
    }
    void TearDown() override { std::filesystem::remove_all(directory); }
    std::filesystem::path directory;
};

#ifdef KVE_TEST_SPANDSP
// The reference coder's codes for whole samples, two to a byte, first in the low nibble.
Codes referenceEncode(const Samples &x)
{
    g726_state_t *coder = g726_init(nullptr, 32000, G726_ENCODING_LINEAR, G726_PACKING_RIGHT);
    Codes codes(x.size() / 2 + 1);
    codes.resize(static_cast<size_t>(g726_encode(coder, codes.data(), x.data(), static_cast<int>(x.size()))));
    g726_free(coder);
    return codes;
}

// The reference keeps the low 16 bits of a reconstruction beyond 16 bits, so a loud peak comes out with the opposite
// sign; ours holds the rail of the right sign there. Elsewhere the two are equal.
void expectReferenceOrRail(const Samples &decoded, const Samples &reference)
{
    ASSERT_EQ(decoded.size(), reference.size());
    for (size_t i = 0; i < decoded.size(); ++i)
        if (decoded[i] != reference[i]) {
            ASSERT_TRUE(decoded[i] == 32767 || decoded[i] == -32768)
                << "sample " << i << ": " << decoded[i] << " against " << reference[i];
        }
}

Samples referenceDecode(const Codes &codes)
{
    g726_state_t *coder = g726_init(nullptr, 32000, G726_ENCODING_LINEAR, G726_PACKING_RIGHT);
    Samples x(codes.size() * 2);
    x.resize(static_cast<size_t>(g726_decode(coder, x.data(), codes.data(), static_cast<int>(codes.size()))));
    g726_free(coder);
    return x;
}
#endif

// Runs one of the whole-stream coders and takes its block into a vector.
template <class Out, class In>
std::vector<Out> code(Out *(*coder)(const In *, uint32_t, uint32_t *), const std::vector<In> &input)
{
    uint32_t count = 12345;
    Out *block = coder(input.data(), static_cast<uint32_t>(input.size()), &count);
    std::vector<Out> output(block, block + count);
    dbFree(block);
    return output;
}

Codes encode(const Samples &x)
{
    return code(g721Encode, x);
}

Samples decode(const Codes &codes)
{
    return code(g721Decode, codes);
}

} // namespace

TEST_F(RecognizerG721, CodesAndDecodedSamplesMatchTheReferenceCoder)
{
#ifndef KVE_TEST_SPANDSP
    GTEST_SKIP() << "no reference ADPCM coder on this machine";
#else
    for (const Signal &signal : signals(directory.string())) {
        SCOPED_TRACE(signal.name);
        ASSERT_GT(signal.samples.size(), 1000u);
        const Codes codes = encode(signal.samples);
        const Codes expectedCodes = referenceEncode(signal.samples);
        ASSERT_EQ(codes.size(), (signal.samples.size() + 1) / 2);
        EXPECT_EQ(Codes(codes.begin(), codes.begin() + expectedCodes.size()), expectedCodes);
        expectReferenceOrRail(decode(codes), referenceDecode(codes));
    }
#endif
}

TEST_F(RecognizerG721, DecodesCodesNoEncoderWouldMakeAsTheReferenceCoder)
{
#ifndef KVE_TEST_SPANDSP
    GTEST_SKIP() << "no reference ADPCM coder on this machine";
#else
    // Random codes and long runs of the largest codes drive the predictor and the scale factor to their limits.
    std::mt19937 generator(7);
    Codes random(20000);
    for (uint8_t &c : random)
        c = static_cast<uint8_t>(generator());
    struct Case {
        const char *name;
        Codes codes;
    };
    const Case cases[] = {
        {"random codes", random},
        {"largest positive codes", Codes(4000, 0x77)},
        {"largest negative codes", Codes(4000, 0x88)},
        {"largest codes of both signs in runs", [] {
             Codes c;
             for (int run = 0; run < 20; ++run)
                 c.insert(c.end(), 50 + run * 7, run & 1 ? 0x88 : 0x77);
             return c;
         }()},
        {"alternating largest codes", Codes(4000, 0x87)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        expectReferenceOrRail(decode(c.codes), referenceDecode(c.codes));
    }
#endif
}

TEST_F(RecognizerG721, FullScaleRunsDecodeWithTheirOwnSign)
{
    // Past the first samples of each run of a full-scale square the reconstruction overshoots 16 bits; it must come
    // out at the rail of the run's sign, not wrapped to the other one (wrapping flips about half of these samples;
    // the coder's own ringing flips a handful).
    const Samples x = square(400, 32767, -32768, 4000);
    const Samples decoded = decode(encode(x));
    size_t flipped = 0, atRail = 0, checked = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        if (i % 200 < 20)
            continue;
        ++checked;
        flipped += (decoded[i] > 0) != (x[i] > 0);
        atRail += decoded[i] == x[i];
    }
    EXPECT_LT(flipped, checked / 100);
    EXPECT_GT(atRail, checked / 4);
}

TEST_F(RecognizerG721, OddCountLeavesTheLastHighNibbleEmptyAndDecodesOneSampleLonger)
{
    const Samples x = noise(2000, 7, 5);
    const Codes codes = encode(x);
    ASSERT_EQ(codes.size(), 4u);
    EXPECT_EQ(codes[3] >> 4, 0);
    const Codes evenCodes = encode(Samples(x.begin(), x.begin() + 6));
    EXPECT_EQ(Codes(codes.begin(), codes.begin() + 3), evenCodes);
    const Samples decoded = decode(codes);
    ASSERT_EQ(decoded.size(), 8u);
    EXPECT_EQ(Samples(decoded.begin(), decoded.begin() + 6), decode(evenCodes));
}

TEST_F(RecognizerG721, EmptyAndOversizedInputsGiveNoBlockAndZeroCount)
{
    const int16_t sample = 100;
    const uint8_t code = 0x11;
    uint32_t count = 99;
    EXPECT_EQ(g721Encode(&sample, 0, &count), nullptr);
    EXPECT_EQ(count, 0u);
    count = 99;
    EXPECT_EQ(g721Decode(&code, 0, &count), nullptr);
    EXPECT_EQ(count, 0u);
    // Twice as many samples as 2^31 bytes hold do not fit the 32-bit sample count; nothing is read.
    count = 99;
    EXPECT_EQ(g721Decode(&code, 0x80000000u, &count), nullptr);
    EXPECT_EQ(count, 0u);
}
