#include "kve/kve_design.h"

// A biquad that only scales: gain, 0, 0, 0, 0.
extern "C" float *design_biquad_gain(float *coeffs, float gain)
{
    coeffs[0] = gain;
    coeffs[1] = 0.0f;
    coeffs[2] = 0.0f;
    coeffs[3] = 0.0f;
    coeffs[4] = 0.0f;
    return coeffs;
}
