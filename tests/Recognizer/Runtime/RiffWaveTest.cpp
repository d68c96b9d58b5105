// The WAVE reader and writer held to other readers and writers of the format: files sox and libsndfile make read as
// libsndfile reads them, files we write open in soxi, libsndfile and Python's wave module with the same samples, and
// malformed files built byte by byte give their reason and a status of 1.
#include "Utils/FileTestDir.h"

#include <kve/kve_recognizer.h>
#include <kve/kve_recognizer_runtime.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#ifdef KVE_TEST_SNDFILE
#include <sndfile.h>
#endif
#ifdef KVE_TEST_SPANDSP
#include <spandsp.h>
#endif

namespace {

using Samples = std::vector<int16_t>;

struct Reading {
    int status = -1;
    std::string text;
    Samples samples;
    uint32_t rate = 0;
    uint32_t channels = 0;
    uint32_t countOnly = 0;
    std::string countText; // why a count-only read failed
};

// Reads the file through riffReadWave, and once more for its count alone.
Reading readWave(const std::string &path, int32_t mode = 0, double startMs = -1.0, double endMs = -1.0)
{
    Reading r;
    gsResult *result = GS_NewResult();
    FILE *file = fopen(path.c_str(), "rb");
    EXPECT_NE(file, nullptr) << path;
    if (file == nullptr)
        return r;
    int16_t *samples = nullptr;
    uint32_t count = 0;
    r.status = riffReadWave(result, file, &samples, &r.rate, &count, mode, &r.channels, startMs, endMs);
    r.text = result->text;
    if (r.status == 0)
        r.samples.assign(samples, samples + count);
    else
        EXPECT_EQ(samples, nullptr) << "a failed read hands out no block";
    dbFree(samples);
    uint32_t rate = 0;
    GS_ResetResult(result);
    if (riffReadWave(result, file, nullptr, &rate, &r.countOnly, mode, nullptr, 0.0, -1.0) != 0)
        r.countText = result->text;
    fclose(file);
    GS_FreeResult(result);
    return r;
}

std::string run(const std::string &command)
{
    std::string output;
    FILE *pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return output;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, n);
    EXPECT_EQ(pclose(pipe), 0) << command;
    return output;
}

std::string bytesOf(const std::string &path)
{
    FILE *file = fopen(path.c_str(), "rb");
    std::string bytes;
    if (file == nullptr)
        return bytes;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, file)) > 0;)
        bytes.append(buffer, n);
    fclose(file);
    return bytes;
}

uint32_t wordAt(const std::string &bytes, size_t at)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | uint8_t(bytes.at(at + i));
    return v;
}

// The code bytes of a file's "data" chunk, found by its id.
std::string dataBytes(const std::string &bytes)
{
    const size_t at = bytes.find("data", 12);
    if (at == std::string::npos)
        return {};
    return bytes.substr(at + 8, wordAt(bytes, at + 4));
}

// Speech-like test signal: a gliding tone with a swelling envelope over noise, peak loud at its loudest.
Samples testSignal(size_t count, double peak = 33000.0)
{
    Samples x(count);
    uint32_t seed = 12345;
    double phase = 0.0;
    for (size_t i = 0; i < count; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const double noise = (double(seed >> 16) / 65536.0 - 0.5) * 2000.0;
        phase += 0.02 + 0.2 * double(i) / double(count);
        const double envelope = 0.5 - 0.5 * std::cos(6.283185307179586 * double(i) / double(count));
        const double v = peak * envelope * std::sin(phase) + noise;
        x[i] = int16_t(std::max(-32768.0, std::min(32767.0, v)));
    }
    return x;
}

#ifdef KVE_TEST_SNDFILE
struct SndRead {
    Samples interleaved;
    int channels = 0;
    int rate = 0;
    int format = 0;
};

SndRead sndRead(const std::string &path)
{
    SndRead r;
    SF_INFO info{};
    SNDFILE *file = sf_open(path.c_str(), SFM_READ, &info);
    EXPECT_NE(file, nullptr) << path << ": " << sf_strerror(nullptr);
    if (file == nullptr)
        return r;
    r.interleaved.resize(size_t(info.frames) * size_t(info.channels));
    EXPECT_EQ(sf_read_short(file, r.interleaved.data(), sf_count_t(r.interleaved.size())),
              sf_count_t(r.interleaved.size()));
    sf_close(file);
    r.channels = info.channels;
    r.rate = info.samplerate;
    r.format = info.format;
    return r;
}

