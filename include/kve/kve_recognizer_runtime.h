/* The recognizer runtime's calls for its own upper subsystems: shared objects, ring buffers, random numbers, typed
 * records and their codecs. C linkage; exported like the calls of kve_recognizer.h. Each area keeps its own section
 * below. */
#ifndef KVE_RECOGNIZER_RUNTIME_H
#define KVE_RECOGNIZER_RUNTIME_H

#include <kve/kve_recognizer.h>

#include <stdbool.h>
#include <stdio.h>
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// ---- reference-counted objects ----

/* Callers hold the payload address; a header of holders, size, validity word and class lies before it. */
typedef struct rcClassRecord rcClassRecord;
struct rcClassRecord {
    const char *name;
    /* Prepares a new payload; anything but the object refuses it. */
    void *(*init)(void *object, size_t size, const rcClassRecord *cls);
    /* Fills a clone; anything but the destination refuses it. */
    void *(*copy)(void *destination, const void *source, size_t size);
    /* Releases what the payload owns, once, before its block is freed. */
    void (*destroy)(void *object);
};

/* A new object of that payload size (class null: a zero-filled memory segment), or null when its init refuses. */
void *rcAlloc(size_t size, const rcClassRecord *cls);
void rcRetain(void *object);
/* Drops one holder; the last (or the creator's, while none was added) destroys the object. Null does nothing. */
void rcRelease(void *object);
void *rcClone(void *object);
uint64_t rcExtraRefs(void *object);
size_t rcSize(void *object);
const rcClassRecord *rcClass(void *object);
bool rcIsShared(void *object);

/* A stack of retained objects. */
typedef struct rcStack {
    void **entries;
    uint64_t capacity;
    uint64_t count;
} rcStack;

rcStack *rcStackCreate(size_t capacity);
void *rcStackPush(rcStack *stack, void *object);
void *rcStackPop(rcStack *stack);
void rcStackFree(void *stack);

// ---- ring buffer and random generator ----

/* A ring of items with a mirror tail of max chunk - 1 items past its end, so that every reservation and every read
 * run is contiguous. Counts are absolute and never wrap. Released with rcRelease. */
typedef struct buffer {
    uint8_t *data;
    uint64_t capacity;
    uint64_t itemSize;
    uint64_t maxChunk;
    uint64_t byteSize;
    uint64_t readCount;
    uint64_t writeCount;
    uint64_t pending;
    uint64_t pendingWrap;
    int32_t mode; /* 1: a full ring overwrites its oldest items */
} buffer;

/* Null for a capacity, item size or max chunk of 0 and for a ring too large to address. */
buffer *bufferCreate(size_t capacity, size_t itemSize, size_t maxChunk, int32_t mode);
void *bufferWritePtr(buffer *ring, size_t wanted, size_t *granted);
void bufferCommit(buffer *ring, size_t items);
void *bufferReadPtr(buffer *ring, size_t *available);
void bufferAdvance(buffer *ring, size_t items);
void bufferDiscard(buffer *ring);
/* Empties the ring and closes an open reservation. */
void bufferReset(buffer *ring);
size_t bufferRead(buffer *ring, void *destination, size_t items);
size_t bufferWrite(buffer *ring, const void *source, size_t items);
size_t bufferPeek(void *destination, size_t destinationBytes, buffer *ring, size_t offset, size_t items);
size_t bufferCopyFrom(buffer *destination, buffer *source, size_t offset, size_t items);
size_t bufferTransfer(buffer *destination, buffer *source, size_t items);
size_t bufferCapacity(const buffer *ring);
size_t bufferItemSize(const buffer *ring);
size_t bufferMaxChunk(const buffer *ring);
uint64_t bufferReadCount(const buffer *ring);
uint64_t bufferWriteCount(const buffer *ring);
size_t bufferPending(const buffer *ring);
int32_t bufferMode(const buffer *ring);
uint64_t bufferAvailable(const buffer *ring);
void bufferDestroyData(void *ring);

