// Example layouts, each written as the stored command-packet stream that builds it, and found by name. A layout is
// built for the block size and channel counts of the engine pins it will be bound to. Object ids are those the
// engine issues after a destroy: 1, 2, 3, ... in creation order.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "packets/PacketBuilder.h"

namespace kvelayouts {

struct LayoutShape {
    uint32_t blockSize = 32;
    uint32_t inputChannels = 2;
    uint32_t outputChannels = 2;
};

struct ExampleLayout {
    const char *name;
    const char *summary; // one line for a tool's usage text
    kvepackets::LayoutStream (*build)(const LayoutShape &shape);
};

// Every example layout, in the order tools list them.
std::span<const ExampleLayout> exampleLayouts();

// The example layout of that name, or null.
const ExampleLayout *findExampleLayout(std::string_view name);

} // namespace kvelayouts
