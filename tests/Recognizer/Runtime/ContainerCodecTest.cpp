// Typed records on the wire: the lookup by name, stored forms written by hand from the wire rules, random records of
// every registered type written by a separate encoder, decoding that stays inside its input, nested types the
// registry lacks, and the pointer tables over data fields.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "Recognizer/Runtime/ContainerTypes.h"
#include "kve/kve_recognizer.h"
#include "kve/kve_recognizer_runtime.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr const char* invalidData = "containerDecode failed: Invalid object data";

// The walkers use only the session's error text, its first 256 bytes.
struct Session {
    alignas(16) char bytes[1024] = {};
    qhvSession_t* get() { return reinterpret_cast<qhvSession_t*>(bytes); }
    std::string text() const { return bytes; }
};

const containerDescriptor* typeNamed(const char* name)
{
    const containerDescriptor* type = nullptr;
    EXPECT_EQ(containerFind(nullptr, name, &type), 0) << name;
    return type;
}

Bytes fromHex(const std::string& hex)
{
    Bytes bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(uint8_t(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

// The record's stored form; its size as the size walker gives it must match what the encoder wrote.
Bytes encode(Session& session, const containerDescriptor* type, const void* record)
{
    uint64_t size = 0;
    if (containerEncodedSize(session.get(), type, record, &size) != 0) {
        ADD_FAILURE() << type->name << ": " << session.text();
        return {};
    }
    Bytes out(size + 8, 0xEE);
    int64_t position = 0;
    EXPECT_EQ(containerEncode(session.get(), type, record, out.data(), &position), 0) << type->name;
    EXPECT_EQ(uint64_t(position), size) << type->name;
    out.resize(size_t(position));
    return out;
}

void* decode(Session& session, const containerDescriptor* type, const Bytes& bytes, int64_t* position)
{
    *position = 0;
    return containerDecode(session.get(), type, nullptr, bytes.data(), int64_t(bytes.size()), position);
}

void destroy(Session& session, const containerDescriptor* type, void* record)
{
    EXPECT_EQ(containerFree(session.get(), type, record), 0);
    dbFree(record);
}

void* held(const void* record, const fieldDescriptor& f)
{
    void* block;
    std::memcpy(&block, static_cast<const uint8_t*>(record) + f.offset, sizeof block);
    return block;
}

// A copy shares no block with its original, at any depth, and its tables point into its own data.
void expectSeparate(const containerDescriptor* type, const void* original, const void* copy, const std::string& path)
{
    for (int32_t i = 0; i < type->fieldCount; ++i) {
        const fieldDescriptor& f = type->fields[i];
        const std::string where = path + "." + std::to_string(i);
        const containerDescriptor* nested = nullptr;
        if ((f.type == FIELD_STRUCT || f.type == FIELD_STRUCT_ARRAY) && containerFind(nullptr, f.nested, &nested) != 0)
            continue;
        if (f.type == FIELD_STRUCT) {
            for (int32_t k = 0; k < f.aux1; ++k)
                expectSeparate(nested, static_cast<const uint8_t*>(original) + f.offset + k * f.aux2,
                               static_cast<const uint8_t*>(copy) + f.offset + k * f.aux2, where);
            continue;
        }
        if (fieldTypeIsFixed(f.type) || f.type == FIELD_INT64)
            continue;
        void* a = held(original, f);
        void* b = held(copy, f);
        EXPECT_EQ(a == nullptr, b == nullptr) << type->name << where;
        if (a == nullptr || b == nullptr)
            continue;
        EXPECT_NE(a, b) << type->name << where;
        if (f.type == FIELD_STRUCT_ARRAY) {
            const fieldDescriptor& counter = type->fields[f.aux1];
            const size_t width = counter.type == FIELD_CHAR ? 1 : counter.type == FIELD_SHORT ? 2 : 4;
            uint32_t count = 0;
            std::memcpy(&count, static_cast<const uint8_t*>(original) + counter.offset, width); // little-endian host
            for (uint32_t k = 0; k < count; ++k)
                expectSeparate(nested, static_cast<const uint8_t*>(a) + k * f.aux2,
                               static_cast<const uint8_t*>(b) + k * f.aux2, where);
        }
        if (f.type == FIELD_NDIM) {
            const uint8_t* data = static_cast<const uint8_t*>(held(copy, type->fields[f.aux2]));
            const uint8_t* row = static_cast<uint8_t* const*>(b)[0];
            EXPECT_GE(row, data) << type->name << where;
        }
    }
}

TEST(ContainerLookup, FindsEveryRegisteredTypeByItsName)
{
    uint32_t count = 0;
    const containerDescriptor* rows = containerRegistry(&count);
    ASSERT_EQ(count, 260u);
    for (uint32_t i = 0; i < count; ++i) {
        if (i > 0) {
            EXPECT_LT(std::strcmp(rows[i - 1].name, rows[i].name), 0) << rows[i].name;
        }
        const containerDescriptor* found = nullptr;
        EXPECT_EQ(containerFind(nullptr, rows[i].name, &found), 0) << rows[i].name;
        EXPECT_EQ(found, &rows[i]);
        EXPECT_STREQ(containerName(found), rows[i].name);
    }
}

TEST(ContainerLookup, MissAppendsItsNameInQuotesToTheSessionText)
{
    for (const char* name : {"keyed/objects", "keyed/objec", "", "a", "zzz", "adapt/adaptTask1"}) {
        Session session;
        std::strcpy(session.bytes, "earlier; ");
        const containerDescriptor* found = nullptr;
        EXPECT_EQ(containerFind(session.get(), name, &found), 1) << name;
        EXPECT_EQ(found, nullptr);
        EXPECT_EQ(session.text(), std::string("earlier; container \"") + name + "\" not found");
    }
}

// Stored forms written from the wire rules: numbers big-endian, each count just before its first array.
struct Golden {
    const char* type;
    const char* hex;
};

const Golden goldens[] = {
    {"oneint", "00000005"},
    // sample count 1, sample -2, parameter count 1, 16000.0f
    {"wave", "00000001" "fffe" "00000001" "467a0000"},
    {"wave", "00000000" "00000000"},
    // key length + 1, "ab\0", value byte count, the value bytes, then the value type
    {"keyed/object", "00000003" "616200" "00000002" "1020" "00000007"},
    {"keyed/s64", "00000002" "6b00" "00000001" "0102030405060708" "ffffffff"},
    {"keyed/double", "00000001" "00" "00000001" "400921fb54442d18" "00000000"},
    // its own type field first, then the key, then the stream
    {"keyed/stream", "0000000a" "00000002" "7a00" "00000003" "010203"},
    // the count is written before its array, not again at its own place
    {"raw", "00000003" "78797a"},
    // dimensions 3 x 4, data count 12, then the twelve shorts 0..11
    {"arrayS2D", "00000003" "00000004" "0000000c"
                 "0000" "0001" "0002" "0003" "0004" "0005" "0006" "0007" "0008" "0009" "000a" "000b"},
    // levels with their count, then an inline wave record
    {"adapt/adaptNoiseWave1", "00000001" "80000000" "00000001" "7fff" "00000000"},
    {"objfile", ""},
};

TEST(ContainerWire, StoredFormsDecodeAndEncodeAgainByteForByte)
{
    for (const Golden& golden : goldens) {
        Session session;
        const containerDescriptor* type = typeNamed(golden.type);
        const Bytes bytes = fromHex(golden.hex);
        int64_t position = 0;
        void* record = decode(session, type, bytes, &position);
        ASSERT_NE(record, nullptr) << golden.type << ": " << session.text();
        EXPECT_EQ(position, int64_t(bytes.size())) << golden.type;
        EXPECT_EQ(encode(session, type, record), bytes) << golden.type;
        destroy(session, type, record);
    }
}

TEST(ContainerWire, RecordsEncodeToTheirStoredForm)
{
    Session session;
    int16_t samples[] = {1, -2};
    float params[] = {16000.0f};
    const wave w = {2, samples, 1, params};
    EXPECT_EQ(encode(session, typeNamed("wave"), &w), fromHex("00000002" "0001fffe" "00000001" "467a0000"));

    char key[] = "ab";
    char value[] = {0x10, 0x20};
    const keyedRecord keyed = {key, value, 7, 3, 2};
    EXPECT_EQ(encode(session, typeNamed("keyed/object"), &keyed),
              fromHex("00000003" "616200" "00000002" "1020" "00000007"));

    const oneint five = {5};
    EXPECT_EQ(encode(session, typeNamed("oneint"), &five), fromHex("00000005"));
}

TEST(ContainerWire, EmptyArraysDecodeToNullBlocks)
{
    Session session;
    int64_t position = 0;
    auto* w = static_cast<wave*>(decode(session, typeNamed("wave"), fromHex("0000000000000000"), &position));
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->samples, nullptr);
    EXPECT_EQ(w->params, nullptr);
    destroy(session, typeNamed("wave"), w);
}

TEST(ContainerWire, TwoDimensionalTableRowsStartOneRowApartInTheData)
{
    Session session;
    const containerDescriptor* type = typeNamed("arrayS2D");
    int64_t position = 0;
    auto* grid = static_cast<arrayS2D*>(decode(session, type, fromHex(goldens[8].hex), &position));
    ASSERT_NE(grid, nullptr) << session.text();
    ASSERT_NE(grid->rows, nullptr);
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(grid->rows[row], grid->data + 4 * row);
        EXPECT_EQ(reinterpret_cast<char*>(grid->rows[row]) - reinterpret_cast<char*>(grid->data), 8 * row);
        for (int column = 0; column < 4; ++column)
            EXPECT_EQ(grid->rows[row][column], 4 * row + column);
    }
    auto* copy = static_cast<arrayS2D*>(containerDeepCopy(session.get(), type, grid));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->rows[2], copy->data + 8);
    EXPECT_EQ(copy->rows[2][3], 11);
    destroy(session, type, copy);
    destroy(session, type, grid);
}

