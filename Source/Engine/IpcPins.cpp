// Inter-instance pins: one engine instance's pin fed from another's, block by block, as a copy or through the
// sample-rate converter. Every wire is reached through the platform's core of the instance that bound it.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <utility>

#include "Engine/EngineInternal.h"
#include "kve/kve_ipc.h"
#include "kve/kve_packet.h"

static_assert(offsetof(IpcCoreOps, writeWireSamples) == 5 * sizeof(void *));
static_assert(offsetof(IpcCoreOps, wireChannels) == 8 * sizeof(void *));
static_assert(offsetof(IpcPin, platformContext) == 16);
static_assert(offsetof(IpcPin, converter) == 40);
static_assert(offsetof(IpcPin, cubic) == 40 + sizeof(qirn_asrc_state));
static_assert(offsetof(IpcPin, blockMultiplier) == offsetof(IpcPin, extraLength) + 4);

namespace {

constexpr int32_t kRefused = -1;
// The converter ring never grows past what a signed 32-bit byte count can name.
constexpr int64_t kMaxRingBytes = int64_t{1} << 31;

bool bound(const IOPin *pin) { return pin != nullptr && pin->bindingCount > 0; }

GenericWire *firstWire(const IOPin *pin) { return bound(pin) ? pin->bindings[0].wire : nullptr; }

// The platform's core of the instance that made a binding; null when the platform knows none.
IpcCore *coreOf(const IpcPin *record, const IOPinBinding &binding)
{
    auto *core = static_cast<IpcCore *>(
        kve_pltGetCore(reinterpret_cast<void *>(static_cast<uintptr_t>(record->platformContext)), binding.owner));
    return core != nullptr && core->ops != nullptr ? core : nullptr;
}

IpcCore *firstCore(const IpcPin *record, const IOPin *pin)
{
    return bound(pin) ? coreOf(record, pin->bindings[0]) : nullptr;
}

uint32_t wireWords(IpcCore *core, GenericWire *wire) { return core->ops->wireWords(core, wire); }
uint32_t wireChannels(IpcCore *core, GenericWire *wire) { return core->ops->wireChannels(core, wire); }

// Frames of `words` that fit both the wire's channel count and the converter's, so the converter never moves more
// words than the caller's buffer holds.
int32_t converterFrames(const IpcPin *record, uint32_t words, uint32_t channels)
{
    const uint32_t widest = std::max(channels, record->converter.channels);
    return widest == 0 ? 0 : static_cast<int32_t>(std::min<uint32_t>(words / widest, INT32_MAX));
}

bool sourceCoresKnown(const IpcPin *record)
{
    const IOPin *source = record->sourcePin;
    for (uint32_t i = 0; i < source->bindingCount && i < KVE_MAX_PIN_BINDINGS; ++i) {
        if (coreOf(record, source->bindings[i]) == nullptr)
            return false;
    }
    return true;
}

int64_t quotient(int64_t a, int64_t b) { return b == 0 ? 0 : a / b; }

} // namespace

