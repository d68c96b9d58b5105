#include "Dsp/Asrc/Asrc.h"

// n output frames by cubic interpolation between four neighbouring coefficient rows, each channel from its own
// plane, at the rows' gain, saturated.
extern "C" int32_t qirn_asrc_read_output_cubic_Q31(qirn_asrc_state *state, int32_t *output, int32_t n)
{
    return kve_asrcRead<AsrcCubic>(state, output, n);
}