// Creating a table for dimensions set beforehand sizes its empty data to their product.
TEST(ContainerCreate, TableSizesItsEmptyDataFromTheDimensions)
{
    Session session;
    const containerDescriptor* type = typeNamed("arrayS2D");
    arrayS2D grid = {{2, 5}, 0, nullptr, nullptr};
    ASSERT_EQ(containerCreate(session.get(), type, &grid, 1), &grid) << session.text();
    EXPECT_EQ(grid.dataCount, 10);
    ASSERT_NE(grid.data, nullptr);
    EXPECT_EQ(grid.rows[1], grid.data + 5);
    EXPECT_EQ(grid.data[9], 0);
    EXPECT_EQ(containerFree(session.get(), type, &grid), 0);
    EXPECT_EQ(grid.data, nullptr);
    EXPECT_EQ(grid.rows, nullptr);

    struct Case {
        uint32_t d0, d1;
    };
    // more elements than the count field holds, and more rows than a table can have
    for (const Case c : {Case{65536, 65536}, Case{0xFFFFFFFFu, 2}}) {
        Session failing;
        arrayS2D bad = {{c.d0, c.d1}, 0, nullptr, nullptr};
        EXPECT_EQ(containerCreate(failing.get(), type, &bad, 1), nullptr) << c.d0 << " x " << c.d1;
        EXPECT_EQ(failing.text(), "qhv failed: invalid dimension values in N-dimensional array");
        EXPECT_EQ(containerFree(failing.get(), type, &bad), 0);
    }
}

