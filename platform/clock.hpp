#pragma once
#include <cstdint>
#include <optional>

namespace platform {

// Milliseconds since an arbitrary start, monotonic, wrapping at 2^32.
uint32_t TickCount();

struct LocalDateTime {
    int year, month, day;
    int day_of_week;  // 1 = Sunday .. 7 = Saturday
    int hour, minute, second;
};
LocalDateTime Now();

// Tests fix the local time Now() reports (this year, for two-digit years);
// nullopt gives the system's back.
void SetFixedNow(std::optional<LocalDateTime> fixed);

}  // namespace platform