/* The lagged-Fibonacci generator: 30-bit values, lags 100 and 37. */
#define SRANDOM_LAG 100
#define SRANDOM_WORK 1009

typedef struct srandomRecord {
    uint32_t index;                   /* next cached value; SRANDOM_LAG refills first */
    uint32_t state[SRANDOM_LAG];
    uint32_t work[SRANDOM_WORK];
} srandomRecord;

srandomRecord *srandomCreate(uint32_t seed);
uint32_t srandomNext(srandomRecord *generator);
/* Writes count values (at least SRANDOM_LAG; fewer writes nothing) and advances the state. */
void srandomFill(uint32_t *state, uint32_t *output, size_t count);
void srandomDestroy(srandomRecord *generator);

// ---- mu-law and G.721 ----

/* One G.711 mu-law code expanded to a 16-bit sample. */
int16_t ulawDecode(uint8_t code);
/* One 16-bit sample compressed to a mu-law code: magnitudes clip at 32635, and the all-zero code, which some
 * telephone lines cannot carry, is sent as 0x02. */
uint8_t ulawEncode(int16_t sample);

/* The adaptive state of the 32 kbit/s G.721 ADPCM coder, shared by its encoder and decoder. Scale factors and
 * coefficients are the standard's fixed-point values; dq and sr hold its 11-bit floating format (sign bit 10,
 * exponent bits 6-9, mantissa bits 0-5), in which 32 is zero. */
typedef struct g721State {
    int32_t yl;    /* locked quantiser scale factor */
    int32_t yu;    /* unlocked quantiser scale factor */
    int32_t dms;   /* short-term average of the code's magnitude */
    int32_t dml;   /* long-term average of the code's magnitude */
    int32_t ap;    /* speed control between the two scale factors */
    int32_t a[2];  /* pole-section predictor coefficients */
    int32_t b[6];  /* zero-section predictor coefficients */
    int32_t pk[2]; /* signs of the last two partial reconstructions */
    int32_t dq[6]; /* last six quantised differences */
    int32_t sr[2]; /* last two reconstructed signals */
    int32_t td;    /* 1 while a tone is detected */
} g721State;

/* Sets the state every stream starts from. */
void g721Reset(g721State *state);
/* Decodes one 4-bit code (the low nibble of code) to a 16-bit sample: the reconstructed signal times 4. */
int16_t g721DecodeSample(int32_t code, g721State *state);
/* Adapts the state after one code, from that step's scale factor y, quantised difference dq (sign and
 * magnitude, sign bit 15), reconstructed signal sr and partial reconstruction dqsez. Each argument is taken at
 * the standard's width: the low 4 bits of code, 13 of y, 16 of sr and dqsez. */
void g721Update(int32_t code, int32_t y, int32_t dq, int32_t sr, int32_t dqsez, g721State *state);
/* Encodes count samples from the reset state into a dbMalloc block of (count + 1) / 2 code bytes, the first
 * sample's code in the low nibble; stores the byte count. Count 0, no samples or no memory: null with 0 stored. */
uint8_t *g721Encode(const int16_t *samples, uint32_t count, uint32_t *byteCount);
/* Decodes byteCount code bytes from the reset state into a dbMalloc block of 2 x byteCount samples; stores the
 * sample count. Byte count 0, no bytes, a sample count beyond 32 bits or no memory: null with 0 stored. */
int16_t *g721Decode(const uint8_t *bytes, uint32_t byteCount, uint32_t *sampleCount);

// ---- waveform analysis ----

/* The registered "wave" record: sample count, 16-bit samples, parameter count, float parameters whose first value is
 * the sample rate in Hz. Its layout is declared with the other registered records. */
typedef struct wave wave;

/* What waveCheckQuality measures; 24 bytes from dbMalloc, freed by the caller with dbFree. */
typedef struct waveQuality {
    float clipFrames;        /* frames with a clipped sample, plus frames with a saturated one */
    float clippedMs;
    float clippedFraction;   /* of all samples */
    float saturatedMs;
    float saturatedFraction; /* of all samples */
    uint32_t stuckRuns;      /* runs of one repeated value longer than the stuck limit */
} waveQuality;

