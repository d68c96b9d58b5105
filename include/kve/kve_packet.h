/* Command packets and stored layouts: the packet interpreter, the layout-file and layout-array loaders, the layout
 * cipher and the platform hooks the library answers itself. */
#ifndef KVE_PACKET_H
#define KVE_PACKET_H

#include <stdint.h>
#include <stdio.h>

#include "kve_engine.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Packet word 0: opcode in bits 0-7, length in words (check word included) in bits 16-31. */
#define KVE_PACKET_OPCODE(w0) ((w0) & 0xFFu)
#define KVE_PACKET_LENGTH(w0) ((w0) >> 16)
#define KVE_PACKET_WORD0(opcode, length) (((uint32_t)(length) << 16) | (uint32_t)(opcode))

/* Words of the loaders' own packet buffers, and of the scratch that holds an embedded packet array. */
#define KVE_LOADER_BUFFER_WORDS 264u
#define KVE_EMBEDDED_ARRAY_WORDS 200u

/* Enciphered layout streams: an unenciphered magic word, a 64-word header block, then 64-word body blocks. */
#define KVE_CIPHER_MAGIC 0x7A6B5C4Du
#define KVE_CIPHER_BLOCK_WORDS 64u

/* ---- Packet interpreter ---- */
void kve_fwPacketInit(uint32_t *buffer, uint32_t capacity);
void kve_fwGetPacketInfo(uint32_t **buffer, uint32_t *capacity);
int32_t kve_fwPacketProcess(KVEInstance *instance);

/* ---- Layout files and arrays ---- */
int32_t BinaryLoadSinglePrivate(KVEInstance *instance, const char *path, uint32_t *errorOffset, const char *key);
int32_t BinaryLoadSingle(KVEInstance *instance, const char *path, uint32_t *errorOffset);
int32_t kve_fwPacketExecuteArrayPrivate(KVEInstance *instance, const uint32_t *array, uint32_t words,
                                        uint32_t *errorOffset, const char *key);
int32_t kve_fwPacketExecuteArray(KVEInstance *instance, const uint32_t *array, uint32_t words,
                                 uint32_t *errorOffset);
int32_t BinaryLoadPrivate(const char *path, uint32_t *errorOffset, const char *key);
int32_t BinaryLoad(const char *path, uint32_t *errorOffset);

/* The process-wide file reader and key, for programs that read or write stored streams themselves. g_key is the
 * cipher key of these calls (word 0 least significant): init_key sets it, every xxteaex call advances it. The
 * loaders keep a key of their own per load and never touch it. */
extern uint32_t g_key[4];
void init_read(void);
void init_key(const char *key);
void xxteaex(uint32_t *words, int32_t n);
int32_t sGetNextCommand(uint32_t *packet, uint32_t *consumed, FILE *file, int32_t enciphered);

/* ---- File-system calls: the engine has no file system; these give fixed answers ---- */
int32_t kve_fwResetFileSystem(void);
int32_t kve_fwGetFirstFile(uint32_t *entry);
int32_t kve_fwGetNextFile(uint32_t *entry);
int32_t kve_fwOpenFile(const uint32_t *name, uint32_t mode, uint32_t *handle);
int32_t kve_fwWriteFile(uint32_t handle, const uint32_t *data, uint32_t count);
int32_t kve_fwReadFile(uint32_t handle, uint32_t *data, uint32_t *count);
int32_t kve_fwCloseFile(void);
int32_t kve_fwDeleteFile(const uint32_t *name);
int32_t kve_fwExecuteFile(const uint32_t *name);
int32_t GetFileSystemInfo(uint32_t *info);
int32_t GetNextCommand(void);
int32_t kve_fwEraseFlash(void);
int32_t kve_fwReadFileMem(uint32_t address, uint32_t *data, uint32_t count);
int32_t kve_fwGetFileMemStartingAddress(uint32_t *address);
void *kve_fwFindFile(const uint32_t *name);
uint32_t kve_fwGetFileAttribute(const uint32_t *entry);
int32_t kve_pltInitFileSystem(void);
uint32_t kve_pltGetFlashEraseTime(void);

/* ---- Platform hooks answered inside the library ---- */
int32_t kve_pltPacketProcess(void);
void *kve_pltGetCore(void *context, uint32_t ownerTag);

#ifdef __cplusplus
}
#endif

#endif