// Creating over a record that already holds blocks keeps those whose count is set and drops the others.
TEST(ContainerCreate, KeepHoldsCountedBlocksAndDropsUncountedOnes)
{
    Session session;
    const containerDescriptor* type = typeNamed("wave");
    auto* samples = static_cast<int16_t*>(dbMalloc(4));
    samples[1] = 77;
    auto* params = static_cast<float*>(dbMalloc(4));
    wave w = {2, samples, 0, params};
    ASSERT_EQ(containerCreate(session.get(), type, &w, 1), &w);
    EXPECT_EQ(w.samples, samples);
    EXPECT_EQ(w.samples[1], 77);
    EXPECT_EQ(w.params, nullptr);
    EXPECT_EQ(containerFree(session.get(), type, &w), 0);

    // Without keep every array gets a fresh zeroed block of its count.
    wave fresh = {3, nullptr, 1, nullptr};
    ASSERT_EQ(containerCreate(session.get(), type, &fresh, 0), &fresh);
    ASSERT_NE(fresh.samples, nullptr);
    EXPECT_EQ(fresh.samples[2], 0);
    EXPECT_EQ(fresh.params[0], 0.0f);
    EXPECT_EQ(containerFree(session.get(), type, &fresh), 0);
}

// Descriptors of the test's own for shapes no registered type has.
constexpr fieldDescriptor field(uint32_t code, size_t offset, int32_t aux1, int32_t aux2 = 0, int32_t aux3 = 0)
{
    return {code, 0, uint32_t(offset), aux1, aux2, aux3, nullptr};
}

