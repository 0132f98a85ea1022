#pragma once
// Values at unaligned places of byte buffers (record and swap buffers), and
// short runs of bytes copied.
#include <cstddef>
#include <cstring>

namespace platform {

template <class T>
T Load(const char* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <class T>
void Store(char* p, T v) {
    std::memcpy(p, &v, sizeof v);
}

// Word moves beat the string instruction the compiler would put in for the
// short, varied lengths of fields.
inline void CopyBytes(char* to, const char* from, size_t n) {
    if (n >= 8) {
        size_t i = 0;
        for (; i + 8 <= n; i += 8) std::memcpy(to + i, from + i, 8);
        if (i < n) std::memcpy(to + n - 8, from + n - 8, 8);  // the tail, overlapping
        return;
    }
    for (; n > 0; --n) *to++ = *from++;
}

}  // namespace platform
