// Path strings and the file system for host programs. Both "/" and "\" separate directories and a drive prefix
// such as D: before a separator is understood, so paths written for either convention work; paths built here use
// "/". The working directory and the redirection of the program directory are process-wide.
#pragma once

#include <sys/stat.h>

#include <string>
#include <vector>

class Path {
public:
    // True when the path names a file or directory (links followed); fills status when given.
    static bool Exists(const std::string &path, struct stat *status = nullptr);
    // Removes a file.
    static bool Delete(const std::string &path);
    // Removes an empty directory.
    static bool DeleteDir(const std::string &path);
    // Creates every missing directory level of the path; true when all of them exist afterwards.
    static bool CreateDir(const std::string &path);
    static bool Rename(const std::string &from, const std::string &to);

    // The full path of the running program, "" when it cannot be read.
    static std::string ExePathName();
    // Makes ExeDirectory report this directory instead of the program's own; "" ends the redirection. Set it
    // before other threads ask for the program directory.
    static void SetRedirect(const std::string &directory);
    // The program's directory, or the redirection unless ignoreRedirect is set.
    static std::string ExeDirectory(bool ignoreRedirect);
    // The working directory, "" when it cannot be read.
    static std::string CurrentDirectory();
    static bool ChangeDirectory(const std::string &path);

    // "/" or "\" alone, or a drive root such as D:/.
    static bool IsRoot(const std::string &path);
    // Starts with a separator or a drive root.
    static bool IsAbsolute(const std::string &path);

    // Everything before the last separator; a root keeps its separator, a bare name gives "".
    static std::string GetDirectory(const std::string &path);
    // Everything after the last separator or ":".
    static std::string GetFile(const std::string &path);
    // The file part without its last extension.
    static std::string GetName(const std::string &path);
    // The file part's last extension without the dot.
    static std::string GetExtension(const std::string &path);
    // The path with its last extension replaced (the dot optional in extension); "" only removes it.
    static std::string SetExtension(const std::string &path, const std::string &extension);
    // The root of the path's absolute form: a drive root such as D:/, or "/".
    static std::string GetRoot(const std::string &path);

    // relative below base, or relative itself when it is absolute.
    static std::string Add(const std::string &base, const std::string &relative);
    // The path without "." and with each ".." taken back; "" for a rooted path that climbs above its root.
    static std::string Resolve(const std::string &path);
    // The resolved path below base, and below the working directory when still relative; "" for a rooted path
    // that climbs above its root.
    static std::string Absolute(const std::string &path, const std::string &base);

    // Appends the names (not paths) of the directory's entries that the pattern's file part matches by wildcard
    // ("?" one character, "*" any run); a pattern without a directory lists the working directory. True when the
    // list holds anything afterwards.
    static bool Wildcard(const std::string &pattern, std::vector<std::string> &list);
};
