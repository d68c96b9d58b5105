// Interpolator rows of the 42-tap fractional delay, written by gen_fractional_delay_table.py. Row r delays by
// 20 + (r - 1) / 32 samples (rows 0 and 34 lie one step beyond 20 and 21 for the interpolation between rows); its taps
// are in the order the fixed-point FIR module takes them, tap 41 weighting the newest sample.
#pragma once

extern const float fractional_delay_coeffs[35][42];
