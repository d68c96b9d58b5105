// The two-reference subband echo canceller: its instance record, class record and sample kernel. Each tap of each
// subband holds one complex coefficient per loudspeaker channel, and the estimator tracks per tap the 2x2 Hermitian
// covariance of that pair (two real variances and one complex cross term).
#pragma once

#include <cstdint>

#include "Modules/ModuleKit.h"

extern "C" {
extern const kve::kit::ClassRecord<29> kve_modSbStereoAECV1Class;
}

namespace kve::sbaec {

// Per subband and tap the arrays hold interleaved pairs: (W1, W2), (x1, x2) and (g1, g2) as four floats (two complex
// values), (P11, P22), (|x1|^2, |x2|^2) and the gains (P11, P22) / den as two floats, and the complex cross terms Q,
// c = x1 conj(x2) and Q / den as two floats. Subband k starts at k x maxTaps taps of its array.
struct SbStereoAECModule {
    ClassModule header;
    int32_t maxTaps;
    int32_t numTaps;
    float noiseScale;
    float timeConstant;
    float alpha;
    float spareValue;
    int32_t numIterations;
    int32_t postFilterEnable;
    int32_t spareCount;
    int32_t numTablePoints;
    int32_t spareWord;
    float *taps;
    float *predictedTaps;
    float *tapVariance;
    float *crossVariance;
    float *predictedVariance;
    float *predictedCross;
    float *refHistory;
    float *refPowerHistory;
    float *crossHistory;
    float *stereoScratchA;
    float *diagGain;
    float *stereoScratchB;
    float *crossGain;
    float *stereoScratchC;
    float *gainVectors;
    float *postGain;
    float *postTable;
    float *postSegments;
};

// Floats per tap of the pair arrays and of the single-value arrays.
constexpr uint32_t kPairWords = 4;
constexpr uint32_t kValueWords = 2;

// Runs the adaptive filter over `nSub` subbands: the error of the microphone sample against both references' echo
// estimate goes to `output`, the taps and their covariances take this block's refinement passes, and (when the
// post-filter is on) each subband's residual-echo gain lands in `postGain`. Taps are handled four at a time, their
// gains from the reciprocal estimate and two Newton steps; the taps beyond a multiple of four are divided exactly.
void vec_aec1stereo(SbStereoAECModule *instance, const float *microphone, const float *reference, float *output,
                    uint32_t nSub);

} // namespace kve::sbaec
