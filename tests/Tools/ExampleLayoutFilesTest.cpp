// An example layout written as a layout file or as a layout-array header, plain or enciphered, loads back into an
// engine as the objects it describes, bound and started, and carries audio from the input pin to the output pin.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "Engine/LayoutCipher.h"
#include "kve/kve_packet.h"
#include "layouts/ExampleLayouts.h"
#include "layouts/LayoutOutput.h"
#include "packets/PacketBuilder.h"
#include "support/TestEngine.h"

namespace {

using kvetest::TestEngine;

constexpr uint32_t kCopierClassId = 0xBEEF0860u;

enum class Form { File, ArrayHeader };

struct Case {
    const char *name;
    Form form;
    const char *key; // null: plain
    uint32_t blockSize;
};

const Case kCases[] = {
    {"PlainFile", Form::File, nullptr, 32},
    {"FileUnderLibraryKey", Form::File, kve::kLibraryLayoutKey, 32},
    {"FileUnderOwnKey", Form::File, "Lantern-Of-Tides", 64},
    {"PlainArray", Form::ArrayHeader, nullptr, 8},
    {"ArrayUnderLibraryKey", Form::ArrayHeader, kve::kLibraryLayoutKey, 32},
};

void PrintTo(const Case &c, std::ostream *os) { *os << c.name; }

struct ObjectSeen {
    uint32_t id;
    uint32_t classId;
    bool operator==(const ObjectSeen &) const = default;
};

void PrintTo(const ObjectSeen &o, std::ostream *os)
{
    *os << "{id " << o.id << ", class " << std::hex << o.classId << std::dec << "}";
}

std::vector<ObjectSeen> objectsOf(KVEInstance *engine)
{
    std::vector<ObjectSeen> seen;
    KVEObject *o = nullptr;
    uint32_t cls = 0;
    for (int32_t s = kve_fwGetFirstObject2(engine, &o, &cls); s == KVE_OK;) {
        seen.push_back({o->objectId, cls});
        KVEObject *next = nullptr;
        s = kve_fwGetNextObject(o, &next, &cls);
        o = next;
    }
    return seen;
}

uint32_t wireBoundTo(KVEInstance *engine, uint32_t pinId)
{
    uint32_t cls = 0, wire = 0, rate = 0, i1 = 0, i2 = 0, i3 = 0, n1 = 0, n2 = 0;
    EXPECT_EQ(kve_fwGetPinType(engine, pinId, &cls, &wire, &rate, &i1, &i2, &i3, &n1, &n2), KVE_OK);
    return wire;
}

// The words a layout-array header initialises its array with, provided it declares the array under that name.
std::vector<uint32_t> arrayWords(const std::string &header, const std::string &name)
{
    std::smatch m;
    const std::regex declaration("static const uint32_t (\\w+)\\[\\] = \\{([^}]*)\\};");
    EXPECT_TRUE(std::regex_search(header, m, declaration)) << header;
    EXPECT_EQ(m[1].str(), name);
    std::vector<uint32_t> words;
    const std::string body = m[2].str();
    const std::regex word("0x([0-9A-F]{8})u");
    for (auto it = std::sregex_iterator(body.begin(), body.end(), word); it != std::sregex_iterator(); ++it)
        words.push_back(static_cast<uint32_t>(std::stoul((*it)[1].str(), nullptr, 16)));
    return words;
}

int32_t startHook() { return KVE_OK; }

class ExampleLayoutRoundTrip : public ::testing::TestWithParam<Case> {
protected:
    ExampleLayoutRoundTrip()
    {
        engine_->classTable = g_module_descriptor_table;
        engine_->classCount = g_module_descriptor_count;
        engine_->startHook = startHook;
    }
    ~ExampleLayoutRoundTrip() override { std::filesystem::remove(path_); }

