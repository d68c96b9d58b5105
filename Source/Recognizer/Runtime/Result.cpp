// Status-result texts: short texts live in the holder itself, longer ones in a recognizer block whose capacity and
// length the holder keeps so that appending grows it geometrically; a caller may also lend a text together with the
// function that disposes of it.
#include <kve/kve_recognizer.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

// Appending keeps a total of up to this many characters inline (copying keeps one more).
constexpr size_t kInlineAppendLimit = GS_INLINE_SIZE - 2;
constexpr size_t kFormatArea = 16348;

void dispose(char *text, uintptr_t disposer)
{
    if (disposer == GS_RESULT_DYNAMIC)
        dbFree(text);
    else if (disposer != GS_RESULT_STATIC)
        reinterpret_cast<gsDisposer>(disposer)(text);
}

void makeEmpty(gsResult *result)
{
    result->text = result->inlineText;
    result->inlineText[0] = '\0';
    result->disposer = GS_RESULT_STATIC;
    result->length = 0;
}

// Copies `length` characters and a terminator into a new recognizer block of `room` bytes; null when memory is short.
char *toHeap(const char *text, size_t length, size_t room)
{
    auto *block = static_cast<char *>(dbMalloc(room));
    if (block != nullptr) {
        std::memcpy(block, text, length);
        block[length] = '\0';
    }
    return block;
}

// Formats into the local area, then sets or appends a copy; output cut at the area's end is reported, as it reaches
// the holder shortened.
void formatResult(gsResult *result, bool append, const char *format, va_list args)
{
    char area[kFormatArea];
    const int length = vsnprintf(area, kFormatArea, format, args);
    if (length < 0)
        return;
    if (static_cast<size_t>(length) >= kFormatArea)
        DBPanic("buffer overrun in %s", append ? "GS_ApfResult" : "GS_SpfResult");
    if (append)
        GS_AppendResult(result, area, static_cast<const char *>(nullptr));
    else
        GS_SetResult(result, area, GS_RESULT_COPY);
}

} // namespace

extern "C" gsResult *GS_NewResult(void)
{
    auto *result = static_cast<gsResult *>(dbMalloc(sizeof(gsResult)));
    if (result == nullptr)
        return nullptr;
    std::memset(result, 0, sizeof *result);
    makeEmpty(result);
    return result;
}

extern "C" void GS_FreeResult(gsResult *result)
{
    if (result == nullptr)
        return;
    dispose(result->text, result->disposer);
    dbFree(result);
}

extern "C" void GS_ResetResult(gsResult *result)
{
    if (result == nullptr)
        return;
    dispose(result->text, result->disposer);
    makeEmpty(result);
    result->zero = 0;
}

extern "C" void GS_SetResult(gsResult *result, const char *text, uintptr_t mode)
{
    if (result == nullptr)
        return;
    char *const oldText = result->text;
    const uintptr_t oldDisposer = result->disposer;
    if (text == nullptr) {
        makeEmpty(result);
    } else if (mode == GS_RESULT_COPY) {
        const size_t length = strlen(text);
        if (length < GS_INLINE_SIZE) {
            std::memmove(result->inlineText, text, length + 1);
            result->text = result->inlineText;
            result->disposer = GS_RESULT_STATIC;
        } else {
            char *copy = toHeap(text, length, length + 1);
            if (copy == nullptr)
                return;
            result->text = copy;
            result->disposer = GS_RESULT_DYNAMIC;
            result->length = length;
        }
        result->capacity = length + 1;
    } else {
        result->text = const_cast<char *>(text);
        result->disposer = mode;
        // A recognizer block brings its own room, which appending grows from.
        if (mode == GS_RESULT_DYNAMIC) {
            result->length = strlen(text);
            result->capacity = dbAllocSize(text);
        }
    }
    // A holder handed its own text back keeps it.
    if (oldText != result->text)
        dispose(oldText, oldDisposer);
}

extern "C" void GS_AppendResult(gsResult *result, ...)
{
    if (result == nullptr)
        return;
    const size_t current = result->disposer == GS_RESULT_DYNAMIC ? result->length : strlen(result->text);
    size_t total = current;
    bool appendsItself = false;
    va_list args;
    va_start(args, result);
    for (const char *text = va_arg(args, const char *); text != nullptr; text = va_arg(args, const char *)) {
        total += strlen(text);
        const auto at = reinterpret_cast<uintptr_t>(text);
        const auto own = reinterpret_cast<uintptr_t>(result->text);
        appendsItself |= at >= own && at <= own + current;
    }
    va_end(args);

    // A text appended may lie within the holder's own: the old text is let go only once everything is copied.
    char *const oldText = result->text;
    const uintptr_t oldDisposer = result->disposer;
    bool letGo = false;
    if (result->disposer == GS_RESULT_DYNAMIC) {
        uint64_t capacity = result->capacity > 0 ? result->capacity : 1;
        while (total + 1 > capacity)
            capacity *= 2;
        if (capacity != result->capacity) {
            char *grown = appendsItself ? toHeap(oldText, current, capacity)
                                        : static_cast<char *>(dbRealloc(oldText, capacity));
            if (grown == nullptr)
                return;
            result->text = grown;
            result->capacity = capacity;
            letGo = appendsItself;
        }
    } else {
        if (total > kInlineAppendLimit) {
            char *moved = toHeap(oldText, current, total + 1);
            if (moved == nullptr)
                return;
            result->text = moved;
            result->disposer = GS_RESULT_DYNAMIC;
        } else {
            if (oldText != result->inlineText)
                std::memmove(result->inlineText, oldText, current + 1);
            result->text = result->inlineText;
            result->disposer = GS_RESULT_STATIC;
        }
        result->capacity = total + 1;
        letGo = oldText != result->inlineText;
    }

    // Lengths are taken again, bounded by the room left, should a text be the holder's own inline text.
    char *const start = result->text;
    char *end = start + current;
    va_start(args, result);
    for (const char *text = va_arg(args, const char *); text != nullptr; text = va_arg(args, const char *)) {
        const size_t length = strnlen(text, total - static_cast<size_t>(end - start));
        std::memmove(end, text, length);
        end += length;
    }
    va_end(args);
    *end = '\0';
    if (result->disposer == GS_RESULT_DYNAMIC)
        result->length = static_cast<size_t>(end - start);
    if (letGo)
        dispose(oldText, oldDisposer);
}

extern "C" void GS_SpfResult(gsResult *result, const char *format, ...)
{
    if (result == nullptr)
        return;
    va_list args;
    va_start(args, format);
    formatResult(result, false, format, args);
    va_end(args);
}

extern "C" void GS_ApfResult(gsResult *result, const char *format, ...)
{
    if (result == nullptr)
        return;
    va_list args;
    va_start(args, format);
    formatResult(result, true, format, args);
    va_end(args);
}

extern "C" char *GS_Spf(char *buffer, const char *format, ...)
{
    // Small numbers in the format's place come from callers that passed an index for the caller's own area.
    if (reinterpret_cast<uintptr_t>(format) <= 9) {
        DBPanic("GS_Spf() called with buffer index as first argument, should be pointer to stack-allocated char "
                "buffer[GS_SPFL].");
        return buffer;
    }
    va_list args;
    va_start(args, format);
    vsnprintf(buffer, GS_SPFL, format, args);
    va_end(args);
    return buffer;
}

extern "C" const char *GS_ErrnoText(void)
{
    return strerror(errno);
}
