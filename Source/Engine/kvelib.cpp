// The library interface: one object owns one engine instance with its two I/O pins, pumps blocks through its
// layouts, loads enciphered layouts and passes command packets to the interpreter.
//
// The engine's state is process-wide (the instance at work, the registered packet buffer, the loaders' readers
// and key), so one recursive mutex serialises every library object of the process. The counters, the flag and
// the addresses that the unlocked calls read or write are atomics, so a host may read them from any thread.
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>

#include "Engine/EngineInternal.h"
#include "Engine/LayoutCipher.h"
#include "kve/KVELib.h"
#include "kve/kve_packet.h"

static_assert(sizeof(_Sample) == sizeof(uint32_t));

namespace {

// Never destroyed: a host may delete its library object from its own static destructors.
std::recursive_mutex &libraryMutex()
{
    static auto *mutex = new std::recursive_mutex;
    return *mutex;
}

using LibraryLock = std::lock_guard<std::recursive_mutex>;

constexpr uint32_t kMemberBuffer = 3;

// The target information holds the block size in 12 bits, channel counts in 8 and the 13-bit number less one.
constexpr uint32_t kMaxBlockSize = 0xFFF;
constexpr uint32_t kMaxChannels = 0xFF;
constexpr uint32_t kMaxNumber13 = 0x2000;

// Heap sizes in words, fixed for every engine the interface creates.
constexpr uint32_t kHeap1Words = 3400000;
constexpr uint32_t kHeap2Words = 1024000;
constexpr uint32_t kHeap3Words = 3400000;

// The environment text holds "KVE_SEARCH_PATH=" and the list within this many characters.
constexpr size_t kSearchPathText = 10240;
constexpr char kSearchPathPrefix[] = "KVE_SEARCH_PATH=";

// An id of 0 names no object: its address stays 0, which the pump reports as not set.
uint32_t bufferAddress(uint32_t id) { return id == 0 ? 0 : KVE_MEMBER_ADDRESS(id, kMemberBuffer); }

uint32_t *words(_Sample *s) { return reinterpret_cast<uint32_t *>(s); }
const uint32_t *words(const _Sample *s) { return reinterpret_cast<const uint32_t *>(s); }

// A wire's sample rate as a whole number: NaN and negative rates give 0, too large ones the largest count.
uint32_t rateAsCount(float rate)
{
    if (!(rate > 0.0f))
        return 0;
    if (rate >= 4294967296.0f)
        return UINT32_MAX;
    return static_cast<uint32_t>(rate);
}

void describeWire(const IOPin &pin, uint32_t *size, uint32_t *channels, uint32_t *complex, uint32_t *wireId)
{
    const GenericWire *w = pin.bindingCount > 0 ? pin.bindings[0].wire : nullptr;
    const uint32_t info1 = w != nullptr ? w->info1 : 0;
    if (size != nullptr)
        *size = KVE_WIRE_SIZE_FIELD(info1);
    if (channels != nullptr)
        *channels = KVE_WIRE_CHANNELS(info1);
    if (complex != nullptr)
        *complex = KVE_WIRE_COMPLEX(info1);
    if (wireId != nullptr)
        *wireId = w != nullptr ? w->objectId : 0;
}

} // namespace

class CKVLib_impl final : public CKVELib {
public:
    CKVLib_impl() = default;
    ~CKVLib_impl() override;
    CKVLib_impl(const CKVLib_impl &) = delete;
    CKVLib_impl &operator=(const CKVLib_impl &) = delete;

