// How the object-file and keyed-object calls word their failures into the session's text.
#pragma once

#include "kve/kve_recognizer.h"

#include <string>

namespace kve::recognizer {

// Replaces the session's text with text, cut to what its 256 characters hold.
void sessionSetText(qhvSession_t *session, const std::string &text);

// "<operation> failed: <reason>", replacing what the text held.
void sessionFail(qhvSession_t *session, const char *operation, const std::string &reason);

// name in double quotes, as the failure texts quote paths and type names.
std::string quoted(const char *name);

} // namespace kve::recognizer
