#include "support/PythonOracle.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace kvetest {

std::string oracleArg(double value)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

std::vector<double> runOracle(const std::string &script, const std::vector<std::string> &args)
{
    // The system interpreter carries Debian's numpy and scipy, whatever python3 comes first on PATH.
    std::string command = "/usr/bin/python3 " KVE_TESTS_DIR "/oracles/" + script;
    for (const std::string &a : args)
        command += " '" + a + "'";
    std::vector<double> values;
    FILE *pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        std::fprintf(stderr, "oracle %s: cannot start\n", script.c_str());
        return values;
    }
    std::string output;
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0)
        output.append(chunk, got);
    if (pclose(pipe) != 0) {
        std::fprintf(stderr, "oracle %s failed\n", script.c_str());
        return {};
    }
    std::istringstream in(output);
    std::string token;
    while (in >> token)
        values.push_back(std::strtod(token.c_str(), nullptr));
    return values;
}

} // namespace kvetest
