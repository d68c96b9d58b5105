#include "layouts/ExampleLayouts.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "kve/kve_engine.h"

namespace kvelayouts {

namespace {

using kvepackets::LayoutStream;

constexpr uint32_t kCopierClassId = 0xBEEF0860u;
constexpr uint32_t kScalerDBSmoothedClassId = 0xBEEF0FF5u;
constexpr uint32_t kButterworthFilterClassId = 0xBEEF0805u;
constexpr uint32_t kMixerDenseClassId = 0xBEEF0FE5u;

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

// The settings of the stereo chain: a gain in dB that glides when a host changes it, a fourth-order lowpass, and a
// mix that keeps most of each side and lends a little to the other.
constexpr float kChainGainDB = -6.0f;
constexpr float kChainSmoothingMs = 20.0f;
constexpr uint32_t kChainLowpassOrder = 4;
constexpr float kChainCutoffHz = 5000.0f;
constexpr float kChainOwnSide = 0.8f;
constexpr float kChainOtherSide = 0.2f;

// Engine input pin 0 -> smoothed dB gain -> Butterworth lowpass -> dense mixer -> engine output pin 0. The gain
// starts at its target, so the first block is already at the chain's level.
LayoutStream stereoChain(const LayoutShape &shape)
{
    using kvepackets::bits;
    LayoutStream s;
    s.lookupTable(kSmallLookupTable);
    const uint32_t in = s.wire(shape.inputChannels, shape.blockSize);
    const uint32_t scaled = s.wire(shape.inputChannels, shape.blockSize);
    const uint32_t filtered = s.wire(shape.inputChannels, shape.blockSize);
    const uint32_t out = s.wire(shape.outputChannels, shape.blockSize);
    s.bind(in, kvepackets::inputPin(0));
    s.bind(out, kvepackets::outputPin(0));
    const float startGain = std::pow(10.0f, kChainGainDB / 20.0f);
    const uint32_t gain = s.module(kScalerDBSmoothedClassId, kOneInOneOut, {in, scaled},
                                   {bits(kChainGainDB), bits(startGain), bits(kChainSmoothingMs), 0, 0});
    // The filter builds its biquad cascade as the next object.
    const uint32_t lowpass = s.module(kButterworthFilterClassId, kOneInOneOut, {scaled, filtered},
                                      {0, kChainLowpassOrder, bits(kChainCutoffHz)}, 1);
    const uint32_t mixer = s.module(kMixerDenseClassId, kOneInOneOut, {filtered, out});
    // The mixer's gains, output-major: row o holds the share of every input channel in output channel o.
    for (uint32_t o = 0; o < shape.outputChannels; ++o)
        for (uint32_t i = 0; i < shape.inputChannels; ++i)
            s.setValue(KVE_MEMBER_ADDRESS(mixer, 8) | KVE_MEMBER_DEREF,
                       bits(o == i ? kChainOwnSide : kChainOtherSide), o * shape.inputChannels + i);
    const uint32_t layout = s.layout(3);
    s.place(layout, 0, {gain, lowpass, mixer});
    s.start();
    return s;
}

constexpr ExampleLayout kExampleLayouts[] = {
    {"stereo-copy", "input pin 0 copied onto output pin 0 by one Copier", stereoCopy},
    {"stereo-chain", "smoothed -6 dB gain, 4th-order 5 kHz Butterworth lowpass, 0.8/0.2 dense mix", stereoChain},
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