struct Odd {
    float scale;
    float* values;
    uint32_t dims[1];
    uint32_t count;
    int16_t* data;
    int16_t** table;
};

const fieldDescriptor oddFields[] = {
    field(FIELD_FLOAT, offsetof(Odd, scale), 1),
    field(FIELD_FLOAT_ARRAY, offsetof(Odd, values), 0), // counted by a float: not a count
    field(FIELD_INT, offsetof(Odd, dims), 1),
    field(FIELD_INT, offsetof(Odd, count), 1),
    field(FIELD_SHORT_ARRAY, offsetof(Odd, data), 3),
    field(FIELD_NDIM, offsetof(Odd, table), 2, 4, 2), // a single dimension
};
const containerDescriptor oddType = {"test/odd", sizeof(Odd), 6, oddFields};

// A count field of another type is reported and counts nothing, and the walk goes on; a single dimension makes a
// table of no rows.
TEST(ContainerCounts, CountOfIllegalTypeCountsNothingAndOneDimensionNeedsNoTable)
{
    Session session;
    Odd odd = {1.5f, static_cast<float*>(dbMalloc(4)), {5}, 0, nullptr, nullptr};
    testing::internal::CaptureStderr();
    ASSERT_EQ(containerCreate(session.get(), &oddType, &odd, 1), &odd) << session.text();
    const Bytes bytes = encode(session, &oddType, &odd);
    const std::string report = testing::internal::GetCapturedStderr();
    EXPECT_NE(report.find("illegal length type (6) in test/odd block 1"), std::string::npos) << report;
    EXPECT_EQ(odd.values, nullptr); // kept only while counted
    EXPECT_EQ(odd.count, 5u);
    EXPECT_NE(odd.data, nullptr);
    EXPECT_EQ(odd.table, nullptr);
    EXPECT_EQ(bytes, fromHex("3fc00000" "00000005" "00000005" "00000000000000000000"));
    EXPECT_EQ(containerFree(session.get(), &oddType, &odd), 0);
}

