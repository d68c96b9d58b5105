// Butterworth prototypes of orders 1 to 10 with their cutoff at fs/8, written by gen_butterworth_tables.py.
// Entry order - 1 of each table points to that order's (order + 1) / 2 sections of five coefficients (b0, b1, b2,
// a1, a2), the gain in the first section; every value is a float, held in quad precision for the design arithmetic.
#pragma once

#include "Dsp/LongDouble.h"

extern const LongDouble *const butter_lpf_coeffs[10];
extern const LongDouble *const butter_hpf_coeffs[10];
extern const LongDouble *const butter_apf_coeffs[10];
