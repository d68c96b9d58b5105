// Runs a WAV file through a layout file: creates the engine through the library interface, loads the enciphered
// layout, pumps through the wires the layout binds to the engine's input and output pins, starts it if the layout
// did not start itself, and writes what the output wire gives, block by block, as a WAV file.
#include <sndfile.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "kve/KVELib.h"
#include "kve/kve_packet.h"
#include "kve/kve_types.h"

namespace {

constexpr const char *kUsage =
    "usage: kve_host [options] layout.kvx in.wav out.wav\n"
    "  --channels-in N   channels of the layout's input (default: the input file's)\n"
    "  --channels-out N  channels of the layout's output (default: the input file's)\n"
    "  --block N         frames per block: the block the layout's pinned wires were built for (default 32)\n"
    "  --float           write 32-bit float samples (default: the input file's sample format)\n"
    "  --help            print this text\n"
    "The layout file must be enciphered under the library's key (kve_layout writes it so unless --plain).\n"
    "Input channels the layout does not take are dropped; channels the file lacks are fed silence.\n";

// The engine's target information holds channel counts in 8 bits and the block size in 12.
constexpr unsigned long kMaxChannels = 255;
constexpr unsigned long kMaxBlock = 4095;

// Members of a wire as the host addresses them: its sample rate and info word 2 (the block size in bits 0-16).
constexpr uint32_t kWireSampleRate = 4;
constexpr uint32_t kWireInfo2 = 6;

// The layout's time is measured only after this many blocks: the engine reports none during its warm-up.
constexpr unsigned long kWarmUpBlocks = 20;

struct Options {
    unsigned long channelsIn = 0;
    unsigned long channelsOut = 0;
    unsigned long block = 32;
    bool floatOutput = false;
    std::string layout, input, output;
};

// A run that cannot go on: unwinds to main, which reports it and ends with status 1.
struct Failure {
    std::string message;
};

[[noreturn]] void fail(const std::string &message) { throw Failure{message}; }

unsigned long parseCount(const std::string &option, const char *text, unsigned long max)
{
    if (text == nullptr)
        fail(option + " needs a number\n" + kUsage);
    errno = 0;
    char *end = nullptr;
    const unsigned long v = std::strtoul(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || text[0] == '-' || v < 1 || v > max)
        fail(option + " takes a whole number from 1 to " + std::to_string(max) + ", not \"" + text + "\"");
    return v;
}

Options parseOptions(int argc, char **argv)
{
    Options o;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        const char *value = nullptr;
        if (arg.rfind("--", 0) == 0) {
            const size_t eq = arg.find('=');
            if (eq != std::string::npos) {
                value = argv[i] + eq + 1;
                arg.resize(eq);
            }
        }
        auto next = [&]() -> const char * { return value != nullptr ? value : (i + 1 < argc ? argv[++i] : nullptr); };
        if (arg == "--channels-in")
            o.channelsIn = parseCount(arg, next(), kMaxChannels);
        else if (arg == "--channels-out")
            o.channelsOut = parseCount(arg, next(), kMaxChannels);
        else if (arg == "--block")
            o.block = parseCount(arg, next(), kMaxBlock);
        else if (arg == "--float" && value == nullptr)
            o.floatOutput = true;
        else if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (arg.size() > 1 && arg[0] == '-')
            fail("unknown option " + arg + "\n" + kUsage);
        else
            files.push_back(arg);
    }
    if (files.size() != 3)
        fail(std::string("expected a layout file, an input and an output file\n") + kUsage);
    o.layout = files[0];
    o.input = files[1];
    o.output = files[2];
    return o;
}

struct SoundFileCloser {
    void operator()(SNDFILE *f) const { sf_close(f); }
};
using SoundFile = std::unique_ptr<SNDFILE, SoundFileCloser>;

struct LibraryDeleter {
    void operator()(CKVELib *lib) const { delete lib; }
};

std::string loadFailure(int32_t status, uint32_t offset)
{
    switch (status) {
    case KVE_E_FILE_OPEN:
        return "cannot open the layout file";
    case KVE_E_CIPHER_HEADER:
        return "not an enciphered layout file for this library";
    default:
        return "the packet at word offset " + std::to_string(offset) + " failed with status " +
               std::to_string(status);
    }
}

