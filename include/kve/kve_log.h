// Diagnostics of the host utilities: a trace to standard error, a time-stamped text log and a binary log kept in
// memory and appended to files on request. Plain external names, so a host calls them and sets the switches itself.
#pragma once

#include <cstdint>

extern "C" {

// Nonzero turns the text log (Tlog, DumpLog) on; initially 0.
extern int32_t g_use_text_log;
// Nonzero turns the binary log (LogBinary, DumpBinaryLog) on; initially 0.
extern int32_t g_use_bin_log;
// Receives the assertion text when a line cannot be formatted.
extern char g_fault_buffer[4096];

// Prints the formatted text (at most 4095 characters) to standard error as it stands, adding no line end.
void Trace(const char *format, ...) __attribute__((format(printf, 1, 2)));
// Stores one line "<seconds>.<microseconds>: <text>" of the monotonic clock while g_use_text_log is set.
void Tlog(const char *format, ...) __attribute__((format(printf, 1, 2)));
// Appends every stored text line to the file and empties the store.
void DumpLog(const char *path);
// Keeps count / 4 whole words of the bytes while g_use_bin_log is set.
void LogBinary(const void *data, uint32_t count);
// Appends the stored words to the file and empties the store.
void DumpBinaryLog(const char *path);
}
