// Byte classes shared by the host string functions: the platform's character classes in the current locale, taken
// on the byte's unsigned value so that bytes above 0x7F never reach them negative.
#pragma once

#include <cctype>

namespace kve::strings {

inline bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

inline bool isLetter(char c)
{
    return std::isalpha(static_cast<unsigned char>(c)) != 0;
}

inline bool isLetterOrDigit(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) != 0;
}

inline bool isPrintable(char c)
{
    return std::isprint(static_cast<unsigned char>(c)) != 0;
}

inline bool isSpace(char c)
{
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

} // namespace kve::strings
