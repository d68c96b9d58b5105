// The codec operations of each field type code. Numbers travel big-endian; a count field goes out with the first
// array that uses it (the walkers' done flags keep it from going out twice). Decoding never reads at or past the end
// of its input, and checks every count against the bytes left before it allocates.
#include "ContainerCodec.h"

#include <kve/kve_recognizer.h>

#include <cstring>

namespace {

constexpr const char* decodeName = "containerDecode";

// Bytes of one element on the wire and in memory; 0 for the codes whose elements are records or pointer tables.
constexpr uint32_t elementWidth[FIELD_TYPE_COUNT] = {1, 1, 2, 2, 4, 4, 4, 4, 8, 8, 0, 0, 0, 0, 8, 8, 1};

const fieldDescriptor& fieldOf(const containerDescriptor* type, int32_t field)
{
    return type->fields[field];
}

uint8_t* placeOf(void* record, const fieldDescriptor& f)
{
    return static_cast<uint8_t*>(record) + f.offset;
}

const uint8_t* placeOf(const void* record, const fieldDescriptor& f)
{
    return static_cast<const uint8_t*>(record) + f.offset;
}

void* heldBlock(const void* record, const fieldDescriptor& f)
{
    void* block;
    std::memcpy(&block, placeOf(record, f), sizeof block);
    return block;
}

void holdBlock(void* record, const fieldDescriptor& f, void* block)
{
    std::memcpy(placeOf(record, f), &block, sizeof block);
}

// The unsigned value of element `index` of a char, short or int (or int64) block.
uint64_t unsignedElement(const uint8_t* values, uint32_t width, uint64_t index)
{
    const uint8_t* at = values + index * width;
    switch (width) {
    case 1:
        return *at;
    case 2: {
        uint16_t v;
        std::memcpy(&v, at, sizeof v);
        return v;
    }
    case 4: {
        uint32_t v;
        std::memcpy(&v, at, sizeof v);
        return v;
    }
    default: {
        uint64_t v;
        std::memcpy(&v, at, sizeof v);
        return v;
    }
    }
}

bool isCountType(uint32_t code)
{
    return code == FIELD_CHAR || code == FIELD_SHORT || code == FIELD_INT;
}

// The element count held by field `countField`, read as an unsigned 8-, 16- or 32-bit number. Any other type is
// reported against the field being handled and counts 0; false tells the caller the count is not a real one.
bool readCount(const containerDescriptor* type, int32_t countField, int32_t handling, const void* record,
               uint64_t* count)
{
    *count = 0;
    const int32_t code = countField >= 0 && countField < type->fieldCount ? int32_t(type->fields[countField].type) : -1;
    if (!isCountType(uint32_t(code))) {
        DBPanic("illegal length type (%d) in %s block %d", code, type->name, handling);
        return false;
    }
    const fieldDescriptor& c = type->fields[countField];
    *count = unsignedElement(placeOf(record, c), elementWidth[c.type], 0);
    return true;
}

// Stores a count computed by the library (the data of an N-dimensional or neural-net field); false when the count
// field cannot hold it.
bool writeCount(const containerDescriptor* type, int32_t countField, void* record, uint64_t value)
{
    if (countField < 0 || countField >= type->fieldCount || !isCountType(type->fields[countField].type))
        return false;
    const fieldDescriptor& c = type->fields[countField];
    const uint32_t width = elementWidth[c.type];
    if (width < 8 && value >> (8 * width) != 0)
        return false;
    uint8_t* place = placeOf(record, c);
    if (width == 1) {
        *place = uint8_t(value);
    } else if (width == 2) {
        const uint16_t v = uint16_t(value);
        std::memcpy(place, &v, sizeof v);
    } else {
        const uint32_t v = uint32_t(value);
        std::memcpy(place, &v, sizeof v);
    }
    return true;
}

// n elements of the given width, most significant byte first.
void putElements(uint8_t* out, const uint8_t* values, uint64_t n, uint32_t width)
{
    if (n == 0)
        return;
    switch (width) {
    case 1:
        std::memcpy(out, values, n);
        break;
    case 2:
        for (uint64_t i = 0; i < n; ++i) {
            uint16_t v;
            std::memcpy(&v, values + 2 * i, 2);
            v = __builtin_bswap16(v);
            std::memcpy(out + 2 * i, &v, 2);
        }
        break;
    case 4:
        for (uint64_t i = 0; i < n; ++i) {
            uint32_t v;
            std::memcpy(&v, values + 4 * i, 4);
            v = __builtin_bswap32(v);
            std::memcpy(out + 4 * i, &v, 4);
        }
        break;
    default:
        for (uint64_t i = 0; i < n; ++i) {
            uint64_t v;
            std::memcpy(&v, values + 8 * i, 8);
            v = __builtin_bswap64(v);
            std::memcpy(out + 8 * i, &v, 8);
        }
        break;
    }
}

// Big-endian to native is the same swap.
void getElements(uint8_t* values, const uint8_t* in, uint64_t n, uint32_t width)
{
    putElements(values, in, n, width);
}

// True when `bytes` more bytes lie between the position and the end.
bool fits(int64_t position, int64_t end, uint64_t bytes)
{
    return position >= 0 && position <= end && bytes <= uint64_t(end - position);
}

// A zero-filled block of n bytes, or null for none.
bool allocateZeroed(uint64_t n, void** block)
{
    *block = nullptr;
    if (n == 0)
        return true;
    if (n > SIZE_MAX)
        return false;
    *block = dbMalloc(size_t(n));
    if (*block == nullptr)
        return false;
    std::memset(*block, 0, size_t(n));
    return true;
}

// Bytes in memory of one element of an array field.
uint64_t memoryStride(const fieldDescriptor& f)
{
    return f.type == FIELD_STRUCT_ARRAY ? uint64_t(uint32_t(f.aux2)) : elementWidth[f.type];
}

// ---- inline numbers: codes 0, 2, 4, 6, 8, 14 ----

int inlineEncode(qhvSession_t*, const containerDescriptor* type, uint32_t*, int32_t field, const void* record,
                 uint8_t* out, int64_t* position)
{
    const fieldDescriptor& f = fieldOf(type, field);
    const uint64_t n = uint32_t(f.aux1);
    putElements(out + *position, placeOf(record, f), n, elementWidth[f.type]);
    *position += int64_t(n * elementWidth[f.type]);
    return 0;
}

int inlineDecode(qhvSession_t* session, const containerDescriptor* type, uint32_t*, int32_t field, void* record,
                 const uint8_t* in, int64_t end, int64_t* position)
{
    const fieldDescriptor& f = fieldOf(type, field);
    const uint64_t bytes = uint64_t(uint32_t(f.aux1)) * elementWidth[f.type];
    if (!fits(*position, end, bytes)) {
        containerReportInvalidData(session, decodeName);
        return 1;
    }
    getElements(placeOf(record, f), in + *position, uint32_t(f.aux1), elementWidth[f.type]);
    *position += int64_t(bytes);
    return 0;
}

int inlineSize(qhvSession_t*, const containerDescriptor* type, uint32_t*, int32_t field, const void*, uint64_t* size)
{
    const fieldDescriptor& f = fieldOf(type, field);
    *size += uint64_t(uint32_t(f.aux1)) * elementWidth[f.type];
    return 0;
}

void* inlineGet(const containerDescriptor* type, int32_t field, void* record)
{
    return placeOf(record, fieldOf(type, field));
}

// ---- arrays: codes 1, 3, 5, 7, 9, 12, 15, 16 ----

int arrayInit(qhvSession_t*, const containerDescriptor* type, uint32_t*, int32_t field, void* record, int keep)
{
    const fieldDescriptor& f = fieldOf(type, field);
    uint64_t count;
    readCount(type, f.aux1, field, record, &count);
    void* held = heldBlock(record, f);
    if (held != nullptr && keep) {
        if (count == 0) {
            dbFree(held);
            holdBlock(record, f, nullptr);
        }
        return 0;
    }
    void* block;
    if (!allocateZeroed(count * memoryStride(f), &block))
        return 1;
    holdBlock(record, f, block);
    return 0;
}

// Decoding gives an array a fresh block for the elements that follow; a table over it later must find that block
// initialised rather than make another.
int freshBlock(qhvSession_t* session, const containerDescriptor* type, uint32_t* done, int32_t field, void* record)
{
    if (arrayInit(session, type, done, field, record, 0) != 0)
        return 1;
    if (done != nullptr)
        done[field] |= FIELD_DONE_INIT;
    return 0;
}

int arrayFree(qhvSession_t*, const containerDescriptor* type, uint32_t*, int32_t field, void* record)
{
    const fieldDescriptor& f = fieldOf(type, field);
    dbFree(heldBlock(record, f));
    holdBlock(record, f, nullptr);
    return 0;
}

int arrayEncode(qhvSession_t* session, const containerDescriptor* type, uint32_t* done, int32_t field,
                const void* record, uint8_t* out, int64_t* position)
{
    const fieldDescriptor& f = fieldOf(type, field);
    int code = containerEncodeField(session, type, done, f.aux1, record, out, position);
    if (code != 0)
        return code;
    uint64_t count;
    readCount(type, f.aux1, field, record, &count);
    const uint8_t* block = static_cast<const uint8_t*>(heldBlock(record, f));
    if (count > 0 && block == nullptr) {
        containerReportInvalidData(session, "containerEncode");
        return 1;
    }
    if (count > 0)
        putElements(out + *position, block, count, elementWidth[f.type]);
    *position += int64_t(count * elementWidth[f.type]);
    return 0;
}

int arrayDecode(qhvSession_t* session, const containerDescriptor* type, uint32_t* done, int32_t field, void* record,
                const uint8_t* in, int64_t end, int64_t* position)
{
    const fieldDescriptor& f = fieldOf(type, field);
    int code = containerDecodeField(session, type, done, f.aux1, record, in, end, position);
    if (code != 0)
        return code;
    uint64_t count;
    readCount(type, f.aux1, field, record, &count);
    const uint64_t bytes = count * elementWidth[f.type];
    if (!fits(*position, end, bytes)) {
        containerReportInvalidData(session, decodeName);
        return 1;
    }
    if (freshBlock(session, type, done, field, record) != 0)
        return 1;
    if (bytes > 0)
        getElements(static_cast<uint8_t*>(heldBlock(record, f)), in + *position, count, elementWidth[f.type]);
    *position += int64_t(bytes);
    return 0;
}

int arraySize(qhvSession_t* session, const containerDescriptor* type, uint32_t* done, int32_t field,
              const void* record, uint64_t* size)
{
    const fieldDescriptor& f = fieldOf(type, field);
    int code = containerFieldSize(session, type, done, f.aux1, record, size);
    if (code != 0)
        return code;
    uint64_t count;
    readCount(type, f.aux1, field, record, &count);
    *size += count * elementWidth[f.type];
    return 0;
}

void* arrayGet(const containerDescriptor* type, int32_t field, void* record)
{
    return heldBlock(record, fieldOf(type, field));
}

// ---- records of a nested type: codes 11 (in place) and 12 (array) ----

// The fewest bytes a record of the type can encode to: its inline numbers and inline records. Arrays add nothing
// of their own (their count is an inline field already counted); a type without fields takes no room.
uint64_t leastEncodedSize(const containerDescriptor* type, int depth)
{
    uint64_t least = 0;
    for (int32_t i = 0; i < type->fieldCount && depth < 64; ++i) {
        const fieldDescriptor& f = type->fields[i];
        const containerDescriptor* nested;
        if (f.type == FIELD_STRUCT) {
            if (containerFind(nullptr, f.nested, &nested) == 0)
                least += uint64_t(uint32_t(f.aux1)) * leastEncodedSize(nested, depth + 1);
        } else if (fieldTypeIsFixed(f.type) || f.type == FIELD_INT64) {
            least += uint64_t(uint32_t(f.aux1)) * elementWidth[f.type];
        }
    }
    return least;
}

int structEncode(qhvSession_t* session, const containerDescriptor* type, uint32_t*, int32_t field,
                 const void* record, uint8_t* out, int64_t* position)
{
    const fieldDescriptor& f = fieldOf(type, field);
    const containerDescriptor* nested;
    if (containerFind(session, f.nested, &nested) != 0)
        return 1;
    for (int32_t i = 0; i < f.aux1; ++i) {
        const int code = containerEncode(session, nested, placeOf(record, f) + uint64_t(i) * uint32_t(f.aux2), out,
                                         position);
        if (code != 0)
            return code;
    }
    return 0;
}

int structDecode(qhvSession_t* session, const containerDescriptor* type, uint32_t*, int32_t field, void* record,
                 const uint8_t* in, int64_t end, int64_t* position)
{
    const fieldDescriptor& f = fieldOf(type, field);
    const containerDescriptor* nested;
    if (containerFind(session, f.nested, &nested) != 0)
        return 1;
    for (int32_t i = 0; i < f.aux1; ++i) {
        if (containerDecode(session, nested, placeOf(record, f) + uint64_t(i) * uint32_t(f.aux2), in, end,
                            position) == nullptr)
            return 1;
    }
    return 0;
}

int structSize(qhvSession_t* session, const containerDescriptor* type, uint32_t*, int32_t field, const void* record,
               uint64_t* size)
{
    const fieldDescriptor& f = fieldOf(type, field);
    const containerDescriptor* nested;
    if (containerFind(session, f.nested, &nested) != 0)
        return 1;
    for (int32_t i = 0; i < f.aux1; ++i) {
        uint64_t elementSize = 0;
        const int code =
            containerEncodedSize(session, nested, placeOf(record, f) + uint64_t(i) * uint32_t(f.aux2), &elementSize);
        if (code != 0)
            return code;
        *size += elementSize;
    }
    return 0;
}

// Records held in place own their arrays like any other record: releasing the outer record releases them too.
int structFree(qhvSession_t* session, const containerDescriptor* type, uint32_t*, int32_t field, void* record)
{
    const fieldDescriptor& f = fieldOf(type, field);
    const containerDescriptor* nested;
    if (containerFind(session, f.nested, &nested) != 0)
        return 1;
    for (int32_t i = 0; i < f.aux1; ++i) {
        const int code = containerFree(session, nested, placeOf(record, f) + uint64_t(i) * uint32_t(f.aux2));
        if (code != 0)
            return code;
    }
    return 0;
}

// The elements of a struct array that encoding and sizing walk: none when the array is empty or its type has no
// fields; otherwise the nested type and the block, which must be there. `operation` names the call in the failure.
struct StoredElements {
    uint64_t count = 0;
    const containerDescriptor* nested = nullptr;
    const uint8_t* block = nullptr;
};

int storedElements(qhvSession_t* session, const containerDescriptor* type, int32_t field, const void* record,
                   const char* operation, StoredElements* e)
{
    const fieldDescriptor& f = fieldOf(type, field);
    uint64_t count;
    readCount(type, f.aux1, field, record, &count);
    if (count == 0)
        return 0;
    if (containerFind(session, f.nested, &e->nested) != 0)
        return 1;
    if (e->nested->fieldCount == 0)
        return 0;
    e->block = static_cast<const uint8_t*>(heldBlock(record, f));
    if (e->block == nullptr) {
        containerReportInvalidData(session, operation);
        return 1;
    }
    e->count = count;
    return 0;
}

// The nested type of a struct array is looked up only when there are elements: an empty array of a type the
// registry lacks still encodes and decodes. Elements of a type without fields hold nothing and may have no block.
int structArrayEncode(qhvSession_t* session, const containerDescriptor* type, uint32_t* done, int32_t field,
                      const void* record, uint8_t* out, int64_t* position)
{
    const fieldDescriptor& f = fieldOf(type, field);
    int code = containerEncodeField(session, type, done, f.aux1, record, out, position);
    if (code != 0)
        return code;
    StoredElements e;
    if (storedElements(session, type, field, record, "containerEncode", &e) != 0)
        return 1;
    for (uint64_t i = 0; i < e.count; ++i) {
        code = containerEncode(session, e.nested, e.block + i * uint32_t(f.aux2), out, position);
        if (code != 0)
            return code;
    }
    return 0;
}

int structArrayDecode(qhvSession_t* session, const containerDescriptor* type, uint32_t* done, int32_t field,
                      void* record, const uint8_t* in, int64_t end, int64_t* position)
{
    const fieldDescriptor& f = fieldOf(type, field);
    int code = containerDecodeField(session, type, done, f.aux1, record, in, end, position);
    if (code != 0)
        return code;
    uint64_t count;
    readCount(type, f.aux1, field, record, &count);
    const containerDescriptor* nested = nullptr;
    if (count > 0) {
        if (containerFind(session, f.nested, &nested) != 0)
            return 1;
        const uint64_t least = leastEncodedSize(nested, 0);
        if (least > 0 && (count > uint64_t(INT64_MAX) / least || !fits(*position, end, count * least))) {
            containerReportInvalidData(session, decodeName);
            return 1;
        }
    }
    if (freshBlock(session, type, done, field, record) != 0)
        return 1;
    uint8_t* block = static_cast<uint8_t*>(heldBlock(record, f));
    for (uint64_t i = 0; nested != nullptr && nested->fieldCount > 0 && i < count; ++i) {
        if (containerDecode(session, nested, block + i * uint32_t(f.aux2), in, end, position) == nullptr)
            return 1;
    }
    return 0;
}

int structArraySize(qhvSession_t* session, const containerDescriptor* type, uint32_t* done, int32_t field,
                    const void* record, uint64_t* size)
{
    const fieldDescriptor& f = fieldOf(type, field);
    int code = containerFieldSize(session, type, done, f.aux1, record, size);
    if (code != 0)
        return code;
    StoredElements e;
    if (storedElements(session, type, field, record, "containerEncodedSize", &e) != 0)
        return 1;
    for (uint64_t i = 0; i < e.count; ++i) {
        uint64_t elementSize = 0;
        code = containerEncodedSize(session, e.nested, e.block + i * uint32_t(f.aux2), &elementSize);
        if (code != 0)
            return code;
        *size += elementSize;
    }
    return 0;
}

int structArrayFree(qhvSession_t* session, const containerDescriptor* type, uint32_t* done, int32_t field,
                    void* record)
{
    const fieldDescriptor& f = fieldOf(type, field);
    uint8_t* block = static_cast<uint8_t*>(heldBlock(record, f));
    uint64_t count;
    readCount(type, f.aux1, field, record, &count);
    if (block != nullptr && count > 0) {
        const containerDescriptor* nested;
        if (containerFind(session, f.nested, &nested) != 0)
            return 1;
        for (uint64_t i = 0; nested->fieldCount > 0 && i < count; ++i) {
            const int code = containerFree(session, nested, block + i * uint32_t(f.aux2));
            if (code != 0)
                return code;
        }
    }
    return arrayFree(session, type, done, field, record);
}

// ---- pointer tables over a data field: codes 10 (N-dimensional) and 13 (neural net) ----

// The values of a dimensions or layer-sizes field: in place (aux1 of them) or an array's elements.
struct shapeValues {
    const uint8_t* values = nullptr;
    uint32_t width = 0;
    uint64_t count = 0;
    bool valid = true; // false when an array's count field has an illegal type

