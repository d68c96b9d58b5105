#include "Dsp/Fft/Complex.h"

namespace {

kve_FftRotations rotations()
{
    // The angles as the transforms have always formed them: 2 pi and pi as single-precision constants, divided in
    // double precision.
    const double turn = -6.2831855f;
    const double halfTurn = 3.1415927f;
    kve_FftRotations r{};
    for (int k = 0; k < 32; ++k) {
        const double span = static_cast<double>(int64_t{1} << k);
        for (int direction = 0; direction < 2; ++direction) {
            const double sign = direction == 0 ? 1.0 : -1.0;
            const double theta = turn / (sign * span);
            r.stage[direction][k] = kve_rotationOf(theta);
            r.stageTimesFour[direction][k] = kve_rotationOf(4.0 * theta);
            r.realSplit[direction][k] = kve_rotationOf((direction == 0 ? -halfTurn : halfTurn) / span);
        }
    }
    return r;
}

} // namespace

const kve_FftRotations kve_fftRotations = rotations();
