#include <cmath>

#include "kve/kve_design.h"

// State-space form of a biquad, the coefficient set of the state-space kernels: the same transfer function with
// the feedback held as k1 = -a1 / 2 and k2 = a1^2 / 4 - a2 (for complex poles their real part and minus the square
// of their imaginary part), k3 = b0 and k4 = b1 - a1 b0 the impulse response's first two samples, and k0 what the
// third one needs. Each difference of products is one fused multiply-add. Every input is read before anything is
// written, so the conversion may be done in place.
extern "C" const float *design_sos2ss(const float *biquad, float *stateSpace)
{
    const float b0 = biquad[0], b1 = biquad[1], b2 = biquad[2], a1 = biquad[3], a2 = biquad[4];
    stateSpace[0] = 0.5f * std::fma(a1 * a1, b0, -(a1 * b1)) + std::fma(-a2, b0, b2);
    stateSpace[1] = -0.5f * a1;
    stateSpace[2] = std::fma(0.25f * a1, a1, -a2);
    stateSpace[3] = b0;
    stateSpace[4] = std::fma(-a1, b0, b1);
    return biquad;
}
