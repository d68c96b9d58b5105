// The complex arithmetic the transforms and the complex kernels share, so a product gives the same floats wherever
// the library forms it, and the size rule of the transforms.
#pragma once

#include <cmath>
#include <cstdint>

struct kve_Complex {
    float re;
    float im;
};

// (ar + j ai) x (br + j bi), each part one fused multiply-add over the other product rounded.
static inline kve_Complex kve_complexMul(float ar, float ai, float br, float bi)
{
    return {std::fma(ar, br, -(ai * bi)), std::fma(ar, bi, ai * br)};
}

static inline bool kve_isPowerOfTwo(int64_t n)
{
    return n > 0 && (n & (n - 1)) == 0;
}

// The twiddle factor w, from 1 + 0j, stepped by the rotation e^(j theta) with the recurrence w' = w + w (wpr + j wpi),
// wpr = -2 sin^2(theta / 2), wpi = sin theta, which loses less than multiplying by cos theta + j sin theta. It is
// carried in double precision so that after thousands of steps its error stays below single-precision rounding.
struct kve_TwiddleWalk {
    double wr;
    double wi;
    double wpr;
    double wpi;

    explicit kve_TwiddleWalk(double theta) : wr(1.0), wi(0.0)
    {
        const double half = std::sin(0.5 * theta);
        wpr = -2.0 * half * half;
        wpi = std::sin(theta);
    }

    void step()
    {
        const double r = wr;
        wr = r * wpr - wi * wpi + wr;
        wi = wi * wpr + r * wpi + wi;
    }
};
