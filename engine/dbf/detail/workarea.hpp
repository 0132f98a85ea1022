#pragma once
// The work-area record: one open table (a table file or a virtual file).
//
// Invariants kept by every operation:
// - rec_no is 0 for an empty table, 1..rec_count on a record, and
//   rec_count + 1 at end of file; eof is set exactly when no record is
//   current, bof after running off the start (and on an empty table).
// - `record` holds the raw bytes of record rec_no as read (translated to the
//   engine's code page); `swap` holds its typed image. The shadows hold what
//   the last conversion from the file produced and are valid only while
//   shadow_valid is set (a blanked record clears it).
// - header_state says what the header on disk lacks: Clean nothing, Changed
//   the date, Appended the count and the end mark as well.
// - `pins` counts engine operations walking the area; a pinned area is never
//   closed or re-used under them.
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/dbf/detail/attachments.hpp"
#include "engine/dbf/detail/table_file.hpp"
#include "engine/dbf/tables.hpp"

namespace zurod {

struct FieldInfo {
    std::string name;  // upper case, at most 10 characters
    char type = 'C';   // C, D, F, L, M or N
    uint8_t length = 0;
    uint8_t decimals = 0;
    uint16_t offset = 0;       // first byte in the record; the first field is at 1
    uint16_t swap_offset = 0;  // its slot in the typed swap buffer
};

enum class HeaderState : uint8_t { Closed = 0, Clean = 1, Changed = 2, Appended = 3 };

enum class LockState : uint8_t { None = 0, Append = 2, Records = 3 };

struct TWorkArea {
    // The open-table descriptor that OpenDbf fills.
    std::string file_name;
    std::array<uint8_t, 32> header{};  // the first 32 bytes of the file
    bool memo = false;
    bool ignore_deleted = false;
    uint16_t header_length = 0;
    uint16_t record_length = 0;
    uint8_t field_count = 0;
    std::vector<FieldInfo> fields;
    HeaderState header_state = HeaderState::Closed;
    std::string last_update;  // YYYYMMDD
    std::span<char> record;   // the raw record; byte 0 is the delete mark
    // The record holds its bytes as stored, not yet in the engine's page:
    // only while a filter tests a record during a walk in record order
    // (text fields are translated as the filter reads them; see
    // GetStoredRecord). `record` may then show the bytes where the table's
    // block cache holds them, read only, and `record_home` is the buffer it
    // goes back to.
    bool record_stored = false;
    std::span<char> record_home;
    int32_t rec_count = 0;
    int32_t rec_no = 0;
    // Whole records the file was last seen to hold; a shared table's count
    // never goes past it (files only grow under other processes).
    int32_t whole_records = 0;
    bool count_from_size = false;  // opened trusting the size over the header
    bool eof = true;
    bool bof = true;
    bool oem = true;
    uint8_t open_mode = 0;
    std::string table_key;

    RecordHook write_hook;
    RecordHook read_hook;
    TableFile file;

    uint8_t number = 0;  // the area's slot
    int pins = 0;

    // Virtual files (the store keeps the records in `vfile_store`).
    bool is_virtual = false;
    uint8_t vfile_mode = 0;  // 0 FIFO, 1 LIFO, 2 INSERTION, 3 ASCENDING, 4 DESCENDING
    uint8_t storage_class = 1;
    std::unique_ptr<VFileAreaState> vfile_store;

    // The typed copy of the current record; the caller's buffer or `owned_swap`.
    std::span<char> swap;
    bool owns_swap = false;
    std::vector<char> owned_swap;
    std::vector<char> owned_record;
    std::vector<char> old_record;  // previous image of a replaced record, for the index
    std::vector<char> scratch;     // conversion and write space, reused to avoid allocations

    // What the last conversion of a record read from the file produced, so
    // that fields the caller left alone are written back byte for byte.
    std::vector<char> raw_shadow;
    std::vector<char> swap_shadow;
    bool shadow_valid = false;

    std::unique_ptr<ExpressionHandle> filter;
    std::string alias;
    std::unique_ptr<MemoAreaState> memo_state;
    LockState lock_state = LockState::None;
    std::vector<int32_t> locks;  // locked record numbers, oldest first
    bool exclusive = false;
    bool exclusive_from_reopen = false;
    std::unique_ptr<IndexAreaState> index_block;
    // The index unit's watch of the table's production index while the area
    // has no index open, which the area's changes mark for repair.
    std::unique_ptr<IndexAreaState> index_watch;

    uint8_t Version() const { return header[0]; }
};

// Counts an engine operation on the area for its lifetime (see `pins`).
class AreaPin {
public:
    explicit AreaPin(TWorkArea& area) : area_(area) { ++area_.pins; }
    ~AreaPin() { --area_.pins; }
    AreaPin(const AreaPin&) = delete;
    AreaPin& operator=(const AreaPin&) = delete;

private:
    TWorkArea& area_;
};

}  // namespace zurod
