// The file sinks: the text log read back by numpy, hostile value formats, failed opens; the WAVE capture through a
// layout and the tick, read back by libsndfile and sox, with its numbering, refusals and failures; the snapshots a
// host reads; the one-shot players on a table provider of the test's own; the memory load and streaming stubs.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Modules/Advanced/FileSinks.h"
#include "support/ModuleFixture.h"
#include "support/ModuleVariables.h"
#include "support/PythonOracle.h"

#ifdef KVE_TEST_SNDFILE
#include <sndfile.h>
#endif

using namespace kvetest;
using kve::filesinks::kTableProviderTag;
using kve::filesinks::TableProvider;

namespace {

constexpr uint32_t kFileSink = 0xBEEF0CF6u;
constexpr uint32_t kTriggeredFileSink = 0xBEEF0D5Fu;
constexpr uint32_t kTriggeredSink = 0xBEEF0D43u;
constexpr uint32_t kInterleavedSink = 0xBEEF0D54u;
constexpr uint32_t kFloatPlayer = 0xBEEF0D64u;
constexpr uint32_t kFract32Player = 0xBEEF0D49u;
constexpr uint32_t kMemoryLoading = 0xBEEF0D62u;
constexpr uint32_t kPeriodicStreaming = 0xBEEF0D55u;
constexpr uint32_t kProvider = 0xBEEFF0A1u;

// A table provider as another pack would offer one: ready, count and capacity from its arguments, the samples
// pointer aimed by the test.
constexpr std::array<kve::kit::Variable, 4> kProviderVariables = {
    KVE_VARIABLE(TableProvider, ready, Int), KVE_VARIABLE(TableProvider, count, Int),
    KVE_VARIABLE(TableProvider, capacity, UInt), KVE_VARIABLE(TableProvider, samples, Pointer)};
constexpr kve::kit::ClassRecord<4> providerRecord()
{
    auto c = kve::kit::makeClass<4>(kProvider, {}, kProviderVariables);
    c.record.reserved = kTableProviderTag;
    return c;
}
constexpr kve::kit::ClassRecord<4> kProviderClass = providerRecord();

const ModClassDescriptor *const kTable[] = {
    &kve_modFileSinkClass.record,         &kve_modTriggeredFileSinkClass.record,
    &kve_modTriggeredSinkClass.record,    &kve_modInterleavedSinkClass.record,
    &kve_modWAVInterpOneShotSourceClass.record, &kve_modWAVInterp16OneShotSourceFract32Class.record,
    &kve_modMemoryLoadingClass.record,    &kve_modPeriodicStreamingClass.record,
    &kProviderClass.record,
};

std::string readFile(const std::string &path)
{
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

bool exists(const std::string &path) { return std::filesystem::exists(path); }

// A fresh directory of the test's own, removed with everything in it.
class FileSinks : public ModuleFixture {
protected:
    void SetUp() override
    {
        useTable(kTable);
        char pattern[] = "/tmp/kve_file_sinks_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    // Writes a string into a module's text buffer (private variable k), NUL-terminated.
    static void writeText(ClassModule *m, uint32_t k, const std::string &text)
    {
        std::memcpy(privateArray<char>(m, k), text.c_str(), text.size() + 1);
    }
    GenericWire *complexWire(uint32_t channels, uint32_t blockSize)
    {
        int32_t status = KVE_OK;
        return ClassWire_Constructor(engine_.get(), &status, bitsOf(48000.0f), (4u << 28) | (1u << 27) | channels,
                                     blockSize, 0);
    }
    ClassModule *textSink(GenericWire *in, const std::string &path, const std::string &format,
                          const std::string &type)
    {
        ClassModule *m = build(kFileSink, 0x1, {in}, {64, 1});
        writeText(m, 2, path);
        writeText(m, 3, format);
        writeText(m, 4, type);
        return m;
    }

    // The trigger wire and the wire beside it that the capture and the players take.
    void triggerAnd(GenericWire *&other, uint32_t channels, uint32_t blockSize)
    {
        trigger_ = engine_.wire(1, blockSize);
        other = engine_.wire(channels, blockSize);
    }

    std::string dir_;
    GenericWire *trigger_ = nullptr;
};

// ---- Text sink ----

std::vector<float> ramp(size_t n, float scale)
{
    std::vector<float> x(n);
    for (size_t i = 0; i < n; ++i)
        x[i] = scale * (static_cast<float>(i) - 0.37f * static_cast<float>(n));
    return x;
}

// The value as the format printed it and a reader parses it back.
double printed(const char *format, float v)
{
    char text[64];
    std::snprintf(text, sizeof text, format, static_cast<double>(v));
    return std::strtod(text, nullptr);
}

TEST_F(FileSinks, TextLogHasItsHeaderAndNumpyReadsBackTheFedSamples)
{
    struct Case {
        const char *what;
        bool complex;
        const char *header;
    };
    const Case cases[] = {
        {"real", false, "Block size = 4; Number of Channels = 3; Data Type = float; Sample Rate = 48000; "
                        "Is Complex = 0\n"},
        {"complex", true, "Block size = 2; Number of Channels = 3; Data Type = float; Sample Rate = 48000; "
                          "Is Complex = 1\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        GenericWire *in = c.complex ? complexWire(3, 4) : engine_.wire(3, 4);
        const std::string path = dir_ + "/" + c.what + ".txt";
        ClassModule *m = textSink(in, path, "%.5e  ", "float");
        const std::vector<float> x = ramp(24, 0.123f);
        for (size_t block = 0; block < 2; ++block) {
            fill(in, x, block * 12);
            pump(m);
        }
        EXPECT_EQ(variable<int32_t>(m, 1), 0) << "the open request is served";
        ASSERT_EQ(m->classRecord->set(m, KVE_MASK_TEARDOWN), KVE_OK);

        const std::string text = readFile(path);
        EXPECT_EQ(text.substr(0, text.find('\n') + 1), c.header);
        // Real: a line per frame. Complex: per frame a line of real parts, then one of imaginary parts.
        std::vector<double> expected;
        for (size_t frame = 0; frame < (c.complex ? 4u : 8u); ++frame)
            for (size_t part = 0; part < (c.complex ? 2u : 1u); ++part)
                for (size_t ch = 0; ch < 3; ++ch)
                    expected.push_back(printed("%.5e", x[c.complex ? (frame * 3 + ch) * 2 + part : frame * 3 + ch]));
        EXPECT_EQ(runOracle("logged_text_values.py", {path}), expected);
    }
}

TEST_F(FileSinks, TextLogFallsBackFromFormatsPrintfCouldMisuse)
{
    struct Case {
        std::string format;
        const char *type;
        const char *firstLine; // the first data line for the frame {-1.5, 2} (int: the words 7 and -3)
    };
    const Case cases[] = {
        {"%n", "float", "-1.5 2 \n"},
        {"%s", "float", "-1.5 2 \n"},
        {"%d%d", "int", "7 -3 \n"},
        {"%*d", "int", "7 -3 \n"},
        {"%lld", "int", "7 -3 \n"},
        {"%f", "int", "7 -3 \n"},        // a float conversion for integer words
        {"no value", "float", "-1.5 2 \n"},
        {std::string(60, 'x'), "float", "-1.5 2 \n"}, // no terminator inside the buffer
        {"<%+06.1f|%%>", "float", "<-001.5|%><+002.0|%>\n"},
        {"%#x,", "int", "0x7,0xfffffffd,\n"},
    };
    int n = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.format);
        GenericWire *in = engine_.wire(2, 1);
        const std::string path = dir_ + "/" + std::to_string(n++) + ".txt";
        ClassModule *m = build(kFileSink, 0x1, {in}, {64, 1});
        writeText(m, 2, path);
        std::memcpy(privateArray<char>(m, 3), c.format.data(), std::min<size_t>(c.format.size() + 1, 60));
        writeText(m, 4, c.type);
        if (std::strcmp(c.type, "float") == 0)
            fill(in, std::vector<float>{-1.5f, 2.0f});
        else
            fill(in, std::vector<int32_t>{7, -3});
        pump(m);
        ASSERT_EQ(m->classRecord->set(m, KVE_MASK_TEARDOWN), KVE_OK);
        const std::string text = readFile(path);
        EXPECT_EQ(text.substr(text.find('\n') + 1), c.firstLine);
    }
}

TEST_F(FileSinks, TextLogThatCannotOpenSaysSoOnceAndWaitsForTheHost)
{
    GenericWire *in = engine_.wire(1, 2);
    ClassModule *m = textSink(in, dir_ + "/missing/log.txt", "%g ", "float");
    for (int block = 0; block < 3; ++block) {
        pump(m);
        EXPECT_EQ(variable<int32_t>(m, 1), KVE_E_FILE_OPEN) << "block " << block << ": not retried every block";
    }
    // The host mends the path and asks again; a second request later starts the file anew.
    writeText(m, 2, dir_ + "/log.txt");
    variable<int32_t>(m, 1) = 1;
    fill(in, std::vector<float>{1.0f, 2.0f});
    pump(m);
    pump(m);
    variable<int32_t>(m, 1) = 1;
    fill(in, std::vector<float>{3.0f, 4.0f});
    pump(m);
    ASSERT_EQ(m->classRecord->set(m, KVE_MASK_TEARDOWN), KVE_OK);
    EXPECT_EQ(readFile(dir_ + "/log.txt"),
              "Block size = 2; Number of Channels = 1; Data Type = float; Sample Rate = 48000; Is Complex = 0\n"
              "3 \n4 \n");
}

TEST_F(FileSinks, TextLogIsCompleteAfterEngineTeardown)
{
    GenericWire *in = engine_.wire(2, 32);
    ClassModule *m = textSink(in, dir_ + "/long.txt", "%d ", "int");
    std::vector<int32_t> x(64);
    for (int block = 0; block < 200; ++block) {
        std::fill(x.begin(), x.end(), block);
        fill(in, x);
        pump(m);
    }
    kve_fwDestroy(engine_.get());
    const std::vector<double> values = runOracle("logged_text_values.py", {dir_ + "/long.txt"});
    ASSERT_EQ(values.size(), 200u * 64u) << "every buffered line reached the file";
    EXPECT_EQ(values.back(), 199.0);
}

// ---- WAVE capture ----

// 2^-10 s: 46.875 frames at 48000 Hz, held exactly, so a capture of 47.
constexpr float kShort = 0.0009765625f;

class WaveCapture : public FileSinks {
protected:
    // A capture module of `duration` seconds on a trigger wire and an audio wire, placed in a layout the pump runs.
    void SetUp() override
    {
        FileSinks::SetUp();
        triggerAnd(audio_, 2, 32);
    }
    ClassModule *capture(float duration, const std::string &base, int32_t fileNumber = 0, uint32_t lengthWords = 0)
    {
        ClassModule *m = build(kTriggeredFileSink, 0x2, {trigger_, audio_},
                               {static_cast<uint32_t>(fileNumber), 0, 0, 0, bitsOf(duration), lengthWords, 64, 2});
        if (m == nullptr)
            return nullptr;
        writeText(m, 8, base);
        set(m);
        ClassLayout *l = engine_.layout(1, 1);
        EXPECT_EQ(engine_.place(l, 0, {m}), KVE_OK);
        return m;
    }
    // Runs blocks until the capture asks the tick to write it, then ticks; the first block carries the trigger.
    void runCapture(ClassModule *m, const std::vector<float> &x = {})
    {
        data<int32_t>(trigger_)[0] = 1;
        for (size_t block = 0; (m->packed & KVE_PACKED_DEFERRED_SET) == 0; ++block) {
            ASSERT_LT(block, 100000u);
            if (!x.empty())
                fill(audio_, x, block * 64);
            ASSERT_EQ(kve_fwPump(engine_.get(), 0), KVE_OK);
            data<int32_t>(trigger_)[0] = 0;
        }
        for (int tick = 0; tick < 2 && (m->packed & KVE_PACKED_DEFERRED_SET) != 0; ++tick)
            ASSERT_EQ(kve_fwTick(engine_.get()), KVE_OK);
    }
    std::string file(int n) const
    {
        char name[32];
        std::snprintf(name, sizeof name, "_%04d.wav", n);
        return dir_ + "/base" + name;
    }

    GenericWire *audio_ = nullptr;
};

TEST_F(WaveCapture, HalfASecondOfStereoReadsBackBitExactWithLibsndfileAndSox)
{
    ClassModule *m = capture(0.5f, dir_ + "/base");
    ASSERT_EQ(variable<int32_t>(m, 5), 24000);
    // Multiples of 2^-15 have an exact Fract32 value, k << 16; -1 and values at 1 or above saturate.
    std::vector<float> x(24000 * 2 + 64);
    std::vector<int32_t> expected(24000 * 2);
    for (size_t i = 0; i < x.size(); ++i) {
        const int32_t k = static_cast<int32_t>((i * 7919) % 65536) - 32768;
        x[i] = static_cast<float>(k) / 32768.0f;
        if (i < expected.size())
            expected[i] = k * 65536;
    }
    x[1] = 1.0f;
    expected[1] = INT32_MAX;

    data<int32_t>(trigger_)[0] = 1;
    for (size_t block = 0; block < 750; ++block) {
        fill(audio_, x, block * 64);
        ASSERT_EQ(kve_fwPump(engine_.get(), 0), KVE_OK);
        data<int32_t>(trigger_)[0] = block == 0 ? 5 : 0; // a trigger during the capture changes nothing
        if (block == 1) {
            EXPECT_EQ(variable<int32_t>(m, 1), 64) << "the second trigger restarted the capture";
        }
    }
    EXPECT_EQ(variable<int32_t>(m, 1), 24000);
    EXPECT_NE(m->packed & KVE_PACKED_DEFERRED_SET, 0u);
    EXPECT_FALSE(exists(file(0))) << "Process touches no file";
    for (int tick = 0; tick < 2 && (m->packed & KVE_PACKED_DEFERRED_SET) != 0; ++tick)
        ASSERT_EQ(kve_fwTick(engine_.get()), KVE_OK);
    EXPECT_EQ(variable<int32_t>(m, 3), 0);
    EXPECT_EQ(variable<int32_t>(m, 0), 1);
    EXPECT_EQ(variable<int32_t>(m, 2), 0);
    ASSERT_TRUE(exists(file(0)));
    EXPECT_EQ(std::filesystem::file_size(file(0)), 44u + 192000u);

    const std::string header = readFile(file(0)).substr(0, 44);
    const uint8_t fmt[] = {1, 0, 2, 0, 0x80, 0xBB, 0, 0, 0, 0xDC, 5, 0, 8, 0, 32, 0}; // PCM, 2, 48000, 384000, 8, 32
    EXPECT_EQ(header.substr(20, 16), std::string(reinterpret_cast<const char *>(fmt), sizeof fmt));

#ifdef KVE_TEST_SNDFILE
    SF_INFO info{};
    SNDFILE *f = sf_open(file(0).c_str(), SFM_READ, &info);
    ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
    EXPECT_EQ(info.frames, 24000);
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.samplerate, 48000);
    EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_32);
    std::vector<int32_t> read(expected.size());
    const auto wanted = static_cast<sf_count_t>(read.size());
    EXPECT_EQ(sf_read_int(f, read.data(), wanted), wanted);
    sf_close(f);
    EXPECT_EQ(read, expected);
#endif