    double AverageCycles() override;
    uint64_t PumpCount() override;
    void ClearMeasure() override;
    const char *GetLibraryVersion() override;
    void SetLayoutAddresses(uint32_t inputId, uint32_t outputId, uint32_t layoutId) override;
    bool IsCreated() override;
    int32_t Create(const char *name, float f1, float f2) override;
    int32_t Destroy() override;
    int32_t PumpAudio(const _Sample *input, _Sample *output, uint32_t inputCount, uint32_t outputCount) override;
    int32_t PinProps(uint32_t *inputSize, uint32_t *inputChannels, uint32_t *inputComplex, uint32_t *inputWireId,
                     uint32_t *outputSize, uint32_t *outputChannels, uint32_t *outputComplex,
                     uint32_t *outputWireId) override;
    _Sample FetchValue(uint32_t address, int32_t *status) override;
    int32_t SetValue(uint32_t address, _Sample value) override;
    int32_t FetchValues(uint32_t address, uint32_t count, _Sample *values, uint32_t offset) override;
    int32_t SetValues(uint32_t address, uint32_t count, const _Sample *values, uint32_t offset) override;
    int32_t LoadKvxFile(const char *fileName, uint32_t *errorOffset) override;
    int32_t LoadKvxMem(const uint32_t *words, uint32_t count, uint32_t *errorOffset) override;
    int32_t SendCommand(uint32_t *buffer, uint32_t length) override;
    uint32_t GetCycles() override;
    bool IsStarted() override;
    int32_t PinPropsEx(uint32_t *inputSize, uint32_t *inputChannels, uint32_t *inputComplex, uint32_t *inputWireId,
                       uint32_t *outputSize, uint32_t *outputChannels, uint32_t *outputComplex,
                       uint32_t *outputWireId, uint32_t *inputRate) override;
    int32_t CreateEx(const char *name, float f1, float f2, bool profiling, uint32_t blockSize, uint32_t number13,
                     uint32_t inputChannels, uint32_t outputChannels) override;
    void SetStartStopCallbacks(void *context, void (*start)(void *), void (*stop)(void *)) override;
    void SetSearchPath(const char *directories) override;

    // The engine's start and stop hooks: they work on the object that last created an engine, loaded a layout
    // or sent a command, and tell the host through its callbacks.
    static int32_t plt_audioStart();
    static int32_t plt_audioStop();

private:
    // The library object the hooks reach; set and read under the library mutex.
    static CKVLib_impl *s_pThis;

    std::atomic<double> m_cycleSum{0.0};
    std::atomic<uint64_t> m_pumpCount{0};
    // Written under the mutex; read without it only by IsCreated.
    std::atomic<KVEInstance *> m_instance{nullptr};
    std::atomic<uint32_t> m_inputAddress{KVE_MEMBER_ADDRESS(1, kMemberBuffer)};
    std::atomic<uint32_t> m_outputAddress{KVE_MEMBER_ADDRESS(2, kMemberBuffer)};
    std::atomic<uint32_t> m_layoutAddress{0};
    std::atomic<bool> m_started{false};
    IOPin m_inputPin{};
    IOPin m_outputPin{};
    std::atomic<void *> m_callbackContext{nullptr};
    std::atomic<void (*)(void *)> m_startCallback{nullptr};
    std::atomic<void (*)(void *)> m_stopCallback{nullptr};
    // Commands and loads running on this object's engine, under the mutex: a start or stop callback inside one
    // may call back into the object, but must not take the engine away from under it.
    uint32_t m_running = 0;

    // Counts a command or load as running for its whole scope.
    class RunningScope {
    public:
        explicit RunningScope(CKVLib_impl &lib) : lib_(lib) { ++lib_.m_running; }
        ~RunningScope() { --lib_.m_running; }
        RunningScope(const RunningScope &) = delete;
        RunningScope &operator=(const RunningScope &) = delete;

    private:
        CKVLib_impl &lib_;
    };
};

CKVLib_impl *CKVLib_impl::s_pThis = nullptr;

CKVLib_impl::~CKVLib_impl()
{
    LibraryLock lock(libraryMutex());
    Destroy();
    if (s_pThis == this)
        s_pThis = nullptr;
}

double CKVLib_impl::AverageCycles()
{
    const uint64_t pumps = m_pumpCount.load(std::memory_order_relaxed);
    if (pumps == 0)
        return 0.0;
    return m_cycleSum.load(std::memory_order_relaxed) / 256.0 / static_cast<double>(pumps);
}

