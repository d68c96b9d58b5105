// String lists with text I/O and INI-style profiles, and the string map filled from key=value items.
#include "kve/kve_string_vector.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "kve/kve_file.h"
#include "kve/kve_string.h"

namespace {

bool isEmpty(const char *text)
{
    return text == nullptr || text[0] == '\0';
}

bool compare_sort_strings(const std::string &a, const std::string &b)
{
    return a < b;
}

bool compare_sortrev_strings(const std::string &a, const std::string &b)
{
    return b < a;
}

bool compare_sorti_strings(const std::string &a, const std::string &b)
{
    return strcasecmp(a.c_str(), b.c_str()) < 0;
}

bool compare_sortirev_strings(const std::string &a, const std::string &b)
{
    return strcasecmp(b.c_str(), a.c_str()) < 0;
}

template <typename Matches>
int32_t findFrom(const string_vector &list, size_t start, Matches matches)
{
    for (size_t i = start; i < list.size(); ++i)
        if (matches(list[i]))
            return static_cast<int32_t>(i);
    return -1;
}

template <typename Less>
void sortFrom(string_vector &list, size_t start, Less less)
{
    if (start < list.size())
        std::stable_sort(list.begin() + static_cast<std::ptrdiff_t>(start), list.end(), less);
}

// Profile lines: a line opening with "[" ends a section body; empty lines and ";" comments are no key lines.
bool startsSection(const std::string &line)
{
    return !line.empty() && line[0] == '[';
}

bool isKeyLine(const std::string &line)
{
    return !line.empty() && line[0] != ';';
}

std::string sectionHeader(const char *section)
{
    std::string header = "[";
    header.append(section).append("]");
    return header;
}

int32_t findSection(const string_vector &profile, const char *section)
{
    return profile.findi(sectionHeader(section).c_str(), 0);
}

// The index past the last body line of the section whose header is at header.
size_t sectionEnd(const string_vector &profile, size_t header)
{
    size_t end = header + 1;
    while (end < profile.size() && !startsSection(profile[end]))
        ++end;
    return end;
}

// The "=" tokens of a key line; runs of "=" count as one and a leading "=" gives no empty key.
string_vector keyTokens(const std::string &line)
{
    string_vector tokens;
    tokens.Split(line.c_str(), "=", 0);
    return tokens;
}

// A value stops at the first ";" (a trailing comment), blanks before it dropped; otherwise it stands as written.
std::string withoutComment(const std::string &value)
{
    const size_t semicolon = value.find(';');
    if (semicolon == std::string::npos)
        return value;
    std::string kept = value.substr(0, semicolon);
    const size_t last = kept.find_last_not_of(" \t");
    kept.erase(last == std::string::npos ? 0 : last + 1);
    return kept;
}

} // namespace

bool string_vector::SaveToFile(const char *path) const
{
    if (isEmpty(path))
        return false;
    File2 file;
    if (!file.open(path, "wb"))
        return false;
    // A full disk or a failed device must not pass for a saved list.
    bool written = true;
    for (const std::string &line : *this)
        written = file.printf("%s\r\n", line.c_str()) >= 0 && written;
    return file.flush() && written;
}

int32_t string_vector::LoadFromFile(const char *path)
{
    if (isEmpty(path))
        return -1;
    clear();
    // The stream stays in this function's hands so that a read error (a directory, a failing device) is told
    // apart from the end of the file: a list that could not be read is not an empty list.
    FILE *stream = std::fopen(path, "rb");
    if (stream == nullptr)
        return -1;
    bool failed = false;
    {
        File2 file(stream);
        std::string line;
        while (file.fgets(line, true, true))
            push_back(line.c_str());
        failed = std::ferror(stream) != 0;
    }
    std::fclose(stream);
    if (failed) {
        clear();
        return -1;
    }
    return static_cast<int32_t>(size());
}

bool string_vector::SaveToString(std::string &out, bool crlf) const
{
    out.clear();
    for (const std::string &line : *this) {
        out += line;
        if (crlf)
            out += "\r\n";
    }
    return true;
}

int32_t string_vector::LoadFromString(const char *text)
{
    if (isEmpty(text))
        return -1;
    clear();
    const char *start = text;
    for (const char *p = text; *p != '\0'; ++p) {
        if (*p != '\n')
            continue;
        const char *end = p > start && p[-1] == '\r' ? p - 1 : p;
        emplace_back(start, end);
        start = p + 1;
    }
    if (*start != '\0')
        emplace_back(start);
    return static_cast<int32_t>(size());
}

int32_t string_vector::find(const char *text, size_t start) const
{
    if (text == nullptr)
        return -1;
    return findFrom(*this, start, [text](const std::string &element) { return element == text; });
}

int32_t string_vector::findi(const char *text, size_t start) const
{
    if (text == nullptr)
        return -1;
    return findFrom(*this, start,
                    [text](const std::string &element) { return strcasecmp(element.c_str(), text) == 0; });
}

int32_t string_vector::findwild(const char *pattern, size_t start) const
{
    if (pattern == nullptr)
        return -1;
    return findFrom(*this, start,
                    [pattern](const std::string &element) { return String::CompareWild(element.c_str(), pattern); });
}

