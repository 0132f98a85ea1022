#pragma once
// The engine's process-wide state, with one owner. EngineInit creates it with
// the start values; EngineShutdown closes every area and drops it, attached
// units included. No part of the engine or of a unit keeps state elsewhere,
// so nothing the areas need at shutdown can be gone before them.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/dbf/detail/attachments.hpp"
#include "engine/dbf/detail/block_cache.hpp"
#include "engine/dbf/detail/workarea.hpp"
#include "engine/dbf/settings.hpp"
#include "platform/paths.hpp"

namespace zurod {

inline constexpr uint8_t kAreaCount = 35;
inline constexpr uint8_t kCallerAreas = 33;  // 34 and 35 are the engine's own
inline constexpr uint8_t kScratchArea = 35;

struct ErrorState {
    uint16_t last_code = 0;
    uint16_t reported_code = 0;
    std::string message;
    bool handling = true;
    bool raise = false;
    bool halting = false;
};

struct DateState {
    uint8_t code = 0;
    bool century = false;
    uint16_t window_start = 1900;
    char decimal = '.';
    char thousands = ',';
};
// The start values: the window starts 70 years before today, the code follows
// the user's language, the separators follow the code.
DateState StartDateState();

// What the last Locate looks for, for Continue.
struct LocateState {
    std::string text;  // in the table's code page, upper case when case-insensitive
    int field = 0;
    bool case_sensitive = true;
    bool exact = false;
    bool contained = false;
};

struct EngineState {
    EngineSettings settings;
    // Blocks of the open tables; before the areas, which drop theirs as they go.
    BlockCache blocks{settings.table_cache_size};
    ErrorState errors;
    DateState dates = StartDateState();
    // Declared before the areas, so that areas go first when the state does.
    Attachments attachments;
    std::array<std::unique_ptr<TWorkArea>, kAreaCount + 1> areas;  // slot 0 unused
    uint8_t current = 1;
    LocateState locate;
    int waits = 0;         // engine waits in progress (see reentry.hpp)
    bool packing = false;  // a pack is rebuilding the indexes
    std::vector<platform::DirEntry> not_erased;
    // The thread that started the engine: the only one its commands may come
    // from (checked in debug builds).
    std::thread::id thread = std::this_thread::get_id();
};

// The running engine's state; a caller that never ran EngineInit gets it
// started here.
EngineState& Engine();

// Passes a request to the virtual-file store (1101 when none is attached).
Status CallVirtualStore(TWorkArea& area, VFileRequest request, int32_t record);

}  // namespace zurod
