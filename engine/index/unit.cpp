// The index unit's attachment: what the work-area engine calls on every
// positioning, append, replace, pack, zap and close of an area with an index.
#include <cstdio>

#include "engine/dbf/detail/state.hpp"
#include "engine/index/detail/unit.hpp"

namespace zurod {

IndexUnit* AttachedIndexUnit() { return dynamic_cast<IndexUnit*>(Engine().attachments.index.get()); }

IndexUnit& IndexEngine() {
    if (IndexUnit* unit = AttachedIndexUnit()) return *unit;
    auto unit = std::make_unique<IndexUnit>();
    IndexUnit& ref = *unit;
    Engine().attachments.index = std::move(unit);
    return ref;
}

void ReportIndexError(const Status& status) {
    if (status.ok()) return;
    Report(status);
    if (!ErrorHandlingOn()) RaiseEngineError(ErrorCodeText(status.code) + "\r\n" + status.message);
}

bool IndexUnit::Active(TWorkArea& a) { return OpenIndexOf(a) != nullptr; }

Status IndexUnit::Sync(TWorkArea& a) {
    IndexArea* ix = OpenIndexOf(a);
    if (!ix) return {};
    CurrentAreaScope current(a);
    return SyncIndexIn(a, *ix, false);
}

namespace {

using Positioning = Status (*)(TWorkArea&, IndexArea&, int32_t&);

Status Position(TWorkArea& a, int32_t& record, Positioning op, const char* routine) {
    IndexArea* ix = OpenIndexOf(a);
    if (!ix) return IndexNotOpen(a, routine);
    CurrentAreaScope current(a);
    return op(a, *ix, record);
}

}  // namespace

Status IndexUnit::Next(TWorkArea& a, int32_t& r) { return Position(a, r, NextKeyIn, "FindNextKey"); }
Status IndexUnit::Prior(TWorkArea& a, int32_t& r) { return Position(a, r, PriorKeyIn, "FindPriorKey"); }
Status IndexUnit::First(TWorkArea& a, int32_t& r) { return Position(a, r, FirstKeyIn, "FindFirstKey"); }
Status IndexUnit::Last(TWorkArea& a, int32_t& r) { return Position(a, r, LastKeyIn, "FindLastKey"); }

bool IndexUnit::AtEnd(TWorkArea& a) {
    IndexArea* ix = OpenIndexOf(a);
    Tag* t = ix ? ix->ActiveTag() : nullptr;
    return t ? t->at_end : a.eof;
}

bool IndexUnit::AtStart(TWorkArea& a) {
    IndexArea* ix = OpenIndexOf(a);
    Tag* t = ix ? ix->ActiveTag() : nullptr;
    return t ? t->at_begin : a.bof;
}

namespace {

// A change of keys, for an area with an open index (nothing without one).
Status Maintain(TWorkArea& a, Status (*op)(TWorkArea&, IndexArea&)) {
    IndexArea* ix = OpenIndexOf(a);
    if (!ix) return {};
    CurrentAreaScope current(a);
    return op(a, *ix);
}

}  // namespace

Status IndexUnit::AddKeys(TWorkArea& a) { return Maintain(a, AppendNewKeyIn); }

Status IndexUnit::TakeKey(TWorkArea& a) {
    IndexArea* ix = OpenIndexOf(a);
    if (!ix) return {};
    CurrentAreaScope current(a);
    return TakeKeysIn(a, *ix, false);
}

Status IndexUnit::RememberKeys(TWorkArea& a) { return Maintain(a, TakeOldKeysIn); }
Status IndexUnit::UpdateKeys(TWorkArea& a) { return Maintain(a, ReKeyIn); }

void IndexUnit::MarkStart(TWorkArea& a) {
    IndexArea* ix = OpenIndexOf(a);
    if (Tag* t = ix ? ix->ActiveTag() : nullptr) t->at_begin = true;
}

void IndexUnit::MarkEnd(TWorkArea& a) {
    IndexArea* ix = OpenIndexOf(a);
    if (Tag* t = ix ? ix->ActiveTag() : nullptr) t->at_end = true;
}

Status IndexUnit::Reindex(TWorkArea& a) {
    CurrentAreaScope current(a);
    return ReindexIn(a);
}

Status IndexUnit::Close(TWorkArea& a) { return CloseIndexIn(a); }

Status IndexUnit::OpenProduction(TWorkArea& a) {
    CurrentAreaScope current(a);
    return SetIndexToIn(a, "");
}

std::string IndexUnit::TagLabel(TWorkArea& a, int tag) {
    IndexArea* ix = OpenIndexOf(a);
    const Tag* t = ix ? ix->TagAt(tag) : nullptr;
    return t ? t->Label() : std::string();
}

KeyBuilder IndexUnit::TagKey(TWorkArea& a, int tag) {
    IndexArea* ix = OpenIndexOf(a);
    if (!ix || !ix->TagAt(tag)) return {};
    const uint8_t number = a.number;
    return [number, tag]() {
        TWorkArea* area = AreaAt(number);
        IndexArea* index = area ? OpenIndexOf(*area) : nullptr;
        Tag* t = index ? index->TagAt(tag) : nullptr;
        std::string key;
        if (!t) return key;
        CurrentAreaScope current(*area);
        (void)t->BuildKey(key);
        return key;
    };
}

KeyBuilder IndexUnit::ActiveKey(TWorkArea& a) {
    IndexArea* ix = OpenIndexOf(a);
    if (!ix) return {};
    if (ix->ActiveTag()) return TagKey(a, ix->active);
    const uint8_t number = a.number;
    return [number]() {
        const TWorkArea* area = AreaAt(number);
        char text[16];
        std::snprintf(text, sizeof text, "Rec:%10d", area ? area->rec_no : 0);
        return std::string(text);
    };
}

bool IndexUnit::Ascending(TWorkArea& a, int tag) {
    IndexArea* ix = OpenIndexOf(a);
    const Tag* t = ix ? ix->TagAt(tag) : nullptr;
    return !t || !t->descending;
}

Status IndexUnit::ReadLock(TWorkArea& a, bool take) {
    IndexArea* ix = OpenIndexOf(a);
    return ix ? ReadBracket(a, *ix, take) : Status{};
}

Status IndexUnit::WriteLock(TWorkArea& a, bool take) {
    IndexArea* ix = OpenIndexOf(a);
    return ix ? WriteBracket(a, *ix, take) : Status{};
}

Status IndexUnit::BeginChange(TWorkArea& a, int32_t record) {
    IndexArea* ix = OpenIndexOf(a);
    if (!ix) return {};
    CurrentAreaScope current(a);
    return BeginChangeIn(a, *ix, record);
}

Status IndexUnit::MarkForRebuild(TWorkArea& a) {
    IndexArea* ix = OpenIndexOf(a);
    return ix ? MarkForRebuildIn(a, *ix) : Status{};
}

Status IndexUnit::ShareAsTable(TWorkArea& a) { return ShareIndexAsTable(a); }

Status IndexUnit::GuardUnopened(TWorkArea& a, bool take) { return GuardUnopenedIn(a, take); }

}  // namespace zurod
