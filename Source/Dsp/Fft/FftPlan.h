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

    // Two channels at once, as the real and imaginary parts of one complex transform of N points: no channel is
    // copied apart from its neighbours. `in` is channel c's first sample in a block interleaving `channels` (even)
    // channels, c even; channels c and c + 1 get their N/2 + 1 bins in `out`, channel c's bin 0 first, in a complex
    // block interleaving `channels` channels. `work` holds N complex values of the caller's own memory. Equal to
    // `forward` on each channel within rounding; the imaginary parts of bins 0 and N/2 are exactly 0.
    void forwardPair(const float *in, int32_t channels, float *out, FftComplex *work);
    // The reverse of `forwardPair` on two channels (`in` interleaves exactly two channels' N/2 + 1 bins, whose
    // imaginary parts at 0 and N/2 are not read), scaled by 1/N; `out` gets the 2N interleaved samples. `work`
    // holds N complex values of the caller's own memory.
    void inversePair(const float *in, float *out, FftComplex *work);

private:
    friend class FftPlan;
    using FftPlan::FftPlan;
    ~RealFftPlan() override;
    // kissfft's states of both directions.
    bool allocateStates();

    kiss_fftr_state *forward_ = nullptr;
    kiss_fftr_state *inverse_ = nullptr;
    // The complex transform of channel pairs: N points when N is a power of 4, which kissfft runs in radix-4
    // passes alone; otherwise N/2 points, twice, joined by one radix-2 step with `pairTwiddles_` (e^(-2 pi i k / N),
    // k = 0 .. N/2), as kissfft's radix-2 pass costs more than the two real transforms it replaces.
    kiss_fft_state *pairTransform_ = nullptr;
    bool pairHalves_ = false;
    std::unique_ptr<FftComplex[]> pairTwiddles_;
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
    // One channel of a block interleaving several: N values `stride` complex values apart to N contiguous values,
    // unscaled in both directions (the caller scales an inverse by 1/N as it moves the values on). `in` and `out`
    // must not overlap.
    void transformStrided(const FftComplex *in, int32_t stride, FftComplex *out, bool inverse);

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
