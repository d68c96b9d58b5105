// Path strings under both separator conventions and drive prefixes: parts of a path, joining, the normal form
// (against Python's posixpath with the utilities' own conventions) and absolute forms.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "FileTestDir.h"
#include "kve/kve_path.h"

namespace {

using kvetest::ScratchDir;

TEST(Path, TellsRootsAndAbsolutePaths)
{
    const struct {
        const char *path;
        bool root, absolute;
    } cases[] = {
        {"/", true, true},      {"\\", true, true},   {"D:/", true, true},  {"D:\\", true, true},
        {"1:/", true, true},    {"D:", false, false}, {"D:/x", false, true}, {"/x", false, true},
        {"\\x", false, true},   {"x", false, false},  {"", false, false},    {"ab", false, false},
        {"//", false, true},    {"D:x", false, false},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(Path::IsRoot(c.path), c.root) << c.path;
        EXPECT_EQ(Path::IsAbsolute(c.path), c.absolute) << c.path;
    }
}

TEST(Path, CutsAPathIntoDirectoryFileNameAndExtension)
{
    const struct {
        const char *path, *directory, *file, *name, *extension;
    } cases[] = {
        {"D:\\x", "D:\\", "x", "x", ""},
        {"/x", "/", "x", "x", ""},
        {"a/b/c", "a/b", "c", "c", ""},
        {"a\\b/c.d", "a\\b", "c.d", "c", "d"},
        {"name.txt", "", "name.txt", "name", "txt"},
        {".profile", "", ".profile", "", "profile"},
        {"a.tar.gz", "", "a.tar.gz", "a.tar", "gz"},
        {"my.dir/file", "my.dir", "file", "file", ""},
        {"D:name.txt", "", "name.txt", "name", "txt"},
        {"dir/", "dir", "", "", ""},
        {"", "", "", "", ""},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(Path::GetDirectory(c.path), c.directory) << c.path;
        EXPECT_EQ(Path::GetFile(c.path), c.file) << c.path;
        EXPECT_EQ(Path::GetName(c.path), c.name) << c.path;
        EXPECT_EQ(Path::GetExtension(c.path), c.extension) << c.path;
    }
}

TEST(Path, ReplacesTheExtensionOfTheLastComponentOnly)
{
    const struct {
        const char *path, *extension, *result;
    } cases[] = {
        {"a/b.dat", "txt", "a/b.txt"},
        {"a/b.dat", ".txt", "a/b.txt"},
        {"my.dir/file", "txt", "my.dir/file.txt"},
        {"a/b.dat", "", "a/b"},
        {"my.dir\\file", "", "my.dir\\file"},
        {"a.tar.gz", "bz2", "a.tar.bz2"},
        {"", "txt", ".txt"},
        {".profile", "bak", ".bak"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Path::SetExtension(c.path, c.extension), c.result) << c.path << " + " << c.extension;
}

TEST(Path, AddsARelativePathToABase)
{
    const struct {
        const char *base, *relative, *result;
    } cases[] = {
        {"a/b/", "c", "a/b/c"}, {"/", "x", "/x"},    {"a", "/c", "/c"},     {"a", "", "a"},
        {"", "c", "c"},         {"//", "c", "c"},    {"a\\\\", "c", "a/c"}, {"D:/", "x", "D:/x"},
        {"a", "D:\\x", "D:\\x"}, {"a/", "./b", "a/./b"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Path::Add(c.base, c.relative), c.result) << c.base << " + " << c.relative;
}

TEST(Path, ResolvesDotsAndRepeatedSeparators)
{
    const struct {
        const char *path, *result;
    } cases[] = {
        {"a/./b/../c", "a/c"}, {"../../x", "../../x"}, {"a//b/", "a/b"},      {"/a/../x", "/x"},
        {"/../x", ""},         {"D:\\a\\..\\b", "D:/b"}, {"D:/..", ""},        {"", ""},
        {"a/..", ""},          {"/", "/"},             {"\\\\a\\", "/a"},     {"a/../../b/..", ".."},
        {"./.", ""},           {"...", "..."},         {"a/b/../../..", ".."}, {"/a/b/../..", "/"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Path::Resolve(c.path), c.result) << c.path;
}

// Random paths of names, dots and both separators, with and without roots, so the normaliser meets run-ons,
// climbs and trailing separators in every order.
std::vector<std::string> randomPaths(size_t count)
{
    const char *const names[] = {"a", "bc", ".", "..", "", "...", ".x"};
    const char *const roots[] = {"", "", "", "/", "\\", "//", "D:/", "c:\\"};
    std::mt19937 random(20261211);
    std::vector<std::string> paths;
    for (size_t i = 0; i < count; ++i) {
        std::string path = roots[random() % std::size(roots)];
        const size_t parts = random() % 7;
        for (size_t p = 0; p < parts; ++p) {
            if (p > 0)
                path += random() % 2 ? "/" : "\\";
            path += names[random() % std::size(names)];
        }
        if (random() % 4 == 0)
            path += "/";
        paths.push_back(path);
    }
    return paths;
}

std::vector<std::string> referenceForms(const ScratchDir &dir, const std::vector<std::string> &paths)
{
    std::string input;
    for (const std::string &path : paths)
        input += path + "\n";
    const std::string command =
        "/usr/bin/python3 " KVE_TESTS_DIR "/oracles/path_normalisation.py < '" + dir.write("paths", input) + "'";
    std::vector<std::string> forms;
    FILE *pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return forms;
    std::string output;
    char chunk[4096];
    for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;)
        output.append(chunk, got);
    if (pclose(pipe) != 0)
        return {};
    for (size_t start = 0, end; (end = output.find('\n', start)) != std::string::npos; start = end + 1)
        forms.push_back(output.substr(start, end - start));
    return forms;
}

TEST(Path, ResolvesAsPosixNormalisationDoes)
{
    ScratchDir dir;
    const std::vector<std::string> paths = randomPaths(3000);
    const std::vector<std::string> forms = referenceForms(dir, paths);
    ASSERT_EQ(forms.size(), paths.size()) << "the reference script did not run";
    for (size_t i = 0; i < paths.size(); ++i)
        EXPECT_EQ(Path::Resolve(paths[i]), forms[i]) << "'" << paths[i] << "'";
}

TEST(Path, MakesPathsAbsolute)
{
    const std::string cwd = Path::CurrentDirectory();
    ASSERT_FALSE(cwd.empty());
    const struct {
        std::string path, base, result;
    } cases[] = {
        {"x/../y", "/base", "/base/y"},
        {"/a/./b", "/base", "/a/b"},
        {"D:\\a\\..\\b", "/base", "D:/b"},
        {"../y", "/base/sub/", "/base/y"},
        {"y", "rel", cwd + "/rel/y"},
        {"", "", cwd},
        {"/../x", "/base", ""},
        {"../../..", "/a", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Path::Absolute(c.path, c.base), c.result) << c.path << " on " << c.base;
}

TEST(Path, FindsTheRootOfAPath)
{
    const struct {
        const char *path, *root;
    } cases[] = {
        {"D:/", "D:/"}, {"D:\\x\\y", "D:/"}, {"/usr/lib", "/"}, {"\\x", "/"}, {"relative", "/"}, {"", "/"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Path::GetRoot(c.path), c.root) << c.path;
}

} // namespace
