// Layout files and layout arrays, plain and enciphered: where a load stops, what it reports, and the cipher.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

#include "Engine/LayoutCipher.h"
#include "kve/kve_packet.h"
#include "packets/PacketBuilder.h"
#include "support/TestEngine.h"

namespace {

namespace fs = std::filesystem;
using kvepackets::LayoutStream;

constexpr uint32_t kCopier = 0xBEEF0860u;
constexpr const char *kKey = "TestKeyString-16";

// Two wire packets (six words each, five stored), then whatever the case appends.
LayoutStream twoWires()
{
    LayoutStream s;
    s.wire(2, 4);
    s.wire(2, 4);
    return s;
}

class Loaders : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine_->classTable = g_module_descriptor_table;
        engine_->classCount = g_module_descriptor_count;
        dir_ = fs::temp_directory_path() / ("kve-load-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string write(const std::vector<uint32_t> &words, const char *name = "layout.kvx")
    {
        const fs::path p = dir_ / name;
        std::ofstream(p, std::ios::binary)
            .write(reinterpret_cast<const char *>(words.data()), static_cast<std::streamsize>(words.size() * 4));
        return p.string();
    }
    int32_t loadFile(const std::vector<uint32_t> &words, uint32_t *offset, const char *key = nullptr)
    {
        return BinaryLoadSinglePrivate(engine_.get(), write(words).c_str(), offset, key);
    }

    kvetest::TestEngine engine_;
    fs::path dir_;
};

TEST_F(Loaders, WhereAPlainLoadStopsAndTheOffsetItReports)
{
    struct Case {
        const char *what;
        std::vector<uint32_t> words;
        int32_t status;
        uint32_t offset;
        uint32_t objects; // objects built before the load stopped
    };
    LayoutStream firstFails;
    firstFails.module(0xBEEF0999u, 0, {});
    LayoutStream thirdFails = twoWires();
    thirdFails.module(0xBEEF0999u, 0, {});
    LayoutStream wireFails = twoWires();
    wireFails.wire(1023, 0x1FFFF);
    wireFails.wire(1, 1);
    std::vector<uint32_t> endsEarly = twoWires().words();
    endsEarly.insert(endsEarly.begin() + 4, 0u);
    std::vector<uint32_t> lengthOne = twoWires().words();
    lengthOne.push_back(KVE_PACKET_WORD0(9, 1));
    std::vector<uint32_t> tooLong = twoWires().words();
    tooLong.push_back(KVE_PACKET_WORD0(111, 300));
    tooLong.resize(tooLong.size() + 298, 0);
    std::vector<uint32_t> cut = twoWires().words();
    cut.pop_back();
    const Case cases[] = {
        {"empty file", {}, KVE_OK, 0, 0},
        {"first packet fails", firstFails.words(), KVE_E_CLASS_NOT_FOUND, 0, 0},
        {"third packet fails after two wires", thirdFails.words(), KVE_E_CLASS_NOT_FOUND, 10, 2},
        {"a zero word ends the stream", endsEarly, KVE_OK, 0, 1},
        {"a failed wire stops the load", wireFails.words(), KVE_E_HEAPS_FULL, 10, 2},
        {"a packet of length one", lengthOne, KVE_E_PACKET_LENGTH, 10, 2},
        {"a packet longer than the loader's buffer", tooLong, KVE_E_PACKET_LENGTH, 10, 2},
        {"a packet cut by the end of the file", cut, KVE_OK, 0, 1},
    };
    for (const Case &c : cases) {
        kve_fwDestroy(engine_.get());
        uint32_t offset = 77;
        EXPECT_EQ(loadFile(c.words, &offset), c.status) << c.what;
        EXPECT_EQ(offset, c.offset) << c.what;
        EXPECT_EQ(engine_->lastObjectId, c.objects) << c.what;

        kve_fwDestroy(engine_.get());
        offset = 77;
        EXPECT_EQ(kve_fwPacketExecuteArray(engine_.get(), c.words.data(), static_cast<uint32_t>(c.words.size()), &offset),
                  c.status)
            << c.what << " (array)";
        EXPECT_EQ(offset, c.status == KVE_OK ? 77u : c.offset) << c.what << " (array keeps the offset on success)";
        EXPECT_EQ(engine_->lastObjectId, c.objects) << c.what << " (array)";
    }
}

TEST_F(Loaders, AMissingFileTracesEnterAndNoSuchFileOnly)
{
    uint32_t offset = 5;
    ::testing::internal::CaptureStderr();
    const std::string path = (dir_ / "absent.kvx").string();
    EXPECT_EQ(BinaryLoadSingle(engine_.get(), path.c_str(), &offset), KVE_E_FILE_OPEN);
    const std::string trace = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(trace, "BinaryLoadSingle " + path + ": enter\nBinaryLoadSingle " + path + ": no such file\n");
    EXPECT_EQ(offset, 0u);
    EXPECT_EQ(BinaryLoad(path.c_str(), &offset), KVE_E_FILE_OPEN);
}

TEST_F(Loaders, EncipheredStreamsLoadUnderTheirKeyOnly)
{
    LayoutStream s = twoWires();
    const uint32_t copier = s.module(kCopier, 0x101, {1, 2});
    const uint32_t layout = s.layout(1);
    s.place(layout, 0, {copier});
    // More than one body block, and a stream mask of its own.
    for (int i = 0; i < 30; ++i)
        s.setValue(KVE_MEMBER_ADDRESS(layout, 4), 1);
    const std::vector<uint32_t> enciphered = kvepackets::encipher(s.words(), kKey, 0x1234u, 0xABCD0000u);
    ASSERT_GT(enciphered.size(), 65u + 64u);

    uint32_t offset = 9;
    EXPECT_EQ(loadFile(enciphered, &offset, kKey), KVE_OK);
    EXPECT_EQ(engine_->lastObjectId, 4u);
    kve_fwDestroy(engine_.get());
    EXPECT_EQ(kve_fwPacketExecuteArrayPrivate(engine_.get(), enciphered.data(),
                                              static_cast<uint32_t>(enciphered.size()), &offset, kKey),
              KVE_OK);
    EXPECT_EQ(engine_->lastObjectId, 4u);

    struct Case {
        const char *what;
        std::vector<uint32_t> words;
        const char *key;
    } refused[] = {
        {"plain stream read with a key", s.words(), kKey},
        {"another key", enciphered, "AnotherKeyString"},
        {"wrong magic", std::vector<uint32_t>(enciphered.size(), 0x7A6B5C4Du ^ 1u), kKey},
        {"header cut short", std::vector<uint32_t>(enciphered.begin(), enciphered.begin() + 30), kKey},
        {"last body block cut short", std::vector<uint32_t>(enciphered.begin(), enciphered.end() - 1), kKey},
    };
    for (const Case &c : refused) {
        kve_fwDestroy(engine_.get());
        offset = 9;
        EXPECT_EQ(loadFile(c.words, &offset, c.key), KVE_E_CIPHER_HEADER) << c.what;
        if (std::string(c.what) != "last body block cut short") {
            EXPECT_EQ(offset, 0u) << c.what;
            EXPECT_EQ(engine_->lastObjectId, 0u) << c.what << ": nothing ran";
        }
    }
}

TEST_F(Loaders, EachArrayLoadStartsFromTheBeginningOfItsOwnArray)
{
    LayoutStream a = twoWires();
    a.module(0xBEEF0999u, 0, {}); // stops in the middle of the first block
    LayoutStream b;
    b.wire(1, 8);
    uint32_t offset = 0;
    EXPECT_EQ(kve_fwPacketExecuteArray(engine_.get(), a.words().data(), static_cast<uint32_t>(a.words().size()), &offset),
              KVE_E_CLASS_NOT_FOUND);
    kve_fwDestroy(engine_.get());
    EXPECT_EQ(kve_fwPacketExecuteArray(engine_.get(), b.words().data(), static_cast<uint32_t>(b.words().size()), &offset),
              KVE_OK);
    EXPECT_EQ(engine_->lastObjectId, 1u);
    EXPECT_EQ(KVE_WIRE_CHANNELS(reinterpret_cast<GenericWire *>(engine_->firstObject)->info1), 1u);
}

TEST_F(Loaders, AnEmbeddedArrayInsideALoadLeavesTheOuterLoadWhereItWas)
{
    LayoutStream inner;
    inner.wire(1, 1);
    LayoutStream outer = twoWires();
    std::vector<uint32_t> operands{static_cast<uint32_t>(inner.words().size())};
    operands.insert(operands.end(), inner.words().begin(), inner.words().end());
    outer.add(112, operands);
    outer.wire(3, 2);
    uint32_t offset = 0;
    EXPECT_EQ(kve_fwPacketExecuteArray(engine_.get(), outer.words().data(),
                                       static_cast<uint32_t>(outer.words().size()), &offset),
              KVE_OK);
    EXPECT_EQ(engine_->lastObjectId, 4u);
    EXPECT_EQ(KVE_WIRE_CHANNELS(reinterpret_cast<GenericWire *>(engine_->lastObject)->info1), 3u);
    uint32_t *registered = nullptr, capacity = 7;
    kve_fwGetPacketInfo(&registered, &capacity);
    EXPECT_EQ(registered, nullptr) << "the load gave its own buffer's registration back";
}

TEST_F(Loaders, ThePlatformHookLoaderReadsWithoutAnEngine)
{
    LayoutStream s = twoWires();
    uint32_t offset = 3;
    EXPECT_EQ(BinaryLoad(write(s.words()).c_str(), &offset), KVE_OK);
    EXPECT_EQ(offset, 0u);
    std::vector<uint32_t> lengthZero = s.words();
    lengthZero.push_back(0x00000009u); // a word whose length field is 0
    EXPECT_EQ(BinaryLoad(write(lengthZero).c_str(), &offset), KVE_E_PACKET_LENGTH);
    EXPECT_EQ(offset, 10u);
    EXPECT_EQ(engine_->lastObjectId, 0u);
}

TEST_F(Loaders, TheExportedStreamCallsReadAndDecipherPacketByPacket)
{
    LayoutStream s = twoWires();
    const std::vector<uint32_t> enciphered = kvepackets::encipher(s.words(), kKey);
    const std::string path = write(enciphered);
    FILE *f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    init_key(kKey);
    uint32_t packet[KVE_LOADER_BUFFER_WORDS] = {};
    uint32_t consumed = 0;
    ASSERT_EQ(sGetNextCommand(packet, &consumed, f, 1), KVE_OK);
    EXPECT_EQ(consumed, 5u);
    EXPECT_EQ(std::vector<uint32_t>(packet, packet + 5), std::vector<uint32_t>(s.words().begin(), s.words().begin() + 5));
    EXPECT_EQ(kvepackets::checkWord(packet, 6), 0u) << "the check word was appended";
    ASSERT_EQ(sGetNextCommand(packet, &consumed, f, 1), KVE_OK);
    EXPECT_EQ(sGetNextCommand(packet, &consumed, f, 1), KVE_E_END_OF_STREAM);
    std::fclose(f);
}

TEST(LayoutCipher, BlocksRoundTripAndTheKeyAdvancesAfterEveryBlock)
{
    kve::LayoutCipher a, b;
    a.setKey("QuillNorthStairs");
    b.setKey("QuillNorthStairs");
    std::vector<uint32_t> plain(64);
    for (uint32_t i = 0; i < 64; ++i)
        plain[i] = i * 0x01010101u;
    std::vector<uint32_t> first = plain, second = plain;
    a.crypt(first.data(), 64);
    a.crypt(second.data(), 64);
    EXPECT_NE(first, plain);
    EXPECT_NE(first, second) << "the same block enciphers differently under the advanced key";
    b.crypt(first.data(), -64);
    b.crypt(second.data(), -64);
    EXPECT_EQ(first, plain);
    EXPECT_EQ(second, plain);

    std::vector<uint32_t> one = {42};
    a.crypt(one.data(), 1);
    EXPECT_EQ(one[0], 42u) << "a single word is left alone";

    // A shorter key string is zero-filled; the key is no longer the same.
    kve::LayoutCipher c;
    c.setKey("Quill");
    std::vector<uint32_t> third = plain;
    c.crypt(third.data(), 64);
    kve::LayoutCipher fresh;
    fresh.setKey("QuillNorthStairs");
    std::vector<uint32_t> fourth = plain;
    fresh.crypt(fourth.data(), 64);
    EXPECT_NE(third, fourth);
}

TEST(LayoutCipher, TheProcessKeyIsTheExportedKeyOfTheStreamCalls)
{
    // Setting the key from a string whitens its little-endian words.
    init_key("QuillNorthStairs");
    const uint32_t text[4] = {0x6C697551u, 0x726F4E6Cu, 0x74536874u, 0x73726961u}; // "Quil", "lNor", "thSt", "airs"
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(g_key[i], text[i] ^ kve::kKeyWhitening[i]) << "word " << i;

    // A program may set the key itself: the all-zero key enciphers two zero words as published for the cipher.
    for (uint32_t &k : g_key)
        k = 0;
    uint32_t block[2] = {0, 0};
    xxteaex(block, 2);
    EXPECT_EQ(block[0], 0x053704ABu);
    EXPECT_EQ(block[1], 0x575D8C80u);
    // Then the key advanced: word 0 plus one, and the 128 bits rotated left by one.
    EXPECT_EQ(g_key[0], 2u);
    EXPECT_EQ(g_key[1] | g_key[2] | g_key[3], 0u);

    // Bit 31 of each word enters bit 0 of the next, and bit 31 of word 3 enters word 0.
    const uint32_t before[4] = {0x80000000u, 0x80000001u, 0x00000000u, 0x80000000u};
    std::copy(std::begin(before), std::end(before), g_key);
    xxteaex(block, 0);
    EXPECT_EQ(g_key[0], 0x00000003u);
    EXPECT_EQ(g_key[1], 0x00000003u);
    EXPECT_EQ(g_key[2], 0x00000001u);
    EXPECT_EQ(g_key[3], 0x00000000u);
    init_key(nullptr);
}

} // namespace
