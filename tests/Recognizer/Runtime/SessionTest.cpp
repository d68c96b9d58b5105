// The session: its text, what it owns, and what a caller without one is told.
#include "kve/kve_recognizer.h"
#include "kve/kve_recognizer_runtime.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(SessionTest, TextFromCreationToDestruction)
{
    qhvSession_t *session = qhvSessionCreate();
    ASSERT_NE(session, nullptr);
    EXPECT_STREQ(qhvGetLastError(session), "");
    ASSERT_NE(session->lengthContainer, nullptr);
    EXPECT_STREQ(containerName(session->lengthContainer), "oneint");

    // A lookup's miss adds to the text; a failing operation replaces it; a reset empties it.
    const containerDescriptor *found = nullptr;
    EXPECT_EQ(containerFind(session, "keyed/objects", &found), 1);
    EXPECT_EQ(containerFind(session, "nothing", &found), 1);
    EXPECT_STREQ(qhvGetLastError(session), "container \"keyed/objects\" not foundcontainer \"nothing\" not found");
    EXPECT_EQ(qhvObjRead(session, "/nonexistent/x.bin"), nullptr);
    EXPECT_STREQ(qhvGetLastError(session), "qhvObjRead failed: Could not open raw file \"/nonexistent/x.bin\"");
    qhvResetLastError(session);
    EXPECT_STREQ(qhvGetLastError(session), "");

    // The block the session owns goes with it (the leak checker of the sanitizer build sees to the rest).
    session->ownedBlock = dbMalloc(64);
    qhvSessionDestroy(session);
}

TEST(SessionTest, NullSession)
{
    EXPECT_STREQ(qhvGetLastError(nullptr), "qhvSessionCreate failed: Could not initialize.");
    qhvResetLastError(nullptr);
    qhvSessionDestroy(nullptr);
    EXPECT_EQ(qhvObjRead(nullptr, "/nonexistent/x.bin"), nullptr);
    EXPECT_EQ(qhvObjWrite(nullptr, nullptr, "/nonexistent/x.bin"), -1);
}

} // namespace
