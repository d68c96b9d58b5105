// The stream wrapper of the host utilities. Positions are kept in 64 bits inside: a file past 2 GiB still reports its
// true length and is left where it was, and the 32-bit position calls answer -1 rather than a wrapped number.
#include "kve/kve_file.h"

#include <sys/types.h>

#include <cstdarg>
#include <cstdint>
#include <new>

namespace {

int32_t narrowPosition(off_t position)
{
    if (position < 0 || position > INT32_MAX)
        return -1;
    return static_cast<int32_t>(position);
}

} // namespace

File2::File2() : stream_(nullptr), owns_(true) {}

File2::File2(FILE *stream) : stream_(stream), owns_(false) {}

File2::File2(const char *path, const char *mode, int32_t bufferSize) : stream_(nullptr), owns_(true)
{
    if (open(path, mode) && bufferSize >= 0)
        setBuffer(nullptr, static_cast<size_t>(bufferSize));
}

File2::~File2()
{
    close();
}

bool File2::open(const char *path, const char *mode)
{
    if (path == nullptr || path[0] == '\0' || mode == nullptr || mode[0] == '\0')
        return false;
    close();
    stream_ = std::fopen(path, mode);
    owns_ = true;
    return stream_ != nullptr;
}

void File2::close()
{
    if (stream_ != nullptr && owns_)
        std::fclose(stream_);
    stream_ = nullptr;
}

int32_t File2::tell()
{
    if (stream_ == nullptr)
        return -1;
    return narrowPosition(ftello(stream_));
}

int32_t File2::seek(int32_t offset, int origin)
{
    if (stream_ == nullptr)
        return -1;
    fseeko(stream_, offset, origin);
    return tell();
}

bool File2::setBuffer(char *buffer, size_t size)
{
    if (stream_ == nullptr)
        return true;
    return std::setvbuf(stream_, buffer, _IOFBF, size) == 0;
}

bool File2::flush()
{
    if (stream_ == nullptr)
        return true;
    return std::fflush(stream_) == 0;
}

int64_t File2::getLength()
{
    if (stream_ == nullptr)
        return -1;
    const off_t position = ftello(stream_);
    if (position < 0 || fseeko(stream_, 0, SEEK_END) != 0)
        return -1;
    const off_t length = ftello(stream_);
    fseeko(stream_, position, SEEK_SET);
    return length;
}

int File2::writeChar(int c)
{
    if (stream_ == nullptr)
        return EOF;
    return std::fputc(c, stream_);
}

size_t File2::read(void *buffer, size_t count)
{
    if (stream_ == nullptr || buffer == nullptr)
        return 0;
    return std::fread(buffer, 1, count, stream_);
}

int File2::printf(const char *format, ...)
{
    if (stream_ == nullptr || format == nullptr || format[0] == '\0')
        return 0;
    va_list args;
    va_start(args, format);
    const int written = std::vfprintf(stream_, format, args);
    va_end(args);
    return written;
}

bool File2::fgets(std::string &line, bool strip, bool lfEnds)
{
    if (stream_ == nullptr)
        return false;
    try {
        std::string text;
        bool ended = false;
        for (int c = std::getc(stream_); c != EOF; c = std::getc(stream_)) {
            const bool afterCr = !text.empty() && text.back() == '\r';
            text.push_back(static_cast<char>(c));
            if (c == '\n' && (lfEnds || afterCr)) {
                ended = true;
                break;
            }
        }
        const bool gotLine = ended || !text.empty();
        if (strip) {
            if (!text.empty() && text.back() == '\n')
                text.pop_back();
            if (!text.empty() && text.back() == '\r')
                text.pop_back();
        }
        line.swap(text);
        return gotLine;
    } catch (const std::bad_alloc &) {
        return false;
    }
}
