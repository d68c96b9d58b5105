#include "Dsp/Asrc/Asrc.h"

namespace {

// Stores n interleaved frames (zeros when frames is null) from the write index on: channel c's sample of each frame
// into plane c, planes stride words apart, the index wrapping at L and shared by all channels. Of more than L frames
// only the last L stay, so only those are stored.
template <typename Sample>
int32_t store(qirn_asrc_state *s, const Sample *frames, int32_t n, size_t stride)
{
    const uint32_t length = s->length;
    const uint32_t channels = s->channels;
    const auto count = static_cast<uint32_t>(n);
    const uint32_t skipped = count > length ? count - length : 0;
    const auto start = static_cast<uint32_t>((uint64_t{s->writeIndex} + skipped) % length);
    auto *ring = static_cast<Sample *>(s->buffer);
    for (uint32_t ch = 0; ch < channels; ++ch) {
        Sample *plane = ring + ch * stride;
        uint32_t index = start;
        for (uint32_t k = skipped; k < count; ++k) {
            plane[index] = frames == nullptr ? Sample{0} : frames[size_t{k} * channels + ch];
            index = index + 1 == length ? 0 : index + 1;
        }
    }
    s->writeIndex = static_cast<uint32_t>((uint64_t{s->writeIndex} + count) % length);
    return 0;
}

// The writers' checks: a ring of this form's words to write into, a count of at least one frame (fewer store
// nothing) and frames to store unless zeros are asked for.
template <typename Sample>
int32_t write(qirn_asrc_state *s, const Sample *frames, int32_t n, bool zeros, bool planesAtLength)
{
    if (!kve_asrcRingUsable(s) || s->sampleBytes != sizeof(Sample)) {
        return -1;
    }
    if (n < 1) {
        return 0;
    }
    if (frames == nullptr && !zeros) {
        return -1;
    }
    const size_t stride = planesAtLength ? size_t{s->length} : size_t{s->length} + s->guard;
    return store(s, zeros ? nullptr : frames, n, stride);
}

} // namespace

// Interleaved Q1.31 frames into the ring, channel c into the plane at c x (L + guard). The writer does not check the
// reader's position: callers size L for their blocks.
extern "C" int32_t qirn_asrc_write_input_Q31(qirn_asrc_state *state, const int32_t *frames, int32_t n)
{
    return write(state, frames, n, false, false);
}

extern "C" int32_t qirn_asrc_write_zeros_Q31(qirn_asrc_state *state, int32_t n)
{
    return write<int32_t>(state, nullptr, n, true, false);
}

// Interleaved Q1.15 frames into a 16-bit ring whose planes lie L words apart, channel c at c x L.
extern "C" int32_t qirn_asrc_write_input_Q15(qirn_asrc_state *state, const int16_t *frames, int32_t n)
{
    return write(state, frames, n, false, true);
}

// Zero frames into the 16-bit ring, in the same planes as the Q1.15 writer's.
extern "C" int32_t qirn_asrc_write_zeros_Q15(qirn_asrc_state *state, int32_t n)
{
    return write<int16_t>(state, nullptr, n, true, true);
}
