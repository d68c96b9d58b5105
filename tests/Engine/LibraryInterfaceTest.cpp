// The library interface as a host sees it: creation and its refusals, the pump and its codes, layouts built from
// commands and from enciphered files and arrays, value access, pin properties, the start and stop callbacks, the
// cycle measurement and teardown.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "Engine/LayoutCipher.h"
#include "Engine/LibraryHost.h"
#include "kve/kve_packet.h"
#include "support/TestEngine.h"
#include "support/TestModules.h"

// Lets a failed heap block come back as null, so that creation can report it instead of the process ending.
extern "C" __attribute__((used)) const char *__asan_default_options()
{
    return "allocator_may_return_null=1";
}

namespace {

using kvehost::command;
using kvehost::Library;
using kvehost::makeLibrary;
using kvepackets::bits;
using kvepackets::LayoutStream;

constexpr uint32_t kBlock = 32;
constexpr uint32_t kStereoWords = 2 * kBlock;

// Member indices of a layout as the host addresses them.
constexpr uint32_t kLayoutRunCount = 8;
constexpr uint32_t kLayoutLastTime = 9;
// Member 4 of a wire: its sample rate.
constexpr uint32_t kWireSampleRate = 4;

uint32_t member(uint32_t id, uint32_t index) { return (id << 12) | index; }

std::vector<_Sample> ramp(size_t n, float start)
{
    std::vector<_Sample> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i].f = start + static_cast<float>(i) * 0.25f;
    return v;
}

// A created library with a started chain of Copier modules between the pins.
Library startedChain(uint32_t modules = 1, uint32_t channels = 2)
{
    Library lib = makeLibrary();
    EXPECT_EQ(lib->Create("test", 0.0f, 0.0f), 0);
    EXPECT_EQ(kvehost::sendStream(*lib, kvehost::copierChain(channels, kBlock, modules).stream.words()), 0);
    EXPECT_TRUE(lib->IsStarted());
    return lib;
}

uint32_t fetch(CKVELib &lib, uint32_t address)
{
    int32_t status = -1;
    const uint32_t value = lib.FetchValue(address, &status).u;
    EXPECT_EQ(status, 0) << std::hex << address;
    return value;
}

// The instance at work after a command: the engine sets it before it runs any packet.
KVEInstance *instanceOf(CKVELib &lib)
{
    command(lib, 87);
    return g_pKVE_instance;
}

// A module of a test class placed in the engine directly, as a class the library does not install.
ClassModule *addTestModule(KVEInstance *instance, const ModClassDescriptor &cls, std::vector<uint32_t> args)
{
    int32_t status = KVE_OK;
    ClassModule *m = BaseClassModule_Constructor2(instance, &cls, &status, 0, nullptr,
                                                  static_cast<uint32_t>(args.size()), args.data());
    EXPECT_EQ(status, KVE_OK);
    return m;
}

std::string writeFile(const std::string &name, const std::vector<uint32_t> &words)
{
    const std::string path = ::testing::TempDir() + name;
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char *>(words.data()), static_cast<std::streamsize>(words.size() * 4));
    return path;
}

// --- The interface's binary shape ---

// A pointer to a virtual member holds its byte offset in the vtable, marked as virtual: by adding 1 to the offset
// on x86-64, by the low bit of the adjustment word on AArch64. The destructor's two entries come first.
template <typename M> uintptr_t vtableSlotOffset(M m)
{
    static_assert(sizeof m == 2 * sizeof(uintptr_t));
    uintptr_t w[2];
    std::memcpy(w, &m, sizeof w);
#if defined(__aarch64__)
    return (w[1] & 1) != 0 ? w[0] : ~uintptr_t{0};
#else
    return (w[0] & 1) != 0 ? w[0] - 1 : ~uintptr_t{0};
#endif
}

TEST(LibraryInterface, OperationsKeepTheirSlotsInTheObjectsTable)
{
    const struct {
        const char *name;
        uintptr_t word;
    } slots[] = {
        {"AverageCycles", vtableSlotOffset(&CKVELib::AverageCycles)},
        {"PumpCount", vtableSlotOffset(&CKVELib::PumpCount)},
        {"ClearMeasure", vtableSlotOffset(&CKVELib::ClearMeasure)},
        {"GetLibraryVersion", vtableSlotOffset(&CKVELib::GetLibraryVersion)},
        {"SetLayoutAddresses", vtableSlotOffset(&CKVELib::SetLayoutAddresses)},
        {"IsCreated", vtableSlotOffset(&CKVELib::IsCreated)},
        {"Create", vtableSlotOffset(&CKVELib::Create)},
        {"Destroy", vtableSlotOffset(&CKVELib::Destroy)},
        {"PumpAudio", vtableSlotOffset(&CKVELib::PumpAudio)},
        {"PinProps", vtableSlotOffset(&CKVELib::PinProps)},
        {"FetchValue", vtableSlotOffset(&CKVELib::FetchValue)},
        {"SetValue", vtableSlotOffset(&CKVELib::SetValue)},
        {"FetchValues", vtableSlotOffset(&CKVELib::FetchValues)},
        {"SetValues", vtableSlotOffset(&CKVELib::SetValues)},
        {"LoadKvxFile", vtableSlotOffset(&CKVELib::LoadKvxFile)},
        {"LoadKvxMem", vtableSlotOffset(&CKVELib::LoadKvxMem)},
        {"SendCommand", vtableSlotOffset(&CKVELib::SendCommand)},
        {"GetCycles", vtableSlotOffset(&CKVELib::GetCycles)},
        {"IsStarted", vtableSlotOffset(&CKVELib::IsStarted)},
        {"PinPropsEx", vtableSlotOffset(&CKVELib::PinPropsEx)},
        {"CreateEx", vtableSlotOffset(&CKVELib::CreateEx)},
        {"SetStartStopCallbacks", vtableSlotOffset(&CKVELib::SetStartStopCallbacks)},
        {"SetSearchPath", vtableSlotOffset(&CKVELib::SetSearchPath)},
    };
    for (size_t i = 0; i < std::size(slots); ++i)
        EXPECT_EQ(slots[i].word, 8 * (2 + i)) << slots[i].name;
}

