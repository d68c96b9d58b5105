// The command-packet interpreter: checks one packet in the registered buffer, runs its opcode and writes the reply
// over it.
//
// Packets come from hosts and stored layouts and are not trusted: before anything runs, every operand the opcode
// names must lie inside the packet, and the whole reply must fit the registered buffer.
#include <cstring>

#include "Engine/EngineInternal.h"
#include "kve/kve_packet.h"

namespace {

uint32_t *g_PacketBuffer = nullptr;
uint32_t g_nPacketBufferLen = 0;

// Opcode-112 arrays may not nest: the scratch of the outer one is still in use.
bool s_runningEmbeddedArray = false;

constexpr uint32_t kRejectedLength = 3;

uint32_t xorWords(const uint32_t *w, uint32_t count)
{
    uint32_t x = 0;
    for (uint32_t i = 0; i < count; ++i)
        x ^= w[i];
    return x;
}

// Writes word 0 and the check word of a reply of `length` words whose other words are already in place.
void seal(uint32_t *b, uint32_t length)
{
    b[0] = length << 16;
    b[length - 1] = xorWords(b, length - 1);
}

int32_t reject(uint32_t *b, uint32_t capacity, int32_t code)
{
    if (capacity >= kRejectedLength) {
        b[1] = static_cast<uint32_t>(code);
        seal(b, kRejectedLength);
    }
    return code;
}

uint32_t u(int32_t status) { return static_cast<uint32_t>(status); }

// What an opcode needs before it may run: operand words it reads and the length of its reply.
struct Plan {
    bool known = true;      // false: opcode not recognised
    uint64_t operands = 0;  // words after word 0 that the request must hold
    uint64_t replyLength = 3;
};

Plan planFor(uint32_t opcode, const uint32_t *p, uint64_t available)
{
    Plan plan;
    // Operand k (1-based) when it lies inside the packet, else 0: sizes read from it are checked against the
    // packet only after this plan is made.
    auto word = [&](uint32_t k) -> uint64_t { return k <= available ? p[k] : 0; };
    auto fixed = [&](uint64_t operands, uint64_t reply) {
        plan.operands = operands;
        plan.replyLength = reply;
    };
    switch (opcode) {
    case 1: case 2: case 7: case 19: case 86: fixed(2, 3); break;
    case 4: case 46: fixed(1, 4); break;
    case 5: fixed(1, 11); break;
    case 6: fixed(4, 4); break;
    case 8: case 102: fixed(2, 4); break;
    case 9: case 48: case 104: fixed(3, 3); break;
    case 10: case 13: case 27: case 28: case 31: case 37: case 38: case 39: case 40: case 44: case 54: case 82:
    case 87: case 90: case 92: case 93: case 108: fixed(0, 3); break;
    case 11: fixed(0, 9); break;
    case 12: case 110: fixed(0, 2); break;
    case 14: fixed(1, 5); break;
    case 15: {
        const uint64_t wireWord = word(2);
        const uint64_t wires = (wireWord & 0xFF) + ((wireWord >> 8) & 0xFF) + ((wireWord >> 16) & 0xFF);
        fixed(3 + wires + word(3), 4);
        break;
    }
    case 16: fixed(2, 4); break;
    case 20: case 21: case 81: fixed(1, 3); break;
    case 22: fixed(1, 5); break;
    case 23: fixed(0, 5); break;
    case 24: fixed(1, 5); break;
    case 25: fixed(0, 12); break;
    case 26: fixed(1, 12); break;
    case 29: case 98: fixed(3, word(3) + 3); break;
    case 30: case 100: fixed(3 + word(3), 3); break;
    case 32: case 33: case 42: fixed(0, 11); break;
    case 34: fixed(1, 4); break;
    case 35: fixed(2, word(2) + 4); break;
    case 36: fixed(1, 3); break;
    case 41: case 94: fixed(0, 14); break;
    case 43: fixed(0, 5); break;
    case 47: fixed(available, 3); break;
    case 58: fixed(7 + word(6), static_cast<int32_t>(word(1)) < 0 ? 7 : word(7) + 5); break;
    case 60: case 105: fixed(4, 3); break;
    case 61: case 101: fixed(4 + word(4), 3); break;
    case 62: case 103: fixed(3, 4); break;
    case 63: case 99: fixed(4, word(4) + 3); break;
    case 77: fixed(3, 3); break;
    case 84: fixed(1, 4); break;
    case 85: fixed(1, 8); break;
    case 111: fixed(2 + word(2), word(2) + 4); break;
    case 112: fixed(1 + (word(1) <= KVE_EMBEDDED_ARRAY_WORDS ? word(1) : 0), 4); break;
    default: plan.known = false; break;
    }
    return plan;
}

int32_t lookup(KVEInstance *in, uint32_t id, KVEObject **o, uint32_t *cls)
{
    *cls = 0;
    return kve_fwGetObjectByID(in, id, o, cls);
}

// Fills the pin description words of replies 25 and 26 from word 2 on.
void describePin(uint32_t *b, const IOPin *pin, uint32_t classId, uint32_t bound, uint32_t rate, uint32_t i1,
                 uint32_t i2, uint32_t i3, uint32_t n1, uint32_t n2)
{
    const uint32_t words[] = {pin->pinId, classId, bound, rate, i1, i2, i3, n1, n2};
    std::memcpy(b + 2, words, sizeof words);
}

// Runs a layout once with its timing outputs; -17 when the object is not a layout.
int32_t runLayout(KVEInstance *in, KVEObject *o, uint32_t *time, uint32_t *period)
{
    if (!kve::isLayout(o))
        return KVE_E_NOT_A_LAYOUT;
    ClassLayout_Process(in, kve::asLayout(o), time, period);
    return KVE_OK;
}

// Opcode 58: write a block, run a layout, read a block; returns the reply length.
uint32_t pumpBlock(KVEInstance *in, uint32_t *b)
{
    const auto selector = static_cast<int32_t>(b[1]);
    const uint32_t inAddr = b[2], inOffset = b[3], outAddr = b[4], outOffset = b[5], inCount = b[6],
                   outCount = b[7];
    if (selector < 0) {
        uint32_t a = 0, c = 0;
        if (in->firstLayout != nullptr) {
            const IOPin *ip = in->inputPins;
            const IOPin *op = in->outputPins;
            a = ip != nullptr && ip->bindingCount > 0 ? ip->bindings[0].wire->info1 : 0;
            c = op != nullptr && op->bindingCount > 0 ? op->bindings[0].wire->info1 : 0;
        }
        const uint32_t words[] = {0, 0, 0, a, c};
        std::memcpy(b + 1, words, sizeof words);
        return 7;
    }
    const uint32_t length = outCount + 5;
    uint32_t time = 0, period = 0;
    auto reply = [&](int32_t status) {
        b[1] = u(status);
        b[2] = time;
        b[3] = period;
        return length;
    };
    const int32_t written = kve_fwSetValues(in, inAddr, inOffset, inCount, b + 8, 0);
    if (written != KVE_OK)
        return reply(written);
    KVEObject *target = reinterpret_cast<KVEObject *>(in->firstLayout);
    int32_t found = KVE_OK;
    if (selector > 0) {
        KVEObject *o = nullptr;
        uint32_t cls = 0;
        found = lookup(in, static_cast<uint32_t>(selector), &o, &cls);
        if (found == KVE_OK)
            target = o;
    }
    if (target == nullptr)
        return reply(KVE_E_NO_LAYOUT);
    const int32_t ran = runLayout(in, target, &time, &period);
    if (found != KVE_OK || ran != KVE_OK)
        return reply(found != KVE_OK ? found : ran);
    return reply(kve_fwFetchValues(in, outAddr, outOffset, outCount, b + 4));
}

// Opcode 22: one layout under its clock divider.
void pumpLayout(KVEInstance *in, uint32_t *b)
{
    uint32_t time = 0, period = 0;
    int32_t status = KVE_E_NO_LAYOUT;
    const uint32_t id = b[1];
    if (id != 0) {
        KVEObject *o = nullptr;
        uint32_t cls = 0;
        status = lookup(in, id, &o, &cls);
        if (status == KVE_OK && !kve::isLayout(o))
            status = KVE_E_NOT_A_LAYOUT;
        if (status == KVE_OK) {
            ClassLayout *l = kve::asLayout(o);
            if (l->countdown != 0) {
                l->countdown--;
            } else {
                l->countdown = kve::effectiveDivider(l) - 1;
                ClassLayout_Process(in, l, &time, &period);
            }
        }
    }
    b[1] = u(status);
    b[2] = time;
    b[3] = period;
}

// Opcode 112: a small plain packet array carried inside the packet, run through the array loader in this buffer.
void executeEmbedded(KVEInstance *in, uint32_t *b)
{
    const uint32_t n = b[1];
    uint32_t offset = 0;
    int32_t status = KVE_E_BAD_ARGUMENT;
    if (n <= KVE_EMBEDDED_ARRAY_WORDS && !s_runningEmbeddedArray) {
        uint32_t scratch[KVE_EMBEDDED_ARRAY_WORDS];
        std::memcpy(scratch, b + 2, static_cast<size_t>(n) * 4u);
        s_runningEmbeddedArray = true;
        status = kve_fwPacketExecuteArray(in, scratch, n, &offset);
        s_runningEmbeddedArray = false;
    }
    b[1] = u(status);
    b[2] = offset;
}

// Runs a checked packet whose operands and reply fit; returns the reply length.
uint32_t execute(KVEInstance *in, uint32_t opcode, uint32_t *b, uint32_t operands)
{
    KVEObject *o = nullptr;
    uint32_t cls = 0;
    switch (opcode) {
    case 1:
        b[1] = u(kve_fwSetCall2(in, b[1], b[2]));
        return 3;
    case 2:
        b[1] = u(kve_fwGetCall2(in, b[1], b[2]));
        return 3;
    case 4: case 46: {
        const int32_t s = lookup(in, b[1], &o, &cls);
        b[1] = u(s);
        b[2] = s == KVE_OK ? cls : 0;
        return 4;
    }
    case 5: {
        uint32_t w[10];
        const int32_t s = kve_fwGetPinType(in, b[1], &w[0], &w[1], &w[2], &w[3], &w[4], &w[5], &w[6], &w[7]);
        if (s == KVE_OK)
            std::memcpy(b + 2, w, 8 * sizeof(uint32_t));
        b[1] = u(s);
        return 11;
    }
    case 6: {
        int32_t s = KVE_OK;
        GenericWire *w = ClassWire_Constructor(in, &s, b[1], b[2], b[3], b[4]);
        b[1] = w != nullptr ? w->objectId : 0;
        b[2] = u(s);
        return 4;
    }
    case 7:
        b[1] = u(BindIOToWire(in, b[1], b[2]));
        return 3;
    case 8: case 102: {
        int32_t s = KVE_OK;
        const uint32_t v = kve_fwFetchValue(in, b[1], &s, b[2]);
        b[1] = u(s);
        b[2] = v;
        return 4;
    }
    case 9: case 48: case 104:
        b[1] = u(kve_fwSetValue(in, b[1], b[2], b[3], 0));
        return 3;
    case 10:
        b[1] = kve_fwGetHeapCount();
        return 3;
    case 11: {
        uint32_t sizes[6];
        b[1] = u(kve_fwGetHeapSize(in, sizes));
        std::memcpy(b + 2, sizes, sizeof sizes);
        return 9;
    }
    case 12:
        if (in->stopHook != nullptr)
            in->stopHook();
        kve_fwDestroy(in);
        return 2;
    case 13:
        b[1] = kve_fwGetCIModuleCount(in);
        return 3;
    case 14: {
        uint32_t id = 0, count = 0;
        const int32_t s = kve_fwGetCIModuleInfo(in, b[1], &id, &count);
        b[1] = u(s);
        b[2] = id;
        b[3] = count;
        return 5;
    }
    case 15: {
        int32_t s = KVE_OK;
        const uint32_t wireWord = b[2], argc = b[3];
        const uint32_t wires = KVE_PACKED_INPUTS(wireWord) + KVE_PACKED_OUTPUTS(wireWord) + KVE_PACKED_SCRATCH(wireWord);
        ClassModule *m = ClassModule_Constructor2(in, b[1], &s, wireWord, b + 4, argc, b + 4 + wires);
        b[1] = s == KVE_OK && m != nullptr ? m->objectId : u(s);
        b[2] = u(s);
        return 4;
    }
    case 16: {
        int32_t s = KVE_OK;
        ClassLayout *l = ClassLayout_Constructor(in, &s, b[1], b[2]);
        b[1] = l != nullptr ? l->objectId : 0;
        b[2] = u(s);
        return 4;
    }
    case 19: {
        int32_t s = lookup(in, b[1], &o, &cls);
        if (s == KVE_OK)
            s = kve_fwSetModuleState(reinterpret_cast<ClassModule *>(o), b[2]);
        b[1] = u(s);
        return 3;
    }
    case 20: {
        const int32_t s = lookup(in, b[1], &o, &cls);
        b[1] = u(s == KVE_OK ? kve_fwGetModuleState(reinterpret_cast<ClassModule *>(o)) : s);
        return 3;
    }
    case 21: {
        const int32_t s = lookup(in, b[1], &o, &cls);
        b[1] = u(s == KVE_OK ? kve_fwPumpModule(in, reinterpret_cast<ClassModule *>(o)) : s);
        return 3;
    }
    case 22:
        pumpLayout(in, b);
        return 5;
    case 23: {
        const int32_t s = kve_fwGetFirstObject2(in, &o, &cls);
        b[1] = u(s);
        b[2] = s == KVE_OK ? o->objectId : 0;
        b[3] = s == KVE_OK ? cls : 0;
        return 5;
    }
    case 24: {
        int32_t s = lookup(in, b[1], &o, &cls);
        KVEObject *next = nullptr;
        if (s == KVE_OK)
            s = kve_fwGetNextObject(o, &next, &cls);
        b[1] = u(s);
        b[2] = s == KVE_OK ? next->objectId : 0;
        b[3] = s == KVE_OK ? cls : 0;
        return 5;
    }
    case 25: case 26: {
        IOPin *pin = nullptr;
        uint32_t rate, i1, i2, i3, n1, n2;
        const int32_t s = opcode == 25 ? kve_fwGetFirstIO(in, &pin, &cls, &rate, &i1, &i2, &i3, &n1, &n2)
                                       : kve_fwGetNextIO(in, b[1], &pin, &cls, &rate, &i1, &i2, &i3, &n1, &n2);
        if (s == KVE_OK) {
            const uint32_t bound = opcode == 25 ? (pin->bufferA != nullptr) : (pin->bindingCount != 0);
            describePin(b, pin, cls, bound, rate, i1, i2, i3, n1, n2);
        } else if (s == KVE_E_NO_MORE_PINS) {
            b[2] = 0;
            b[3] = 0;
        }
        b[1] = u(s);
        return 12;
    }
    case 27:
        kve_fwAudioInitIO(in);
        b[1] = u(in->startHook != nullptr ? in->startHook() : KVE_E_NO_HOOK);
        return 3;
    case 28:
        b[1] = u(in->stopHook != nullptr ? in->stopHook() : KVE_E_NO_HOOK);
        return 3;
    case 29: case 98: {
        const uint32_t n = b[3];
        b[1] = u(kve_fwFetchValues(in, b[1], b[2], n, b + 2));
        return n + 3;
    }
    case 30: case 100:
        b[1] = u(kve_fwSetValues(in, b[1], b[2], b[3], b + 4, 0));
        return 3;
    case 31:
        b[1] = kve_fwGetSizeofInt();
        return 3;
    case 32: case 33:
        b[1] = u(opcode == 32 ? kve_fwGetFirstFile(b + 2) : kve_fwGetNextFile(b + 2));
        return 11;
    case 34: {
        uint32_t handle = 0;
        b[1] = u(kve_fwOpenFile(b + 2, b[1] & 0xFFu, &handle));
        b[2] = handle;
        return 4;
    }
    case 35: {
        uint32_t count = b[2];
        b[1] = u(kve_fwReadFile(b[1], b + 3, &count));
        b[2] = count;
        return count + 4;
    }
    case 36:
        b[1] = u(kve_fwWriteFile(b[1], b + 2, operands > 1 ? operands - 1 : 0));
        return 3;
    case 37:
        b[1] = u(kve_fwCloseFile());
        return 3;
    case 38:
        b[1] = u(kve_fwDeleteFile(b + 2));
        return 3;
    case 39:
        b[1] = u(kve_fwExecuteFile(b + 2));
        return 3;
    case 40:
        b[1] = u(kve_fwEraseFlash());
        return 3;
    case 41: case 94: {
        uint32_t words[12];
        b[1] = u(kve_fwGetTargetInfo(in, words));
        std::memcpy(b + 2, words, sizeof words);
        return 14;
    }
    case 42:
        b[1] = u(GetFileSystemInfo(b + 2));
        return 11;
    case 43: {
        uint32_t time = 0, period = 0;
        b[1] = u(kve_fwGetProfileValues(in, 0, &time, &period));
        b[2] = time;
        b[3] = period;
        return 5;
    }
    case 44:
        b[1] = u(kve_fwResetFileSystem());
        return 3;
    case 47:
        b[1] = u(kve_fwAddModuleToLayout(in, operands, b + 1));
        return 3;
    case 54:
        b[1] = u(kve_fwTick(in));
        return 3;
    case 58:
        return pumpBlock(in, b);
    case 60: case 105:
        b[1] = u(kve_fwSetValueSetCall(in, b[1], b[2], b[3], b[4], 0));
        return 3;
    case 61: case 101:
        b[1] = u(kve_fwSetValuesSetCall(in, b[1], b[2], b[3], b[4], b + 5, 0));
        return 3;
    case 62: case 103: {
        int32_t s = KVE_OK;
        const uint32_t v = kve_fwGetCallFetchValue(in, b[1], b[2], &s, b[3]);
        b[1] = u(s);
        b[2] = v;
        return 4;
    }
    case 63: case 99: {
        const uint32_t n = b[4];
        b[1] = u(kve_fwGetCallFetchValues(in, b[1], b[2], b[3], n, b + 2, 0));
        return n + 3;
    }
    case 77:
        b[1] = u(kve_fwSetPointer(in, b[1], b[2], b[3]));
        return 3;
    case 81:
        b[1] = u(kve_fwcreateLookupTable(in, b[1]));
        return 3;
    case 82:
        b[1] = u(kve_fwUpdateLookupTable(in));
        return 3;
    case 84: {
        int32_t s = KVE_OK;
        const uint32_t id = kve_fwDerefPointer(in, b[1], &s);
        b[1] = u(s);
        b[2] = id;
        return 4;
    }
    case 85: {
        uint32_t w[5];
        const int32_t s = kve_fwGetWireType(in, b[1], &w[0], &w[1], &w[2], &w[3], &w[4]);
        if (s == KVE_OK)
            std::memcpy(b + 2, w, sizeof w);
        b[1] = u(s);
        return 8;
    }
    case 86:
        b[1] = u(kve_fwSetInstanceID(in, b[1], b[2]));
        return 3;
    case 87: case 90: case 92:
        b[1] = 0;
        return 3;
    case 93:
        b[1] = u(in->stopHook != nullptr ? in->stopHook() : KVE_OK);
        kve_fwDestroy(in);
        return 3;
    case 108:
        kve_fwPrePump(in);
        b[1] = 0;
        return 3;
    case 110:
        kve_fwDestroy(in);
        return 2;
    case 111: {
        const uint32_t n = b[2];
        for (uint32_t i = 3; i < n + 3; ++i)
            b[i] = ~b[i];
        b[1] = 0;
        return n + 4;
    }
    case 112:
        executeEmbedded(in, b);
        return 4;
    default:
        b[1] = u(KVE_E_BAD_OPCODE);
        return 3;
    }
}

} // namespace

