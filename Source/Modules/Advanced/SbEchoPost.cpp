#include "Modules/Advanced/SbEchoPost.h"

#include <algorithm>
#include <cmath>

#include "kve/kve_vec.h"

namespace kve::sbaec {

namespace {

// Words of one table point and of one segment record.
constexpr uint32_t kPointWords = 2;
constexpr uint32_t kSegmentWords = 4;

// How far a tie at the table's ends is opened: a hundredth of the point's magnitude, or 0.01 at zero.
float tieOpening(float x)
{
    const float d = std::fabs(x) * 0.01f;
    return d == 0.0f ? 0.01f : d;
}

// Opens a tie between points i and i + 1 of a table of `count` points: the first point moves down, the last point
// moves up, an inner point moves a hundredth of the way toward its left neighbour.
void openTie(float *points, uint32_t i, uint32_t count)
{
    float *x = points;
    const uint32_t left = kPointWords * i;
    const uint32_t right = kPointWords * (i + 1);
    if (i == 0)
        x[0] -= tieOpening(x[0]);
    else if (i + 2 == count)
        x[right] = x[left] + tieOpening(x[left]);
    else
        x[left] += 0.01f * (x[left - kPointWords] - x[left]);
}

} // namespace

uint32_t postTablePoints(int32_t numTablePoints, const PostTable &table)
{
    if (numTablePoints < 2)
        return 0;
    const uint32_t held = std::min(table.pointCapacity / kPointWords, table.segmentCapacity / kSegmentWords + 1);
    const uint32_t points = std::min(static_cast<uint32_t>(numTablePoints), held);
    return points < 2 ? 0 : points;
}

float echoCancellerSet(float timeConstant, float sampleRate, int32_t numTablePoints, const PostTable &table)
{
    const float alpha = std::exp(-1.0f / (timeConstant * sampleRate));
    const uint32_t count = postTablePoints(numTablePoints, table);
    float *p = table.points;
    for (uint32_t i = 0; i + 1 < count; ++i) {
        const uint32_t left = kPointWords * i;
        const uint32_t right = left + kPointWords;
        if (p[left] == p[right])
            openTie(p, i, count);
        float *segment = table.segments + kSegmentWords * i;
        segment[0] = 0.0f;
        segment[1] = 0.0f;
        segment[2] = (p[right + 1] - p[left + 1]) / (p[right] - p[left]);
        segment[3] = p[left + 1];
    }
    return alpha;
}

void applyPostFilter(float *postGain, int32_t numTablePoints, const PostTable &table, float *output, uint32_t nSub)
{
    const uint32_t count = postTablePoints(numTablePoints, table);
    if (count == 0 || nSub == 0)
        return;
    const auto n = static_cast<int32_t>(nSub);
    kve_vecDb20_Approx(postGain, postGain, n);
    kve_vecTableInterp(postGain, table.points, static_cast<int32_t>(count), table.segments, postGain, n);
    kve_vecUnDb20_Approx(postGain, postGain, n);
    kve_vecMultiplyRealByComplex(postGain, 1, output, 2, output, 2, n);
}

} // namespace kve::sbaec
