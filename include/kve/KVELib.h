// The library interface: a host creates one library object through KVELibraryFactory and drives the engine
// through it. The order of the operations below is the object's binary interface and never changes.
#ifndef KVE_KVELIB_H
#define KVE_KVELIB_H

#include <cstdint>

// The 32-bit value type of the interface: a float or an integer, passed as its bits.
union _Sample {
    float f;
    int32_t i;
    uint32_t u;
};

class CKVELib {
public:
    virtual ~CKVELib() = default;
    // Average layout time per pump, in 100-ns ticks; 0.0 before the first timed pump.
    virtual double AverageCycles() = 0;
    virtual uint64_t PumpCount() = 0;
    virtual void ClearMeasure() = 0;
    virtual const char *GetLibraryVersion() = 0;
    // Chooses the objects whose buffers the pump writes and reads, and optionally one layout to run alone.
    virtual void SetLayoutAddresses(uint32_t inputId, uint32_t outputId, uint32_t layoutId) = 0;
    virtual bool IsCreated() = 0;
    virtual int32_t Create(const char *name, float f1, float f2) = 0;
    // Frees the engine; refused with -67 while a command or layout load of this object runs (from a start or stop
    // callback), so that the running command finishes on a live engine.
    virtual int32_t Destroy() = 0;
    virtual int32_t PumpAudio(const _Sample *input, _Sample *output, uint32_t inputCount, uint32_t outputCount) = 0;
    virtual int32_t PinProps(uint32_t *inputSize, uint32_t *inputChannels, uint32_t *inputComplex,
                             uint32_t *inputWireId, uint32_t *outputSize, uint32_t *outputChannels,
                             uint32_t *outputComplex, uint32_t *outputWireId) = 0;
    virtual _Sample FetchValue(uint32_t address, int32_t *status) = 0;
    virtual int32_t SetValue(uint32_t address, _Sample value) = 0;
    virtual int32_t FetchValues(uint32_t address, uint32_t count, _Sample *values, uint32_t offset) = 0;
    virtual int32_t SetValues(uint32_t address, uint32_t count, const _Sample *values, uint32_t offset) = 0;
    virtual int32_t LoadKvxFile(const char *fileName, uint32_t *errorOffset) = 0;
    virtual int32_t LoadKvxMem(const uint32_t *words, uint32_t count, uint32_t *errorOffset) = 0;
    virtual int32_t SendCommand(uint32_t *buffer, uint32_t length) = 0;
    virtual uint32_t GetCycles() = 0;
    virtual bool IsStarted() = 0;
    virtual int32_t PinPropsEx(uint32_t *inputSize, uint32_t *inputChannels, uint32_t *inputComplex,
                               uint32_t *inputWireId, uint32_t *outputSize, uint32_t *outputChannels,
                               uint32_t *outputComplex, uint32_t *outputWireId, uint32_t *inputRate) = 0;
    virtual int32_t CreateEx(const char *name, float f1, float f2, bool profiling, uint32_t blockSize,
                             uint32_t number13, uint32_t inputChannels, uint32_t outputChannels) = 0;
    virtual void SetStartStopCallbacks(void *context, void (*start)(void *), void (*stop)(void *)) = 0;
    virtual void SetSearchPath(const char *directories) = 0;
};

extern "C" CKVELib *KVELibraryFactory();

#endif
