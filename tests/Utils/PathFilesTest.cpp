// Paths on the file system: existence, removal, renaming, directory trees, listings by wildcard, the working
// directory and the program's own directory.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "FileTestDir.h"
#include "kve/kve_path.h"
#include "kve/kve_string_vector.h"

namespace {

using kvetest::ScratchDir;
using Names = std::vector<std::string>;

// Runs the test body inside another working directory and returns to the one it came from.
class InDirectory {
public:
    explicit InDirectory(const std::string &path) : previous_(Path::CurrentDirectory())
    {
        EXPECT_TRUE(Path::ChangeDirectory(path));
    }
    ~InDirectory() { Path::ChangeDirectory(previous_); }
    InDirectory(const InDirectory &) = delete;
    InDirectory &operator=(const InDirectory &) = delete;

private:
    std::string previous_;
};

bool isDirectory(const std::string &path)
{
    return std::filesystem::is_directory(path);
}

TEST(PathFiles, TestsRemovesAndRenamesFilesAndDirectories)
{
    ScratchDir dir;
    const std::string file = dir.write("file", "12345");
    struct stat status {};
    EXPECT_TRUE(Path::Exists(file, &status));
    EXPECT_EQ(status.st_size, 5);
    EXPECT_TRUE(Path::Exists(dir.path()));
    EXPECT_FALSE(Path::Exists(dir / "missing"));

    EXPECT_TRUE(Path::Rename(file, dir / "renamed"));
    EXPECT_FALSE(Path::Exists(file));
    EXPECT_FALSE(Path::Rename(file, dir / "again"));

    ASSERT_TRUE(Path::CreateDir(dir / "sub"));
    dir.write("sub/inner", "x");
    EXPECT_FALSE(Path::DeleteDir(dir / "sub")) << "a directory with files stays";
    EXPECT_FALSE(Path::Delete(dir / "sub")) << "a directory is no file";
    EXPECT_TRUE(Path::Delete(dir / "sub/inner"));
    EXPECT_FALSE(Path::Delete(dir / "sub/inner"));
    EXPECT_TRUE(Path::DeleteDir(dir / "sub"));
    EXPECT_FALSE(Path::Exists(dir / "sub"));
}

TEST(PathFiles, CreatesEveryMissingLevel)
{
    ScratchDir dir;
    const std::string deep = dir / "x/y/z";
    EXPECT_TRUE(Path::CreateDir(deep));
    EXPECT_TRUE(isDirectory(dir / "x") && isDirectory(dir / "x/y") && isDirectory(deep));
    EXPECT_TRUE(Path::CreateDir(deep)) << "levels already there are fine";
    EXPECT_TRUE(Path::CreateDir(dir / "x//w/./v/"));
    EXPECT_TRUE(isDirectory(dir / "x/w/v"));

    InDirectory inside(dir.path());
    EXPECT_TRUE(Path::CreateDir("ab/cd")) << "short names are levels like any other";
    EXPECT_TRUE(isDirectory("ab/cd"));
    EXPECT_TRUE(Path::CreateDir("e"));
    EXPECT_TRUE(isDirectory("e"));
    EXPECT_TRUE(Path::CreateDir("./f/../g"));
    EXPECT_TRUE(isDirectory("g"));

    dir.write("file", "");
    EXPECT_FALSE(Path::CreateDir("file/below")) << "a file in the way stops the tree";
    EXPECT_FALSE(Path::CreateDir("")) << "an empty path names no directory";
}

TEST(PathFiles, ListsDirectoryEntriesByWildcard)
{
    ScratchDir dir;
    for (const char *name : {"a.conf", "b.conf", "c.txt", ".hidden.conf"})
        dir.write(name, "");
    Path::CreateDir(dir / "d.conf");

    string_vector list{"kept"};
    EXPECT_TRUE(Path::Wildcard(dir / "*.conf", list));
    std::sort(list.begin() + 1, list.end());
    EXPECT_EQ(Names(list.begin(), list.end()), (Names{"kept", ".hidden.conf", "a.conf", "b.conf", "d.conf"}))
        << "bare names, appended to what the list held, files and directories alike";

    Names none;
    EXPECT_FALSE(Path::Wildcard(dir / "*.wav", none));
    EXPECT_FALSE(Path::Wildcard(dir / "missing/*", none));
    EXPECT_TRUE(none.empty());
    Names held{"x"};
    EXPECT_TRUE(Path::Wildcard(dir / "missing/*", held)) << "the answer tells whether the list holds anything";

    InDirectory inside(dir.path());
    Names here;
    EXPECT_TRUE(Path::Wildcard("?.txt", here)) << "a pattern without a directory lists the working directory";
    EXPECT_EQ(here, Names{"c.txt"});
}

TEST(PathFiles, ChangesAndReadsTheWorkingDirectory)
{
    ScratchDir dir;
    const std::string real = std::filesystem::canonical(dir.path()).string();
    Path::CreateDir(dir / "gone");
    {
        InDirectory inside(dir.path());
        EXPECT_EQ(Path::CurrentDirectory(), real);
        EXPECT_FALSE(Path::ChangeDirectory("missing"));
        EXPECT_EQ(Path::CurrentDirectory(), real);
        EXPECT_EQ(Path::Absolute("a/../b", ""), real + "/b");
    }
    InDirectory removed(dir / "gone");
    ASSERT_TRUE(Path::DeleteDir(dir / "gone"));
    EXPECT_EQ(Path::CurrentDirectory(), "") << "a working directory that no longer exists cannot be read";
}

TEST(PathFiles, ReportsTheProgramDirectoryOrItsRedirection)
{
    const std::string program = Path::ExePathName();
    EXPECT_TRUE(Path::IsAbsolute(program));
    EXPECT_EQ(Path::GetFile(program), "kve_utils_tests");
    EXPECT_TRUE(Path::Exists(program));
    const std::string real = Path::GetDirectory(program);
    EXPECT_EQ(Path::ExeDirectory(false), real);

    Path::SetRedirect("/opt/app");
    EXPECT_EQ(Path::ExeDirectory(false), "/opt/app");
    EXPECT_EQ(Path::ExeDirectory(true), real);
    Path::SetRedirect("");
    EXPECT_EQ(Path::ExeDirectory(false), real);
}

// Run on its own by the next test from a directory too deep for the program path's buffer: the path it gets must
// be the whole one or none, never one cut short that names another file.
TEST(PathFiles, NamesTheProgramWholeOrNotAtAll)
{
    const std::string program = Path::ExePathName();
    EXPECT_TRUE(program.empty() || Path::Exists(program)) << program;
}

TEST(PathFiles, GivesNoCutProgramPathFromADeepDirectory)
{
    ScratchDir dir;
    std::string deep = dir.path();
    while (deep.size() < 1100)
        deep += "/" + std::string(200, 'd');
    ASSERT_TRUE(Path::CreateDir(deep));
    const std::string copy = deep + "/kve_utils_tests";
    std::error_code failed;
    std::filesystem::create_hard_link(Path::ExePathName(), copy, failed);
    if (failed)
        std::filesystem::copy_file(Path::ExePathName(), copy, failed);
    ASSERT_FALSE(failed) << failed.message();
    const std::string command = "'" + copy + "' --gtest_filter=PathFiles.NamesTheProgramWholeOrNotAtAll >/dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0);
}

} // namespace
