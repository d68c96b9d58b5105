// The text and binary logs: what a line looks like, what is kept and cut, what a dump appends and when a dump writes
// nothing; and both logs fed and dumped by several threads at once.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "kve/kve_log.h"

namespace {

// The logs are process-wide: each test starts from empty stores and leaves both switches off.
class LogFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_use_text_log = 1;
        g_use_bin_log = 1;
        DumpLog("/dev/null");
        DumpBinaryLog("/dev/null");
        dir_ = ::testing::TempDir() + "kve_log_" + std::to_string(getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
        ASSERT_EQ(std::system(("rm -rf '" + dir_ + "' && mkdir -p '" + dir_ + "'").c_str()), 0);
    }
    void TearDown() override
    {
        g_use_text_log = 1;
        g_use_bin_log = 1;
        DumpLog("/dev/null");
        DumpBinaryLog("/dev/null");
        g_use_text_log = 0;
        g_use_bin_log = 0;
        std::system(("rm -rf '" + dir_ + "'").c_str());
    }
    std::string path(const char *name) const { return dir_ + "/" + name; }
    static bool exists(const std::string &file) { return access(file.c_str(), F_OK) == 0; }
    static std::string contents(const std::string &file)
    {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static void write(const std::string &file, const std::string &text) { std::ofstream(file) << text; }

    std::string dir_;
};

using TextLog = LogFiles;
using BinaryLog = LogFiles;
using LogThreads = LogFiles;

// The seconds and microseconds of the stamp at the head of each stored line.
std::vector<double> stampsOf(const std::string &text, const std::string &body)
{
    const std::regex line("(\\d+)\\.(\\d{6}): " + body + "\n");
    std::vector<double> stamps;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), line); it != std::sregex_iterator(); ++it)
        stamps.push_back(std::stod((*it)[1].str()) + std::stod((*it)[2].str()) * 1e-6);
    return stamps;
}

TEST_F(TextLog, LineIsMonotonicStampThenTextAsFormatted)
{
    timespec before{};
    clock_gettime(CLOCK_MONOTONIC, &before);
    Tlog("x=%d\n", 5);
    Tlog("x=%d\n", 5);
    DumpLog(path("text.log").c_str());
    const std::string text = contents(path("text.log"));
    const std::vector<double> stamps = stampsOf(text, "x=5");
    ASSERT_EQ(stamps.size(), 2u) << text;
    EXPECT_EQ(text.size(), 2 * text.find('\n') + 2) << "two lines and nothing else: " << text;
    EXPECT_LE(stamps[0], stamps[1]);
    EXPECT_NEAR(stamps[0], static_cast<double>(before.tv_sec) + before.tv_nsec * 1e-9, 1.0);
}

TEST_F(TextLog, LongLineIsCutTo4095CharactersWithItsStamp)
{
    const std::string longText(5000, 'a');
    Tlog("%s\n", longText.c_str());
    DumpLog(path("text.log").c_str());
    const std::string text = contents(path("text.log"));
    ASSERT_EQ(text.size(), 4095u);
    EXPECT_TRUE(std::regex_match(text, std::regex("\\d+\\.\\d{6}: a+")));
}

TEST_F(TextLog, DumpsAppendAndEmptyTheStoreWhateverBecomesOfTheFile)
{
    const std::string file = path("text.log");
    write(file, "kept\n");
    // Switched off: nothing is stored, and a dump leaves the file as it was.
    g_use_text_log = 0;
    Tlog("off\n");
    DumpLog(file.c_str());
    g_use_text_log = 1;
    DumpLog(file.c_str());
    EXPECT_EQ(contents(file), "kept\n");

    // Stored lines outlive a switch-off, and are appended once the log is on again.
    Tlog("first\n");
    g_use_text_log = 0;
    DumpLog(file.c_str());
    EXPECT_EQ(contents(file), "kept\n");
    g_use_text_log = 1;
    DumpLog(file.c_str());
    EXPECT_EQ(stampsOf(contents(file), "first").size(), 1u);
    EXPECT_EQ(contents(file).rfind("kept\n", 0), 0u);

    // A file that cannot be opened loses the lines taken out for it; nothing is left for the next dump.
    Tlog("lost\n");
    DumpLog(path("missing/text.log").c_str());
    DumpLog(path("second.log").c_str());
    EXPECT_FALSE(exists(path("second.log")));
    DumpLog(nullptr);
    DumpLog("");
}

