// Typed objects decoded within their bytes, copied into blocks of their own, and carried inside keyed objects.
#include "Recognizer/Runtime/ObjectFixture.h"

namespace kvetest {
namespace {

const Bytes kOneIntFive = {0x00, 0x00, 0x00, 0x0C, 'o', 'n', 'e', 'i', 'n', 't', 0x00, 0x0A, 0x00, 0x00, 0x00, 0x05};

class ObjectKeyedTest : public ObjectTest {};

TEST_F(ObjectKeyedTest, OneIntFiveIsSixteenBytes)
{
    typedObject *five = oneInt(5);
    EXPECT_EQ(encode(five), kOneIntFive);
    EXPECT_EQ(objectDestroy(session, five), 0);
}

TEST_F(ObjectKeyedTest, DecodeStaysWithinItsBytes)
{
    Bytes padded = {0xAA, 0xBB};
    padded.insert(padded.end(), kOneIntFive.begin(), kOneIntFive.end());
    int64_t position = 2;
    auto *object = static_cast<typedObject *>(
        objectDecode(session, nullptr, padded.data(), static_cast<int64_t>(padded.size()), &position));
    ASSERT_NE(object, nullptr) << lastError();
    EXPECT_EQ(position, 18);
    EXPECT_EQ(static_cast<OneIntRecord *>(object->instance)->value, 5);
    objectDestroy(session, object);

    // Filling a typed object of the caller's returns the record.
    typedObject given = {nullptr, nullptr};
    position = 0;
    void *record = objectDecode(session, &given, kOneIntFive.data(), 16, &position);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(given.instance, record);
    EXPECT_STREQ(containerName(given.type), "oneint");
    containerFree(session, given.type, record);
    dbFree(record);

    // Every shorter end fails, and leaves the position where it was.
    for (int64_t end = 0; end < 16; ++end) {
        SCOPED_TRACE("end " + std::to_string(end));
        qhvResetLastError(session);
        position = 0;
        EXPECT_EQ(objectDecode(session, nullptr, kOneIntFive.data(), end, &position), nullptr);
        EXPECT_EQ(position, 0);
        EXPECT_EQ(lastError(), "objectDecode failed: Invalid object data");
    }
}

TEST_F(ObjectKeyedTest, CopyHasBlocksOfItsOwn)
{
    typedObject *original = wave({3, -4, 5}, {8000.0f, 0.5f});
    typedObject *copy = objectCopy(session, original);
    ASSERT_NE(copy, nullptr);
    const auto *a = static_cast<WaveRecord *>(original->instance);
    const auto *b = static_cast<WaveRecord *>(copy->instance);
    EXPECT_NE(a, b);
    EXPECT_NE(a->samples, b->samples);
    EXPECT_NE(a->params, b->params);
    EXPECT_EQ(encode(copy), encode(original));
    EXPECT_EQ(objectDestroy(session, original), 0);
    EXPECT_EQ(b->samples[2], 5);
    EXPECT_EQ(objectDestroy(session, copy), 0);
    EXPECT_EQ(objectDestroy(session, nullptr), 0);
}

// A keyed object encodes as key length + 1, the key, the value byte count, the value bytes (one whole object
// record) and the caller's type value, in that order.
TEST_F(ObjectKeyedTest, KeyedObjectGoldenOrder)
{
    const OneIntRecord five = {5};
    keyedRecord *keyed = keyedObjectCreate(session, "k1", 7, "oneint", &five);
    ASSERT_NE(keyed, nullptr) << lastError();
    EXPECT_STREQ(keyed->key, "k1");
    EXPECT_EQ(keyed->keyLength, 3);
    EXPECT_EQ(keyed->valueCount, 16);
    EXPECT_EQ(keyed->valueType, 7);

    typedObject *object = objectCreate(session, type("keyed/object"), keyed);
    Bytes expected = {0x00, 0x00, 0x00, 0x2D, 'k', 'e', 'y', 'e', 'd', '/', 'o', 'b', 'j', 'e', 'c', 't', 0x00, 0x0A,
                      0x00, 0x00, 0x00, 0x03, 'k', '1', 0x00, 0x00, 0x00, 0x00, 0x10};
    expected.insert(expected.end(), kOneIntFive.begin(), kOneIntFive.end());
    expected.insert(expected.end(), {0x00, 0x00, 0x00, 0x07});
    EXPECT_EQ(encode(object), expected);
    EXPECT_EQ(objectDestroy(session, object), 0);
}

TEST_F(ObjectKeyedTest, KeyedObjectDecodesOnlyAsItsOwnType)
{
    const OneIntRecord five = {5};
    keyedRecord *keyed = keyedObjectCreate(session, "level", 1, "oneint", &five);
    ASSERT_NE(keyed, nullptr);
    const containerDescriptor *keyedType = type("keyed/object");

    auto *back = static_cast<OneIntRecord *>(keyedObjectDecode(session, keyed, "oneint"));
    ASSERT_NE(back, nullptr) << lastError();
    EXPECT_EQ(back->value, 5);
    dbFree(back);

    EXPECT_EQ(keyedObjectDecode(session, keyed, "wave"), nullptr);
    EXPECT_EQ(lastError(), "data file error: keyed/object contains unexpected type \"oneint\" instead of \"wave\"");

    // Value bytes that claim less than the record they hold.
    qhvResetLastError(session);
    keyed->valueCount = 14;
    EXPECT_EQ(keyedObjectDecode(session, keyed, "oneint"), nullptr);
    EXPECT_EQ(lastError(), "keyedObjectDecode failed: Invalid object data");
    keyed->valueCount = 16;

    containerFree(session, keyedType, keyed);
    dbFree(keyed);

    qhvResetLastError(session);
    EXPECT_EQ(keyedObjectCreate(session, "k", 0, "keyed/objects", &five), nullptr);
    EXPECT_EQ(lastError(), "container \"keyed/objects\" not found");
}

} // namespace
} // namespace kvetest
