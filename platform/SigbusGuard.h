// Guard against SIGBUS from mapped files that another program truncates.
// (Placeholder interface; the guard itself registers mappings so that a read
// of a page past the file's new end is answered with zeros.)
#pragma once

#include <cstdint>

namespace platform {

void RegisterGuardedMapping(std::uint8_t* view, std::uint64_t size, int fd);
void UnregisterGuardedMapping(std::uint8_t* view);

}  // namespace platform