    uint64_t operator[](uint64_t i) const { return unsignedElement(values, width, i); }
};

shapeValues readShape(const containerDescriptor* type, int32_t shapeField, int32_t handling, const void* record)
{
    shapeValues shape;
    if (shapeField < 0 || shapeField >= type->fieldCount) {
        shape.valid = false;
        return shape;
    }
    const fieldDescriptor& s = type->fields[shapeField];
    if (s.type >= FIELD_TYPE_COUNT || elementWidth[s.type] == 0) {
        shape.valid = false;
        return shape;
    }
    shape.width = elementWidth[s.type];
    if (fieldTypeIsFixed(s.type)) {
        shape.values = placeOf(record, s);
        shape.count = uint32_t(s.aux1);
    } else {
        shape.values = static_cast<const uint8_t*>(heldBlock(record, s));
        shape.valid = readCount(type, s.aux1, handling, record, &shape.count);
        if (shape.values == nullptr)
            shape.count = 0;
    }
    return shape;
}

// The element count of the data field: aux1 in place, or its array's count.
uint64_t dataCount(const containerDescriptor* type, int32_t dataField, int32_t handling, const void* record)
{
    if (dataField < 0 || dataField >= type->fieldCount)
        return 0;
    const fieldDescriptor& d = type->fields[dataField];
    if (fieldTypeIsFixed(d.type))
        return uint32_t(d.aux1);
    uint64_t count;
    readCount(type, d.aux1, handling, record, &count);
    return count;
}

constexpr uint64_t tableLimit = uint64_t(INT32_MAX);
// Rows beyond one per data element that a stored table may hold (rows of no elements).
constexpr uint64_t emptyRowAllowance = 65536;

// Product of the dimensions, saturated just above what any count field can hold.
uint64_t dimensionProduct(const shapeValues& dims)
{
    uint64_t product = 1;
    for (uint64_t k = 0; k < dims.count; ++k) {
        const uint64_t d = dims[k];
        if (d != 0 && product > (UINT64_C(1) << 33) / d)
            product = UINT64_C(1) << 33;
        else
            product *= d;
    }
    return product;
}

// Entries of the N-dimensional table: d0 + d0*d1 + ... + d0*...*d(n-2); above tableLimit when too many.
uint64_t dimensionTableSize(const shapeValues& dims)
{
    uint64_t total = 0;
    uint64_t level = 1;
    for (uint64_t k = 0; k + 1 < dims.count; ++k) {
        level *= dims[k];
        total += level;
        if (level > tableLimit || total > tableLimit)
            return tableLimit + 1;
    }
    return total;
}

// Makes sure the data field holds its block before a table points into it. An empty data array takes the size the
// dimensions (or layers) ask for.
int prepareData(qhvSession_t* session, const containerDescriptor* type, uint32_t* done, int32_t dataField,
                void* record, int keep, uint64_t wanted, const char* sizeMessage)
{
    if (dataField < 0 || dataField >= type->fieldCount) {
        containerReportError(session, sizeMessage);
        return 1;
    }
    const fieldDescriptor& d = type->fields[dataField];
    if (!fieldTypeIsFixed(d.type) && dataCount(type, dataField, dataField, record) == 0 && wanted > 0) {
        if (!writeCount(type, d.aux1, record, wanted)) {
            containerReportError(session, sizeMessage);
            return 1;
        }
        if (fieldCodecTable[d.type].init(session, type, done, dataField, record, 1) != 0)
            return 1;
        if (done != nullptr)
            done[dataField] |= FIELD_DONE_INIT;
        return 0;
    }
    return containerInitField(session, type, done, dataField, record, keep);
}

void* dataAddress(const containerDescriptor* type, int32_t dataField, void* record)
{
    const fieldDescriptor& d = type->fields[dataField];
    return fieldTypeIsFixed(d.type) ? static_cast<void*>(placeOf(record, d)) : heldBlock(record, d);
}

int tableFree(qhvSession_t*, const containerDescriptor* type, uint32_t*, int32_t field, void* record)
{
    const fieldDescriptor& f = fieldOf(type, field);
    dbFree(heldBlock(record, f));
    holdBlock(record, f, nullptr);
    return 0;
}

void* tableGet(const containerDescriptor* type, int32_t field, void* record)
{
    return heldBlock(record, fieldOf(type, field));
}

// The shape field, then the data field, each once; nothing of the table's own goes on the wire.
int tableEncode(qhvSession_t* session, const containerDescriptor* type, uint32_t* done, int32_t field,
                const void* record, uint8_t* out, int64_t* position)
{
    const fieldDescriptor& f = fieldOf(type, field);
    if (f.type == FIELD_NDIM) {
        const uint64_t product = dimensionProduct(readShape(type, f.aux1, field, record));
        const uint64_t data = dataCount(type, f.aux2, field, record);
        if (data != product)
            DBPanic("data block length (%d) != dim[0]*dim[1]*...*dim[n] (%d)", int(data), int(product));
    }
    int code = containerEncodeField(session, type, done, f.aux1, record, out, position);
    if (code == 0)
        code = containerEncodeField(session, type, done, f.aux2, record, out, position);
    return code;
}

int tableSize(qhvSession_t* session, const containerDescriptor* type, uint32_t* done, int32_t field,
              const void* record, uint64_t* size)
{
    const fieldDescriptor& f = fieldOf(type, field);
    int code = containerFieldSize(session, type, done, f.aux1, record, size);
    if (code == 0)
        code = containerFieldSize(session, type, done, f.aux2, record, size);
    return code;
}

constexpr const char* dimensionMessage = "qhv failed: invalid dimension values in N-dimensional array";
constexpr const char* layerMessage = "qhv failed: invalid layer sizes neural network";

// Level k of the table holds d0*...*dk entries, each pointing at entry i*d(k+1) of the next level; the last level
// points into the data at strides of d(n-1) elements. A single dimension needs no table and gets none.
int dimensionInit(qhvSession_t* session, const containerDescriptor* type, uint32_t* done, int32_t field,
                  void* record, int keep)
{
    const fieldDescriptor& f = fieldOf(type, field);
    shapeValues dims = readShape(type, f.aux1, field, record);
    if (!dims.valid)
        dims.count = 0; // no table; the product of no dimensions is 1
    const uint64_t entries = dimensionTableSize(dims);
    if (entries > tableLimit) {
        containerReportError(session, dimensionMessage);
        return 1;
    }
    const uint64_t product = dimensionProduct(dims);
    if (prepareData(session, type, done, f.aux2, record, keep, product, dimensionMessage) != 0)
        return 1;
    if (dims.count > 0 && dataCount(type, f.aux2, field, record) < product) {
        containerReportError(session, dimensionMessage);
        return 1;
    }
    void* table = nullptr;
    if (!allocateZeroed(entries * sizeof(void*), &table))
        return 1;
    void** entry = static_cast<void**>(table);
    uint64_t levelStart = 0;
    uint64_t levelSize = 1;
    for (uint64_t k = 0; k + 1 < dims.count; ++k) {
        levelSize *= dims[k];
        const uint64_t next = levelStart + levelSize;
        const bool last = k + 2 == dims.count;
        uint8_t* data = static_cast<uint8_t*>(dataAddress(type, f.aux2, record));
        const uint64_t inner = dims[k + 1];
        for (uint64_t i = 0; i < levelSize; ++i) {
            entry[levelStart + i] = last ? static_cast<void*>(data == nullptr ? nullptr
                                                                              : data + i * inner * uint32_t(f.aux3))
                                         : static_cast<void*>(entry + next + i * inner);
        }
        levelStart = next;
    }
    holdBlock(record, f, table);
    return 0;
}

int dimensionDecode(qhvSession_t* session, const containerDescriptor* type, uint32_t* done, int32_t field,
                    void* record, const uint8_t* in, int64_t end, int64_t* position)
{
    const fieldDescriptor& f = fieldOf(type, field);
    int code = containerDecodeField(session, type, done, f.aux1, record, in, end, position);
    if (code == 0)
        code = containerDecodeField(session, type, done, f.aux2, record, in, end, position);
    if (code != 0)
        return code;
    // Rows of no elements cost no data, so the table is also held to what its data can justify: at most n - 1
    // levels of one row per element, or a small number of empty rows. A few bytes never ask for gigabytes of row
    // pointers, and the bound depends on the record alone, so a record that decodes also decodes from its copy.
    const shapeValues dims = readShape(type, f.aux1, field, record);
    if (dims.valid && dims.count > 0) {
        const uint64_t data = dataCount(type, f.aux2, field, record);
        const uint64_t entries = dimensionTableSize(dims);
        const uint64_t levels = dims.count > 1 ? dims.count - 1 : 1;
        if (data < dimensionProduct(dims) || (entries <= tableLimit && entries / levels > data + emptyRowAllowance)) {
            containerReportInvalidData(session, decodeName);
            return 1;
        }
    }
    return dimensionInit(session, type, done, field, record, 0);
}

// Entries of a layer table (n - 1 layer pointers and a row pointer per unit of layers 1..n-1) and the weights its
// layers take; entries above tableLimit when too many. At least one layer.
void layerTableSize(const shapeValues& sizes, uint64_t* entries, uint64_t* weights)
{
    *entries = sizes.count - 1;
    *weights = 0;
    for (uint64_t k = 1; k < sizes.count && *entries <= tableLimit; ++k) {
        *entries += sizes[k];
        *weights += sizes[k - 1] * sizes[k];
    }
}

// n - 1 layer pointers, then the row pointers of layers 1..n-1: layer k has s(k) rows of s(k-1) weights each, the
// layers back to back in the weight block.
int layerInit(qhvSession_t* session, const containerDescriptor* type, uint32_t* done, int32_t field, void* record,
              int keep)
{
    const fieldDescriptor& f = fieldOf(type, field);
    const shapeValues sizes = readShape(type, f.aux1, field, record);
    if (!sizes.valid || sizes.count == 0) {
        containerReportError(session, layerMessage);
        return 1;
    }
    uint64_t entries, weights;
    layerTableSize(sizes, &entries, &weights);
    if (entries > tableLimit || weights > tableLimit) {
        containerReportError(session, layerMessage);
        return 1;
    }
    if (prepareData(session, type, done, f.aux2, record, keep, weights, layerMessage) != 0)
        return 1;
    if (dataCount(type, f.aux2, field, record) < weights) {
        containerReportError(session, layerMessage);
        return 1;
    }
    void* table = nullptr;
    if (!allocateZeroed(entries * sizeof(void*), &table))
        return 1;
    void** entry = static_cast<void**>(table);
    uint8_t* data = static_cast<uint8_t*>(dataAddress(type, f.aux2, record));
    uint64_t row = sizes.count - 1;
    uint64_t offset = 0;
    for (uint64_t k = 1; k < sizes.count; ++k) {
        entry[k - 1] = entry + row;
        for (uint64_t r = 0; r < sizes[k]; ++r)
            entry[row + r] = data == nullptr ? nullptr : data + (offset + r * sizes[k - 1]) * uint32_t(f.aux3);
        row += sizes[k];
        offset += sizes[k - 1] * sizes[k];
    }
    holdBlock(record, f, table);
    return 0;
}

int layerDecode(qhvSession_t* session, const containerDescriptor* type, uint32_t* done, int32_t field, void* record,
                const uint8_t* in, int64_t end, int64_t* position)
{
    const fieldDescriptor& f = fieldOf(type, field);
    int code = containerDecodeField(session, type, done, f.aux1, record, in, end, position);
    if (code == 0)
        code = containerDecodeField(session, type, done, f.aux2, record, in, end, position);
    if (code != 0)
        return code;
    const shapeValues sizes = readShape(type, f.aux1, field, record);
    if (sizes.valid && sizes.count > 0) {
        uint64_t entries, weights;
        layerTableSize(sizes, &entries, &weights);
        const uint64_t data = dataCount(type, f.aux2, field, record);
        if (entries <= tableLimit && weights <= tableLimit &&
            (data < weights || entries > sizes.count + data + emptyRowAllowance)) {
            containerReportInvalidData(session, decodeName);
            return 1;
        }
    }
    return layerInit(session, type, done, field, record, 0);
}

constexpr fieldCodec inlineCodec = {nullptr, nullptr, inlineEncode, inlineDecode, inlineSize, inlineGet};
constexpr fieldCodec arrayCodec = {arrayInit, arrayFree, arrayEncode, arrayDecode, arraySize, arrayGet};

} // namespace

extern "C" const fieldCodec fieldCodecTable[FIELD_TYPE_COUNT] = {
    inlineCodec, // char
    arrayCodec,  // char array
    inlineCodec, // short
    arrayCodec,  // short array
    inlineCodec, // int
    arrayCodec,  // int array
    inlineCodec, // float
    arrayCodec,  // float array
    inlineCodec, // double
    arrayCodec,  // double array
    {dimensionInit, tableFree, tableEncode, dimensionDecode, tableSize, tableGet},
    {nullptr, structFree, structEncode, structDecode, structSize, inlineGet},
    {arrayInit, structArrayFree, structArrayEncode, structArrayDecode, structArraySize, arrayGet},
    {layerInit, tableFree, tableEncode, layerDecode, tableSize, tableGet},
    inlineCodec, // int64
    arrayCodec,  // int64 array
    arrayCodec,  // stream
};
