// What the runtime's tests share: the standard-error text a call leaves.
#pragma once

#include <gtest/gtest.h>

#include <string>

template <class Call>
std::string stderrOf(Call &&call)
{
    testing::internal::CaptureStderr();
    call();
    return testing::internal::GetCapturedStderr();
}

// The body of every panic report after its time stamp.
inline std::string panicText(const std::string &message)
{
    return "\nDBPanic:\n " + message;
}
