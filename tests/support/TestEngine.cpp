#include "support/TestEngine.h"

#include "support/TestModules.h"

namespace kvetest {

TestEngine::TestEngine(const EngineOptions &o) : inputPins_(o.inputPins), outputPins_(o.outputPins)
{
    instance_.inputPins = inputPins_.data();
    instance_.outputPins = outputPins_.data();
    instance_.classTable = kTestClassTable;
    instance_.classCount = kTestClassCount;
    kve_fwInitTargetInfo(&instance_, 0, "test", 18, 1, 0, o.inputPins, o.outputPins, 0, 1, o.inputChannels,
                         o.outputChannels, 26, 1, 226, o.blockSize, 4105, 0.0f, 0.0f, 48000.0f);
    kve_fwInit_io_pins(&instance_, 0);
    if (!o.profiling)
        instance_.flags |= KVE_FLAG_NO_LAYOUT_PROFILING | KVE_FLAG_NO_MODULE_PROFILING;
    kve_fwAllocateHeaps(&instance_, o.heapWords, o.heapWords, o.heapWords);
    g_pKVE_instance = &instance_;
}

TestEngine::~TestEngine() { kve_fwDestroyHeaps(&instance_); }

GenericWire *TestEngine::wire(uint32_t channels, uint32_t blockSize, uint32_t info3)
{
    int32_t status = KVE_OK;
    return ClassWire_Constructor(&instance_, &status, bitsOf(48000.0f), (4u << 28) | channels, blockSize, info3);
}

ClassModule *TestEngine::module(uint32_t classId, uint32_t wireWord, std::initializer_list<GenericWire *> wires,
                                std::initializer_list<uint32_t> args, int32_t *status)
{
    int32_t local = KVE_OK;
    int32_t *s = status != nullptr ? status : &local;
    std::vector<GenericWire *> w(wires);
    std::vector<uint32_t> a(args);
    return ClassModule_Constructor3(&instance_, classId, s, wireWord, w.data(), static_cast<uint32_t>(a.size()),
                                    a.data());
}

ClassLayout *TestEngine::layout(uint32_t capacity, uint32_t divider)
{
    int32_t status = KVE_OK;
    return ClassLayout_Constructor(&instance_, &status, capacity, divider);
}

int32_t TestEngine::place(ClassLayout *layout, uint32_t firstSlot, std::initializer_list<ClassModule *> modules)
{
    std::vector<uint32_t> words{layout->objectId, firstSlot};
    for (ClassModule *m : modules)
        words.push_back(m->objectId);
    return kve_fwAddModuleToLayout(&instance_, static_cast<uint32_t>(words.size()), words.data());
}

} // namespace kvetest