    // Writes the stored form of the case and loads it the way a host receives that form; the error offset is
    // preset to a value no load reports, so that a failing load cannot pass for one that stopped at offset 0.
    int32_t writeAndLoad(const Case &c, uint32_t *offset)
    {
        kvelayouts::LayoutShape shape;
        shape.blockSize = c.blockSize;
        const std::vector<uint32_t> plain = kvelayouts::findExampleLayout("stereo-copy")->build(shape).words();
        const std::vector<uint32_t> stored = c.key != nullptr ? kvepackets::encipher(plain, c.key) : plain;
        *offset = 0xFFFFu;
        if (c.form == Form::File) {
            EXPECT_TRUE(kvelayouts::writeLayoutFile(path_, stored));
            return c.key != nullptr ? BinaryLoadSinglePrivate(engine_.get(), path_.c_str(), offset, c.key)
                                    : BinaryLoadSingle(engine_.get(), path_.c_str(), offset);
        }
        const std::vector<uint32_t> words =
            arrayWords(kvelayouts::layoutArrayHeader("kStereoCopy", stored, "test"), "kStereoCopy");
        EXPECT_EQ(words, stored);
        std::vector<uint32_t> buffer(KVE_LOADER_BUFFER_WORDS);
        kve_fwPacketInit(buffer.data(), static_cast<uint32_t>(buffer.size()));
        return kve_fwPacketExecuteArrayPrivate(engine_.get(), words.data(), static_cast<uint32_t>(words.size()),
                                               offset, c.key);
    }

    TestEngine engine_;
    std::string path_ = (std::filesystem::temp_directory_path() /
                         ("kve_layout_" + std::to_string(getpid()) + "_" + GetParam().name + ".kvx"))
                            .string();
};

TEST_P(ExampleLayoutRoundTrip, LoadsAsTheObjectsItDescribesAndCopiesABlock)
{
    const Case &c = GetParam();
    uint32_t offset = 0;
    ASSERT_EQ(writeAndLoad(c, &offset), KVE_OK);
    if (c.form == Form::File)
        EXPECT_EQ(offset, 0u); // a successful file load reports offset 0
    else
        EXPECT_EQ(offset, 0xFFFFu); // a successful array load leaves the caller's offset alone

    KVEInstance *e = engine_.get();
    const std::vector<ObjectSeen> expected = {{1, WireClass_Descriptor.classId},
                                              {2, WireClass_Descriptor.classId},
                                              {3, kCopierClassId},
                                              {4, LayoutClass_Descriptor.classId}};
    EXPECT_EQ(objectsOf(e), expected);
    EXPECT_EQ(wireBoundTo(e, kvepackets::inputPin(0)), 1u);
    EXPECT_EQ(wireBoundTo(e, kvepackets::outputPin(0)), 2u);
    for (uint32_t wire : {1u, 2u}) {
        uint32_t cls = 0, rate = 0, info1 = 0, info2 = 0, info3 = 0;
        ASSERT_EQ(kve_fwGetWireType(e, wire, &cls, &rate, &info1, &info2, &info3), KVE_OK);
        EXPECT_EQ(KVE_WIRE_CHANNELS(info1), 2u) << "wire " << wire;
        EXPECT_EQ(KVE_WIRE_BLOCK_SIZE(info2), c.blockSize) << "wire " << wire;
    }
    ASSERT_NE(e->firstLayout, nullptr);
    EXPECT_EQ(e->firstLayout->objectId, 4u);
    ASSERT_NE(e->firstLayout->modules[0], nullptr);
    EXPECT_EQ(e->firstLayout->modules[0]->objectId, 3u);

    // One block of distinct samples on the input wire arrives unchanged on the output wire.
    const uint32_t n = 2 * c.blockSize;
    std::vector<uint32_t> in(n), out(n, 0);
    for (uint32_t i = 0; i < n; ++i)
        in[i] = 0x01000000u + i * 0x10203u;
    ASSERT_EQ(kve_fwSetValues(e, KVE_MEMBER_ADDRESS(1, 3), 0, n, in.data(), 0), KVE_OK);
    ASSERT_EQ(kve_fwPump(e, 0), KVE_OK);
    ASSERT_EQ(kve_fwFetchValues(e, KVE_MEMBER_ADDRESS(2, 3), 0, n, out.data()), KVE_OK);
    EXPECT_EQ(out, in);
}

INSTANTIATE_TEST_SUITE_P(StoredForms, ExampleLayoutRoundTrip, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case> &i) { return std::string(i.param.name); });

} // namespace
