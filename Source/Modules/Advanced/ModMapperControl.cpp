// MapperControl: one channel of a control wire mapped linearly from [`inMin`, `inMax`] onto [`outMin`, `outMax`],
// clipped to the input range first, through four inner modules on the scratch wire: a Router picks channel
// `inputIndex` (counted from 1), a TypeConversion leaves the floats as they are, a ClipAsym clips and a ScaleOffset
// maps into the output.
#include "Modules/Advanced/Composites.h"

namespace {

using namespace kve::kit;
using namespace kve::composites;

struct MapperControlModule {
    ClassModule header;
    int32_t inputIndex;
    float inMin;
    float inMax;
    float outMin;
    float outMax;
    ClassModule *router;
    ClassModule *conversion;
    ClassModule *clip;
    ClassModule *scaleOffset;
};

constexpr std::array<Variable, 9> kVariables = {
    KVE_VARIABLE(MapperControlModule, inputIndex, Int),    KVE_VARIABLE(MapperControlModule, inMin, Float),
    KVE_VARIABLE(MapperControlModule, inMax, Float),       KVE_VARIABLE(MapperControlModule, outMin, Float),
    KVE_VARIABLE(MapperControlModule, outMax, Float),      KVE_VARIABLE(MapperControlModule, router, Pointer),
    KVE_VARIABLE(MapperControlModule, conversion, Pointer), KVE_VARIABLE(MapperControlModule, clip, Pointer),
    KVE_VARIABLE(MapperControlModule, scaleOffset, Pointer),
};

constexpr uint32_t kRouter = 0xBEEF0864u;
constexpr uint32_t kTypeConversion = 0xBEEF0866u;
constexpr uint32_t kClipAsym = 0xBEEF084Eu;
constexpr uint32_t kScaleOffset = 0xBEEF0817u;

// Float to float; clip to [-1, 1]; gain 1, offset 0. Set replaces the limits, the gain and the offset.
constexpr uint32_t kConversionArgs[] = {0, 0};
constexpr uint32_t kClipArgs[] = {word(-1.0f), word(1.0f)};
constexpr uint32_t kScaleOffsetArgs[] = {word(1.0f), word(0.0f)};

constexpr InnerModule kInner[] = {
    {kRouter, kOneInOneOut, {kIn, kScratch1}, {}},
    {kTypeConversion, kOneInOneOut, {kScratch1, kScratch1}, kConversionArgs},
    {kClipAsym, kOneInOneOut, {kScratch1, kScratch1}, kClipArgs},
    {kScaleOffset, kOneInOneOut, {kScratch1, kOut}, kScaleOffsetArgs},
};

ClassModule *mapperControlConstructor(int32_t *status, uint32_t wireWord, GenericWire **wires, uint32_t argc,
                                      const uint32_t *args)
{
    return constructComposite(kve_modMapperControlClass, kVariables, kWithScratch, kInner, status, wireWord, wires,
                              argc, args);
}

int32_t mapperControlSet(ClassModule *m, uint32_t)
{
    auto *s = reinterpret_cast<MapperControlModule *>(m);
    // The Router's first routing word: channel inputIndex - 1 of its one input wire. An index below 1 names no
    // channel (a negative word), and the Router outputs silence for it.
    if (capacity(s->router, 0) > 0)
        innerArray<int32_t>(s->router, 0)[0] = s->inputIndex > 0 ? s->inputIndex - 1 : -1;
    innerVariable<float>(s->clip, 0) = s->inMin;
    innerVariable<float>(s->clip, 1) = s->inMax;
    // An empty input range has no slope: every input maps to outMin rather than to the infinities or NaN of a
    // division by zero.
    const float span = s->inMax - s->inMin;
    const float scale = span != 0.0f ? (s->outMax - s->outMin) / span : 0.0f;
    innerVariable<float>(s->scaleOffset, 0) = scale;
    innerVariable<float>(s->scaleOffset, 1) = s->outMin - scale * s->inMin;
    return 0;
}

} // namespace

extern "C" constinit const ClassRecord<9> kve_modMapperControlClass = makeClass<9>(
    0xBEEF0D5Bu, {mapperControlConstructor, runInnerModules, IOMatchUpModule_Bypass, mapperControlSet}, kVariables);
