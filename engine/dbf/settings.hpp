#pragma once
// Process-wide engine settings. Start values are those in force when the
// program starts; callers and tests change them through Settings().
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/file.hpp"

namespace zurod {

// Open modes in the runtime's byte layout: access in bits 0-2 (0 read,
// 1 write, 2 read/write), sharing in bits 4-6 (0 compatibility, 1 deny all,
// 2 deny write, 3 deny read, 4 deny none).
inline constexpr uint8_t kOpenReadWrite = 2;
inline constexpr uint8_t kOpenExclusive = 18;  // read/write, deny all
inline constexpr uint8_t kOpenShared = 66;     // read/write, deny none
inline constexpr uint16_t kNoOpenModeOverride = 65535;

struct OpenMode {
    platform::Access access;
    platform::Share share;
};
// Compatibility mode and deny-read both exclude every other opener.
OpenMode DecodeOpenMode(uint8_t mode);

struct EngineSettings {
    bool network_mode = true;
    uint8_t default_open_mode = kOpenShared;
    uint16_t open_mode_override = kNoOpenModeOverride;
    bool ansi = false;             // tables hold ANSI text instead of OEM
    bool write_through = false;    // flush after every record write
    bool count_from_size = false;  // trust the file size over the header's count
    bool confirm = false;          // ask before ZAP, PACK and overwriting copies
    uint8_t new_table_version = 0x8B;
    uint16_t memo_block_size = 512;
    // Memo files: the layout of a table whose version names none, the line
    // width of memo text (SET MEMOWIDTH, used while the switch is on) and the
    // lines the memo line table holds.
    uint8_t memo_type = 0x8B;
    bool memo_width_on = false;
    uint8_t memo_width = 78;
    uint16_t memo_line_limit = 1024;
    uint8_t eof_mark = 0x1A;
    std::string true_text = "Y";  // logical values as field text
    std::string false_text = "N";
    uint8_t decimals = 2;  // SET DECIMALS: decimals of computed numbers in expressions

    // The runtime's file mode: the open mode of the next table-file open.
    uint8_t file_mode = kOpenReadWrite;

    // Locks.
    uint32_t lock_base = 0x40000000;
    uint8_t retry_count = 0;
    uint8_t retry_wait = 0;  // seconds
    std::function<bool()> retry_hook;
    uint16_t record_lock_limit = 0;

    // Memory for blocks of tables held against other writers, all tables
    // together (at least two 64 KiB blocks are needed to cache anything).
    size_t table_cache_size = size_t{32} << 20;
};

EngineSettings& Settings();

// Sets the runtime's file mode for one scope.
class FileModeScope {
public:
    explicit FileModeScope(uint8_t mode) : previous_(Settings().file_mode) { Settings().file_mode = mode; }
    ~FileModeScope() { Settings().file_mode = previous_; }
    FileModeScope(const FileModeScope&) = delete;
    FileModeScope& operator=(const FileModeScope&) = delete;

private:
    uint8_t previous_;
};

// The open mode in force for a new open: the override when one is set.
uint8_t EffectiveOpenMode(uint8_t mode);

}  // namespace zurod
