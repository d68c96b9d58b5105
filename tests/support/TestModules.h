// Module classes that exist only for the engine's tests and benchmarks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "kve/kve_engine.h"

namespace kvetest {

// Class ids far from every class of the library.
constexpr uint32_t kGainClassId = 0xBEEFF001u;
constexpr uint32_t kDeferredClassId = 0xBEEFF002u;
constexpr uint32_t kFailingSetClassId = 0xBEEFF003u;

// A gain on wire pairs: public `gain` (float) and `channels` (int); private `peak` holds, per channel of
// input 0, the largest magnitude seen, in an array the class constructor takes from the heaps.
struct GainModule {
    ClassModule header;
    float gain;
    uint32_t channels;
    float *peak;
};

// Raises its own deferred-Set request from Process while `requests` is non-zero (one per block); its Set
// counts the calls it gets with all bits.
struct DeferredModule {
    ClassModule header;
    uint32_t requests;
    uint32_t fullSets;
};

// Its Set fails with the status held in `failWith`.
struct FailingSetModule {
    ClassModule header;
    int32_t failWith;
};

template <size_t N> struct ClassRecord {
    ModClassDescriptor record;
    uint32_t offsets[N];
};

extern const ClassRecord<3> kGainClass;
extern const ClassRecord<2> kDeferredClass;
extern const ClassRecord<1> kFailingSetClass;

// The test class table: gain, deferred, failing Set.
extern const ModClassDescriptor *const kTestClassTable[];
extern const uint32_t kTestClassCount;

// Every Set call of the test classes, in call order.
struct SetCall {
    uint32_t objectId;
    uint32_t mask;
    KVEInstance *atWork; // the engine's instance at work during the call
};
std::vector<SetCall> &setLog();

} // namespace kvetest
