// A scripted TCP server for the request-response channel's tests: tests/oracles/tcp_talk_server.py on a free
// loopback port, serving one connection per script (its steps are listed in the script).
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace kvetest {

class ScriptedServer {
public:
    explicit ScriptedServer(const std::vector<std::string> &connections)
    {
        std::string command = "/usr/bin/python3 " KVE_TESTS_DIR "/oracles/tcp_talk_server.py";
        for (const std::string &steps : connections)
            command += " '" + steps + "'";
        pipe_ = popen(command.c_str(), "r");
        char line[32];
        if (pipe_ != nullptr && std::fgets(line, sizeof line, pipe_) != nullptr)
            port_ = std::atoi(line);
    }
    ~ScriptedServer() { finish(); }
    ScriptedServer(const ScriptedServer &) = delete;
    ScriptedServer &operator=(const ScriptedServer &) = delete;

    // The listening port, 0 when the server did not start.
    int port() const { return port_; }

    // Waits until the server has served every connection; what it read, one "<connection> <hex>" line per read.
    std::vector<std::string> finish()
    {
        if (pipe_ == nullptr)
            return reads_;
        std::string read;
        for (int c; (c = std::fgetc(pipe_)) != EOF;) {
            if (c != '\n') {
                read += static_cast<char>(c);
                continue;
            }
            reads_.push_back(read);
            read.clear();
        }
        pclose(pipe_);
        pipe_ = nullptr;
        return reads_;
    }

private:
    FILE *pipe_ = nullptr;
    int port_ = 0;
    std::vector<std::string> reads_;
};

} // namespace kvetest
