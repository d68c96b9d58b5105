// MatlabStreaming: a stream of fixed-length messages the host writes while the layout runs. A message is always
// msgLength words and waits while its flag word is non-zero; the module takes at most one a block into its ring,
// first filling the ring up to startThreshold, then whenever a message fits, keeping the last flag in `state`.
#include "Modules/Standard/Streaming.h"

namespace {

using namespace kve::kit;
using namespace kve::streaming;

// Room for a message of `length` words beside the `used` words: one ring word stays free, so that a full ring is
// never taken for an empty one.
bool fits(const Ring &ring, uint32_t length) { return static_cast<int64_t>(ring.size) - ring.used() > length; }

void matlabStreamingProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<StreamingModule *>(m);
    announce(s);
    const uint32_t length = messageLength(s);
    const uint32_t flag = s->msgBuffer[length];
    Ring ring = ringOf(s);
    bool taken = false;
    if (s->prefilling != 0 && flag != 0) {
        // A message that would overwrite unread words waits like any other; prefilling ends once the ring holds
        // enough, or no further message fits, so that a threshold past the ring cannot keep the stream silent.
        if (fits(ring, length)) {
            takeMessage(s, ring, length);
            taken = true;
        }
        if (ring.used() >= s->startThreshold || !fits(ring, length))
            s->prefilling = 0;
    }
    if (s->prefilling == 0 && !taken && flag != 0 && fits(ring, length)) {
        takeMessage(s, ring, length);
        s->state = flag;
    }
    s->fillLevel = ring.used();
}

} // namespace

extern "C" constinit const ClassRecord<15> kve_modMatlabStreamingClass = makeClass<15>(
    0xBEEF0FE4u, {streamingConstructor<&kve_modMatlabStreamingClass>, matlabStreamingProcess}, kStreamingVariables);
