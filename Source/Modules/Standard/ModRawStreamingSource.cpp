// RawStreamingSource: plays the ring of a streaming module out on its output wire. Wire 0 carries the streaming
// module's id in word 0; the source follows that module, reads one output block from its ring each block and
// advances its read index, and plays silence while the stream is missing, filling, idle or paused.
#include "Modules/Standard/Streaming.h"
#include "kve/kve_vec_conversion.h"

namespace {

using namespace kve::kit;
using namespace kve::shapes;
using namespace kve::streaming;

struct RawStreamingSourceModule {
    ClassModule header;
    uint32_t underflowCount;
    uint32_t sourceId;
    StreamingModule *source;
};

// `source` is the module's own: the engine lets no host aim it, and the module sets it only to a streaming module
// it has checked.
constexpr std::array<Variable, 3> kVariables = {
    KVE_VARIABLE(RawStreamingSourceModule, underflowCount, UInt),
    KVE_VARIABLE(RawStreamingSourceModule, sourceId, UInt),
    KVE_VARIABLE(RawStreamingSourceModule, source, Pointer),
};

// `sourceId` says which id `source` was found for. It starts at none, whatever id the layout gave, so that the
// first id to arrive on the wire is looked up.
ClassModule *rawStreamingSourceConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                           const uint32_t *args)
{
    ClassModule *m = construct(kve_modRawStreamingSourceClass, kVariables, 1, 1, status, wireWord, wires, argc, args);
    if (m != nullptr)
        reinterpret_cast<RawStreamingSourceModule *>(m)->sourceId = 0;
    return m;
}

// The streaming module of this id, or null. Any id may arrive on the wire: only a live module built by one of the
// two streaming classes has the ring this source reads.
StreamingModule *streamingModule(uint32_t id)
{
    if (g_pKVE_instance == nullptr)
        return nullptr;
    KVEObject *o = nullptr;
    uint32_t classId = 0;
    if (kve_fwGetObjectByID2(id, &o, &classId) != KVE_OK)
        return nullptr;
    auto *m = reinterpret_cast<ClassModule *>(o);
    if (!kve::control::isLiveModule(m))
        return nullptr;
    if (m->classRecord != &kve_modFileStreamingClass.record && m->classRecord != &kve_modMatlabStreamingClass.record)
        return nullptr;
    return reinterpret_cast<StreamingModule *>(m);
}

void rawStreamingSourceProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<RawStreamingSourceModule *>(m);
    GenericWire *out = wire(m, inputs(m));
    const int32_t n = held({out});
    float *y = words(out);
    // A new id is looked up once, not every block.
    const uint32_t id = kve::control::firstWord(wire(m, 0));
    if (id != s->sourceId) {
        s->sourceId = id;
        s->source = streamingModule(id);
    }
    StreamingModule *source = s->source;
    if (source == nullptr || source->prefilling != 0 || source->state == 4 || source->state == 5) {
        kve_vecFill(y, 1, 0.0f, n);
        return;
    }
    Ring ring = ringOf(source);
    // What the stream says it holds, never more than its ring.
    const int32_t available = std::clamp(source->fillLevel, 0, ring.size);
    const int32_t played = std::min(available, n);
    kve_vecCircRead(ring.words, ring.size, &ring.read, 1, y, 1, played);
    source->readIndex = ring.read;
    if (played < n) {
        kve_vecFill(y + played, 1, 0.0f, n - played);
        ++s->underflowCount;
    }
}

} // namespace

extern "C" constinit const ClassRecord<3> kve_modRawStreamingSourceClass =
    makeClass<3>(0xBEEF0FF2u, {rawStreamingSourceConstructor, rawStreamingSourceProcess}, kVariables);
