// Holds a critical section for the length of a scope, so an early return or an exception never leaves it held.
#pragma once

#include "kve/kve_sync.h"

namespace kve {

class SectionLock {
public:
    explicit SectionLock(CRITICAL_SECTION &section) : section_(section) { EnterCriticalSection(&section_); }
    ~SectionLock() { LeaveCriticalSection(&section_); }
    SectionLock(const SectionLock &) = delete;
    SectionLock &operator=(const SectionLock &) = delete;

private:
    CRITICAL_SECTION &section_;
};

} // namespace kve