    struct Query {
        const char *option;
        const char *answer;
    };
    const Query queries[] = {{"-D", "0.500000\n"}, {"-c", "2\n"}, {"-r", "48000\n"}, {"-b", "32\n"}};
    for (const Query &q : queries) {
        const std::string command = std::string("soxi ") + q.option + " '" + file(0) + "' 2>/dev/null";
        std::FILE *p = popen(command.c_str(), "r");
        ASSERT_NE(p, nullptr);
        char out[64] = {};
        const size_t got = std::fread(out, 1, sizeof out - 1, p);
        pclose(p);
        EXPECT_EQ(std::string(out, got), q.answer) << "soxi " << q.option;
    }
}

TEST_F(WaveCapture, CapturesAreNumberedAndNeverReplaceAFile)
{
    ClassModule *m = capture(kShort, dir_ + "/base"); // 47 frames: two blocks
    runCapture(m);
    EXPECT_TRUE(exists(file(0)));
    EXPECT_EQ(variable<int32_t>(m, 3), 0);

    {
        std::ofstream(file(1)) << "keep";
    }
    runCapture(m);
    EXPECT_EQ(variable<int32_t>(m, 3), KVE_E_FILE_OPEN) << "an existing file is a failed capture";
    EXPECT_EQ(readFile(file(1)), "keep");
    EXPECT_EQ(variable<int32_t>(m, 0), 2) << "the failed capture's number is used up";

    runCapture(m);
    EXPECT_EQ(variable<int32_t>(m, 3), 0);
    EXPECT_EQ(std::filesystem::file_size(file(2)), 44u + 47u * 8u);

    variable<int32_t>(m, 0) = 12345;
    runCapture(m);
    EXPECT_TRUE(exists(dir_ + "/base_12345.wav")) << "the number widens its field";
}

