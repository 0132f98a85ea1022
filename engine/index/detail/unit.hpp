#pragma once
// The index unit as the engine sees it: the attachment with the unit's
// engine-wide state, the per-area index state, and the operations on a given
// area that the attachment and the public commands share.
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/dbf/detail/area_table.hpp"
#include "engine/dbf/detail/attachments.hpp"
#include "engine/dbf/detail/workarea.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/index/detail/format.hpp"
#include "engine/index/detail/index_file.hpp"
#include "engine/index/detail/key_floor.hpp"
#include "engine/index/detail/tag.hpp"
#include "engine/index/index.hpp"
#include "platform/file.hpp"

namespace zurod {

// The semaphore file of a shared table (see semaphore.cpp): byte 0 the
// processes logged in, byte 1 the readers (plus 1 while a writer holds the
// index), bytes 2-3 the update counter.
struct Semaphore {
    platform::File file;
    std::string path;
    std::array<uint8_t, 4> record{};
    uint16_t known_counter = 0;
    bool logged_in = false;
    bool region_held = false;
    bool counted_reader = false;
    int reads = 0;  // nesting of "INCREAD"
    int locks = 0;  // nesting of "LOCKSEMAPHORE"

    uint16_t Counter() const { return mdx::Get16(record.data() + 2); }
};

enum SemaphoreAction : int {
    kLogin = 0,
    kLogout = 1,
    kIncRead = 2,
    kDecRead = 3,
    kLockSemaphore = 4,
    kUnlockSemaphore = 5
};

struct IndexArea final : IndexAreaState {
    IndexFile file;
    std::array<std::unique_ptr<Tag>, mdx::kMaxTags + 1> tags;  // by entry number
    int tag_count = 0;
    int active = 0;  // entry number of the active order
    bool natural = false;
    Semaphore semaphore;
    int read_brackets = 0;
    int lock_brackets = 0;
    KeyFloor floor;
    // A watch (see unopened.cpp): the mark on disk was read under the region;
    // the watch holds the table semaphore's region until the change ends.
    bool watch_looked = false;
    bool watch_holding = false;

