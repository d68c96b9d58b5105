// Byte-exact reference cases for the host strings from the Python scripts of tests/oracles: each script prints one
// case a line, every field written as "x" and its bytes in hexadecimal, so any byte (space, line feed, 0xFF)
// survives the pipe.
#pragma once

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

namespace kvetest {

using OracleRow = std::vector<std::string>;

inline std::string oracleField(const std::string &bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string field = "x";
    for (unsigned char c : bytes) {
        field += digits[c >> 4];
        field += digits[c & 15];
    }
    return field;
}

inline std::string fromOracleField(const std::string &field)
{
    std::string bytes;
    for (size_t i = 1; i + 1 < field.size(); i += 2)
        bytes += static_cast<char>(std::stoi(field.substr(i, 2), nullptr, 16));
    return bytes;
}

// Runs tests/oracles/<script> with the arguments and, when given, a file of input rows as its last argument;
// returns the rows it printed. An oracle that cannot run or prints nothing fails the calling test.
inline std::vector<OracleRow> runTextOracle(const std::string &script, const std::string &args,
                                            const std::vector<OracleRow> &input = {})
{
    std::string command = "/usr/bin/python3 " KVE_TESTS_DIR "/oracles/" + script + " " + args;
    std::string inputPath;
    if (!input.empty()) {
        inputPath = ::testing::TempDir() + "oracle_input_" + std::to_string(::getpid()) + "_" + script + ".txt";
        std::ofstream file(inputPath);
        for (const OracleRow &row : input) {
            for (const std::string &field : row)
                file << oracleField(field) << ' ';
            file << '\n';
        }
        command += " " + inputPath;
    }
    std::vector<OracleRow> rows;
    FILE *pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        ADD_FAILURE() << "oracle " << script << " cannot start";
        return rows;
    }
    std::string output;
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0)
        output.append(chunk, got);
    const int status = pclose(pipe);
    if (!inputPath.empty())
        std::remove(inputPath.c_str());
    if (status != 0) {
        ADD_FAILURE() << "oracle " << script << " failed";
        return {};
    }
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        OracleRow row;
        std::string field;
        while (fields >> field)
            row.push_back(fromOracleField(field));
        rows.push_back(row);
    }
    if (rows.empty())
        ADD_FAILURE() << "oracle " << script << " printed no case";
    return rows;
}

} // namespace kvetest
