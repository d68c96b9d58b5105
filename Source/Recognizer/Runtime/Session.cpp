// The session record every recognizer call takes first: the last failure's text, a block some caller may hand it
// to keep, and the record type that frames object records.
#include "kve/kve_recognizer.h"
#include "kve/kve_recognizer_runtime.h"

#include <cstring>

extern "C" {

qhvSession_t *qhvSessionCreate(void)
{
    auto *session = static_cast<qhvSession_t *>(dbMalloc(sizeof(qhvSession_t)));
    if (!session)
        return nullptr;
    std::memset(session, 0, sizeof(qhvSession_t));
    if (sessionFindLengthContainer(session) != 0) {
        qhvSessionDestroy(session);
        return nullptr;
    }
    return session;
}

void qhvSessionDestroy(qhvSession_t *session)
{
    if (!session)
        return;
    dbFree(session->ownedBlock);
    dbFree(session);
}

const char *qhvGetLastError(const qhvSession_t *session)
{
    // A caller whose qhvSessionCreate returned null still gets a reason when it asks.
    if (!session)
        return "qhvSessionCreate failed: Could not initialize.";
    return session->errorText;
}

void qhvResetLastError(qhvSession_t *session)
{
    if (session)
        session->errorText[0] = '\0';
}

int sessionFindLengthContainer(qhvSession_t *session)
{
    return containerFind(session, "oneint", &session->lengthContainer) == 0 ? 0 : 1;
}

} // extern "C"
