// Lists and maps of strings for host programs: line files and texts, one CSV line, separated tokens, INI-style
// profiles edited in place, searches and stable sorts; and a bounded string copy that always terminates.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// The standard vector of strings with text I/O on top; it adds no fields, so it passes wherever that vector does.
// Searches answer a signed index, -1 for none, and start at the given index (at or past the end finds nothing).
class string_vector : public std::vector<std::string> {
public:
    using std::vector<std::string>::vector;

    // Writes every element (up to its first zero byte) followed by CR LF; false for a missing path, a file that
    // does not open, or a write that fails.
    bool SaveToFile(const char *path) const;
    // Replaces the elements by the lines of the file (ended by LF, a CR before it or at the very end dropped) and
    // answers their count; -1 for a missing path (the elements kept) or a file that cannot be read (left empty).
    int32_t LoadFromFile(const char *path);
    // Replaces out by the elements, each followed by CR LF when crlf is set, else with nothing between them.
    bool SaveToString(std::string &out, bool crlf) const;
    // Replaces the elements by the lines of the text (ended by LF or CR LF; a lone CR is text) and answers their
    // count; -1 for a missing or empty text, the elements kept.
    int32_t LoadFromString(const char *text);

    // The first element equal to text byte for byte.
    int32_t find(const char *text, size_t start) const;
    // The first element equal to text regardless of case.
    int32_t findi(const char *text, size_t start) const;
    // The first element the wildcard pattern matches ("?" one character, "*" any run).
    int32_t findwild(const char *pattern, size_t start) const;

    // Replaces the elements by the tokens of text: any of the delimiter characters separates them (runs count as
    // one), quote opens and closes a stretch where delimiters are text and a doubled quote is one; quote 0 means
    // no quoting.
    void Split(const char *text, const char *delimiters, char quote);

    // The elements from start on as one CSV line.
    std::string saveToCSVString(size_t start, bool quoteAlways, char separator, char quote) const;
    // Replaces the elements by the fields of one CSV line; false for a missing or empty text (elements kept) or a
    // malformed field (the fields before it kept).
    bool loadFromCSVString(const char *text, bool trim, char separator, char quote);

    // The value of key in [section]; defaultValue (empty when null) when either is absent.
    std::string GetProfileStr(const char *section, const char *key, const char *defaultValue) const;
    // The value of key in [section] read as a decimal number; defaultValue when absent or empty.
    int32_t GetProfileIntg(const char *section, const char *key, int32_t defaultValue) const;
    // Sets key=value in [section], adding the section or the key where missing; with key and value both null the
    // section and its lines are removed.
    void WriteProfileStr(const char *section, const char *key, const char *value);
    void WriteProfileIntg(const char *section, const char *key, int32_t value);

    // Stable sorts of the elements from start on: byte-wise, regardless of case, and both descending.
    void sort(size_t start);
    void sorti(size_t start);
    void sortrev(size_t start);
    void sortirev(size_t start);
};

// The standard ordered map of strings (keys compared byte-wise); it adds no fields.
class string_map : public std::map<std::string, std::string> {
public:
    using std::map<std::string, std::string>::map;

    // Replaces the entries by the key=value items of a comma-separated list (blanks around "=" allowed, quote as
    // in string_vector::Split); the first of a repeated key wins. Answers the number of entries.
    size_t Split(const char *text, char quote);
};

// Copies at most size bytes of source as strncpy does and always terminates within them; size 0 writes nothing.
// A null destination or source leaves the destination untouched.
char *strNcpy(char *destination, const char *source, size_t size);