TEST(LibraryInterface, ANewObjectHasNoEngineAndNothingMeasured)
{
    Library lib = makeLibrary();
    ASSERT_NE(lib, nullptr);
    EXPECT_FALSE(lib->IsCreated());
    EXPECT_FALSE(lib->IsStarted());
    EXPECT_EQ(lib->PumpCount(), 0u);
    EXPECT_EQ(lib->AverageCycles(), 0.0);
    EXPECT_STREQ(lib->GetLibraryVersion(), "KVELib V1.5");
}

TEST(LibraryInterface, EveryEngineCallBeforeCreateReportsNotCreated)
{
    Library lib = makeLibrary();
    std::vector<_Sample> in(kStereoWords), out(kStereoWords);
    uint32_t props[9] = {};
    std::vector<uint32_t> nop = kvepackets::packet(87, {});
    const uint32_t word = 0x7A6B5C4Du;
    const struct {
        const char *call;
        int32_t result;
    } cases[] = {
        {"PumpAudio", lib->PumpAudio(in.data(), out.data(), kStereoWords, kStereoWords)},
        {"PinProps", lib->PinProps(&props[0], &props[1], &props[2], &props[3], &props[4], &props[5], &props[6],
                                   &props[7])},
        {"PinPropsEx", lib->PinPropsEx(&props[0], &props[1], &props[2], &props[3], &props[4], &props[5],
                                       &props[6], &props[7], &props[8])},
        {"SetValue", lib->SetValue(0x1004, _Sample{1.0f})},
        {"FetchValues", lib->FetchValues(0x1003, 4, out.data(), 0)},
        {"SetValues", lib->SetValues(0x1003, 4, in.data(), 0)},
        {"LoadKvxFile", lib->LoadKvxFile("layout.kvx", nullptr)},
        {"LoadKvxMem", lib->LoadKvxMem(&word, 1, nullptr)},
        {"SendCommand", lib->SendCommand(nop.data(), static_cast<uint32_t>(nop.size()))},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.result, KVE_E_NOT_CREATED) << c.call;

    int32_t status = 0;
    EXPECT_EQ(lib->FetchValue(0x1004, &status).u, 0u);
    EXPECT_EQ(status, KVE_E_NOT_CREATED);
    EXPECT_EQ(nop, kvepackets::packet(87, {})) << "no reply is written without an engine";
}

// --- Creation ---

TEST(LibraryInterface, CreateRefusesMissingAndTabNamesAndASecondEngine)
{
    const struct {
        const char *name;
        int32_t expected;
    } cases[] = {
        {nullptr, KVE_E_BAD_ARGUMENT},
        {"\tindented", KVE_E_BAD_ARGUMENT},
        {"", KVE_OK},
        {"tab\tinside", KVE_OK},
        {"a name longer than eight characters", KVE_OK},
    };
    for (const auto &c : cases) {
        Library lib = makeLibrary();
        EXPECT_EQ(lib->Create(c.name, 0.0f, 0.0f), c.expected) << (c.name ? c.name : "(null)");
        EXPECT_EQ(lib->IsCreated(), c.expected == KVE_OK);
        if (c.expected == KVE_OK) {
            EXPECT_EQ(lib->Create("again", 0.0f, 0.0f), KVE_E_ALREADY_CREATED);
            EXPECT_EQ(lib->CreateEx("again", 0.0f, 0.0f, true, 64, 0, 1, 1), KVE_E_ALREADY_CREATED);
        }
    }
}

TEST(LibraryInterface, CreateRefusesSizesTheTargetInformationCannotHold)
{
    const struct {
        uint32_t block, number13, in, out;
        int32_t expected;
    } cases[] = {
        {4095, 8192, 255, 255, KVE_OK},
        {4096, 0, 0, 0, KVE_E_BAD_ARGUMENT},
        {0, 8193, 0, 0, KVE_E_BAD_ARGUMENT},
        {0, 0, 256, 0, KVE_E_BAD_ARGUMENT},
        {0, 0, 0, 256, KVE_E_BAD_ARGUMENT},
        {0xFFFFFFFFu, 0, 0, 0, KVE_E_BAD_ARGUMENT},
    };
    for (const auto &c : cases) {
        Library lib = makeLibrary();
        EXPECT_EQ(lib->CreateEx("size", 0.0f, 0.0f, false, c.block, c.number13, c.in, c.out), c.expected)
            << c.block << " " << c.number13 << " " << c.in << " " << c.out;
        EXPECT_EQ(lib->IsCreated(), c.expected == KVE_OK);
        if (c.expected == KVE_OK) {
            const std::vector<uint32_t> reply = command(*lib, 41);
            ASSERT_EQ(reply.size(), 14u);
            EXPECT_EQ(reply[2 + 2] & 0xFFFu, c.block) << "the block size stands uncut";
            EXPECT_EQ(reply[2 + 5] & 0x1FFFu, c.number13 - 1);
        }
    }
}

TEST(LibraryInterface, TargetInformationDescribesTheCreatedEngine)
{
    const struct {
        uint32_t block, number13, in, out;
        uint32_t word2, word3, word4, word5;
    } cases[] = {
        {0, 0, 0, 0, 32u | (1u << 12), 0x12020264u, 0x061A01E2u, 4104u},
        {64, 100, 3, 1, 64u | (1u << 12), 0x12010364u, 0x061A01E2u, 99u},
        {256, 1, 8, 6, 256u | (1u << 12), 0x12060864u, 0x061A01E2u, 0u},
    };
    for (const auto &c : cases) {
        Library lib = makeLibrary();
        ASSERT_EQ(lib->CreateEx("ENG", 1.5f, 2.5f, false, c.block, c.number13, c.in, c.out), 0);
        const std::vector<uint32_t> reply = command(*lib, 41);
        ASSERT_EQ(reply.size(), 14u);
        const uint32_t *t = &reply[2];
        EXPECT_EQ(reply[1], 0u);
        EXPECT_EQ(t[0], bits(48000.0f));
        EXPECT_EQ(t[1], bits(2.5f));
        EXPECT_EQ(t[2], c.word2);
        EXPECT_EQ(t[3], c.word3);
        EXPECT_EQ(t[4], c.word4);
        EXPECT_EQ(t[5], c.word5);
        EXPECT_EQ(t[6], 0x00474E45u) << "\"ENG\", first character in the low byte";
        EXPECT_EQ(t[8], bits(1.5f));
        EXPECT_EQ(t[10], KVE_TARGET_MAGIC);
    }
}

