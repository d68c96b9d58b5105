// A test fixture for module classes: an engine on a class table of the test's choosing, modules built on it by class
// id, run one block at a time, and the words of their wires.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "Modules/ModuleKit.h"
#include "support/Signals.h"
#include "support/TestEngine.h"

namespace kvetest {

class ModuleFixture : public ::testing::Test {
protected:
    template <size_t N> void useTable(const ModClassDescriptor *const (&table)[N])
    {
        engine_->classTable = table;
        engine_->classCount = N;
    }
    // A module built on the wires; a failed construction fails the test unless the caller asks for the status.
    ClassModule *build(uint32_t classId, uint32_t wireWord, std::initializer_list<GenericWire *> wires,
                       std::initializer_list<uint32_t> args, int32_t *status = nullptr)
    {
        int32_t local = KVE_OK;
        ClassModule *m = engine_.module(classId, wireWord, wires, args, status != nullptr ? status : &local);
        if (status == nullptr) {
            EXPECT_NE(m, nullptr) << "status " << local;
        }
        return m;
    }
    void pump(ClassModule *m) { ASSERT_EQ(kve_fwPumpModule(engine_.get(), m), KVE_OK); }
    void set(ClassModule *m) { ASSERT_EQ(m->classRecord->set(m, 0xFFFFFFFFu), 0); }
    template <class T> static T *data(GenericWire *w) { return static_cast<T *>(w->buffer); }
    // The wire's words from x[from] on.
    template <class T> static void fill(GenericWire *w, const std::vector<T> &x, size_t from = 0)
    {
        std::copy_n(x.begin() + static_cast<ptrdiff_t>(from), kve::kit::wireWords(w), data<T>(w));
    }
    template <class T> static std::vector<T> words(GenericWire *w)
    {
        return std::vector<T>(data<T>(w), data<T>(w) + kve::kit::wireWords(w));
    }

    TestEngine engine_;
};

} // namespace kvetest
