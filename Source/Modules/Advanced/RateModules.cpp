// Code the rate and timing modules share.
#include "Modules/Advanced/RateModules.h"

namespace kve::rate {

void burn(int32_t ticks)
{
    const uint32_t start = kve_fwReadClock();
    // Differences modulo 2^32 stay right across the clock's wrap.
    while (static_cast<int64_t>(kve_fwReadClock() - start) <= static_cast<int64_t>(ticks)) {
    }
}

} // namespace kve::rate
