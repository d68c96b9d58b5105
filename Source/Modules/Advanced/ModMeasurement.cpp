// Measurement: synchronous averaging. Once the host writes 1 into `measureState`, the module plays `reference`
// `numAverages` (K) times back to back and records what comes back over K + 1 passes of `bufferLength` samples (the
// last catching the tail of the final playback), leaving in `accum` 0.5/K times the sum of the passes, one block of
// every channel after another; then it returns to idle on its own.
#include "Modules/Advanced/Measurements.h"
#include "Modules/Standard/Shapes.h"
#include "kve/kve_vec.h"

namespace {

using namespace kve::kit;
using namespace kve::measurements;
using kve::shapes::channels;
using kve::shapes::inputs;

constexpr std::array<Variable, 8> kVariables = {
    KVE_VARIABLE(MeasurementModule, bufferLength, Int),
    KVE_VARIABLE(MeasurementModule, numAverages, Int),
    KVE_VARIABLE(MeasurementModule, measureState, Int),
    KVE_VARIABLE(MeasurementModule, readIndex, Int),
    KVE_VARIABLE(MeasurementModule, writePos, Int),
    KVE_VARIABLE(MeasurementModule, passCount, Int),
    KVE_ARRAY(MeasurementModule, reference, FloatArray, perArgument(0, 1, 1)),
    KVE_ARRAY_IN(MeasurementModule, accum, FloatArray, fixedLength(0), KVE_HEAPS_LONG_STATE),
};

// A pass is a whole number of blocks: a `bufferLength` that is not a positive multiple of the input's block size
// is refused (-67).
ClassModule *measurementConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                    const uint32_t *args)
{
    if (!requireWires(status, wireWord, 1, 1))
        return nullptr;
    const auto length = argc >= 1 && args != nullptr ? static_cast<int32_t>(args[0]) : 0;
    const uint32_t block = wires != nullptr && wires[0] != nullptr ? blockSize(wires[0]) : 0;
    if (length <= 0 || block == 0 || static_cast<uint32_t>(length) % block != 0) {
        *status = KVE_E_BAD_ARGUMENT;
        return nullptr;
    }
    auto variables = kVariables;
    variables[7].length = perChannelOfWire(0, static_cast<uint32_t>(length));
    return construct(kve_modMeasurementClass, variables, 1, 1, status, wireWord, wires, argc, args);
}

// `readIndex` inside a reference of `length` samples, wherever the host put it.
int32_t wrapped(int32_t index, uint32_t length)
{
    const int64_t i = index % static_cast<int64_t>(length);
    return static_cast<int32_t>(i < 0 ? i + length : i);
}

void measurementProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<MeasurementModule *>(m);
    const GenericWire *in = wire(m, 0);
    GenericWire *out = wire(m, inputs(m));
    const auto played = static_cast<int32_t>(std::min(blockSize(in), wireWords(out)));
    if (s->measureState != 1) {
        kve_vecFill(static_cast<float *>(out->buffer), 1, 0.0f, played);
        return;
    }
    // The pass length and the pass count as built and as the averaging can use them: at least one sample, at least
    // one average (0.5/K must be a number).
    const uint32_t length = std::max(heldCount(s->bufferLength, capacity(m, 0) - 1), 1u);
    const auto passes = static_cast<uint32_t>(std::max(s->numAverages, 1));
    const uint32_t pass = heldCount(s->passCount, passes);
    if (pass < passes) {
        int32_t at = wrapped(s->readIndex, length);
        kve_vecCircRead(s->reference, static_cast<int32_t>(length), &at, 1, out->buffer, 1, played);
        s->readIndex = at;
    } else {
        kve_vecFill(static_cast<float *>(out->buffer), 1, 0.0f, played);
    }
    // Words of one pass, never past `accum`; a pass ends when the words written reach or pass them.
    const uint32_t span = std::min(channels(in) * length, capacity(m, 1));
    const uint32_t at = heldCount(s->writePos, span);
    const uint32_t words = wireWords(in);
    const auto kept = static_cast<int32_t>(std::min(words, span - at));
    const float gain = 0.5f / static_cast<float>(passes);
    const auto *x = static_cast<const float *>(in->buffer);
    if (pass == 0)
        kve_vecScale(x, 1, s->accum + at, 1, gain, kept);
    else
        kve_vecMultiplyAdd(x, 1, &gain, 0, s->accum + at, 1, s->accum + at, 1, kept);
    const uint64_t written = static_cast<uint64_t>(at) + words;
    if (written < span) {
        s->writePos = static_cast<int32_t>(written);
        s->passCount = static_cast<int32_t>(pass);
        return;
    }
    s->writePos = 0;
    s->passCount = static_cast<int32_t>(pass + 1);
    if (pass + 1 > passes) {
        s->passCount = 0;
        s->measureState = 0;
    }
}

} // namespace

extern "C" constinit const ClassRecord<8> kve_modMeasurementClass =
    makeClass<8>(0xBEEF0D10u, {measurementConstructor, measurementProcess}, kVariables);
