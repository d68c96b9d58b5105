// Escaped forms of text (URL, XML, C strings, visible bytes), CSV fields and command-line splitting.
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "kve/kve_string.h"
#include "StringBytes.h"

namespace {

using namespace kve::strings;

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void appendHex(std::string &out, const char *before, unsigned char byte, const char *after)
{
    static const char digits[] = "0123456789ABCDEF";
    out += before;
    out += digits[byte >> 4];
    out += digits[byte & 15];
    out += after;
}

void trimBlanksRight(std::string &text)
{
    size_t end = text.size();
    while (end > 0 && isBlank(text[end - 1]))
        --end;
    text.resize(end);
}

// Reads the escape whose backslash `p` points at, appends the byte it stands for and returns the position behind
// it. A backslash ending the text and a "\x" without a hexadecimal digit are copied as they stand.
const char *decodeBackslash(std::string &out, const char *p)
{
    const char c = p[1];
    if (c == '\0') {
        out += '\\';
        return p + 1;
    }
    if (c >= '0' && c <= '9') {
        unsigned value = 0;
        const char *q = p + 1;
        for (int n = 0; n < 3 && *q >= '0' && *q <= '7'; ++n)
            value = value * 8 + static_cast<unsigned>(*q++ - '0');
        // Reading stops at 8 or 9: a backslash straight before one gives 0 and leaves the digit to be copied.
        out += static_cast<char>(value & 0xFF);
        return q;
    }
    if (c == 'x' || c == 'X') {
        const char *q = p + 2;
        int value = 0;
        for (int n = 0; n < 2 && hexValue(*q) >= 0; ++n)
            value = value * 16 + hexValue(*q++);
        if (q == p + 2) {
            out.append(p, 2);
            return q;
        }
        out += static_cast<char>(value);
        return q;
    }
    static const char letters[] = "abfnrtv";
    static const char bytes[] = "\a\b\f\n\r\t\v";
    const char *letter = std::strchr(letters, c);
    out += letter != nullptr ? bytes[letter - letters] : c;
    return p + 2;
}

void encodeURL(std::string &out, const char *text)
{
    static const char escaped[] = " <>#%{}|\\^~[]';/?:@=&$";
    for (const char *p = text; *p != '\0'; ++p) {
        if (isPrintable(*p) && std::strchr(escaped, *p) == nullptr)
            out += *p;
        else
            appendHex(out, "%", static_cast<unsigned char>(*p), "");
    }
}

void encodeXML(std::string &out, const char *text)
{
    for (const char *p = text; *p != '\0'; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        switch (c) {
        case '"': out += "&quot;"; break;
        case '&': out += "&amp;"; break;
        case '\'': out += "&apos;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        default:
            if (c == '\t' || c == '\n' || c == '\r' || c >= 0x7F)
                appendHex(out, "&#x", c, ";");
            else if (c < 0x20)
                out += "&#8364;";
            else
                out += *p;
        }
    }
}

void encodeC(std::string &out, const char *text, bool braces)
{
    for (const char *p = text; *p != '\0'; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\'': out += "\\'"; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\f': out += "\\f"; break;
        case '\r': out += "\\r"; break;
        default:
            if (braces && c == '{') {
                out += "\\{";
            } else if (isPrintable(*p)) {
                out += *p;
            } else {
                out += '\\';
                out += static_cast<char>('0' + (c >> 6));
                out += static_cast<char>('0' + ((c >> 3) & 7));
                out += static_cast<char>('0' + (c & 7));
            }
        }
    }
}

void encodeVisible(std::string &out, const char *text)
{
    for (const char *p = text; *p != '\0'; ++p) {
        if (*p == '\r')
            out += "<CR>";
        else if (*p == '\n')
            out += "<LF>";
        else if (isPrintable(*p))
            out += *p;
        else
            appendHex(out, "<", static_cast<unsigned char>(*p), ">");
    }
}

void decodeURL(std::string &out, const char *text)
{
    for (const char *p = text; *p != '\0';) {
        if (*p == '%' && hexValue(p[1]) >= 0 && hexValue(p[2]) >= 0) {
            out += static_cast<char>(hexValue(p[1]) * 16 + hexValue(p[2]));
            p += 3;
        } else {
            out += *p++;
        }
    }
}

// The byte a numeric entity body ("#65", "#x42", "#0x42", "#0101") stands for, or -1 when it is none.
int numericEntity(const std::string &body)
{
    if (body.size() < 2 || body[0] != '#')
        return -1;
    const char *digits = body.c_str() + 1;
    int base = 0;
    if (digits[0] == 'x' || digits[0] == 'X') {
        base = 16;
        ++digits;
    }
    if (*digits == '\0' || *digits == '-' || *digits == '+' || isSpace(*digits))
        return -1;
    char *end = nullptr;
    const unsigned long long value = std::strtoull(digits, &end, base);
    if (*end != '\0')
        return -1;
    return static_cast<int>(value & 0xFF);
}