TEST(LibraryInterface, PinsReportTheChannelCountsOfCreation)
{
    const struct {
        uint32_t in, out, block;
    } cases[] = {{0, 0, 0}, {3, 1, 16}, {1, 6, 48}};
    for (const auto &c : cases) {
        Library lib = makeLibrary();
        ASSERT_EQ(lib->CreateEx("pins", 0.0f, 0.0f, false, c.block, 0, c.in, c.out), 0);
        const struct {
            uint32_t pinId, channels, name1, name2;
        } pins[] = {{1, c.in != 0 ? c.in : 2, 0x75706E49u, 0x74u}, {2, c.out != 0 ? c.out : 2, 0x7074754Fu, 0x7475u}};
        for (const auto &p : pins) {
            const std::vector<uint32_t> r = command(*lib, 5, {p.pinId});
            ASSERT_EQ(r.size(), 11u);
            EXPECT_EQ(static_cast<int32_t>(r[1]), 0);
            EXPECT_EQ(r[3], 0u) << "no wire bound yet";
            EXPECT_EQ(r[4], bits(48000.0f));
            EXPECT_EQ(r[5], 0x40040000u | p.channels) << "pin " << p.pinId;
            EXPECT_EQ(r[6] & 0x1FFFFu, c.block != 0 ? c.block : 32u);
            EXPECT_NE(r[7] & 0x400000u, 0u);
            EXPECT_EQ(r[8], p.name1);
            EXPECT_EQ(r[9], p.name2);
        }
    }
}

TEST(LibraryInterface, CreationReportsHeapsThatCannotBeHadAndLeavesNoEngine)
{
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_AS, &saved), 0);
    unsigned long pages = 0;
    FILE *statm = std::fopen("/proc/self/statm", "r");
    ASSERT_NE(statm, nullptr);
    ASSERT_EQ(std::fscanf(statm, "%lu", &pages), 1);
    std::fclose(statm);
    // Room for small allocations, not for the heaps' block of about 31 MB.
    const rlim_t now = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE));
    if (saved.rlim_max != RLIM_INFINITY && saved.rlim_max < now + (8u << 20))
        GTEST_SKIP() << "the address-space limit is already too tight";

    Library lib = makeLibrary();
    rlimit tight = saved;
    tight.rlim_cur = now + (8u << 20);
    ASSERT_EQ(setrlimit(RLIMIT_AS, &tight), 0);
    const int32_t starved = lib->Create("starved", 0.0f, 0.0f);
    const bool created = lib->IsCreated();
    ASSERT_EQ(setrlimit(RLIMIT_AS, &saved), 0);
    if (starved == KVE_OK)
        GTEST_SKIP() << "the address-space limit does not reach this process's allocations (an emulator's own)";

    EXPECT_EQ(starved, KVE_E_HEAP_BLOCK);
    EXPECT_FALSE(created);
    std::vector<uint32_t> nop = kvepackets::packet(87, {});
    EXPECT_EQ(lib->SendCommand(nop.data(), static_cast<uint32_t>(nop.size())), KVE_E_NOT_CREATED);
    EXPECT_EQ(lib->Create("fed", 0.0f, 0.0f), KVE_OK) << "a later creation with memory succeeds";
}

// --- Commands ---

TEST(LibraryInterface, SendCommandRefusesBuffersShorterThanTheirPacketAndRunsNothing)
{
    Library lib = makeLibrary();
    ASSERT_EQ(lib->Create("cmd", 0.0f, 0.0f), 0);
    LayoutStream s;
    const uint32_t wire = s.wire(2, kBlock, 48000.0f);
    ASSERT_EQ(kvehost::sendStream(*lib, s.words()), 0);
    const uint32_t rate = member(wire, kWireSampleRate);

    // Five words: set the wire's sample rate to 8000.
    const std::vector<uint32_t> setRate = kvepackets::packet(9, {rate, bits(8000.0f), 0});
    ASSERT_EQ(setRate.size(), 5u);
    std::vector<uint32_t> buffer = setRate;
    const struct {
        const char *what;
        uint32_t *buffer;
        uint32_t length;
    } cases[] = {
        {"no buffer", nullptr, 5},
        {"no length", buffer.data(), 0},
        {"four words for a five-word packet", buffer.data(), 4},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(lib->SendCommand(c.buffer, c.length), KVE_E_BAD_ARGUMENT) << c.what;
        EXPECT_EQ(buffer, setRate) << c.what << ": no reply is written";
        EXPECT_EQ(fetch(*lib, rate), bits(48000.0f)) << c.what;
    }

    EXPECT_EQ(lib->SendCommand(buffer.data(), 5), 0);
    EXPECT_EQ(buffer[0], 0x30000u);
    EXPECT_EQ(buffer[1], 0u);
    EXPECT_EQ(fetch(*lib, rate), bits(8000.0f));
}

TEST(LibraryInterface, SendCommandSucceedsWhateverThePacketsOwnStatus)
{
    Library lib = makeLibrary();
    ASSERT_EQ(lib->Create("cmd", 0.0f, 0.0f), 0);
    std::vector<uint32_t> badCheck = {0x30001u, 5u, 0u};
    EXPECT_EQ(lib->SendCommand(badCheck.data(), 3), 0);
    EXPECT_EQ(badCheck, (std::vector<uint32_t>{0x30000u, 0xFFFFFFB4u, 0xFFFCFFB4u}));

    const std::vector<uint32_t> unknownClass = command(*lib, 15, {0xBEEF7777u, 0, 0});
    EXPECT_EQ(static_cast<int32_t>(unknownClass.at(1)), KVE_E_CLASS_NOT_FOUND);
}

