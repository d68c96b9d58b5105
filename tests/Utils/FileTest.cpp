// The stream wrapper: line reading under both line-end conventions, the answers without a file, who closes a
// stream, and positions and lengths past 2 GiB.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "FileTestDir.h"
#include "kve/kve_file.h"

namespace {

using kvetest::ScratchDir;
using namespace std::string_literals;

struct LineCase {
    const char *what;
    std::string bytes;
    bool strip;
    bool lfEnds;
    std::vector<std::string> lines;
};

void PrintTo(const LineCase &c, std::ostream *out)
{
    *out << c.what;
}

// The case's description in letters and digits, as test names take it.
std::string caseName(const ::testing::TestParamInfo<LineCase> &info)
{
    std::string name;
    bool upper = true;
    for (const char *p = info.param.what; *p != '\0'; ++p) {
        if (!std::isalnum(static_cast<unsigned char>(*p))) {
            upper = true;
            continue;
        }
        name += upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(*p))) : *p;
        upper = false;
    }
    return name;
}

class FileLines : public ::testing::TestWithParam<LineCase> {};

TEST_P(FileLines, ReadsEachLineThenReportsTheEnd)
{
    const LineCase &c = GetParam();
    ScratchDir dir;
    File2 file(dir.write("lines", c.bytes).c_str(), "rb", -1);
    std::vector<std::string> lines;
    std::string line;
    while (file.fgets(line, c.strip, c.lfEnds) && lines.size() <= c.lines.size())
        lines.push_back(line);
    EXPECT_EQ(lines, c.lines) << c.what;
    EXPECT_EQ(line, "") << c.what << ": the call that finds nothing left empties the line";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileLines,
    ::testing::Values(
        LineCase{"LF and CR LF", "a\r\nb\nc", true, true, {"a", "b", "c"}},
        LineCase{"empty lines", "\n\nx\n", true, true, {"", "", "x"}},
        LineCase{"last line ends in CR", "a\nb\r", true, true, {"a", "b"}},
        LineCase{"only CR LF ends a line", "a\nb\r\nc\n", true, false, {"a\nb", "c"}},
        LineCase{"lone CR stays inside", "a\rb\n", true, true, {"a\rb"}},
        LineCase{"zero byte kept", "a\0b\n"s, true, true, {"a\0b"s}},
        LineCase{"empty file", "", true, true, {}},
        LineCase{"as read, LF", "a\r\nb\nc", false, true, {"a\r\n", "b\n", "c"}},
        LineCase{"as read, CR LF", "a\nb\r\nc\r", false, false, {"a\nb\r\n", "c\r"}}),
    caseName);

TEST(File, AnswersEveryCallWithoutAFile)
{
    File2 file;
    char buffer[4] = {};
    std::string line = "kept";
    EXPECT_EQ(file.tell(), -1);
    EXPECT_EQ(file.seek(0, SEEK_SET), -1);
    EXPECT_EQ(file.getLength(), -1);
    EXPECT_EQ(file.writeChar('x'), EOF);
    EXPECT_EQ(file.read(buffer, sizeof buffer), 0u);
    EXPECT_EQ(file.printf("%d", 1), 0);
    EXPECT_TRUE(file.setBuffer(nullptr, 16));
    EXPECT_TRUE(file.flush());
    EXPECT_FALSE(file.fgets(line, true, true));
    EXPECT_EQ(line, "kept");
    file.close();
}

TEST(File, OpenRefusesMissingArgumentsAndKeepsTheOpenFile)
{
    ScratchDir dir;
    const std::string path = dir.write("data", "abc");
    File2 file(path.c_str(), "rb", -1);
    EXPECT_FALSE(file.open(path.c_str(), ""));
    EXPECT_FALSE(file.open(path.c_str(), nullptr));
    EXPECT_FALSE(file.open("", "rb"));
    EXPECT_FALSE(file.open(nullptr, "rb"));
    EXPECT_EQ(file.getLength(), 3);

    EXPECT_FALSE(file.open((dir / "missing").c_str(), "rb"));
    EXPECT_EQ(file.tell(), -1) << "a failed open leaves no file behind";
}

