// The class table: every installed module class, in table order. Hosts and stored layouts list classes by their
// position here, so new classes take their place in the fixed order, never at the end by default.
#include <iterator>

#include "Engine/EngineInternal.h"
#include "Modules/Standard/StandardClasses.h"

extern "C" {

// The closing null ends the table; it is not an entry.
const ModClassDescriptor *const g_module_descriptor_table[] = {
    &kve_modCopierClass.record,
    &kve_modDeinterleaveClass.record,
    &kve_modInterleaveClass.record,
    &kve_modMixerDenseFract32Class.record,
    &kve_modMixerFract32Class.record,
    &kve_modMixerSmoothedFract32Class.record,
    &kve_modMixerV3Fract32Class.record,
    &kve_modMixerV3Class.record,
    &kve_modMultiplexorClass.record,
    &kve_modMultiplexorV2Fract32Class.record,
    &kve_modMultiplexorV2Class.record,
    &kve_modRouterClass.record,
    &kve_modRouterSmoothedFract32Class.record,
    &kve_modRouterSmoothedClass.record,
    &kve_modScalerControlBlockSmoothedFract32Class.record,
    &kve_modScalerControlClass.record,
    &kve_modScalerControlSmoothedFract32Class.record,
    &kve_modScalerDBControlClass.record,
    &kve_modScalerDBFract32Class.record,
    &kve_modScalerDBSmoothedFract32Class.record,
    &kve_modScalerFract32Class.record,
    &kve_modScalerSmoothedFract32Class.record,
    &kve_modScalerV2Class.record,
    &kve_modScalerNControlClass.record,
    &kve_modScalerNDBSmoothedFract32Class.record,
    &kve_modScalerNFract32Class.record,
    &kve_modScalerNSmoothedFract32Class.record,
    &kve_modScalerNV2Class.record,
    &kve_modSMixer2x1Fract32Class.record,
    &kve_modSMixer2x1Class.record,
    &kve_modDeMultiplexorClass.record,
    &kve_modMixerDenseClass.record,
    &kve_modMixerClass.record,
    &kve_modMixerSmoothedClass.record,
    &kve_modMixerSmoothedV2bClass.record,
    &kve_modMixerSparseSmoothedClass.record,
    &kve_modMultiplexorControlClass.record,
    &kve_modMultiplexorFadeFract32Class.record,
    &kve_modMultiplexorFadeClass.record,
    &kve_modMultiplexorSmoothedFract32Class.record,
    &kve_modMultiplexorSmoothedClass.record,
    &kve_modScalerDBClass.record,
    &kve_modScalerDBSmoothedClass.record,
    &kve_modScalerClass.record,
    &kve_modScalerSmoothedClass.record,
    &kve_modScalerNDBSmoothedClass.record,
    &kve_modScalerNClass.record,
    &kve_modScalerNSmoothedClass.record,
    nullptr,
};

const uint32_t g_module_descriptor_count = static_cast<uint32_t>(std::size(g_module_descriptor_table) - 1);

} // extern "C"