// --- The pump ---

TEST(LibraryPump, RefusesToRunWithoutAStartOrALayoutAndOutputsSilence)
{
    const struct {
        const char *what;
        bool start;
        int32_t expected;
    } cases[] = {
        {"not started", false, KVE_E_NOT_STARTED},
        {"started without a layout", true, KVE_E_NO_LAYOUT},
    };
    for (const auto &c : cases) {
        Library lib = makeLibrary();
        ASSERT_EQ(lib->Create("pump", 0.0f, 0.0f), 0);
        if (c.start)
            command(*lib, kvehost::kStartOpcode);
        EXPECT_EQ(lib->IsStarted(), c.start);
        std::vector<_Sample> in = ramp(kStereoWords, 1.0f);
        std::vector<_Sample> out(kStereoWords + 4);
        for (_Sample &s : out)
            s.u = 0xDEADBEEFu;
        EXPECT_EQ(lib->PumpAudio(in.data(), out.data(), kStereoWords, kStereoWords), c.expected) << c.what;
        for (uint32_t i = 0; i < kStereoWords; ++i)
            ASSERT_EQ(out[i].u, 0u) << c.what << ", word " << i;
        for (uint32_t i = kStereoWords; i < out.size(); ++i)
            EXPECT_EQ(out[i].u, 0xDEADBEEFu) << c.what << ": only the asked words are written";
        EXPECT_EQ(lib->PumpCount(), 0u);
    }
}

TEST(LibraryPump, RefusesUnsetAddressesAndBlocksLargerThanTheWires)
{
    Library lib = startedChain();
    std::vector<_Sample> in = ramp(kStereoWords + 1, 1.0f);
    std::vector<_Sample> out(kStereoWords + 1);
    const struct {
        const char *what;
        uint32_t inId, outId;
        const _Sample *in;
        _Sample *out;
        uint32_t inCount, outCount;
        int32_t expected;
    } cases[] = {
        {"output address unset", 1, 0, in.data(), out.data(), kStereoWords, kStereoWords, KVE_E_NO_PUMP_ADDRESS},
        {"input address unset", 0, 2, in.data(), out.data(), kStereoWords, kStereoWords, KVE_E_NO_PUMP_ADDRESS},
        {"one input word too many", 1, 2, in.data(), out.data(), kStereoWords + 1, kStereoWords, KVE_E_BAD_ARGUMENT},
        {"one output word too many", 1, 2, in.data(), out.data(), kStereoWords, kStereoWords + 1,
         KVE_E_BAD_ARGUMENT},
        {"input count near 2^32", 1, 2, in.data(), out.data(), 0xFFFFFFFFu, kStereoWords, KVE_E_BAD_ARGUMENT},
        {"output count near 2^32", 1, 2, in.data(), out.data(), kStereoWords, 0xFFFFFFFFu, KVE_E_BAD_ARGUMENT},
        {"no input samples", 1, 2, nullptr, out.data(), kStereoWords, kStereoWords, KVE_E_BAD_ARGUMENT},
        {"no output samples", 1, 2, in.data(), nullptr, kStereoWords, kStereoWords, KVE_E_BAD_ARGUMENT},
    };
    const uint32_t runs = member(4, kLayoutRunCount);
    for (const auto &c : cases) {
        lib->SetLayoutAddresses(c.inId, c.outId, 0);
        for (_Sample &s : out)
            s.u = 0xDEADBEEFu;
        EXPECT_EQ(lib->PumpAudio(c.in, c.out, c.inCount, c.outCount), c.expected) << c.what;
        EXPECT_EQ(fetch(*lib, runs), 0u) << c.what << ": no layout ran";
        EXPECT_EQ(out[0].u, 0xDEADBEEFu) << c.what << ": no output written";
    }
    EXPECT_EQ(lib->PumpCount(), 0u);
    lib->SetLayoutAddresses(1, 2, 0);
    EXPECT_EQ(lib->PumpAudio(in.data(), out.data(), kStereoWords, kStereoWords), 0);
    EXPECT_EQ(fetch(*lib, runs), 1u);
}

TEST(LibraryPump, CopierChainsPassEveryBlockThroughUnchanged)
{
    const struct {
        uint32_t modules, channels;
    } cases[] = {{1, 2}, {3, 1}, {10, 4}};
    for (const auto &c : cases) {
        Library lib = startedChain(c.modules, c.channels);
        const kvehost::CopierChain chain = kvehost::copierChain(c.channels, kBlock, c.modules);
        // The default addresses name wires 1 and 2; a longer chain ends elsewhere.
        lib->SetLayoutAddresses(chain.inputWire, chain.outputWire, 0);
        const uint32_t words = c.channels * kBlock;
        for (int block = 0; block < 5; ++block) {
            const std::vector<_Sample> in = ramp(words, static_cast<float>(block) * 100.0f - 7.0f);
            std::vector<_Sample> out(words);
            ASSERT_EQ(lib->PumpAudio(in.data(), out.data(), words, words), 0);
            for (uint32_t i = 0; i < words; ++i)
                ASSERT_EQ(out[i].u, in[i].u) << c.modules << " copiers, block " << block << ", word " << i;
        }
        EXPECT_EQ(lib->PumpCount(), 5u);
    }
}

TEST(LibraryPump, ClockDividersAndAChosenLayoutDecideWhatRuns)
{
    // Layouts 3, 4 and 5 with dividers 1, 3 and 0, after wires 1 and 2; seven pumps.
    const struct {
        const char *what;
        uint32_t chosenId;
        uint32_t runs[3];
    } cases[] = {
        {"dividers", 0, {7, 3, 7}},
        {"the layout with divider 3 alone", 4, {0, 7, 0}},
        {"a wire is no layout to choose", 1, {7, 3, 7}},
        {"an unknown id is no layout to choose", 77, {7, 3, 7}},
    };
    for (const auto &c : cases) {
        Library lib = makeLibrary();
        ASSERT_EQ(lib->Create("div", 0.0f, 0.0f), 0);
        LayoutStream s;
        s.wire(2, kBlock);
        s.wire(2, kBlock);
        const uint32_t layouts[] = {s.layout(1, 1), s.layout(1, 3), s.layout(1, 0)};
        s.start();
        ASSERT_EQ(kvehost::sendStream(*lib, s.words()), 0);
        lib->SetLayoutAddresses(1, 2, c.chosenId);
        std::vector<_Sample> in(kStereoWords), out(kStereoWords);
        for (int i = 0; i < 7; ++i)
            ASSERT_EQ(lib->PumpAudio(in.data(), out.data(), kStereoWords, kStereoWords), 0);
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(fetch(*lib, member(layouts[k], kLayoutRunCount)), c.runs[k]) << c.what << ", layout " << k;
    }
}