TEST_F(TextLog, FormatFailureIsReportedAndTheLineKeptAsFarAsFormatted)
{
    std::memset(g_fault_buffer, 0, sizeof g_fault_buffer);
    ::testing::internal::CaptureStderr();
    // A wide character the C locale cannot write makes the formatting fail after "a".
    Tlog("a%lsb\n", L"\x100");
    const std::string traced = ::testing::internal::GetCapturedStderr();
    const std::regex fault("Assertion \\(nBuf >= 0\\) failed: Source/Utils/debugging\\(\\d+\\)\r\n");
    EXPECT_TRUE(std::regex_match(std::string(g_fault_buffer), fault)) << g_fault_buffer;
    EXPECT_EQ(traced, g_fault_buffer);
    DumpLog(path("text.log").c_str());
    EXPECT_TRUE(std::regex_match(contents(path("text.log")), std::regex("\\d+\\.\\d{6}: a?")));
}

TEST_F(BinaryLog, KeepsWholeWordsInCallOrderAndAppendsThem)
{
    const std::string file = path("binary.log");
    write(file, "head");
    const char bytes[] = "0123456789ABCDEFGHIJ";
    struct Logged {
        const void *data;
        uint32_t count;
    };
    // 10 bytes keep 8, 3 keep none, a null pointer or a count of 0 nothing.
    const Logged calls[] = {{bytes, 10}, {bytes + 10, 3}, {bytes + 12, 4}, {nullptr, 8}, {bytes, 0}, {bytes + 13, 7}};
    for (const Logged &c : calls)
        LogBinary(c.data, c.count);
    DumpBinaryLog(file.c_str());
    EXPECT_EQ(contents(file), "head01234567CDEFDEFG");

    // An empty store creates no file; a switched-off log stores nothing and keeps what it had until switched on.
    DumpBinaryLog(path("empty.log").c_str());
    EXPECT_FALSE(exists(path("empty.log")));
    LogBinary(bytes, 4);
    g_use_bin_log = 0;
    LogBinary(bytes + 4, 4);
    DumpBinaryLog(file.c_str());
    EXPECT_EQ(contents(file), "head01234567CDEFDEFG");
    g_use_bin_log = 1;
    DumpBinaryLog(file.c_str());
    EXPECT_EQ(contents(file), "head01234567CDEFDEFG0123");

    // A file that cannot be opened loses the words taken out for it.
    LogBinary(bytes, 8);
    DumpBinaryLog(path("missing/binary.log").c_str());
    DumpBinaryLog(path("second.log").c_str());
    EXPECT_FALSE(exists(path("second.log")));
}

TEST_F(LogThreads, LinesAndWordsFromFourThreadsArriveWholeWhileDumpsRun)
{
    constexpr int kThreads = 4, kLines = 400;
    const std::string textFile = path("text.log"), binaryFile = path("binary.log");
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i) {
                Tlog("thread %d line %d\n", t, i);
                const uint32_t words[2] = {static_cast<uint32_t>(t), static_cast<uint32_t>(i)};
                LogBinary(words, sizeof words);
            }
        });
    std::thread dumper([&] {
        for (int i = 0; i < 50; ++i) {
            DumpLog(textFile.c_str());
            DumpBinaryLog(binaryFile.c_str());
        }
    });
    for (auto &th : threads)
        th.join();
    dumper.join();
    DumpLog(textFile.c_str());
    DumpBinaryLog(binaryFile.c_str());

    // Every line once, whole, and each thread's lines in its own order.
    std::istringstream text(contents(textFile));
    std::vector<int> next(kThreads, 0);
    std::string line;
    const std::regex shape("\\d+\\.\\d{6}: thread (\\d) line (\\d+)");
    while (std::getline(text, line)) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, shape)) << line;
        const int t = std::stoi(m[1].str());
        ASSERT_EQ(std::stoi(m[2].str()), next[t]++);
    }
    EXPECT_EQ(next, std::vector<int>(kThreads, kLines));

    // The two words of each call stay together, in each thread's order.
    const std::string binary = contents(binaryFile);
    ASSERT_EQ(binary.size(), size_t{kThreads} * kLines * 8);
    std::vector<uint32_t> words(binary.size() / 4);
    std::memcpy(words.data(), binary.data(), binary.size());
    std::vector<uint32_t> nextWord(kThreads, 0);
    for (size_t w = 0; w < words.size(); w += 2) {
        ASSERT_LT(words[w], uint32_t{kThreads});
        ASSERT_EQ(words[w + 1], nextWord[words[w]]++);
    }
}

} // namespace
