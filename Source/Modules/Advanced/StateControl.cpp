// Code the state and timing control modules share.
#include "Modules/Advanced/StateControl.h"

#include <algorithm>
#include <cmath>

#include "Engine/EngineInternal.h"
#include "Modules/Standard/Control.h"

namespace kve::statecontrol {

int32_t timeoutBlocks(float sampleRate, float timeout, uint32_t blockSize)
{
    const float product = sampleRate * timeout;
    const float blocks = product / static_cast<float>(blockSize == 0 ? 1 : blockSize) + 0.5f;
    if (std::isnan(blocks))
        return 0;
    if (blocks >= 2147483647.0f)
        return INT32_MAX;
    if (blocks <= -2147483648.0f)
        return INT32_MIN;
    return static_cast<int32_t>(blocks);
}

int32_t playableLength(ClassModule *m, int32_t bufferLength, const void *buffer, int32_t *index)
{
    const int64_t capacity = kit::capacity(m, 0);
    const int64_t length = bufferLength < capacity ? bufferLength : capacity;
    if (buffer == nullptr || length < 1)
        return 0;
    int64_t i = *index % length;
    if (i < 0)
        i += length;
    *index = static_cast<int32_t>(i);
    return static_cast<int32_t>(length);
}

ClassModule *presetConstruct(const ModClassDescriptor &record, uint32_t heaps, int32_t *status, uint32_t wireWord,
                             GenericWire **wires, uint32_t argc, const uint32_t *args)
{
    // The targets are aimed by the layout through member addresses, so the instance stays an ordinary one whose
    // pointers a host may aim.
    ClassModule *m = control::constructBridge(record, 0, 0, status, wireWord, wires, argc, args);
    if (m == nullptr)
        return nullptr;
    auto *s = reinterpret_cast<PresetArrayHandlerModule *>(m);
    const auto &c = s->counts;
    auto count = [](int32_t v) { return static_cast<uint64_t>(std::max(v, 0)); };
    const uint64_t values = count(c.numPresets) * count(c.numRows) * count(c.numCols);
    s->presetData = values <= UINT32_MAX / 4
                        ? static_cast<float *>(kve_fwMalloc(static_cast<uint32_t>(values * 4), heaps, status))
                        : nullptr;
    if (s->presetData == nullptr) {
        if (*status == KVE_OK)
            *status = KVE_E_HEAPS_FULL;
        return nullptr;
    }
    return m;
}

void presetProcess(ClassModule *m, PresetCounts &counts, const ClassModule *target, const float *array)
{
    if (target != nullptr && array != nullptr && counts.trigger == 1) {
        counts.trigger = 0;
        kve_fwRequestDeferredSet(m);
    }
}

int32_t presetSet(ClassModule *target, float *array, PresetCounts &counts, const float *data, bool act)
{
    if (target == nullptr || array == nullptr)
        return counts.trigger != 0 ? 0 : -96;
    if (!act)
        return 0;
    const int64_t presets = counts.numPresets;
    const int64_t rows = std::max(counts.numRows, 0);
    const int64_t cols = std::max(counts.numCols, 0);
    const int64_t stored = std::max<int64_t>(presets, 0) * rows * cols;
    const bool product = counts.combineMode == 0;
    // Both the presets and the target are reached through pointers a host may aim or counts it may rewrite: the
    // values are combined only when every word read and written lies where a host's own access could go.
    if (stored > UINT32_MAX || rows * cols > UINT32_MAX || !control::isLiveModule(target) ||
        (stored > 0 && checkAimedRange(g_pKVE_instance, data, static_cast<uint32_t>(stored), false) != KVE_OK) ||
        checkAimedRange(g_pKVE_instance, array, static_cast<uint32_t>(rows * cols), true) != KVE_OK)
        return KVE_E_BAD_ARGUMENT;
    for (int64_t r = 0; r < rows; ++r)
        for (int64_t c = 0; c < cols; ++c) {
            float v = product ? 1.0f : 0.0f;
            for (int64_t p = 0; p < presets; ++p) {
                const float x = data[(c * presets + p) * rows + r];
                v = product ? v * x : v + x;
            }
            array[r * cols + c] = v;
        }
    ClassModule_Set(target, KVE_MASK_ALL);
    return 0;
}

} // namespace kve::statecontrol
