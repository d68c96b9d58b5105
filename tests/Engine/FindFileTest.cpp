// Finding files by name in the working directory and on the search path.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "kve/kve_engine.h"

namespace {

namespace fs = std::filesystem;

class SearchPath : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = fs::temp_directory_path() / ("kve-find-" + std::to_string(::getpid()));
        fs::create_directories(root_ / "a");
        fs::create_directories(root_ / "b");
        std::ofstream(root_ / "b" / "model.bin") << "x";
        std::ofstream(root_ / "a" / "both.bin") << "x";
        std::ofstream(root_ / "b" / "both.bin") << "x";
    }
    void TearDown() override
    {
        unsetenv("KVE_SEARCH_PATH");
        fs::remove_all(root_);
    }
    std::string dir(const char *name) const { return (root_ / name).string(); }
    std::string find(const char *name, uint32_t length = 512)
    {
        std::string out(length, '#');
        return kve_fwFindFileInPath(out.data(), length, name) == 1 ? std::string(out.c_str()) : "";
    }

    fs::path root_;
};

TEST_F(SearchPath, DirectoriesAreTriedInOrderSkippingEmptyElements)
{
    setenv("KVE_SEARCH_PATH", (dir("a") + "||" + dir("b")).c_str(), 1);
    EXPECT_EQ(find("model.bin"), dir("b") + "/model.bin");
    EXPECT_EQ(find("both.bin"), dir("a") + "/both.bin");
    setenv("KVE_SEARCH_PATH", (dir("b") + "/|" + dir("a")).c_str(), 1);
    EXPECT_EQ(find("both.bin"), dir("b") + "/both.bin") << "no second separator after a trailing '/'";
    EXPECT_EQ(find("missing.bin"), "");
}

TEST_F(SearchPath, ATrailingSeparatorEndsTheSearch)
{
    setenv("KVE_SEARCH_PATH", (dir("a") + "|").c_str(), 1);
    EXPECT_EQ(find("model.bin"), "");
    EXPECT_EQ(find("both.bin"), dir("a") + "/both.bin");
}

TEST_F(SearchPath, AbsoluteNamesAreNeverSearched)
{
    setenv("KVE_SEARCH_PATH", dir("b").c_str(), 1);
    EXPECT_EQ(find((dir("b") + "/model.bin").c_str()), dir("b") + "/model.bin");
    EXPECT_EQ(find("/model.bin"), "");
    EXPECT_EQ(find("C:/model.bin"), "") << "a drive-letter name is absolute too";
}

TEST_F(SearchPath, TheWorkingDirectoryComesFirst)
{
    const fs::path before = fs::current_path();
    fs::current_path(root_ / "a");
    setenv("KVE_SEARCH_PATH", dir("b").c_str(), 1);
    EXPECT_EQ(find("both.bin"), "both.bin");
    fs::current_path(before);
}

TEST_F(SearchPath, ACandidateThatDoesNotFitTheOutputIsSkippedAndNothingIsWritten)
{
    setenv("KVE_SEARCH_PATH", (dir("a") + "|" + dir("b")).c_str(), 1);
    const std::string full = dir("a") + "/both.bin";
    EXPECT_EQ(find("both.bin", static_cast<uint32_t>(full.size() + 1)), full);
    std::string out(full.size() + 4, '#');
    EXPECT_EQ(kve_fwFindFileInPath(out.data(), static_cast<uint32_t>(full.size()), "both.bin"), 0);
    EXPECT_EQ(out, std::string(full.size() + 4, '#')) << "a cut path would name another file";
    EXPECT_EQ(kve_fwFindFileInPath(out.data(), 0, "both.bin"), 0);
}

} // namespace