TEST(LibraryPump, ServesADeferredSetAfterTheLayoutsOfTheSameBlock)
{
    Library lib = startedChain();
    KVEInstance *instance = instanceOf(*lib);
    ASSERT_NE(instance, nullptr);
    auto *deferred = reinterpret_cast<kvetest::DeferredModule *>(
        addTestModule(instance, kvetest::kDeferredClass.record, {1, 0}));
    // A second layout holding only the module that asks for a deferred Set from its Process.
    LayoutStream s;
    s.add(16, {1, 1});
    ASSERT_EQ(kvehost::sendStream(*lib, s.words()), 0);
    const uint32_t layoutId = instance->lastLayout->objectId;
    ASSERT_EQ(command(*lib, 47, {layoutId, 0, deferred->header.objectId}).at(1), 0u);

    std::vector<_Sample> in(kStereoWords), out(kStereoWords);
    ASSERT_EQ(lib->PumpAudio(in.data(), out.data(), kStereoWords, kStereoWords), 0);
    EXPECT_EQ(deferred->requests, 0u);
    EXPECT_EQ(deferred->fullSets, 1u);
}

// --- Start, stop and measurement ---

struct CallbackLog {
    CKVELib *lib = nullptr;
    int starts = 0;
    int stops = 0;
    void *lastContext = nullptr;
    bool startedDuringCall = false;
    int32_t reentryStatus = -1;

    static void onStart(void *context)
    {
        auto *log = static_cast<CallbackLog *>(context);
        log->starts++;
        log->lastContext = context;
        log->startedDuringCall = log->lib->IsStarted();
        log->lib->FetchValue(member(1, kWireSampleRate), &log->reentryStatus);
    }
    static void onStop(void *context)
    {
        auto *log = static_cast<CallbackLog *>(context);
        log->stops++;
        log->lastContext = context;
        log->startedDuringCall = log->lib->IsStarted();
    }
};

TEST(LibraryStartStop, CallbacksHearEachChangeOnceWithTheirContext)
{
    Library lib = makeLibrary();
    ASSERT_EQ(lib->Create("cb", 0.0f, 0.0f), 0);
    ASSERT_EQ(kvehost::sendStream(*lib, kvehost::copierChain(2, kBlock, 1, false).stream.words()), 0);
    CallbackLog log;
    log.lib = lib.get();
    lib->SetStartStopCallbacks(&log, CallbackLog::onStart, CallbackLog::onStop);

    const struct {
        uint32_t opcode;
        int starts, stops;
        bool startedAfter;
    } steps[] = {
        {kvehost::kStartOpcode, 1, 0, true},
        {kvehost::kStartOpcode, 1, 0, true},
        {kvehost::kStopOpcode, 1, 1, false},
        {kvehost::kStopOpcode, 1, 1, false},
        {kvehost::kStartOpcode, 2, 1, true},
    };
    for (size_t i = 0; i < std::size(steps); ++i) {
        const std::vector<uint32_t> reply = command(*lib, steps[i].opcode);
        EXPECT_EQ(reply.at(1), 0u) << "step " << i;
        EXPECT_EQ(log.starts, steps[i].starts) << "step " << i;
        EXPECT_EQ(log.stops, steps[i].stops) << "step " << i;
        EXPECT_EQ(lib->IsStarted(), steps[i].startedAfter) << "step " << i;
        EXPECT_EQ(log.startedDuringCall, steps[i].startedAfter) << "step " << i << ": the flag is set before the call";
    }
    EXPECT_EQ(log.lastContext, &log);
    EXPECT_EQ(log.reentryStatus, 0) << "a callback may call back into the object";
}

TEST(LibraryStartStop, StartingWithoutCallbacksStillStartsAndClearsTheMeasure)
{
    Library lib = startedChain();
    std::vector<_Sample> in(kStereoWords), out(kStereoWords);
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(lib->PumpAudio(in.data(), out.data(), kStereoWords, kStereoWords), 0);
    EXPECT_EQ(lib->PumpCount(), 3u);
    command(*lib, kvehost::kStopOpcode);
    EXPECT_FALSE(lib->IsStarted());
    EXPECT_EQ(lib->PumpCount(), 0u);
    ASSERT_EQ(lib->PumpAudio(in.data(), out.data(), kStereoWords, kStereoWords), KVE_E_NOT_STARTED);
    command(*lib, kvehost::kStartOpcode);
    EXPECT_TRUE(lib->IsStarted());
    ASSERT_EQ(lib->PumpAudio(in.data(), out.data(), kStereoWords, kStereoWords), 0);
    EXPECT_EQ(lib->PumpCount(), 1u);
}

TEST(LibraryMeasure, AverageCyclesStaysZeroThroughTheWarmUpThenFollowsTheLayoutTime)
{
    kvetest::FakeClock clock(1000, 7);
    Library lib = makeLibrary();
    ASSERT_EQ(lib->CreateEx("timed", 0.0f, 0.0f, true, kBlock, 0, 2, 2), 0);
    const kvehost::CopierChain chain = kvehost::copierChain(2, kBlock, 1);
    ASSERT_EQ(kvehost::sendStream(*lib, chain.stream.words()), 0);
    std::vector<_Sample> in(kStereoWords), out(kStereoWords);
    for (int i = 1; i <= 20; ++i) {
        ASSERT_EQ(lib->PumpAudio(in.data(), out.data(), kStereoWords, kStereoWords), 0);
        EXPECT_EQ(lib->AverageCycles(), 0.0) << "pump " << i;
    }
    ASSERT_EQ(lib->PumpAudio(in.data(), out.data(), kStereoWords, kStereoWords), 0);
    const uint32_t lastTime = fetch(*lib, member(chain.layout, kLayoutLastTime));
    EXPECT_GT(lastTime, 0u);
    EXPECT_DOUBLE_EQ(lib->AverageCycles(), lastTime / 256.0 / 21.0);

    lib->ClearMeasure();
    EXPECT_EQ(lib->PumpCount(), 0u);
    EXPECT_EQ(lib->AverageCycles(), 0.0);
}

