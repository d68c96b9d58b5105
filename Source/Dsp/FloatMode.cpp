#include <cstdint>

#include "kve/kve_engine.h"

#if defined(__x86_64__)
#include <xmmintrin.h>
#endif

// Flush-to-zero and round to nearest on the calling thread. Denormal samples (a decaying filter tail, a fading
// envelope) would otherwise run the float kernels many times slower, and one fixed mode makes every machine give
// the same float results.
extern "C" void kve_fwSetFloatMode(void)
{
#if defined(__aarch64__)
    // FPCR.FZ (bit 24) set; every other control cleared: round to nearest, no default NaN, no trapped exceptions.
    const uint64_t fpcr = uint64_t{1} << 24;
    __asm__ volatile("msr fpcr, %0" : : "r"(fpcr));
#elif defined(__x86_64__)
    // MXCSR: flush-to-zero (bit 15) and denormals-are-zero (bit 6), all six exceptions masked (bits 7-12), round to
    // nearest (bits 13-14 clear), status flags cleared.
    _mm_setcsr(0x8000u | 0x0040u | 0x1F80u);
#else
#error "kve_fwSetFloatMode: no floating-point mode for this processor"
#endif
}

// The loading thread runs under the library's mode from the start; the host sets it on other threads that call
// the engine with kve_fwSetFloatMode.
__attribute__((constructor)) static void setFloatModeAtLoad(void)
{
    kve_fwSetFloatMode();
}
