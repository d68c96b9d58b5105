// What the waveform analyses share: the "wave" record's layout and turning a length worked out in floating point
// (milliseconds times a rate) into a count of samples.
#pragma once

#include "ContainerTypes.h"

#include <kve/kve_recognizer_runtime.h>

#include <cmath>
#include <cstdint>

namespace wavequality {

// floor(value), clamped into 0 .. limit; NaN gives 0, so a missing or absurd rate can never index or size anything.
inline int64_t floorToCount(double value, int64_t limit)
{
    if (!(value >= 1.0))
        return 0;
    const double whole = std::floor(value);
    return whole >= static_cast<double>(limit) ? limit : static_cast<int64_t>(whole);
}

// The sample rate a record carries as its first parameter, or NaN when it carries none.
inline double recordRate(const wave *recording)
{
    if (recording->paramCount < 1 || recording->params == nullptr)
        return std::nan("");
    return recording->params[0];
}

} // namespace wavequality
