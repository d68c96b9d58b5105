/* The asynchronous sample-rate converter: interleaved Q1.31 frames written into a planar ring, read out at a
 * fractional position by polyphase interpolation, the read step following the ring's fill level through a loop
 * filter so that the reader tracks the writer's real clock. Configurations are read-only property sets, one per rate
 * pair, phase count and stop-band attenuation. The caller supplies the ring and the state; nothing is allocated. */
#ifndef KVE_ASRC_H
#define KVE_ASRC_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* One configuration. */
typedef struct qirn_asrc_props {
    int64_t nominalStep;          /* M x 2^32 x fin / fout */
    const int32_t *coefficients;  /* (M + 3) rows of `taps` Q1.31 values, row-major */
    float inputRate;              /* fin, Hz */
    float outputRate;             /* fout, Hz */
    float passbandEdge;           /* Hz */
    uint32_t taps;                /* taps per phase */
    uint32_t phases;              /* M, a power of two */
    uint32_t rows;                /* M + 3 */
    uint32_t coefficientCount;    /* rows x taps */
    const float *regA;            /* loop-filter state matrix, 2 x 2 row-major */
    const float *regB;            /* loop-filter input matrix (inputs: error, integral), 2 x 2 row-major */
    const float *regC;            /* output row, 2 */
    const float *regD;            /* feed-through row, 2 */
    const float *regState;        /* the loop filter's starting state, 2 */
    float integratorStart;        /* starting value of the error integral */
} qirn_asrc_props;

/* One converter. Its loop-filter state is its own (`loopState`, which `regState` points at): copied from the set at
 * init and kept by reset, so converters built from one set never disturb each other. */
typedef struct qirn_asrc_state {
    uint32_t phases;              /* M */
    uint32_t rows;                /* M + 3 */
    uint32_t length;              /* L: samples per channel in the ring; reads and writes wrap at L */
    uint32_t guard;               /* extra samples per channel plane: the plane stride is L + guard */
    uint32_t total;               /* (L + guard) x channels */
    const int32_t *coefficients;
    uint32_t coefficientCount;
    int64_t step;                 /* current read step: nominal at init, then the loop filter's output */
    uint32_t channels;
    uint32_t regulate;            /* 1 after init: the loop filter runs before each read */
    void *buffer;                 /* planar ring, channel c at c x (L + guard): int32 words, or int16 (Q15 forms) */
    uint32_t taps;                /* coefficient count / (M + 3) */
    uint32_t log2Phases;
    uint32_t phaseMask;           /* M - 1 */
    uint32_t writeIndex;          /* 0 .. L - 1, shared by all channels */
    int64_t readPosition;         /* integer sample above bit 32 + log2 M, phase in the next log2 M bits, 32-bit
                                     fraction below */
    uint64_t fractionMask;        /* 2^(32 + log2 M) - 1 */
    float integral;               /* error integral of the loop filter */
    float *regState;
    const float *regA;
    const float *regB;
    const float *regC;
    const float *regD;
    float loopState[2];
    uint32_t sampleBytes;         /* of the ring's words: 4 (Q31 init) or 2 (Q15 init); the other form's calls refuse
                                     the ring, which was sized for their words */
} qirn_asrc_state;

void qirn_asrc_init_Q31(const qirn_asrc_props *props, int32_t *buffer, uint32_t length, uint32_t guard,
                        uint32_t channels, qirn_asrc_state *state);
void qirn_asrc_reset_Q31(qirn_asrc_state *state);
int32_t qirn_asrc_write_input_Q31(qirn_asrc_state *state, const int32_t *frames, int32_t n);
int32_t qirn_asrc_write_zeros_Q31(qirn_asrc_state *state, int32_t n);
int32_t qirn_asrc_read_output_cubic_Q31(qirn_asrc_state *state, int32_t *output, int32_t n);
int32_t qirn_asrc_read_output_linear_Q31(qirn_asrc_state *state, int32_t *output, int32_t n);
int64_t qirn_asrc_regulate_fstep(qirn_asrc_state *state, int32_t n);
int32_t qirn_asrc_input_avail(const qirn_asrc_state *state);
int32_t qirn_asrc_output_avail(const qirn_asrc_state *state);
int32_t qirn_asrc_latency(const qirn_asrc_state *state);
int32_t qirn_asrc_msec(int32_t a, int32_t b, int32_t rate);

void qirn_asrc_init_Q15(const qirn_asrc_props *props, int16_t *buffer, uint32_t length, uint32_t guard,
                        uint32_t channels, qirn_asrc_state *state);
void qirn_asrc_reset_Q15(qirn_asrc_state *state);
int32_t qirn_asrc_write_input_Q15(qirn_asrc_state *state, const int16_t *frames, int32_t n);
int32_t qirn_asrc_write_zeros_Q15(qirn_asrc_state *state, int32_t n);

/* The stored sets: 48000 to 48000 for M = 8 .. 512 at 80, 100, 120 and 140 dB, and 51200 to 48000 at M = 64, 100 dB.
 * Each set's companion arrays are named by its stem with the suffixes COEFF, REG_A, REG_B, REG_C, REG_D, REGSTATE. */
#define KVE_ASRC_SET(stem)                                                                                            \
    extern const qirn_asrc_props stem##_PROPS;                                                                        \
    extern const int32_t stem##_COEFF[];                                                                              \
    extern const float stem##_REG_A[4];                                                                               \
    extern const float stem##_REG_B[4];                                                                               \
    extern const float stem##_REG_C[2];                                                                               \
    extern const float stem##_REG_D[2];                                                                               \
    extern const float stem##_REGSTATE[2];
#define KVE_ASRC_SETS_OF_M(m)                                                                                         \
    KVE_ASRC_SET(QIRN_ASRC_48000_TO_48000_##m##M_080DB)                                                               \
    KVE_ASRC_SET(QIRN_ASRC_48000_TO_48000_##m##M_100DB)                                                               \
    KVE_ASRC_SET(QIRN_ASRC_48000_TO_48000_##m##M_120DB)                                                               \
    KVE_ASRC_SET(QIRN_ASRC_48000_TO_48000_##m##M_140DB)
KVE_ASRC_SETS_OF_M(8)
KVE_ASRC_SETS_OF_M(16)
KVE_ASRC_SETS_OF_M(32)
KVE_ASRC_SETS_OF_M(64)
KVE_ASRC_SETS_OF_M(128)
KVE_ASRC_SETS_OF_M(256)
KVE_ASRC_SETS_OF_M(512)
KVE_ASRC_SET(QIRN_ASRC_51200_TO_48000_64M_100DB)
#undef KVE_ASRC_SETS_OF_M
#undef KVE_ASRC_SET

#ifdef __cplusplus
}
#endif

#endif
