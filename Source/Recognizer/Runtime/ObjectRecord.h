// Reading one object record, shared by the exported decoder, the stream reader and the keyed objects: each names
// itself in the text of a record that does not fit its bytes.
#pragma once

#include "kve/kve_recognizer_runtime.h"

namespace kve::recognizer {

// Decodes the record whose type name starts at in + *position (its length field already passed), reading nothing
// at or past in + end; advances *position past it. With object given, fills it in and returns its record; else
// returns a new typed object. Null on failure: a miss in the registry leaves the lookup's text, a record that does
// not fit its bytes "<operation> failed: Invalid object data".
void *objectDecodeNamed(qhvSession_t *session, typedObject *object, const uint8_t *in, int64_t end,
                        int64_t *position, const char *operation);

// A new typed object over record; null when memory is short, the record's fields and the record then freed when
// freeOnFailure is set.
typedObject *objectWrap(qhvSession_t *session, const containerDescriptor *type, void *record, bool freeOnFailure);

} // namespace kve::recognizer