TEST_F(WaveCapture, FailedCapturesLeaveNoFileAndMoveOn)
{
    struct Case {
        const char *what;
        std::string base;
    };
    const Case cases[] = {
        {"missing directory", dir_ + "/missing/base"},
        {"name longer than a path can be", dir_ + "/" + std::string(250, 'n') + "/" + std::string(4000, 'n')},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ClassModule *m = build(kTriggeredFileSink, 0x2, {trigger_, audio_},
                               {7, 0, 0, 0, bitsOf(kShort), 0, 1100, 2});
        std::memcpy(privateArray<char>(m, 8), c.base.c_str(), c.base.size() + 1);
        set(m);
        data<int32_t>(trigger_)[0] = 1;
        pump(m);
        data<int32_t>(trigger_)[0] = 0;
        pump(m);
        set(m);
        EXPECT_EQ(variable<int32_t>(m, 3), KVE_E_FILE_OPEN);
        EXPECT_EQ(variable<int32_t>(m, 0), 8);
        EXPECT_EQ(variable<int32_t>(m, 2), 0) << "the capture is dropped";
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir_));
}

TEST_F(WaveCapture, CaptureLengthNeverPassesTheBuffer)
{
    // Built for 47 frames (the larger of ceil(46.875) and 10), then asked for a second: the length stays at 47.
    ClassModule *m = capture(kShort, dir_ + "/base", 0, 10);
    variable<float>(m, 4) = 1.0f;
    set(m);
    EXPECT_EQ(variable<int32_t>(m, 5), 47);
    runCapture(m);
    EXPECT_EQ(std::filesystem::file_size(file(0)), 44u + 47u * 8u);
}