uint64_t CKVLib_impl::PumpCount() { return m_pumpCount.load(std::memory_order_relaxed); }

void CKVLib_impl::ClearMeasure()
{
    m_pumpCount.store(0, std::memory_order_relaxed);
    m_cycleSum.store(0.0, std::memory_order_relaxed);
}

const char *CKVLib_impl::GetLibraryVersion() { return "KVELib V1.5"; }

void CKVLib_impl::SetLayoutAddresses(uint32_t inputId, uint32_t outputId, uint32_t layoutId)
{
    m_inputAddress.store(bufferAddress(inputId), std::memory_order_relaxed);
    m_outputAddress.store(bufferAddress(outputId), std::memory_order_relaxed);
    m_layoutAddress.store(layoutId << 12, std::memory_order_relaxed);
}

bool CKVLib_impl::IsCreated() { return m_instance.load(std::memory_order_relaxed) != nullptr; }

int32_t CKVLib_impl::Create(const char *name, float f1, float f2)
{
    return CreateEx(name, f1, f2, false, 0, 0, 0, 0);
}

int32_t CKVLib_impl::CreateEx(const char *name, float f1, float f2, bool profiling, uint32_t blockSize,
                              uint32_t number13, uint32_t inputChannels, uint32_t outputChannels)
{
    LibraryLock lock(libraryMutex());
    s_pThis = this;
    if (name == nullptr || name[0] == '\t')
        return KVE_E_BAD_ARGUMENT;
    if (m_instance.load(std::memory_order_relaxed) != nullptr)
        return KVE_E_ALREADY_CREATED;

    blockSize = blockSize != 0 ? blockSize : 32;
    number13 = number13 != 0 ? number13 : 4105;
    inputChannels = inputChannels != 0 ? inputChannels : 2;
    outputChannels = outputChannels != 0 ? outputChannels : 2;
    // A value cut to its field would describe another engine than the one asked for.
    if (blockSize > kMaxBlockSize || number13 > kMaxNumber13 || inputChannels > kMaxChannels ||
        outputChannels > kMaxChannels)
        return KVE_E_BAD_ARGUMENT;

    auto *instance = new (std::nothrow) KVEInstance{};
    if (instance == nullptr)
        return KVE_E_HEAP_BLOCK;
    instance->startHook = plt_audioStart;
    instance->stopHook = plt_audioStop;
    instance->inputPins = &m_inputPin;
    instance->outputPins = &m_outputPin;
    instance->classTable = g_module_descriptor_table;
    instance->classCount = g_module_descriptor_count;

    kve_fwInitTargetInfo(instance, 0, name, 18, 1, 0, 1, 1, 0, 1, inputChannels, outputChannels, 26, 1, 226,
                         blockSize, number13, f1, f2, 48000.0f);
    kve_fwInit_io_pins(instance, 0);
    if (profiling)
        instance->flags &= ~(KVE_FLAG_NO_LAYOUT_PROFILING | KVE_FLAG_NO_MODULE_PROFILING);
    else
        instance->flags |= KVE_FLAG_NO_LAYOUT_PROFILING | KVE_FLAG_NO_MODULE_PROFILING;

    // The pins keep the channel counts the host asked for in info word 1.
    for (IOPin *pin : {&m_inputPin, &m_outputPin}) {
        pin->info3 |= 0x400000u;
        pin->sampleRate = 48000.0f;
    }
    kve_SetPackedName(m_inputPin.name, "Input");
    kve_SetPackedName(m_outputPin.name, "Output");

    if (kve_fwAllocateHeaps(instance, kHeap1Words, kHeap2Words, kHeap3Words) != KVE_OK) {
        delete instance;
        return KVE_E_HEAP_BLOCK;
    }
    m_instance.store(instance, std::memory_order_relaxed);
    return KVE_OK;
}

