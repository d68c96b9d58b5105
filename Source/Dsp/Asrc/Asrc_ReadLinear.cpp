#include "Dsp/Asrc/Asrc.h"

// n output frames by linear interpolation between two neighbouring coefficient rows, each channel from its own
// plane, at the rows' gain, saturated.
extern "C" int32_t qirn_asrc_read_output_linear_Q31(qirn_asrc_state *state, int32_t *output, int32_t n)
{
    return kve_asrcRead<AsrcLinear>(state, output, n);
}
