// The registry of record types against the field lists as a separate script reads them from their notation: every
// type, every field's code and links, the figures over all lists, and record layouts that keep fields apart.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "Recognizer/Runtime/ContainerTypes.h"
#include "kve/kve_recognizer_runtime.h"

namespace {

struct ListedField {
    uint32_t code;
    int32_t aux1, aux2, aux3;
    std::string nested;
};

struct ListedType {
    std::string name;
    std::vector<ListedField> fields;
};

struct Listing {
    std::vector<ListedType> types;
    std::set<std::string> unregistered;
    std::vector<long> figures;
};

// What tests/oracles/container_field_lists.py reads from the committed field lists.
Listing readListing() {
    const std::string command = "/usr/bin/python3 " KVE_TESTS_DIR "/oracles/container_field_lists.py " KVE_TESTS_DIR
                                "/../Source/Recognizer/Runtime/container_types.txt";
    Listing listing;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return listing;
    char line[512];
    while (fgets(line, sizeof line, pipe) != nullptr) {
        std::istringstream words(line);
        std::string kind;
        words >> kind;
        if (kind == "type") {
            listing.types.push_back({});
            words >> listing.types.back().name;
        } else if (kind == "field" && !listing.types.empty()) {
            ListedField field;
            words >> field.code >> field.aux1 >> field.aux2 >> field.aux3 >> field.nested;
            listing.types.back().fields.push_back(field);
        } else if (kind == "unregistered") {
            std::string name;
            words >> name;
            listing.unregistered.insert(name);
        } else if (kind == "figures") {
            for (long value; words >> value;)
                listing.figures.push_back(value);
        }
    }
    pclose(pipe);
    return listing;
}

const Listing& listing() {
    static const Listing read = readListing();
    return read;
}

bool isArrayCode(uint32_t code) {
    switch (code) {
    case FIELD_CHAR_ARRAY: case FIELD_SHORT_ARRAY: case FIELD_INT_ARRAY: case FIELD_FLOAT_ARRAY:
    case FIELD_DOUBLE_ARRAY: case FIELD_INT64_ARRAY: case FIELD_STREAM: case FIELD_STRUCT_ARRAY:
        return true;
    default:
        return false;
    }
}

// Bytes one inline element of a numeric code takes in the record.
uint32_t inlineWidth(uint32_t code) {
    switch (code) {
    case FIELD_CHAR: return 1;
    case FIELD_SHORT: return 2;
    case FIELD_INT: case FIELD_FLOAT: return 4;
    default: return 8;
    }
}

const containerDescriptor* findRow(const char* name) {
    for (uint32_t t = 0; t < containerRegistryTableCount; ++t)
        if (std::strcmp(containerRegistryTable[t].name, name) == 0)
            return &containerRegistryTable[t];
    return nullptr;
}

// Bytes a field occupies in the record: its inline elements, or one pointer.
uint32_t bytesInRecord(const fieldDescriptor& field) {
    if (field.type == FIELD_STRUCT)
        return static_cast<uint32_t>(field.aux1 * field.aux2);
    if (isArrayCode(field.type) || field.type == FIELD_NDIM || field.type == FIELD_NEURAL_NET)
        return sizeof(void*);
    return inlineWidth(field.type) * static_cast<uint32_t>(field.aux1);
}

TEST(RecognizerRegistry, HoldsEveryListedTypeInByteOrderWithItsFields) {
    const auto& types = listing().types;
    ASSERT_EQ(types.size(), 260u) << "the field-list script did not run";
    ASSERT_EQ(containerRegistryTableCount, 260u);
    for (uint32_t t = 0; t < containerRegistryTableCount; ++t) {
        const containerDescriptor& row = containerRegistryTable[t];
        const ListedType& listed = types[t];
        ASSERT_STREQ(row.name, listed.name.c_str());
        if (t > 0) {
            EXPECT_LT(std::strcmp(containerRegistryTable[t - 1].name, row.name), 0) << row.name;
        }
        ASSERT_EQ(row.fieldCount, static_cast<int32_t>(listed.fields.size())) << row.name;
        for (int32_t f = 0; f < row.fieldCount; ++f) {
            const fieldDescriptor& field = row.fields[f];
            const ListedField& want = listed.fields[f];
            SCOPED_TRACE(std::string(row.name) + " field " + std::to_string(f));
            EXPECT_EQ(field.type, want.code);
            EXPECT_EQ(field.reserved, 0u);
            EXPECT_EQ(field.aux1, want.aux1);
            EXPECT_EQ(field.aux3, want.aux3);
            if (field.type == FIELD_NDIM) {
                EXPECT_EQ(field.aux2, want.aux2);
            }
            EXPECT_EQ(field.nested ? std::string(field.nested) : std::string("-"), want.nested);
        }
    }
}

TEST(RecognizerRegistry, FiguresOverAllListsMatchTheNotation) {
    // Types, fields, types without fields, tables, arrays before their count, uses of codes 8, 13, 14, 15 and 16,
    // count links that are not a single inline char, short or int.
    const std::vector<long> expected = {260, 3274, 19, 10, 38, 1, 0, 1, 1, 1, 0};
    EXPECT_EQ(listing().figures, expected) << "as the script counts them from the field lists";

    long fields = 0, fieldless = 0, before = 0, badCounts = 0;
    std::map<uint32_t, long> uses;
    std::set<std::string> unregistered;
    for (uint32_t t = 0; t < containerRegistryTableCount; ++t) {
        const containerDescriptor& row = containerRegistryTable[t];
        fields += row.fieldCount;
        fieldless += row.fieldCount == 0;
        for (int32_t f = 0; f < row.fieldCount; ++f) {
            const fieldDescriptor& field = row.fields[f];
            ++uses[field.type];
            if (field.nested != nullptr && findRow(field.nested) == nullptr)
                unregistered.insert(field.nested);
            if (!isArrayCode(field.type))
                continue;
            before += field.aux1 > f;
            const fieldDescriptor& count = row.fields[field.aux1];
            badCounts += (count.type != FIELD_CHAR && count.type != FIELD_SHORT && count.type != FIELD_INT) ||
                         count.aux1 != 1;
        }
    }
    EXPECT_EQ((std::vector<long>{static_cast<long>(containerRegistryTableCount), fields, fieldless, uses[FIELD_NDIM],
                                 before, uses[FIELD_DOUBLE], uses[FIELD_NEURAL_NET], uses[FIELD_INT64],
                                 uses[FIELD_INT64_ARRAY], uses[FIELD_STREAM], badCounts}),
              expected)
        << "as the registry holds them";

    const std::set<std::string> six = {"adapt/adaptEnrollmentCheckTriggerEnroll", "adapt/adaptShared1",
                                       "adapt/adaptTask1", "adapt/txtToPhn1", "speaker/spkrSubject1", "xxxx"};
    EXPECT_EQ(listing().unregistered, six);
    EXPECT_EQ(unregistered, six);
}

TEST(RecognizerRegistry, RecordLayoutsKeepEveryFieldApart) {
    for (uint32_t t = 0; t < containerRegistryTableCount; ++t) {
        const containerDescriptor& row = containerRegistryTable[t];
        uint32_t end = 0;
        for (int32_t f = 0; f < row.fieldCount; ++f) {
            const fieldDescriptor& field = row.fields[f];
            SCOPED_TRACE(std::string(row.name) + " field " + std::to_string(f));
            if (field.type == FIELD_STRUCT || field.type == FIELD_STRUCT_ARRAY) {
                // A nested record's stride is its registered size; an unregistered one takes no room.
                const containerDescriptor* nested = findRow(field.nested);
                EXPECT_EQ(static_cast<uint32_t>(field.aux2), nested ? nested->recordSize : 0u);
            }
            EXPECT_GE(field.offset, end) << "overlaps the field before it";
            end = field.offset + bytesInRecord(field);
            EXPECT_LE(end, row.recordSize);
        }
    }
    EXPECT_EQ(findRow("objfile")->recordSize, 4u);
    EXPECT_EQ(findRow("srandom/srandom")->recordSize, 0u);
}

TEST(RecognizerRegistry, NamedRecordsSitWhereTheirRowsPlaceThem) {
    // Records whose size the code that reads them relies on: both forms of the names entries, its map records,
    // the duration-tree entries and the search networks' model entries.
    struct Size {
        const char* type;
        size_t named, stated;
    };
    const Size sizes[] = {{"nn/triphone", sizeof(nnNamesEntry), 48}, {"nn/phone", sizeof(nn_phone), 32},
                          {"nn/map", sizeof(nnNamesMap), 12}, {"nn/durmodele", sizeof(nnDurationEntry), 16},
                          {"usearch/amodel2", sizeof(searchModel), 8}};
    for (const Size& s : sizes) {
        EXPECT_EQ(s.named, s.stated) << s.type;
        EXPECT_EQ(findRow(s.type)->recordSize, s.stated) << s.type;
    }
    EXPECT_EQ(findRow("nn/descript3")->fields[2].aux2, 48);
    EXPECT_EQ(findRow("nn/descript2")->fields[2].aux2, 32);

    struct Case {
        const char* type;
        std::vector<size_t> offsets;
    };
    const Case cases[] = {
        {"wave", {offsetof(wave, sampleCount), offsetof(wave, samples), offsetof(wave, paramCount),
                  offsetof(wave, params)}},
        {"keyed/object", {offsetof(keyedRecord, key), offsetof(keyedRecord, value), offsetof(keyedRecord, valueType),
                          offsetof(keyedRecord, keyLength), offsetof(keyedRecord, valueCount)}},
        {"arrayS2D", {offsetof(arrayS2D, dims), offsetof(arrayS2D, dataCount), offsetof(arrayS2D, data),
                      offsetof(arrayS2D, rows)}},
        {"oneint", {offsetof(oneint, value)}},
        {"nn/durmodel", {offsetof(nnDuration, namesCrc), offsetof(nnDuration, entryCount),
                         offsetof(nnDuration, phoneCount), offsetof(nnDuration, entries)}},
    };
    for (const Case& c : cases) {
        const containerDescriptor* row = findRow(c.type);
        ASSERT_NE(row, nullptr) << c.type;
        ASSERT_EQ(static_cast<size_t>(row->fieldCount), c.offsets.size()) << c.type;
        for (size_t f = 0; f < c.offsets.size(); ++f)
            EXPECT_EQ(row->fields[f].offset, c.offsets[f]) << c.type << " field " << f;
    }
}

} // namespace
