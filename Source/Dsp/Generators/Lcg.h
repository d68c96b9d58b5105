// The linear congruential generator of the random-number and noise kernels.
#pragma once

#include <cstdint>

// The successor of state: 1664525 x state + 1013904223, modulo 2^32.
static inline uint32_t kve_lcgNext(uint32_t state)
{
    return 1664525u * state + 1013904223u;
}