// What a channel mode gives of libsndfile's frames: one channel, or both averaged with truncation toward zero.
Samples channelOf(const SndRead &r, int mode)
{
    if (r.channels == 1)
        return r.interleaved;
    Samples out(r.interleaved.size() / 2);
    for (size_t i = 0; i < out.size(); ++i) {
        const int left = r.interleaved[2 * i], right = r.interleaved[2 * i + 1];
        out[i] = int16_t(mode == 1 ? left : mode == 2 ? right : (left + right) / 2);
    }
    return out;
}

void sndWrite(const std::string &path, int format, const Samples &x, int rate)
{
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 1;
    info.format = format;
    SNDFILE *file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    EXPECT_EQ(sf_write_short(file, x.data(), sf_count_t(x.size())), sf_count_t(x.size()));
    sf_close(file);
}
#endif

#ifdef KVE_TEST_SPANDSP
Samples spandspDecode(const std::string &codes)
{
    g726_state_t *state = g726_init(nullptr, 32000, G726_ENCODING_LINEAR, G726_PACKING_RIGHT);
    Samples out(2 * codes.size());
    const int n = g726_decode(state, out.data(), reinterpret_cast<const uint8_t *>(codes.data()), int(codes.size()));
    g726_free(state);
    out.resize(size_t(n));
    return out;
}

std::string spandspEncode(const Samples &x)
{
    g726_state_t *state = g726_init(nullptr, 32000, G726_ENCODING_LINEAR, G726_PACKING_RIGHT);
    std::string codes(x.size() / 2 + 1, '\0');
    const int n = g726_encode(state, reinterpret_cast<uint8_t *>(codes.data()), x.data(), int(x.size()));
    g726_free(state);
    codes.resize(size_t(n));
    return codes;
}
#endif

class RiffWaveTest : public testing::Test {
protected:
    ~RiffWaveTest() override { GS_FreeResult(result); }

    kvetest::ScratchDir dir;
    gsResult *result = GS_NewResult();
};