extern "C" {

void kve_fwPacketInit(uint32_t *buffer, uint32_t capacity)
{
    g_PacketBuffer = buffer;
    g_nPacketBufferLen = buffer != nullptr ? capacity : 0;
}

void kve_fwGetPacketInfo(uint32_t **buffer, uint32_t *capacity)
{
    *buffer = g_PacketBuffer;
    *capacity = g_nPacketBufferLen;
}

int32_t kve_fwPacketProcess(KVEInstance *instance)
{
    uint32_t *b = g_PacketBuffer;
    const uint32_t capacity = g_nPacketBufferLen;
    if (b == nullptr || capacity == 0)
        return KVE_E_PACKET_LENGTH;
    const uint32_t n = KVE_PACKET_LENGTH(b[0]);
    if (n > capacity)
        return reject(b, capacity, KVE_E_PACKET_LENGTH);
    if (n != 0 && xorWords(b, n) != 0)
        return reject(b, capacity, KVE_E_PACKET_CHECK);
    const uint32_t opcode = KVE_PACKET_OPCODE(b[0]);
    // Operands lie between word 0 and the check word; a length of 0 lets them fill the registered buffer.
    const uint64_t available = n != 0 ? (n >= 2 ? n - 2 : 0) : capacity - 1;
    const Plan plan = planFor(opcode, b, available);
    if (!plan.known)
        return reject(b, capacity, KVE_E_BAD_OPCODE);
    if (plan.operands > available)
        return reject(b, capacity, KVE_E_BAD_ARGUMENT);
    if (plan.replyLength > capacity)
        return reject(b, capacity, KVE_E_PACKET_LENGTH);
    g_pKVE_instance = instance;
    const uint32_t length = execute(instance, opcode, b, static_cast<uint32_t>(plan.operands));
    seal(b, length);
    return KVE_OK;
}

// The engine has no file system: the file calls answer as a target without one does.
int32_t kve_fwResetFileSystem(void) { return KVE_E_FILE_COMMAND; }
int32_t kve_fwGetFirstFile(uint32_t *) { return KVE_E_FILE_COMMAND; }
int32_t kve_fwGetNextFile(uint32_t *) { return KVE_E_FILE_COMMAND; }
int32_t kve_fwOpenFile(const uint32_t *, uint32_t, uint32_t *) { return KVE_E_FILE_COMMAND; }
int32_t kve_fwWriteFile(uint32_t, const uint32_t *, uint32_t) { return KVE_E_FILE_COMMAND; }
int32_t kve_fwReadFile(uint32_t, uint32_t *, uint32_t *) { return KVE_E_FILE_COMMAND; }
int32_t kve_fwCloseFile(void) { return KVE_E_FILE_COMMAND; }
int32_t kve_fwDeleteFile(const uint32_t *) { return KVE_E_FILE_COMMAND; }
int32_t kve_fwExecuteFile(const uint32_t *) { return KVE_E_FILE_COMMAND; }
int32_t GetFileSystemInfo(uint32_t *) { return KVE_E_FILE_COMMAND; }
int32_t GetNextCommand(void) { return KVE_E_FILE_COMMAND; }
int32_t kve_fwEraseFlash(void) { return KVE_E_FILE_COMMAND; }
int32_t kve_fwReadFileMem(uint32_t, uint32_t *, uint32_t) { return KVE_E_FILE_COMMAND; }
int32_t kve_fwGetFileMemStartingAddress(uint32_t *) { return KVE_E_FILE_COMMAND; }
void *kve_fwFindFile(const uint32_t *) { return nullptr; }
uint32_t kve_fwGetFileAttribute(const uint32_t *) { return 0; }
int32_t kve_pltInitFileSystem(void) { return 0; }
uint32_t kve_pltGetFlashEraseTime(void) { return 0; }

int32_t kve_pltPacketProcess(void) { return 0; }
void *kve_pltGetCore(void *, uint32_t) { return nullptr; }

} // extern "C"
