#include "layouts/ExampleLayouts.h"

#include <algorithm>
#include <iterator>

namespace kvelayouts {

namespace {

using kvepackets::LayoutStream;

constexpr uint32_t kCopierClassId = 0xBEEF0860u;

// One input wire and one output wire per module: the wire-count word of every single-path module.
constexpr uint32_t kOneInOneOut = 0x101u;

// Direct lookup-table slots for the ids of a small example, so that no id is found by walking the object list.
constexpr uint32_t kSmallLookupTable = 16;

// Engine input pin 0 feeds a wire that a Copier moves, block by block, onto the wire engine output pin 0 plays.
LayoutStream stereoCopy(const LayoutShape &shape)
{
    LayoutStream s;
    s.lookupTable(kSmallLookupTable);
    const uint32_t in = s.wire(shape.inputChannels, shape.blockSize);
    const uint32_t out = s.wire(shape.outputChannels, shape.blockSize);
    s.bind(in, kvepackets::inputPin(0));
    s.bind(out, kvepackets::outputPin(0));
    const uint32_t copier = s.module(kCopierClassId, kOneInOneOut, {in, out});
    const uint32_t layout = s.layout(1);
    s.place(layout, 0, {copier});
    s.start();
    return s;
}

constexpr ExampleLayout kExampleLayouts[] = {
    {"stereo-copy", "input pin 0 copied onto output pin 0 by one Copier", stereoCopy},
};

} // namespace

std::span<const ExampleLayout> exampleLayouts() { return kExampleLayouts; }

const ExampleLayout *findExampleLayout(std::string_view name)
{
    const auto *found = std::find_if(std::begin(kExampleLayouts), std::end(kExampleLayouts),
                                     [name](const ExampleLayout &l) { return name == l.name; });
    return found != std::end(kExampleLayouts) ? found : nullptr;
}

} // namespace kvelayouts
