#include "palmcontrols/THotSyncApi.h"

#include "palmcontrols/ConfigurationStamp.h"

#include <stdexcept>

namespace palmcontrols {

std::int32_t THotSyncApi::HotSyncNotify(std::int32_t argument)
{
    try {
        ConfigurationStamp::advance(hostRoot(), argument);
    } catch (const std::exception &) {
        return -1;
    }
    return 0;
}

} // namespace palmcontrols
