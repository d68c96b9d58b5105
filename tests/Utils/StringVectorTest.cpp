// String lists as text: line strings and line files, searches, separated tokens, stable sorts, the key=value map
// and the bounded copy.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "FileTestDir.h"
#include "kve/kve_string_vector.h"

namespace {

using kvetest::ScratchDir;
using Lines = std::vector<std::string>;
using Entries = std::map<std::string, std::string>;
using namespace std::string_literals;

Lines linesOf(const string_vector &list)
{
    return Lines(list.begin(), list.end());
}

struct TextCase {
    const char *what;
    const char *text;
    Lines lines;
};

TEST(StringVector, LoadsLinesFromAString)
{
    const TextCase cases[] = {
        {"LF, CR LF and an empty line", "a\r\nb\n\nc", {"a", "b", "", "c"}},
        {"lone CR is text", "a\rb", {"a\rb"}},
        {"closing line end adds nothing", "a\n", {"a"}},
        {"only a line end", "\n", {""}},
        {"CR LF twice", "a\r\n\r\n", {"a", ""}},
        {"CR at the very end stays", "x\r", {"x\r"}},
    };
    for (const TextCase &c : cases) {
        string_vector list{"old"};
        EXPECT_EQ(list.LoadFromString(c.text), static_cast<int32_t>(c.lines.size())) << c.what;
        EXPECT_EQ(linesOf(list), c.lines) << c.what;
    }
    for (const char *nothing : {"", static_cast<const char *>(nullptr)}) {
        string_vector list{"old"};
        EXPECT_EQ(list.LoadFromString(nothing), -1);
        EXPECT_EQ(linesOf(list), Lines{"old"});
    }
}

TEST(StringVector, SavesLinesToAString)
{
    const string_vector list{"a", "", "b"};
    std::string out = "old";
    EXPECT_TRUE(list.SaveToString(out, true));
    EXPECT_EQ(out, "a\r\n\r\nb\r\n");
    EXPECT_TRUE(list.SaveToString(out, false));
    EXPECT_EQ(out, "ab");
    EXPECT_TRUE(string_vector().SaveToString(out, true));
    EXPECT_EQ(out, "");
}

TEST(StringVector, LoadsLineFiles)
{
    const TextCase cases[] = {
        {"LF", "a\nb\n", {"a", "b"}},
        {"CR LF", "a\r\nb\r\n", {"a", "b"}},
        {"last line without an end", "a\nb", {"a", "b"}},
        {"empty lines", "\na\n\n", {"", "a", ""}},
        {"CR ending the file", "a\r\nb\r", {"a", "b"}},
        {"lone CR inside", "a\rb\n", {"a\rb"}},
        {"empty file", "", {}},
    };
    ScratchDir dir;
    for (const TextCase &c : cases) {
        string_vector list{"old"};
        EXPECT_EQ(list.LoadFromFile(dir.write("lines", c.text).c_str()), static_cast<int32_t>(c.lines.size()))
            << c.what;
        EXPECT_EQ(linesOf(list), c.lines) << c.what;
    }
    string_vector list;
    EXPECT_EQ(list.LoadFromFile(dir.write("zero", "a\0b\nc\n"s).c_str()), 2);
    EXPECT_EQ(linesOf(list), (Lines{"a", "c"})) << "a line is taken up to its first zero byte";
}

TEST(StringVector, SavesLineFilesWithCrLfAndReadsThemBack)
{
    ScratchDir dir;
    const string_vector saved{"first", "", "with = and ; and \"quotes\"", "\ttabbed "};
    ASSERT_TRUE(saved.SaveToFile((dir / "saved").c_str()));
    EXPECT_EQ(dir.read("saved"), "first\r\n\r\nwith = and ; and \"quotes\"\r\n\ttabbed \r\n");
    string_vector loaded;
    EXPECT_EQ(loaded.LoadFromFile((dir / "saved").c_str()), 4);
    EXPECT_EQ(loaded, saved);
}

TEST(StringVector, ReportsLineFilesThatCannotBeReadOrWritten)
{
    ScratchDir dir;
    string_vector list{"kept"};
    EXPECT_EQ(list.LoadFromFile(""), -1);
    EXPECT_EQ(list.LoadFromFile(nullptr), -1);
    EXPECT_EQ(linesOf(list), Lines{"kept"}) << "a missing path leaves the list alone";
    EXPECT_EQ(list.LoadFromFile((dir / "missing").c_str()), -1);
    EXPECT_TRUE(list.empty());

    list = {"kept"};
    EXPECT_EQ(list.LoadFromFile(dir.path().c_str()), -1) << "a directory reads as a failure, not as no lines";
    EXPECT_TRUE(list.empty());

    EXPECT_FALSE(list.SaveToFile(""));
    EXPECT_FALSE(list.SaveToFile(nullptr));
    EXPECT_FALSE(list.SaveToFile((dir / "no/such/dir").c_str()));
    const string_vector lines{"a line that never reaches the disk"};
    EXPECT_FALSE(lines.SaveToFile("/dev/full")) << "a full device must not pass for a saved list";
}

struct FindCase {
    const char *text;
    size_t start;
    int32_t exact, anyCase;
};

TEST(StringVector, FindsElementsExactlyAndRegardlessOfCase)
{
    const string_vector list{"Alpha", "alpha", "beta", "a\0b"s, "ALPHA"};
    const FindCase cases[] = {
        {"alpha", 0, 1, 0}, {"ALPHA", 1, 4, 1}, {"alpha", 2, -1, 4}, {"beta", 3, -1, -1},
        {"gamma", 0, -1, -1}, {"alpha", 5, -1, -1}, {"alpha", 99, -1, -1}, {"a", 0, -1, 3},
    };
    for (const FindCase &c : cases) {
        EXPECT_EQ(list.find(c.text, c.start), c.exact) << c.text << " from " << c.start;
        EXPECT_EQ(list.findi(c.text, c.start), c.anyCase) << c.text << " from " << c.start;
    }
    EXPECT_EQ(list.find(nullptr, 0), -1);
    EXPECT_EQ(list.findi(nullptr, 0), -1);
}

TEST(StringVector, FindsElementsByWildcard)
{
    const string_vector list{"mic.wav", "x.txt", "spk.wav", "", "a*b"};
    const struct {
        const char *pattern;
        size_t start;
        int32_t index;
    } cases[] = {
        {"*.wav", 0, 0}, {"*.wav", 1, 2}, {"*.wav", 3, -1}, {"?.t?t", 0, 1}, {"*", 3, 4},
        {"a*b", 0, 4},   {"*.WAV", 0, -1}, {"", 0, -1},     {"*", 99, -1},
    };
    for (const auto &c : cases)
        EXPECT_EQ(list.findwild(c.pattern, c.start), c.index) << c.pattern << " from " << c.start;
    EXPECT_EQ(list.findwild(nullptr, 0), -1);
}

struct CsvCase {
    const char *what;
    Lines fields;
    bool quoteAlways;
    char separator, quote;
    const char *line;
};

TEST(StringVector, WritesCsvLinesAndReadsThemBack)
{
    const CsvCase cases[] = {
        {"plain", {"a", "b", "c"}, false, ',', '"', "a,b,c"},
        {"separator and quote inside", {"a,b", "c\"d", "e"}, false, ',', '"', "\"a,b\",\"c\"\"d\",e"},
        {"always quoted", {"a", ""}, true, ',', '"', "\"a\",\"\""},
        {"one empty field", {""}, false, ',', '"', "\"\""},
        {"empty first field", {"", "x"}, false, ',', '"', ",x"},
        {"two empty fields", {"", ""}, false, ',', '"', ","},
        {"blanks kept", {" a ", "\tb"}, false, ',', '"', " a ,\tb"},
        {"other separator and quote", {"a;b", "it's", "c"}, false, ';', '\'', "'a;b';'it''s';c"},
    };
    for (const CsvCase &c : cases) {
        const string_vector saved(c.fields.begin(), c.fields.end());
        const std::string line = saved.saveToCSVString(0, c.quoteAlways, c.separator, c.quote);
        EXPECT_EQ(line, c.line) << c.what;
        string_vector loaded{"old"};
        EXPECT_TRUE(loaded.loadFromCSVString(line.c_str(), false, c.separator, c.quote)) << c.what;
        EXPECT_EQ(loaded, saved) << c.what;
    }
    const string_vector list{"skipped", "x", "y"};
    EXPECT_EQ(list.saveToCSVString(1, false, ',', '"'), "x,y");
    EXPECT_EQ(list.saveToCSVString(3, false, ',', '"'), "");
}

TEST(StringVector, ReadsCsvLinesAndStopsAtAMalformedField)
{
    const struct {
        const char *text;
        bool trim;
        bool read;
        Lines fields;
    } cases[] = {
        {" a , b\t, \"c \"", true, true, {"a", "b", "c"}},
        {" a , b", false, true, {" a ", " b"}},
        {"a,", false, true, {"a", ""}},
        {"a,\"b\"x,c", false, false, {"a"}},
        {"a,\"open", false, false, {"a"}},
        {"\"x\"y", false, false, {}},
    };
    for (const auto &c : cases) {
        string_vector list{"old"};
        EXPECT_EQ(list.loadFromCSVString(c.text, c.trim, ',', '"'), c.read) << c.text;
        EXPECT_EQ(linesOf(list), c.fields) << c.text;
    }
    for (const char *nothing : {"", static_cast<const char *>(nullptr)}) {
        string_vector list{"old"};
        EXPECT_FALSE(list.loadFromCSVString(nothing, false, ',', '"'));
        EXPECT_EQ(linesOf(list), Lines{"old"});
    }
}

struct SplitCase {
    const char *text;
    const char *delimiters;
    char quote;
    Lines tokens;
};

TEST(StringVector, SplitsTokensWithQuotedStretches)
{
    const SplitCase cases[] = {
        {",a,,|b,||c|", ",", '|', {"a", "b,|c"}},
        {",a,,|b,||c|", ",", '\0', {"a", "|b", "||c|"}},
        {"a b\tc", " \t", '"', {"a", "b", "c"}},
        {"x \"\" y", " ", '"', {"x", "", "y"}},
        {"\"open, to the end", ",", '"', {"open, to the end"}},
        {"pre\"mid dle\"post", " ", '"', {"premid dlepost"}},
        {",,,", ",", '"', {}},
        {"", ",", '"', {}},
        {"abc", "", '"', {}},
    };
    for (const SplitCase &c : cases) {
        string_vector list{"old"};
        list.Split(c.text, c.delimiters, c.quote);
        EXPECT_EQ(linesOf(list), c.tokens) << c.text << " quote " << int(c.quote);
    }
    string_vector list{"old"};
    list.Split(nullptr, ",", '"');
    EXPECT_TRUE(list.empty());
    list.Split("a", nullptr, '"');
    EXPECT_TRUE(list.empty());
}

struct SortCase {
    void (string_vector::*sort)(size_t);
    const char *what;
    Lines input;
    size_t start;
    Lines sorted;
};

TEST(StringVector, SortsStablyInFourOrders)
{
    const SortCase cases[] = {
        {&string_vector::sort, "byte-wise, shorter first", {"ab", "a", "B", "\xe9", "b"}, 0,
         {"B", "a", "ab", "b", "\xe9"}},
        {&string_vector::sorti, "any case, stable", {"B", "a", "A"}, 0, {"a", "A", "B"}},
        {&string_vector::sortrev, "descending", {"a", "c", "b", "cc"}, 0, {"cc", "c", "b", "a"}},
        {&string_vector::sortirev, "descending any case, stable", {"a", "B", "A", "b"}, 0, {"B", "b", "a", "A"}},
        {&string_vector::sort, "from an index", {"z", "c", "b", "a"}, 1, {"z", "a", "b", "c"}},
        {&string_vector::sort, "from the last element", {"b", "a"}, 1, {"b", "a"}},
        {&string_vector::sorti, "from past the end", {"b", "a"}, 5, {"b", "a"}},
    };
    for (const SortCase &c : cases) {
        string_vector list(c.input.begin(), c.input.end());
        (list.*c.sort)(c.start);
        EXPECT_EQ(linesOf(list), c.sorted) << c.what;
    }
}

struct MapCase {
    const char *text;
    char quote;
    Entries entries;
};

TEST(StringMap, FillsItselfFromKeyValueItems)
{
    const MapCase cases[] = {
        {"a=1, b = 2 , a=3", '"', {{"a", "1"}, {"b", "2"}}},
        {"k=x=y", '"', {{"k", "x=y"}}},
        {"k = x y", '"', {{"k", " x y"}}},
        {"k v,w", '"', {{"k", "v"}}},
        {"a b c", '"', {}},
        {"p=\"x,y\",q=\"1 2\"", '"', {{"p", "x,y"}, {"q", "1 2"}}},
        {"", '"', {}},
    };
    for (const MapCase &c : cases) {
        string_map map{{"old", "entry"}};
        EXPECT_EQ(map.Split(c.text, c.quote), c.entries.size()) << c.text;
        EXPECT_EQ(static_cast<const Entries &>(map), c.entries) << c.text;
    }
    string_map map{{"old", "entry"}};
    EXPECT_EQ(map.Split(nullptr, '"'), 0u);
    EXPECT_TRUE(map.empty());
}

TEST(BoundedCopy, CopiesAtMostSizeBytesAndAlwaysTerminates)
{
    struct CopyCase {
        const char *source;
        size_t size;
        std::string buffer;
    };
    const CopyCase cases[] = {
        {"abc", 8, "abc\0\0\0\0\0"s},
        {"abcdefghij", 4, "abc\0zzzz"s},
        {"abc", 1, "\0zzzzzzz"s},
        {"abc", 0, "zzzzzzzz"},
        {nullptr, 8, "zzzzzzzz"},
    };
    for (const CopyCase &c : cases) {
        char buffer[8];
        std::memset(buffer, 'z', sizeof buffer);
        EXPECT_EQ(strNcpy(buffer, c.source, c.size), buffer);
        EXPECT_EQ(std::string(buffer, sizeof buffer), c.buffer) << (c.source ? c.source : "null") << " " << c.size;
    }
    EXPECT_EQ(strNcpy(nullptr, "abc", 4), nullptr);
}

} // namespace
