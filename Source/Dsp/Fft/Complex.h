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

// A rotation e^(j theta) in the form the twiddle recurrence steps by: wpr = -2 sin^2(theta / 2), wpi = sin theta.
struct kve_Rotation {
    double wpr;
    double wpi;
};

static inline kve_Rotation kve_rotationOf(double theta)
{
    const double half = std::sin(0.5 * theta);
    return {-2.0 * half * half, std::sin(theta)};
}

// The rotations the transforms step by, per direction (0 forward, 1 inverse) and log2 of the span: a stage of
// `kve_vecCfft` with span 2^k turns by -+2 pi / 2^k (and four times that for its interleaved lanes), `kve_vecRfft` of
// 2^k complex points by -+pi / 2^k. Worked out once when the library loads, so a small transform does not spend
// most of its time in sines.
struct kve_FftRotations {
    kve_Rotation stage[2][32];
    kve_Rotation stageTimesFour[2][32];
    kve_Rotation realSplit[2][32];
};
extern const kve_FftRotations kve_fftRotations;

// The twiddle factor w, from 1 + 0j, stepped by the rotation with the recurrence w' = w + w (wpr + j wpi), which
// loses less than multiplying by cos theta + j sin theta. It is carried in double precision so that after
// thousands of steps its error stays below single-precision rounding.
struct kve_TwiddleWalk {
    double wr;
    double wi;
    double wpr;
    double wpi;

    explicit kve_TwiddleWalk(const kve_Rotation &r) : wr(1.0), wi(0.0), wpr(r.wpr), wpi(r.wpi) {}

    void step()
    {
        const double r = wr;
        wr = r * wpr - wi * wpi + wr;
        wi = wi * wpr + r * wpi + wi;
    }
};