/* How waveCheckQuality judges a recording (audio checks use 0.88, 0.02, 1.0, 32000, 0). */
typedef struct waveQualityConfig {
    float peakFactor;     /* saturation is looked for from peak x this factor up */
    float slopeTolerance; /* largest change over the three samples before, relative to the sample */
    float stuckLimitMs;   /* a run of repeats longer than this is stuck; 0 counts none */
    int32_t clipLevel;    /* a sample beyond +-this is clipped */
    int32_t verbose;      /* non-zero: each finding and the totals go to standard output */
} waveQualityConfig;

/* How waveFindEndpoints tells activity from background; 32 bytes. */
typedef struct waveEndpointConfig {
    float thresholdFactor; /* threshold = factor x deviation */
    int32_t endHoldMs;     /* quiet this long after activity ends the scan */
    int32_t minActivityMs; /* activity shorter than this is not a start */
    int32_t startLimitMs;  /* no start is looked for past this */
    float smoothing;       /* weight of each new sample in the level */
    float minDeviation;    /* the adaptive deviation stays within these two */
    float maxDeviation;
    float sampleRate;
} waveEndpointConfig;

/* The loudest stretch against its background, of at least minLengthMs and minRatioDb above it, after dropping
 * one-frame spikes of spikeDb (0: none dropped), as sample indexes [start, end]; 0 .. count - 1 when no stretch
 * qualifies, the recording is under two 15 ms frames or it has no usable rate. A lead-in of repeated samples is left
 * out of the search. The record is not changed. Returns the unclamped end, or the count when a lead-in was left out. */
int32_t waveAnalyzeLevels(const wave *recording, int32_t *start, int32_t *end, float minLengthMs, float minRatioDb,
                          float spikeDb);
/* A new, zero-filled result with the stuck runs, clipping and saturation of the samples; null for no samples, a
 * count under 1, no configuration, a rate under 1 or no memory. */
waveQuality *waveCheckQuality(const int16_t *samples, int32_t count, const waveQualityConfig *config, float frameMs,
                              float sampleRate);
/* Fills the clipping and saturation fields, counted in frames of frameMs (at least one sample each). Does nothing
 * without a configuration or a result, or with a rate under 1. */
void waveClipStats(const int16_t *samples, int32_t count, const waveQualityConfig *config, waveQuality *result,
                   float frameMs, float sampleRate);
/* Fills the stuck-run count. Does nothing without a configuration or a result, with a limit of 0 or a rate under 1. */
void waveCountStuckRuns(const int16_t *samples, int32_t count, const waveQualityConfig *config, waveQuality *result,
                        float sampleRate);
/* A new endpoint configuration holding the defaults (0.5, 200, 40, 2000, 0.05, 50, 300, 8000 Hz); null without
 * memory. Freed with dbFree. */
waveEndpointConfig *waveEndpointDefaults(void);
/* The first sample of activity (0 when none starts within the start limit) and its last sample, and the mean and
 * deviation the threshold came from. adaptive: the deviation follows the recording within the configured bounds
 * instead of being that of the whole buffer. */
void waveFindEndpoints(const int16_t *samples, int32_t count, const waveEndpointConfig *config, int32_t adaptive,
                       int32_t *start, int32_t *end, float *mean, float *deviation);
/* The first non-zero sample (count when all are zero, 0 for a count under 1) and the last (-1 when none is). */
void waveFindNonZeroBounds(const int16_t *samples, int32_t count, int32_t *first, int32_t *last);
/* A new record (from dbMalloc, as are its samples and parameters) copying the recording, with a tail of gentle noise
 * continuing from its last sample when padMs is 1 or more: padMs of it (300 for 65534 or more) plus tailFactor x 4 ms.
 * The tail is the same for every call. Null without memory, for a malformed record, for a tail longer than a record
 * holds or for a tail asked of a record without a rate. */
