// Independent reference values from numpy and scipy: runs a script of tests/oracles with the system Python and
// reads back the numbers it prints.
#pragma once

#include <string>
#include <vector>

namespace kvetest {

// Runs tests/oracles/<script> with the arguments and returns every whitespace-separated number it printed.
// Fails the calling test (through an empty result and a message on stderr) when the script cannot run.
std::vector<double> runOracle(const std::string &script, const std::vector<std::string> &args = {});

// Writes numbers as arguments without losing a bit of a float or double.
std::string oracleArg(double value);

} // namespace kvetest
