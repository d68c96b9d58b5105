// Escaped forms of the host strings (URL, XML, C strings, visible bytes) and command-line splitting, against the
// Python library's readers and writers where it has one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Utils/StringOracle.h"
#include "kve/kve_string.h"

namespace {

using kvetest::runTextOracle;

std::string encoded(const std::string &text, String::Encoding encoding)
{
    std::string out = "stale";
    String::Encode(out, text.c_str(), encoding);
    return out;
}

std::string decoded(const std::string &text, String::Encoding encoding)
{
    std::string out = "stale";
    String::Decode(out, text.c_str(), encoding);
    return out;
}

TEST(StringEncode, WritesEachFormByteForByte)
{
    const struct {
        String::Encoding encoding;
        const char *text, *expected;
    } cases[] = {
        {String::EncURL, "a b/c", "a%20b%2Fc"},
        {String::EncURL, "\xC3\xA9", "%C3%A9"},
        {String::EncURL, "A-z_0.9!*()~", "A-z_0.9!*()%7E"},
        {String::EncXML, "<a&b>", "&lt;a&amp;b&gt;"},
        {String::EncXML, "\"'", "&quot;&apos;"},
        {String::EncXML, "\t\n\r\x7F\xFF", "&#x09;&#x0A;&#x0D;&#x7F;&#xFF;"},
        {String::EncXML, "\x01\x0B\x1F", "&#8364;&#8364;&#8364;"},
        {String::EncCString, "hi\"\n", "\"hi\\\"\\n\""},
        {String::EncCString, "\x1B", "\"\\033\""},
        {String::EncCString, "\b\t\f\r\a\x0B\\'{\xFF", "\"\\b\\t\\f\\r\\007\\013\\\\\\'{\\377\""},
        {String::EncCEscapes, "{x}\"", "\\{x}\\\""},
        {String::EncCEscapes, "", ""},
        {String::EncCString, "", "\"\""},
        {String::EncVisible, "\r\n\x07 a\xFF", "<CR><LF><07> a<FF>"},
        {static_cast<String::Encoding>(0), "a b\x01", "a b\x01"},
        {static_cast<String::Encoding>(9), "%&\\", "%&\\"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(encoded(c.text, c.encoding), c.expected) << c.encoding << ' ' << c.text;
    std::string out = "stale";
    String::Encode(out, nullptr, String::EncURL);
    EXPECT_EQ(out, "");
}

TEST(StringDecode, ReadsEachFormAndCopiesWhatItCannotRead)
{
    const struct {
        String::Encoding encoding;
        const char *text;
        std::string expected;
    } cases[] = {
        {String::EncURL, "%41%", "A%"},
        {String::EncURL, "%4g%zz%4", "%4g%zz%4"},
        {String::EncURL, "a+b%2b%e9", "a+b+\xE9"},
        {String::EncXML, "&#65;&#x42;&foo;", "AB&foo;"},
        // An "&" that no ";" closes is kept with everything after it.
        {String::EncXML, "a&b", "a&b"},
        {String::EncXML, "x&lt;y &amp z", "x<y &amp z"},
        {String::EncXML, "&#0x43;&#0103;&#x1FF;&#;&#xZ;&#-5;", "CC\xFF&#;&#xZ;&#-5;"},
        {String::EncXML, "&quot;&apos;&gt;", "\"'>"},
        {String::EncCString, "\\x41", "A"},
        {String::EncCString, "\\101", "A"},
        {String::EncCString, "\"a\"b\"", "ab"},
        {String::EncCString, "\\x4G\\xZ\\x", "\x04G\\xZ\\x"},
        {String::EncCString, "\\1018\\8x", std::string("A8\0" "8x", 5)},
        {String::EncCString, "\\a\\b\\f\\n\\r\\t\\v\\q\\\"\\\\", "\a\b\f\n\r\t\vq\"\\"},
        {String::EncCString, "end\\", "end\\"},
        {String::EncCEscapes, "\\x41\"", "\\x41\""},
        {String::EncVisible, "<CR>%41", "<CR>%41"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(decoded(c.text, c.encoding), c.expected) << c.encoding << ' ' << c.text;
}

TEST(StringDecode, RestoresEveryByteTheCFormsWrite)
{
    std::string all;
    for (int c = 1; c < 256; ++c)
        all += static_cast<char>(c);
    EXPECT_EQ(decoded(encoded(all, String::EncCString), String::EncCString), all);
    EXPECT_EQ(decoded(encoded(all, String::EncCEscapes), String::EncCString), all);
}

TEST(StringEncode, UrlFormMatchesUrllibQuote)
{
    for (const auto &row : runTextOracle("url_escapes.py", "encode 11")) {
        ASSERT_EQ(row.size(), 2u);
        EXPECT_EQ(encoded(row[0], String::EncURL), row[1]) << kvetest::oracleField(row[0]);
    }
}

TEST(StringDecode, UrlFormMatchesUrllibUnquote)
{
    for (const auto &row : runTextOracle("url_escapes.py", "decode 12")) {
        ASSERT_EQ(row.size(), 2u);
        EXPECT_EQ(decoded(row[0], String::EncURL), row[1]) << row[0];
    }
}

TEST(StringEncode, XmlFormReadsBackThroughElementTree)
{
    // Every byte the form keeps intact: printable ASCII, tab, line feed, carriage return and 0x7F to 0xFF.
    std::vector<kvetest::OracleRow> texts;
    std::vector<std::string> originals;
    std::string all;
    for (int c = 1; c < 256; ++c)
        if (c >= 0x20 || c == '\t' || c == '\n' || c == '\r')
            all += static_cast<char>(c);
    for (size_t start = 0; start < all.size(); start += 7) {
        originals.push_back(all.substr(start, 13) + "\r\n&<");
        texts.push_back({encoded(originals.back(), String::EncXML)});
    }
    const auto rows = runTextOracle("xml_entities.py", "parse", texts);
    ASSERT_EQ(rows.size(), texts.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i][1], originals[i]) << texts[i][0];
        EXPECT_EQ(decoded(texts[i][0], String::EncXML), originals[i]) << texts[i][0];
    }
}

TEST(StringDecode, XmlFormMatchesElementTree)
{
    for (const auto &row : runTextOracle("xml_entities.py", "decode 13")) {
        ASSERT_EQ(row.size(), 2u);
        EXPECT_EQ(decoded(row[0], String::EncXML), row[1]) << row[0];
    }
}

TEST(StringDecode, CStringFormMatchesEscapeDecode)
{
    for (const auto &row : runTextOracle("c_escapes.py", "decode 14")) {
        ASSERT_EQ(row.size(), 2u);
        // The surrounding quotes the form writes are dropped on reading.
        EXPECT_EQ(decoded("\"" + row[0] + "\"", String::EncCString), row[1]) << row[0];
    }
}

TEST(StringEncode, CStringFormReadsBackThroughEscapeDecode)
{
    std::vector<kvetest::OracleRow> texts;
    std::string all;
    for (int c = 1; c < 256; ++c)
        all += static_cast<char>(c);
    for (size_t start = 0; start < all.size(); start += 9) {
        const std::string form = encoded(all.substr(start, 17), String::EncCString);
        texts.push_back({form.substr(1, form.size() - 2)});
    }
    const auto rows = runTextOracle("c_escapes.py", "parse", texts);
    ASSERT_EQ(rows.size(), texts.size());
    for (size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(rows[i][1], all.substr(i * 9, 17)) << texts[i][0];
}

TEST(StringSplitQuoted, CutsWordsAtUnquotedWhiteSpace)
{
    const struct {
        const char *text;
        std::vector<std::string> expected;
    } cases[] = {
        {"  cp \"my file\" x\\ty ", {"cp", "my file", "x\ty", ""}},
        {"", {""}},
        {" \t\n", {""}},
        {"a", {"a"}},
        {"\"\"", {""}},
        {"a\"b c\"d e", {"ab cd", "e"}},
        {"\"open quote", {"open quote"}},
        {"\\x41\\101\\\" \\", {"AA\"", "\\"}},
        {"a\\ b", {"a b"}},
    };
    for (const auto &c : cases) {
        std::vector<std::string> out{"stale"};
        String::SplitQuoted(out, c.text);
        EXPECT_EQ(out, c.expected) << c.text;
    }
}

TEST(StringSplitQuoted, MatchesShlexWithDoubleQuotes)
{
    for (const auto &row : runTextOracle("command_words.py", "15")) {
        ASSERT_FALSE(row.empty());
        std::vector<std::string> out;
        String::SplitQuoted(out, row[0].c_str());
        EXPECT_EQ(out, std::vector<std::string>(row.begin() + 1, row.end())) << '[' << row[0] << ']';
    }
}

} // namespace
