// Object files written and read back, cut short, malformed, or delivered by a stream that stalls or fails.
#include "Recognizer/Runtime/ObjectFixture.h"
#include "Utils/FileTestDir.h"

#include <filesystem>

namespace kvetest {
namespace {

// "oneint" 5, "wave" {1, -2; 16000.0} and "oneint" 7, framed by hand from the record layout: the length of what
// follows it, the type name, 0x00 0x0A, the fields big-endian.
const Bytes kThreeRecords = {
    0x00, 0x00, 0x00, 0x0C, 'o', 'n', 'e', 'i', 'n', 't', 0x00, 0x0A, 0x00, 0x00, 0x00, 0x05,
    0x00, 0x00, 0x00, 0x16, 'w', 'a', 'v', 'e', 0x00, 0x0A, 0x00, 0x00, 0x00, 0x02, 0x00, 0x01, 0xFF, 0xFE,
    0x00, 0x00, 0x00, 0x01, 0x46, 0x7A, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x0C, 'o', 'n', 'e', 'i', 'n', 't', 0x00, 0x0A, 0x00, 0x00, 0x00, 0x07,
};
const size_t kRecordStarts[] = {0, 16, 42};
const size_t kRecordEnds[] = {16, 42, 58};

class ObjectFileTest : public ObjectTest {
protected:
    objectListNode *threeObjects() { return listOf({oneInt(5), wave({1, -2}, {16000.0f}), oneInt(7)}); }

    // The list read from bytes written to a file of the test's own.
    objectListNode *readBytes(const Bytes &bytes)
    {
        const std::string path = dir.write("objects.bin", std::string(bytes.begin(), bytes.end()));
        return qhvObjRead(session, path.c_str());
    }

    void expectThreeObjects(const objectListNode *list)
    {
        const auto objects = objectsOf(list);
        ASSERT_EQ(objects.size(), 3u);
        EXPECT_STREQ(containerName(objects[0]->type), "oneint");
        EXPECT_EQ(static_cast<OneIntRecord *>(objects[0]->instance)->value, 5);
        ASSERT_STREQ(containerName(objects[1]->type), "wave");
        const auto *w = static_cast<WaveRecord *>(objects[1]->instance);
        ASSERT_EQ(w->sampleCount, 2);
        EXPECT_EQ(w->samples[0], 1);
        EXPECT_EQ(w->samples[1], -2);
        ASSERT_EQ(w->paramCount, 1);
        EXPECT_EQ(w->params[0], 16000.0f);
        EXPECT_EQ(static_cast<OneIntRecord *>(objects[2]->instance)->value, 7);
    }

