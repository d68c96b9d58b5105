// The host program as a user runs it: the example layout written by the layout writer, a WAV file through it, and
// the output file against the chain computed independently; the runs it refuses, and what it leaves of the files.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Engine/LayoutCipher.h"
#include "packets/PacketBuilder.h"
#include "support/PythonOracle.h"

namespace {

namespace fs = std::filesystem;

struct ProgramRun {
    int exitCode = -1;
    std::string output; // standard output and standard error together
};

ProgramRun runCommand(const std::string &command)
{
    ProgramRun r;
    FILE *pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr)
        return r;
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0)
        r.output.append(chunk, got);
    const int status = pclose(pipe);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::string fileBytes(const fs::path &p)
{
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

class HostProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("kve-host-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        layout_ = (dir_ / "stereo-chain.kvx").string();
        ASSERT_EQ(runCommand(std::string(KVE_LAYOUT_PROGRAM) + " stereo-chain " + layout_).exitCode, 0);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string tone(const char *name, int rate, double seconds)
    {
        const std::string path = (dir_ / name).string();
        kvetest::runOracle("example_chain_files.py",
                           {"write", path, std::to_string(rate), kvetest::oracleArg(seconds)});
        return path;
    }
    ProgramRun host(const std::string &arguments) { return runCommand(std::string(KVE_HOST_PROGRAM) + " " + arguments); }

    fs::path dir_;
    std::string layout_;
};

TEST_F(HostProgram, WritesTheStereoChainItsLayoutNames)
{
    const std::string in = tone("in.wav", 48000, 0.6);
    const std::string out = (dir_ / "out.wav").string();
    const ProgramRun r = host(layout_ + " " + in + " " + out);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("layout time per block: "), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("% of real time"), std::string::npos) << r.output;

    // -6 dB, the 4th-order 5 kHz lowpass and the 0.8/0.2 mix, after the gain's 20 ms glide has settled.
    const std::vector<double> v =
        kvetest::runOracle("example_chain_files.py", {"snr", in, out, "0.25", "-6", "4", "5000", "0.8", "0.2"});
    ASSERT_EQ(v.size(), 3u);
    EXPECT_EQ(v[1], v[2]) << "every input frame has its output frame";
    EXPECT_GE(v[0], 60.0) << "signal-to-noise ratio in dB against the chain";
}

TEST_F(HostProgram, RefusesRunsThatWouldLoseOrCorruptAudio)
{
    const std::string in = tone("in.wav", 48000, 0.1);
    const std::string in96 = tone("in96.wav", 96000, 0.1);
    const std::string link = (dir_ / "link.wav").string();
    fs::create_hard_link(in, link);
    const std::string before = fileBytes(in);

    // A layout whose output pin has no wire: the pump would read an object the layout never meant as output.
    kvepackets::LayoutStream s;
    s.lookupTable(8);
    const uint32_t a = s.wire(2, 32, 48000.0f);
    const uint32_t b = s.wire(2, 32, 48000.0f);
    const uint32_t copier = s.module(0xBEEF0860u, 0x101, {a, b});
    const uint32_t layout = s.layout(1);
    s.place(layout, 0, {copier});
    s.bind(a, kvepackets::inputPin(0));
    s.start();
    const std::vector<uint32_t> words = kvepackets::encipher(s.words(), kve::kLibraryLayoutKey);
    const std::string unbound = (dir_ / "unbound.kvx").string();
    std::ofstream(unbound, std::ios::binary)
        .write(reinterpret_cast<const char *>(words.data()), static_cast<std::streamsize>(words.size() * 4));
    const std::string plain = (dir_ / "plain.kvx").string();
    ASSERT_EQ(runCommand(std::string(KVE_LAYOUT_PROGRAM) + " stereo-chain " + plain + " --plain").exitCode, 0);

    const std::string out = (dir_ / "out.wav").string();
    const struct {
        const char *what;
        std::string arguments;
        std::vector<std::string> mentions;
    } cases[] = {
        {"the input as output", layout_ + " " + in + " " + in, {"overwrite the input"}},
        {"a second name of the input as output", layout_ + " " + in + " " + link, {"overwrite the input"}},
        {"another block than the layout's", "--block 16 " + layout_ + " " + in + " " + out, {"32", "16"}},
        {"another sample rate than the layout's", layout_ + " " + in96 + " " + out, {"96000", "48000"}},
        {"an output pin without a wire", unbound + " " + in + " " + out, {"output pin"}},
        {"a plain layout file", plain + " " + in + " " + out, {"enciphered"}},
    };
    for (const auto &c : cases) {
        const ProgramRun r = host(c.arguments);
        EXPECT_EQ(r.exitCode, 1) << c.what << "\n" << r.output;
        for (const std::string &m : c.mentions)
            EXPECT_NE(r.output.find(m), std::string::npos) << c.what << ": no \"" << m << "\" in\n" << r.output;
        EXPECT_TRUE(fileBytes(in) == before) << c.what << ": the input was touched";
        EXPECT_FALSE(fs::exists(out)) << c.what << ": an output file was left";
    }
}

} // namespace
