// INI-style profiles held as lines: sections found regardless of case, key lines cut at "=", comments and empty
// lines passed over, values read with a default and written in place.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kve/kve_string_vector.h"

namespace {

using Lines = std::vector<std::string>;

string_vector profile()
{
    return {
        "[NET]",
        "port = 81",
        "PORT=80 ; comment",
        "host=a=b",
        "; note=1",
        "",
        "name=  spaced  ",
        "empty=",
        "blank=  ;only a comment",
        "count=12abc",
        "negative=-5",
        "word=abc",
        "[Odd]",
        "==",
        "k=1",
        "[Other]",
        "x=1",
    };
}

struct ReadCase {
    const char *section;
    const char *key;
    const char *fallback;
    std::string value;
};

TEST(StringVectorProfile, ReadsValuesWithTheirDefaults)
{
    const string_vector lines = profile();
    const ReadCase cases[] = {
        {"Net", "port", "d", "80"},
        {"net", "PORT", "d", "80"},
        {"Net", "host", "d", "d"},
        {"Net", "name", "d", "  spaced  "},
        {"Net", "empty", "d", "d"},
        {"Net", "blank", "d", ""},
        {"Net", "; note", "d", "d"},
        {"Net", "x", "d", "d"},
        {"Odd", "k", "d", "d"},
        {"Other", "x", nullptr, "1"},
        {"Other", "y", nullptr, ""},
        {"Missing", "x", "d", "d"},
        {"Missing", "x", nullptr, ""},
        {"", "x", "d", ""},
        {nullptr, "x", "d", ""},
        {"Net", "", "d", ""},
        {"Net", nullptr, "d", ""},
    };
    for (const ReadCase &c : cases)
        EXPECT_EQ(lines.GetProfileStr(c.section, c.key, c.fallback), c.value)
            << (c.section ? c.section : "null") << "/" << (c.key ? c.key : "null");
}

TEST(StringVectorProfile, ReadsNumbersAsTheirLeadingDecimalDigits)
{
    const string_vector lines = profile();
    const struct {
        const char *key;
        int32_t value;
    } cases[] = {{"port", 80}, {"count", 12}, {"negative", -5}, {"word", 0}, {"empty", 7}, {"missing", 7}};
    for (const auto &c : cases)
        EXPECT_EQ(lines.GetProfileIntg("NET", c.key, 7), c.value) << c.key;
}

struct WriteCase {
    const char *what;
    Lines before;
    const char *section;
    const char *key;
    const char *value;
    Lines after;
};

TEST(StringVectorProfile, WritesKeysAndSectionsInPlace)
{
    const Lines two{"[a]", "k=1", "[b]", "j=2"};
    const WriteCase cases[] = {
        {"new key before the next header", two, "a", "n", "5", {"[a]", "k=1", "n=5", "[b]", "j=2"}},
        {"new key at the end of the last section", two, "B", "n", "5", {"[a]", "k=1", "[b]", "j=2", "n=5"}},
        {"key replaced regardless of case", two, "A", "K", "9", {"[a]", "K=9", "[b]", "j=2"}},
        {"new section appended", two, "c", "z", "1", {"[a]", "k=1", "[b]", "j=2", "[c]", "z=1"}},
        {"section removed up to the next header", two, "a", nullptr, nullptr, {"[b]", "j=2"}},
        {"last section removed", two, "b", nullptr, nullptr, {"[a]", "k=1"}},
        {"comments and empty lines passed over", {"[a]", ";k=1", "", "k=2"}, "a", "k", "3",
         {"[a]", ";k=1", "", "k=3"}},
        {"key of a key= line", {"[a]", "k=", "[b]"}, "a", "k", "v", {"[a]", "k=v", "[b]"}},
        {"missing section, no key", two, "c", nullptr, nullptr, two},
        {"missing section, no value", two, "c", "z", nullptr, two},
        {"key without a value", two, "a", "k", nullptr, two},
        {"value without a key", two, "a", nullptr, "1", two},
        {"empty section name", two, "", "k", "1", two},
        {"no section name", two, nullptr, "k", "1", two},
        {"empty profile", {}, "s", "k", "v", {"[s]", "k=v"}},
    };
    for (const WriteCase &c : cases) {
        string_vector lines(c.before.begin(), c.before.end());
        lines.WriteProfileStr(c.section, c.key, c.value);
        EXPECT_EQ(Lines(lines.begin(), lines.end()), c.after) << c.what;
    }
}

TEST(StringVectorProfile, ReadsBackWhatWasWritten)
{
    string_vector lines = profile();
    lines.WriteProfileStr("Other", "path", "/tmp/a b");
    lines.WriteProfileStr("Net", "port", "8080");
    lines.WriteProfileIntg("Fresh", "rate", 48000);
    lines.WriteProfileIntg("Fresh", "gain", -12);
    EXPECT_EQ(lines.GetProfileStr("Other", "path", nullptr), "/tmp/a b");
    EXPECT_EQ(lines.GetProfileIntg("NET", "port", 0), 8080);
    EXPECT_EQ(lines.GetProfileIntg("fresh", "rate", 0), 48000);
    EXPECT_EQ(lines.GetProfileStr("fresh", "gain", nullptr), "-12");
    EXPECT_EQ(lines.GetProfileStr("Other", "x", nullptr), "1");
    lines.WriteProfileStr("Net", nullptr, nullptr);
    EXPECT_EQ(lines.GetProfileStr("Net", "port", "gone"), "gone");
    EXPECT_EQ(lines.GetProfileStr("Odd", "k", "d"), "d");
}

} // namespace
