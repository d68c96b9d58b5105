// A module's variables as its class record places them, for tests that read or write them directly.
#pragma once

#include <cstdint>
#include <cstring>

#include "kve/kve_engine.h"

namespace kvetest {

// Variable k of a module, as its class record places it.
template <class T> T &variable(ClassModule *m, uint32_t k)
{
    return *reinterpret_cast<T *>(reinterpret_cast<char *>(m) + kve_ClassVariableOffsets(m->classRecord)[k]);
}

// The array private variable k points at.
template <class T> T *privateArray(ClassModule *m, uint32_t k)
{
    T *p;
    std::memcpy(&p, reinterpret_cast<char *>(m) + kve_ClassVariableOffsets(m->classRecord)[k], sizeof p);
    return p;
}

} // namespace kvetest
