// A host's view of the library for tests and benchmarks: one library object, command packets sent through it, and
// layouts of Copier modules built from stored packets.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "kve/KVELib.h"
#include "packets/PacketBuilder.h"

namespace kvehost {

constexpr uint32_t kCopierClassId = 0xBEEF0860u;
constexpr uint32_t kStartOpcode = 27;
constexpr uint32_t kStopOpcode = 28;

struct LibraryDeleter {
    void operator()(CKVELib *lib) const { delete lib; }
};
using Library = std::unique_ptr<CKVELib, LibraryDeleter>;

inline Library makeLibrary() { return Library(KVELibraryFactory()); }

// Room for every reply the tests ask for.
constexpr size_t kReplyRoom = 300;

// Sends one complete packet in a roomy buffer; returns the buffer cut to the reply's own length (whole buffer when
// the call refused the packet).
inline std::vector<uint32_t> send(CKVELib &lib, const std::vector<uint32_t> &packet, int32_t *callStatus = nullptr)
{
    std::vector<uint32_t> buffer(std::max(packet.size(), kReplyRoom), 0);
    std::copy(packet.begin(), packet.end(), buffer.begin());
    const int32_t s = lib.SendCommand(buffer.data(), static_cast<uint32_t>(buffer.size()));
    if (callStatus != nullptr)
        *callStatus = s;
    if (s == 0)
        buffer.resize(std::min<size_t>(buffer.size(), std::max<uint32_t>(buffer[0] >> 16, 2)));
    return buffer;
}

inline std::vector<uint32_t> command(CKVELib &lib, uint32_t opcode, const std::vector<uint32_t> &operands = {})
{
    return send(lib, kvepackets::packet(opcode, operands));
}

// The status a reply carries: wires, modules and layouts reply their new id first and the status after it.
inline int32_t replyStatus(uint32_t opcode, const std::vector<uint32_t> &reply)
{
    if (reply.size() < 3)
        return 0;
    const bool constructor = opcode == 6 || opcode == 15 || opcode == 16;
    return static_cast<int32_t>(constructor ? reply[2] : reply[1]);
}

// Sends every stored packet of a stream as a command; returns the first failing status, or 0.
inline int32_t sendStream(CKVELib &lib, const std::vector<uint32_t> &stored)
{
    for (size_t at = 0; at < stored.size();) {
        const uint32_t n = stored[at] >> 16;
        if (n < 2 || at + n - 1 > stored.size())
            return -1;
        std::vector<uint32_t> p(stored.begin() + static_cast<std::ptrdiff_t>(at),
                                stored.begin() + static_cast<std::ptrdiff_t>(at + n - 1));
        p.push_back(kvepackets::checkWord(p.data(), p.size()));
        const int32_t status = replyStatus(stored[at] & 0xFFu, send(lib, p));
        if (status < 0)
            return status;
        at += n - 1;
    }
    return 0;
}

// A chain of Copier modules in one layout: wire 1 is bound to the input pin, the last wire to the output pin, and
// module k copies wire k + 1 into wire k + 2. With no modules the layout is empty and wire 2 is the output.
struct CopierChain {
    kvepackets::LayoutStream stream;
    uint32_t inputWire = 0;
    uint32_t outputWire = 0;
    uint32_t layout = 0;
};

inline CopierChain copierChain(uint32_t channels, uint32_t blockSize, uint32_t modules, bool start = true)
{
    CopierChain c;
    c.stream.lookupTable(2 * modules + 16);
    std::vector<uint32_t> wires;
    for (uint32_t k = 0; k < std::max(modules, 1u) + 1; ++k)
        wires.push_back(c.stream.wire(channels, blockSize));
    std::vector<uint32_t> ids;
    for (uint32_t k = 0; k < modules; ++k)
        ids.push_back(c.stream.module(kCopierClassId, 0x101, {wires[k], wires[k + 1]}));
    c.layout = c.stream.layout(std::max(modules, 1u));
    if (!ids.empty())
        c.stream.place(c.layout, 0, ids);
    c.inputWire = wires.front();
    c.outputWire = wires.back();
    c.stream.bind(c.inputWire, kvepackets::inputPin(0)).bind(c.outputWire, kvepackets::outputPin(0));
    if (start)
        c.stream.start();
    return c;
}

} // namespace kvehost
