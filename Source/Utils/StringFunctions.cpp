// Formatting, dates, trimming, joining, splitting, wildcards and macro expansion of the host utilities' strings.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "kve/kve_string.h"
#include "StringBytes.h"

namespace {

using namespace kve::strings;

bool inSet(const char *set, char c)
{
    return set != nullptr && c != '\0' && std::strchr(set, c) != nullptr;
}

// The bytes up to the first zero byte, as every in-place change hands them on.
void cutAtZero(std::string &text)
{
    const size_t zero = text.find('\0');
    if (zero != std::string::npos)
        text.resize(zero);
}

bool localTime(int64_t time, std::tm &parts)
{
    const std::time_t t = static_cast<std::time_t>(time);
    return localtime_r(&t, &parts) != nullptr;
}

// One level of delimited expansion; `active` holds the names being expanded around this text, so a name met
// inside its own expansion is reported instead of recursing without end.
std::string expandDelimited(std::string &out, const std::string &text,
                            const std::map<std::string, std::string> &macros, bool checkNames, char delimiter,
                            std::vector<std::string> &active)
{
    std::string errors;
    size_t pos = 0;
    for (;;) {
        const size_t open = text.find(delimiter, pos);
        if (open == std::string::npos) {
            out.append(text, pos, std::string::npos);
            return errors;
        }
        const size_t close = text.find(delimiter, open + 1);
        if (close == std::string::npos) {
            errors += String::Format("Unterminated macro at index %d\n", static_cast<int>(open));
            out.append(text, pos, std::string::npos);
            return errors;
        }
        out.append(text, pos, open - pos);
        pos = close + 1;
        if (close == open + 1) {
            out += delimiter;
            continue;
        }
        const std::string name = text.substr(open + 1, close - open - 1);
        const auto found = macros.find(name);
        const char *problem = nullptr;
        if (checkNames && !String::IsIdentifier(name.c_str()))
            problem = "Macro '%s' is not an identifier at index %d\n";
        else if (found == macros.end())
            problem = "Undefined macro '%s' at index %d\n";
        else
            for (const std::string &outer : active)
                if (outer == name)
                    problem = "Recursive macro '%s' at index %d\n";
        if (problem != nullptr) {
            errors += String::Format(problem, name.c_str(), static_cast<int>(open));
            out.append(text, open, close + 1 - open);
            continue;
        }
        active.push_back(name);
        errors += expandDelimited(out, found->second, macros, checkNames, delimiter, active);
        active.pop_back();
    }
}

} // namespace

std::string String::Format(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text = FormatV(format, args);
    va_end(args);
    return text;
}

std::string String::FormatV(const char *format, va_list args)
{
    if (format == nullptr || format[0] == '\0')
        return {};
    char small[512];
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(small, sizeof small, format, args);
    std::string text;
    if (n >= 0 && static_cast<size_t>(n) < sizeof small) {
        text.assign(small, static_cast<size_t>(n));
    } else if (n > 0) {
        text.resize(static_cast<size_t>(n));
        std::vsnprintf(text.data(), text.size() + 1, format, again);
    }
    va_end(again);
    return text;
}

std::string String::FormatDate(int64_t time, int32_t flags)
{
    std::tm t{};
    if (!localTime(time, t))
        return {};
    const int year = t.tm_year + 1900;
    const int shortYear = ((year % 100) + 100) % 100;
    switch (flags & 0xF0) {
    case 0x10:
        return Format("%d/%d/%02d", t.tm_mday, t.tm_mon + 1, shortYear);
    case 0x20:
        return Format("%d/%d/%d", year, t.tm_mon + 1, t.tm_mday);
    default:
        return Format("%d/%d/%02d", t.tm_mon + 1, t.tm_mday, shortYear);
    }
}

std::string String::FormatTime(int64_t time, int32_t flags)
{
    std::tm t{};
    if (!localTime(time, t))
        return {};
    if ((flags & 0x0F) == 1)
        return Format("%d:%02d:%02d", t.tm_hour, t.tm_min, t.tm_sec);
    const int hour = t.tm_hour % 12 == 0 ? 12 : t.tm_hour % 12;
    return Format("%d:%02d:%02d %s", hour, t.tm_min, t.tm_sec, t.tm_hour < 12 ? "AM" : "PM");
}

std::string String::FormatDateTime(int64_t time, int32_t flags)
{
    std::tm t{};
    if (time <= 0 || !localTime(time, t))
        return "UNKNOWN";
    return FormatDate(time, flags) + " " + FormatTime(time, flags);
}

std::string String::Replace(const std::string &text, const std::string &from, const std::string &to)
{
    if (from.empty())
        return text;
    std::string result;
    size_t pos = 0;
    for (size_t hit = text.find(from); hit != std::string::npos; hit = text.find(from, pos)) {
        result.append(text, pos, hit - pos);
        result += to;
        pos = hit + from.size();
    }
    result.append(text, pos, std::string::npos);
    return result;
}

