#include "Modules/ModuleKit.h"

namespace kve::kit {

namespace {

uint64_t elementsOf(const Length &length, const ClassModule *m, const uint32_t *args)
{
    uint64_t base = 0;
    switch (length.from) {
    case Length::From::Nothing:
        break;
    case Length::From::WireChannels:
        base = KVE_WIRE_CHANNELS(m->wires[length.index]->info1);
        break;
    case Length::From::WireBlock:
        base = KVE_WIRE_BLOCK_SIZE(m->wires[length.index]->info2);
        break;
    case Length::From::WireWords:
        base = wireWords(m->wires[length.index]);
        break;
    case Length::From::Argument:
        base = args != nullptr ? args[length.index] : 0;
        break;
    }
    return base * length.times + length.plus;
}

bool lengthReadsWire(const Length &length)
{
    return length.from == Length::From::WireChannels || length.from == Length::From::WireBlock ||
           length.from == Length::From::WireWords;
}

} // namespace

ClassModule *construct(const ModClassDescriptor &record, const Variable *variables, size_t count, uint32_t inputs,
                       uint32_t outputs, int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                       const uint32_t *args, uint32_t extra)
{
    if (!requireWires(status, wireWord, inputs, outputs))
        return nullptr;
    uint32_t arrays = 0;
    for (size_t k = 0; k < count; ++k) {
        if (!isArray(variables[k].type))
            continue;
        ++arrays;
        // A length read from a wire the wiring does not have would read outside the wire array.
        const uint32_t wireCount = KVE_PACKED_INPUTS(wireWord) + KVE_PACKED_OUTPUTS(wireWord) +
                                   KVE_PACKED_SCRATCH(wireWord);
        if (lengthReadsWire(variables[k].length) && variables[k].length.index >= wireCount) {
            *status = KVE_E_ARG_COUNT;
            return nullptr;
        }
    }
    ClassModule *m =
        BaseClassModule_ConstructorHidden(&record, status, wireWord, wires, argc, args, arrays + extra);
    if (m == nullptr)
        return nullptr;
    uint32_t *capacities = kve_fwModuleHiddenWords(m);
    std::memset(capacities + arrays, 0, 4ull * extra);
    uint32_t array = 0;
    for (size_t k = 0; k < count; ++k) {
        if (!isArray(variables[k].type))
            continue;
        const uint64_t elements = elementsOf(variables[k].length, m, args);
        void *p = elements * 4 <= UINT32_MAX
                      ? kve_fwMalloc(static_cast<uint32_t>(elements * 4), variables[k].heaps, status)
                      : nullptr;
        if (p == nullptr) {
            if (*status == KVE_OK)
                *status = KVE_E_HEAPS_FULL;
            return nullptr;
        }
        std::memcpy(reinterpret_cast<char *>(m) + variables[k].offset, &p, sizeof p);
        capacities[array++] = static_cast<uint32_t>(elements);
    }
    return m;
}

} // namespace kve::kit
