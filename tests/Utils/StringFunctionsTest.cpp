// Formatting, replacing, trimming, joining, splitting, identifiers and macro expansion of the host strings.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "Utils/StringOracle.h"
#include "kve/kve_string.h"

namespace {

using List = std::vector<std::string>;
using Macros = std::map<std::string, std::string>;

TEST(StringFormat, PrintsAnyLengthAndNothingForAMissingFormat)
{
    EXPECT_EQ(String::Format("%d-%s-%.2f", 7, "x", 1.5), "7-x-1.50");
    EXPECT_EQ(String::Format(nullptr), "");
    EXPECT_EQ(String::Format("%s", ""), "");
    // Longer than any fixed buffer the result could have been printed into.
    const std::string big(200000, 'q');
    EXPECT_EQ(String::Format("<%s>", big.c_str()), "<" + big + ">");
    EXPECT_EQ(String::Format("%s%s", big.c_str(), big.c_str()).size(), 400000u);
}

// The calendar texts are compared in UTC, the zone the reference writes in.
class StringCalendar : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char *zone = std::getenv("TZ");
        hadZone_ = zone != nullptr;
        if (hadZone_)
            zone_ = zone;
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override
    {
        if (hadZone_)
            setenv("TZ", zone_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    bool hadZone_ = false;
    std::string zone_;
};

TEST_F(StringCalendar, DatesAndTimesMatchStrftime)
{
    const auto rows = kvetest::runTextOracle("calendar_texts.py", "22");
    ASSERT_FALSE(rows.empty());
    for (const auto &row : rows) {
        ASSERT_EQ(row.size(), 6u);
        const int64_t t = std::stoll(row[0]);
        EXPECT_EQ(String::FormatDate(t, 0x10), row[1]) << t;
        EXPECT_EQ(String::FormatDate(t, 0x20), row[2]) << t;
        EXPECT_EQ(String::FormatDate(t, 0x00), row[3]) << t;
        EXPECT_EQ(String::FormatDate(t, 0x31), row[3]) << t;
        EXPECT_EQ(String::FormatTime(t, 1), row[4]) << t;
        EXPECT_EQ(String::FormatTime(t, 0x21), row[4]) << t;
        EXPECT_EQ(String::FormatTime(t, 0), row[5]) << t;
        EXPECT_EQ(String::FormatTime(t, 2), row[5]) << t;
        if (t > 0) {
            EXPECT_EQ(String::FormatDateTime(t, 0x11), row[1] + " " + row[4]) << t;
            EXPECT_EQ(String::FormatDateTime(t, 0x20), row[2] + " " + row[5]) << t;
        }
    }
}

TEST_F(StringCalendar, KnownDaysAndUnknownTimes)
{
    const int64_t day = 1796601600; // 7 December 2026, 00:00:00 UTC
    EXPECT_EQ(String::FormatDate(day, 0), "12/7/26");
    EXPECT_EQ(String::FormatDate(day, 0x10), "7/12/26");
    EXPECT_EQ(String::FormatDate(day, 0x20), "2026/12/7");
    EXPECT_EQ(String::FormatTime(day, 0), "12:00:00 AM");
    EXPECT_EQ(String::FormatTime(day + 12 * 3600 + 30 * 60 + 5, 0), "12:30:05 PM");
    EXPECT_EQ(String::FormatTime(day + 13 * 3600 + 5 * 60 + 9, 0), "1:05:09 PM");
    EXPECT_EQ(String::FormatTime(day + 13 * 3600 + 5 * 60 + 9, 1), "13:05:09");
    EXPECT_EQ(String::FormatDate(1104537600, 0), "1/1/05");
    EXPECT_EQ(String::FormatDateTime(0, 0), "UNKNOWN");
    EXPECT_EQ(String::FormatDateTime(-1, 0), "UNKNOWN");
    // From 2038 on bit 31 of the seconds is set: such times are still dates.
    EXPECT_EQ(String::FormatDateTime(2147483648, 1), "1/19/38 3:14:08");
    EXPECT_EQ(String::FormatDateTime(day, 1), "12/7/26 0:00:00");
}

// Hosts format log and file stamps on several threads at once: no call may share a broken-down time or a buffer.
TEST(StringThreads, FormattingOnSeveralThreadsGivesEachItsOwnText)
{
    constexpr int kThreads = 4, kTimes = 400;
    std::vector<std::string> expected;
    for (int i = 0; i < kThreads * kTimes; ++i)
        expected.push_back(String::FormatDateTime(1000000000 + 7919 * int64_t{i}, 0x21) + String::Format("#%d", i));
    std::vector<int> wrong(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t, &expected, &wrong] {
            for (int k = 0; k < kTimes; ++k) {
                const int i = k * kThreads + t;
                if (String::FormatDateTime(1000000000 + 7919 * int64_t{i}, 0x21) + String::Format("#%d", i) !=
                    expected[i])
                    ++wrong[t];
            }
        });
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_EQ(wrong, std::vector<int>(kThreads, 0));
}

TEST(StringReplace, ReplacesLeftToRightWithoutRescanning)
{
    const struct {
        const char *text, *from, *to, *expected;
    } cases[] = {
        {"aaa", "a", "aa", "aaaaaa"}, {"abc", "", "x", "abc"},     {"abcabc", "bc", "", "aa"},
        {"aaaa", "aa", "b", "bb"},    {"xyz", "q", "r", "xyz"},    {"", "a", "b", ""},
        {"abab", "ab", "ba", "baba"}, {"a.b.c", ".", "::", "a::b::c"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(String::Replace(c.text, c.from, c.to), c.expected) << c.text << " " << c.from << " " << c.to;
}

TEST(StringCase, ChangesEveryByteUpToTheFirstZero)
{
    std::string s("Mixed 9_z\0tail", 14);
    String::ToUpper(s);
    EXPECT_EQ(s, "MIXED 9_Z");
    String::ToLower(s);
    EXPECT_EQ(s, "mixed 9_z");
}

TEST(StringTrim, DropsBlanksAndLineEndsOnlyWhereAsked)
{
    const struct {
        const char *text, *left, *right, *rightLines, *both;
    } cases[] = {
        {" \t a b \t ", "a b \t ", " \t a b", " \t a b", "a b"},
        {"x \r\n", "x \r\n", "x \r\n", "x", "x \r\n"},
        {"\r\n x", "\r\n x", "\r\n x", "\r\n x", "\r\n x"},
        {" \t ", "", "", "", ""},
        {"", "", "", "", ""},
        {"abc", "abc", "abc", "abc", "abc"},
    };
    for (const auto &c : cases) {
        std::string left = c.text, right = c.text, rightLines = c.text, both = c.text;
        String::TrimLeft(left);
        String::TrimRight(right);
        String::TrimRight(rightLines, true);
        String::Trim(both);
        EXPECT_EQ(left, c.left) << '[' << c.text << ']';
        EXPECT_EQ(right, c.right) << '[' << c.text << ']';
        EXPECT_EQ(rightLines, c.rightLines) << '[' << c.text << ']';
        EXPECT_EQ(both, c.both) << '[' << c.text << ']';
    }
}

TEST(StringMergeSplit, JoinsAndCutsAtDelimiterRuns)
{
    EXPECT_EQ(String::Merge({}, ","), "");
    EXPECT_EQ(String::Merge({"a"}, ", "), "a");
    EXPECT_EQ(String::Merge({"a", "", "b"}, "/"), "a//b");

    const struct {
        const char *text, *delimiters;
        List expected;
    } cases[] = {
        {",,a,,b,", ",", {"a", "b"}},
        {",,", ",", {""}},
        {"", ",", {""}},
        {"a b", "", {"a b"}},
        {"a b", nullptr, {"a b"}},
        {"a/b\\c//", "/\\", {"a", "b", "c"}},
        {"one", ",;", {"one"}},
        {" x ; y,z ", ",;", {" x ", " y", "z "}},
    };
    for (const auto &c : cases) {
        List out{"stale"};
        String::Split(out, c.text, c.delimiters);
        EXPECT_EQ(out, c.expected) << c.text;
    }
}

TEST(StringCompareWild, MatchesWholeTextsAndCapturesWhatStarsTook)
{
    const struct {
        const char *text, *pattern;
        bool matches;
        const char *capture;
    } cases[] = {
        {"abc", "a?c", true, ""},
        {"abc", "abc*", true, "*"},
        {"", "*", false, ""},
        {"abc", "", false, ""},
        {nullptr, "*", false, ""},
        {"ab", "a*b", true, "*"},
        {"abc", "a*c", true, "*b"},
        {"abcde", "a*c*e", true, "*b*d"},
        {"abcde", "a*", true, "*bcde"},
        {"a", "a**", false, ""},
        {"ab", "a**", true, "**b"},
        {"abc", "ABC", false, ""},
        {"abc", "ab", false, ""},
        {"ab", "abc", false, ""},
        {"abcbd", "a*bd", true, "*bc"},
        // The second star's failed attempts at "b" and "x" leave those bytes in the capture.
        {"axbxc", "a*x*c", true, "**bx"},
    };
    for (const auto &c : cases) {
        std::string capture;
        EXPECT_EQ(String::CompareWild(c.text, c.pattern, &capture), c.matches) << c.pattern;
        EXPECT_EQ(String::CompareWild(c.text, c.pattern), c.matches) << c.pattern;
        if (c.matches) {
            EXPECT_EQ(capture, c.capture) << c.pattern;
        }
    }
}

TEST(StringCompareWild, AgreesWithFnmatchOutsideItsStatedExceptions)
{
    const auto rows = kvetest::runTextOracle("wildcard_match.py", "21");
    ASSERT_FALSE(rows.empty());
    for (const auto &row : rows) {
        ASSERT_EQ(row.size(), 3u);
        EXPECT_EQ(String::CompareWild(row[0].c_str(), row[1].c_str()), row[2] == "1")
            << '[' << row[0] << "] [" << row[1] << ']';
    }
}

TEST(StringIdentifier, AcceptsLettersDigitsUnderscoreAndTheExtras)
{
    const struct {
        const char *text, *extra, *extraFirst;
        bool expected;
    } cases[] = {
        {"abc_9", nullptr, nullptr, true}, {"_x", nullptr, nullptr, true},   {"9a", nullptr, nullptr, false},
        {"", nullptr, nullptr, false},     {nullptr, nullptr, nullptr, false}, {"a-b", nullptr, nullptr, false},
        {"a-b", "-", nullptr, true},       {"-ab", "-", nullptr, false},       {"$ab", nullptr, "$", true},
        {"a$", nullptr, "$", false},       {"a b", " ", nullptr, true},
    };
    for (const auto &c : cases)
        EXPECT_EQ(String::IsIdentifier(c.text, c.extra, c.extraFirst), c.expected) << (c.text ? c.text : "(null)");
}

TEST(StringExpandDelimited, ExpandsNestedMacrosAndReportsWhatItCannot)
{
    const Macros macros{{"a", "x"},   {"b2", "$a$$a$"}, {"n", "$c$"}, {"c", "z"},   {"self", "<$self$>"},
                        {"p", "$q$"}, {"q", "[$p$]"},   {"bad", "$"}, {"1x", "one"}};
    const struct {
        const char *text;
        bool check;
        const char *expected, *errors;
    } cases[] = {
        {"$a$ and $$", true, "x and $", ""},
        {"$b$", true, "$b$", "Undefined macro 'b' at index 0\n"},
        {"x $a", true, "x $a", "Unterminated macro at index 2\n"},
        {"$n$", true, "z", ""},
        {"$b2$!", true, "xx!", ""},
        {"no macros", true, "no macros", ""},
        {"", true, "", ""},
        {"$1x$", true, "$1x$", "Macro '1x' is not an identifier at index 0\n"},
        {"$1x$", false, "one", ""},
        {"$self$", true, "<$self$>", "Recursive macro 'self' at index 1\n"},
        {"-$p$", true, "-[$p$]", "Recursive macro 'p' at index 1\n"},
        // The index of a problem inside a value counts in that value.
        {"ab $bad$ $u$", true, "ab $ $u$", "Unterminated macro at index 0\nUndefined macro 'u' at index 9\n"},
    };
    for (const auto &c : cases) {
        std::string out = "stale";
        EXPECT_EQ(String::ExpandDelimited(out, c.text, macros, c.check, '$'), c.errors) << c.text;
        EXPECT_EQ(out, c.expected) << c.text;
    }
    std::string out;
    EXPECT_EQ(String::ExpandDelimited(out, "%a% 5%%", macros, true, '%'), "");
    EXPECT_EQ(out, "x 5%");
}

TEST(StringExpandIdentifier, ReplacesWholeNamesOnce)
{
    const Macros macros{{"$HOME", "/h"}, {"HOME", "H"}, {"@v", "$HOME"}, {"a.b", "AB"}, {"v1", "y"}};
    const struct {
        const char *text, *extra, *expected;
    } cases[] = {
        {"$HOME/x", nullptr, "/h/x"},
        {"HOME", nullptr, "H"},
        {"$HOMEx/x", nullptr, "$HOMEx/x"},
        {"@v", nullptr, "$HOME"},
        {"a.b", nullptr, "a.b"},
        {"a.b", ".", "AB"},
        {"1v1 v12 v1", nullptr, "1y v12 y"},
        {"", nullptr, ""},
        {nullptr, nullptr, ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(String::ExpandIdentifier(c.text, macros, c.extra), c.expected) << (c.text ? c.text : "(null)");
}

TEST(StringSymmetricEncrypt, ScramblesWithTheKeyAndRestoresOnASecondPass)
{
    // 'a' (0x61) against key byte 'K' (0x4B): 0x61 ^ (0x0B | 0x80) = 0xEA; the seed 4 starts at key position
    EXPECT_EQ(String::SymmetricEncrypt(4, "KEY", "a"), "\xEA");
    // 4 % (3 - 1) = 0, seed 5 at position 1 ('E': 0x61 ^ (0x05 | 0x80) = 0xE4).
    EXPECT_EQ(String::SymmetricEncrypt(5, "KEY", "a"), "\xE4");
    const char *text = "The quick brown fox, 0123456789.";
    for (uint64_t seed : {0ull, 1ull, 7ull, 0xFFFFFFFFFFFFFFFFull}) {
        const std::string scrambled = String::SymmetricEncrypt(seed, "k3y!", text);
        EXPECT_EQ(scrambled.size(), std::strlen(text));
        EXPECT_NE(scrambled, text);
        EXPECT_EQ(String::SymmetricEncrypt(seed, "k3y!", scrambled.c_str()), text);
    }
    // A key too short to pick a start position from leaves the text as it is.
    EXPECT_EQ(String::SymmetricEncrypt(3, "k", text), text);
    EXPECT_EQ(String::SymmetricEncrypt(3, "", text), text);
    EXPECT_EQ(String::SymmetricEncrypt(3, nullptr, text), text);
}

} // namespace