int32_t CKVLib_impl::Destroy()
{
    LibraryLock lock(libraryMutex());
    KVEInstance *instance = m_instance.load(std::memory_order_relaxed);
    if (instance == nullptr)
        return KVE_OK;
    if (m_running != 0)
        return KVE_E_BAD_ARGUMENT;
    // Modules release what they hold outside the heaps in their teardown Set before the heaps go.
    kve_fwDestroy(instance);
    kve_fwDestroyHeaps(instance);
    if (g_pKVE_instance == instance)
        g_pKVE_instance = nullptr;
    m_instance.store(nullptr, std::memory_order_relaxed);
    delete instance;
    m_inputPin = IOPin{};
    m_outputPin = IOPin{};
    m_started.store(false, std::memory_order_relaxed);
    return KVE_OK;
}

int32_t CKVLib_impl::PumpAudio(const _Sample *input, _Sample *output, uint32_t inputCount, uint32_t outputCount)
{
    const uint32_t inAddress = m_inputAddress.load(std::memory_order_relaxed);
    const uint32_t outAddress = m_outputAddress.load(std::memory_order_relaxed);
    const uint32_t layoutAddress = m_layoutAddress.load(std::memory_order_relaxed);
    if (inAddress == 0 || outAddress == 0)
        return KVE_E_NO_PUMP_ADDRESS;
    if ((input == nullptr && inputCount != 0) || (output == nullptr && outputCount != 0))
        return KVE_E_BAD_ARGUMENT;

    LibraryLock lock(libraryMutex());
    KVEInstance *instance = m_instance.load(std::memory_order_relaxed);
    if (instance == nullptr)
        return KVE_E_NOT_CREATED;
    const bool started = IsStarted();
    if (!started || instance->firstLayout == nullptr) {
        std::fill(output, output + outputCount, _Sample{});
        return started ? KVE_E_NO_LAYOUT : KVE_E_NOT_STARTED;
    }

    // A block larger than the output array is refused before anything runs: reading one word at its last
    // index checks the whole range. The input copy checks its own range before it writes.
    if (outputCount != 0) {
        uint32_t last = 0;
        if (kve_fwFetchValues(instance, outAddress, outputCount - 1, 1, &last) == KVE_E_BAD_ARGUMENT)
            return KVE_E_BAD_ARGUMENT;
    }
    const int32_t copied = kve_fwSetValues(instance, inAddress, 0, inputCount, words(input), 0);
    if (copied < 0)
        return copied;

    uint64_t layoutTime = 0;
    KVEObject *chosen = nullptr;
    uint32_t chosenClass = 0;
    if (layoutAddress != 0 &&
        kve_fwGetObjectByID(instance, KVE_MEMBER_OBJECT(layoutAddress), &chosen, &chosenClass) == KVE_OK &&
        chosenClass == KVE_CLASS_LAYOUT) {
        uint32_t time = 0;
        ClassLayout_Process(instance, kve::asLayout(chosen), &time, nullptr);
        layoutTime += time;
    } else {
        for (ClassLayout *layout = instance->firstLayout; layout != nullptr; layout = layout->nextLayout) {
            if (layout->countdown != 0) {
                layout->countdown--;
                continue;
            }
            uint32_t time = 0;
            ClassLayout_Process(instance, layout, &time, nullptr);
            layoutTime += time;
            layout->countdown = kve::effectiveDivider(layout) - 1;
        }
    }
    kve_fwTick(instance);

    m_cycleSum.store(m_cycleSum.load(std::memory_order_relaxed) + static_cast<double>(layoutTime),
                     std::memory_order_relaxed);
    m_pumpCount.fetch_add(1, std::memory_order_relaxed);
    return kve_fwFetchValues(instance, outAddress, 0, outputCount, words(output));
}

