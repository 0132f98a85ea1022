#pragma once
// The attachments through which the expression language, the index unit, the
// virtual-file store and the memo unit plug into the work-area engine. Each
// unit hands the engine an object implementing its interface when it starts
// (the engine state owns it); the engine calls only through these and reports
// "not linked" when one is missing. Every operation names the area it works
// on; failures come back as a Status for the calling command to report.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/dbf/status.hpp"

namespace zurod {

struct TWorkArea;

// Per-area state of each unit: the unit derives its own record from these,
// creates it and is the only one to look inside.
struct ExpressionHandle {  // a compiled expression (a filter program)
    virtual ~ExpressionHandle() = default;
};
struct IndexAreaState {
    virtual ~IndexAreaState() = default;
};
struct MemoAreaState {
    virtual ~MemoAreaState() = default;
};
struct VFileAreaState {
    virtual ~VFileAreaState() = default;
};

class ExpressionAttachment {
public:
    virtual ~ExpressionAttachment() = default;
    // 0: compiles `text` for fields of `area`; a failure leaves `program` empty.
    virtual Status Compile(TWorkArea& area, const std::string& text, std::unique_ptr<ExpressionHandle>& program) = 0;
    // 1: frees a program and empties the handle.
    virtual void Release(std::unique_ptr<ExpressionHandle>& program) = 0;
    // 2: the program's logical value on the current record.
    virtual Status EvaluateLogical(ExpressionHandle& program, bool& value) = 0;
    // 3: the program's source text.
    virtual std::string SourceText(ExpressionHandle& program) = 0;
    // The program's numeric value (Sum of an expression).
    virtual Status EvaluateNumber(ExpressionHandle& program, double& value) = 0;
    // The program's result type ('C', 'N', 'L', 'D' or 'M'), so that a filter
    // or a sum of the wrong type is refused when it is set; 0 when unknown.
    virtual char ResultType(ExpressionHandle&) { return 0; }
};

// Builds the key of the current record for one tag.
using KeyBuilder = std::function<std::string()>;

class IndexAttachment {
public:
    virtual ~IndexAttachment() = default;
    // 0: whether the area walks in the order of an index.
    virtual bool Active(TWorkArea& area) = 0;
    // 1: puts the active order's cursor on the current record.
    virtual Status Sync(TWorkArea& area) = 0;
    // 2 / 3: the record of the next / prior key; the same record again at the end.
    virtual Status Next(TWorkArea& area, int32_t& record) = 0;
    virtual Status Prior(TWorkArea& area, int32_t& record) = 0;
    // 4 / 5: the record of the first / last key; count + 1 when the order is empty.
    virtual Status First(TWorkArea& area, int32_t& record) = 0;
    virtual Status Last(TWorkArea& area, int32_t& record) = 0;
    // 6 / 7: whether the cursor stands past the last / before the first key.
    virtual bool AtEnd(TWorkArea& area) = 0;
    virtual bool AtStart(TWorkArea& area) = 0;
    // 8: adds the keys of the appended record to every tag.
    virtual Status AddKeys(TWorkArea& area) = 0;
    // 9: takes the current record's key of the active order.
    virtual Status TakeKey(TWorkArea& area) = 0;
    // 10: remembers the keys of the record about to be replaced.
    virtual Status RememberKeys(TWorkArea& area) = 0;
    // 11: moves the record in every tag whose key changed.
    virtual Status UpdateKeys(TWorkArea& area) = 0;
    // 12 / 13: marks the cursor before the first / past the last key.
    virtual void MarkStart(TWorkArea& area) = 0;
    virtual void MarkEnd(TWorkArea& area) = 0;
    // 14: whether the last seek found its key.
    virtual bool Found() = 0;
    // 15: rebuilds every tag.
    virtual Status Reindex(TWorkArea& area) = 0;
    // 16: closes the area's index.
    virtual Status Close(TWorkArea& area) = 0;
    // 17: opens the table's production index.
    virtual Status OpenProduction(TWorkArea& area) = 0;
    // 18: " [tag: NAME]" for messages, empty when tag n is not open.
    virtual std::string TagLabel(TWorkArea& area, int tag) = 0;
    // 19: the key builder of tag n (empty when it is not open).
    virtual KeyBuilder TagKey(TWorkArea& area, int tag) = 0;
    // 20: the key builder of the active order.
    virtual KeyBuilder ActiveKey(TWorkArea& area) = 0;
    // 21: whether tag n ascends.
    virtual bool Ascending(TWorkArea& area, int tag) = 0;
    // 22: whether tag n transforms its keys phonetically.
    virtual bool Phonetic(TWorkArea& area, int tag) = 0;
    // 23 / 24: takes (true) or releases the semaphore's read / write side.
    virtual Status ReadLock(TWorkArea& area, bool take) = 0;
    virtual Status WriteLock(TWorkArea& area, bool take) = 0;
    // A change of `record` (its append or replace) begins, under the write
    // side: until AddKeys or UpdateKeys ends it, the index is marked, so that
    // a change left unfinished (a process that died, a write that failed) is
    // repaired by the next open or change; one left before is repaired first.
    virtual Status BeginChange(TWorkArea&, int32_t) { return {}; }
    // The table is about to be rewritten (pack, zap): until Reindex, the
    // index is marked to be rebuilt.
    virtual Status MarkForRebuild(TWorkArea&) { return {}; }
    // The table's share mode changed (ReopenTable): an index file that
    // denies others more than the table now does (one opened while the table
    // was held alone) takes the table's mode.
    virtual Status ShareAsTable(TWorkArea&) { return {}; }
    // A change of the table (an append, a replace, a pack, a zap) begins
    // (`take`) or ends: when the area has not opened the table's production
    // index, that index would not learn of the change, so it is marked to be
    // rebuilt at its next open before the change is made.
    virtual Status GuardUnopened(TWorkArea&, bool) { return {}; }
};

// The requests the engine passes to the virtual-file store.
enum class VFileRequest : uint8_t {
    Close = 1,
    DeleteMark = 2,
    Read = 3,
    Open = 4,
    Pack = 5,
    Write = 8,
    Recall = 9,
    Zap = 12,
};

class VirtualFileAttachment {
public:
    virtual ~VirtualFileAttachment() = default;
    // Performs `request` on the area's records; `record` is the record a read
    // or write asks for.
    virtual Status Dispatch(TWorkArea& area, VFileRequest request, int32_t record) = 0;
};

class MemoAttachment {
public:
    virtual ~MemoAttachment() = default;
    // 2: opens the memo file beside the area's table.
    virtual Status Open(TWorkArea& area) = 0;
    // 3: closes it.
    virtual Status Close(TWorkArea& area) = 0;
    // 1: keeps only the memos the records still reference.
    virtual Status Pack(TWorkArea& area) = 0;
    // 6: empties the memo file (zap), keeping its layout and block size.
    virtual Status Recreate(TWorkArea& area) = 0;
    // 4, 5: copies memo `block` of `from` into the memo file of `to`.
    virtual Status Copy(TWorkArea& from, int32_t block, TWorkArea& to, int32_t& new_block) = 0;
    // 7: stores `text` as a new memo of `to`.
    virtual Status Add(TWorkArea& to, std::string_view text, int32_t& block) = 0;
    // A memo's text as lines (the memo search of Locate).
    virtual Status ReadLines(TWorkArea& area, int32_t block, std::vector<std::string>& lines) = 0;
    // A memo's whole text in the engine's page (memo values in expressions).
    virtual Status ReadText(TWorkArea& area, int32_t block, std::string& text) = 0;
    // The table's share mode changed (ReopenTable): a memo file that denies
    // others more than the table now does (one a pack or a zap made while the
    // table was held alone) takes the table's mode.
    virtual Status ShareAsTable(TWorkArea&) { return {}; }
};

struct Attachments {
    std::unique_ptr<ExpressionAttachment> expression;
    std::unique_ptr<IndexAttachment> index;
    std::unique_ptr<VirtualFileAttachment> vfile;
    std::unique_ptr<MemoAttachment> memo;
};

}  // namespace zurod
