// Writes the seed corpora of the fuzz targets: a few valid packets and layout streams, built with the packet
// builder against the "stereo-copy" example layout the fuzzed engine holds (wires 1 and 2 bound to input pin 0 and
// output pin 0, Copier 3, layout 4), the "stereo-chain" example, and one layout for each installed class, so that
// the fuzzers start from every class's constructor, Set and Process; and object files holding a record of every
// registered type, one file per area of type names. Rerunning it rewrites the same files: make_corpus DIR writes
// DIR/<target>/.
#include <array>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "Engine/LayoutCipher.h"
#include "Recognizer/Runtime/ContainerTypes.h"
#include "FuzzEngine.h"
#include "kve/kve_engine.h"
#include "kve/kve_packet.h"
#include "kve/kve_recognizer.h"
#include "kve/kve_recognizer_runtime.h"
#include "layouts/ExampleLayouts.h"
#include "layouts/LayoutOutput.h"
#include "packets/PacketBuilder.h"

namespace {

using kvepackets::bits;
using kvepackets::LayoutStream;
using kvepackets::packet;

constexpr uint32_t kInputWire = 1, kOutputWire = 2, kCopier = 3, kLayout = 4;
constexpr uint32_t kCopierClassId = 0xBEEF0860u;

// A wire's sample buffer, followed through its pointer member.
constexpr uint32_t samples(uint32_t wire) { return KVE_MEMBER_ADDRESS(wire, 3) | KVE_MEMBER_DEREF; }

// The packet followed by spare words, for opcodes whose reply is longer than their request.
std::vector<uint32_t> withRoom(std::vector<uint32_t> p, size_t spare)
{
    p.resize(p.size() + spare, 0);
    return p;
}

struct Seed {
    std::string name;
    std::vector<uint32_t> words;
};

std::vector<Seed> packetSeeds()
{
    LayoutStream embedded;
    const uint32_t wire = embedded.wire(1, 16);
    embedded.setValue(samples(wire), bits(0.5f), 3);

    std::vector<uint32_t> pumpBlock = {0, samples(kInputWire), 0, samples(kOutputWire), 0, 4, 4};
    for (uint32_t i = 0; i < 4; ++i)
        pumpBlock.push_back(bits(0.25f * static_cast<float>(i)));
    std::vector<uint32_t> executeArray = {static_cast<uint32_t>(embedded.words().size())};
    executeArray.insert(executeArray.end(), embedded.words().begin(), embedded.words().end());

    return {
        {"set-call", packet(1, {kCopier, KVE_MASK_ALL})},
        {"get-call", packet(2, {kCopier, KVE_MASK_ALL})},
        {"class-type", withRoom(packet(4, {kCopier}), 1)},
        {"pin-type", withRoom(packet(5, {kvepackets::inputPin(0)}), 8)},
        {"create-wire", packet(6, {bits(48000.0f), kvepackets::wireInfo1(2), 32, 0})},
        {"bind", packet(7, {kOutputWire, kvepackets::outputPin(0)})},
        {"fetch-value", packet(8, {samples(kInputWire), 5})},
        {"set-value", packet(9, {samples(kInputWire), bits(-0.5f), 5})},
        {"heap-size", withRoom(packet(11, {}), 7)},
        {"destroy", packet(12, {})},
        {"class-info", withRoom(packet(14, {0}), 2)},
        {"create-copier", packet(15, {kCopierClassId, 0x101, 0, kOutputWire, kInputWire})},
        {"create-layout", packet(16, {2, 3})},
        {"module-state", packet(19, {kCopier, KVE_STATE_BYPASSED})},
        {"pump-module", packet(21, {kCopier})},
        {"pump-layout", withRoom(packet(22, {kLayout}), 2)},
        {"first-object", withRoom(packet(23, {}), 3)},
        {"next-object", withRoom(packet(24, {kInputWire}), 2)},
        {"first-io", withRoom(packet(25, {}), 10)},
        {"start", packet(27, {})},
        {"fetch-values", withRoom(packet(29, {samples(kInputWire), 2, 4}), 4)},
        {"set-values", packet(30, {samples(kInputWire), 60, 4, 1, 2, 3, 4})},
        {"target-info", withRoom(packet(41, {}), 12)},
        {"add-modules", packet(47, {kLayout, 0, kCopier})},
        {"pump-block", packet(58, pumpBlock)},
        {"set-pointer", packet(77, {KVE_MEMBER_ADDRESS(kCopier, 3), samples(kOutputWire), 1})},
        {"wire-type", withRoom(packet(85, {kOutputWire}), 5)},
        {"renumber", packet(86, {kCopier, 30000})},
        {"stop-destroy", packet(93, {})},
        {"echo", packet(111, {0xAB, 2, 0x0000FFFFu, 0x12345678u})},
        {"execute-array", packet(112, executeArray)},
    };
}

std::vector<Seed> arraySeeds()
{
    const std::vector<uint32_t> copy = kvelayouts::findExampleLayout("stereo-copy")->build({}).words();

    // A module of a class the table does not hold, after two wires: the load stops at the third packet.
    LayoutStream missingClass;
    const uint32_t a = missingClass.wire(2, 32);
    const uint32_t b = missingClass.wire(2, 32);
    missingClass.module(0xBEEFF0F0u, 0x101, {a, b});
    missingClass.bind(a, kvepackets::inputPin(0));

    // A zero word ends the stream; the packets after it never run.
    LayoutStream stopped;
    stopped.lookupTable(8);
    stopped.wire(1, 8);
    std::vector<uint32_t> stoppedWords = stopped.words();
    stoppedWords.push_back(0);
    stoppedWords.insert(stoppedWords.end(), copy.begin(), copy.end());

    // Values written into a wire, and a small array run from inside a packet.
    LayoutStream values;
    const uint32_t w = values.wire(2, 8);
    values.setValue(samples(w), bits(1.0f), 15);
    values.add(30, {samples(w), 0, 3, bits(0.1f), bits(0.2f), bits(0.3f)});
    std::vector<uint32_t> executeArray = {static_cast<uint32_t>(copy.size())};
    executeArray.insert(executeArray.end(), copy.begin(), copy.end());
    values.add(112, executeArray);

    // A stored packet whose length field is longer than any loader buffer.
    std::vector<uint32_t> tooLong = {KVE_PACKET_WORD0(111, 300), 0, 297};
    tooLong.resize(299, 0x5A5A5A5Au);

    return {
        {"stereo-copy", copy},
        {"stereo-copy-enciphered", kvepackets::encipher(copy, kve::kLibraryLayoutKey)},
        {"missing-class", missingClass.words()},
        {"zero-word-ends", stoppedWords},
        {"values-and-embedded-array", values.words()},
        {"packet-too-long", tooLong},
    };
}

// A pump of one block through the first layout: the first four samples of wire `in` written, four of `out` read.
std::vector<uint32_t> pumpPacket(uint32_t in, uint32_t out)
{
    return {0, samples(in), 0, samples(out), 0, 4, 4, bits(0.5f), bits(-0.25f), bits(0.125f), bits(1.0f)};
}

// The stereo chain, pumped once.
Seed pumpedChain()
{
    LayoutStream chain = kvelayouts::findExampleLayout("stereo-chain")->build({});
    constexpr uint32_t kChainInput = 1, kChainOutput = 4;
    chain.add(58, pumpPacket(kChainInput, kChainOutput));
    return {"stereo-chain-pumped", chain.words()};
}

// Wirings tried, in order, for a class's layout: the first one its constructor takes is used.
constexpr uint32_t kWirings[] = {0x101, 0x10101, 0x102, 0x201, 0x103, 0x202, 0x301, 0x100, 0x10100};
constexpr uint32_t kWires = 4;

uint32_t wiresOf(uint32_t wireWord)
{
    return KVE_PACKED_INPUTS(wireWord) + KVE_PACKED_OUTPUTS(wireWord) + KVE_PACKED_SCRATCH(wireWord);
}

// Values given to every construction argument, in order: 0 first; then the default heap list, for classes with a
// heap-list argument (0 names no heap and such a class cannot be built with it). Sizes and floats read from that
// word stay small.
constexpr uint32_t kArgumentFills[] = {0, KVE_HEAPS_DEFAULT};

// One way of building a class for its seed: construction arguments, the wirings tried in order, and the block
// size of each of the four stereo wires.
struct Build {
    std::vector<uint32_t> args;
    std::vector<uint32_t> wirings{std::begin(kWirings), std::end(kWirings)};
    std::array<uint32_t, kWires> blocks{32, 32, 32, 32};
};

// Builds for classes that take neither fill on equal wires: counts of at least 1 or 2 and arrays that hold what the
// wires carry (a splitter of two bands; beamformers of one direction with the 64 weights of 16 subbands of two
// microphones, and the second form's 16 table rows; a measurement whose pass is one block; aliased and repeated
// windows of 64 samples over two blocks), or wires of the shapes the class transforms between (a real transform of
// 16 samples into 9 bins and back, each with its scratch; polar conversion with its scratch; a real block modulated
// into complex samples twice its length; weighting filters of three stages on their two scratch wires; a state-space
// Butterworth filter of an order it can design).
struct ClassBuild {
    uint32_t classId;
    Build build;
};
const ClassBuild kClassBuilds[] = {
    {0xBEEF0D31u, {{2}}},
    {0xBEEF42FCu, {{1, 64}}},
    {0xBEEF42FDu, {{1, 64, 16}}},
    {0xBEEF0D10u, {{32, 1, 0, 0, 0, 0}}},
    {0xBEEF0D4Bu, {{64, 0, 2}}},
    {0xBEEF0D4Au, {{64, 0, 2, 0}}},
    {0xBEEF0D1Eu, {{64, 2}}},
    {0xBEEF0CF5u, {{}, {0x10101}, {16, 18, 16, 32}}},
    {0xBEEF0CF4u, {{}, {0x10101}, {16, 18, 16, 32}}},
    {0xBEEF0D09u, {{}, {0x10101}, {18, 16, 18, 32}}},
    {0xBEEF0CD7u, {{}, {0x10201}}},
    {0xBEEF0CD5u, {{0}, {0x101}, {16, 32, 32, 32}}},
    {0xBEEF0CBEu, {{2, 3}, {0x20101}}},
    {0xBEEF0CBDu, {{2, 3}, {0x20101}}},
    {0xBEEF0CCCu, {{0, 4, bits(1000.0f)}}},
};

// The builds tried for a class, in order: each fill for every argument on equal wires, then the class's own build if
// it has one.
std::vector<Build> buildsFor(const ModClassDescriptor *c)
{
    std::vector<Build> builds;
    for (uint32_t fill : kArgumentFills)
        builds.push_back({std::vector<uint32_t>(kve_ClassPublicCount(c), fill)});
    for (const ClassBuild &b : kClassBuilds)
        if (b.classId == c->classId)
            builds.push_back(b.build);
    return builds;
}

// The seed of one class built on one wiring: four stereo wires of the build's blocks, the class with the build's
// arguments, a layout holding it, a start and one pumped block. Empty when the class refuses that build.
std::vector<uint32_t> classSeed(KVEInstance *e, const ModClassDescriptor *c, uint32_t wireWord, const Build &b)
{
    kve_fwDestroy(e);
    int32_t status = KVE_OK;
    GenericWire *w[kWires];
    for (uint32_t i = 0; i < kWires; ++i)
        w[i] = ClassWire_Constructor(e, &status, bits(48000.0f), kvepackets::wireInfo1(2), b.blocks[i], 0);
    ClassModule *m = ClassModule_Constructor3(e, c->classId, &status, wireWord, w,
                                              static_cast<uint32_t>(b.args.size()), b.args.data());
    if (m == nullptr || status != KVE_OK)
        return {};
    const uint32_t inner = e->lastObject->objectId - m->objectId;
    LayoutStream s;
    s.lookupTable(16);
    std::vector<uint32_t> ids;
    for (uint32_t i = 0; i < kWires; ++i)
        ids.push_back(s.wire(2, b.blocks[i]));
    const std::vector<uint32_t> wired(ids.begin(), ids.begin() + wiresOf(wireWord));
    const uint32_t module = s.module(c->classId, wireWord, wired, b.args, inner);
    const uint32_t layout = s.layout(1);
    s.place(layout, 0, {module});
    s.start();
    s.add(58, pumpPacket(ids[0], ids[KVE_PACKED_INPUTS(wireWord)]));
    return s.words();
}

// For each installed class, the seed of the first build and wiring it takes. Classes that take none are
// left out.
std::vector<Seed> classSeeds()
{
    kvefuzz::FuzzEngine trial;
    KVEInstance *e = trial.get();
    std::vector<Seed> seeds;
    for (uint32_t k = 0; k < g_module_descriptor_count; ++k) {
        const ModClassDescriptor *c = g_module_descriptor_table[k];
        std::vector<uint32_t> words;
        for (const Build &b : buildsFor(c))
            for (uint32_t wireWord : b.wirings)
                if (words.empty())
                    words = classSeed(e, c, wireWord, b);
        if (!words.empty()) {
            char name[32];
            std::snprintf(name, sizeof name, "class-%08x", c->classId);
            seeds.push_back({name, words});
        }
    }
    kve_fwDestroy(e);
    return seeds;
}

bool writeSeeds(const std::filesystem::path &dir, const std::vector<Seed> &seeds)
{
    std::filesystem::create_directories(dir);
    for (const Seed &s : seeds) {
        if (!kvelayouts::writeLayoutFile((dir / s.name).string(), s.words)) {
            std::fprintf(stderr, "make_corpus: cannot write %s\n", (dir / s.name).c_str());
            return false;
        }
    }
    return true;
}

// One object file per area of type names ("usearch", "speaker", ...; the runtime's own one-word names together),
// holding an empty record of each type of that area; and one of records with values in their arrays, keyed included.
bool writeObjectSeeds(const std::filesystem::path &dir)
{
    std::filesystem::create_directories(dir);
    qhvSession_t *session = qhvSessionCreate();
    std::map<std::string, std::vector<typedObject *>> areas;
    uint32_t count = 0;
    const containerDescriptor *types = containerRegistry(&count);
    for (uint32_t k = 0; k < count; ++k) {
        const std::string name = types[k].name;
        typedObject *object = objectCreate(session, &types[k], nullptr);
        uint64_t size = 0;
        if (object && objectEncodedSize(session, object, &size) == 0)
            areas[name.find('/') == std::string::npos ? "runtime" : name.substr(0, name.find('/'))].push_back(object);
        else
            objectDestroy(session, object);
    }

    const containerDescriptor *waveType = nullptr, *keyedType = nullptr;
    containerFind(session, "wave", &waveType);
    containerFind(session, "keyed/object", &keyedType);
    int16_t samples[] = {1, -2, 32767};
    float rate = 16000.0f;
    struct wave w = {3, samples, 1, &rate};
    const typedObject waveObject = {&w, waveType};
    const int32_t five = 5;
    keyedRecord *keyed = keyedObjectCreate(session, "level", 1, "oneint", &five);
    areas["values"] = {objectCopy(session, &waveObject), objectCreate(session, keyedType, keyed)};

    bool ok = true;
    for (auto &[area, objects] : areas) {
        std::vector<objectListNode> nodes(objects.size());
        for (size_t i = 0; i < objects.size(); ++i)
            nodes[i] = {objects[i], i + 1 < objects.size() ? &nodes[i + 1] : nullptr};
        const std::string path = (dir / ("objects-" + area)).string();
        if (qhvObjWrite(session, nodes.data(), path.c_str()) != 0) {
            std::fprintf(stderr, "make_corpus: cannot write %s: %s\n", path.c_str(), qhvGetLastError(session));
            ok = false;
        }
        for (typedObject *object : objects)
            objectDestroy(session, object);
    }
    qhvSessionDestroy(session);
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_corpus CORPUS_DIR\n");
        return 2;
    }
    const std::filesystem::path root = argv[1];
    std::vector<Seed> layouts = arraySeeds();
    layouts.push_back(pumpedChain());
    for (Seed &s : classSeeds())
        layouts.push_back(std::move(s));
    return writeSeeds(root / "packet_fuzzer", packetSeeds()) && writeSeeds(root / "array_fuzzer", layouts) &&
                   writeObjectSeeds(root / "object_file_fuzzer")
               ? 0
               : 1;
}