wave *wavePadNoise(const wave *recording, int32_t padMs, float tailFactor);

// ---- typed records: container registry and field codecs ----

/* The session every recognizer call takes first; its first 256 bytes are the last-error text, to which the
 * walkers append (a failed lookup) or into which they copy their message. Defined with the session calls. */
typedef struct qhvSession_t qhvSession_t;

/* Type codes of a field. Inline codes keep aux1 elements in the record; array codes keep a pointer to a block whose
 * element count is held by the field numbered aux1. */
enum {
    FIELD_CHAR = 0,
    FIELD_CHAR_ARRAY = 1,
    FIELD_SHORT = 2,
    FIELD_SHORT_ARRAY = 3,
    FIELD_INT = 4,
    FIELD_INT_ARRAY = 5,
    FIELD_FLOAT = 6,
    FIELD_FLOAT_ARRAY = 7,
    FIELD_DOUBLE = 8,
    FIELD_DOUBLE_ARRAY = 9,
    FIELD_NDIM = 10,
    FIELD_STRUCT = 11,
    FIELD_STRUCT_ARRAY = 12,
    FIELD_NEURAL_NET = 13,
    FIELD_INT64 = 14,
    FIELD_INT64_ARRAY = 15,
    FIELD_STREAM = 16,
    FIELD_TYPE_COUNT = 17
};

/* One field of a container type.
 * aux1: inline codes and inline structs: elements stored in place; arrays: index of the count field;
 *       N-dimensional: index of the dimensions field; neural net: index of the layer-sizes field.
 * aux2: structs (inline or array): byte stride of one element; N-dimensional and neural net: index of the data field.
 * aux3: N-dimensional and neural net: byte size of one data element. */
typedef struct fieldDescriptor {
    uint32_t type;
    uint32_t reserved; /* 0 in every registered field */
    uint32_t offset;   /* byte offset of the field in the record */
    int32_t aux1;
    int32_t aux2;
    int32_t aux3;
    const char* nested; /* name of the nested container type (codes 11 and 12), else null */
} fieldDescriptor;

/* One registered container type: its fields in declaration order. */
typedef struct containerDescriptor {
    const char* name;
    uint32_t recordSize; /* byte size of the in-memory record */
    int32_t fieldCount;
    const fieldDescriptor* fields;
} containerDescriptor;

/* The registry rows, sorted by name in strcmp order, and their number. */
extern const containerDescriptor containerRegistryTable[];
extern const uint32_t containerRegistryTableCount;

/* Done flags of one walk: one word per field. */
enum { FIELD_DONE_INIT = 1, FIELD_DONE_CODED = 2, FIELD_DONE_SIZED = 4 };

/* The sorted registry; its row count stored through count when given. */
const containerDescriptor* containerRegistry(uint32_t* count);
/* 0 and the row of that name through found; 1 on a miss, with the not-found text appended to the session's. */
int containerFind(qhvSession_t* session, const char* name, const containerDescriptor** found);
const char* containerName(const containerDescriptor* type);

/* The record (a new zeroed one when record is null) with every field initialised; null on failure. keep: array
 * blocks already held stay when their count is non-zero. */
void* containerCreate(qhvSession_t* session, const containerDescriptor* type, void* record, int keep);
/* Frees what the fields own, not the record. 0 or the first failing code. */
int containerFree(qhvSession_t* session, const containerDescriptor* type, void* record);
/* Writes the encoded fields at out + *position and advances *position; out must hold containerEncodedSize bytes
 * from there. 0 or the first failing code. */
int containerEncode(qhvSession_t* session, const containerDescriptor* type, const void* record, uint8_t* out,
                    int64_t* position);
/* Reads the encoded fields from in + *position, never at or past in + end, into record (a new zeroed one when null)
 * and advances *position. The record, or null on failure (a record allocated here is freed again). */
