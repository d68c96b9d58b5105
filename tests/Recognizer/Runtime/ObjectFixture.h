// Records of the runtime's own types built through the registry, a session per test, and a byte stream in memory
// whose reads can come short, fail or end where a test says.
#pragma once

#include "kve/kve_recognizer.h"
#include "kve/kve_recognizer_runtime.h"
#include "Recognizer/Runtime/ContainerTypes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace kvetest {

using OneIntRecord = struct oneint;
using WaveRecord = struct wave;

using Bytes = std::vector<uint8_t>;

inline Bytes bytesOf(const std::string &text)
{
    return Bytes(text.begin(), text.end());
}

// A stream over bytes: each read delivers at most `chunk` bytes; from `failAt` on, reads report an error; past the
// end they report its end. Keeps the largest count it was asked for.
struct MemoryStream {
    Bytes data;
    size_t at = 0;
    size_t chunk = SIZE_MAX;
    size_t failAt = SIZE_MAX;
    size_t largestRequest = 0;
    bool stall = false; // report neither bytes nor an end nor an error

    static size_t read(void *buffer, size_t size, size_t count, void *stream, int *status)
    {
        auto *self = static_cast<MemoryStream *>(stream);
        const size_t want = size * count;
        self->largestRequest = std::max(self->largestRequest, want);
        if (self->stall) {
            *status = 0;
            return 0;
        }
        const size_t limit = std::min(self->data.size(), self->failAt);
        const size_t got = std::min({want, self->chunk, limit - std::min(limit, self->at)});
        std::memcpy(buffer, self->data.data() + self->at, got);
        self->at += got;
        *status = got == want ? 0 : self->at >= self->failAt ? 2 : self->at >= self->data.size() ? 1 : 0;
        return got / size;
    }
};

class ObjectTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(session, nullptr); }
    void TearDown() override { qhvSessionDestroy(session); }

    const containerDescriptor *type(const char *name)
    {
        const containerDescriptor *found = nullptr;
        EXPECT_EQ(containerFind(session, name, &found), 0) << name;
        return found;
    }

    typedObject *oneInt(int32_t value)
    {
        auto *record = static_cast<OneIntRecord *>(dbMalloc(sizeof(OneIntRecord)));
        record->value = value;
        return objectCreate(session, type("oneint"), record);
    }

    // The counts set first, so creating the object makes the arrays that the values then fill.
    typedObject *wave(const std::vector<int16_t> &samples, const std::vector<float> &params)
    {
        auto *record = static_cast<WaveRecord *>(dbMalloc(sizeof(WaveRecord)));
        std::memset(record, 0, sizeof(WaveRecord));
        record->sampleCount = static_cast<int32_t>(samples.size());
        record->paramCount = static_cast<int32_t>(params.size());
        typedObject *object = objectCreate(session, type("wave"), record);
        std::copy(samples.begin(), samples.end(), record->samples);
        std::copy(params.begin(), params.end(), record->params);
        return object;
    }

    // The list in order; the nodes and objects are the test's to free through freeList.
    objectListNode *listOf(const std::vector<typedObject *> &objects)
    {
        objectListNode *head = nullptr;
        for (auto it = objects.rbegin(); it != objects.rend(); ++it) {
            auto *node = static_cast<objectListNode *>(dbMalloc(sizeof(objectListNode)));
            node->object = *it;
            node->next = head;
            head = node;
        }
        return head;
    }

    void freeList(objectListNode *head)
    {
        while (head) {
            objectListNode *next = head->next;
            EXPECT_EQ(objectDestroy(session, head->object), 0);
            qhvFree(head);
            head = next;
        }
    }

    static std::vector<const typedObject *> objectsOf(const objectListNode *head)
    {
        std::vector<const typedObject *> objects;
        for (; head; head = head->next)
            objects.push_back(head->object);
        return objects;
    }

    Bytes encode(const typedObject *object)
    {
        uint64_t size = 0;
        EXPECT_EQ(objectEncodedSize(session, object, &size), 0);
        Bytes out(size);
        int64_t position = 0;
        EXPECT_EQ(objectEncode(session, object, out.data(), &position), 0);
        EXPECT_EQ(static_cast<uint64_t>(position), size);
        return out;
    }

    std::string lastError() const { return qhvGetLastError(session); }

    qhvSession_t *session = qhvSessionCreate();
};

} // namespace kvetest
