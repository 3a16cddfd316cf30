// The pages under a mapping: whether they are mapped in, and a request to
// map them in one go before a long read.
#pragma once

#include <cstddef>

namespace platform {

// Asks the system to map the pages under [p, p + n) in one go. A hint only:
// where it is refused (older kernels, pages past a shrunken file's end) the
// reads fault the pages in as usual.
void MapAhead(const void* p, std::size_t n);

// Whether the pages under [p, p + n) look mapped already, judged by a few
// of them: asking again for mapped pages still walks their page tables
// (about 25 ms per GiB here, half the time of a scan over them), so a caller
// that reads the same range again can skip the request. False where the
// page map cannot be read.
bool LooksMapped(const void* p, std::size_t n);

}  // namespace platform
