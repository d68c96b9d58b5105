#include "Dsp/Fft/FftPlan.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <numbers>
#include <new>

#include <kiss_fft.h>
#include <kiss_fftr.h>

#include "Dsp/Fft/Complex.h"
#include "kve/kve_vec.h"

static_assert(sizeof(kve::fft::FftComplex) == sizeof(kiss_fft_cpx) &&
                  alignof(kve::fft::FftComplex) == alignof(kiss_fft_cpx),
              "a complex wire sample is handed to kissfft as its own complex type");

namespace kve::fft {

namespace {

bool isPlanSize(int32_t size)
{
    return size >= kFftMinSize && size <= kFftMaxSize && kve_isPowerOfTwo(size);
}

bool overlaps(const void *a, size_t aBytes, const void *b, size_t bBytes)
{
    const auto first = reinterpret_cast<uintptr_t>(a);
    const auto second = reinterpret_cast<uintptr_t>(b);
    return first < second + bBytes && second < first + aBytes;
}

const kiss_fft_cpx *asKiss(const void *p) { return static_cast<const kiss_fft_cpx *>(p); }
const kiss_fft_cpx *asKiss(const float *p) { return reinterpret_cast<const kiss_fft_cpx *>(p); }
kiss_fft_cpx *asKiss(FftComplex *p) { return reinterpret_cast<kiss_fft_cpx *>(p); }

} // namespace

FftPlan::FftPlan(int32_t size) : size_(size) {}

FftPlan::~FftPlan() = default;

void FftPlan::retain() { references_.fetch_add(1, std::memory_order_relaxed); }

void FftPlan::release(FftPlan *plan)
{
    // The freeing holder must see every write the other holders made through the plan before they let go.
    if (plan != nullptr && plan->references_.fetch_sub(1, std::memory_order_acq_rel) == 1)
        delete plan;
}

template <typename Plan>
Plan *FftPlan::make(int32_t size)
{
    if (!isPlanSize(size))
        return nullptr;
    auto *plan = new (std::nothrow) Plan(size);
    if (plan == nullptr)
        return nullptr;
    // N complex values: the largest input of any transform (N real samples, N/2 + 1 bins, N complex values).
    plan->scratch_.reset(new (std::nothrow) FftComplex[static_cast<size_t>(size)]);
    if (plan->scratch_ == nullptr || !plan->allocateStates()) {
        release(plan);
        return nullptr;
    }
    return plan;
}

const void *FftPlan::outOfPlace(const void *in, size_t inBytes, const void *out, size_t outBytes)
{
    if (!overlaps(in, inBytes, out, outBytes))
        return in;
    std::memcpy(scratch_.get(), in, inBytes);
    return scratch_.get();
}

RealFftPlan *RealFftPlan::create(int32_t size) { return make<RealFftPlan>(size); }

bool RealFftPlan::allocateStates()
{
    forward_ = kiss_fftr_alloc(size_, 0, nullptr, nullptr);
    inverse_ = kiss_fftr_alloc(size_, 1, nullptr, nullptr);
    pairHalves_ = std::countr_zero(static_cast<uint32_t>(size_)) % 2 != 0;
    pairTransform_ = kiss_fft_alloc(pairHalves_ ? size_ / 2 : size_, 0, nullptr, nullptr);
    if (pairHalves_) {
        const int32_t half = size_ / 2;
        pairTwiddles_.reset(new (std::nothrow) FftComplex[static_cast<size_t>(half) + 1]);
        if (pairTwiddles_ == nullptr)
            return false;
        const double step = -2.0 * std::numbers::pi / size_;
        for (int32_t k = 0; k <= half; ++k)
            pairTwiddles_[static_cast<size_t>(k)] = {static_cast<float>(std::cos(step * k)),
                                                     static_cast<float>(std::sin(step * k))};
        // The quarter turns exactly, so a part that should cancel (a constant block's other bins) gives 0.
        pairTwiddles_[static_cast<size_t>(half / 2)] = {0.0f, -1.0f};
        pairTwiddles_[static_cast<size_t>(half)] = {-1.0f, 0.0f};
    }
    return forward_ != nullptr && inverse_ != nullptr && pairTransform_ != nullptr;
}

RealFftPlan::~RealFftPlan()
{
    kiss_fftr_free(forward_);
    kiss_fftr_free(inverse_);
    kiss_fft_free(pairTransform_);
}

void RealFftPlan::forward(const float *in, FftComplex *out)
{
    const size_t n = static_cast<size_t>(size_);
    const void *source = outOfPlace(in, n * sizeof(float), out, (n / 2 + 1) * sizeof(FftComplex));
    kiss_fftr(forward_, static_cast<const float *>(source), asKiss(out));
}

void RealFftPlan::inverse(const FftComplex *in, float *out)
{
    const size_t n = static_cast<size_t>(size_);
    const void *source = outOfPlace(in, (n / 2 + 1) * sizeof(FftComplex), out, n * sizeof(float));
    kiss_fftri(inverse_, asKiss(source), out);
    kve_vecScale(out, 1, out, 1, 1.0f / static_cast<float>(size_), size_);
}

void RealFftPlan::forwardPair(const float *in, int32_t channels, float *out, FftComplex *work)
{
    const int32_t n = size_;
    const int32_t half = n / 2;
    // Channels c and c + 1 of a frame are one complex value z = x + iy; frames lie channels / 2 such values apart.
    // Its transform Z goes to `work`, or in halves the even and odd frames' transforms E and O, Z[k] = E[k] + w^k O[k]
    // (indices of E and O taken modulo N/2).
    const auto *frames = asKiss(in);
    if (pairHalves_) {
        kiss_fft_stride(pairTransform_, frames, asKiss(work), channels);
        kiss_fft_stride(pairTransform_, frames + channels / 2, asKiss(work + half), channels);
    } else {
        kiss_fft_stride(pairTransform_, frames, asKiss(work), channels / 2);
    }
    const FftComplex *evens = work;
    const FftComplex *odds = work + half;
    // Z at k and N - k, for k = 0 .. N/2.
    const auto pairAt = [&](int32_t k, FftComplex &a, FftComplex &b) {
        if (!pairHalves_) {
            a = work[k];
            b = work[(n - k) & (n - 1)];
            return;
        }
        const FftComplex w = pairTwiddles_[static_cast<size_t>(k)];
        const int32_t i = k & (half - 1);
        const int32_t j = (half - k) & (half - 1);
        const kve_Complex wo = kve_complexMul(w.re, w.im, odds[i].re, odds[i].im);
        // w^(N - k) is the conjugate of w^k.
        const kve_Complex wb = kve_complexMul(w.re, -w.im, odds[j].re, odds[j].im);
        a = {evens[i].re + wo.re, evens[i].im + wo.im};
        b = {evens[j].re + wb.re, evens[j].im + wb.im};
    };
    // X[k] = (Z[k] + conj Z[N - k]) / 2 and Y[k] = (Z[k] - conj Z[N - k]) / 2i. At k = 0 and N/2 both terms are
    // one value, so the imaginary parts cancel to exactly 0.
    const ptrdiff_t step = ptrdiff_t{2} * channels;
    for (int32_t k = 0; k <= half; ++k) {
        FftComplex a, b;
        pairAt(k, a, b);
        if (k == 0 || k == half)
            b = a;
        float *bins = out + k * step;
        bins[0] = 0.5f * (a.re + b.re);
        bins[1] = 0.5f * (a.im - b.im);
        bins[2] = 0.5f * (a.im + b.im);
        bins[3] = 0.5f * (b.re - a.re);
    }
}

void RealFftPlan::inversePair(const float *in, float *out, FftComplex *work)
{
    const int32_t n = size_;
    const int32_t half = n / 2;
    const float scale = 1.0f / static_cast<float>(n);
    // Z = X + iY over all N bins (X[N - k] = conj X[k]) goes back to z = x + iy. The inverse transform of Z is the
    // forward transform of Z taken in reverse order, W[k] = Z[N - k], scaled by 1/N (exact for a power of two).
    // Bins 0 and N/2 have no imaginary parts here.
    work[0] = {scale * in[0], scale * in[2]};
    const float *middle = in + 2 * n;
    work[half] = {scale * middle[0], scale * middle[2]};
    for (int32_t k = 1; k < half; ++k) {
        const float *bins = in + 4 * k;
        const float xr = bins[0], xi = bins[1], yr = bins[2], yi = bins[3];
        work[n - k] = {scale * (xr - yi), scale * (xi + yr)};
        work[k] = {scale * (xr + yi), scale * (yr - xi)};
    }
    auto *values = reinterpret_cast<FftComplex *>(out);
    if (!pairHalves_) {
        kiss_fft(pairTransform_, asKiss(work), asKiss(values));
        return;
    }
    // In halves: the even outputs are the transform of W[k] + W[k + N/2], the odd ones that of
    // (W[k] - W[k + N/2]) w^k. The evens go to the output's upper half and the odds to `work`; spreading them
    // upwards from the start then reads every value before it is overwritten.
    for (int32_t k = 0; k < half; ++k) {
        const FftComplex p = work[k];
        const FftComplex q = work[k + half];
        const FftComplex w = pairTwiddles_[static_cast<size_t>(k)];
        work[k] = {p.re + q.re, p.im + q.im};
        const kve_Complex d = kve_complexMul(p.re - q.re, p.im - q.im, w.re, w.im);
        work[k + half] = {d.re, d.im};
    }
    kiss_fft(pairTransform_, asKiss(work), asKiss(values + half));
    kiss_fft(pairTransform_, asKiss(work + half), asKiss(work));
    for (int32_t m = 0; m < half; ++m) {
        const FftComplex even = values[half + m];
        const FftComplex odd = work[m];
        values[2 * m] = even;
        values[2 * m + 1] = odd;
    }
}

ComplexFftPlan *ComplexFftPlan::create(int32_t size) { return make<ComplexFftPlan>(size); }

bool ComplexFftPlan::allocateStates()
{
    forward_ = kiss_fft_alloc(size_, 0, nullptr, nullptr);
    inverse_ = kiss_fft_alloc(size_, 1, nullptr, nullptr);
    return forward_ != nullptr && inverse_ != nullptr;
}

ComplexFftPlan::~ComplexFftPlan()
{
    kiss_fft_free(forward_);
    kiss_fft_free(inverse_);
}

void ComplexFftPlan::forward(const FftComplex *in, FftComplex *out)
{
    const size_t bytes = static_cast<size_t>(size_) * sizeof(FftComplex);
    kiss_fft(forward_, asKiss(outOfPlace(in, bytes, out, bytes)), asKiss(out));
}

void ComplexFftPlan::inverse(const FftComplex *in, FftComplex *out)
{
    const size_t bytes = static_cast<size_t>(size_) * sizeof(FftComplex);
    kiss_fft(inverse_, asKiss(outOfPlace(in, bytes, out, bytes)), asKiss(out));
    float *values = reinterpret_cast<float *>(out);
    kve_vecScale(values, 1, values, 1, 1.0f / static_cast<float>(size_), 2 * size_);
}

void ComplexFftPlan::transformStrided(const FftComplex *in, int32_t stride, FftComplex *out, bool inverse)
{
    kiss_fft_stride(inverse ? inverse_ : forward_, asKiss(in), asKiss(out), stride);
}

} // namespace kve::fft