TEST(LibraryMeasure, WithoutProfilingNoTimeIsMeasured)
{
    kvetest::FakeClock clock(1000, 7);
    Library lib = startedChain();
    std::vector<_Sample> in(kStereoWords), out(kStereoWords);
    for (int i = 0; i < 30; ++i)
        ASSERT_EQ(lib->PumpAudio(in.data(), out.data(), kStereoWords, kStereoWords), 0);
    EXPECT_EQ(lib->PumpCount(), 30u);
    EXPECT_EQ(lib->AverageCycles(), 0.0);
}

TEST(LibraryMeasure, GetCyclesReadsTheEngineClock)
{
    kvetest::FakeClock clock(123456789, 0);
    Library lib = makeLibrary();
    EXPECT_EQ(lib->GetCycles(), 123456789u);
}

// --- Pin properties ---

TEST(LibraryPins, PinPropsDescribeTheWiresBoundToThePins)
{
    constexpr uint32_t kUntouched = 0xAAAAAAAAu;
    const struct {
        const char *what;
        bool bindInput, bindOutput;
        uint32_t expected[9];
    } cases[] = {
        {"both bound", true, true, {96, 3, 0, 1, 0, 1, 1, 2, 44100}},
        {"output unbound", true, false, {96, 3, 0, 1, 0, 0, 0, 0, 44100}},
        {"input unbound", false, true, {0, 0, 0, 0, 0, 1, 1, 2, 0}},
    };
    for (const auto &c : cases) {
        Library lib = makeLibrary();
        ASSERT_EQ(lib->CreateEx("props", 0.0f, 0.0f, false, kBlock, 0, 3, 1), 0);
        uint32_t p[9];
        std::fill(std::begin(p), std::end(p), kUntouched);
        EXPECT_EQ(lib->PinPropsEx(&p[0], &p[1], &p[2], &p[3], &p[4], &p[5], &p[6], &p[7], &p[8]), 0);
        for (uint32_t v : p)
            EXPECT_EQ(v, kUntouched) << c.what << ": nothing is reported before a layout exists";

        LayoutStream s;
        s.wire(3, kBlock, 44100.9f, 96u << 10);
        s.wire(1, kBlock, 16000.0f, 1u << 27);
        s.layout(1);
        if (c.bindInput)
            s.bind(1, kvepackets::inputPin(0));
        if (c.bindOutput)
            s.bind(2, kvepackets::outputPin(0));
        ASSERT_EQ(kvehost::sendStream(*lib, s.words()), 0);

        EXPECT_EQ(lib->PinPropsEx(&p[0], &p[1], &p[2], &p[3], &p[4], &p[5], &p[6], &p[7], &p[8]), 1);
        for (int i = 0; i < 9; ++i)
            EXPECT_EQ(p[i], c.expected[i]) << c.what << ", output " << i;

        uint32_t q[8];
        std::fill(std::begin(q), std::end(q), kUntouched);
        EXPECT_EQ(lib->PinProps(&q[0], &q[1], &q[2], &q[3], &q[4], &q[5], &q[6], &q[7]), 1);
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(q[i], c.expected[i]) << c.what << ", PinProps output " << i;
        EXPECT_EQ(lib->PinPropsEx(&p[0], &p[1], &p[2], &p[3], &p[4], &p[5], &p[6], &p[7], nullptr), 1)
            << "the rate output may be left out";
    }
}

// --- Values ---

TEST(LibraryValues, ArraysAreReadAndWrittenByCountThenOffset)
{
    Library lib = startedChain();
    const std::vector<_Sample> four = ramp(4, 10.0f);
    ASSERT_EQ(lib->SetValues(0x1003, 4, four.data(), 0), 0);
    _Sample two[2] = {};
    ASSERT_EQ(lib->FetchValues(0x1003, 2, two, 1), 0);
    EXPECT_EQ(two[0].f, four[1].f);
    EXPECT_EQ(two[1].f, four[2].f);

    ASSERT_EQ(lib->SetValues(0x1003, 1, &four[3], kStereoWords - 1), 0) << "the last word of the buffer";
    EXPECT_EQ(lib->SetValues(0x1003, 2, four.data(), kStereoWords - 1), KVE_E_BAD_ARGUMENT) << "past the buffer";
    EXPECT_EQ(lib->FetchValues(0x1003, 2, two, kStereoWords - 1), KVE_E_BAD_ARGUMENT);
    EXPECT_EQ(lib->FetchValues(0x1003, 2, nullptr, 0), KVE_E_BAD_ARGUMENT);
    EXPECT_EQ(lib->SetValues(0x1003, 2, nullptr, 0), KVE_E_BAD_ARGUMENT);
}

TEST(LibraryValues, SingleValuesReachMembersAndReportTheAddressStatus)
{
    Library lib = startedChain();
    EXPECT_EQ(lib->SetValue(member(1, kWireSampleRate), _Sample{22050.0f}), 0);
    int32_t status = -1;
    EXPECT_EQ(lib->FetchValue(member(1, kWireSampleRate), &status).f, 22050.0f);
    EXPECT_EQ(status, 0);

    status = 0;
    EXPECT_EQ(lib->FetchValue(member(99, 4), &status).u, 0u);
    EXPECT_LT(status, 0) << "an id never issued";
    EXPECT_LT(lib->SetValue(member(99, 4), _Sample{1.0f}), 0);
    EXPECT_EQ(lib->FetchValue(member(1, kWireSampleRate), nullptr).f, 22050.0f) << "the status may be left out";
}

