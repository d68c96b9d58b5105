// WAVE files: the chunk walk, the reader that turns PCM, mu-law and G.721 data into 16-bit mono samples, and the
// writer of 16-bit PCM, mu-law and G.721 files. Positions are 64-bit throughout, and every size a file declares is
// checked against what the file still holds before anything of that size is allocated or read.
#include <kve/kve_recognizer.h>
#include <kve/kve_recognizer_runtime.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>

static_assert(std::endian::native == std::endian::little, "WAVE samples are stored and copied as little-endian words");

namespace {

constexpr uint32_t kLargestChunk = 0xFFFF0000u;
constexpr size_t kReadStep = 1048576;
constexpr size_t kWriteStep = 10000;
constexpr uint64_t kLargestData = 0xFFFFFFFFull - 36;

uint32_t le32(const uint8_t *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint16_t le16(const uint8_t *p)
{
    return uint16_t(p[0] | p[1] << 8);
}

void putLe32(uint8_t *p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

void putLe16(uint8_t *p, uint16_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

// The file's length, or -1 when the stream cannot say; the position is kept. A regular file's length comes from the
// file system, sparing the stream's buffer; other streams are measured by seeking to their end.
int64_t fileLength(FILE *stream)
{
    struct stat status;
    const int descriptor = fileno(stream);
    if (descriptor >= 0 && fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode))
        return status.st_size;
    const off_t here = ftello(stream);
    if (here < 0 || fseeko(stream, 0, SEEK_END) != 0)
        return -1;
    const off_t end = ftello(stream);
    if (fseeko(stream, here, SEEK_SET) != 0)
        return -1;
    return end;
}

bool chunkLengthInRange(gsResult *result, const riffChunk &chunk)
{
    if (chunk.size == 0 || chunk.size > kLargestChunk) {
        GS_SetResult(result, "RIFF chunk length out of range", GS_RESULT_STATIC);
        return false;
    }
    return true;
}

// Whether the chunk's data lies wholly within the file.
bool fitsInFile(FILE *stream, const riffChunk &chunk)
{
    const int64_t length = fileLength(stream);
    return length >= 0 && uint64_t(chunk.offset) + chunk.size <= uint64_t(length);
}

// The converters' shared start: a recognizer block for count samples, or a failure text.
int16_t *newSamples(gsResult *result, uint64_t count)
{
    auto *block = static_cast<int16_t *>(dbMalloc(count * sizeof(int16_t)));
    if (block == nullptr)
        GS_SetResult(result, "failed to allocate memory.", GS_RESULT_STATIC);
    return block;
}

// The coded formats hold one channel of codes of one width; bitsText may take the file's width as %d.
bool monoCodes(gsResult *result, const riffFormat *format, unsigned bits, const char *channelText,
               const char *bitsText)
{
    if (format->channels > 1) {
        GS_SetResult(result, channelText, GS_RESULT_STATIC);
        return false;
    }
    if (format->bitsPerSample != bits) {
        GS_SpfResult(result, bitsText, int(format->bitsPerSample));
        return false;
    }
    return true;
}

// Keeps the samples from start ms to end ms: with r the rate, the first kept is floor(r * start / 1000) and the
// end is ceil(end * r / 1000 + 0.5), both held within 0..count so that a trim beyond the recording keeps nothing. A
// negative end keeps the end of the recording, whatever the rate.
uint32_t trim(int16_t *samples, uint32_t count, uint32_t rate, double startMs, double endMs)
{
    const double r = rate;
    const double first = std::floor(r * startMs / 1000.0);
    const double last = std::ceil(endMs * r / 1000.0 + 0.5);
    const uint32_t s = first > 0.0 ? uint32_t(std::min(first, double(count))) : 0;
    const uint32_t e = endMs < 0.0 || !(last >= 0.0) ? count : uint32_t(std::min(last, double(count)));
    const uint32_t kept = e > s ? e - s : 0;
    if (s > 0 && kept > 0)
        std::memmove(samples, samples + s, kept * sizeof(int16_t));
    return kept;
}

bool writeAll(FILE *stream, const void *bytes, size_t size)
{
    return fwrite(bytes, 1, size, stream) == size;
}

} // namespace

extern "C" int riffFindChunk(gsResult *result, FILE *stream, riffChunk *chunk, const riffChunk *parent,
                             int32_t searchFlag)
{
    if (searchFlag != 0 && searchFlag != 1) {
        GS_SetResult(result, "bad search flag", GS_RESULT_STATIC);
        return 1;
    }
    const char *notFound = searchFlag == 0 ? "RIFF form type not found" : "RIFF chunk not found";
    const uint64_t start = parent != nullptr ? parent->offset : 0;
    const uint64_t rangeEnd = parent != nullptr ? start + parent->size : UINT64_MAX;
    const int64_t length = stream != nullptr ? fileLength(stream) : -1;
    if (length < 0 || fseeko(stream, off_t(start), SEEK_SET) != 0) {
        GS_SetResult(result, "seek failed", GS_RESULT_STATIC);
        return 1;
    }
    // Each step advances by at least 8 bytes and the walk ends at the end of the range or of the file, so no size a
    // file declares can keep it going round.
    uint64_t position = start;
    const uint64_t end = std::min(rangeEnd, uint64_t(length));
    bool passedEnd = false;
    for (;;) {
        uint8_t head[8];
        if (fread(head, 1, 4, stream) < 4)
            break;
        if (fread(head + 4, 1, 4, stream) < 4) {
            GS_SetResult(result, "fread failed: ", GS_RESULT_STATIC);
            GS_AppendResult(result, GS_ErrnoText(), static_cast<const char *>(nullptr));
            return 1;
        }
        const uint32_t size = le32(head + 4);
        if (searchFlag == 0 && std::memcmp(head, "RIFF", 4) == 0) {
            uint8_t form[4];
            if (fread(form, 1, 4, stream) < 4)
                break;
            if (std::memcmp(form, chunk->id, 4) == 0 && position + 12 <= UINT32_MAX) {
                chunk->size = size;
                chunk->offset = uint32_t(position + 12);
                return 0;
            }
            position += 12;
            continue;
        }
        if (searchFlag == 1 && std::memcmp(head, chunk->id, 4) == 0 && position + 8 <= UINT32_MAX) {
            chunk->size = size;
            chunk->offset = uint32_t(position + 8);
            return 0;
        }
        // A chunk of odd size is followed by a pad byte, which a file may leave out at its very end.
        position += 8 + uint64_t(size) + (size & 1);
        if (position >= end) {
            passedEnd = true;
            break;
        }
        if (fseeko(stream, off_t(position), SEEK_SET) != 0)
            break;
    }
    if (!passedEnd && !feof(stream))
        GS_SetResult(result, searchFlag == 0 ? "Corrupt RIFF file" : "corrupt RIFF file", GS_RESULT_STATIC);
    else
        GS_SetResult(result, notFound, GS_RESULT_STATIC);
    return 1;
}

extern "C" int riffSkip(gsResult *result, FILE *stream, const riffChunk *chunk)
{
    if (fseeko(stream, off_t(uint64_t(chunk->offset) + chunk->size), SEEK_SET) != 0) {
        GS_SetResult(result, "seek failed", GS_RESULT_STATIC);
        return 1;
    }
    return 0;
}

extern "C" int riffConvertPcm(gsResult *result, const riffFormat *format, const riffChunk *data, const uint8_t *bytes,
                              int16_t **samples, uint32_t *count, int32_t channelMode)
{
    const unsigned channels = format->channels;
    const unsigned bits = format->bitsPerSample;
    if (channels == 0 || channels > 2) {
        GS_SetResult(result, "PCM WAVE file contains more than 2 data channels", GS_RESULT_STATIC);
        return 1;
    }
    if (bits != 8 && bits != 16) {
        GS_SpfResult(result, "%d bits per sample PCM format not supported", int(bits));
        return 1;
    }
    const uint32_t n = data->size / (bits / 8) / channels;
    int16_t *out = newSamples(result, n);
    if (out == nullptr)
        return 1;
    // The channel a mode of 1 or 2 takes; 0 averages both.
    const unsigned pick = channels == 2 && (channelMode == 1 || channelMode == 2) ? unsigned(channelMode - 1) : 2;
    if (bits == 16) {
        if (channels == 1) {
            std::memcpy(out, bytes, size_t(n) * 2);
        } else if (pick < 2) {
            for (uint32_t i = 0; i < n; ++i)
                out[i] = int16_t(le16(bytes + 4 * size_t(i) + 2 * pick));
        } else {
            for (uint32_t i = 0; i < n; ++i) {
                const int left = int16_t(le16(bytes + 4 * size_t(i)));
                const int right = int16_t(le16(bytes + 4 * size_t(i) + 2));
                out[i] = int16_t((left + right) / 2);
            }
        }
    } else if (channels == 1) {
        for (uint32_t i = 0; i < n; ++i)
            out[i] = int16_t((bytes[i] - 128) * 256);
    } else if (pick < 2) {
        for (uint32_t i = 0; i < n; ++i)
            out[i] = int16_t((bytes[2 * size_t(i) + pick] - 128) * 256);
    } else {
        for (uint32_t i = 0; i < n; ++i)
            out[i] = int16_t(((bytes[2 * size_t(i)] - 128) + (bytes[2 * size_t(i) + 1] - 128)) * 128);
    }
    *samples = out;
    *count = n;
    return 0;
}

extern "C" int riffReadUlaw(gsResult *result, const riffFormat *format, const riffChunk *data, const uint8_t *bytes,
                            int16_t **samples, uint32_t *count, int32_t)
{
    if (!monoCodes(result, format, 8, "u-law WAVE file contains more than one data channel",
                   "%d bits per sample u-law format not supported"))
        return 1;
    int16_t *out = newSamples(result, data->size);
    if (out == nullptr)
        return 1;
    for (uint32_t i = 0; i < data->size; ++i)
        out[i] = ulawDecode(bytes[i]);
    *samples = out;
    *count = data->size;
    return 0;
}

extern "C" int riffReadG721(gsResult *result, const riffFormat *format, const riffChunk *data, const uint8_t *bytes,
                            int16_t **samples, uint32_t *count, int32_t)
{
    if (!monoCodes(result, format, 4, "G721 WAVE file contains more than one data channel",
                   "# of bits per sample is inconsistent with G721 format"))
        return 1;
    uint32_t decoded = 0;
    int16_t *out = g721Decode(bytes, data->size, &decoded);
    if (out == nullptr) {
        GS_SetResult(result, "failed to allocate memory.", GS_RESULT_STATIC);
        return 1;
    }
    *samples = out;
    *count = decoded;
    return 0;
}

extern "C" int riffReadWave(gsResult *result, FILE *stream, int16_t **samples, uint32_t *sampleRate, uint32_t *count,
                            int32_t channelMode, uint32_t *channels, double startMs, double endMs)
{
    // The stream, the rate and the count are where the answer goes: without them there is nothing to read into.
    if (stream == nullptr || sampleRate == nullptr || count == nullptr) {
        GS_SetResult(result, "no stream, sample rate or count to read into", GS_RESULT_STATIC);
        return 1;
    }
    riffChunk form{{'W', 'A', 'V', 'E'}, 0, 0};
    if (riffFindChunk(result, stream, &form, nullptr, 0) != 0) {
        GS_AppendResult(result, "\nnot a RIFF waveform audio file", static_cast<const char *>(nullptr));
        return 1;
    }
    riffChunk fmt{{'f', 'm', 't', ' '}, 0, 0};
    if (riffFindChunk(result, stream, &fmt, &form, 1) != 0) {
        GS_AppendResult(result, "\nwaveform audio file has no \"fmt \" chunk.", static_cast<const char *>(nullptr));
        return 1;
    }
    if (!chunkLengthInRange(result, fmt))
        return 1;
    if (!fitsInFile(stream, fmt)) {
        GS_SetResult(result, "fmt chunk read failed.", GS_RESULT_STATIC);
        return 1;
    }
    // The buffer starts zeroed so that a chunk shorter than the fields read leaves them 0, not whatever was there.
    const size_t fmtRoom = std::max<size_t>(fmt.size, 20);
    auto *fmtBytes = static_cast<uint8_t *>(dbMalloc(fmtRoom));
    if (fmtBytes == nullptr) {
        GS_SetResult(result, "failed to allocate memory.", GS_RESULT_STATIC);
        return 1;
    }
    std::memset(fmtBytes, 0, fmtRoom);
    if (fseeko(stream, off_t(fmt.offset), SEEK_SET) != 0 || fread(fmtBytes, 1, fmt.size, stream) < fmt.size) {
        GS_SetResult(result, "fmt chunk read failed.", GS_RESULT_STATIC);
        dbFree(fmtBytes);
        return 1;
    }
    const riffFormat format{le16(fmtBytes), le16(fmtBytes + 2), le32(fmtBytes + 4), le16(fmtBytes + 14)};
    dbFree(fmtBytes);
    *sampleRate = format.sampleRate;
    if (channels != nullptr)
        *channels = format.channels;
    if (riffSkip(result, stream, &fmt) != 0)
        return 1;

    riffChunk data{{'d', 'a', 't', 'a'}, 0, 0};
    if (riffFindChunk(result, stream, &data, &form, 1) != 0) {
        GS_AppendResult(result, "\nwaveform audio file has no \"data\" chunk.", static_cast<const char *>(nullptr));
        return 1;
    }
    if (!chunkLengthInRange(result, data))
        return 1;

    if (samples == nullptr) {
        const unsigned width = format.bitsPerSample / 8;
        switch (format.formatTag) {
        case 1:
        case 7:
            *count = width == 0 || format.channels == 0 ? 0 : data.size / width / format.channels;
            return 0;
        case 0x40:
            // Two samples a byte: a chunk of more than 2^31 bytes would hold more samples than a count can.
            if (data.size > UINT32_MAX / 2) {
                GS_SetResult(result, "RIFF chunk length out of range", GS_RESULT_STATIC);
                return 1;
            }
            *count = 2 * data.size;
            return 0;
        default:
            GS_SetResult(result, "WAVE encoding format not supported", GS_RESULT_STATIC);
            return 1;
        }
    }

    if (!fitsInFile(stream, data) || fseeko(stream, off_t(data.offset), SEEK_SET) != 0) {
        GS_SetResult(result, "truncated \"data\" chunk", GS_RESULT_STATIC);
        return 1;
    }
    auto *bytes = static_cast<uint8_t *>(dbMalloc(data.size));
    if (bytes == nullptr) {
        GS_SetResult(result, "failed to allocate memory.", GS_RESULT_STATIC);
        return 1;
    }
    for (size_t done = 0; done < data.size;) {
        const size_t got = fread(bytes + done, 1, std::min(kReadStep, data.size - done), stream);
        if (got == 0) {
            GS_SetResult(result, "truncated \"data\" chunk", GS_RESULT_STATIC);
            dbFree(bytes);
            return 1;
        }
        done += got;
    }

    int16_t *out = nullptr;
    uint32_t n = 0;
    int status;
    switch (format.formatTag) {
    case 1:
        // 16-bit mono data already is the samples: the block read is handed out as it is, saving a copy.
        if (format.channels == 1 && format.bitsPerSample == 16) {
            out = reinterpret_cast<int16_t *>(bytes);
            bytes = nullptr;
            n = data.size / 2;
            status = 0;
        } else {
            status = riffConvertPcm(result, &format, &data, bytes, &out, &n, channelMode);
        }
        break;
    case 7:
        status = riffReadUlaw(result, &format, &data, bytes, &out, &n, channelMode);
        break;
    case 0x40:
        if (data.size > UINT32_MAX / 2) {
            GS_SetResult(result, "RIFF chunk length out of range", GS_RESULT_STATIC);
            status = 1;
        } else {
            status = riffReadG721(result, &format, &data, bytes, &out, &n, channelMode);
        }
        break;
    default:
        GS_SpfResult(result, "WAVE format (id 0x%x) not supported", unsigned(format.formatTag));
        status = 1;
        break;
    }
    dbFree(bytes);
    if (status != 0)
        return 1;
    if (!(startMs == 0.0 && endMs == -1.0))
        n = trim(out, n, format.sampleRate, startMs, endMs);
    *samples = out;
    *count = n;
    return 0;
}

extern "C" uint32_t riffWriteChunked(const void *buffer, size_t elementSize, uint32_t count, FILE *stream)
{
    const auto *bytes = static_cast<const uint8_t *>(buffer);
    const uint64_t total = uint64_t(elementSize) * count;
    for (uint64_t done = 0; done < total;) {
        const size_t wrote = fwrite(bytes + done, 1, size_t(std::min<uint64_t>(kWriteStep, total - done)), stream);
        if (wrote == 0)
            return 0xFFFFFFFFu;
        done += wrote;
    }
    return count;
}

extern "C" int riffWriteU32(gsResult *result, FILE *stream, uint32_t value)
{
    uint8_t word[4];
    putLe32(word, value);
    if (!writeAll(stream, word, 4)) {
        GS_AppendResult(result, GS_ErrnoText(), static_cast<const char *>(nullptr));
        return 1;
    }
    return 0;
}

extern "C" int riffWriteWave(gsResult *result, const char *path, const int16_t *samples, uint32_t count,
                             uint32_t sampleRate, uint16_t formatTag, int32_t)
{
    uint64_t byteRate;
    uint16_t blockAlign;
    uint16_t bits;
    uint64_t dataBytes;
    switch (formatTag) {
    case 7:
        byteRate = sampleRate;
        blockAlign = 1;
        bits = 8;
        dataBytes = count;
        break;
    case 0x40:
        byteRate = 0;
        blockAlign = 0;
        bits = 4;
        dataBytes = (uint64_t(count) + 1) / 2;
        break;
    case 1:
        byteRate = 2 * uint64_t(sampleRate);
        blockAlign = 2;
        bits = 16;
        dataBytes = 2 * uint64_t(count);
        break;
    default:
        GS_AppendResult(result, "format not supported", static_cast<const char *>(nullptr));
        return 1;
    }
    // The header's sizes are 32-bit: a recording they cannot describe is refused rather than written with a header
    // that misstates it.
    if (dataBytes > kLargestData || byteRate > UINT32_MAX) {
        GS_SetResult(result, "recording too long for a WAVE file", GS_RESULT_STATIC);
        return 1;
    }

    if (samples == nullptr && count > 0) {
        GS_SetResult(result, "no samples to write", GS_RESULT_STATIC);
        return 1;
    }

    FILE *file = path != nullptr ? fopen(path, "wb") : nullptr;
    if (file == nullptr) {
        GS_SetResult(result, "could not open \"", GS_RESULT_STATIC);
        GS_AppendResult(result, path != nullptr ? path : "", "\" for output: ", GS_ErrnoText(),
                        static_cast<const char *>(nullptr));
        return 1;
    }
    uint8_t header[40];
    std::memcpy(header, "RIFF", 4);
    putLe32(header + 4, uint32_t(36 + dataBytes));
    std::memcpy(header + 8, "WAVEfmt ", 8);
    putLe32(header + 16, 16);
    putLe16(header + 20, formatTag);
    putLe16(header + 22, 1);
    putLe32(header + 24, sampleRate);
    putLe32(header + 28, uint32_t(byteRate));
    putLe16(header + 32, blockAlign);
    putLe16(header + 34, bits);
    std::memcpy(header + 36, "data", 4);

    bool written = writeAll(file, header, sizeof header);
    bool sizeFailed = false;
    void *encoded = nullptr;
    if (written) {
        sizeFailed = riffWriteU32(result, file, uint32_t(dataBytes)) != 0;
        written = !sizeFailed;
    }
    if (written && count > 0) {
        if (formatTag == 7) {
            auto *codes = static_cast<uint8_t *>(dbMalloc(count));
            encoded = codes;
            if (codes != nullptr) {
                for (uint32_t i = 0; i < count; ++i)
                    codes[i] = ulawEncode(samples[i]);
                written = riffWriteChunked(codes, 1, count, file) == count;
            }
        } else if (formatTag == 0x40) {
            uint32_t codeBytes = 0;
            encoded = g721Encode(samples, count, &codeBytes);
            if (encoded != nullptr)
                written = riffWriteChunked(encoded, 1, codeBytes, file) == codeBytes;
        } else {
            written = riffWriteChunked(samples, 2, count, file) == count;
        }
        if (encoded == nullptr && formatTag != 1) {
            dbFree(encoded);
            fclose(file);
            GS_SetResult(result, "failed to allocate memory.", GS_RESULT_STATIC);
            return 1;
        }
    }
    dbFree(encoded);
    // What the stream still holds reaches the file only at closing: a failure there loses data as surely as a write.
    const bool closed = fclose(file) == 0;
    if (!sizeFailed && (!written || !closed)) {
        GS_AppendResult(result, "fwrite of '", path, "' failed: ", GS_ErrnoText(), static_cast<const char *>(nullptr));
        return 1;
    }
    return sizeFailed ? 1 : 0;
}
