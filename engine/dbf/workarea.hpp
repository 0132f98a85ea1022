#pragma once
// The work-area record: one open table (a table file or a virtual file).
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/file.hpp"

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

// Applied to the bytes of a record after the delete mark, as they are on disk.
using RecordHook = std::function<void(char* data, size_t length)>;

// State an attached unit (memo, index, expression, virtual-file store) keeps
// in an area; the unit owns the concrete type.
struct AreaExtension {
    virtual ~AreaExtension() = default;
};

enum class LockState : uint8_t { None = 0, Append = 2, Records = 3 };

// Sequential reads of an exclusive table come from a block of whole records
// instead of one system call per record.
struct ReadAhead {
    std::vector<char> block;  // raw bytes as on disk
    int32_t first = 0;        // record number of the block's first record, 0 = empty
    int32_t count = 0;
    void Clear() { first = count = 0; }
    bool Holds(int32_t n) const { return first > 0 && n >= first && n < first + count; }
};

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
    int32_t rec_count = 0;
    int32_t rec_no = 0;
    bool eof = true;
    bool bof = true;
    bool oem = true;
    uint8_t open_mode = 0;
    std::string table_key;

    RecordHook write_hook;
    RecordHook read_hook;
    platform::File file;
    platform::FilePrefixMap header_map;  // the header's first bytes, kept current after each append
    ReadAhead read_ahead;

    // Virtual files (the store keeps its records in `vfile_store`).
    bool is_virtual = false;
    uint8_t vfile_mode = 0;  // 0 FIFO, 1 LIFO, 2 INSERTION, 3 ASCENDING, 4 DESCENDING
    uint8_t vfile_op = 0;    // the request passed to the store
    uint8_t storage_class = 1;
    int32_t vfile_request = 0;  // the record number a read or write asks for
    std::unique_ptr<AreaExtension> vfile_store;

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

    std::unique_ptr<AreaExtension> filter;
    std::string alias;
    std::unique_ptr<AreaExtension> memo_state;
    LockState lock_state = LockState::None;
    std::vector<int32_t> locks;  // locked record numbers, oldest first
    bool exclusive = false;
    bool exclusive_from_reopen = false;
    std::unique_ptr<AreaExtension> index_block;

    uint8_t Version() const { return header[0]; }
};

}  // namespace zurod
