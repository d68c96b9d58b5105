/* Inter-instance pins: an engine I/O pin of one engine instance joined to an I/O pin of another, so that the block a
 * layout leaves on one instance's pin is delivered to the other's, as a plain copy or through the sample-rate
 * converter when the two instances run from different clocks.
 *
 * The record belongs to the platform that runs several instances; nothing inside the library builds one. The engine
 * notifies an attached record when a binding of either pin changes or a layout is destroyed, so the converter exists
 * exactly while both pins are bound. The platform reaches each instance through `kve_pltGetCore` (kve_packet.h): the
 * library's own answers null, and a platform program defines its own, which takes the library's place at load. */
#ifndef KVE_IPC_H
#define KVE_IPC_H

#include <stdint.h>

#include "kve_asrc.h"
#include "kve_engine.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The platform's operation table of one engine instance (core). Samples are 32-bit words; a wire's words are its
 * block size x channels. */
typedef struct IpcCoreOps {
    void (*platform[5])(void); /* the platform's own entries; the library never calls them */
    int32_t (*writeWireSamples)(void *core, GenericWire *wire, uint32_t words, const int32_t *samples);
    int32_t (*readWireSamples)(void *core, GenericWire *wire, uint32_t words, int32_t *buffer);
    uint32_t (*wireWords)(void *core, GenericWire *wire);
    uint32_t (*wireChannels)(void *core, GenericWire *wire);
} IpcCoreOps;

/* What `kve_pltGetCore` answers: a handle whose first word points at its operation table. */
typedef struct IpcCore {
    const IpcCoreOps *ops;
} IpcCore;

/* The converter ring is asked for in bytes; release answers a status. */
typedef void *(*IpcAllocateFn)(uint32_t bytes);
typedef int32_t (*IpcReleaseFn)(void *buffer);

/* Event of `IpcPinNotify`. */
enum { IPC_PIN_BOUND = 0, IPC_PIN_UNBOUND = 1 };

/* Source-pin info word 3 bits that let the pump run: the pin carries inter-instance audio. */
#define IPC_PIN_PUMP_MASK 0x900000u

typedef struct IpcPin {
    IOPin *sourcePin;        /* the pin whose bound wires receive the audio */
    IOPin *sinkPin;          /* the pin whose first bound wire supplies it */
    uint64_t platformContext; /* first argument of kve_pltGetCore */
    IpcAllocateFn allocate;
    IpcReleaseFn release;
    qirn_asrc_state converter;
    uint32_t cubic;          /* non-zero: the converter reads with cubic interpolation, else linear */
    int32_t *converterBuffer; /* non-null while the converter is active */
    const qirn_asrc_props *props;
    uint32_t rate;
    uint32_t rateDivisor;
    uint32_t extraLength;    /* 0: no converter, the pump copies blocks */
    uint32_t blockMultiplier;
} IpcPin;

/* Every call answers -1 for a null record; a call that needs a core the platform does not know does nothing and
 * answers -1 (reading the sink: 0 words). */

/* Clears the record, stores the arguments and attaches both pins; -1 (attaching nothing) for a null pin. */
int32_t IpcPinConstructor(IpcPin *record, uint64_t platformContext, IOPin *sourcePin, IOPin *sinkPin,
                          IpcAllocateFn allocate, IpcReleaseFn release);
/* Detaches both pins, releases the converter ring and clears the record. */
int32_t IpcPinDestroy(IpcPin *record);
/* Stores the converter's configuration; an extra length of 0 keeps the pins a plain copy. */
int32_t IpcPinSetupAsrc(IpcPin *record, const qirn_asrc_props *props, uint32_t rate, uint32_t rateDivisor,
                        uint32_t extraLength);
/* Builds the converter, replacing one already built. -1 and no converter without props, an allocate function or
 * channels, for a ring length or guard below 1, a ring past 2^31 bytes, or when allocate answers null. */
int32_t IpcPinInitAsrc(IpcPin *record, int32_t sourceFrames, int32_t sinkFrames, int32_t channels);
int32_t IpcPinDestroyAsrc(IpcPin *record);
/* The engine's notification after a binding change of either pin (IPC_PIN_BOUND or IPC_PIN_UNBOUND). */
int32_t IpcPinNotify(IpcPin *record, IOPin *pin, uint32_t event);
int32_t IpcPinBothBound(const IpcPin *record);
/* The two pins share one ping-pong pair crosswise; -1 unless both are bound with blocks of one size. */
int32_t IpcPinFlip(IpcPin *record);
/* Without a converter: the sink's block into the buffer. With one: the source's words of the buffer into the
 * converter. Answers the word count. */
int32_t IpcPinReadSinkSamples(IpcPin *record, int32_t *buffer);
/* The buffer into every wire bound to the source pin, at most each wire's words. */
int32_t IpcPinWriteSourceSamples(IpcPin *record, uint32_t words, const int32_t *buffer);
/* One block to the source pin: the sink's block, the converter's output, or silence when the sink is unbound. The
 * buffer holds the larger of the two pins' blocks. */
int32_t IpcPinPumpSourcePin(IpcPin *record, int32_t *buffer);
/* The converter's readers and writer on the record's converter; -1 while it has none. */
int32_t ASRCReadSamples(IpcPin *record, int32_t *output, int32_t frames);
int32_t ASRCWriteSamples(IpcPin *record, const int32_t *input, int32_t frames);

#ifdef __cplusplus
}
#endif

#endif
