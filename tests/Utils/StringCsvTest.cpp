// CSV fields of the host strings: reading one field at a cursor and appending one field to a line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Utils/StringOracle.h"
#include "kve/kve_string.h"

namespace {

struct Read {
    int32_t result;
    std::string field;
    std::string rest; // the text at the cursor afterwards
};

std::vector<Read> readAll(const char *text, bool trim, char separator, char quote)
{
    std::vector<Read> reads;
    const char *cursor = text;
    for (int guard = 0; guard < 100; ++guard) {
        std::string field;
        const int32_t result = String::ReadCSVField(field, cursor, trim, separator, quote);
        reads.push_back({result, field, cursor});
        if (result != 0)
            break;
    }
    return reads;
}

bool operator==(const Read &a, const Read &b)
{
    return a.result == b.result && a.field == b.field && a.rest == b.rest;
}

std::ostream &operator<<(std::ostream &os, const Read &r)
{
    return os << '{' << r.result << ", [" << r.field << "], [" << r.rest << "]}";
}

TEST(StringCsvRead, ReadsQuotedAndPlainFieldsAndRejectsMalformedOnes)
{
    const struct {
        const char *text;
        bool trim;
        char quote;
        std::vector<Read> expected;
    } cases[] = {
        {"a,|b ||q|| c|,d", false, '|', {{0, "a", "|b ||q|| c|,d"}, {0, "b |q| c", "d"}, {1, "d", "d"}}},
        {"|abc", false, '|', {{-17, "abc", "|abc"}}},
        {"|ab|x,", false, '|', {{-17, "ab", "x,"}}},
        {"", false, '"', {{1, "", ""}}},
        {",", false, '"', {{0, "", ""}, {1, "", ""}}},
        {"a,,b", false, '"', {{0, "a", ",b"}, {0, "", "b"}, {1, "b", "b"}}},
        {"x\ny,\"p\nq\"", false, '"', {{0, "x\r\ny", "\"p\nq\""}, {1, "p\r\nq", "\"p\nq\""}}},
        {" \t a b \t, \" c \" ,d ", true, '"', {{0, "a b", " \" c \" ,d "}, {-17, " c ", " ,d "}}},
        {" \t a b \t, \" c \",d ", true, '"', {{0, "a b", " \" c \",d "}, {0, " c", "d "}, {1, "d", "d "}}},
        {" a ", false, '"', {{1, " a ", " a "}}},
        {"\"\",\"\"\"\"", false, '"', {{0, "", "\"\"\"\""}, {1, "\"", "\"\"\"\""}}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(readAll(c.text, c.trim, ',', c.quote), c.expected) << c.text;
    const char *none = nullptr;
    std::string field;
    EXPECT_EQ(String::ReadCSVField(field, none, false, ',', '"'), -17);
}

TEST(StringCsvAdd, QuotesOnlyWhereNeededAndMarksAnEmptyLine)
{
    const struct {
        std::vector<std::string> values;
        bool always;
        const char *expected;
    } cases[] = {
        {{"a", "b,c", ""}, false, "a,|b,c|,"},
        {{""}, false, "||"},
        {{"", "x"}, false, ",x"},
        {{"", ""}, false, ","},
        {{"q|t", "c\rr", "n\nl"}, false, "|q||t|,|cr|,n\nl"},
        {{"a", ""}, true, "|a|,||"},
        {{}, false, ""},
    };
    for (const auto &c : cases) {
        std::string line;
        for (const std::string &value : c.values)
            EXPECT_TRUE(String::AddCSVField(line, value, c.always, ',', '|'));
        EXPECT_EQ(line, c.expected);
    }
    std::string line = "pre";
    String::AddCSVField(line, static_cast<const char *>(nullptr), false, ';', '"');
    EXPECT_EQ(line, "pre;");
}

TEST(StringCsv, LinesMatchTheCsvModule)
{
    const auto rows = kvetest::runTextOracle("csv_lines.py", "31");
    ASSERT_FALSE(rows.empty());
    for (const auto &row : rows) {
        ASSERT_GE(row.size(), 5u);
        const bool always = row[0] == "1";
        const char separator = row[1][0], quote = row[2][0];
        const std::vector<std::string> fields(row.begin() + 3, row.end() - 1);
        const std::string &expected = row.back();
        std::string line;
        for (const std::string &field : fields)
            String::AddCSVField(line, field, always, separator, quote);
        EXPECT_EQ(line, expected);
        std::vector<std::string> read;
        for (const Read &r : readAll(expected.c_str(), false, separator, quote)) {
            EXPECT_GE(r.result, 0) << expected;
            read.push_back(r.field);
        }
        EXPECT_EQ(read, fields) << expected;
    }
}

} // namespace