#ifdef KVE_TEST_SNDFILE
TEST_F(RiffWaveTest, SoxFilesReadAsLibsndfileReadsThemInEveryChannelMode)
{
    struct Case {
        const char *name;
        const char *format; // sox's output options
        const char *synth;  // one generator per channel
    };
    const Case cases[] = {
        {"pcm16_mono", "-e signed -b 16 -c 1", "sine 300-3000 vol 0.9"},
        {"pcm16_stereo", "-e signed -b 16 -c 2", "sine 300-3000 square 170"},
        {"pcm8_mono", "-e unsigned -b 8 -c 1", "sine 300-3000"},
        {"pcm8_stereo", "-e unsigned -b 8 -c 2", "sine 300-3000 square 170 vol 0.7"},
        {"ulaw_mono", "-e mu-law -b 8 -c 1", "sine 300-3000"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir / (std::string(c.name) + ".wav");
        run(std::string("sox -q -n -r 11025 ") + c.format + " " + path + " synth 0.3 " + c.synth + " dither -s 2>&1");
        const SndRead expected = sndRead(path);
        ASSERT_GT(expected.interleaved.size(), 3000u);
        for (int mode : {0, 1, 2}) {
            SCOPED_TRACE(mode);
            const Reading r = readWave(path, mode);
            ASSERT_EQ(r.status, 0) << r.text;
            EXPECT_EQ(r.rate, 11025u);
            EXPECT_EQ(int(r.channels), expected.channels);
            EXPECT_EQ(r.samples, channelOf(expected, mode));
            EXPECT_EQ(r.countOnly, r.samples.size());
        }
    }
}

TEST_F(RiffWaveTest, LibsndfileMuLawAndG721FilesRead)
{
    // Loud enough for every quantiser step, quiet enough that no reconstruction leaves the 16-bit range, where the
    // standard's coders differ in whether they saturate.
    const Samples x = testSignal(4001, 12000.0);
    const std::string ulaw = dir / "ulaw.wav";
    sndWrite(ulaw, SF_FORMAT_WAV | SF_FORMAT_ULAW, x, 8000);
    const Reading u = readWave(ulaw);
    ASSERT_EQ(u.status, 0) << u.text;
    EXPECT_EQ(u.samples, sndRead(ulaw).interleaved);

    const std::string g721 = dir / "g721.wav";
    sndWrite(g721, SF_FORMAT_WAV | SF_FORMAT_G721_32, x, 8000);
    const std::string bytes = bytesOf(g721);
    ASSERT_EQ(wordAt(bytes, 16), 20u) << "libsndfile's G.721 format chunk is 20 bytes";
    EXPECT_NE(bytes.find("fact"), std::string::npos);
    const Reading g = readWave(g721);
    ASSERT_EQ(g.status, 0) << g.text;
    EXPECT_EQ(g.rate, 8000u);
    const std::string codes = dataBytes(bytes);
    EXPECT_EQ(g.samples.size(), 2 * codes.size());
    EXPECT_EQ(g.countOnly, 2 * codes.size());
#ifdef KVE_TEST_SPANDSP
    EXPECT_EQ(g.samples, spandspDecode(codes));
#endif
}
#endif

TEST_F(RiffWaveTest, UnusualLayoutsRead)
{
    run("/usr/bin/python3 " KVE_TESTS_DIR "/oracles/wave_files.py build " + dir.path());
    // The chunk after an odd LIST chunk begins past its pad byte; a last odd chunk may go without one.
    const Reading list = readWave(dir / "odd_list.wav");
    ASSERT_EQ(list.status, 0) << list.text;
    EXPECT_EQ(list.samples, (Samples{100, -200, 300, -400}));
#ifdef KVE_TEST_SNDFILE
    EXPECT_EQ(list.samples, sndRead(dir / "odd_list.wav").interleaved);
#endif

    const Reading pairs = readWave(dir / "stereo_pairs.wav", 0);
    ASSERT_EQ(pairs.status, 0) << pairs.text;
    EXPECT_EQ(pairs.samples, (Samples{-1, 1, -32768, 32767}));

    // An end of -1 ms keeps the end of the recording at a low rate too.
    const Reading slow = readWave(dir / "rate_1000.wav", 0, -1.0, -1.0);
    ASSERT_EQ(slow.status, 0) << slow.text;
    EXPECT_EQ(slow.samples.size(), 4u);
}

TEST_F(RiffWaveTest, MalformedFilesGiveTheirReason)
{
    run("/usr/bin/python3 " KVE_TESTS_DIR "/oracles/wave_files.py build " + dir.path());
    const std::string noFmt = "\nwaveform audio file has no \"fmt \" chunk.";
    const struct {
        const char *name;
        std::string text;
    } cases[] = {
        {"not_riff", "RIFF form type not found\nnot a RIFF waveform audio file"},
        {"not_wave", "RIFF form type not found\nnot a RIFF waveform audio file"},
        {"no_fmt", "RIFF chunk not found" + noFmt},
        {"no_data", "RIFF chunk not found\nwaveform audio file has no \"data\" chunk."},
        {"fmt_size_0", "RIFF chunk length out of range"},
        {"data_size_0", "RIFF chunk length out of range"},
        {"data_size_huge", "RIFF chunk length out of range"},
        {"three_channels", "PCM WAVE file contains more than 2 data channels"},
        {"twelve_bits", "12 bits per sample PCM format not supported"},
        {"tag_0x55", "WAVE format (id 0x55) not supported"},
        {"size_fffffff8", "RIFF chunk not found" + noFmt},
        {"fmt_14_bytes", "0 bits per sample PCM format not supported"},
        {"fmt_past_end", "fmt chunk read failed."},
        {"data_past_end", "truncated \"data\" chunk"},
        {"ulaw_stereo", "u-law WAVE file contains more than one data channel"},
        {"g721_8_bits", "# of bits per sample is inconsistent with G721 format"},
        {"g721_huge", "truncated \"data\" chunk"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const Reading r = readWave(dir / (std::string(c.name) + ".wav"));
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.text, c.text);
    }
    // Counting alone reads no data, but still refuses what a count cannot hold or the format cannot say.
    EXPECT_EQ(readWave(dir / "g721_huge.wav").countText, "RIFF chunk length out of range");
    EXPECT_EQ(readWave(dir / "tag_0x55.wav").countText, "WAVE encoding format not supported");
}

TEST_F(RiffWaveTest, TrimsKeepTheSamplesBetweenStartAndEnd)
{
    Samples ramp(16000);
    for (size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = int16_t(i);
    const std::string path = dir / "ramp.wav";
    ASSERT_EQ(riffWriteWave(result, path.c_str(), ramp.data(), uint32_t(ramp.size()), 16000, 1, 0), 0);
    const struct {
        double start, end;
        size_t first, count;
    } cases[] = {
        {-1.0, -1.0, 0, 16000},  {0.0, -1.0, 0, 16000},  {500.0, -1.0, 8000, 8000},
        {500.0, 750.0, 8000, 4001}, {-5.0, 10.0, 0, 161}, {900.0, 5000.0, 14400, 1600},
        {2000.0, -1.0, 0, 0},    {500.0, 100.0, 0, 0},   {500.0, 0.0, 0, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.start << " .. " << c.end);
        const Reading r = readWave(path, 0, c.start, c.end);
        ASSERT_EQ(r.status, 0) << r.text;
        ASSERT_EQ(r.samples.size(), c.count);
        if (c.count > 0) {
            EXPECT_EQ(r.samples.front(), int16_t(c.first));
            EXPECT_EQ(r.samples.back(), int16_t(c.first + c.count - 1));
        }
    }
}

TEST_F(RiffWaveTest, WrittenFilesOpenInSoxLibsndfileAndPythonWave)
{
    const Samples x = testSignal(3001);
    const struct {
        const char *name;
        uint16_t tag;
        const char *encoding;
    } cases[] = {{"pcm", 1, "Signed Integer PCM"}, {"ulaw", 7, "u-law"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir / (std::string(c.name) + ".wav");
        ASSERT_EQ(riffWriteWave(result, path.c_str(), x.data(), uint32_t(x.size()), 22050, c.tag, 0), 0);
        EXPECT_EQ(run("soxi -r " + path), "22050\n");
        EXPECT_EQ(run("soxi -c " + path), "1\n");
        EXPECT_EQ(run("soxi -e " + path), std::string(c.encoding) + "\n");
        EXPECT_EQ(run("soxi -s " + path), "3001\n");
        Samples expected = x;
        if (c.tag == 7)
            for (int16_t &v : expected)
                v = ulawDecode(ulawEncode(v));
#ifdef KVE_TEST_SNDFILE
        EXPECT_EQ(sndRead(path).interleaved, expected);
#endif
        EXPECT_EQ(readWave(path).samples, expected);
        if (c.tag == 1) {
            std::istringstream python(run("/usr/bin/python3 " KVE_TESTS_DIR "/oracles/wave_files.py read " + path));
            int channels = 0, width = 0, rate = 0, frames = 0;
            python >> channels >> width >> rate >> frames;
            EXPECT_EQ(channels, 1);
            EXPECT_EQ(width, 2);
            EXPECT_EQ(rate, 22050);
            Samples back;
            for (int v; python >> v;)
                back.push_back(int16_t(v));
            EXPECT_EQ(back, x);
        }
    }
}

TEST_F(RiffWaveTest, WrittenG721FilesHoldTheStandardsCodes)
{
    const Samples x = testSignal(2001, 12000.0);
    const std::string path = dir / "g721.wav";
    ASSERT_EQ(riffWriteWave(result, path.c_str(), x.data(), uint32_t(x.size()), 8000, 0x40, 0), 0);
    const std::string bytes = bytesOf(path);
    const std::string codes = dataBytes(bytes);
    EXPECT_EQ(codes.size(), 1001u);
    const Reading r = readWave(path);
    ASSERT_EQ(r.status, 0) << r.text;
    EXPECT_EQ(r.samples.size(), 2002u) << "an odd count reads back one sample longer";
#ifdef KVE_TEST_SPANDSP
    EXPECT_EQ(codes.substr(0, 1000), spandspEncode(x).substr(0, 1000));
    EXPECT_EQ(r.samples, spandspDecode(codes));
#endif
#ifdef KVE_TEST_SNDFILE
    // libsndfile's own G.72x decoder is not bit-exact with the standard: it must only hear the same recording,
    // within what it drifts from the standard's decode on the files it writes itself (12 to 13 dB on this signal).
    // The codes themselves are held to the standard above.
    const SndRead theirs = sndRead(path);
    EXPECT_EQ(theirs.format, SF_FORMAT_WAV | SF_FORMAT_G721_32);
    ASSERT_GE(theirs.interleaved.size(), 2000u);
    double signal = 0.0, error = 0.0;
    for (size_t i = 0; i < 2000; ++i) {
        signal += double(r.samples[i]) * r.samples[i];
        const double d = double(theirs.interleaved[i]) - r.samples[i];
        error += d * d;
    }
    EXPECT_GE(10.0 * std::log10(signal / std::max(error, 1.0)), 10.0);
#endif

    // Five samples take three code bytes; the header's sizes follow.
    ASSERT_EQ(riffWriteWave(result, path.c_str(), x.data(), 5, 8000, 0x40, 0), 0);
    const std::string five = bytesOf(path);
    EXPECT_EQ(five.size(), 47u);
    EXPECT_EQ(wordAt(five, 4), 39u);
    EXPECT_EQ(wordAt(five, 40), 3u);
    EXPECT_EQ(wordAt(five, 28), 0u) << "byte rate";
    EXPECT_EQ(wordAt(five, 32) & 0xFFFF, 0u) << "block align";
}

// A reader given nowhere to put the stream's rate or count, or no stream, says so instead of writing through null.
TEST_F(RiffWaveTest, ReadingIntoMissingResultsIsRefused)
{
    const std::string path = dir / "tone.wav";
    ASSERT_EQ(riffWriteWave(result, path.c_str(), Samples(64, 100).data(), 64, 8000, 1, 0), 0);
    FILE *f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    int16_t *samples = nullptr;
    uint32_t rate = 0, count = 0;
    const struct {
        FILE *stream;
        uint32_t *rate, *count;
    } cases[] = {{nullptr, &rate, &count}, {f, nullptr, &count}, {f, &rate, nullptr}};
    for (const auto &c : cases) {
        GS_ResetResult(result);
        EXPECT_EQ(riffReadWave(result, c.stream, &samples, c.rate, c.count, 0, nullptr, 0.0, -1.0), 1);
        EXPECT_EQ(std::string(result->text), "no stream, sample rate or count to read into");
        EXPECT_EQ(samples, nullptr);
    }
    std::fclose(f);
}

TEST_F(RiffWaveTest, WriterRefusalsAndFailedWrites)
{
    const Samples x(16, 7);
    const std::string path = dir / "refused.wav";
    const struct {
        uint32_t count, rate;
        uint16_t tag;
        std::string text;
    } cases[] = {
        {16, 8000, 3, "format not supported"},
        {0x80000000u, 8000, 1, "recording too long for a WAVE file"},
        {0xFFFFFFE0u, 8000, 7, "recording too long for a WAVE file"},
        {16, 0x80000000u, 1, "recording too long for a WAVE file"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        GS_ResetResult(result);
        // Refused before any sample is read or any file opened.
        EXPECT_EQ(riffWriteWave(result, path.c_str(), x.data(), c.count, c.rate, c.tag, 0), 1);
        EXPECT_EQ(std::string(result->text), c.text);
        EXPECT_FALSE(std::filesystem::exists(path));
    }

    const std::string missing = dir / "no/such/dir.wav";
    EXPECT_EQ(riffWriteWave(result, missing.c_str(), x.data(), 16, 8000, 1, 0), 1);
    EXPECT_EQ(std::string(result->text), "could not open \"" + missing + "\" for output: No such file or directory");
    // A full device takes the header into the stream's buffer and refuses it when the file is closed.
    if (std::filesystem::exists("/dev/full")) {
        for (uint16_t tag : {1, 7, 0x40}) {
            GS_ResetResult(result);
            EXPECT_EQ(riffWriteWave(result, "/dev/full", x.data(), 16, 8000, tag, 0), 1);
            EXPECT_EQ(std::string(result->text), "fwrite of '/dev/full' failed: No space left on device");
        }
    }
}

} // namespace