int32_t CKVLib_impl::PinProps(uint32_t *inputSize, uint32_t *inputChannels, uint32_t *inputComplex,
                              uint32_t *inputWireId, uint32_t *outputSize, uint32_t *outputChannels,
                              uint32_t *outputComplex, uint32_t *outputWireId)
{
    return PinPropsEx(inputSize, inputChannels, inputComplex, inputWireId, outputSize, outputChannels, outputComplex,
                      outputWireId, nullptr);
}

int32_t CKVLib_impl::PinPropsEx(uint32_t *inputSize, uint32_t *inputChannels, uint32_t *inputComplex,
                                uint32_t *inputWireId, uint32_t *outputSize, uint32_t *outputChannels,
                                uint32_t *outputComplex, uint32_t *outputWireId, uint32_t *inputRate)
{
    LibraryLock lock(libraryMutex());
    KVEInstance *instance = m_instance.load(std::memory_order_relaxed);
    if (instance == nullptr)
        return KVE_E_NOT_CREATED;
    if (instance->firstLayout == nullptr)
        return KVE_OK;
    describeWire(m_inputPin, inputSize, inputChannels, inputComplex, inputWireId);
    describeWire(m_outputPin, outputSize, outputChannels, outputComplex, outputWireId);
    if (inputRate != nullptr) {
        const GenericWire *w = m_inputPin.bindingCount > 0 ? m_inputPin.bindings[0].wire : nullptr;
        *inputRate = w != nullptr ? rateAsCount(w->sampleRate) : 0;
    }
    return 1;
}

_Sample CKVLib_impl::FetchValue(uint32_t address, int32_t *status)
{
    LibraryLock lock(libraryMutex());
    int32_t local = KVE_OK;
    int32_t &result = status != nullptr ? *status : local;
    _Sample value{};
    KVEInstance *instance = m_instance.load(std::memory_order_relaxed);
    if (instance == nullptr) {
        result = KVE_E_NOT_CREATED;
        return value;
    }
    value.u = kve_fwGetCallFetchValue(instance, address, KVE_MASK_HOST, &result, 0);
    return value;
}

int32_t CKVLib_impl::SetValue(uint32_t address, _Sample value)
{
    LibraryLock lock(libraryMutex());
    KVEInstance *instance = m_instance.load(std::memory_order_relaxed);
    if (instance == nullptr)
        return KVE_E_NOT_CREATED;
    return kve_fwSetValueSetCall(instance, address, value.u, KVE_MASK_HOST, 0, 0);
}

int32_t CKVLib_impl::FetchValues(uint32_t address, uint32_t count, _Sample *values, uint32_t offset)
{
    LibraryLock lock(libraryMutex());
    KVEInstance *instance = m_instance.load(std::memory_order_relaxed);
    if (instance == nullptr)
        return KVE_E_NOT_CREATED;
    if (values == nullptr && count != 0)
        return KVE_E_BAD_ARGUMENT;
    return kve_fwGetCallFetchValues(instance, address, offset, KVE_MASK_HOST, count, words(values), 0);
}

int32_t CKVLib_impl::SetValues(uint32_t address, uint32_t count, const _Sample *values, uint32_t offset)
{
    LibraryLock lock(libraryMutex());
    KVEInstance *instance = m_instance.load(std::memory_order_relaxed);
    if (instance == nullptr)
        return KVE_E_NOT_CREATED;
    if (values == nullptr && count != 0)
        return KVE_E_BAD_ARGUMENT;
    return kve_fwSetValuesSetCall(instance, address, offset, KVE_MASK_HOST, count, words(values), 0);
}

int32_t CKVLib_impl::LoadKvxFile(const char *fileName, uint32_t *errorOffset)
{
    if (fileName == nullptr || fileName[0] == '\0')
        return KVE_E_BAD_ARGUMENT;
    LibraryLock lock(libraryMutex());
    KVEInstance *instance = m_instance.load(std::memory_order_relaxed);
    if (instance == nullptr)
        return KVE_E_NOT_CREATED;
    s_pThis = this;
    RunningScope running(*this);
    // No buffer of an earlier command stays registered for the loader to find.
    kve_fwPacketInit(nullptr, 0);
    return BinaryLoadSinglePrivate(instance, fileName, errorOffset, kve::kLibraryLayoutKey);
}

