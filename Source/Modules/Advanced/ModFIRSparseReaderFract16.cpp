// FIRSparseReaderFract16: the fixed-point sparse reader over the 16-bit line of a 16-bit delay-state writer. Set
// scales the float taps by a power of two into Q15 taps, two to a word; the kernel scales each sum back.
#include "Modules/Advanced/FirFilters.h"

namespace {

using namespace kve::kit;
using namespace kve::fir;

constexpr std::array<Variable, 8> kVariables = fixedReaderVariables(Type::IntArray, fixedLength(0));

// Two Q15 taps a word.
ClassModule *readerConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                               const uint32_t *args)
{
    auto variables = kVariables;
    if (args != nullptr && argc == 3)
        variables[6].length = fixedLength(static_cast<uint32_t>((uint64_t{args[0]} + 1) / 2));
    return constructReader(kve_modFIRSparseReaderFract16Class, variables, status, wireWord, wires, argc, args, 3);
}

} // namespace

extern "C" constinit const ClassRecord<8> kve_modFIRSparseReaderFract16Class =
    fixedReaderClass<&kve_modFIRSparseReaderFract16Class, LineKind::Half16, &kVariables>(0xBEEF0CFEu,
                                                                                         readerConstructor);
