// An engine instance set up as the library interface sets one up, with small heaps and the test class table.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "kve/kve_engine.h"

namespace kvetest {

struct EngineOptions {
    uint32_t blockSize = 32;
    uint32_t inputChannels = 2;
    uint32_t outputChannels = 2;
    uint32_t inputPins = 1;
    uint32_t outputPins = 1;
    uint32_t heapWords = 1u << 16; // each of the three heaps
    bool profiling = true;
};

class TestEngine {
public:
    explicit TestEngine(const EngineOptions &options = {});
    ~TestEngine();
    TestEngine(const TestEngine &) = delete;
    TestEngine &operator=(const TestEngine &) = delete;

    KVEInstance *get() { return &instance_; }
    KVEInstance *operator->() { return &instance_; }

    // A float wire of the given shape (4 bytes per sample); fails the caller's expectations through a null.
    GenericWire *wire(uint32_t channels, uint32_t blockSize, uint32_t info3 = 0);
    // A module by class id on the given wires; the status of construction lands in *status when given.
    ClassModule *module(uint32_t classId, uint32_t wireWord, std::initializer_list<GenericWire *> wires,
                        std::initializer_list<uint32_t> args, int32_t *status = nullptr);
    ClassLayout *layout(uint32_t capacity, uint32_t divider);
    int32_t place(ClassLayout *layout, uint32_t firstSlot, std::initializer_list<ClassModule *> modules);

private:
    KVEInstance instance_{};
    std::vector<IOPin> inputPins_;
    std::vector<IOPin> outputPins_;
};

inline uint32_t bitsOf(float f)
{
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

inline float floatOf(uint32_t u)
{
    float f;
    std::memcpy(&f, &u, sizeof f);
    return f;
}

// A replaceable clock for exact timing statistics: each read returns `now`, then adds `step`.
struct FakeClock {
    static inline uint32_t now = 1000;
    static inline uint32_t step = 0;
    static uint32_t read()
    {
        const uint32_t t = now;
        now += step;
        return t;
    }
    FakeClock(uint32_t start, uint32_t perRead)
    {
        now = start;
        step = perRead;
        kve_fwSetClockSource(read);
    }
    ~FakeClock() { kve_fwSetClockSource(nullptr); }
};

} // namespace kvetest