// Records held in place own their arrays like the outer record's own fields.
TEST(ContainerFree, ReleasesTheArraysOfRecordsHeldInPlace)
{
    Session session;
    const containerDescriptor* type = typeNamed("adapt/adaptNoiseWave1");
    int64_t position = 0;
    auto* noise = static_cast<adapt_adaptNoiseWave1*>(
        decode(session, type, fromHex("00000000" "00000002" "00010002" "00000001" "3f800000"), &position));
    ASSERT_NE(noise, nullptr) << session.text();
    ASSERT_NE(noise->f2.samples, nullptr);
    EXPECT_EQ(noise->f2.samples[1], 2);
    EXPECT_EQ(noise->f2.params[0], 1.0f);
    EXPECT_EQ(containerFree(session.get(), type, noise), 0);
    EXPECT_EQ(noise->f2.samples, nullptr);
    EXPECT_EQ(noise->f2.params, nullptr);
    dbFree(noise);
}

// A record whose count promises elements its array does not hold is refused rather than read through null.
TEST(ContainerEncode, CountWithoutItsBlockFails)
{
    Session session;
    float params[] = {1.0f};
    const wave w = {3, nullptr, 1, params};
    uint8_t out[64];
    int64_t position = 0;
    EXPECT_EQ(containerEncode(session.get(), typeNamed("wave"), &w, out, &position), 1);
    EXPECT_EQ(session.text(), "containerEncode failed: Invalid object data");
    EXPECT_EQ(containerDeepCopy(session.get(), typeNamed("wave"), &w), nullptr);
}

// Arrays of a nested type the registry lacks: fine while empty, a lookup failure as soon as they hold elements.
TEST(ContainerNested, UnregisteredTypeFailsOnlyWhenItsArrayHasElements)
{
    const containerDescriptor* type = typeNamed("adapt/adaptEnrollmentCheckTrigger1");
    const std::string missing = "container \"adapt/adaptEnrollmentCheckTriggerEnroll\" not found";
    {
        Session session;
        adapt_adaptEnrollmentCheckTrigger1 empty = {3, 4, 0, nullptr};
        const Bytes bytes = encode(session, type, &empty);
        EXPECT_EQ(bytes, fromHex("0003" "0004" "00000000"));
        int64_t position = 0;
        void* back = decode(session, type, bytes, &position);
        ASSERT_NE(back, nullptr) << session.text();
        void* copy = containerDeepCopy(session.get(), type, back);
        EXPECT_NE(copy, nullptr);
        destroy(session, type, copy);
        destroy(session, type, back);
        EXPECT_EQ(session.text(), "");
    }
    uint8_t element[64] = {};
    adapt_adaptEnrollmentCheckTrigger1 full = {3, 4, 1, element};
    Session sizing;
    uint64_t size = 0;
    EXPECT_EQ(containerEncodedSize(sizing.get(), type, &full, &size), 1);
    EXPECT_EQ(sizing.text(), missing);
    Session encoding;
    uint8_t out[64];
    int64_t position = 0;
    EXPECT_EQ(containerEncode(encoding.get(), type, &full, out, &position), 1);
    EXPECT_EQ(encoding.text(), missing);
    Session copying;
    EXPECT_EQ(containerDeepCopy(copying.get(), type, &full), nullptr);
    EXPECT_EQ(copying.text(), missing);
    Session decoding;
    EXPECT_EQ(decode(decoding, type, fromHex("0003" "0004" "00000001" "00000000000000"), &position), nullptr);
    EXPECT_EQ(decoding.text(), missing);
}

