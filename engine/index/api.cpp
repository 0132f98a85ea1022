// The index unit's public commands: each works on the current area, checks
// it, and reports once.
#include "engine/dbf/detail/editing.hpp"
#include "engine/dbf/detail/state.hpp"
#include "engine/dbf/strings.hpp"
#include "engine/index/detail/unit.hpp"
#include "engine/index/index.hpp"
#include "platform/codepage.hpp"
#include "platform/paths.hpp"

namespace zurod {

namespace {

// The area's open index, or nullptr after reporting 221.
IndexArea* RequireIndex(TWorkArea& a, const std::string& routine) {
    IndexArea* ix = OpenIndexOf(a);
    if (!ix) ReportIndexError(IndexNotOpen(a, routine));
    return ix;
}

// A positioning command of the active order: the read side held, the area current.
template <class Op>
int32_t Position(const char* routine, Op op) {
    TWorkArea* a = Guarded(routine);
    if (!a) return 0;
    SetLastErrorCode(0);
    IndexArea* ix = RequireIndex(*a, routine);
    if (!ix) return 0;
    int32_t record = 0;
    ReadSide read(*a, *ix);
    Status s = read.status();
    if (s.ok()) s = op(*a, *ix, record);
    Report(FirstFailure(std::move(s), read.Release()));
    return record;
}

std::string Flag(bool on) { return on ? "T" : "F"; }

}  // namespace

std::vector<TagDescriptor> ParseIndexList(const std::vector<std::string>& lines) {
    std::vector<TagDescriptor> list;
    for (size_t i = 0; i + 1 < lines.size(); i += 2) {
        const std::string& line = lines[i];
        TagDescriptor d;
        const size_t comma = line.find(',');
        d.name = line.substr(0, std::min(comma, mdx::kMaxTagName));
        if (comma != std::string::npos) {
            d.descending = comma + 1 < line.size() && line[comma + 1] == 'T';
            d.unique = comma + 3 < line.size() && line[comma + 3] == 'T';
            if (comma + 5 < line.size()) d.key = line.substr(comma + 5, mdx::kMaxExpression);
        }
        d.condition = lines[i + 1].substr(0, mdx::kMaxExpression);
        list.push_back(std::move(d));
    }
    return list;
}

void IndexInit() {
    if (Engine().attachments.index) {
        RunError(254, "ERROR: BOTH INDEX4 and TZNDX units linked in. [IndexInit]");
        return;
    }
    Engine().attachments.index = std::make_unique<IndexUnit>();
}

void IndexEngineClose() {
    if (!AttachedIndexUnit()) return;
    Status status;
    for (uint8_t n = 1; n <= kAreaCount; ++n)
        if (TWorkArea* a = AreaAt(n)) status = FirstFailure(std::move(status), CloseIndexIn(*a));
    Engine().attachments.index.reset();
    Record(status);
}

bool SetIndexTo(const std::string& name) {
    TWorkArea* a = Guarded("SetIndexTo");
    if (!a) return false;
    SetLastErrorCode(0);
    Status s = SetIndexToIn(*a, name);
    if (s.code == 2)
        Report(s);
    else
        ReportIndexError(s);
    return s.ok();
}

bool OpenIndex(const std::string& name) {
    TWorkArea* a = Guarded("OpenIndex");
    if (!a) return false;
    SetLastErrorCode(0);
    if (OpenIndexOf(*a)) {
        ReportIndexError(Fail(254, "Internal error: Cache already allocated  [OpenIndex/Set_Index_To]"));
        return false;
    }
    Status s = OpenIndexIn(*a, IndexPathFor(*a, name));
    if (s.failed()) (void)CloseIndexIn(*a);
    ReportIndexError(s);
    return s.ok();
}

void CloseIndex() {
    TWorkArea* a = CurrentTable();
    if (!a) return;
    Report(CloseIndexIn(*a));
}

void Set_Order_To(int n) {
    TWorkArea* a = Guarded("Set_Order_To");
    if (!a) return;
    SetLastErrorCode(0);
    ReportIndexError(SetOrderIn(*a, n, "Set_Order_To(" + std::to_string(n) + ")"));
}

bool SetOrderToTag(const std::string& name) {
    TWorkArea* a = Guarded("SetOrderToTag");
    if (!a) return false;
    SetLastErrorCode(0);
    const Status s = OrderToTagIn(*a, name);
    ReportIndexError(s);
    return s.ok();
}

int CurrentOrder() {
    TWorkArea* a = CurrentTable();
    IndexArea* ix = a ? OpenIndexOf(*a) : nullptr;
    return ix && ix->ActiveTag() ? ix->active : 0;
}

void Reindex() {
    TWorkArea* a = Guarded("Reindex");
    if (!a) return;
    SetLastErrorCode(0);
    if (!RequireIndex(*a, "Reindex")) return;
    Report(ReindexIn(*a));
}

void GetIndexTagNames(std::vector<std::string>& list, const std::string& table) {
    list.clear();
    std::string name = AllTrim(table);
    if (name.empty()) return;
    const size_t slash = name.rfind('/');
    if (const size_t dot = name.rfind('.'); dot != std::string::npos && (slash == std::string::npos || dot > slash))
        name.erase(dot);
    name += ".MDX";
    if (TWorkArea* a = CurrentTable(); a && name.find('/') == std::string::npos) name = IndexPathFor(*a, name);
    std::vector<TagDescriptor> tags;
    // An index open in an area (exclusively, perhaps) is read through its handle.
    platform::FileId id;
    if (platform::IdentifyFile(name, id) != 0) return;
    IndexFile* open = nullptr;
    for (uint8_t n = 1; n <= kAreaCount && !open; ++n)
        if (TWorkArea* a = AreaAt(n); a && OpenIndexOf(*a) && OpenIndexOf(*a)->file.Handle().Id() == id)
            open = &OpenIndexOf(*a)->file;
    IndexFile file;
    if (!open && file.Open(name, platform::Access::Read, platform::Share::DenyNone) != 0) return;
    (void)ReadDescriptors(open ? *open : file, tags);
    for (const TagDescriptor& d : tags) {
        list.push_back(AllTrim(d.name).substr(0, 20) + "," + Flag(d.descending) + "," + Flag(d.unique) + "," +
                       AllTrim(d.key));
        list.push_back(AllTrim(d.condition));
    }
}

void SetIndexFlushOn() { IndexEngine().flush = true; }

bool MakeIndex(const std::vector<TagDescriptor>& tags, const std::string& name) {
    TWorkArea* a = Guarded("MakeIndex");
    if (!a) return false;
    SetLastErrorCode(0);
    bool all = false;
    const Status s = MakeIndexIn(*a, tags, name, all);
    Report(s);
    return s.ok() && all;
}

bool MakeIndexTags(const std::vector<TagDescriptor>& tags, const std::string& name) {
    return MakeIndex(tags, name) && SetIndexTo(name);
}

bool AddIndexTag(const TagDescriptor& tag, bool reopen) {
    TWorkArea* a = Guarded("AddIndexTag");
    if (!a) return false;
    SetLastErrorCode(0);
    IndexArea* ix = RequireIndex(*a, "AddIndexTag");
    if (!ix) return false;
    std::vector<TagDescriptor> list;
    (void)ReadDescriptors(ix->file, list);
    list.push_back(tag);
    const Tag* active = ix->ActiveTag();
    const std::string order = active ? active->name : std::string();
    const std::string path = ix->file.Path();
    const bool take = reopen && !a->exclusive;
    if (take && ReopenTableIn(*a, true) != 0) {
        Report(Fail(225, a->file_name + " [AddIndexTag()]"));
        return false;
    }
    bool all = false;
    Status s = MakeIndexIn(*a, list, path, all);
    if (s.ok() || !OpenIndexOf(*a)) s = FirstFailure(std::move(s), SetIndexToIn(*a, path));
    if (s.ok()) s = OrderToTagIn(*a, order);
    if (take && ReopenTableIn(*a, false) != 0 && s.ok())
        s = Fail(225, "Cannot_Reopen_Database_Sharable " + a->file_name + " [AddIndexTag()]");
    Report(s);
    return s.ok() && all;
}

void SetIndexProgressProc(std::function<void()> callback, int steps) {
    BuildSettings& b = IndexEngine().build;
    b.progress = std::move(callback);
    b.steps = b.progress ? steps : 0;
}

bool Find(const std::string& key) {
    TWorkArea* a = Guarded("Find");
    if (!a) return false;
    SetLastErrorCode(0);
    IndexArea* ix = RequireIndex(*a, "Find");
    if (!ix) return false;
    bool found = false;
    ReadSide read(*a, *ix);
    Status s = read.status();
    if (s.ok()) s = FindIn(*a, *ix, key, found);
    Report(FirstFailure(std::move(s), read.Release()));
    return found;
}

bool SetFindExact() { return std::exchange(IndexEngine().exact, true); }
bool ClearFindExact() { return std::exchange(IndexEngine().exact, false); }

int32_t FindFirstKey() { return Position("FindFirstKey", FirstKeyIn); }
int32_t FindLastKey() { return Position("FindLastKey", LastKeyIn); }
int32_t FindNextKey() { return Position("FindNextKey", NextKeyIn); }
int32_t FindPriorKey() { return Position("FindPriorKey", PriorKeyIn); }

bool SeekKey(std::string_view key) {
    bool found = false;
    Position("SeekKey", [&](TWorkArea& a, IndexArea& ix, int32_t&) { return SeekKeyIn(a, ix, key, found); });
    return found;
}

bool SetKeyFloor(const std::string& tag, std::string_view low) {
    const std::string label = "SetKeyFloor(" + tag + ")";
    TWorkArea* a = Guarded(label.c_str());
    if (!a) return false;
    SetLastErrorCode(0);
    IndexArea* ix = RequireIndex(*a, label);
    if (!ix) return false;
    // Only the whole name: a floor under the wrong tag would hide records.
    const int n = TagNumberIn(*ix, tag, false);
    Tag* t = ix->TagAt(n);
    if (!t) {
        ReportIndexError(Fail(
            220,
            "Tag not found: " + platform::AnsiUpper(AllTrim(tag)) + ". [" + label + "] (DBF=" + a->file_name + ")"));
        return false;
    }
    // The floor learns which records lie at or above it from one walk of the
    // tag upwards: a tag holding only some records (FOR), one record of each
    // key (UNIQUE) or ordered downwards cannot tell it.
    if (t->header[mdx::kHasForAt] != 0) {
        ReportIndexError(Fail(220, "A tag with a FOR condition cannot hold a key floor. [" + label + "]"));
        return false;
    }
    if (t->unique || t->descending) {
        ReportIndexError(Fail(220, "A unique or descending tag cannot hold a key floor. [" + label + "]"));
        return false;
    }
    KeyFloor floor;
    floor.tag = n;
    floor.low.assign(low.substr(0, t->key_length));
    floor.low.resize(t->key_length, '\0');
    ix->floor = std::move(floor);
    return true;
}

void ClearKeyFloor() {
    TWorkArea* a = Guarded("ClearKeyFloor");
    if (!a) return;
    SetLastErrorCode(0);
    if (IndexArea* ix = OpenIndexOf(*a)) ix->floor = {};
}

void SyncIndex(bool all_tags) {
    Position("SyncIndex", [&](TWorkArea& a, IndexArea& ix, int32_t&) { return SyncIndexIn(a, ix, all_tags); });
}

void SoftSyncIndex() {
    Position("SoftSyncIndex", [](TWorkArea& a, IndexArea& ix, int32_t&) {
        Tag* t = ix.ActiveTag();
        return t ? SyncTag(a, ix, *t, true, true) : Status{};
    });
}

void TakeKeys(bool all_tags) {
    Position("TakeKeys", [&](TWorkArea& a, IndexArea& ix, int32_t&) { return TakeKeysIn(a, ix, all_tags); });
}

void HandleSemafore(int action) {
    SetLastErrorCode(0);
    TWorkArea* a = CurrentTable();
    if (Engine().current > 34) {
        ReportIndexError(
            Fail(254, "Work area [" + std::to_string(Engine().current) + "] out of range. [HandleSemafore]"));
        return;
    }
    IndexArea* ix = a ? IndexOf(*a) : nullptr;
    if (!ix) return;
    ReportIndexError(HandleSemaphoreIn(*a, *ix, action));
}

void SetReadSemaphoreProc(bool take) {
    SetLastErrorCode(0);
    TWorkArea* a = CurrentTable();
    IndexArea* ix = a ? OpenIndexOf(*a) : nullptr;
    if (ix) Report(ReadBracket(*a, *ix, take));
}

void SetLockSemaphoreProc(bool take) {
    SetLastErrorCode(0);
    TWorkArea* a = CurrentTable();
    IndexArea* ix = a ? OpenIndexOf(*a) : nullptr;
    if (ix) Report(WriteBracket(*a, *ix, take));
}

bool RevalidateIndex() {
    TWorkArea* a = CurrentTable();
    IndexArea* ix = a ? OpenIndexOf(*a) : nullptr;
    if (!ix) return false;
    bool changed = false;
    Report(RevalidateIndexIn(*a, *ix, changed));
    return changed;
}

void RevalidateCursor() {
    TWorkArea* a = CurrentTable();
    IndexArea* ix = a ? OpenIndexOf(*a) : nullptr;
    if (!ix) return;
    CurrentAreaScope current(*a);
    Report(RevalidateCursorIn(*a, *ix));
}

}  // namespace zurod
