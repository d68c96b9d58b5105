// A scratch directory of its own for each test of the file, list and path utilities, removed with everything in it
// when the test ends, so tests never see each other's files.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace kvetest {

class ScratchDir {
public:
    ScratchDir()
    {
        const auto *test = ::testing::UnitTest::GetInstance()->current_test_info();
        // Parameterised suites and tests carry "/" in their names.
        std::string name = std::string("kve_") + test->test_suite_name() + "_" + test->name();
        for (char &c : name)
            if (c == '/')
                c = '_';
        path_ = ::testing::TempDir() + name + "_" + std::to_string(getpid());
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~ScratchDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir &) = delete;
    ScratchDir &operator=(const ScratchDir &) = delete;

    const std::string &path() const { return path_; }
    std::string operator/(const std::string &name) const { return path_ + "/" + name; }

    // Writes the bytes as they are (zero bytes and line ends included) and answers the file's path.
    std::string write(const std::string &name, const std::string &bytes) const
    {
        const std::string file = *this / name;
        std::ofstream(file, std::ios::binary) << bytes;
        return file;
    }
    std::string read(const std::string &name) const
    {
        std::ifstream in(*this / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    std::string path_;
};

} // namespace kvetest
