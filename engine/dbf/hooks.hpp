#pragma once
// The attachment records through which the expression language, the index
// unit, the virtual-file store and the memo unit plug into the engine. Each
// unit fills its record when it starts; the engine calls only through them
// and reports "not linked" when a record is empty.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/dbf/workarea.hpp"

namespace zurod {

struct ExpressionHook {
    // 0: compile a text into a program (nullptr after reporting a failure).
    std::function<std::unique_ptr<AreaExtension>(const std::string& text)> compile;
    // 1: release a program.
    std::function<void(std::unique_ptr<AreaExtension>& program)> release;
    // 2: evaluate a program as a Boolean on the current record.
    std::function<bool(AreaExtension& program)> evaluate;
    // 3: evaluate as text (for callers outside the engine).
    std::function<std::string(AreaExtension& program)> evaluate_text;
    // A numeric program's value (Sum of an expression).
    std::function<double(AreaExtension& program)> evaluate_number;
    bool Linked() const { return static_cast<bool>(compile); }
};

// Index operations the engine calls; see IndexHook::Call.
enum IndexOp : uint8_t {
    kIndexActive = 0,
    kIndexSync = 1,
    kIndexNext = 2,
    kIndexPrior = 3,
    kIndexFirst = 4,
    kIndexLast = 5,
    kIndexAtEnd = 6,
    kIndexAtStart = 7,
    kIndexAddKeys = 8,
    kIndexTakeKey = 9,
    kIndexRememberKeys = 10,
    kIndexUpdateKeys = 11,
    kIndexMarkStart = 12,
    kIndexMarkEnd = 13,
    kIndexReindex = 15,
    kIndexClose = 16,
    kIndexReadLock = 23,
    kIndexWriteLock = 24,
};

struct IndexHook {
    // One routine for the 25 operations: (operation, argument) -> result;
    // Booleans are 0 and 1.
    std::function<int32_t(uint8_t op, int32_t arg)> dispatch;
    bool Linked() const { return static_cast<bool>(dispatch); }
};

struct VirtualFileHook {
    // Performs the request in area.vfile_op on area.vfile_request.
    std::function<void(TWorkArea& area)> dispatch;
    bool Linked() const { return static_cast<bool>(dispatch); }
};

struct MemoAttachment {
    // Opens the memo file of the area's table; 0 or the error code (reported).
    std::function<int(TWorkArea& area)> open;
    std::function<void(TWorkArea& area)> close;
    std::function<int(TWorkArea& area)> pack;
    // The block size of the area's memo file (a zap re-creates it alike).
    std::function<uint16_t(TWorkArea& area)> block_size;
    // Copies memo `block` of `from` into the memo file of `to`; the new block.
    std::function<int32_t(TWorkArea& from, int32_t block, TWorkArea& to)> copy;
    // Stores a text as a new memo of `to`; its block.
    std::function<int32_t(TWorkArea& to, const std::string& text)> store;
    // A memo's text as lines.
    std::function<std::vector<std::string>(TWorkArea& area, int32_t block)> read_lines;
    bool Linked() const { return static_cast<bool>(open); }
};

ExpressionHook& ExpressionAttachment();
IndexHook& IndexAttachment();
VirtualFileHook& VirtualFileAttachment();
MemoAttachment& MemoUnit();

// Passes the request in the area to the virtual-file store; 1101 when none is
// attached.
void CallVirtualFileHook(TWorkArea& area);

}  // namespace zurod