// Input that ends early or whose counts promise more than it holds fails before anything is allocated for it.
TEST(ContainerDecodeBounds, CountsAndDimensionsBeyondTheInputFail)
{
    const Golden hostile[] = {
        {"wave", "7fffffff"},                                  // samples promised, none there
        {"wave", "ffffffff" "0001"},                           // a count near 2^32
        {"keyed/s64", "00000001" "00" "10000000" "01"},        // 2^28 int64 values promised
        {"raw", "00000002" "78"},                              // one byte short
        {"oneint", "000000"},                                  // a number cut short
        {"arrayS2D", "00000003" "00000004" "0000000b" "0000000000000000000000000000000000000000000000"},
        {"arrayS2D", "00010000" "00010000" "00000000"},        // 2^32 elements over no data
        {"arrayS2D", "40000000" "00000000" "00000000"},        // 2^30 rows of nothing from 12 bytes
        {"adapt/adaptNoiseWave1", "00000000" "00000001"},      // the nested record cut short
        {"adapt/adaptEnrollments1", "ffff" "00000000"},        // 65535 nested records in no bytes
    };
    for (const Golden& c : hostile) {
        Session session;
        int64_t position = 0;
        EXPECT_EQ(decode(session, typeNamed(c.type), fromHex(c.hex), &position), nullptr) << c.type << " " << c.hex;
        EXPECT_EQ(session.text(), invalidData) << c.type << " " << c.hex;
    }

    Session session;
    const Bytes five = fromHex("00000005");
    for (int64_t start : {int64_t(-1), int64_t(5), INT64_MIN}) {
        int64_t position = start;
        EXPECT_EQ(containerDecode(session.get(), typeNamed("oneint"), nullptr, five.data(), 4, &position), nullptr);
    }
    // A position inside the input reads from there.
    int64_t position = 2;
    const Bytes shifted = fromHex("ffff00000005");
    void* record = containerDecode(session.get(), typeNamed("oneint"), nullptr, shifted.data(), 6, &position);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(static_cast<oneint*>(record)->value, 5);
    EXPECT_EQ(position, 6);
    dbFree(record);
}

// Random records of every registered type, written by tests/oracles/record_wire.py from the field lists.
struct WireRecord {
    std::string type;
    Bytes bytes;
};

std::vector<WireRecord> randomRecords(int seed, int perType)
{
    const std::string command = "/usr/bin/python3 " KVE_TESTS_DIR "/oracles/record_wire.py " KVE_TESTS_DIR
                                "/../Source/Recognizer/Runtime/container_types.txt " +
                                std::to_string(seed) + " " + std::to_string(perType);
    std::vector<WireRecord> records;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return records;
    std::string output;
    char chunk[65536];
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;)
        output.append(chunk, n);
    EXPECT_EQ(pclose(pipe), 0);
    std::istringstream lines(output);
    for (std::string name, hex; lines >> name >> hex;)
        records.push_back({name, hex == "-" ? Bytes{} : fromHex(hex)});
    return records;
}

TEST(ContainerWire, RandomRecordsOfEveryTypeRoundTripThroughDecodeEncodeAndCopy)
{
    const std::vector<WireRecord> records = randomRecords(20261211, 3);
    ASSERT_EQ(records.size(), 3u * 260u);
    for (const WireRecord& wire : records) {
        Session session;
        const containerDescriptor* type = typeNamed(wire.type.c_str());
        ASSERT_NE(type, nullptr);
        int64_t position = 0;
        void* record = decode(session, type, wire.bytes, &position);
        ASSERT_NE(record, nullptr) << wire.type << ": " << session.text();
        EXPECT_EQ(position, int64_t(wire.bytes.size())) << wire.type;
        EXPECT_EQ(encode(session, type, record), wire.bytes) << wire.type;
        void* copy = containerDeepCopy(session.get(), type, record);
        ASSERT_NE(copy, nullptr) << wire.type << ": " << session.text();
        EXPECT_EQ(encode(session, type, copy), wire.bytes) << wire.type;
        expectSeparate(type, record, copy, "");
        destroy(session, type, copy);
        destroy(session, type, record);
    }
}

