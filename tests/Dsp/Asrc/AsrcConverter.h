// A converter for the tests: a property set on its own small table and loop filter, the ring the caller owns, and
// the state, with every array kept beside it.
#pragma once

#include <cstdint>
#include <vector>

#include "kve/kve_asrc.h"

namespace kvetest {

// The loop filter of the 48 kHz to 48 kHz, M = 64, 100 dB set.
inline constexpr float kLoopA[4] = {0.9984256f, 0.0011124931f, -0.0011124928f, 0.99998367f};
inline constexpr float kLoopB[4] = {-1.3799784e-08f, -2.2485723e-05f, -5.6303904e-09f, -1.9382094e-06f};
inline constexpr float kLoopC[2] = {2.2485727e-05f, -1.9382176e-06f};
inline constexpr float kLoopD[2] = {-2.9962355e-13f, -5.025505e-10f};
inline constexpr float kLoopStart[2] = {25245.156f, -219785.05f};
inline constexpr float kIntegratorStart = -12641574.0f;

struct AsrcSet {
    std::vector<int32_t> coefficients;
    float regState[2] = {kLoopStart[0], kLoopStart[1]};
    qirn_asrc_props props{};

    // A set of (phases + 3) rows of taps from the given coefficients, its step nominal for equal rates.
    AsrcSet(uint32_t phases, uint32_t taps, std::vector<int32_t> table) : coefficients(std::move(table))
    {
        props.nominalStep = static_cast<int64_t>(phases) << 32;
        props.coefficients = coefficients.data();
        props.inputRate = 48000.0f;
        props.outputRate = 48000.0f;
        props.passbandEdge = 18000.0f;
        props.taps = taps;
        props.phases = phases;
        props.rows = phases + 3;
        props.coefficientCount = static_cast<uint32_t>(coefficients.size());
        props.regA = kLoopA;
        props.regB = kLoopB;
        props.regC = kLoopC;
        props.regD = kLoopD;
        props.regState = regState;
        props.integratorStart = kIntegratorStart;
    }
    AsrcSet(const AsrcSet &) = delete;
    AsrcSet &operator=(const AsrcSet &) = delete;
};

struct AsrcConverter {
    std::vector<int32_t> ring;
    qirn_asrc_state state{};

    AsrcConverter(const qirn_asrc_props &props, uint32_t length, uint32_t channels, uint32_t guard = 0)
        : ring((size_t{length} + guard) * channels, -1)
    {
        qirn_asrc_init_Q31(&props, ring.data(), length, guard, channels, &state);
    }
    AsrcConverter(const AsrcConverter &) = delete;
    AsrcConverter &operator=(const AsrcConverter &) = delete;

    // At a fixed step, without the loop filter.
    void fixStep(int64_t step)
    {
        state.regulate = 0;
        state.step = step;
    }
};

} // namespace kvetest