// ---- Snapshots for the host ----

TEST_F(FileSinks, TriggeredSnapshotKeepsTheFirstTriggeredBlockChannelByChannel)
{
    struct Case {
        const char *what;
        bool complex;
        int32_t triggerWord; // -1: none
        int32_t withoutTrigger;
        int32_t position;
        bool captured;
    };
    const Case cases[] = {
        {"trigger at word 5", false, 5, 0, 6, true},
        {"trigger at word 0", false, 0, 0, 1, true},
        {"no trigger", false, -1, 0, 0, false},
        {"no trigger, capture anyway", false, -1, 1, 0, true},
        {"complex wire", true, 7, 0, 8, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        GenericWire *trigger = engine_.wire(2, 4);
        GenericWire *audio = c.complex ? complexWire(2, 4) : engine_.wire(2, 4);
        ClassModule *m = build(kTriggeredSink, 0x2, {trigger, audio}, {1, 0, static_cast<uint32_t>(c.withoutTrigger)});
        std::vector<int32_t> t(8, 0);
        if (c.triggerWord >= 0)
            t[static_cast<size_t>(c.triggerWord)] = 3;
        fill(trigger, t);
        fill(audio, std::vector<int32_t>{0, 1, 2, 3, 4, 5, 6, 7});
        pump(m);
        EXPECT_EQ(variable<int32_t>(m, 1), c.position);
        EXPECT_EQ(variable<int32_t>(m, 0), c.captured ? 0 : 1);
        const int32_t *buffer = privateArray<int32_t>(m, 3);
        // Real frames (c0 c1): channel 0 is words 0 2 4 6. Complex frames (re0 im0 re1 im1): channel 0 is 0 1 4 5.
        const std::vector<int32_t> expected =
            c.complex ? std::vector<int32_t>{0, 1, 4, 5, 2, 3, 6, 7} : std::vector<int32_t>{0, 2, 4, 6, 1, 3, 5, 7};
        if (c.captured) {
            EXPECT_EQ(std::vector<int32_t>(buffer, buffer + 8), expected);
            // Disarmed: the next block is not kept until the host re-arms.
            fill(audio, std::vector<int32_t>(8, 99));
            pump(m);
            EXPECT_EQ(buffer[0], expected[0]);
        }
    }
}

TEST_F(FileSinks, InterleavedSnapshotAndStreamingStubForTheHost)
{
    GenericWire *in = engine_.wire(3, 4);
    ClassModule *snapshot = build(kInterleavedSink, 0x1, {in}, {});
    const std::vector<float> x = ramp(12, 0.5f);
    fill(in, x);
    pump(snapshot);
    EXPECT_EQ(std::vector<float>(privateArray<float>(snapshot, 0), privateArray<float>(snapshot, 0) + 12), x);

    GenericWire *out = engine_.wire(1, 1);
    ClassModule *stream = build(kPeriodicStreaming, 0x100, {out}, {5, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    ASSERT_EQ(kve_fwModuleHiddenWords(stream)[0], 8u);
    ASSERT_EQ(kve_fwModuleHiddenWords(stream)[1], 3u);
    pump(stream);
    EXPECT_EQ(data<uint32_t>(out)[0], stream->objectId);
    EXPECT_EQ(variable<int32_t>(stream, 4), 3);
}

TEST_F(FileSinks, MemoryLoadFillsItsBufferWithTheBlockCount)
{
    ClassModule *m = build(kMemoryLoading, 0, {}, {3, 16, KVE_HEAPS_HOST_ARRAYS, 0});
    pump(m);
    pump(m);
    const int32_t *buffer = privateArray<int32_t>(m, 4);
    EXPECT_EQ(std::vector<int32_t>(buffer, buffer + 16), std::vector<int32_t>(16, 1));
    EXPECT_EQ(variable<int32_t>(m, 3), 2);
    variable<int32_t>(m, 1) = 1 << 20; // more words than it holds: filled within the buffer
    pump(m);
    EXPECT_EQ(buffer[15], 2);
}

// ---- One-shot players ----

class OneShotPlayers : public FileSinks {
protected:
    void SetUp() override
    {
        FileSinks::SetUp();
        triggerAnd(rate_, 1, 4);
    }
    ClassModule *provider(uint32_t capacity, void *samples, int32_t count = 100)
    {
        ClassModule *p = build(kProvider, 0, {}, {0, static_cast<uint32_t>(count), capacity});
        auto *t = reinterpret_cast<TableProvider *>(p);
        t->samples = samples;
        return p;
    }
    // A player of `length` samples on the table id, following its rate input at once.
    ClassModule *player(uint32_t classId, GenericWire *out, int32_t length, uint32_t tableId)
    {
        ClassModule *m = build(classId, 0x102, {trigger_, rate_, out}, {0, static_cast<uint32_t>(length), 0, 0, 0,
                                                                          0, tableId});
        EXPECT_EQ(m->classRecord->set(m, 1u << 14), KVE_OK);
        variable<float>(m, 4) = 1.0f;
        return m;
    }
    void block(ClassModule *m, int32_t trigger, float rate)
    {
        data<int32_t>(trigger_)[0] = trigger;
        data<float>(rate_)[0] = rate;
        pump(m);
    }

    GenericWire *rate_ = nullptr;
};

TEST_F(OneShotPlayers, FloatPlayerInterpolatesPlaysOnceAndWaitsForTheNextTrigger)
{
    std::vector<float> table = {0.0f, 8.0f, -4.0f, 2.0f, 6.0f};
    ClassModule *p = provider(5, table.data());
    GenericWire *out = engine_.wire(1, 4);
    // The player's length passes the table's 5 samples: reads past the table stay on its last sample.
    ClassModule *m = player(kFloatPlayer, out, 7, p->objectId);

    block(m, 0, 1.0f);
    EXPECT_EQ(words<float>(out), std::vector<float>(4, 0.0f)) << "idle before the first trigger";
    block(m, 1, 1.25f);
    EXPECT_EQ(words<float>(out), (std::vector<float>{0.0f, 5.0f, -1.0f, 5.0f}));
    block(m, 0, 1.25f); // positions 5 ... 8.75, then 10 ends playback
    EXPECT_EQ(words<float>(out), (std::vector<float>{6.0f, 6.0f, 6.0f, 6.0f}));
    EXPECT_EQ(variable<float>(m, 5), 0.0f);
    block(m, 0, 1.25f);
    EXPECT_EQ(words<float>(out), std::vector<float>(4, 0.0f)) << "waits for the next trigger";
    block(m, 7, 1.0f);
    EXPECT_EQ(words<float>(out), (std::vector<float>{0.0f, 8.0f, -4.0f, 2.0f}));
}

TEST_F(OneShotPlayers, Fract32PlayerWeightsSixteenBitNeighbours)
{
    std::vector<int16_t> table = {1000, -2000, 32767, -32768};
    ClassModule *p = provider(4, table.data());
    GenericWire *out = engine_.wire(1, 4);
    ClassModule *m = player(kFract32Player, out, 4, p->objectId);
    block(m, 1, 0.75f); // a step of 12288: positions 0, 0.75, 1.5, 2.25
    EXPECT_EQ(words<int32_t>(out), (std::vector<int32_t>{1000 * 65536, 1000 * 16384 - 2000 * 49152,
                                                         -2000 * 32768 + 32767 * 32768,
                                                         32767 * 49152 - 32768 * 16384}));
    block(m, 0, 0.75f); // 3 (the last sample, its neighbour itself), then past the end
    EXPECT_EQ(words<int32_t>(out)[0], -32768 * 65536);
    EXPECT_EQ(variable<uint32_t>(m, 5), 0u) << "ended at length << 14";
}

TEST_F(OneShotPlayers, PlayersAreSilentWithoutAReadyTable)
{
    std::vector<float> table(8, 0.5f);
    struct Case {
        const char *what;
        int32_t ready;
        int32_t count;
        bool useProvider;
    };
    const Case cases[] = {
        {"not ready", 1, 100, true},
        {"count 4", 0, 4, true},
        {"count 5", 0, 5, true},
        {"id of a module that is no provider", 0, 100, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ClassModule *p = provider(8, table.data(), c.count);
        variable<int32_t>(p, 0) = c.ready;
        GenericWire *out = engine_.wire(1, 4);
        GenericWire *other = engine_.wire(1, 1);
        ClassModule *notProvider = build(kInterleavedSink, 0x1, {other}, {});
        ClassModule *m = player(kFloatPlayer, out, 8, c.useProvider ? p->objectId : notProvider->objectId);
        fill(out, std::vector<float>(4, 9.0f));
        block(m, 1, 1.0f);
        EXPECT_EQ(words<float>(out), std::vector<float>(4, 0.0f));
    }
}

} // namespace
