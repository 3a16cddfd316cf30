// A place in the mapped bytes of a text: a byte offset from the start of the
// mapping. kNoPos ("none") compares below every position.
#pragma once

#include <cstdint>

using TextPos = std::int64_t;
inline constexpr TextPos kNoPos = -1;