void* containerDecode(qhvSession_t* session, const containerDescriptor* type, void* record, const uint8_t* in,
                      int64_t end, int64_t* position);
/* The encoded byte size of the record's fields through size. 0 or the first failing code. */
int containerEncodedSize(qhvSession_t* session, const containerDescriptor* type, const void* record, uint64_t* size);
/* A new record equal in every field, every block its own; null on failure. */
void* containerDeepCopy(qhvSession_t* session, const containerDescriptor* type, const void* record);

/* One field's codec, skipped when its bit is already set in done[field], the bit set on success. done may be null
 * for a single call outside a walk (nothing skipped then). */
int containerInitField(qhvSession_t* session, const containerDescriptor* type, uint32_t* done, int32_t field,
                       void* record, int keep);
int containerEncodeField(qhvSession_t* session, const containerDescriptor* type, uint32_t* done, int32_t field,
                         const void* record, uint8_t* out, int64_t* position);
int containerDecodeField(qhvSession_t* session, const containerDescriptor* type, uint32_t* done, int32_t field,
                         void* record, const uint8_t* in, int64_t end, int64_t* position);
/* Adds the field's encoded size to *size. */
int containerFieldSize(qhvSession_t* session, const containerDescriptor* type, uint32_t* done, int32_t field,
                       const void* record, uint64_t* size);
/* The address of an inline field, or the pointer an array field holds. */
void* containerGetField(qhvSession_t* session, const containerDescriptor* type, int32_t field, void* record);
/* True for the inline codes whose aux1 is their element count (0, 2, 4, 6, 8, 11). */
int fieldTypeIsFixed(uint32_t type);

// ---- object records and keyed objects ----

/* The shape of freadStatus: reads up to count elements of size bytes into buffer from stream and returns how many
 * arrived; through status (when given) 0 all of them, 1 the stream ended, 2 a read error. */
/* Defined with the session calls in kve_recognizer.h. */
typedef struct typedObject typedObject;
typedef struct objectListNode objectListNode;

typedef size_t (*objectReadFunction)(void* buffer, size_t size, size_t count, void* stream, int* status);

/* Looks "oneint", the type that frames object records, up into the session. 0, or 1 when it is not registered. */
int sessionFindLengthContainer(qhvSession_t* session);
/* Writes length as 4 bytes, most significant first, at out + *position and advances *position. 0 or a code. */
int encodeLength(qhvSession_t* session, uint32_t length, uint8_t* out, int64_t* position);
/* Reads 4 length bytes from in + *position, never at or past in + end, and advances *position. 0, or 1. */
int decodeLength(qhvSession_t* session, uint32_t* length, const uint8_t* in, int64_t end, int64_t* position);

/* A typed object over record (a new zeroed one when null) with every field initialised, array blocks it already
 * holds kept; null on failure. The typed object owns the record. */
typedObject* objectCreate(qhvSession_t* session, const containerDescriptor* type, void* record);
/* Frees the record's fields, the record and the typed object; the code of freeing the fields (0 without a record). */
int objectDestroy(qhvSession_t* session, typedObject* object);
/* A new typed object over a deep copy of the object's record, or null. */
typedObject* objectCopy(qhvSession_t* session, const typedObject* object);
/* The bytes one object record takes: its encoded fields, its type name and 6 framing bytes. 0 or a code. */
int objectEncodedSize(qhvSession_t* session, const typedObject* object, uint64_t* size);
/* Writes one object record at out + *position (out holds objectEncodedSize bytes from there) and advances
 * *position. 0 or a code. */
int objectEncode(qhvSession_t* session, const typedObject* object, uint8_t* out, int64_t* position);
/* Reads one object record from in + *position, never at or past in + end, and advances *position past it. With a
 * typed object given, fills it in and returns its record; else returns a new typed object. Null on failure. */
void* objectDecode(qhvSession_t* session, typedObject* object, const uint8_t* in, int64_t end, int64_t* position);