TEST(LibraryValues, SetValueRunsTheModulesSetAndReturnsItsResult)
{
    Library lib = startedChain();
    ClassModule *m = addTestModule(instanceOf(*lib), kvetest::kFailingSetClass.record, {0});
    ASSERT_NE(m, nullptr);
    kvetest::setLog().clear();

    _Sample failWith{};
    failWith.i = -44;
    EXPECT_EQ(lib->SetValue(member(m->objectId, 8), failWith), -44);
    ASSERT_EQ(kvetest::setLog().size(), 1u);
    EXPECT_EQ(kvetest::setLog()[0].objectId, m->objectId);
    EXPECT_EQ(kvetest::setLog()[0].mask, KVE_MASK_HOST);
    EXPECT_EQ(lib->FetchValue(member(m->objectId, 8), nullptr).i, -44);
}

// --- Stored layouts ---

std::vector<uint32_t> copierStream() { return kvehost::copierChain(2, kBlock, 2).stream.words(); }

void expectPassesAudio(CKVELib &lib)
{
    lib.SetLayoutAddresses(1, 3, 0);
    const std::vector<_Sample> in = ramp(kStereoWords, -3.0f);
    std::vector<_Sample> out(kStereoWords);
    ASSERT_TRUE(lib.IsStarted());
    ASSERT_EQ(lib.PumpAudio(in.data(), out.data(), kStereoWords, kStereoWords), 0);
    for (uint32_t i = 0; i < kStereoWords; ++i)
        ASSERT_EQ(out[i].u, in[i].u) << "word " << i;
}

// A stream whose third packet names a class the table lacks; its stored offset is where the load stops.
std::vector<uint32_t> failingStream(uint32_t *failingOffset)
{
    LayoutStream s;
    s.wire(2, kBlock);
    s.wire(2, kBlock);
    *failingOffset = static_cast<uint32_t>(s.words().size());
    s.module(0xBEEF7777u, 0x101, {1, 2});
    s.layout(1);
    return s.words();
}

TEST(LibraryLoad, LayoutFilesLoadOnlyInTheirEncipheredForm)
{
    uint32_t failAt = 0;
    const std::vector<uint32_t> failing = failingStream(&failAt);
    const struct {
        const char *what;
        std::string path;
        int32_t expected;
        uint32_t errorOffset;
    } cases[] = {
        {"enciphered", writeFile("lib_enciphered.kvx", kvepackets::encipher(copierStream(), kve::kLibraryLayoutKey)),
         KVE_OK, 0},
        {"plain", writeFile("lib_plain.kvx", copierStream()), KVE_E_CIPHER_HEADER, 0},
        {"under another key", writeFile("lib_otherkey.kvx", kvepackets::encipher(copierStream(), "AnotherKeyString")),
         KVE_E_CIPHER_HEADER, 0},
        {"failing third packet",
         writeFile("lib_failing.kvx", kvepackets::encipher(failing, kve::kLibraryLayoutKey, 0x1234u, 0x5678u)),
         KVE_E_CLASS_NOT_FOUND, failAt},
        {"missing", ::testing::TempDir() + "lib_no_such_file.kvx", KVE_E_FILE_OPEN, 0},
    };
    for (const auto &c : cases) {
        Library lib = makeLibrary();
        ASSERT_EQ(lib->Create("file", 0.0f, 0.0f), 0);
        uint32_t errorOffset = 0xFFFFu;
        EXPECT_EQ(lib->LoadKvxFile(c.path.c_str(), &errorOffset), c.expected) << c.what;
        EXPECT_EQ(errorOffset, c.errorOffset) << c.what;
        if (c.expected == KVE_OK)
            expectPassesAudio(*lib);
        else
            EXPECT_FALSE(lib->IsStarted()) << c.what;
        std::remove(c.path.c_str());
    }

    Library lib = makeLibrary();
    ASSERT_EQ(lib->Create("file", 0.0f, 0.0f), 0);
    EXPECT_EQ(lib->LoadKvxFile(nullptr, nullptr), KVE_E_BAD_ARGUMENT);
    EXPECT_EQ(lib->LoadKvxFile("", nullptr), KVE_E_BAD_ARGUMENT);
}

TEST(LibraryLoad, LayoutArraysLoadOnlyInTheirEncipheredForm)
{
    uint32_t failAt = 0;
    const std::vector<uint32_t> failing = failingStream(&failAt);
    const struct {
        const char *what;
        std::vector<uint32_t> array;
        int32_t expected;
        uint32_t errorOffset;
    } cases[] = {
        {"enciphered", kvepackets::encipher(copierStream(), kve::kLibraryLayoutKey), KVE_OK, 0xFFFFu},
        {"plain", copierStream(), KVE_E_CIPHER_HEADER, 0},
        {"failing third packet", kvepackets::encipher(failing, kve::kLibraryLayoutKey), KVE_E_CLASS_NOT_FOUND,
         failAt},
    };
    for (const auto &c : cases) {
        Library lib = makeLibrary();
        ASSERT_EQ(lib->Create("mem", 0.0f, 0.0f), 0);
        uint32_t errorOffset = 0xFFFFu;
        EXPECT_EQ(lib->LoadKvxMem(c.array.data(), static_cast<uint32_t>(c.array.size()), &errorOffset), c.expected)
            << c.what;
        EXPECT_EQ(errorOffset, c.errorOffset) << c.what;
        if (c.expected == KVE_OK)
            expectPassesAudio(*lib);
    }

    Library lib = makeLibrary();
    ASSERT_EQ(lib->Create("mem", 0.0f, 0.0f), 0);
    const uint32_t word = KVE_CIPHER_MAGIC;
    EXPECT_EQ(lib->LoadKvxMem(nullptr, 5, nullptr), KVE_E_BAD_ARGUMENT);
    EXPECT_EQ(lib->LoadKvxMem(&word, 0, nullptr), KVE_E_BAD_ARGUMENT);
}

