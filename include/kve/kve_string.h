// String helpers of the host utilities: formatting, dates, trimming, joining and splitting, wildcard comparison,
// macro expansion, escaped forms, CSV fields and command-line splitting. Characters are bytes; letters, digits,
// white space and case follow the current locale. Every function is static and re-entrant.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

class String {
public:
    // The escaped forms of Encode and Decode; any other value copies the text unchanged.
    enum Encoding : int {
        EncURL = 1,      // percent escapes
        EncXML = 2,      // entities
        EncCString = 3,  // backslash escapes between double quotes
        EncCEscapes = 4, // backslash escapes without quotes, "{" escaped too (decodes unchanged)
        EncVisible = 5,  // line ends and non-printable bytes made visible (decodes unchanged)
    };

    // printf-style formatting of any length; a null or empty format gives "".
    static std::string Format(const char *format, ...) __attribute__((format(printf, 1, 2)));
    static std::string FormatV(const char *format, va_list args);

    // Local date: flags & 0xF0 == 0x10 "d/m/yy", 0x20 "yyyy/m/d", else "m/d/yy".
    static std::string FormatDate(int64_t time, int32_t flags);
    // Local time of day: flags & 0x0F == 1 "H:MM:SS" (0-23), else "h:MM:SS AM" on the 12-hour clock.
    static std::string FormatTime(int64_t time, int32_t flags);
    // Date, one space and time of day; "UNKNOWN" for a time at or before the epoch.
    static std::string FormatDateTime(int64_t time, int32_t flags);

    // Every occurrence of from, found left to right, replaced by to; replacements are not searched again.
    static std::string Replace(const std::string &text, const std::string &from, const std::string &to);

    // In place; the string ends at its first zero byte afterwards.
    static void ToUpper(std::string &text);
    static void ToLower(std::string &text);
    // In place: leading spaces and tabs.
    static void TrimLeft(std::string &text);
    // In place: trailing spaces and tabs, and carriage returns and line feeds too when lineEnds is set.
    static void TrimRight(std::string &text, bool lineEnds = false);
    // In place: leading and trailing spaces and tabs.
    static void Trim(std::string &text);

    // True when the pattern ("?" one byte, "*" any run) matches the whole text; an empty text or pattern never
    // matches. With a capture, each star tried appends "*" and the bytes it consumed.
    static bool CompareWild(const char *text, const char *pattern, std::string *capture = nullptr);

    // The elements joined with the separator between neighbours.
    static std::string Merge(const std::vector<std::string> &list, const char *separator);
    // Tokens of the text between runs of any of the delimiter bytes; never an empty list (at least one "").
    static void Split(std::vector<std::string> &out, const char *text, const char *delimiters);

    // A letter, "_" or one of extraFirst, then letters, digits, "_" or bytes of extra.
    static bool IsIdentifier(const char *text, const char *extra = nullptr, const char *extraFirst = nullptr);

    // Replaces every delimited name by its value from the map, expanded in turn; a doubled delimiter stands for
    // one. Returns the problems met, one line each ("" when none); what cannot be expanded is copied as written.
    static std::string ExpandDelimited(std::string &out, const char *text,
                                       const std::map<std::string, std::string> &macros, bool checkNames,
                                       char delimiter);
    // Replaces every name (starting with "$", "@", "_" or a letter) the map holds by its value, once.
    static std::string ExpandIdentifier(const char *text, const std::map<std::string, std::string> &macros,
                                        const char *extra = nullptr);

    // Scrambles the text with the key from position seed % (key length - 1); applying it again restores the text.
    static std::string SymmetricEncrypt(uint64_t seed, const char *key, const char *text);

    // The text in the escaped form; the out string is replaced.
    static void Encode(std::string &out, const char *text, Encoding encoding);
    // The text read back from the escaped form; what cannot be read is copied as it stands.
    static void Decode(std::string &out, const char *text, Encoding encoding);

    // Appends the field at the cursor: 0 and the cursor behind the separator when more fields follow, 1 (cursor
    // unchanged) for the last field, -17 for a malformed quoted field.
    static int32_t ReadCSVField(std::string &field, const char *&cursor, bool trim, char separator, char quote);
    // Appends the value as the line's next field, quoted when asked or needed. Always true.
    static bool AddCSVField(std::string &line, const char *value, bool quoteAlways, char separator, char quote);
    static bool AddCSVField(std::string &line, const std::string &value, bool quoteAlways, char separator,
                            char quote);

    // Words of a command-like line: white space outside double quotes separates, backslash escapes as in
    // Decode(EncCString); the list is replaced.
    static void SplitQuoted(std::vector<std::string> &out, const char *text);
};