int32_t CKVLib_impl::LoadKvxMem(const uint32_t *array, uint32_t count, uint32_t *errorOffset)
{
    if (array == nullptr || count == 0)
        return KVE_E_BAD_ARGUMENT;
    LibraryLock lock(libraryMutex());
    KVEInstance *instance = m_instance.load(std::memory_order_relaxed);
    if (instance == nullptr)
        return KVE_E_NOT_CREATED;
    s_pThis = this;
    RunningScope running(*this);
    // The array loader takes a registered buffer when there is one: the host's last command buffer may be too
    // small for the stored packets, or gone.
    kve_fwPacketInit(nullptr, 0);
    return kve_fwPacketExecuteArrayPrivate(instance, array, count, errorOffset, kve::kLibraryLayoutKey);
}

int32_t CKVLib_impl::SendCommand(uint32_t *buffer, uint32_t length)
{
    if (buffer == nullptr || length == 0 || length < KVE_PACKET_LENGTH(buffer[0]))
        return KVE_E_BAD_ARGUMENT;
    LibraryLock lock(libraryMutex());
    KVEInstance *instance = m_instance.load(std::memory_order_relaxed);
    if (instance == nullptr)
        return KVE_E_NOT_CREATED;
    kve_fwPacketInit(buffer, length);
    s_pThis = this;
    RunningScope running(*this);
    kve_fwPacketProcess(instance);
    return KVE_OK;
}

uint32_t CKVLib_impl::GetCycles() { return kve_fwReadClock(); }

bool CKVLib_impl::IsStarted() { return m_started.load(std::memory_order_relaxed); }

void CKVLib_impl::SetStartStopCallbacks(void *context, void (*start)(void *), void (*stop)(void *))
{
    m_callbackContext.store(context, std::memory_order_relaxed);
    m_startCallback.store(start, std::memory_order_relaxed);
    m_stopCallback.store(stop, std::memory_order_relaxed);
}

void CKVLib_impl::SetSearchPath(const char *directories)
{
    if (directories == nullptr)
        return;
    const size_t room = kSearchPathText - (sizeof kSearchPathPrefix - 1);
    const std::string list(directories, strnlen(directories, room));
    // Under the mutex: the engine reads the variable while it builds modules, and the environment is not safe
    // to change while another thread reads it.
    LibraryLock lock(libraryMutex());
    setenv("KVE_SEARCH_PATH", list.c_str(), 1);
}

int32_t CKVLib_impl::plt_audioStart()
{
    LibraryLock lock(libraryMutex());
    CKVLib_impl *self = s_pThis;
    if (self == nullptr)
        return KVE_OK;
    self->ClearMeasure();
    void (*start)(void *) = self->m_startCallback.load(std::memory_order_relaxed);
    if (!self->m_started.load(std::memory_order_relaxed) && start != nullptr) {
        self->m_started.store(true, std::memory_order_relaxed);
        start(self->m_callbackContext.load(std::memory_order_relaxed));
    }
    self->m_started.store(true, std::memory_order_relaxed);
    return KVE_OK;
}

int32_t CKVLib_impl::plt_audioStop()
{
    LibraryLock lock(libraryMutex());
    CKVLib_impl *self = s_pThis;
    if (self == nullptr)
        return KVE_OK;
    self->ClearMeasure();
    void (*stop)(void *) = self->m_stopCallback.load(std::memory_order_relaxed);
    if (self->m_started.load(std::memory_order_relaxed) && stop != nullptr) {
        self->m_started.store(false, std::memory_order_relaxed);
        stop(self->m_callbackContext.load(std::memory_order_relaxed));
    }
    self->m_started.store(false, std::memory_order_relaxed);
    return KVE_OK;
}

extern "C" CKVELib *KVELibraryFactory() { return new (std::nothrow) CKVLib_impl; }