extern "C" {

int32_t IpcPinConstructor(IpcPin *record, uint64_t platformContext, IOPin *sourcePin, IOPin *sinkPin,
                          IpcAllocateFn allocate, IpcReleaseFn release)
{
    if (record == nullptr)
        return kRefused;
    *record = IpcPin{};
    if (sourcePin == nullptr || sinkPin == nullptr)
        return kRefused;
    record->sourcePin = sourcePin;
    record->sinkPin = sinkPin;
    record->platformContext = platformContext;
    record->allocate = allocate;
    record->release = release;
    record->blockMultiplier = 1;
    sourcePin->ipcContext = record;
    sinkPin->ipcContext = record;
    return KVE_OK;
}

int32_t IpcPinDestroy(IpcPin *record)
{
    if (record == nullptr)
        return kRefused;
    // A pin since attached to another record keeps that attachment.
    for (IOPin *pin : {record->sourcePin, record->sinkPin}) {
        if (pin != nullptr && pin->ipcContext == record)
            pin->ipcContext = nullptr;
    }
    IpcPinDestroyAsrc(record);
    *record = IpcPin{};
    return KVE_OK;
}

int32_t IpcPinSetupAsrc(IpcPin *record, const qirn_asrc_props *props, uint32_t rate, uint32_t rateDivisor,
                        uint32_t extraLength)
{
    if (record == nullptr)
        return kRefused;
    record->props = props;
    record->rate = rate;
    record->rateDivisor = rateDivisor;
    record->extraLength = extraLength;
    return KVE_OK;
}

// The ring holds six blocks of the larger side (in the platform's rate units) beyond the extra length, and its guard
// the extra length plus one block's lead; it starts with two blocks of silence so the reader never waits.
int32_t IpcPinInitAsrc(IpcPin *record, int32_t sourceFrames, int32_t sinkFrames, int32_t channels)
{
    if (record == nullptr)
        return kRefused;
    IpcPinDestroyAsrc(record);
    const int64_t E = static_cast<int32_t>(record->extraLength);
    const int64_t R = static_cast<int32_t>(record->rate);
    const int64_t D = static_cast<int32_t>(record->rateDivisor);
    const int64_t f = int64_t{sourceFrames} * static_cast<int32_t>(record->blockMultiplier);
    if (f < INT32_MIN || f > INT32_MAX)
        return kRefused;
    const int64_t x = std::max(f, 2 * int64_t{sinkFrames} - f);
    const int64_t span = R * quotient(x * 6000, R);
    const int64_t lead = quotient(f * R, D);
    const int64_t length = E + 1 + span / 1000;
    const int64_t guard = E + lead + 2;
    if (record->props == nullptr || record->allocate == nullptr || channels < 1 || length < 1 || guard < 1)
        return kRefused;
    if (length + guard > kMaxRingBytes / 4 / channels)
        return kRefused;
    const int64_t bytes = (length + guard) * channels * 4;
    auto *ring = static_cast<int32_t *>(record->allocate(static_cast<uint32_t>(bytes)));
    if (ring == nullptr)
        return kRefused;
    record->converterBuffer = ring;
    qirn_asrc_init_Q31(record->props, ring, static_cast<uint32_t>(length), static_cast<uint32_t>(guard),
                       static_cast<uint32_t>(channels), &record->converter);
    qirn_asrc_write_zeros_Q31(&record->converter, static_cast<int32_t>(std::clamp<int64_t>(2 * f, 0, INT32_MAX)));
    return KVE_OK;
}

int32_t IpcPinDestroyAsrc(IpcPin *record)
{
    if (record == nullptr)
        return kRefused;
    if (record->converterBuffer != nullptr && record->release != nullptr)
        record->release(record->converterBuffer);
    record->converterBuffer = nullptr;
    return KVE_OK;
}

int32_t IpcPinNotify(IpcPin *record, IOPin *, uint32_t event)
{
    if (record == nullptr)
        return kRefused;
    const bool both = IpcPinBothBound(record) != 0;
    if (event == IPC_PIN_UNBOUND) {
        if (!both && record->converterBuffer != nullptr)
            IpcPinDestroyAsrc(record);
        return KVE_OK;
    }
    if (event != IPC_PIN_BOUND || !both || record->converterBuffer != nullptr || record->extraLength == 0 ||
        record->rate == 0)
        return KVE_OK;
    IpcCore *sinkCore = firstCore(record, record->sinkPin);
    IpcCore *sourceCore = firstCore(record, record->sourcePin);
    if (sinkCore == nullptr || sourceCore == nullptr)
        return kRefused;
    const uint32_t sinkWords = wireWords(sinkCore, firstWire(record->sinkPin));
    const uint32_t sourceWords = wireWords(sourceCore, firstWire(record->sourcePin));
    const uint32_t channels = wireChannels(sourceCore, firstWire(record->sourcePin));
    const auto frames = [channels](uint32_t words) {
        return channels == 0 ? 0 : static_cast<int32_t>(std::min<uint32_t>(words / channels, INT32_MAX));
    };
    return IpcPinInitAsrc(record, frames(sinkWords), frames(sourceWords),
                          static_cast<int32_t>(std::min<uint32_t>(channels, INT32_MAX)));
}

int32_t IpcPinBothBound(const IpcPin *record)
{
    return record != nullptr && bound(record->sourcePin) && bound(record->sinkPin) ? 1 : 0;
}

// Both pins end up sharing one ping-pong pair crosswise: what one instance writes the other reads, with no copy.
// Only pins whose blocks have one size may share buffers.
int32_t IpcPinFlip(IpcPin *record)
{
    if (IpcPinBothBound(record) == 0)
        return kRefused;
    IOPin *source = record->sourcePin;
    IOPin *sink = record->sinkPin;
    if (kve::wireWords(firstWire(source)) != kve::wireWords(firstWire(sink)))
        return kRefused;
    std::swap(source->bufferA, source->bufferB);
    sink->bufferB = source->bufferA;
    sink->bufferA = source->bufferB;
    return KVE_OK;
}

int32_t IpcPinReadSinkSamples(IpcPin *record, int32_t *buffer)
{
    if (record == nullptr)
        return kRefused;
    IpcCore *sinkCore = firstCore(record, record->sinkPin);
    if (sinkCore == nullptr || buffer == nullptr)
        return 0;
    GenericWire *sinkWire = firstWire(record->sinkPin);
    if (record->converterBuffer == nullptr) {
        const uint32_t words = wireWords(sinkCore, sinkWire);
        sinkCore->ops->readWireSamples(sinkCore, sinkWire, words, buffer);
        return static_cast<int32_t>(std::min<uint32_t>(words, INT32_MAX));
    }
    IpcCore *sourceCore = firstCore(record, record->sourcePin);
    if (sourceCore == nullptr)
        return 0;
    const uint32_t words = wireWords(sourceCore, firstWire(record->sourcePin));
    ASRCWriteSamples(record, buffer, converterFrames(record, words, wireChannels(sinkCore, sinkWire)));
    return static_cast<int32_t>(std::min<uint32_t>(words, INT32_MAX));
}

int32_t IpcPinWriteSourceSamples(IpcPin *record, uint32_t words, const int32_t *buffer)
{
    if (record == nullptr || record->sourcePin == nullptr || buffer == nullptr || !sourceCoresKnown(record))
        return kRefused;
    const IOPin *source = record->sourcePin;
    for (uint32_t i = 0; i < source->bindingCount && i < KVE_MAX_PIN_BINDINGS; ++i) {
        IpcCore *core = coreOf(record, source->bindings[i]);
        GenericWire *wire = source->bindings[i].wire;
        core->ops->writeWireSamples(core, wire, std::min(words, wireWords(core, wire)), buffer);
    }
    return KVE_OK;
}

int32_t IpcPinPumpSourcePin(IpcPin *record, int32_t *buffer)
{
    if (record == nullptr || record->sourcePin == nullptr || buffer == nullptr)
        return kRefused;
    IOPin *source = record->sourcePin;
    if ((source->info3 & IPC_PIN_PUMP_MASK) == 0 || !bound(source))
        return KVE_OK;
    IpcCore *sourceCore = firstCore(record, source);
    if (sourceCore == nullptr || !sourceCoresKnown(record))
        return kRefused;
    const bool both = IpcPinBothBound(record) != 0;
    if (both && record->converterBuffer == nullptr) {
        if (firstCore(record, record->sinkPin) == nullptr)
            return kRefused;
        const int32_t words = IpcPinReadSinkSamples(record, buffer);
        return IpcPinWriteSourceSamples(record, static_cast<uint32_t>(words), buffer);
    }
    GenericWire *wire = firstWire(source);
    const uint32_t words = wireWords(sourceCore, wire);
    if (both) {
        ASRCReadSamples(record, buffer, converterFrames(record, words, wireChannels(sourceCore, wire)));
    } else {
        std::memset(buffer, 0, static_cast<size_t>(words) * sizeof *buffer);
    }
    return IpcPinWriteSourceSamples(record, words, buffer);
}

int32_t ASRCReadSamples(IpcPin *record, int32_t *output, int32_t frames)
{
    if (record == nullptr || record->converterBuffer == nullptr || output == nullptr)
        return kRefused;
    return record->cubic != 0 ? qirn_asrc_read_output_cubic_Q31(&record->converter, output, frames)
                              : qirn_asrc_read_output_linear_Q31(&record->converter, output, frames);
}

int32_t ASRCWriteSamples(IpcPin *record, const int32_t *input, int32_t frames)
{
    if (record == nullptr || record->converterBuffer == nullptr || input == nullptr)
        return kRefused;
    return qirn_asrc_write_input_Q31(&record->converter, input, frames);
}

} // extern "C"
