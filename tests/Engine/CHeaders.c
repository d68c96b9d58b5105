/* The public headers are C headers: this file must compile as C. */
#include "kve/kve_engine.h"
#include "kve/kve_ipc.h"
#include "kve/kve_types.h"
#include "kve/kve_vec.h"

int kve_c_header_sizes(void)
{
    return (int)sizeof(struct ClassModule) + (int)sizeof(struct GenericWire) + (int)sizeof(struct IpcPin);
}
