// A module's variables as tests reach them: variable k by its record's offset, and the array a private variable
// points to.
#pragma once

#include <cstdint>
#include <cstring>

#include "kve/kve_engine.h"

namespace kvetest {

template <typename T> T &variable(ClassModule *m, uint32_t k)
{
    const uint32_t offset = kve_ClassVariableOffsets(m->classRecord)[k];
    return *reinterpret_cast<T *>(reinterpret_cast<char *>(m) + offset);
}

template <typename T> T *privateArray(ClassModule *m, uint32_t k)
{
    T *p;
    std::memcpy(&p, reinterpret_cast<char *>(m) + kve_ClassVariableOffsets(m->classRecord)[k], sizeof p);
    return p;
}

} // namespace kvetest
