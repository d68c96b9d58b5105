// FIRSparseReaderFract32: the fixed-point sparse reader over the line of a 32-bit delay-state writer. Set scales the
// float taps by a power of two into Fract32 taps; the kernel scales each sum back.
#include "Modules/Advanced/FirFilters.h"

namespace {

using namespace kve::kit;
using namespace kve::fir;

constexpr std::array<Variable, 8> kVariables = fixedReaderVariables(Type::Fract32Array, perArgument(0));

ClassModule *readerConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                               const uint32_t *args)
{
    return constructReader(kve_modFIRSparseReaderFract32Class, kVariables, status, wireWord, wires, argc, args, 3);
}

} // namespace

extern "C" constinit const ClassRecord<8> kve_modFIRSparseReaderFract32Class =
    fixedReaderClass<&kve_modFIRSparseReaderFract32Class, LineKind::Word32, &kVariables>(0xBEEF0CFFu,
                                                                                        readerConstructor);
