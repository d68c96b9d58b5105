#include <bit>
#include <cstring>

#include "Dsp/Asrc/Asrc.h"

namespace {

// Everything init stores, for a ring of words of the given size. A converter whose ring or table cannot be used is
// still built from what was given; the calls then refuse it (kve_asrcRingUsable, kve_asrcReadable).
void build(const qirn_asrc_props *props, void *buffer, uint32_t length, uint32_t guard, uint32_t channels,
           uint32_t sampleBytes, qirn_asrc_state *s)
{
    *s = qirn_asrc_state{};
    s->sampleBytes = sampleBytes;
    s->length = length;
    s->guard = guard;
    s->channels = channels;
    s->buffer = buffer;
    // A ring too large to count in the record's word is left with total 0, which no ring matches.
    const uint64_t total = (uint64_t{length} + guard) * channels;
    s->total = total <= UINT32_MAX ? static_cast<uint32_t>(total) : 0;
    s->regState = s->loopState;
    if (props != nullptr) {
        s->phases = props->phases;
        s->rows = props->rows;
        s->coefficients = props->coefficients;
        s->coefficientCount = props->coefficientCount;
        s->step = props->nominalStep;
        s->taps = static_cast<uint32_t>(uint64_t{props->coefficientCount} / (uint64_t{props->phases} + 3));
        s->log2Phases = props->phases == 0 ? 0 : static_cast<uint32_t>(std::bit_width(props->phases) - 1);
        s->phaseMask = props->phases == 0 ? 0 : props->phases - 1;
        s->fractionMask = (uint64_t{1} << (32 + s->log2Phases)) - 1;
        s->regA = props->regA;
        s->regB = props->regB;
        s->regC = props->regC;
        s->regD = props->regD;
        // The converter's own copy of the set's starting state: converters built from one set never disturb each
        // other, and the set itself stays read-only.
        if (props->regState != nullptr) {
            s->loopState[0] = props->regState[0];
            s->loopState[1] = props->regState[1];
        }
        s->integral = props->integratorStart;
        s->regulate = 1;
    }
}

// Positions back to the start and the ring cleared; the step, the loop filter's state and its integral are kept.
// A ring built for the other form's words is left alone: it was sized for them.
void clear(qirn_asrc_state *s, size_t wordSize)
{
    if (s == nullptr || s->sampleBytes != wordSize) {
        return;
    }
    s->writeIndex = 0;
    s->readPosition = 0;
    if (kve_asrcRingUsable(s)) {
        std::memset(s->buffer, 0, size_t{s->total} * wordSize);
    }
}

} // namespace

// Builds a converter from a property set on the caller's ring of (length + guard) x channels words, then resets it.
extern "C" void qirn_asrc_init_Q31(const qirn_asrc_props *props, int32_t *buffer, uint32_t length, uint32_t guard,
                                   uint32_t channels, qirn_asrc_state *state)
{
    if (state != nullptr) {
        build(props, buffer, length, guard, channels, sizeof(int32_t), state);
        clear(state, sizeof(int32_t));
    }
}

extern "C" void qirn_asrc_reset_Q31(qirn_asrc_state *state)
{
    clear(state, sizeof(int32_t));
}

// As the Q1.31 form, on a ring of 16-bit words.
extern "C" void qirn_asrc_init_Q15(const qirn_asrc_props *props, int16_t *buffer, uint32_t length, uint32_t guard,
                                   uint32_t channels, qirn_asrc_state *state)
{
    if (state != nullptr) {
        build(props, buffer, length, guard, channels, sizeof(int16_t), state);
        clear(state, sizeof(int16_t));
    }
}

extern "C" void qirn_asrc_reset_Q15(qirn_asrc_state *state)
{
    clear(state, sizeof(int16_t));
}
