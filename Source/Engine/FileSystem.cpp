// Finding a file by name in the working directory and the directories of KVE_SEARCH_PATH.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Engine/EngineInternal.h"

namespace {

constexpr size_t kMaxPathText = 1023;

bool isAbsolute(const char *name)
{
    const size_t len = std::strlen(name);
    if (len >= 2 && (name[0] == '/' || name[0] == '\\'))
        return true;
    return len >= 4 && name[1] == ':' && (name[2] == '/' || name[2] == '\\');
}

// Copies a candidate that opens for reading into out; a candidate longer than out can hold is skipped, never cut.
bool tryCandidate(const std::string &candidate, char *out, uint32_t outLength)
{
    if (candidate.size() + 1 > outLength)
        return false;
    FILE *f = std::fopen(candidate.c_str(), "r");
    if (f == nullptr)
        return false;
    std::fclose(f);
    std::memcpy(out, candidate.c_str(), candidate.size() + 1);
    out[outLength - 1] = '\0';
    return true;
}

} // namespace

extern "C" {

int32_t kve_fwFindFileInPath(char *out, uint32_t outLength, const char *name)
{
    if (out == nullptr || outLength == 0 || name == nullptr)
        return 0;
    if (isAbsolute(name))
        return tryCandidate(name, out, outLength) ? 1 : 0;
    if (tryCandidate(name, out, outLength))
        return 1;

    const char *env = std::getenv("KVE_SEARCH_PATH");
    if (env == nullptr)
        return 0;
    const std::string path(env, std::min(std::strlen(env), kMaxPathText));
    size_t start = 0;
    while (start < path.size()) {
        const size_t bar = path.find('|', start);
        const size_t end = bar == std::string::npos ? path.size() : bar;
        if (end > start) {
            std::string candidate = path.substr(start, end - start);
            if (candidate.back() != '/' && candidate.back() != '\\')
                candidate += '/';
            candidate += name;
            if (candidate.size() > kMaxPathText)
                candidate.resize(kMaxPathText);
            if (tryCandidate(candidate, out, outLength))
                return 1;
        }
        if (bar == std::string::npos)
            break;
        start = bar + 1;
    }
    return 0;
}

} // extern "C"