void string_vector::Split(const char *text, const char *delimiters, char quote)
{
    clear();
    if (isEmpty(text) || isEmpty(delimiters))
        return;
    const auto isDelimiter = [delimiters](char c) { return c != '\0' && std::strchr(delimiters, c) != nullptr; };
    const char *p = text;
    while (*p != '\0') {
        if (isDelimiter(*p)) {
            ++p;
            continue;
        }
        std::string token;
        bool quoted = false;
        for (; *p != '\0' && (quoted || !isDelimiter(*p)); ++p) {
            if (quote == '\0' || *p != quote)
                token += *p;
            else if (quoted && p[1] == quote)
                token += *p++;
            else
                quoted = !quoted;
        }
        push_back(std::move(token));
    }
}

std::string string_vector::saveToCSVString(size_t start, bool quoteAlways, char separator, char quote) const
{
    std::string line;
    for (size_t i = start; i < size(); ++i)
        String::AddCSVField(line, (*this)[i].c_str(), quoteAlways, separator, quote);
    return line;
}

bool string_vector::loadFromCSVString(const char *text, bool trim, char separator, char quote)
{
    if (isEmpty(text))
        return false;
    clear();
    const char *cursor = text;
    for (;;) {
        std::string field;
        const int32_t result = String::ReadCSVField(field, cursor, trim, separator, quote);
        if (result < 0)
            return false;
        push_back(std::move(field));
        if (result == 1)
            return true;
    }
}

std::string string_vector::GetProfileStr(const char *section, const char *key, const char *defaultValue) const
{
    if (isEmpty(section) || isEmpty(key))
        return std::string();
    const std::string fallback = defaultValue == nullptr ? std::string() : std::string(defaultValue);
    const int32_t header = findSection(*this, section);
    if (header < 0)
        return fallback;
    for (size_t i = static_cast<size_t>(header) + 1; i < size(); ++i) {
        const std::string &line = (*this)[i];
        if (startsSection(line))
            return fallback;
        if (!isKeyLine(line))
            continue;
        const string_vector tokens = keyTokens(line);
        if (tokens.empty())
            return fallback;
        if (strcasecmp(tokens[0].c_str(), key) != 0)
            continue;
        return tokens.size() == 2 ? withoutComment(tokens[1]) : fallback;
    }
    return fallback;
}

int32_t string_vector::GetProfileIntg(const char *section, const char *key, int32_t defaultValue) const
{
    const std::string value = GetProfileStr(section, key, nullptr);
    if (value.empty())
        return defaultValue;
    return static_cast<int32_t>(std::strtol(value.c_str(), nullptr, 10));
}

void string_vector::WriteProfileStr(const char *section, const char *key, const char *value)
{
    if (isEmpty(section))
        return;
    const int32_t found = findSection(*this, section);
    if (found < 0) {
        if (key != nullptr && value != nullptr) {
            push_back(sectionHeader(section));
            push_back(std::string(key) + "=" + value);
        }
        return;
    }
    const size_t header = static_cast<size_t>(found);
    if (key == nullptr && value == nullptr) {
        erase(begin() + static_cast<std::ptrdiff_t>(header),
              begin() + static_cast<std::ptrdiff_t>(sectionEnd(*this, header)));
        return;
    }
    // A key without a value, or a value without a key, names nothing to write.
    if (key == nullptr || value == nullptr)
        return;
    const std::string keyLine = std::string(key) + "=" + value;
    for (size_t i = header + 1; i < size(); ++i) {
        std::string &line = (*this)[i];
        if (startsSection(line)) {
            insert(begin() + static_cast<std::ptrdiff_t>(i), keyLine);
            return;
        }
        if (!isKeyLine(line))
            continue;
        const string_vector tokens = keyTokens(line);
        if (tokens.empty() || strcasecmp(tokens[0].c_str(), key) == 0) {
            line = keyLine;
            return;
        }
    }
    push_back(keyLine);
}

void string_vector::WriteProfileIntg(const char *section, const char *key, int32_t value)
{
    WriteProfileStr(section, key, String::Format("%d", value).c_str());
}

void string_vector::sort(size_t start)
{
    sortFrom(*this, start, compare_sort_strings);
}

void string_vector::sorti(size_t start)
{
    sortFrom(*this, start, compare_sorti_strings);
}

void string_vector::sortrev(size_t start)
{
    sortFrom(*this, start, compare_sortrev_strings);
}

void string_vector::sortirev(size_t start)
{
    sortFrom(*this, start, compare_sortirev_strings);
}

size_t string_map::Split(const char *text, char quote)
{
    clear();
    if (isEmpty(text))
        return 0;
    string_vector items;
    items.Split(text, ",", quote);
    for (const std::string &item : items) {
        string_vector tokens;
        tokens.Split(item.c_str(), " \t=", quote);
        const size_t equals = item.find('=');
        if (tokens.size() == 2)
            emplace(tokens[0], tokens[1]);
        else if (tokens.size() > 2 && equals != std::string::npos)
            emplace(tokens[0], item.substr(equals + 1));
    }
    return size();
}

char *strNcpy(char *destination, const char *source, size_t size)
{
    if (destination == nullptr || source == nullptr || size == 0)
        return destination;
    std::strncpy(destination, source, size);
    destination[size - 1] = '\0';
    return destination;
}
