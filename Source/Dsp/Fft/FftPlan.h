// Transform plans of the float FFT modules: real-to-complex, complex-to-real and complex-to-complex transforms of a
// power-of-two size from 4 to 16384, computed with kissfft.
//
// A plan is shared by every holder of its size (module instances, cache slots), each owning one reference; the last
// release frees it. Making a plan allocates, so it belongs in a constructor; a transform allocates nothing, takes no
// lock and works in the plan's own scratch memory, so one plan runs one transform at a time. Forward transforms are
// unscaled, inverse transforms include the factor 1/N.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

struct kiss_fft_state;
struct kiss_fftr_state;

namespace kve::fft {

// One complex value, real part first: the layout of a sample on a complex wire.
struct FftComplex {
    float re;
    float im;
};

// Sizes a plan is made for: the powers of two from 4 to 16384.
constexpr int32_t kFftMinSize = 4;
constexpr int32_t kFftMaxSize = 16384;

// What the plans of both kinds share: their size, their reference count and the scratch memory a transform copies
// its input into when the input and output overlap (kissfft runs out of place only).
class FftPlan {
public:
    FftPlan(const FftPlan &) = delete;
    FftPlan &operator=(const FftPlan &) = delete;

    int32_t size() const { return size_; }

    // One more holder.
    void retain();
    // The holder gives its reference back; the plan is freed with the last one. A null plan is ignored.
    static void release(FftPlan *plan);

protected:
    explicit FftPlan(int32_t size);
    virtual ~FftPlan();

    // A plan of the derived kind for `size` points, with its transform states and scratch memory, or null.
    template <typename Plan>
    static Plan *make(int32_t size);

    // Where the transform reads from: `in` itself, or its copy in the scratch memory when it overlaps `out`.
    const void *outOfPlace(const void *in, size_t inBytes, const void *out, size_t outBytes);

    int32_t size_;

private:
    std::atomic<int32_t> references_{1};
    std::unique_ptr<FftComplex[]> scratch_;
};

// Real signals of N samples and their N/2 + 1 bins.
class RealFftPlan : public FftPlan {
public:
    // A plan for `size` samples held once by the caller, or null when the size is not a power of two from 4 to 16384
    // or memory runs out.
    static RealFftPlan *create(int32_t size);

    // N samples to N/2 + 1 bins; the imaginary parts of bins 0 and N/2 are exactly 0.
    void forward(const float *in, FftComplex *out);
    // N/2 + 1 bins to N samples, scaled by 1/N; the imaginary parts of bins 0 and N/2 are not read.
    void inverse(const FftComplex *in, float *out);

private:
    friend class FftPlan;
    using FftPlan::FftPlan;
    ~RealFftPlan() override;
    // kissfft's states of both directions.
    bool allocateStates();

    kiss_fftr_state *forward_ = nullptr;
    kiss_fftr_state *inverse_ = nullptr;
};

// Complex signals of N values, both directions.
class ComplexFftPlan : public FftPlan {
public:
    // A plan for `size` values held once by the caller, or null when the size is not a power of two from 4 to 16384
    // or memory runs out.
    static ComplexFftPlan *create(int32_t size);

    // N values to their N bins.
    void forward(const FftComplex *in, FftComplex *out);
    // N bins to N values, scaled by 1/N.
    void inverse(const FftComplex *in, FftComplex *out);

private:
    friend class FftPlan;
    using FftPlan::FftPlan;
    ~ComplexFftPlan() override;
    // kissfft's states of both directions.
    bool allocateStates();

    kiss_fft_state *forward_ = nullptr;
    kiss_fft_state *inverse_ = nullptr;
};

} // namespace kve::fft