void decodeXML(std::string &out, const char *text)
{
    static const struct {
        const char *name;
        char byte;
    } named[] = {{"quot", '"'}, {"amp", '&'}, {"apos", '\''}, {"lt", '<'}, {"gt", '>'}};
    for (const char *p = text; *p != '\0';) {
        const char *semicolon = *p == '&' ? std::strchr(p, ';') : nullptr;
        if (semicolon == nullptr) {
            out += *p++;
            continue;
        }
        const std::string body(p + 1, semicolon);
        int byte = numericEntity(body);
        for (const auto &entity : named)
            if (body == entity.name)
                byte = static_cast<unsigned char>(entity.byte);
        if (byte >= 0)
            out += static_cast<char>(byte);
        else
            out.append(p, semicolon + 1);
        p = semicolon + 1;
    }
}

void decodeCString(std::string &out, const char *text)
{
    for (const char *p = text; *p != '\0';) {
        if (*p == '\\')
            p = decodeBackslash(out, p);
        else if (*p == '"')
            ++p;
        else
            out += *p++;
    }
}

} // namespace

void String::Encode(std::string &out, const char *text, Encoding encoding)
{
    out.clear();
    if (text == nullptr)
        return;
    out.reserve(2 * std::strlen(text) + 50);
    switch (encoding) {
    case EncURL: encodeURL(out, text); break;
    case EncXML: encodeXML(out, text); break;
    case EncCString:
        out += '"';
        encodeC(out, text, false);
        out += '"';
        break;
    case EncCEscapes: encodeC(out, text, true); break;
    case EncVisible: encodeVisible(out, text); break;
    default: out = text;
    }
}

void String::Decode(std::string &out, const char *text, Encoding encoding)
{
    out.clear();
    if (text == nullptr)
        return;
    switch (encoding) {
    case EncURL: decodeURL(out, text); break;
    case EncXML: decodeXML(out, text); break;
    case EncCString: decodeCString(out, text); break;
    default: out = text;
    }
}

int32_t String::ReadCSVField(std::string &field, const char *&cursor, bool trim, char separator, char quote)
{
    if (cursor == nullptr)
        return -17;
    const char *p = cursor;
    if (trim)
        while (isBlank(*p))
            ++p;
    const size_t start = field.size();
    const auto append = [&field](char c) {
        if (c == '\n')
            field += '\r';
        field += c;
    };
    if (*p == quote && quote != '\0') {
        for (++p;; ++p) {
            if (*p == '\0')
                return -17;
            if (*p == quote) {
                if (p[1] != quote)
                    break;
                ++p;
            }
            append(*p);
        }
        ++p;
        if (*p != '\0' && *p != separator) {
            cursor = p;
            return -17;
        }
    } else {
        while (*p != '\0' && *p != separator)
            append(*p++);
    }
    if (trim) {
        std::string tail = field.substr(start);
        trimBlanksRight(tail);
        field.resize(start);
        field += tail;
    }
    if (*p == '\0')
        return 1;
    cursor = p + 1;
    return 0;
}

bool String::AddCSVField(std::string &line, const char *value, bool quoteAlways, char separator, char quote)
{
    if (value == nullptr)
        value = "";
    const bool quoted = quoteAlways || (quote != '\0' && std::strchr(value, quote) != nullptr) ||
                        (separator != '\0' && std::strchr(value, separator) != nullptr) ||
                        std::strchr(value, '\r') != nullptr;
    if (!line.empty()) {
        if (line.size() == 2 && line[0] == quote && line[1] == quote)
            line.clear();
        line += separator;
    }
    if (!quoted) {
        line += value;
    } else {
        line += quote;
        for (const char *p = value; *p != '\0'; ++p) {
            if (*p == '\r')
                continue;
            if (*p == quote)
                line += quote;
            line += *p;
        }
        line += quote;
    }
    if (line.empty()) {
        line += quote;
        line += quote;
    }
    return true;
}

bool String::AddCSVField(std::string &line, const std::string &value, bool quoteAlways, char separator, char quote)
{
    return AddCSVField(line, value.c_str(), quoteAlways, separator, quote);
}

void String::SplitQuoted(std::vector<std::string> &out, const char *text)
{
    out.clear();
    if (text == nullptr)
        text = "";
    const char *p = text;
    for (;;) {
        while (isSpace(*p))
            ++p;
        std::string word;
        bool quoted = false;
        while (*p != '\0' && (quoted || !isSpace(*p))) {
            if (*p == '"') {
                quoted = !quoted;
                ++p;
            } else if (*p == '\\') {
                p = decodeBackslash(word, p);
            } else {
                word += *p++;
            }
        }
        const bool atEnd = *p == '\0';
        out.push_back(std::move(word));
        if (atEnd)
            return;
        ++p;
    }
}