/* fread from the FILE stream, with the reason for a short count through status (when given). */
size_t freadStatus(void* buffer, size_t size, size_t count, void* stream, int* status);
/* Reads object records through read until the stream ends: the typed objects in stream order (each node and each
 * object the caller's to free), or null, with the reason in the session's text, on any failure. */
objectListNode* objReadFunc(qhvSession_t* session, objectReadFunction read, void* stream);

/* The record of "keyed/object": key, value bytes holding one whole encoded object record, the caller's type value,
 * key length + 1, value byte count. Its fields are declared with the other registered records. */
typedef struct keyedRecord keyedRecord;

/* A new "keyed/object" record holding record, of the type named containerName, encoded under key; null on failure. */
keyedRecord* keyedObjectCreate(qhvSession_t* session, const char* key, uint32_t type, const char* containerName,
                               const void* record);
/* The record held by keyed, decoded (the caller's to free), when its type is named expected; else null. */
void* keyedObjectDecode(qhvSession_t* session, const keyedRecord* keyed, const char* expected);

// ---- WAVE files ----

/* A chunk of a RIFF file: its id (set by the caller before a search), where its data begins and how many bytes. */
typedef struct riffChunk {
    char id[4];
    uint32_t offset;
    uint32_t size;
} riffChunk;

/* The fields of a "fmt " chunk the reader uses. */
typedef struct riffFormat {
    uint16_t formatTag; /* 1 PCM, 7 mu-law, 0x40 G.721 */
    uint16_t channels;
    uint32_t sampleRate;
    uint16_t bitsPerSample;
} riffFormat;

/* Reads a WAVE file as 16-bit mono samples (a recognizer block, the caller's on success; null samples: the count
 * only). Channel mode 0 averages two channels, 1 takes the first, 2 the second; channels may be null. Start and end
 * in ms trim the result (0 and -1 keep everything; a negative start keeps the beginning, a negative end the end).
 * 0 on success, 1 with the reason in result. */
int riffReadWave(gsResult *result, FILE *stream, int16_t **samples, uint32_t *sampleRate, uint32_t *count,
                 int32_t channelMode, uint32_t *channels, double startMs, double endMs);
/* Writes count mono samples to a new file as 16-bit PCM (tag 1), mu-law (7) or G.721 (0x40); flags are ignored.
 * 0 on success, 1 with the reason in result. */
int riffWriteWave(gsResult *result, const char *path, const int16_t *samples, uint32_t count, uint32_t sampleRate,
                  uint16_t formatTag, int32_t flags);
/* Flag 0 finds the "RIFF" form whose type is chunk->id, flag 1 the chunk named chunk->id, within parent (null: the
 * whole file). 0 with the offset and size filled, else 1. */
int riffFindChunk(gsResult *result, FILE *stream, riffChunk *chunk, const riffChunk *parent, int32_t searchFlag);
/* Seeks to the end of the chunk's data. */
int riffSkip(gsResult *result, FILE *stream, const riffChunk *chunk);
int riffConvertPcm(gsResult *result, const riffFormat *format, const riffChunk *data, const uint8_t *bytes,
                   int16_t **samples, uint32_t *count, int32_t channelMode);
int riffReadUlaw(gsResult *result, const riffFormat *format, const riffChunk *data, const uint8_t *bytes,
                 int16_t **samples, uint32_t *count, int32_t channelMode);
int riffReadG721(gsResult *result, const riffFormat *format, const riffChunk *data, const uint8_t *bytes,
                 int16_t **samples, uint32_t *count, int32_t channelMode);
/* Writes elementSize * count bytes in writes of at most 10000; count, or 0xFFFFFFFF when a write stores nothing. */
uint32_t riffWriteChunked(const void *buffer, size_t elementSize, uint32_t count, FILE *stream);
/* Writes one little-endian 32-bit word; 0, or 1 with the system error text appended to result. */
int riffWriteU32(gsResult *result, FILE *stream, uint32_t value);

#ifdef __cplusplus
}
#endif

#endif
