// The converter's 29 stored configurations, each with its arrays and what its name says: input rate, phase count,
// labelled stop-band attenuation and the taps per phase that phase count and label call for.
#pragma once

#include <cstdint>

#include "kve/kve_asrc.h"

namespace kvetest {

struct StoredSet {
    const char *name;
    const qirn_asrc_props *props;
    const int32_t *coefficients;
    const float *regA;
    const float *regB;
    const float *regC;
    const float *regD;
    const float *regState;
    int64_t inputRate;
    uint32_t phases;
    double attenuationDb; // the label
    uint32_t taps;        // taps per phase, as the set's phase count and label call for
};

#define ASRC_SET(fin, m, db, label, taps)                                                                             \
    {#fin " to 48000, " #m "M " #db "dB",                                                                             \
     &QIRN_ASRC_##fin##_TO_48000_##m##M_##db##DB_PROPS,                                                               \
     QIRN_ASRC_##fin##_TO_48000_##m##M_##db##DB_COEFF,                                                                \
     QIRN_ASRC_##fin##_TO_48000_##m##M_##db##DB_REG_A,                                                                \
     QIRN_ASRC_##fin##_TO_48000_##m##M_##db##DB_REG_B,                                                                \
     QIRN_ASRC_##fin##_TO_48000_##m##M_##db##DB_REG_C,                                                                \
     QIRN_ASRC_##fin##_TO_48000_##m##M_##db##DB_REG_D,                                                                \
     QIRN_ASRC_##fin##_TO_48000_##m##M_##db##DB_REGSTATE,                                                             \
     fin,                                                                                                             \
     m,                                                                                                               \
     label,                                                                                                           \
     taps}
#define ASRC_SETS_OF_M(m, t80, t100, t120, t140)                                                                      \
    ASRC_SET(48000, m, 080, 80, t80), ASRC_SET(48000, m, 100, 100, t100), ASRC_SET(48000, m, 120, 120, t120),         \
        ASRC_SET(48000, m, 140, 140, t140)

inline const StoredSet kStoredSets[] = {
    ASRC_SETS_OF_M(8, 28, 32, 36, 44),    ASRC_SETS_OF_M(16, 28, 32, 36, 44),   ASRC_SETS_OF_M(32, 28, 32, 36, 40),
    ASRC_SETS_OF_M(64, 44, 56, 64, 76),   ASRC_SETS_OF_M(128, 44, 56, 64, 76),  ASRC_SETS_OF_M(256, 44, 56, 64, 76),
    ASRC_SETS_OF_M(512, 44, 56, 64, 76),  ASRC_SET(51200, 64, 100, 100, 56),
};
#undef ASRC_SETS_OF_M
#undef ASRC_SET

} // namespace kvetest
