#include "platform/SigbusGuard.h"

namespace platform {

void RegisterGuardedMapping(std::uint8_t*, std::uint64_t, int) {}
void UnregisterGuardedMapping(std::uint8_t*) {}

}  // namespace platform