// True when both paths name one file: the output would be truncated before the input is read.
bool sameFile(const std::string &a, const std::string &b)
{
    if (a == b)
        return true;
    struct stat sa{}, sb{};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

// What the layout binds to the engine's pins: the wire ids, their channels, block and rate.
struct PinnedWires {
    uint32_t inputWire = 0, outputWire = 0;
    uint32_t inputChannels = 0, outputChannels = 0;
    uint32_t inputBlock = 0, outputBlock = 0;
    float inputRate = 0.0f;
};

uint32_t fetchWord(CKVELib &lib, uint32_t wire, uint32_t member, const std::string &layout)
{
    int32_t status = 0;
    const _Sample v = lib.FetchValue(wire << 12 | member, &status);
    if (status != 0)
        fail(layout + ": cannot read wire " + std::to_string(wire) + " (status " + std::to_string(status) + ")");
    return v.u;
}

PinnedWires pinnedWires(CKVELib &lib, const std::string &layout)
{
    PinnedWires p;
    uint32_t size = 0, complex = 0;
    if (lib.PinPropsEx(&size, &p.inputChannels, &complex, &p.inputWire, &size, &p.outputChannels, &complex,
                       &p.outputWire, nullptr) != 1)
        fail(layout + ": the layout file builds no layout to run");
    if (p.inputWire == 0)
        fail(layout + ": the layout binds no wire to the engine's input pin");
    if (p.outputWire == 0)
        fail(layout + ": the layout binds no wire to the engine's output pin");
    p.inputBlock = fetchWord(lib, p.inputWire, kWireInfo2, layout) & 0x1FFFFu;
    p.outputBlock = fetchWord(lib, p.outputWire, kWireInfo2, layout) & 0x1FFFFu;
    const uint32_t rate = fetchWord(lib, p.inputWire, kWireSampleRate, layout);
    std::memcpy(&p.inputRate, &rate, sizeof rate);
    return p;
}

std::string pumpFailure(int32_t status, const Options &o, unsigned long channelsIn, unsigned long channelsOut)
{
    switch (status) {
    case KVE_E_BAD_ARGUMENT:
        return "the layout's pumped wires are smaller than a block of " + std::to_string(o.block) + " frames of " +
               std::to_string(channelsIn) + " input and " + std::to_string(channelsOut) +
               " output channels; check --block, --channels-in and --channels-out";
    case KVE_E_NO_LAYOUT:
        return "the layout file builds no layout to run";
    case KVE_E_NOT_STARTED:
        return "the engine stopped";
    default:
        return "the pump failed with status " + std::to_string(status);
    }
}

// The output's sample format: float when asked, else the input's when a WAV file can hold it.
int outputFormat(const SF_INFO &in, bool floatOutput, int channels)
{
    SF_INFO probe{};
    probe.samplerate = in.samplerate;
    probe.channels = channels;
    probe.format = SF_FORMAT_WAV | (floatOutput ? SF_FORMAT_FLOAT : (in.format & SF_FORMAT_SUBMASK));
    if (sf_format_check(&probe))
        return probe.format;
    std::fprintf(stderr, "kve_host: a WAV file cannot hold the input's sample format; writing float samples\n");
    return SF_FORMAT_WAV | SF_FORMAT_FLOAT;
}

int run(const Options &o)
{
    if (sameFile(o.input, o.output))
        fail(o.output + ": the output would overwrite the input file; name another output file");
    SF_INFO inInfo{};
    SoundFile in(sf_open(o.input.c_str(), SFM_READ, &inInfo));
    if (!in)
        fail(o.input + ": " + sf_strerror(nullptr));
    if (inInfo.channels < 1 || static_cast<unsigned long>(inInfo.channels) > kMaxChannels)
        fail(o.input + ": " + std::to_string(inInfo.channels) + " channels; the engine takes 1 to " +
             std::to_string(kMaxChannels));
    const auto fileChannels = static_cast<unsigned long>(inInfo.channels);
    const unsigned long channelsIn = o.channelsIn != 0 ? o.channelsIn : fileChannels;
    const unsigned long channelsOut = o.channelsOut != 0 ? o.channelsOut : fileChannels;

    std::unique_ptr<CKVELib, LibraryDeleter> lib(KVELibraryFactory());
    if (!lib)
        fail("no memory for the library object");
    int32_t status = lib->CreateEx("kve_host", 0.0f, 0.0f, true, static_cast<uint32_t>(o.block), 0,
                                   static_cast<uint32_t>(channelsIn), static_cast<uint32_t>(channelsOut));
    if (status != 0)
        fail("cannot create the engine (status " + std::to_string(status) + ")");
    uint32_t errorOffset = 0;
    status = lib->LoadKvxFile(o.layout.c_str(), &errorOffset);
    if (status != 0)
        fail(o.layout + ": " + loadFailure(status, errorOffset));
    // Blocks are interleaved by the channel counts given and cut to the block given: a layout whose pinned wires
    // carry other counts, another block or another rate would get its samples shuffled or run the wrong designs.
    const PinnedWires pins = pinnedWires(*lib, o.layout);
    if (pins.inputChannels != channelsIn)
        fail(o.layout + ": the layout's input has " + std::to_string(pins.inputChannels) + " channels, not " +
             std::to_string(channelsIn) + "; give --channels-in");
    if (pins.outputChannels != channelsOut)
        fail(o.layout + ": the layout's output has " + std::to_string(pins.outputChannels) + " channels, not " +
             std::to_string(channelsOut) + "; give --channels-out");
    for (uint32_t layoutBlock : {pins.inputBlock, pins.outputBlock})
        if (layoutBlock != o.block)
            fail(o.layout + ": the layout's pinned wires were built for blocks of " + std::to_string(layoutBlock) +
                 " frames, not " + std::to_string(o.block) + "; give --block " + std::to_string(layoutBlock));
    if (!(pins.inputRate == static_cast<float>(inInfo.samplerate)))
        fail(o.input + ": the file's sample rate is " + std::to_string(inInfo.samplerate) +
             " Hz; the layout was built for " + std::to_string(std::lround(pins.inputRate)) + " Hz");
    lib->SetLayoutAddresses(pins.inputWire, pins.outputWire, 0);
    if (!lib->IsStarted()) {
        const uint32_t word0 = KVE_PACKET_WORD0(27, 2);
        uint32_t start[3] = {word0, word0, 0};
        status = lib->SendCommand(start, 3);
        if (status != 0 || static_cast<int32_t>(start[1]) < 0 || !lib->IsStarted())
            fail("the engine does not start (status " + std::to_string(static_cast<int32_t>(start[1])) + ")");
    }

    SF_INFO outInfo{};
    outInfo.samplerate = inInfo.samplerate;
    outInfo.channels = static_cast<int>(channelsOut);
    outInfo.format = outputFormat(inInfo, o.floatOutput, outInfo.channels);
    SoundFile out(sf_open(o.output.c_str(), SFM_WRITE, &outInfo));
    if (!out)
        fail(o.output + ": " + sf_strerror(nullptr));
    const bool pcm = (outInfo.format & SF_FORMAT_SUBMASK) != SF_FORMAT_FLOAT &&
                     (outInfo.format & SF_FORMAT_SUBMASK) != SF_FORMAT_DOUBLE;
    if (pcm)
        sf_command(out.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);
    if (channelsIn != fileChannels)
        std::fprintf(stderr, "kve_host: the file has %lu channels, the layout takes %lu\n", fileChannels,
                     channelsIn);

    const unsigned long block = o.block;
    std::vector<float> frames(block * fileChannels);
    std::vector<_Sample> engineIn(block * channelsIn);
    std::vector<_Sample> engineOut(block * channelsOut);
    std::vector<float> written(block * channelsOut);
    const unsigned long shared = std::min(fileChannels, channelsIn);
    auto abandon = [&](const std::string &message) {
        out.reset();
        std::remove(o.output.c_str());
        fail(message);
    };
    unsigned long blocks = 0;
    for (;;) {
        const sf_count_t got = sf_readf_float(in.get(), frames.data(), static_cast<sf_count_t>(block));
        if (got <= 0)
            break;
        // The average covers only blocks the engine timed.
        if (++blocks == kWarmUpBlocks + 1)
            lib->ClearMeasure();
        std::fill(frames.begin() + got * static_cast<sf_count_t>(fileChannels), frames.end(), 0.0f);
        for (unsigned long t = 0; t < block; ++t) {
            for (unsigned long c = 0; c < channelsIn; ++c)
                engineIn[t * channelsIn + c].f = c < shared ? frames[t * fileChannels + c] : 0.0f;
        }
        status = lib->PumpAudio(engineIn.data(), engineOut.data(), static_cast<uint32_t>(engineIn.size()),
                                static_cast<uint32_t>(engineOut.size()));
        if (status < 0)
            abandon(pumpFailure(status, o, channelsIn, channelsOut));
        for (size_t i = 0; i < written.size(); ++i) {
            const float v = engineOut[i].f;
            // Integer samples have no NaN: it is written as silence.
            written[i] = pcm && std::isnan(v) ? 0.0f : v;
        }
        if (sf_writef_float(out.get(), written.data(), got) != got)
            abandon(o.output + ": " + sf_strerror(out.get()));
    }
    if (sf_error(in.get()) != SF_ERR_NO_ERROR)
        abandon(o.input + ": " + sf_strerror(in.get()));

    // The engine measures in 100-ns ticks; a block lasts block / rate seconds of audio.
    const double perBlockUs = lib->AverageCycles() * 0.1;
    const double blockUs = 1e6 * static_cast<double>(block) / static_cast<double>(inInfo.samplerate);
    std::printf("blocks: %lu of %lu frames at %d Hz\n", blocks, block, inInfo.samplerate);
    if (blocks > kWarmUpBlocks)
        std::printf("layout time per block: %.3f us, %.3f%% of real time (average of the last %llu blocks)\n",
                    perBlockUs, 100.0 * perBlockUs / blockUs, static_cast<unsigned long long>(lib->PumpCount()));
    else
        std::printf("layout time per block: not measured (the engine times blocks after its first %lu)\n",
                    kWarmUpBlocks);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    std::string message;
    try {
        return run(parseOptions(argc, argv));
    } catch (const Failure &f) {
        message = f.message;
    } catch (const std::bad_alloc &) {
        message = "out of memory";
    }
    std::fprintf(stderr, "kve_host: %s\n", message.c_str());
    return 1;
}
