// A small engine holding the streaming and probe classes, with helpers to build them, write messages as a host
// does and reach their variables.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "Modules/Standard/Streaming.h"
#include "support/ModuleVariables.h"
#include "support/TestEngine.h"

namespace streamtest {

constexpr uint32_t kFileStreaming = 0xBEEF0FDBu;
constexpr uint32_t kMatlabStreaming = 0xBEEF0FE4u;
constexpr uint32_t kRawStreamingSource = 0xBEEF0FF2u;
constexpr uint32_t kProbe = 0xBEEF0FF1u;

// Variables of both streaming classes, in the order of their records.
enum StreamVar : uint32_t {
    MsgLength,
    BufferSize,
    StartThreshold,
    Param3,
    FillLevel,
    Playing,
    Prefilling,
    HostCommand,
    State,
    Ack,
    Param10,
    WriteIndex,
    ReadIndex,
    MsgBuffer,
    CircBuffer,
};

// States and message kinds of a file stream, and the header word a host writes after a message.
enum : uint32_t { NotStarted = 0, Idle = 4, Paused = 5, Receiving = 7, Draining = 8 };
enum : uint32_t { First = 1, Further = 2, Last = 3 };
constexpr uint32_t header(uint32_t kind, uint32_t bytes) { return kind << 24 | bytes; }

inline const ModClassDescriptor *const kStreamingTable[] = {
    &kve_modFileStreamingClass.record,
    &kve_modMatlabStreamingClass.record,
    &kve_modRawStreamingSourceClass.record,
    &kve_modProbeClass.record,
};

// How a stream is built: the construction arguments a layout gives.
struct StreamArgs {
    uint32_t msgLength = 64;
    uint32_t bufferSize = 1024;
    uint32_t startThreshold = 0;
    uint32_t state = Idle;
    uint32_t prefilling = 1;
};

class StreamingTable : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine_->classTable = kStreamingTable;
        engine_->classCount = sizeof kStreamingTable / sizeof kStreamingTable[0];
    }

    GenericWire *wire(uint32_t channels, uint32_t block) { return engine_.wire(channels, block); }
    static float *data(GenericWire *w) { return static_cast<float *>(w->buffer); }
    static uint32_t *bits(GenericWire *w) { return static_cast<uint32_t *>(w->buffer); }

    ClassModule *stream(uint32_t classId, const StreamArgs &a, GenericWire *idWire, int32_t *status = nullptr)
    {
        return engine_.module(classId, 0x100, {idWire},
                              {a.msgLength, a.bufferSize, a.startThreshold, 0, 0, 0, a.prefilling, 0, a.state, 0, 0,
                               0, 0},
                              status);
    }
    ClassModule *source(GenericWire *idWire, GenericWire *out, int32_t *status = nullptr)
    {
        return engine_.module(kRawStreamingSource, 0x101, {idWire, out}, {0, 0}, status);
    }
    void pump(ClassModule *m) { ASSERT_EQ(kve_fwPumpModule(engine_.get(), m), KVE_OK); }

    template <typename T = uint32_t> static T &var(ClassModule *m, uint32_t k) { return kvetest::variable<T>(m, k); }
    template <typename T = uint32_t> static T *array(ClassModule *m, uint32_t k)
    {
        return kvetest::privateArray<T>(m, k);
    }
    static int32_t &index(ClassModule *m, uint32_t k) { return var<int32_t>(m, k); }

    // A host's message: its words into the message area, then the header (or flag) word after them.
    static void send(ClassModule *stream, const std::vector<uint32_t> &words, uint32_t headerWord)
    {
        uint32_t *area = array(stream, MsgBuffer);
        std::copy(words.begin(), words.end(), area);
        area[var(stream, MsgLength)] = headerWord;
    }
    static uint32_t pendingHeader(ClassModule *stream) { return array(stream, MsgBuffer)[var(stream, MsgLength)]; }

    // Words 0, 1, 2, ... from `first` on: every word of a test stream tells where it came from.
    static std::vector<uint32_t> counting(uint32_t first, uint32_t count)
    {
        std::vector<uint32_t> v(count);
        for (uint32_t i = 0; i < count; ++i)
            v[i] = first + i;
        return v;
    }

    kvetest::TestEngine engine_;
};

} // namespace streamtest
