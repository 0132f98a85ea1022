#include "platform/clock.hpp"

#include <ctime>

namespace platform {

namespace {
std::optional<LocalDateTime> g_fixed_now;
}  // namespace

uint32_t TickCount() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + ts.tv_nsec / 1000000;
    return static_cast<uint32_t>(ms);
}

LocalDateTime Now() {
    if (g_fixed_now) return *g_fixed_now;
    const time_t t = time(nullptr);
    tm local{};
    localtime_r(&t, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_wday + 1,
            local.tm_hour,        local.tm_min,     local.tm_sec};
}

void SetFixedNow(std::optional<LocalDateTime> fixed) { g_fixed_now = fixed; }

}  // namespace platform
