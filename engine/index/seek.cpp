// Positioning in the active order: first, last, next and prior key, keeping
// cursors on the current record, seeking keys and Find.
#include <algorithm>
#include <bit>
#include <cstring>

#include "engine/dbf/detail/navigation.hpp"
#include "engine/dbf/detail/record_io.hpp"
#include "engine/dbf/detail/swap_buffer.hpp"
#include "engine/dbf/strings.hpp"
#include "engine/expr/julian.hpp"
#include "engine/expr/keys.hpp"
#include "engine/index/detail/unit.hpp"
#include "platform/codepage.hpp"

namespace zurod {

namespace {

int32_t PastEndNo(const TWorkArea& a) { return a.rec_count < INT32_MAX ? a.rec_count + 1 : INT32_MAX; }

// Both flags: the order has no key.
void EmptyOrder(Tag& t) {
    t.at_begin = t.at_end = true;
    t.last_rec = 0;
}

// The area past its last record, as navigation leaves it.
void AreaPastEnd(TWorkArea& a) {
    a.rec_no = PastEndNo(a);
    a.eof = true;
    BlankRecord(a);
}

// Equal keys a tag may hold: one per record at most, so stepping further
// means a tree that repeats itself.
bool TooManySteps(const TWorkArea& a, uint64_t steps) { return steps > static_cast<uint64_t>(a.rec_count) + 1; }

Status LoopError(const Tag& t, const char* routine) {
    return Fail(222, "Index keys repeat without end in " + t.file->Path() + t.Label() + " [" + routine + "]");
}

// The record of the cursor's entry, which must be one of the table's.
Status EntryRecord(TWorkArea& a, const Tag& t, int32_t& record) {
    record = t.Record();
    if (record > a.rec_count) RefreshRecCount(a);
    if (record < 1 || record > a.rec_count)
        return Fail(222,
                    "Record number " + std::to_string(record) + " of " + t.file->Path() + t.Label() +
                        " is not in the table [GetNode]");
    return {};
}

// A date text of blanks and separators only: the blank date.
bool BlankDateText(std::string_view text) { return text.find_first_not_of(" /-.") == std::string_view::npos; }

// Reads record n into the area's buffers.
Status GoRecord(TWorkArea& a, int32_t n) {
    if (Status s = GetDbfRecord(a, n); s.failed()) return s;
    RecordToBuffer(a);
    return {};
}

// Puts the cursor on the first or the last key. An empty order sets both
// flags and gives the record past the end.
Status ToEnd(TWorkArea& a, Tag& t, bool last, int32_t& record) {
    bool empty = t.NeverSatisfied();
    if (!empty) {
        if (Status s = last ? t.Last() : t.First(); s.failed()) return s;
        empty = !t.OnEntry();
    }
    if (empty) {
        EmptyOrder(t);
        record = PastEndNo(a);
        return {};
    }
    t.at_begin = t.at_end = false;
    t.Remember();
    return EntryRecord(a, t, record);
}

// ToEnd on the first or last entry the key floor lets through.
Status ToEndAboveFloor(TWorkArea& a, IndexArea& ix, Tag& t, bool last, int32_t& record) {
    if (!ix.floor.Set()) return ToEnd(a, t, last, record);
    bool none = false;
    if (Status s = PrepareFloor(a, ix, t, none); s.failed()) return s;
    const auto nothing = [&] {
        EmptyOrder(t);
        record = PastEndNo(a);
        return Status{};
    };
    if (none) return nothing();
    if (!last && FloorTagIs(ix, t) && !t.NeverSatisfied()) {
        bool found = false;
        if (Status s = t.Seek(reinterpret_cast<const uint8_t*>(ix.floor.low.data()), found); s.failed()) return s;
        if (!t.OnEntry()) return nothing();
        t.at_begin = t.at_end = false;
        t.Remember();
        return EntryRecord(a, t, record);
    }
    if (Status s = ToEnd(a, t, last, record); s.failed() || (t.at_begin && t.at_end) || FloorAdmits(ix, t)) return s;
    // The floor's own tag below the floor at its last key: no key is above it.
    if (FloorTagIs(ix, t)) return nothing();
    for (bool moved = true; !FloorAdmits(ix, t);) {
        if (Status s = t.Step(!last, moved); s.failed()) return s;
        if (!moved) return nothing();
    }
    t.Remember();
    return EntryRecord(a, t, record);
}

// After a step onto an entry the floor does not let through: on to the next
// one it does, or back on the entry the step left when there is none.
Status StepOverFloor(IndexArea& ix, Tag& t, bool forward, bool& moved) {
    while (moved && !FloorAdmits(ix, t)) {
        // In the floor's own tag every key before one below the floor is below it too.
        if (!forward && FloorTagIs(ix, t)) moved = false;
        if (moved)
            if (Status s = t.Step(forward, moved); s.failed()) return s;
    }
    return moved ? Status{} : t.Reseek();
}

// A step of the cursor; at either end the flag is set and the same key's
// record comes back.
Status StepKey(TWorkArea& a, IndexArea& ix, Tag& t, bool forward, int32_t& record) {
    if (Status s = RevalidateCursorIn(a, ix); s.failed()) return s;
    if (t.at_end || t.NeverSatisfied()) {
        // Backwards from the end onto the last key; forwards, still at the end.
        if (Status s = ToEndAboveFloor(a, ix, t, true, record); s.failed() || t.at_begin) return s;
        t.at_end = forward;
        return {};
    }
    if (!t.path_valid)
        if (Status s = t.Reseek(); s.failed())
            return forward ? s : Fail(s.code, s.message.substr(0, s.message.rfind(" [")) + " [_FindPriorRec]");
    if (!t.OnEntry()) {
        EmptyOrder(t);
        record = PastEndNo(a);
        return {};
    }
    bool none = false;
    if (Status s = PrepareFloor(a, ix, t, none); s.failed()) return s;
    bool moved = false;
    if (!none)
        if (Status s = t.Step(forward, moved); s.failed()) return s;
    if (moved && !FloorAdmits(ix, t))
        if (Status s = StepOverFloor(ix, t, forward, moved); s.failed()) return s;
    (forward ? t.at_end : t.at_begin) = !moved;
    (forward ? t.at_begin : t.at_end) = false;
    // The record of the next entry is somewhere else in the table: its
    // bytes are asked for now so that they are at hand by the next step.
    if (moved) {
        const uint32_t pos = t.path.back().pos;
        const uint32_t next = forward ? pos + 1 : pos - 1;
        if (forward ? next < t.LeafCount() : pos > 0)
            PrefetchRecord(a, static_cast<int32_t>(mdx::NodeView{t.leaf.data(), t.item_length}.Pointer(next)));
    }
    t.Remember();
    return EntryRecord(a, t, record);
}

// Walks the order for the entry of `record`.
Status FindRecordEntry(Tag& t, int32_t record, bool& found) {
    found = false;
    if (Status s = t.First(); s.failed()) return s;
    for (bool moved = t.OnEntry(); moved;) {
        if (t.Record() == record) {
            found = true;
            return {};
        }
        if (Status s = t.Step(true, moved); s.failed()) return s;
    }
    return {};
}

}  // namespace

Status FirstKeyIn(TWorkArea& a, IndexArea& ix, int32_t& record) {
    bool changed = false;
    if (Status s = RevalidateIndexIn(a, ix, changed); s.failed()) return s;
    Tag* t = ix.ActiveTag();
    if (t) return ToEndAboveFloor(a, ix, *t, false, record);
    record = 1;
    IndexEngine().found = a.rec_count > 0;
    return {};
}

Status LastKeyIn(TWorkArea& a, IndexArea& ix, int32_t& record) {
    bool changed = false;
    if (Status s = RevalidateIndexIn(a, ix, changed); s.failed()) return s;
    Tag* t = ix.ActiveTag();
    if (t) return ToEndAboveFloor(a, ix, *t, true, record);
    record = std::max(a.rec_count, 1);
    return {};
}

Status NextKeyIn(TWorkArea& a, IndexArea& ix, int32_t& record) {
    if (Tag* t = ix.ActiveTag()) return StepKey(a, ix, *t, true, record);
    // Natural order: the next record, the same one at the last.
    if (a.rec_no >= a.rec_count) RefreshRecCount(a);
    if (a.rec_no >= a.rec_count) {
        record = a.rec_no;
        a.eof = true;
    } else {
        record = a.rec_no + 1;
    }
    return {};
}

Status PriorKeyIn(TWorkArea& a, IndexArea& ix, int32_t& record) {
    if (Tag* t = ix.ActiveTag()) return StepKey(a, ix, *t, false, record);
    if (a.rec_no <= 1) {
        record = std::min(std::max(a.rec_no, 1), std::max(a.rec_count, 1));
        a.bof = true;
    } else {
        record = std::min(a.rec_no - 1, std::max(a.rec_count, 1));
    }
    return {};
}

Status SyncTag(TWorkArea& a, IndexArea& ix, Tag& t, bool active, bool soft) {
    bool in = a.rec_no >= 1 && a.rec_no <= a.rec_count;
    if (in)
        if (Status s = t.ForTrue(in); s.failed()) return s;
    if (!in) {
        t.StandPastEnd(a.rec_count);
        if (active) {
            if (a.rec_no <= a.rec_count) AreaPastEnd(a);
            return {};
        }
        if (Status s = t.Last(); s.failed()) return s;
        if (t.OnEntry()) t.Remember();
        return {};
    }
    std::string key;
    if (Status s = t.BuildKey(key); s.failed()) return s;
    const auto* k = reinterpret_cast<const uint8_t*>(key.data());
    bool found = false;
    // The record's own entry, or (unique) the one entry of its key.
    if (!t.unique) {
        if (Status s = t.SeekEntry(k, a.rec_no, found); s.failed()) return s;
        if (!found)
            if (Status s = t.ScanEntry(k, a.rec_no, found); s.failed()) return s;
        // Another writer may have stored the record under other key bytes
        // (binary noise in numbers, blank dates as a date): its entry is
        // found by its record number.
        if (!found)
            if (Status s = FindRecordEntry(t, a.rec_no, found); s.failed()) return s;
        if (found) {
            t.at_begin = t.at_end = false;
            t.Remember();
            return {};
        }
    }
    if (Status s = t.Seek(k, found); s.failed()) return s;
    const std::string where = soft ? " [SoftSyncIndex]" : " [SyncIndex-2]";
    if (!found && t.unique) {
        // A unique tag holds a key for one of the records that have it, and
        // may hold none once that one changed: the cursor stands where the
        // key would be.
        t.at_begin = false;
        t.at_end = !t.OnEntry();
        if (t.OnEntry()) t.Remember();
        return {};
    }
    if (!found) {
        if (soft)
            return Fail(212, "Record with key: \"" + KeyText(t, key) + "\" not in index: " + t.Label() + "." + where);
        return Fail(212,
                    "Key: \"" + KeyText(t, key) + "\" not in index: " + t.Label() +
                        ". [SyncIndex-1] Record: " + std::to_string(a.rec_no));
    }
    if (!t.unique)
        return Fail(212, "Record with key: \"" + KeyText(t, key) + "\" not in index: " + t.Label() + "." + where);
    t.at_begin = t.at_end = false;
    t.Remember();
    (void)ix;
    return {};
}

Status SyncIndexIn(TWorkArea& a, IndexArea& ix, bool all) {
    bool changed = false;
    if (Status s = RevalidateIndexIn(a, ix, changed); s.failed()) return s;
    Tag* active = ix.ActiveTag();
    if (active)
        if (Status s = SyncTag(a, ix, *active, true); s.failed()) return s;
    if (!all) return {};
    for (int n = 1; n <= ix.tag_count; ++n) {
        Tag* t = ix.TagAt(n);
        if (t && t != active)
            if (Status s = SyncTag(a, ix, *t, false); s.failed()) return s;
    }
    return {};
}

Status SyncChosenOrderIn(TWorkArea& a, IndexArea& ix) {
    if (Status s = SyncIndexIn(a, ix, false); s.failed()) return s;
    Tag* t = ix.ActiveTag();
    if (!t || !t->unique || a.rec_no < 1 || a.rec_no > a.rec_count) return {};
    if (t->OnEntry() && t->Record() == a.rec_no) return {};
    bool in = true;
    if (Status s = t->ForTrue(in); s.failed() || !in) return s;
    // Where the key we compute stands, unless the record holds an entry.
    bool found = false;
    if (Status s = FindRecordEntry(*t, a.rec_no, found); s.failed()) return s;
    if (!found) return SyncTag(a, ix, *t, true, true);
    t->at_begin = t->at_end = false;
    t->Remember();
    return {};
}

Status TakeKeysIn(TWorkArea& a, IndexArea& ix, bool all) {
    if (a.rec_no < 1 || a.rec_no > a.rec_count) return {};
    Tag* active = ix.ActiveTag();
    for (int n = 1; n <= ix.tag_count; ++n) {
        Tag* t = ix.TagAt(n);
        if (!t || (!all && t != active)) continue;
        if (t->OnEntry() && t->Record() == a.rec_no) {
            t->Remember();
            continue;
        }
        bool in = true;
        if (Status s = t->ForTrue(in); s.failed()) return s;
        if (!in) continue;
        if (Status s = t->BuildKey(t->last_key); s.failed()) return s;
        t->last_rec = a.rec_no;
    }
    return {};
}

Status SeekKeyIn(TWorkArea& a, IndexArea& ix, std::string_view key, bool& found) {
    found = false;
    IndexEngine().found = false;
    Tag* t = ix.ActiveTag();
    if (!t) return Fail(254, "Cannot use SeekKey() with index order 0 (natural order) [SeekKey]");
    bool changed = false;
    if (Status s = RevalidateIndexIn(a, ix, changed); s.failed()) return s;
    std::string k(key.substr(0, t->key_length));
    k.resize(t->key_length, '\0');
    if (Status s = t->Seek(reinterpret_cast<const uint8_t*>(k.data()), found); s.failed()) return s;
    if (t->OnEntry()) {
        t->at_begin = t->at_end = false;
        t->Remember();
    } else {
        t->at_end = true;
    }
    IndexEngine().found = found;
    return {};
}

Status FindIn(TWorkArea& a, IndexArea& ix, std::string_view text, bool& found) {
    IndexUnit& unit = IndexEngine();
    found = unit.found = false;
    Tag* t = ix.ActiveTag();
    if (!t) return Fail(254, "Cannot use Find() with index order 0 (natural order) [Find]");
    if (text.empty()) return {};
    bool changed = false;
    if (Status s = RevalidateIndexIn(a, ix, changed); s.failed()) return s;
    RefreshRecCount(a);
    const auto past_end = [&] {
        AreaPastEnd(a);
        t->StandPastEnd(a.rec_count);
        return Status{};
    };
    if (a.rec_count == 0 || t->NeverSatisfied()) return past_end();

    // The search key and how much of it must agree.
    const size_t length = t->key_length;
    std::string key(length, '\0');
    size_t compare = length;
    text = text.substr(0, mdx::kMaxKeyLength);
    switch (t->type) {
    case 'C': {
        std::string s(text.substr(0, length));
        if (unit.exact) {
            s.resize(length, ' ');
        } else {
            compare = s.size();
            // A shorter text sorts before every key it begins (after, descending).
            s.resize(length, t->descending ? '\xFE' : '\0');
        }
        if (a.oem) platform::AnsiToOem(std::span<char>(s.data(), compare));
        key = s;
        break;
    }
    case 'D': {
        // A text that is no date finds nothing (it would read as the blank
        // date); only blanks and separators ask for blank dates.
        const double julian = JulianFromCTOD(AllTrim(text));
        if (julian == kBlankDate && !BlankDateText(text)) return past_end();
        const auto bits = std::bit_cast<uint64_t>(julian);
        for (size_t i = 0; i < 8; ++i) key[i] = static_cast<char>(bits >> (8 * i));
        break;
    }
    default: {
        const NumericKey n = NumericKeyFromValue(StoredReal(AllTrim(text)), t->key_program->Decimals());
        key.assign(reinterpret_cast<const char*>(n.data()), n.size());
        break;
    }
    }
    const auto* k = reinterpret_cast<const uint8_t*>(key.data());
    bool exact_key = false;
    if (Status s = t->Seek(k, exact_key); s.failed()) return s;
    if (!t->OnEntry()) {
        // Past the last key: the last one is the nearest.
        if (Status s = t->Last(); s.failed()) return s;
        if (!t->OnEntry()) return past_end();
    }
    t->at_begin = t->at_end = false;
    for (uint64_t steps = 0;; ++steps) {
        if (TooManySteps(a, steps)) return LoopError(*t, "Find");
        int32_t n = 0;
        if (Status s = EntryRecord(a, *t, n); s.failed()) return s;
        if (Status s = GoRecord(a, n); s.failed()) return s;
        bool visible = true;
        if (Status s = RecordVisible(a, visible); s.failed()) return s;
        if (visible) break;
        bool moved = false;
        if (Status s = t->Step(true, moved); s.failed()) return s;
        if (!moved) return past_end();
    }
    const bool match = t->type == 'C' ? std::memcmp(t->Key(), k, compare) == 0 : t->Compare(t->Key(), k) == 0;
    if (!match) return past_end();
    a.bof = a.eof = false;
    t->Remember();
    found = unit.found = true;
    return {};
}

}  // namespace zurod
