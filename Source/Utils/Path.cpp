// Path strings and file-system calls of the host utilities.
#include "kve/kve_path.h"

#include <dirent.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "kve/kve_string.h"

namespace {

// When not empty, reported as the program directory (a host that runs from an installed copy points it at its data).
std::string s_redirect_dir;

constexpr size_t kPathBytes = 1024;

bool isSeparator(char c)
{
    return c == '/' || c == '\\';
}

// A drive prefix such as D: followed by a separator.
bool hasDriveRoot(const std::string &path)
{
    return path.size() >= 3 && path[1] == ':' && isSeparator(path[2]);
}

size_t lastSeparator(const std::string &path)
{
    return path.find_last_of("/\\");
}

bool isDirectory(const std::string &path)
{
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

} // namespace

bool Path::Exists(const std::string &path, struct stat *status)
{
    struct stat local {};
    return stat(path.c_str(), status != nullptr ? status : &local) == 0;
}

bool Path::Delete(const std::string &path)
{
    return unlink(path.c_str()) == 0;
}

bool Path::DeleteDir(const std::string &path)
{
    return rmdir(path.c_str()) == 0;
}

bool Path::CreateDir(const std::string &path)
{
    // An empty path names no directory that could exist afterwards.
    if (path.empty())
        return false;
    for (size_t end = 0; end <= path.size(); ++end) {
        if (end < path.size() && !isSeparator(path[end]))
            continue;
        const std::string prefix = path.substr(0, end);
        // Only the empty prefix before a leading separator and the directory's own links are never created;
        // a short name such as "ab" is a level like any other.
        if (prefix.empty() || prefix == "." || prefix == ".." || Exists(prefix))
            continue;
        // Another process may create the same level between the test and the call.
        if (mkdir(prefix.c_str(), 0777) != 0 && !(errno == EEXIST && isDirectory(prefix)))
            return false;
    }
    return true;
}

bool Path::Rename(const std::string &from, const std::string &to)
{
    return std::rename(from.c_str(), to.c_str()) == 0;
}

std::string Path::ExePathName()
{
    char buffer[kPathBytes];
    // A link that fills the whole buffer may have been cut short: a cut path would name another file.
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    if (length < 0 || static_cast<size_t>(length) >= sizeof buffer)
        return std::string();
    return std::string(buffer, static_cast<size_t>(length));
}

void Path::SetRedirect(const std::string &directory)
{
    s_redirect_dir = directory;
}

std::string Path::ExeDirectory(bool ignoreRedirect)
{
    if (!ignoreRedirect && !s_redirect_dir.empty())
        return s_redirect_dir;
    return GetDirectory(ExePathName());
}

std::string Path::CurrentDirectory()
{
    char buffer[kPathBytes];
    if (getcwd(buffer, sizeof buffer) == nullptr)
        return std::string();
    return buffer;
}

bool Path::ChangeDirectory(const std::string &path)
{
    return chdir(path.c_str()) == 0;
}

bool Path::IsRoot(const std::string &path)
{
    return (path.size() == 1 && isSeparator(path[0])) || (path.size() == 3 && hasDriveRoot(path));
}

bool Path::IsAbsolute(const std::string &path)
{
    return !path.empty() && (isSeparator(path[0]) || hasDriveRoot(path));
}

std::string Path::GetDirectory(const std::string &path)
{
    const size_t separator = lastSeparator(path);
    if (separator == std::string::npos)
        return std::string();
    if (separator == 2 && path[1] == ':')
        return path.substr(0, 3);
    if (separator == 0)
        return path.substr(0, 1);
    return path.substr(0, separator);
}

std::string Path::GetFile(const std::string &path)
{
    const size_t separator = path.find_last_of(":/\\");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

std::string Path::GetName(const std::string &path)
{
    const std::string file = GetFile(path);
    return file.substr(0, file.rfind('.'));
}

std::string Path::GetExtension(const std::string &path)
{
    const std::string file = GetFile(path);
    const size_t dot = file.rfind('.');
    return dot == std::string::npos ? std::string() : file.substr(dot + 1);
}

std::string Path::SetExtension(const std::string &path, const std::string &extension)
{
    std::string result = path;
    const size_t separator = lastSeparator(result);
    const size_t componentStart = separator == std::string::npos ? 0 : separator + 1;
    const size_t dot = result.rfind('.');
    if (dot != std::string::npos && dot >= componentStart)
        result.erase(dot);
    if (!extension.empty()) {
        if (extension[0] != '.')
            result += '.';
        result += extension;
    }
    return result;
}

std::string Path::GetRoot(const std::string &path)
{
    if (IsRoot(path) && path.size() == 3 && std::isalpha(static_cast<unsigned char>(path[0])))
        return path;
    // The absolute form begins with "/" on this platform unless the path carries a drive; a root is "/" alone.
    const std::string absolute = Absolute(path, std::string());
    if (!absolute.empty() && isSeparator(absolute[0]))
        return absolute.substr(0, 1);
    return absolute.substr(0, 3);
}

std::string Path::Add(const std::string &base, const std::string &relative)
{
    if (IsAbsolute(relative))
        return relative;
    const bool baseIsRoot = IsRoot(base);
    std::string left = base;
    if (!baseIsRoot) {
        const size_t last = left.find_last_not_of("/\\");
        left.erase(last == std::string::npos ? 0 : last + 1);
    }
    const size_t first = relative.find_first_not_of("/\\");
    const std::string right = first == std::string::npos ? std::string() : relative.substr(first);
    if (!baseIsRoot && !left.empty() && !right.empty())
        left += '/';
    return left.append(right);
}

std::string Path::Resolve(const std::string &path)
{
    std::string root;
    size_t restStart = 0;
    if (!path.empty() && isSeparator(path[0])) {
        root.push_back('/');
        restStart = 1;
    } else if (hasDriveRoot(path)) {
        root = path.substr(0, 2);
        root.push_back('/');
        restStart = 3;
    }
    std::vector<std::string> components;
    String::Split(components, path.c_str() + restStart, "/\\");
    std::vector<std::string> kept;
    for (const std::string &component : components) {
        if (component == ".")
            continue;
        if (component == ".." && !kept.empty() && kept.back() != "..")
            kept.pop_back();
        else
            kept.push_back(component);
    }
    if (!root.empty() && !kept.empty() && kept.front() == "..")
        return std::string();
    return root.append(String::Merge(kept, "/"));
}

std::string Path::Absolute(const std::string &path, const std::string &base)
{
    // A rooted path that climbs above its root resolves to "": it stays "" rather than being read as a relative
    // path and quietly becoming the base or the working directory.
    std::string resolved = Resolve(path);
    if (IsAbsolute(resolved) || IsAbsolute(path))
        return resolved;
    const std::string onBase = Add(base, resolved);
    resolved = Resolve(onBase);
    if (IsAbsolute(resolved) || IsAbsolute(onBase))
        return resolved;
    return Resolve(Add(CurrentDirectory(), resolved));
}

bool Path::Wildcard(const std::string &pattern, std::vector<std::string> &list)
{
    const std::string directory = GetDirectory(pattern);
    const std::string mask = GetFile(pattern);
    DIR *entries = opendir(directory.empty() ? "." : directory.c_str());
    if (entries == nullptr)
        return !list.empty();
    for (const dirent *entry = readdir(entries); entry != nullptr; entry = readdir(entries)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            continue;
        if (String::CompareWild(entry->d_name, mask.c_str()))
            list.emplace_back(entry->d_name);
    }
    closedir(entries);
    return !list.empty();
}
