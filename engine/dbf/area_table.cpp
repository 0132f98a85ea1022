#include "engine/dbf/detail/area_table.hpp"

#include <cstring>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/detail/swap_buffer.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/reentry.hpp"

namespace zurod {

TWorkArea* AreaAt(uint8_t n) { return n >= 1 && n <= kAreaCount ? Engine().areas[n].get() : nullptr; }
TWorkArea* CurrentTable() { return AreaAt(Engine().current); }
uint8_t CurrentArea() { return Engine().current; }

void SelectInternal(uint8_t area) {
    if (area >= 1 && area <= kAreaCount) Engine().current = area;
}

void Select(uint8_t area) {
    SetLastErrorCode(0);
    if (RefuseNestedCall("Select(" + std::to_string(area) + ")")) return;
    EngineState& engine = Engine();
    if (area == 0) {
        for (uint8_t n = 1; n <= kCallerAreas; ++n) {
            if (!engine.areas[n]) {
                engine.current = n;
                return;
            }
        }
        RunError(220, "No free workarea available [Select(0)]");
        return;
    }
    if (area > kCallerAreas) {
        RunError(220, "Invalid workarea selected = [Select(" + std::to_string(area) + ")]");
        return;
    }
    engine.current = area;
}

bool CheckArea(std::string_view routine) {
    if (RefuseNestedCall(routine)) return true;
    if (CurrentTable()) return false;
    RunError(215, "No database in use [" + std::string(routine) + "]  WorkArea = " + std::to_string(CurrentArea()));
    return true;
}

TWorkArea* Guarded(std::string_view label) { return CheckArea(label) ? nullptr : CurrentTable(); }

void BlankRecord(TWorkArea& a) {
    if (a.record_stored) a.record = a.record_home;
    a.record_stored = false;
    if (a.is_virtual) {
        std::memset(a.record.data(), 0, a.record.size());
        return;
    }
    std::memset(a.record.data(), ' ', a.record.size());
    RecordToBuffer(a);
    // A new record gets every field formatted, not the blanks it started from.
    a.shadow_valid = false;
}

bool CheckFileInUse(const std::string& name, std::string_view label) {
    platform::FileId id;
    if (platform::IdentifyFile(name, id) != 0) return false;
    for (uint8_t n = 1; n <= kCallerAreas; ++n) {
        const TWorkArea* a = AreaAt(n);
        if (a && !a->is_virtual && a->file.IsOpen() && a->file.Id() == id) {
            RunError(214, "File: " + name + " is already in use. [" + std::string(label) + "]");
            return true;
        }
    }
    return false;
}

}  // namespace zurod
