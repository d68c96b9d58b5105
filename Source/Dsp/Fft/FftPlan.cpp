#include "Dsp/Fft/FftPlan.h"

#include <cstring>
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
    return forward_ != nullptr && inverse_ != nullptr;
}

RealFftPlan::~RealFftPlan()
{
    kiss_fftr_free(forward_);
    kiss_fftr_free(inverse_);
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

} // namespace kve::fft