TEST(File, NeverClosesAStreamItDidNotOpen)
{
    ScratchDir dir;
    FILE *stream = std::fopen(dir.write("data", "abc").c_str(), "rb");
    ASSERT_NE(stream, nullptr);
    {
        File2 borrowed(stream);
        EXPECT_EQ(borrowed.seek(1, SEEK_SET), 1);
    }
    EXPECT_EQ(std::fgetc(stream), 'b') << "the stream is still open where the wrapper left it";
    File2 reopened(stream);
    reopened.close();
    EXPECT_EQ(std::fgetc(stream), 'c');
    std::fclose(stream);
}

TEST(File, WritesReadsAndMovesWithinTheFile)
{
    ScratchDir dir;
    const std::string path = dir / "data";
    {
        File2 out(path.c_str(), "wb", -1);
        EXPECT_EQ(out.printf("%s=%d;", "key", 42), 7);
        for (const char *noFormat : {"", static_cast<const char *>(nullptr)})
            EXPECT_EQ(out.printf(noFormat), 0);
        EXPECT_EQ(out.writeChar('!'), '!');
        EXPECT_EQ(out.tell(), 8);
    }
    EXPECT_EQ(dir.read("data"), "key=42;!");

    File2 in(path.c_str(), "rb", 4);
    EXPECT_EQ(in.seek(-2, SEEK_END), 6);
    EXPECT_EQ(in.getLength(), 8);
    EXPECT_EQ(in.tell(), 6) << "measuring the length leaves the position where it was";
    char buffer[8] = {};
    EXPECT_EQ(in.read(buffer, sizeof buffer), 2u);
    EXPECT_EQ(std::string(buffer), ";!");
    EXPECT_EQ(in.read(nullptr, 4), 0u);
    EXPECT_EQ(in.seek(3, SEEK_SET), 3);
    EXPECT_EQ(in.seek(2, SEEK_CUR), 5);
}

TEST(File, HasNoLengthOrPositionOnAStreamThatCannotSeek)
{
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    FILE *reader = fdopen(ends[0], "rb");
    ASSERT_NE(reader, nullptr);
    ASSERT_EQ(write(ends[1], "ab\n", 3), 3);
    close(ends[1]);
    {
        File2 file(reader);
        EXPECT_EQ(file.getLength(), -1);
        EXPECT_EQ(file.tell(), -1);
        std::string line;
        EXPECT_TRUE(file.fgets(line, true, true));
        EXPECT_EQ(line, "ab") << "the failed measurement lost no input";
    }
    std::fclose(reader);
}

TEST(File, HoldsOutputInItsBufferUntilFlushedAndReportsAFailedFlush)
{
    ScratchDir dir;
    const std::string path = dir / "buffered";
    File2 out(path.c_str(), "wb", -1);
    char buffer[256];
    ASSERT_TRUE(out.setBuffer(buffer, sizeof buffer));
    out.printf("%s", "0123456789");
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_size, 0);
    EXPECT_TRUE(out.flush());
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_size, 10);
    out.close();

    File2 full("/dev/full", "wb", -1);
    full.printf("%s", "lost");
    EXPECT_FALSE(full.flush()) << "a device without space must not look written";
}

TEST(File, KeepsTruePositionsPastTwoGibibytes)
{
    ScratchDir dir;
    const std::string path = dir / "sparse";
    const off_t length = (off_t{3} << 30) + 5;
    { File2 create(path.c_str(), "wb", -1); }
    if (truncate(path.c_str(), length) != 0)
        GTEST_SKIP() << "this file system holds no sparse file of 3 GiB";

    File2 file(path.c_str(), "rb", -1);
    EXPECT_EQ(file.getLength(), length);
    EXPECT_EQ(file.tell(), 0) << "measuring the length returns to the start";

    EXPECT_EQ(file.seek(0, SEEK_END), -1) << "a position past 32 bits is no position";
    EXPECT_EQ(file.getLength(), length);
    EXPECT_EQ(file.seek(INT32_MIN, SEEK_CUR), static_cast<int32_t>(length - (off_t{1} << 31)))
        << "the wrapper stayed at the true end, not at a wrapped position";
}

} // namespace
