#include "Recognizer/Runtime/SessionText.h"

namespace kve::recognizer {

void sessionSetText(qhvSession_t *session, const std::string &text)
{
    // A long path or type name shortens the message instead of emptying it.
    strncpy_s(session->errorText, sizeof session->errorText, text.c_str(), sizeof session->errorText - 1);
}

void sessionFail(qhvSession_t *session, const char *operation, const std::string &reason)
{
    sessionSetText(session, std::string(operation) + " failed: " + reason);
}

std::string quoted(const char *name)
{
    return std::string("\"") + (name ? name : "") + "\"";
}

} // namespace kve::recognizer
