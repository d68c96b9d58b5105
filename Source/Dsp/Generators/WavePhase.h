// The phase of the float wave generators: advanced by a step, wrapped back into one period around zero.
#pragma once

#include <cmath>

// A step of more than one period moves the wave as the same step less whole periods does, but would carry the phase
// past the one correction per sample and off without bound; it is reduced once per call.
static inline float kve_wavePhaseStep(float step, float period)
{
    return std::fabs(step) > period ? std::fmod(step, period) : step;
}

// phase + step, moved back by one period when it passes limit and forward by one when it passes -limit, so a
// falling phase (negative step) stays in range as a rising one does.
static inline float kve_wavePhaseNext(float phase, float step, float limit, float period)
{
    float next = phase + step;
    if (next > limit) {
        next -= period;
    } else if (next < -limit) {
        next += period;
    }
    return next;
}
