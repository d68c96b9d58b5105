// Streaming and probe modules: host-fed ring buffers that a host fills through value writes while the layout runs,
// the source that plays such a ring out on an audio wire, and a probe that captures or injects one channel.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

#include "Modules/Standard/Control.h"
#include "Modules/Standard/Shapes.h"
#include "kve/kve_vec_generators.h"

extern "C" {
extern const kve::kit::ClassRecord<15> kve_modFileStreamingClass;
extern const kve::kit::ClassRecord<15> kve_modMatlabStreamingClass;
extern const kve::kit::ClassRecord<3> kve_modRawStreamingSourceClass;
extern const kve::kit::ClassRecord<2> kve_modProbeClass;
}

namespace kve::streaming {

// The instance both streaming classes share. The host writes a message into msgBuffer words 0 .. msgLength - 1,
// then its header (or flag) word at msgLength; the module moves it into the ring circBuffer of bufferSize words.
struct StreamingModule {
    ClassModule header;
    uint32_t msgLength;
    uint32_t bufferSize;
    int32_t startThreshold;
    uint32_t param3;
    int32_t fillLevel;
    uint32_t playing;
    uint32_t prefilling;
    uint32_t hostCommand;
    uint32_t state;
    uint32_t ack;
    uint32_t param10;
    int32_t writeIndex;
    int32_t readIndex;
    uint32_t *msgBuffer;
    uint32_t *circBuffer;
};

inline constexpr std::array<kit::Variable, 15> kStreamingVariables = {
    KVE_VARIABLE(StreamingModule, msgLength, UInt),
    KVE_VARIABLE(StreamingModule, bufferSize, UInt),
    KVE_VARIABLE(StreamingModule, startThreshold, Int),
    KVE_VARIABLE(StreamingModule, param3, UInt),
    KVE_VARIABLE(StreamingModule, fillLevel, Int),
    KVE_VARIABLE(StreamingModule, playing, UInt),
    KVE_VARIABLE(StreamingModule, prefilling, UInt),
    KVE_VARIABLE(StreamingModule, hostCommand, UInt),
    KVE_VARIABLE(StreamingModule, state, UInt),
    KVE_VARIABLE(StreamingModule, ack, UInt),
    KVE_VARIABLE(StreamingModule, param10, UInt),
    KVE_VARIABLE(StreamingModule, writeIndex, Int),
    KVE_VARIABLE(StreamingModule, readIndex, Int),
    KVE_ARRAY_IN(StreamingModule, msgBuffer, IntArray, perArgument(0, 1, 1), KVE_HEAPS_HOST_ARRAYS),
    KVE_ARRAY_IN(StreamingModule, circBuffer, IntArray, perArgument(1, 1, 1), KVE_HEAPS_HOST_ARRAYS),
};

// A streaming module writes its own id into word 0 of its one output wire, for a source wired to it.
template <const auto *Record>
ClassModule *streamingConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                  const uint32_t *args)
{
    return kit::construct(*Record, kStreamingVariables, 0, 1, status, wireWord, wires, argc, args);
}

// `index` taken into 0 .. size - 1; 0 for an empty ring.
inline int32_t wrapped(int32_t index, int32_t size)
{
    if (size < 1)
        return 0;
    const int32_t i = index % size;
    return i < 0 ? i + size : i;
}

// The ring as it was built, whatever a host has written since: its length held to the words allocated (the
// allocation has one spare word past bufferSize), and both indices inside it.
struct Ring {
    uint32_t *words;
    int32_t size;
    int32_t write;
    int32_t read;

    int32_t used() const { return write >= read ? write - read : write - read + size; }
};

inline Ring ringOf(StreamingModule *s)
{
    const uint32_t built = kit::capacity(&s->header, 1);
    const auto size = static_cast<int32_t>(std::min(s->bufferSize, built > 0 ? built - 1 : 0));
    return {s->circBuffer, size, wrapped(s->writeIndex, size), wrapped(s->readIndex, size)};
}

// Where the message's header (or flag) word lies: at msgLength, held to the words allocated.
inline uint32_t messageLength(StreamingModule *s)
{
    const uint32_t built = kit::capacity(&s->header, 0);
    return std::min(s->msgLength, built > 0 ? built - 1 : 0);
}

// Appends the first `words` words of the message to the ring, advancing the write index, and clears the header.
inline void takeMessage(StreamingModule *s, Ring &ring, uint32_t words)
{
    kve_vecCircWrite(ring.words, ring.size, &ring.write, 1, s->msgBuffer, 1, static_cast<int32_t>(words));
    s->writeIndex = ring.write;
    s->msgBuffer[messageLength(s)] = 0;
}

// Word 0 of wire 0 names the module, so that a source wired to it finds the ring.
inline void announce(StreamingModule *s) { control::setFirstWord(kit::wire(&s->header, 0), s->header.objectId); }

} // namespace kve::streaming
