// Class records and instance records of the modules that take audio out of a layout or play a stored table into it:
// the text file sink, the triggered WAVE capture, the one-block and interleaved snapshots a host reads by member
// address, the one-shot table players, the memory-load generator and the periodic-streaming stub.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "Modules/ModuleKit.h"
#include "kve/kve_types.h"

extern "C" {
extern const kve::kit::ClassRecord<6> kve_modFileSinkClass;
extern const kve::kit::ClassRecord<10> kve_modTriggeredFileSinkClass;
extern const kve::kit::ClassRecord<4> kve_modTriggeredSinkClass;
extern const kve::kit::ClassRecord<1> kve_modInterleavedSinkClass;
extern const kve::kit::ClassRecord<8> kve_modWAVInterpOneShotSourceClass;
extern const kve::kit::ClassRecord<8> kve_modWAVInterp16OneShotSourceFract32Class;
extern const kve::kit::ClassRecord<5> kve_modMemoryLoadingClass;
extern const kve::kit::ClassRecord<15> kve_modPeriodicStreamingClass;
}

namespace kve::filesinks {

// FileSink: prints every block to a text file with a layout-written value format. The three text buffers hold
// NUL-terminated strings a host writes by member address; they are read only within their capacity.
struct FileSinkModule {
    ClassModule header;
    int32_t pathWords;
    int32_t openRequest; // 1: open on the next block; -43 after a failed open, until the host writes 1 again
    int32_t *path;
    int32_t *valueFormat; // 60 bytes
    int32_t *dataType;    // 60 bytes
    std::FILE *file;
};

// TriggeredFileSink: captures `captureLength` frames after a trigger and writes them to base_NNNN.wav in Set.
struct TriggeredFileSinkModule {
    ClassModule header;
    int32_t fileNumber;
    int32_t samplesCaptured;
    int32_t capturing;
    int32_t writeStatus; // 0 after a written file, -43 after a failed one
    float captureDuration; // seconds
    int32_t captureLength;
    int32_t baseNameWords;
    uint32_t conversion; // 2 or more: float input stored as Fract32
    int32_t *baseName;
    int32_t *buffer; // captured frames, interleaved
};

struct TriggeredSinkModule {
    ClassModule header;
    int32_t armed;
    int32_t triggerPosition; // 1 + index of the first nonzero trigger word, 0 none
    int32_t captureWithoutTrigger;
    int32_t *buffer; // channel by channel, B words each
};

struct InterleavedSinkModule {
    ClassModule header;
    int32_t *buffer;
};

// What a one-shot player reads from the module its table id names. A module offers a table by carrying
// kTableProviderTag in its class record's reserved word and this record at the start of its instance: `ready` is
// 0 when the samples may be read, `count` a word the provider keeps (4 or 5 means no table yet), `samples` holds
// `capacity` samples (float, or 16-bit for the Fract32 player).
struct TableProvider {
    ClassModule header;
    int32_t ready;
    int32_t count;
    uint32_t capacity;
    void *samples;
};
constexpr uint64_t kTableProviderTag = 0x4C42415445564B00ull; // "\0KVETABL"

// The one-shot players: `Position` is a float sample index, or for the 16-bit player an unsigned index with 14
// fraction bits.
template <class Position> struct OneShotModule {
    ClassModule header;
    float smoothingTime; // ms
    int32_t tableLength;
    int32_t reserved;
    float smoothedRate;
    float smoothingCoeff;
    Position position;
    int32_t tableId;
    TableProvider *table;
};

struct MemoryLoadingModule {
    ClassModule header;
    int32_t repetitions;
    int32_t words;
    int32_t heaps;
    int32_t counter;
    int32_t *buffer;
};

struct PeriodicStreamingModule {
    ClassModule header;
    int32_t values[13]; // 0 and 1 size the buffers; 4 receives 1 every block
    int32_t *exchange;  // values[0] + values[1] words
    int32_t *staging;   // values[1] words
};

// Sizes a private array the kit cannot size from one argument or wire; false (the status says why) when `words`
// cannot be allocated.
inline bool sizeArray(kit::Variable &array, uint64_t words, int32_t *status)
{
    if (words > UINT32_MAX / 4) {
        *status = KVE_E_HEAPS_FULL;
        return false;
    }
    array.length = kit::fixedLength(static_cast<uint32_t>(words));
    return true;
}

// The printf format a FileSink uses for one value: the layout's own when it holds exactly one conversion of the
// data type's kind and nothing printf could misuse, otherwise "%g " or "%d ". `text` is read within `bytes`.
const char *valueFormatFor(const char *text, size_t bytes, bool isFloat);

// Looks up the table provider an id names; null when the id names none.
TableProvider *findTableProvider(int32_t id);

// Writes the capture as a new WAVE file (never replacing one): 0, or -43 when it cannot be created or fully written.
int32_t writeCapture(const char *name, const int32_t *frames, uint32_t frameCount, uint32_t channels,
                     uint32_t sampleRate);

} // namespace kve::filesinks
