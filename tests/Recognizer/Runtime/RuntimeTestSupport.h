// What the runtime's tests share: the standard-error text a call leaves, and panic reports without their stamps.
#pragma once

#include <gtest/gtest.h>

#include <regex>
#include <string>

template <class Call>
std::string stderrOf(Call &&call)
{
    testing::internal::CaptureStderr();
    call();
    return testing::internal::GetCapturedStderr();
}

// Each panic report becomes "|" + its message, so that reports compare whatever the clock says.
inline std::string withoutStamps(const std::string &text)
{
    static const std::regex stamp("\nDBPanic:\n \\d{8} \\d\\d:\\d\\d:\\d\\d ");
    return std::regex_replace(text, stamp, "|");
}
