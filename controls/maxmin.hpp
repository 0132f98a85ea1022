#pragma once
#include <cstdint>

namespace controls {

inline int32_t Max(int32_t a, int32_t b) { return a > b ? a : b; }
inline int32_t Min(int32_t a, int32_t b) { return a < b ? a : b; }

}  // namespace controls