TEST(LibraryLoad, ArraysLoadThroughTheLoadersOwnBufferAfterASmallCommand)
{
    Library lib = makeLibrary();
    ASSERT_EQ(lib->Create("mem", 0.0f, 0.0f), 0);
    // A three-word command leaves its buffer registered with the interpreter; the layout's packets are longer.
    std::vector<uint32_t> nop = kvepackets::packet(87, {});
    nop.resize(3);
    ASSERT_EQ(lib->SendCommand(nop.data(), 3), 0);
    const std::vector<uint32_t> array = kvepackets::encipher(copierStream(), kve::kLibraryLayoutKey);
    EXPECT_EQ(lib->LoadKvxMem(array.data(), static_cast<uint32_t>(array.size()), nullptr), KVE_OK);
    EXPECT_EQ(nop[0], 0x30000u) << "the command's buffer holds its own reply, untouched by the load";
    expectPassesAudio(*lib);
}

// --- Teardown ---

TEST(LibraryDestroy, TearsTheLayoutDownAndForgetsTheEngine)
{
    Library lib = startedChain();
    KVEInstance *instance = instanceOf(*lib);
    ClassModule *m = addTestModule(instance, kvetest::kFailingSetClass.record, {0});
    ASSERT_NE(m, nullptr);
    const uint32_t moduleId = m->objectId;
    kvetest::setLog().clear();
    ASSERT_EQ(g_pKVE_instance, instance);

    lib->Destroy();
    ASSERT_EQ(kvetest::setLog().size(), 1u);
    EXPECT_EQ(kvetest::setLog()[0].objectId, moduleId);
    EXPECT_EQ(kvetest::setLog()[0].mask, KVE_MASK_TEARDOWN);
    EXPECT_EQ(kvetest::setLog()[0].atWork, instance);
    EXPECT_FALSE(lib->IsCreated());
    EXPECT_FALSE(lib->IsStarted());
    EXPECT_EQ(g_pKVE_instance, nullptr) << "no instance at work points at freed memory";
    lib->Destroy();

    ASSERT_EQ(lib->Create("again", 0.0f, 0.0f), 0);
    EXPECT_EQ(static_cast<int32_t>(command(*lib, 23).at(1)), KVE_E_END_OF_LIST) << "no object survives";
    const std::vector<uint32_t> heaps = command(*lib, 11);
    ASSERT_EQ(heaps.size(), 9u);
    const uint32_t sizes[3] = {3400000, 3400000, 1024000}; // heaps 1, 3 and 2, as the reply lists them
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(heaps[5 + k], sizes[k]);
        EXPECT_EQ(heaps[2 + k], sizes[k] - 1) << "only the guard word is in use";
    }
    std::vector<_Sample> in(kStereoWords), out(kStereoWords);
    EXPECT_EQ(lib->PumpAudio(in.data(), out.data(), kStereoWords, kStereoWords), KVE_E_NOT_STARTED);
    EXPECT_EQ(lib->PinProps(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 0)
        << "no layout";
}

// A host whose callbacks try to destroy the engine inside the command or load that started or stopped it.
struct DestroyingCallbacks {
    CKVELib *lib = nullptr;
    std::vector<int32_t> statuses;
    static void destroy(void *context)
    {
        auto *self = static_cast<DestroyingCallbacks *>(context);
        self->statuses.push_back(self->lib->Destroy());
    }
};

TEST(LibraryDestroy, IsRefusedWhileACommandOrLoadRunsAndTheEngineStaysWhole)
{
    Library lib = makeLibrary();
    ASSERT_EQ(lib->Create("busy", 0.0f, 0.0f), 0);
    DestroyingCallbacks host;
    host.lib = lib.get();
    lib->SetStartStopCallbacks(&host, DestroyingCallbacks::destroy, DestroyingCallbacks::destroy);

    // The layout array starts the engine as its last packet: the start callback runs inside the load.
    const std::vector<uint32_t> array = kvepackets::encipher(copierStream(), kve::kLibraryLayoutKey);
    EXPECT_EQ(lib->LoadKvxMem(array.data(), static_cast<uint32_t>(array.size()), nullptr), KVE_OK);
    EXPECT_EQ(host.statuses, std::vector<int32_t>{KVE_E_BAD_ARGUMENT});
    ASSERT_TRUE(lib->IsCreated());
    expectPassesAudio(*lib);

    // A stop command, then a start command: both callbacks run inside a command.
    EXPECT_EQ(command(*lib, kvehost::kStopOpcode).at(1), 0u);
    EXPECT_EQ(command(*lib, kvehost::kStartOpcode).at(1), 0u);
    EXPECT_EQ(host.statuses, (std::vector<int32_t>{KVE_E_BAD_ARGUMENT, KVE_E_BAD_ARGUMENT, KVE_E_BAD_ARGUMENT}));
    ASSERT_TRUE(lib->IsCreated());
    expectPassesAudio(*lib);

    // Once no command runs the host may destroy the engine.
    EXPECT_EQ(lib->Destroy(), KVE_OK);
    EXPECT_FALSE(lib->IsCreated());
    EXPECT_EQ(lib->Destroy(), KVE_OK) << "nothing left to destroy";
}

// --- Search path ---

TEST(LibrarySearchPath, SetsTheVariableAndCutsOverlongLists)
{
    const char *saved = std::getenv("KVE_SEARCH_PATH");
    const std::string restore = saved != nullptr ? saved : "";
    Library lib = makeLibrary();

    lib->SetSearchPath("/opt/models|/tmp");
    ASSERT_NE(std::getenv("KVE_SEARCH_PATH"), nullptr);
    EXPECT_STREQ(std::getenv("KVE_SEARCH_PATH"), "/opt/models|/tmp");

    // The whole setting, "KVE_SEARCH_PATH=" included, holds 10,240 characters at most.
    const std::string longList(20000, 'd');
    lib->SetSearchPath(longList.c_str());
    EXPECT_EQ(std::strlen(std::getenv("KVE_SEARCH_PATH")), 10240u - std::strlen("KVE_SEARCH_PATH="));

    if (saved != nullptr)
        setenv("KVE_SEARCH_PATH", restore.c_str(), 1);
    else
        unsetenv("KVE_SEARCH_PATH");
}

} // namespace
