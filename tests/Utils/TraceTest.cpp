// The trace goes to standard error at once, as formatted and without a line end of its own; nothing for an empty
// or missing format, and never more than 4095 characters of one line.
#include <gtest/gtest.h>

#include <string>

#include "kve/kve_log.h"

namespace {

std::string traced(const char *format, const char *argument)
{
    ::testing::internal::CaptureStderr();
    if (argument == nullptr)
        Trace(format, "");
    else
        Trace(format, argument);
    return ::testing::internal::GetCapturedStderr();
}

TEST(Trace, PrintsTheFormattedTextAsItStands)
{
    EXPECT_EQ(traced("abc", nullptr), "abc");
    EXPECT_EQ(traced("x=%s\r\n", "5"), "x=5\r\n");
    EXPECT_EQ(traced("", nullptr), "");
    EXPECT_EQ(traced(nullptr, nullptr), "");
    const std::string longText(5000, 'a');
    EXPECT_EQ(traced("%s!", longText.c_str()), std::string(4095, 'a'));
}

} // namespace
