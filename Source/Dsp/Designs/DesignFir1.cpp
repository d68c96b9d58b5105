#include <cmath>
#include <cstddef>

#include "kve/kve_design.h"

// Windowed-sinc lowpass: the ideal lowpass impulse response sin(wc m) / (pi m) around the middle tap, shaped by a
// raised-cosine window of pedestal 0.53836 (the Hamming form whose highest sidelobe is lowest), then scaled in
// float so that the taps sum to 1 (unity gain at DC). The taps are worked out in double and rounded to float once.
// A single tap has no window to shape and is the unity gain itself. When the taps sum to 0 (a cutoff of 0 Hz) they
// stay as they are, all zero, rather than turning into NaN.
extern "C" void design_fir1(int32_t numTaps, float *taps, float cutoff, float sampleRate)
{
    if (numTaps < 1)
        return;
    if (numTaps == 1) {
        taps[0] = 1.0f;
        return;
    }
    const double twoPi = 6.283185307179586;
    const double pi = 3.141592653589793;
    const double wc = twoPi * static_cast<double>(cutoff) / static_cast<double>(sampleRate);
    const double middle = (numTaps - 1) / 2.0;
    const double last = numTaps - 1;

    float sum = 0.0f;
    for (ptrdiff_t i = 0; i < numTaps; ++i) {
        const double m = static_cast<double>(i) - middle;
        const double ideal = m == 0.0 ? wc / pi : std::sin(wc * m) / (pi * m);
        const double window =
            0.5383599996566772 - 0.46164000034332275 * std::cos(twoPi * static_cast<double>(i) / last);
        taps[i] = static_cast<float>(ideal * window);
        sum += taps[i];
    }
    if (sum == 0.0f)
        return;
    const float scale = 1.0f / sum;
    for (ptrdiff_t i = 0; i < numTaps; ++i)
        taps[i] *= scale;
}