// Every proper prefix of a record's stored form is refused, and nothing built for it outlives the refusal.
TEST(ContainerDecodeBounds, EveryCutOfARecordFails)
{
    std::map<std::string, Bytes> shortest;
    for (const WireRecord& wire : randomRecords(7, 2)) {
        auto found = shortest.find(wire.type);
        if (!wire.bytes.empty() && wire.bytes.size() <= 600 &&
            (found == shortest.end() || wire.bytes.size() < found->second.size()))
            shortest[wire.type] = wire.bytes;
    }
    ASSERT_GT(shortest.size(), 200u);
    for (const auto& [name, bytes] : shortest) {
        const containerDescriptor* type = typeNamed(name.c_str());
        for (size_t cut = 0; cut < bytes.size(); ++cut) {
            Session session;
            int64_t position = 0;
            void* record = containerDecode(session.get(), type, nullptr, bytes.data(), int64_t(cut), &position);
            EXPECT_EQ(record, nullptr) << name << " cut at " << cut;
            EXPECT_EQ(session.text(), invalidData) << name << " cut at " << cut;
            if (record != nullptr)
                destroy(session, type, record);
        }
    }
}

// The layer table of a network field, over a descriptor of the test's own: layers of 2, 3 and 1 units.
struct Network {
    int32_t layers[3];
    int32_t weightCount;
    float* weights;
    float** table;
};

const fieldDescriptor networkFields[] = {
    field(FIELD_INT, offsetof(Network, layers), 3),
    field(FIELD_INT, offsetof(Network, weightCount), 1),
    field(FIELD_FLOAT_ARRAY, offsetof(Network, weights), 1),
    field(FIELD_NEURAL_NET, offsetof(Network, table), 0, 2, 4),
};
const containerDescriptor networkType = {"test/network", sizeof(Network), 4, networkFields};

TEST(ContainerTables, NetworkLayerTablePointsAtEachLayersRows)
{
    Session session;
    Network net = {{2, 3, 1}, 0, nullptr, nullptr};
    ASSERT_EQ(containerCreate(session.get(), &networkType, &net, 1), &net) << session.text();
    ASSERT_EQ(net.weightCount, 2 * 3 + 3 * 1);
    for (int i = 0; i < net.weightCount; ++i)
        net.weights[i] = float(i);
    float** table = net.table;
    // two layer pointers, then layer 1's three rows and layer 2's one row
    EXPECT_EQ(reinterpret_cast<float***>(table)[0], table + 2);
    EXPECT_EQ(reinterpret_cast<float***>(table)[1], table + 5);
    EXPECT_EQ(table[2], net.weights);
    EXPECT_EQ(table[3], net.weights + 2);
    EXPECT_EQ(table[4], net.weights + 4);
    EXPECT_EQ(table[5], net.weights + 6);

    auto* copy = static_cast<Network*>(containerDeepCopy(session.get(), &networkType, &net));
    ASSERT_NE(copy, nullptr) << session.text();
    EXPECT_EQ(copy->table[5], copy->weights + 6);
    EXPECT_EQ(copy->table[5][2], 8.0f);
    destroy(session, &networkType, copy);
    EXPECT_EQ(containerFree(session.get(), &networkType, &net), 0);

    // Stored networks whose weights fall short of their layers, or whose rows of no weights outnumber the input.
    for (const char* hex : {"00000002" "00000003" "00000001" "00000001" "00000000",
                            "00000000" "40000000" "00000000" "00000000"}) {
        Session failing;
        Network none = {{0, 0, 0}, 0, nullptr, nullptr};
        const Bytes bytes = fromHex(hex);
        int64_t position = 0;
        EXPECT_EQ(containerDecode(failing.get(), &networkType, &none, bytes.data(), int64_t(bytes.size()), &position),
                  nullptr)
            << hex;
        EXPECT_EQ(failing.text(), invalidData) << hex;
        EXPECT_EQ(containerFree(failing.get(), &networkType, &none), 0);
    }

    // Creating a network of more rows than a table can hold.
    Session failing;
    Network huge = {{1, 0xFFFFFFF, 0xFFFFFFF}, 0, nullptr, nullptr};
    EXPECT_EQ(containerCreate(failing.get(), &networkType, &huge, 1), nullptr);
    EXPECT_EQ(failing.text(), "qhv failed: invalid layer sizes neural network");
    EXPECT_EQ(containerFree(failing.get(), &networkType, &huge), 0);
}

} // namespace