    bool Open() const { return file.IsOpen(); }
    Tag* ActiveTag() const { return natural || active == 0 ? nullptr : tags[active].get(); }
    Tag* TagAt(int n) const { return n >= 1 && n <= mdx::kMaxTags ? tags[n].get() : nullptr; }
};

// The bulk build's settings; tests lower the memory budget to make it merge.
struct BuildSettings {
    std::function<void()> progress;
    int steps = 0;
    // What the build may hold of keys at any time, all tags together
    // (beyond it, keys go through a work file).
    size_t memory_budget = size_t{64} << 20;
    // Free bytes on the file system of a path (tests put a full disk here).
    std::function<int(const std::string& path, uint64_t& bytes)> free_space;
};

// How long the semaphore waits; the messages name the usual 10 and 100
// seconds, tests shorten them.
struct SemaphoreTimes {
    std::chrono::milliseconds region{10'000};
    std::chrono::milliseconds readers{100'000};
    std::chrono::milliseconds pause{10};
};

class IndexUnit final : public IndexAttachment {
public:
    int open_indexes = 0;
    bool flush = false;
    bool exact = false;
    bool found = false;
    BuildSettings build;
    SemaphoreTimes times;

    bool Active(TWorkArea& area) override;
    Status Sync(TWorkArea& area) override;
    Status Next(TWorkArea& area, int32_t& record) override;
    Status Prior(TWorkArea& area, int32_t& record) override;
    Status First(TWorkArea& area, int32_t& record) override;
    Status Last(TWorkArea& area, int32_t& record) override;
    bool AtEnd(TWorkArea& area) override;
    bool AtStart(TWorkArea& area) override;
    Status AddKeys(TWorkArea& area) override;
    Status TakeKey(TWorkArea& area) override;
    Status RememberKeys(TWorkArea& area) override;
    Status UpdateKeys(TWorkArea& area) override;
    void MarkStart(TWorkArea& area) override;
    void MarkEnd(TWorkArea& area) override;
    bool Found() override { return found; }
    Status Reindex(TWorkArea& area) override;
    Status Close(TWorkArea& area) override;
    Status OpenProduction(TWorkArea& area) override;
    std::string TagLabel(TWorkArea& area, int tag) override;
    KeyBuilder TagKey(TWorkArea& area, int tag) override;
    KeyBuilder ActiveKey(TWorkArea& area) override;
    bool Ascending(TWorkArea& area, int tag) override;
    bool Phonetic(TWorkArea&, int) override { return false; }
    Status ReadLock(TWorkArea& area, bool take) override;
    Status WriteLock(TWorkArea& area, bool take) override;
    Status BeginChange(TWorkArea& area, int32_t record) override;
    Status MarkForRebuild(TWorkArea& area) override;
    Status ShareAsTable(TWorkArea& area) override;
    Status GuardUnopened(TWorkArea& area, bool take) override;
};

// The attached index unit; nullptr when none (or a stand-in) is attached.
IndexUnit* AttachedIndexUnit();
// The unit, attached first when it is not.
IndexUnit& IndexEngine();
// The area's index state (only the attached index unit sets it); nullptr
// when it has none. OpenIndexOf: only when its file is open.
inline IndexArea* IndexOf(TWorkArea& area) { return static_cast<IndexArea*>(area.index_block.get()); }
inline IndexArea* OpenIndexOf(TWorkArea& area) {
    IndexArea* ix = IndexOf(area);
    return ix && ix->Open() ? ix : nullptr;
}
// The watch of the production index of an area that has not opened it (see
// unopened.cpp): its file open without tags, or not at all when there is
// none; nullptr before the area's first change.
inline IndexArea* WatchOf(TWorkArea& area) { return static_cast<IndexArea*>(area.index_watch.get()); }

// Makes an area current for the scope, so that key expressions read it.
class CurrentAreaScope {
public:
    explicit CurrentAreaScope(const TWorkArea& area) { SelectInternal(area.number); }
    CurrentAreaScope(const CurrentAreaScope&) = delete;
    CurrentAreaScope& operator=(const CurrentAreaScope&) = delete;

private:
    AreaScope keep_;
};

// "Index not open. (DBF=<table>) [<routine>]"
Status IndexNotOpen(const TWorkArea& area, const std::string& routine);
// Reports through RunError and, when automatic error handling is off, raises
// the error at once, so that it never passes unnoticed.
void ReportIndexError(const Status& status);

// Semaphore (semaphore.cpp). Tables used exclusively have none.
bool SemaphoreInUse(const TWorkArea& area);
// For a watch (unopened.cpp): the semaphore file opened without a login (the
// area may hold the table's file lock, which a login waits for) and closed
// again, erased when nobody is logged in; the region taken with the record
// read, an update counted (the counter written, what this open knows left
// alone), the region let go.
Status OpenUnlisted(TWorkArea& area, Semaphore& s);
void CloseUnlisted(Semaphore& s);
Status HoldRegion(Semaphore& s);
Status CountUpdate(Semaphore& s);
Status LetRegionGo(Semaphore& s);
Status HandleSemaphoreIn(TWorkArea& area, IndexArea& ix, int action);
Status ReadBracket(TWorkArea& area, IndexArea& ix, bool take);
Status WriteBracket(TWorkArea& area, IndexArea& ix, bool take);
// Whether another process changed the index since this one last looked; the
// tag headers are read again and every cursor must find its place anew.
Status RevalidateIndexIn(TWorkArea& area, IndexArea& ix, bool& changed);
Status RevalidateCursorIn(TWorkArea& area, IndexArea& ix);

// Holds the read (or write) side of an area's semaphore for a scope. Release
// says how giving it up went; a side left to the destructor is given up all
// the same, its failure unheard, so callers release it themselves.
template <Status (*Bracket)(TWorkArea&, IndexArea&, bool)>
class SemaphoreSide {
public:
    SemaphoreSide(TWorkArea& area, IndexArea& ix) : area_(area), ix_(ix) {
        status_ = Bracket(area_, ix_, true);
        held_ = status_.ok();
    }
    ~SemaphoreSide() { (void)Release(); }
    Status Release() {
        if (!held_) return {};
        held_ = false;
        return Bracket(area_, ix_, false);
    }
    const Status& status() const { return status_; }
    SemaphoreSide(const SemaphoreSide&) = delete;
    SemaphoreSide& operator=(const SemaphoreSide&) = delete;

private:
    TWorkArea& area_;
    IndexArea& ix_;
    Status status_;
    bool held_ = false;
};
using ReadSide = SemaphoreSide<ReadBracket>;
using WriteSide = SemaphoreSide<WriteBracket>;

// Positioning (seek.cpp).
Status FirstKeyIn(TWorkArea& area, IndexArea& ix, int32_t& record);
Status LastKeyIn(TWorkArea& area, IndexArea& ix, int32_t& record);
Status NextKeyIn(TWorkArea& area, IndexArea& ix, int32_t& record);
Status PriorKeyIn(TWorkArea& area, IndexArea& ix, int32_t& record);
// Puts a tag's cursor on the current record; `active` decides what a record
// outside the tag does (the area goes to end of file).
Status SyncTag(TWorkArea& area, IndexArea& ix, Tag& tag, bool active, bool soft = false);
Status SyncIndexIn(TWorkArea& area, IndexArea& ix, bool all);
// The same for an order just chosen: a unique tag's cursor goes to the
// record's own entry where the key we compute finds none (another writer's
// key bytes), not only to where that key would stand.
Status SyncChosenOrderIn(TWorkArea& area, IndexArea& ix);
Status TakeKeysIn(TWorkArea& area, IndexArea& ix, bool all);
Status SeekKeyIn(TWorkArea& area, IndexArea& ix, std::string_view key, bool& found);
Status FindIn(TWorkArea& area, IndexArea& ix, std::string_view text, bool& found);

// Opening and orders (open.cpp).
std::string IndexPathFor(const TWorkArea& area, std::string_view name);
// How an area opens its index: as the table is shared, unless the open mode
// is overridden.
OpenMode IndexOpenMode(const TWorkArea& area);
Status SetIndexToIn(TWorkArea& area, std::string_view name);
Status OpenIndexIn(TWorkArea& area, const std::string& path);
Status CloseIndexIn(TWorkArea& area);
// Gives the open index file the table's share mode where it denies others
// more (see IndexAttachment::ShareAsTable).
Status ShareIndexAsTable(TWorkArea& area);
Status SetOrderIn(TWorkArea& area, int n, const std::string& label);
// The tag a name chooses: the one whose name equals it, else with `or_begun`
// the first whose name it begins (case ignored, at most the stored length
// counts); 0 if none.
int TagNumberIn(const IndexArea& ix, std::string_view name, bool or_begun);
Status OrderToTagIn(TWorkArea& area, std::string_view name);
Status ReindexIn(TWorkArea& area);
// The descriptors of the open tags, in tag order (what a rebuild builds).
std::vector<TagDescriptor> OpenTagDescriptors(const IndexArea& ix);
// The descriptors of the tags of an index file header, in tag-table order.
Status ReadDescriptors(IndexFile& file, std::vector<TagDescriptor>& list);

// Key maintenance (maintain.cpp): the appended record's keys into every tag
// (undone in the earlier tags when one fails); the keys of a record about to
// be replaced; every tag whose key or FOR result changed brought in line.
Status AppendNewKeyIn(TWorkArea& area, IndexArea& ix);
Status TakeOldKeysIn(TWorkArea& area, IndexArea& ix);
Status ReKeyIn(TWorkArea& area, IndexArea& ix);
// Writes the changed tag and file headers; a change that is `done` clears
// its mark with them, once every tag header is written.
Status WriteIndexHeaders(IndexArea& ix, bool done);

// Marked changes and repairs (repair.cpp). A change of a record (an append,
// a replace) first repairs what an unfinished change left, then marks the
// index with its record until WriteIndexHeaders ends it; a pack or a zap
// marks the whole index until it is rebuilt. RepairIndexIn brings every tag
// in line with the table as the mark on disk asks: the one record's keys, or
// every tag built anew at the end of the file. The caller holds the write side.
Status BeginChangeIn(TWorkArea& area, IndexArea& ix, int32_t record);
Status MarkForRebuildIn(TWorkArea& area, IndexArea& ix);
Status RepairIndexIn(TWorkArea& area, IndexArea& ix);
// At open: the repair under the write side, when the index is marked.
Status RepairMarkedIndexIn(TWorkArea& area, IndexArea& ix);

// A change of a table whose production index the area has not opened (no
// index, or another one) begins (`take`) or ends (unopened.cpp): before it,
// the index is marked to be rebuilt, under the semaphore's region on a
// shared table, which stays held until the change ends.
Status GuardUnopenedIn(TWorkArea& area, bool take);
// Closes the area's watch (an index is opened or built, the area closes).
void CloseWatch(TWorkArea& area);

// Files beside an index (repair.cpp). A build writes "<index>.TZX" beside the
// file the index path finally names (`real`); what a build that died left
// there goes when the index is opened, unless some open holds it. A new index
// takes the mode of the file it replaces, else the table's.
std::string BuildFileName(const std::string& real);
void RemoveStaleBuild(const std::string& index_path);
int TakeModeOfOld(platform::File& out, const std::string& real, const TWorkArea& area);

// The bulk build (build.cpp): a new index file with every tag of the list
// replaces the old one. `all` is false when a tag could not be built.
Status MakeIndexIn(TWorkArea& area, const std::vector<TagDescriptor>& list, std::string_view name, bool& all);
// Builds the tags of the list into an open index file, at its end: each tag
// gets a new header and takes the entry of its name. Nothing of the file's
// header is written.
Status BuildTagsInto(TWorkArea& area, IndexFile& file, const std::vector<TagDescriptor>& list);

}  // namespace zurod
