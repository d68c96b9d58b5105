#include <cstdint>
#include <utility>

#include "kve/kve_vec_stats.h"

namespace
{

// Ranges this short are finished by insertion, which beats further partitioning on a handful of values.
constexpr int32_t kInsertionLength = 16;

// The explicit stack: the longer side of each split waits here while the shorter one is sorted, so every waiting
// range is at least twice as long as the one above it and 31 levels cover any int32_t count.
constexpr int kStackPairs = 64;

void insertionSort(float *data, int32_t begin, int32_t end)
{
    for (int32_t i = begin + 1; i < end; ++i) {
        const float x = data[i];
        int32_t j = i;
        for (; j > begin && x < data[j - 1]; --j)
            data[j] = data[j - 1];
        data[j] = x;
    }
}

// Splits data[begin .. end - 1] (at least three values) around the median of its first, middle and last values and
// returns the first position of the upper part; both parts are non-empty. Values equal to the pivot stop both scans
// and are swapped across, so a run of equal values is halved rather than peeled one value at a time: silence and
// sorted blocks split evenly. A NaN compares false either way, so it stops a scan too; no scan leaves the range.
int32_t partition(float *data, int32_t begin, int32_t end)
{
    const int32_t last = end - 1;
    const int32_t mid = begin + (last - begin) / 2;
    if (data[mid] < data[begin])
        std::swap(data[mid], data[begin]);
    if (data[last] < data[mid]) {
        std::swap(data[last], data[mid]);
        if (data[mid] < data[begin])
            std::swap(data[mid], data[begin]);
    }
    const float pivot = data[mid];
    int32_t i = begin - 1;
    int32_t j = end;
    for (;;) {
        do
            ++i;
        while (data[i] < pivot);
        do
            --j;
        while (pivot < data[j]);
        if (i >= j)
            return j + 1;
        std::swap(data[i], data[j]);
    }
}

} // namespace

// Ascending, in place, not stable: quicksort on an explicit stack of (begin, end) pairs, the shorter side of every
// split sorted first, short ranges finished by insertion. NaN values end up somewhere without harm to the rest.
extern "C" void kve_vecSort(float *data, int32_t n)
{
    if (n < 2)
        return;
    int32_t stack[kStackPairs][2];
    int depth = 0;
    stack[depth][0] = 0;
    stack[depth][1] = n;
    ++depth;
    while (depth > 0) {
        --depth;
        int32_t begin = stack[depth][0];
        int32_t end = stack[depth][1];
        while (end - begin > kInsertionLength) {
            const int32_t split = partition(data, begin, end);
            if (split - begin < end - split) {
                stack[depth][0] = split;
                stack[depth][1] = end;
                end = split;
            } else {
                stack[depth][0] = begin;
                stack[depth][1] = split;
                begin = split;
            }
            ++depth;
        }
        insertionSort(data, begin, end);
    }
}
