// SourceInt: the host writes channel c's block of integers at value[c x block size]; every block goes out
// interleaved, word for word, whatever the wire's complex flag says.
#include "Modules/Standard/Sources.h"

using namespace kve::kit;

extern "C" constinit const ClassRecord<1> kve_modSourceIntClass =
    kve::sources::hostSourceClass<&kve_modSourceIntClass, int32_t, Type::IntArray, false>(0xBEEF0870u);
