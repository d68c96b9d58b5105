// The standard pack's schema block, for hosts that ask what the library holds.
#include "kve/kve_engine.h"

namespace {

const KVEPackSchema s_schema = {"Standard", g_module_descriptor_count};

} // namespace

extern "C" const KVEPackSchema *MODULE_PREFIXGetSchema(void) { return &s_schema; }
