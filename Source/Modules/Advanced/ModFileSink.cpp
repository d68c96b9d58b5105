// FileSink: prints every block to a text file, one line per sample frame (two per complex frame), after a header
// line that says how to read it back. The one class that touches a file from Process: its purpose is per-block
// file output.
#include <cstring>

#include "Modules/Advanced/FileSinks.h"

using namespace kve::kit;
using namespace kve::filesinks;

namespace {

constexpr uint32_t kTextWords = 15; // 60 bytes

constexpr std::array<Variable, 6> kVariables = {
    KVE_VARIABLE(FileSinkModule, pathWords, Int),
    KVE_VARIABLE(FileSinkModule, openRequest, Int),
    KVE_ARRAY(FileSinkModule, path, IntArray, perArgument(0)),
    KVE_ARRAY(FileSinkModule, valueFormat, IntArray, fixedLength(kTextWords)),
    KVE_ARRAY(FileSinkModule, dataType, IntArray, fixedLength(kTextWords)),
    KVE_VARIABLE(FileSinkModule, file, Pointer),
};

ClassModule *fileSinkConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                 const uint32_t *args)
{
    return construct(kve_modFileSinkClass, kVariables, 1, 0, status, wireWord, wires, argc, args);
}

// A text buffer as a string: the bytes up to its first NUL, or the whole buffer when it has none.
void textOf(ClassModule *m, const int32_t *words, uint32_t array, char *out, size_t outBytes)
{
    const size_t bytes = std::min<size_t>(size_t{capacity(m, array)} * 4, outBytes - 1);
    const auto *text = reinterpret_cast<const char *>(words);
    const size_t n = strnlen(text, bytes);
    std::memcpy(out, text, n);
    out[n] = '\0';
}

void openFile(FileSinkModule *s, const GenericWire *in, bool complex)
{
    if (s->file != nullptr)
        std::fclose(s->file);
    s->file = nullptr;
    const size_t pathBytes = size_t{capacity(&s->header, 0)} * 4;
    const auto *path = reinterpret_cast<const char *>(s->path);
    if (pathBytes == 0 || strnlen(path, pathBytes) == pathBytes) {
        s->openRequest = KVE_E_FILE_OPEN; // no terminated path inside the buffer
        return;
    }
    s->file = std::fopen(path, "w");
    if (s->file == nullptr) {
        s->openRequest = KVE_E_FILE_OPEN;
        return;
    }
    s->openRequest = 0;
    char typeName[kTextWords * 4 + 1];
    textOf(&s->header, s->dataType, 2, typeName, sizeof typeName);
    const uint32_t b = blockSize(in);
    std::fprintf(s->file,
                 "Block size = %d; Number of Channels = %d; Data Type = %s; Sample Rate = %g; Is Complex = %d\n",
                 static_cast<int>(complex ? b / 2 : b), static_cast<int>(KVE_WIRE_CHANNELS(in->info1)), typeName,
                 static_cast<double>(in->sampleRate), complex ? 1 : 0);
}

void printValues(std::FILE *f, const char *format, bool isFloat, const uint32_t *words, uint32_t n, uint32_t step)
{
    for (uint32_t c = 0; c < n; ++c) {
        if (isFloat) {
            float v;
            std::memcpy(&v, &words[c * step], 4);
            std::fprintf(f, format, static_cast<double>(v));
        } else {
            std::fprintf(f, format, static_cast<int>(words[c * step]));
        }
    }
    std::fputc('\n', f);
}

void fileSinkProcess(ClassModule *m)
{
    auto *s = reinterpret_cast<FileSinkModule *>(m);
    const GenericWire *in = wire(m, 0);
    const bool complex = KVE_WIRE_COMPLEX(in->info1) != 0;
    if (s->openRequest == 1)
        openFile(s, in, complex);
    if (s->file == nullptr)
        return;
    char typeName[kTextWords * 4 + 1];
    textOf(m, s->dataType, 2, typeName, sizeof typeName);
    const bool isFloat = std::strcmp(typeName, "float") == 0;
    char formatText[kTextWords * 4 + 1];
    textOf(m, s->valueFormat, 1, formatText, sizeof formatText);
    const char *format = valueFormatFor(formatText, sizeof formatText, isFloat);
    const uint32_t n = KVE_WIRE_CHANNELS(in->info1);
    const uint32_t b = blockSize(in);
    const auto *words = static_cast<const uint32_t *>(in->buffer);
    if (!complex) {
        for (uint32_t k = 0; k < b; ++k)
            printValues(s->file, format, isFloat, words + k * n, n, 1);
        return;
    }
    for (uint32_t k = 0; k < b / 2; ++k) {
        printValues(s->file, format, isFloat, words + 2 * k * n, n, 2);
        printValues(s->file, format, isFloat, words + 2 * k * n + 1, n, 2);
    }
}

// Mask 0 is the teardown call: the file is closed so all it buffered reaches the disk.
int32_t fileSinkSet(ClassModule *m, uint32_t mask)
{
    auto *s = reinterpret_cast<FileSinkModule *>(m);
    if (mask == 0 && s->file != nullptr) {
        std::fclose(s->file);
        s->file = nullptr;
    }
    return KVE_OK;
}

} // namespace

extern "C" constinit const ClassRecord<6> kve_modFileSinkClass =
    makeClass<6>(0xBEEF0CF6u, {fileSinkConstructor, fileSinkProcess, IOMatchUpModule_Bypass, fileSinkSet}, kVariables);
