// Polynomial coefficients of the logarithm, power and decibel approximations, highest power first unless noted.
#include <cstdint>

#include "kve/kve_vec.h"

namespace {

// A coefficient word written as the hexadecimal word it is stored as.
constexpr Fract32 word(uint32_t bits)
{
    return static_cast<Fract32>(bits);
}

} // namespace

// log2 of a frexp mantissa in [0.5, 1), cubic.
extern "C" const float log2f_approx_coeff[4] = {
    1.2314958572387695f, -4.11852502822876f, 6.021970272064209f, -3.1339645385742188f,
};

// 2^f for f in [0, 1), quintic.
extern "C" const float pow2f_approx_coeff[6] = {
    0.0037887918297201395f, -0.001062594586983323f, 0.0781150832772255f,
    0.21440613269805908f,   0.7084623575210571f,    0.9962897896766663f,
};

// log2 of a Q31 mantissa normalised to [0.5, 1), cubic, giving 26 fractional bits.
extern "C" const Fract32 log2_coeff_fract32[4] = {
    word(0x04ED0D44), word(0xEF86A157), word(0x18167F57), word(0xF376D202),
};

// 2^f for the fixed-point power and undB modules.
extern "C" const Fract32 pow2_coeff_fract32[7] = {
    word(0x0001CAAD), word(0xFFFF64BE), word(0x00378176), word(0x00CAB0F9),
    word(0x03EE0DD5), word(0x0B0C5616), word(0x10023A3E),
};

// K0..K4 of the fixed-point linear to dB polynomial: the offset, the dB per octave (6.0206 / 64), then the linear,
// square and cube terms of the mantissa.
extern "C" const Fract32 LinearToDecibels_coeff_fract32[5] = {
    word(0xD9E66F9D), word(0x0C0A8C0F), word(0x49CD9D6B), word(0xCCF5C2B5), word(0x0F563115),
};

// log2(10) / 20, then the cubic for 2^f lowest power first, all with 24 fractional bits.
extern "C" const Fract32 DecibelsToLinear_coeff_fract32[5] = {
    word(0x002A854B), word(0x00FFFFFE), word(0x00B225F0), word(0x003990C0), word(0x00144951),
};

// Float twins of the two fixed-point decibel sets.
extern "C" const float LinearToDecibels_coeff[5] = {
    -0.2976546883583069f, 0.0940718725323677f, 0.576728105545044f, -0.3987500071525574f, 0.119817815721035f,
};
extern "C" const float DecibelsToLinear_coeff[5] = {
    0.16609640419483185f, 0.9999998807907104f, 0.6958913207054138f, 0.22486494481563568f, 0.07924369722604752f,
};
