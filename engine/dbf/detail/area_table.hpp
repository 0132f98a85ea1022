#pragma once
// The area table as the engine's own code uses it: slots by number, the
// current area without the caller checks, and the guard that every public
// operation starts with.
#include <cstdint>
#include <string_view>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/detail/state.hpp"
#include "engine/dbf/detail/workarea.hpp"

namespace zurod {

// The area in slot n (1..35), nullptr when the slot is empty.
TWorkArea* AreaAt(uint8_t n);
// The current area's table, nullptr when none is open there.
TWorkArea* CurrentTable();
// Makes `area` current without the caller checks of Select (the engine's own
// two-area operations use slots 34 and 35 too).
void SelectInternal(uint8_t area);
// The current area's table, or nullptr after reporting 215 (or 254 while the
// engine waits).
TWorkArea* Guarded(std::string_view label);

// Closes the table in slot n. A pinned area is refused (254) unless `force`;
// what closing reports comes back.
Status CloseSlot(uint8_t n, bool force = false);
// Opens a table in the current (empty) area as UseTable does, without the
// caller checks.
Status OpenInCurrentArea(UseOptions options);
// Closes every area, the engine's own included (program end).
void ShutdownAreas();

// Blanks the area's record and converts it into the swap buffer (a virtual
// file's buffer is zeroed).
void BlankRecord(TWorkArea& area);

// Restores the current area when the scope ends.
class AreaScope {
public:
    AreaScope() : saved_(Engine().current) {}
    ~AreaScope() { SelectInternal(saved_); }
    AreaScope(const AreaScope&) = delete;
    AreaScope& operator=(const AreaScope&) = delete;

private:
    uint8_t saved_;
};

}  // namespace zurod
