// A standard I/O stream in a wrapper that closes what it opened and answers every call with a defined value when
// no file is open; it reads text lines with either line-end convention.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

class File2 {
public:
    // No file yet; a later open makes the wrapper own its stream.
    File2();
    // Wraps a stream opened elsewhere; the wrapper never closes it.
    explicit File2(FILE *stream);
    // Opens path with the fopen mode; a bufferSize of 0 or more then asks for full buffering of that size.
    File2(const char *path, const char *mode, int32_t bufferSize);
    virtual ~File2();

    // One owner per stream: a copy would close it twice.
    File2(const File2 &) = delete;
    File2 &operator=(const File2 &) = delete;

    // Closes the current stream and opens path; a missing path or mode answers false and keeps the current one.
    bool open(const char *path, const char *mode);
    // Closes the stream if the wrapper owns it and forgets it in every case.
    void close();

    // The position, or -1 without a stream or when it lies beyond what 32 bits hold.
    int32_t tell();
    // Moves by offset from origin (SEEK_SET, SEEK_CUR, SEEK_END) and answers tell().
    int32_t seek(int32_t offset, int origin);
    // Full buffering with the given buffer, or one the C library allocates when it is null; true without a stream.
    bool setBuffer(char *buffer, size_t size);
    // True when the buffered output reached the file (and without a stream).
    bool flush();
    // The file's length in bytes, the position left where it was; -1 without a stream or for a stream that
    // cannot seek.
    int64_t getLength();

    // The character written, or EOF (also without a stream).
    int writeChar(int c);
    // Bytes read into buffer, at most count; 0 without a stream or buffer.
    size_t read(void *buffer, size_t count);
    // Characters written, negative on a write error; 0 without a stream or format.
    int printf(const char *format, ...) __attribute__((format(printf, 2, 3)));

    // Reads one line into line: it ends at LF when lfEnds is set, else only at CR LF, or at the end of the file.
    // strip drops one trailing LF and then one trailing CR; without strip the line comes as read. False when
    // nothing was left to read (line emptied), or without a stream (line untouched).
    bool fgets(std::string &line, bool strip, bool lfEnds);

private:
    FILE *stream_;
    bool owns_;
};