    ScratchDir dir;
};

TEST_F(ObjectFileTest, WritesRecordsBackToBackAndReadsThemBackInOrder)
{
    objectListNode *list = threeObjects();
    const std::string path = dir / "objects.bin";
    ASSERT_EQ(qhvObjWrite(session, list, path.c_str()), 0) << lastError();
    freeList(list);
    EXPECT_EQ(bytesOf(dir.read("objects.bin")), kThreeRecords);

    objectListNode *back = qhvObjRead(session, path.c_str());
    EXPECT_EQ(lastError(), "");
    expectThreeObjects(back);
    freeList(back);
}

TEST_F(ObjectFileTest, EmptyListAndEmptyFile)
{
    const std::string path = dir / "empty.bin";
    ASSERT_EQ(qhvObjWrite(session, nullptr, path.c_str()), 0);
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
    EXPECT_EQ(qhvObjRead(session, path.c_str()), nullptr);
    EXPECT_EQ(lastError(), "");
}

// A file cut inside a length field reads as the records before it; cut anywhere else inside a record it reads as
// nothing at all, never as the records before it.
TEST_F(ObjectFileTest, FileCutAtEveryByte)
{
    for (size_t cut = 0; cut <= kThreeRecords.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        bool inLength = cut == kThreeRecords.size();
        size_t whole = 0;
        for (size_t k = 0; k < 3; ++k) {
            inLength = inLength || (cut >= kRecordStarts[k] && cut < kRecordStarts[k] + 4);
            whole += cut >= kRecordEnds[k] ? 1 : 0;
        }
        qhvResetLastError(session);
        objectListNode *list = readBytes(Bytes(kThreeRecords.begin(), kThreeRecords.begin() + cut));
        if (inLength) {
            EXPECT_EQ(objectsOf(list).size(), whole);
            EXPECT_EQ(lastError(), "");
        } else {
            EXPECT_EQ(list, nullptr);
            EXPECT_EQ(lastError(), "objReadFunc failed: Error reading object data: truncated");
        }
        freeList(list);
    }
}

TEST_F(ObjectFileTest, PathsThatCannotBeOpenedOrWritten)
{
    const std::string missing = dir / "no/such/dir/objects.bin";
    EXPECT_EQ(qhvObjRead(session, missing.c_str()), nullptr);
    EXPECT_EQ(lastError(), "qhvObjRead failed: Could not open raw file \"" + missing + "\"");

    // A directory opens but does not read: a read error, not the end of an empty file.
    EXPECT_EQ(qhvObjRead(session, dir.path().c_str()), nullptr);
    EXPECT_EQ(lastError(), "objReadFunc failed: Error reading object header");

    objectListNode *list = listOf({oneInt(5)});
    EXPECT_EQ(qhvObjWrite(session, list, missing.c_str()), -1);
    EXPECT_EQ(lastError(), "qhvObjWrite failed: Could not open file \"" + missing + "\"");

    // A device that takes no bytes: the loss shows only when the buffered bytes are flushed at close.
    if (std::filesystem::exists("/dev/full")) {
        EXPECT_EQ(qhvObjWrite(session, list, "/dev/full"), -1);
        EXPECT_EQ(lastError(), "qhvObjWrite failed: Error writing output file \"/dev/full\"");
    }
    freeList(list);

    // A path too long for the text shortens the message instead of losing it.
    const std::string longPath = dir / std::string(300, 'x');
    EXPECT_EQ(qhvObjRead(session, longPath.c_str()), nullptr);
    EXPECT_EQ(lastError().size(), 255u);
    EXPECT_EQ(lastError().rfind("qhvObjRead failed: Could not open raw file \"", 0), 0u);
}

struct MalformedCase {
    const char *what;
    Bytes bytes;
    const char *text;
};

// Records whose length or contents do not hold together: each fails with its text and returns nothing, whatever
// came before it.
TEST_F(ObjectFileTest, MalformedRecordsFailWholly)
{
    const Bytes good(kThreeRecords.begin(), kThreeRecords.begin() + 16);
    auto after = [&](Bytes tail) {
        Bytes all = good;
        all.insert(all.end(), tail.begin(), tail.end());
        return all;
    };
    const std::string name(300, 'n');
    Bytes longName = {0x00, 0x00, 0x01, 0x2E};
    longName.insert(longName.end(), name.begin(), name.end());
    longName.insert(longName.end(), {0x00, 0x0A});
    const std::string longNameText = ("container \"" + name).substr(0, 255);
    const MalformedCase cases[] = {
        {"length 0", after({0, 0, 0, 0}), "objReadFunc failed: Invalid object data"},
        {"name without its terminator", after({0, 0, 0, 3, 'o', 'n', 'e'}), "objReadFunc failed: Invalid object data"},
        {"no room for the line feed", after({0, 0, 0, 7, 'o', 'n', 'e', 'i', 'n', 't', 0}),
         "objReadFunc failed: Invalid object data"},
        {"fields beyond the length", after({0, 0, 0, 10, 'o', 'n', 'e', 'i', 'n', 't', 0, 10, 0, 0}),
         "objReadFunc failed: Invalid object data"},
        {"wave whose count runs past the length",
         after({0, 0, 0, 12, 'w', 'a', 'v', 'e', 0, 10, 0x7F, 0xFF, 0xFF, 0xFF, 0, 1}),
         "objReadFunc failed: Invalid object data"},
        {"unregistered type",
         after({0, 0, 0, 15, 'k', 'e', 'y', 'e', 'd', '/', 'o', 'b', 'j', 'e', 'c', 't', 's', 0, 10}),
         "container \"keyed/objects\" not found"},
        {"table of 2^30 empty rows",
         after({0, 0, 0, 22, 'a', 'r', 'r', 'a', 'y', 'S', '2', 'D', 0, 10, 0x40, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}),
         "objReadFunc failed: Invalid object data"},
        {"unregistered name too long for the text", after(longName), longNameText.c_str()},
        {"length beyond the stream", after({0xFF, 0xFF, 0xFF, 0xF0, 'o', 'n', 'e', 'i', 'n', 't', 0, 10}),
         "objReadFunc failed: Error reading object data: truncated"},
    };
    for (const MalformedCase &c : cases) {
        SCOPED_TRACE(c.what);
        qhvResetLastError(session);
        MemoryStream stream;
        stream.data = c.bytes;
        EXPECT_EQ(objReadFunc(session, MemoryStream::read, &stream), nullptr);
        EXPECT_EQ(lastError(), c.text);
        // A hostile length costs no more memory than the bytes that arrived.
        EXPECT_LE(stream.largestRequest, 1u << 20);
    }
}

TEST_F(ObjectFileTest, StreamsThatComeShortStallOrFail)
{
    MemoryStream trickle;
    trickle.data = kThreeRecords;
    trickle.chunk = 1;
    objectListNode *list = objReadFunc(session, MemoryStream::read, &trickle);
    expectThreeObjects(list);
    freeList(list);

    struct Failing {
        const char *what;
        size_t failAt;
        bool stall;
        const char *text;
    };
    const Failing cases[] = {
        {"error inside a length field", 18, false, "objReadFunc failed: Error reading object header"},
        {"error at a record's start", 16, false, "objReadFunc failed: Error reading object header"},
        {"error inside a record", 30, false, "objReadFunc failed: Error reading object data: truncated"},
        {"reader that never moves", SIZE_MAX, true, "objReadFunc failed: Error reading object header"},
    };
    for (const Failing &c : cases) {
        SCOPED_TRACE(c.what);
        qhvResetLastError(session);
        MemoryStream stream;
        stream.data = kThreeRecords;
        stream.failAt = c.failAt;
        stream.stall = c.stall;
        EXPECT_EQ(objReadFunc(session, MemoryStream::read, &stream), nullptr);
        EXPECT_EQ(lastError(), c.text);
    }
}

} // namespace
} // namespace kvetest
