// Builds a small layout at engine level and runs it: a stereo gain between the engine's input and output pins.
#include <cstdio>
#include <cstring>
#include <vector>

#include "kve/kve_engine.h"
#include "kve/kve_vec.h"

namespace {

// A one-variable gain class: `gain` (float) scales every sample of input wire 0 into output wire 0.
struct GainModule {
    ClassModule header;
    float gain;
};

void gainProcess(ClassModule *m)
{
    const auto *self = reinterpret_cast<GainModule *>(m);
    const GenericWire *in = m->wires[0];
    GenericWire *out = m->wires[1];
    const uint32_t n = KVE_WIRE_CHANNELS(in->info1) * KVE_WIRE_BLOCK_SIZE(in->info2);
    const auto *x = static_cast<const float *>(in->buffer);
    auto *y = static_cast<float *>(out->buffer);
    for (uint32_t i = 0; i < n; ++i)
        y[i] = x[i] * self->gain;
}

struct GainClass {
    ModClassDescriptor record;
    uint32_t offsets[1];
};
const GainClass kGainClass = {
    {nullptr, 0xBEEF7FF0u, gainProcess, IOMatchUpModule_Bypass, nullptr, nullptr, nullptr, 1, 0x1, 0},
    {offsetof(GainModule, gain)}};
const ModClassDescriptor *const kClassTable[] = {&kGainClass.record};

uint32_t bitsOf(float f)
{
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

} // namespace

int main()
{
    constexpr uint32_t kBlock = 32;
    constexpr uint32_t kChannels = 2;
    IOPin pins[2] = {};
    KVEInstance engine{};
    engine.inputPins = &pins[0];
    engine.outputPins = &pins[1];
    engine.classTable = kClassTable;
    engine.classCount = 1;
    kve_fwInitTargetInfo(&engine, 0, "example", 18, 1, 0, 1, 1, 0, 1, kChannels, kChannels, 26, 1, 226, kBlock,
                         4105, 0.0f, 0.0f, 48000.0f);
    kve_fwInit_io_pins(&engine, 0);
    if (kve_fwAllocateHeaps(&engine, 65536, 16384, 65536) != KVE_OK) {
        std::fprintf(stderr, "example: no memory for the heaps\n");
        return 1;
    }

    // Wire 1 carries the input, wire 2 the output; the gain module is object 3 and the layout object 4.
    int32_t status = KVE_OK;
    const uint32_t info1 = (4u << 28) | kChannels;
    GenericWire *wires[2] = {ClassWire_Constructor(&engine, &status, bitsOf(48000.0f), info1, kBlock, 0),
                             ClassWire_Constructor(&engine, &status, bitsOf(48000.0f), info1, kBlock, 0)};
    const uint32_t halfGain = bitsOf(0.5f);
    ClassModule *gain = ClassModule_Constructor3(&engine, 0xBEEF7FF0u, &status, 0x101, wires, 1, &halfGain);
    ClassLayout *layout = ClassLayout_Constructor(&engine, &status, 1, 1);
    const uint32_t placement[] = {layout != nullptr ? layout->objectId : 0, 0, gain != nullptr ? gain->objectId : 0};
    if (status == KVE_OK)
        status = kve_fwAddModuleToLayout(&engine, 3, placement);
    if (status == KVE_OK)
        status = BindIOToWire(&engine, wires[0]->objectId, 1);
    if (status == KVE_OK)
        status = BindIOToWire(&engine, wires[1]->objectId, 2);
    if (status != KVE_OK) {
        std::fprintf(stderr, "example: building the layout failed with %d\n", status);
        kve_fwDestroyHeaps(&engine);
        return 1;
    }

    // Pump a ramp through the layout, block by block, halving it on the way.
    std::vector<float> input(kBlock * kChannels), output(input.size());
    double sumIn = 0.0, sumOut = 0.0;
    constexpr int kBlocks = 100;
    for (int b = 0; b < kBlocks; ++b) {
        for (size_t i = 0; i < input.size(); ++i)
            input[i] = static_cast<float>(i) / static_cast<float>(input.size());
        kve_fwSetValues(&engine, KVE_MEMBER_ADDRESS(wires[0]->objectId, 3), 0, kBlock * kChannels,
                        reinterpret_cast<const uint32_t *>(input.data()), 0);
        kve_fwPump(&engine, 0);
        kve_fwTick(&engine);
        kve_fwFetchValues(&engine, KVE_MEMBER_ADDRESS(wires[1]->objectId, 3), 0, kBlock * kChannels,
                          reinterpret_cast<uint32_t *>(output.data()));
        for (size_t i = 0; i < input.size(); ++i) {
            sumIn += input[i];
            sumOut += output[i];
        }
    }
    int32_t fetch = KVE_OK;
    const uint32_t runs = kve_fwFetchValue(&engine, KVE_MEMBER_ADDRESS(layout->objectId, 8), &fetch, 0);
    std::printf("example: %u blocks of %u frames x %u channels, layout runs %u, output/input energy ratio %.3f\n",
                kBlocks, kBlock, kChannels, runs, sumOut / sumIn);
    kve_fwDestroy(&engine);
    kve_fwDestroyHeaps(&engine);
    return 0;
}