void String::ToUpper(std::string &text)
{
    cutAtZero(text);
    for (char &c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

void String::ToLower(std::string &text)
{
    cutAtZero(text);
    for (char &c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

void String::TrimLeft(std::string &text)
{
    size_t start = 0;
    while (start < text.size() && isBlank(text[start]))
        ++start;
    text.erase(0, start);
    cutAtZero(text);
}

void String::TrimRight(std::string &text, bool lineEnds)
{
    size_t end = text.size();
    while (end > 0 && (isBlank(text[end - 1]) || (lineEnds && (text[end - 1] == '\r' || text[end - 1] == '\n'))))
        --end;
    text.resize(end);
}

void String::Trim(std::string &text)
{
    size_t start = 0;
    while (start < text.size() && isBlank(text[start]))
        ++start;
    size_t end = text.size();
    while (end > start && isBlank(text[end - 1]))
        --end;
    text = text.substr(start, end - start);
}

bool String::CompareWild(const char *text, const char *pattern, std::string *capture)
{
    if (text == nullptr || pattern == nullptr || *text == '\0' || *pattern == '\0')
        return false;
    while (*text != '\0') {
        if (*pattern == '*') {
            ++pattern;
            if (capture != nullptr)
                *capture += '*';
            if (*pattern == '\0') {
                // A closing star takes whatever is left.
                if (capture != nullptr)
                    *capture += text;
                return true;
            }
            // Shortest run first; what a failed attempt appended to the capture stays.
            for (; *text != '\0'; ++text) {
                if (CompareWild(text, pattern, capture))
                    return true;
                if (capture != nullptr)
                    *capture += *text;
            }
            return false;
        }
        if (*pattern == '\0' || (*pattern != '?' && *pattern != *text))
            return false;
        ++pattern;
        ++text;
    }
    if (*pattern == '*' && pattern[1] == '\0') {
        if (capture != nullptr)
            *capture += '*';
        return true;
    }
    return *pattern == '\0';
}

std::string String::Merge(const std::vector<std::string> &list, const char *separator)
{
    std::string joined;
    for (size_t i = 0; i < list.size(); ++i) {
        if (i > 0 && separator != nullptr)
            joined += separator;
        joined += list[i];
    }
    return joined;
}

void String::Split(std::vector<std::string> &out, const char *text, const char *delimiters)
{
    out.clear();
    if (text == nullptr)
        text = "";
    if (delimiters == nullptr || delimiters[0] == '\0') {
        out.emplace_back(text);
        return;
    }
    for (const char *p = text;;) {
        while (inSet(delimiters, *p))
            ++p;
        if (*p == '\0')
            break;
        const char *start = p;
        while (*p != '\0' && !inSet(delimiters, *p))
            ++p;
        out.emplace_back(start, p);
    }
    if (out.empty())
        out.emplace_back();
}

bool String::IsIdentifier(const char *text, const char *extra, const char *extraFirst)
{
    if (text == nullptr || text[0] == '\0')
        return false;
    if (!isLetter(text[0]) && text[0] != '_' && !inSet(extraFirst, text[0]))
        return false;
    for (const char *p = text + 1; *p != '\0'; ++p)
        if (!isLetterOrDigit(*p) && *p != '_' && !inSet(extra, *p))
            return false;
    return true;
}

std::string String::ExpandDelimited(std::string &out, const char *text,
                                    const std::map<std::string, std::string> &macros, bool checkNames,
                                    char delimiter)
{
    out.clear();
    std::vector<std::string> active;
    return expandDelimited(out, text == nullptr ? "" : text, macros, checkNames, delimiter, active);
}

std::string String::ExpandIdentifier(const char *text, const std::map<std::string, std::string> &macros,
                                     const char *extra)
{
    std::string result;
    if (text == nullptr)
        return result;
    for (const char *p = text; *p != '\0';) {
        if (*p != '$' && *p != '@' && *p != '_' && !isLetter(*p)) {
            result += *p++;
            continue;
        }
        const char *start = p++;
        while (isLetterOrDigit(*p) || *p == '_' || inSet(extra, *p))
            ++p;
        const std::string name(start, p);
        const auto found = macros.find(name);
        result += found == macros.end() ? name : found->second;
    }
    return result;
}

std::string String::SymmetricEncrypt(uint64_t seed, const char *key, const char *text)
{
    if (text == nullptr)
        return {};
    const size_t keyLength = key == nullptr ? 0 : std::strlen(key);
    // A key of fewer than two bytes has no start position to take from the seed: the text stays as it is.
    if (keyLength < 2)
        return text;
    std::string result(text);
    size_t k = static_cast<size_t>(seed % (keyLength - 1));
    for (char &c : result) {
        c = static_cast<char>(static_cast<unsigned char>(c) ^ ((static_cast<unsigned char>(key[k]) & 63u) | 128u));
        if (++k == keyLength)
            k = 0;
    }
    return result;
}
