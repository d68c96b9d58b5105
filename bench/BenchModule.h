// A module on its own engine for a benchmark: the engine holds the benchmark's class table, the module is built by
// the derived class, and each run is one Process call.
#pragma once

#include <cstddef>

#include "support/TestEngine.h"

class BenchModule {
public:
    template <size_t N>
    BenchModule(const ModClassDescriptor *const (&table)[N], const kvetest::EngineOptions &options = {})
        : engine_(options)
    {
        engine_->classTable = table;
        engine_->classCount = N;
    }
    ~BenchModule() { kve_fwDestroy(engine_.get()); }
    BenchModule(const BenchModule &) = delete;
    BenchModule &operator=(const BenchModule &) = delete;

    bool built() const { return module_ != nullptr; }
    void run() { module_->classRecord->process(module_); }

protected:
    kvetest::TestEngine engine_;
    ClassModule *module_ = nullptr;
};
