// FileStreaming: a stream of messages the host writes while the layout runs. Each message carries a header word
// (length in bytes, kind: 1 first, 2 further, 3 last); the module collects the messages in its ring, tells a source
// when enough has arrived to start playing, and follows the host's stop and pause commands.
#include "Modules/Standard/Streaming.h"

namespace {

using namespace kve::kit;
using namespace kve::streaming;

enum State : uint32_t { NotStarted = 0, Idle = 4, Paused = 5, Receiving = 7, Draining = 8 };
enum Kind : uint32_t { First = 1, Further = 2, Last = 3 };
enum Command : uint32_t { Stop = 4, Pause = 5, StopToo = 6 };

bool stops(uint32_t command) { return command == Stop || command == StopToo; }

// Back to an empty ring, waiting to fill before it plays.
void reset(StreamingModule *s, Ring &ring)
{
    s->writeIndex = s->readIndex = 0;
    ring.write = ring.read = 0;
    s->prefilling = 1;
    s->playing = 0;
}

// Enough has come to start playing, or the last data has come and whatever is there plays.
void endPrefilling(StreamingModule *s)
{
    if (s->prefilling != 0) {
        s->prefilling = 0;
        s->playing = 1;
    }
}

void fileStreamingProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<StreamingModule *>(m);
    announce(s);
    const uint32_t length = messageLength(s);
    const uint32_t header = s->msgBuffer[length];
    const uint32_t kind = header >> 24;
    // A header may claim more bytes than the message area holds: never more than msgLength words move.
    const uint32_t words = std::min(((header & 0xFFFFFFu) + 3) / 4, length);
    Ring ring = ringOf(s);
    s->ack = 0;
    s->fillLevel = ring.used();

    const uint32_t command = s->hostCommand;
    uint32_t next = s->state;
    bool take = false;
    const auto restart = [&] {
        reset(s, ring);
        s->fillLevel = 0;
        s->ack = 1;
        take = true;
        next = Receiving;
    };
    switch (s->state) {
    case Idle:
        if (kind == First) {
            take = true;
            s->ack = 1;
            next = Receiving;
        } else {
            s->msgBuffer[length] = 0; // a message arriving while idle is dropped
        }
        break;
    case Paused:
    case Receiving:
        if (stops(command)) {
            reset(s, ring);
            next = Idle;
        } else if (command == Pause) {
            take = s->state == Receiving && header != 0;
            next = Paused;
        } else if (kind == Further) {
            take = true;
            next = s->state = Receiving;
        } else if (kind == Last) {
            take = true;
            next = Draining;
            endPrefilling(s);
        } else if (kind == First) {
            restart();
        }
        break;
    case Draining:
        if (stops(command)) {
            reset(s, ring);
            next = Idle;
        } else if (command == Pause) {
            next = Paused;
        } else if (ring.used() == 0) {
            reset(s, ring);
            next = Idle;
        }
        break;
    default:
        next = NotStarted;
        break;
    }

    if (take) {
        const int32_t used = ring.used();
        if (static_cast<int64_t>(words) > static_cast<int64_t>(ring.size) - used - 1) {
            // No room: the message waits in the message area for a later block.
            s->fillLevel = used;
            if (next != Paused)
                s->hostCommand = 0;
            return;
        }
        takeMessage(s, ring, words);
        if (static_cast<int64_t>(used) + words >= s->startThreshold)
            endPrefilling(s);
    }
    s->hostCommand = 0;
    s->state = next;
    s->fillLevel = ring.used();
}

} // namespace

extern "C" constinit const ClassRecord<15> kve_modFileStreamingClass = makeClass<15>(
    0xBEEF0FDBu, {streamingConstructor<&kve_modFileStreamingClass>, fileStreamingProcess}, kStreamingVariables);
