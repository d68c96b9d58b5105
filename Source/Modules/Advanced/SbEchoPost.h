// What every subband echo canceller shares: the Set that turns the time constant into the per-block tap decay and
// builds the residual-echo table's segments, and the post-filter that maps each subband's gain through that table.
// Both take the values they need, not a class's instance, so the one- and two-reference cancellers call them alike.
#pragma once

#include <cstdint>

namespace kve::sbaec {

// The residual-echo table as the canceller built it: (x, y) points in dB and one {c3, c2, c1, c0} record per
// segment, with the capacities (in floats) the two arrays were allocated with.
struct PostTable {
    float *points;
    uint32_t pointCapacity;
    float *segments;
    uint32_t segmentCapacity;
};

// Refinement passes a block at most. A layout asks for one to a few; the count is a host-writable word, and 2^31
// passes would hold the audio thread for hours.
inline constexpr int32_t kMaxRefinementPasses = 16;

// The passes a block runs: `numIterations` held to 0..kMaxRefinementPasses (0 or less runs none).
inline int32_t refinementPasses(int32_t numIterations)
{
    return numIterations < 0 ? 0 : (numIterations > kMaxRefinementPasses ? kMaxRefinementPasses : numIterations);
}

// The points of the table in use: `numTablePoints` held to what both arrays hold; below 2 there is no table.
uint32_t postTablePoints(int32_t numTablePoints, const PostTable &table);

// The canceller's Set: returns the tap decay per block, exp(-1 / (timeConstant x sampleRate)), and turns the table
// into straight lines between its points, first opening any tie of two equal x values (the opened x stays in the
// table, so the host reads what the post-filter uses).
float echoCancellerSet(float timeConstant, float sampleRate, int32_t numTablePoints, const PostTable &table);

// The residual-echo post-filter over `nSub` subbands: each gain in `postGain` (overwritten) goes to dB, through the
// table and back to linear, and scales its complex output sample in `output`. With fewer than 2 table points the
// output is left as it is.
void applyPostFilter(float *postGain, int32_t numTablePoints, const PostTable &table, float *output, uint32_t nSub);

} // namespace kve::sbaec
