#include "Dsp/Asrc/Asrc.h"

namespace {

// The integer sample under the read position, inside the ring.
uint32_t readIndex(const qirn_asrc_state *s)
{
    return kve_asrcRingIndex(s->readPosition >> kve_asrcIndexShift(s), s->length);
}

} // namespace

// Slots the writer can fill before it reaches the reader's oldest sample: one slot always stays free.
extern "C" int32_t qirn_asrc_input_avail(const qirn_asrc_state *state)
{
    if (!kve_asrcRingUsable(state)) {
        return 0;
    }
    const int64_t r = readIndex(state);
    const int64_t w = state->writeIndex;
    return static_cast<int32_t>(r > w ? r - w - 1 : int64_t{state->length} + r - w - 1);
}

// Frames the reader can produce at its current step from the samples between its position and the writer's,
// counted in 64 bits and clamped to 0 .. L.
extern "C" int32_t qirn_asrc_output_avail(const qirn_asrc_state *state)
{
    if (!kve_asrcRingUsable(state)) {
        return 0;
    }
    const int64_t r = readIndex(state);
    const int64_t w = state->writeIndex;
    const int64_t filled = w >= r ? w - r : w - r + state->length;
    const int64_t divisor = state->step >> (kve_asrcIndexShift(state) - 15);
    if (divisor == 0) {
        return 0;
    }
    const int64_t frames = (filled - int64_t{state->taps}) * 32768 / divisor;
    return static_cast<int32_t>(frames < 0 ? 0 : (frames > state->length ? state->length : frames));
}

// Input samples between the writer and the middle of the filter window.
extern "C" int32_t qirn_asrc_latency(const qirn_asrc_state *state)
{
    if (!kve_asrcRingUsable(state)) {
        return 0;
    }
    return kve_saturate64(int64_t{state->length} - qirn_asrc_input_avail(state) - state->taps / 2);
}

// max(b, 2a - b) x 6000 / rate, in 64 bits, truncated toward zero and saturated; 0 when rate is 0.
extern "C" int32_t qirn_asrc_msec(int32_t a, int32_t b, int32_t rate)
{
    if (rate == 0) {
        return 0;
    }
    const int64_t twice = 2 * int64_t{a} - b;
    const int64_t larger = twice > b ? twice : b;
    return kve_saturate64(larger * 6000 / rate);
}
