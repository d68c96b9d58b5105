// The registry rows: every container type the recognizer stores, sorted by name in strcmp order (the lookup is a
// binary search over them).
//
// Shape of this file: the record structs it needs (or their header), then one `fieldDescriptor` array per type with
// at least one field, named after the type, then `containerRegistryTable[]` = { name, sizeof(record), field count,
// fields or nullptr }, then `containerRegistryTableCount`. Offsets and sizes come from the structs through offsetof
// and sizeof, never typed by hand. Both globals are extern "C" (declared in kve/kve_recognizer_runtime.h).
#include <kve/kve_recognizer_runtime.h>

#include <cstddef>
#include <cstdint>

namespace {

struct oneintRecord {
    int32_t value;
};

struct objfileRecord {
    int32_t unused;
};

struct rawRecord {
    char* data;
    int32_t count;
};

struct waveRecord {
    int32_t sampleCount;
    int16_t* samples;
    int32_t paramCount;
    float* params;
};

template <typename Value> struct keyedRecordOf {
    char* key;
    Value* value;
    int32_t type;
    int32_t keyLength;
    int32_t valueCount;
};

struct keyedStreamRecord {
    int32_t type;
    char* key;
    uint8_t* value;
    int32_t keyLength;
    int32_t valueCount;
};

struct arrayS2DRecord {
    int32_t dims[2];
    int32_t count;
    int16_t* data;
    int16_t** rows;
};

struct adaptNoiseWave1Record {
    int32_t levelCount;
    int32_t* levels;
    waveRecord wave;
};

constexpr fieldDescriptor field(uint32_t type, size_t offset, int32_t aux1, int32_t aux2 = 0, int32_t aux3 = 0,
                                const char* nested = nullptr)
{
    return fieldDescriptor{type, 0, static_cast<uint32_t>(offset), aux1, aux2, aux3, nested};
}

const fieldDescriptor adaptNoiseWave1Fields[] = {
    field(FIELD_INT, offsetof(adaptNoiseWave1Record, levelCount), 1),
    field(FIELD_INT_ARRAY, offsetof(adaptNoiseWave1Record, levels), 0),
    field(FIELD_STRUCT, offsetof(adaptNoiseWave1Record, wave), 1, sizeof(waveRecord), 0, "wave"),
};

const fieldDescriptor arrayS2DFields[] = {
    field(FIELD_INT, offsetof(arrayS2DRecord, dims), 2),
    field(FIELD_INT, offsetof(arrayS2DRecord, count), 1),
    field(FIELD_SHORT_ARRAY, offsetof(arrayS2DRecord, data), 1),
    field(FIELD_NDIM, offsetof(arrayS2DRecord, rows), 0, 2, 2),
};

// "keyed/object" and its siblings differ only in the element type of the value array.
template <typename Value, uint32_t valueType> struct keyedType {
    using Record = keyedRecordOf<Value>;
    static constexpr fieldDescriptor fields[] = {
        field(FIELD_CHAR_ARRAY, offsetof(Record, key), 3),
        field(valueType, offsetof(Record, value), 4),
        field(FIELD_INT, offsetof(Record, type), 1),
        field(FIELD_INT, offsetof(Record, keyLength), 1),
        field(FIELD_INT, offsetof(Record, valueCount), 1),
    };
};

const fieldDescriptor keyedStreamFields[] = {
    field(FIELD_INT, offsetof(keyedStreamRecord, type), 1),
    field(FIELD_CHAR_ARRAY, offsetof(keyedStreamRecord, key), 3),
    field(FIELD_STREAM, offsetof(keyedStreamRecord, value), 4),
    field(FIELD_INT, offsetof(keyedStreamRecord, keyLength), 1),
    field(FIELD_INT, offsetof(keyedStreamRecord, valueCount), 1),
};

const fieldDescriptor oneintFields[] = {
    field(FIELD_INT, offsetof(oneintRecord, value), 1),
};

const fieldDescriptor rawFields[] = {
    field(FIELD_CHAR_ARRAY, offsetof(rawRecord, data), 1),
    field(FIELD_INT, offsetof(rawRecord, count), 1),
};

const fieldDescriptor waveFields[] = {
    field(FIELD_INT, offsetof(waveRecord, sampleCount), 1),
    field(FIELD_SHORT_ARRAY, offsetof(waveRecord, samples), 0),
    field(FIELD_INT, offsetof(waveRecord, paramCount), 1),
    field(FIELD_FLOAT_ARRAY, offsetof(waveRecord, params), 2),
};

template <size_t n> constexpr int32_t countOf(const fieldDescriptor (&)[n])
{
    return static_cast<int32_t>(n);
}

} // namespace

extern "C" const containerDescriptor containerRegistryTable[] = {
    {"adapt/adaptNoiseWave1", sizeof(adaptNoiseWave1Record), countOf(adaptNoiseWave1Fields), adaptNoiseWave1Fields},
    {"arrayS2D", sizeof(arrayS2DRecord), countOf(arrayS2DFields), arrayS2DFields},
    {"keyed/double", sizeof(keyedRecordOf<double>), 5, keyedType<double, FIELD_DOUBLE_ARRAY>::fields},
    {"keyed/float", sizeof(keyedRecordOf<float>), 5, keyedType<float, FIELD_FLOAT_ARRAY>::fields},
    {"keyed/object", sizeof(keyedRecordOf<char>), 5, keyedType<char, FIELD_CHAR_ARRAY>::fields},
    {"keyed/s32", sizeof(keyedRecordOf<int32_t>), 5, keyedType<int32_t, FIELD_INT_ARRAY>::fields},
    {"keyed/s64", sizeof(keyedRecordOf<int64_t>), 5, keyedType<int64_t, FIELD_INT64_ARRAY>::fields},
    {"keyed/stream", sizeof(keyedStreamRecord), countOf(keyedStreamFields), keyedStreamFields},
    {"keyed/string", sizeof(keyedRecordOf<char>), 5, keyedType<char, FIELD_CHAR_ARRAY>::fields},
    {"objfile", sizeof(objfileRecord), 0, nullptr},
    {"oneint", sizeof(oneintRecord), countOf(oneintFields), oneintFields},
    {"raw", sizeof(rawRecord), countOf(rawFields), rawFields},
    {"srandom/srandom", 0, 0, nullptr},
    {"wave", sizeof(waveRecord), countOf(waveFields), waveFields},
};

extern "C" const uint32_t containerRegistryTableCount =
    static_cast<uint32_t>(sizeof(containerRegistryTable) / sizeof(containerRegistryTable[0]));
