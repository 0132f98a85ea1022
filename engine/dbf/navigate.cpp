#include "engine/dbf/navigate.hpp"

#include <algorithm>
#include <cstdint>

#include "engine/dbf/detail/area_table.hpp"
#include "engine/dbf/detail/locking.hpp"
#include "engine/dbf/detail/navigation.hpp"
#include "engine/dbf/detail/record_io.hpp"
#include "engine/dbf/detail/swap_buffer.hpp"
#include "engine/dbf/detail/table_header.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/strings.hpp"

namespace zurod {

namespace {

IndexAttachment& Index() { return *Engine().attachments.index; }

// Holds the index semaphore's read side for one ordered positioning; it is
// released on every path.
class IndexReadLock {
public:
    IndexReadLock(TWorkArea& area, bool ordered) : area_(area), held_(ordered) {
        if (held_) status_ = Index().ReadLock(area_, true);
        if (status_.failed()) held_ = false;
    }
    ~IndexReadLock() { (void)Release(); }
    // How giving it up went: the semaphore file is written then.
    Status Release() {
        if (!held_) return {};
        held_ = false;
        return Index().ReadLock(area_, false);
    }
    const Status& status() const { return status_; }
    IndexReadLock(const IndexReadLock&) = delete;
    IndexReadLock& operator=(const IndexReadLock&) = delete;

private:
    TWorkArea& area_;
    bool held_;
    Status status_;
};

// Runs `body` under the read side; a failed release is reported as the
// body's own failure would be.
template <class Body>
Status UnderReadLock(TWorkArea& a, bool ordered, const Body& body) {
    IndexReadLock lock(a, ordered);
    if (lock.status().failed()) return lock.status();
    Status s = body();
    return FirstFailure(std::move(s), lock.Release());
}

// Reads record n into the record buffer only; the caller converts the
// record it stops on, so hidden records cost no conversion. In record order
// a record that a filter tests first stays as stored until the filter shows
// it (RecordVisible), so hidden records cost no translation either.
Status ReadRaw(TWorkArea& a, int32_t n, bool ordered = true) {
    return !ordered && a.filter ? GetStoredRecord(a, n) : GetDbfRecord(a, n);
}

// Leaves the record buffer in the engine's page on every way out of a walk.
class StoredRecordScope {
public:
    explicit StoredRecordScope(TWorkArea& a) : a_(a) {}
    ~StoredRecordScope() { TranslateStoredRecord(a_); }
    StoredRecordScope(const StoredRecordScope&) = delete;
    StoredRecordScope& operator=(const StoredRecordScope&) = delete;

private:
    TWorkArea& a_;
};

void Convert(TWorkArea& a) {
    if (!a.is_virtual) RecordToBuffer(a);
}

Status Read(TWorkArea& a, int32_t n) {
    if (Status s = ReadRaw(a, n); s.failed()) return s;
    Convert(a);
    return {};
}

// Record count + 1; a corrupt header's count must not overflow it.
int32_t PastEndNo(const TWorkArea& a) { return a.rec_count < INT32_MAX ? a.rec_count + 1 : INT32_MAX; }

void PastEnd(TWorkArea& a, bool bof) {
    a.rec_no = PastEndNo(a);
    a.eof = true;
    a.bof = bof;
    BlankRecord(a);
}

std::string Quoted(const TWorkArea& a) { return "Database \"" + a.file_name + "\""; }

}  // namespace

bool Ordered(TWorkArea& a) {
    IndexAttachment* index = Engine().attachments.index.get();
    return index && index->Active(a);
}

void RefreshRecCount(TWorkArea& a) {
    if (a.exclusive || a.is_virtual || a.record_length == 0) return;
    // Bytes behind the last record (an end mark, other programs' padding)
    // are no records, and a record whose writer died before storing the
    // count was never acknowledged: the header's count is the one to take.
    // The size is asked only when the header counts past what the file was
    // last seen to hold.
    int32_t on_disk = INT32_MAX;
    if (!a.count_from_size && ReadHeaderCount(a, on_disk) != 0) return;
    if (on_disk > a.whole_records) {
        uint64_t size = 0;
        if (a.file.Size(size) != 0 || size < a.header_length) return;
        a.whole_records = CountFromSize(a, size);
    }
    a.rec_count = std::min(on_disk, a.whole_records);
}

Status RecordVisible(TWorkArea& a, bool& visible) {
    visible = true;
    if (a.ignore_deleted && !a.record.empty()) {
        const bool deleted = a.is_virtual ? a.record[0] != 0 : a.record[0] == '*';
        if (deleted) {
            visible = false;
            return {};
        }
    }
    EngineState& engine = Engine();
    ExpressionAttachment* expr = engine.attachments.expression.get();
    Status s;
    if (a.filter && expr) {
        // The filter reads the area as the current one; a walk mostly is in it.
        const uint8_t current = engine.current;
        if (current != a.number) SelectInternal(a.number);
        AreaPin pin(a);
        s = expr->EvaluateLogical(*a.filter, visible);
        if (Engine().current != current) SelectInternal(current);
    }
    // A record shown (or one the walk stops on) is in the engine's page.
    if (visible || s.failed()) TranslateStoredRecord(a);
    return s;
}

bool RecordVisible(TWorkArea& a) {
    bool visible = true;
    (void)RecordVisible(a, visible);
    return visible;
}

namespace {

Status GoTopLocked(TWorkArea& a, bool ordered) {
    int32_t n = 1;
    if (ordered) {
        if (Status s = Index().First(a, n); s.failed()) return s;
        if (n == PastEndNo(a)) {
            PastEnd(a, true);
            return {};
        }
    }
    StoredRecordScope stored(a);
    if (Status s = ReadRaw(a, n, ordered); s.failed()) return s;
    for (;;) {
        bool visible = true;
        if (Status s = RecordVisible(a, visible); s.failed()) return s;
        if (visible) break;
        if (ordered) {
            if (Status s = Index().Next(a, n); s.failed()) return s;
            if (Index().AtEnd(a)) n = PastEndNo(a);
        } else {
            ++n;
        }
        if (n > a.rec_count) {
            PastEnd(a, false);
            if (ordered)
                if (Status s = Index().Sync(a); s.failed()) return s;
            break;
        }
        if (Status s = ReadRaw(a, n, ordered); s.failed()) return s;
    }
    if (!a.eof) Convert(a);
    if (ordered) return Index().TakeKey(a);
    return {};
}

Status GoBottomLocked(TWorkArea& a, bool ordered) {
    int32_t n = a.rec_count;
    if (ordered) {
        if (Status s = Index().Last(a, n); s.failed()) return s;
        if (n == PastEndNo(a)) {
            PastEnd(a, true);
            return {};
        }
    }
    StoredRecordScope stored(a);
    if (Status s = ReadRaw(a, n, ordered); s.failed()) return s;
    for (;;) {
        bool visible = true;
        if (Status s = RecordVisible(a, visible); s.failed()) return s;
        if (visible) break;
        bool at_start = false;
        if (ordered) {
            if (Status s = Index().Prior(a, n); s.failed()) return s;
            at_start = Index().AtStart(a);
        } else {
            at_start = a.bof;
            --n;
        }
        if (n < 1 || at_start) {
            PastEnd(a, true);
            if (ordered) {
                Status s = Index().Sync(a);
                Index().MarkStart(a);
                Index().MarkEnd(a);
                if (s.failed()) return s;
                return Index().TakeKey(a);
            }
            return {};
        }
        if (Status s = ReadRaw(a, n, ordered); s.failed()) return s;
    }
    Convert(a);
    if (ordered) return Index().TakeKey(a);
    return {};
}

// The steps of a skip; the key of where it ends is taken once the read side
// is given up.
Status SkipLocked(TWorkArea& a, int32_t n, bool ordered) {
    int32_t p = a.rec_no;
    int32_t counter = 0;
    bool at_end = false;
    StoredRecordScope stored(a);
    while (counter != n && !at_end) {
        if (n < 0) {
            if (ordered) {
                int32_t q = p;
                if (Status s = Index().Prior(a, q); s.failed()) return s;
                at_end = q == p;
                p = q;
            } else if (a.rec_no <= 1) {
                at_end = true;
                p = 1;
            } else {
                p = a.rec_no - 1;
            }
        } else {
            if (ordered) {
                int32_t q = p;
                if (Status s = Index().Next(a, q); s.failed()) return s;
                at_end = q == p;
                p = q;
            } else {
                p = a.rec_no + 1;
                // Other processes only ever add records; the size is asked
                // only when the known ones are used up.
                if (p > a.rec_count) RefreshRecCount(a);
                if (p > a.rec_count) at_end = true;
            }
        }
        if (at_end) break;
        if (Status s = ReadRaw(a, p, ordered); s.failed()) return s;
        bool visible = true;
        if (Status s = RecordVisible(a, visible); s.failed()) return s;
        if (visible) counter += n < 0 ? -1 : 1;
    }
    if (at_end) {
        if (n > 0) {
            PastEnd(a, false);
            if (ordered)
                if (Status s = Index().Sync(a); s.failed()) return s;
        } else {
            if (Status s = GoTopIn(a); s.failed()) return s;
            a.bof = true;
            if (ordered) Index().MarkStart(a);
            if (a.eof) BlankRecord(a);
        }
    } else {
        Convert(a);
    }
    return {};
}

Status GoLocked(TWorkArea& a, int32_t n, bool ordered) {
    if (Status s = Read(a, n); s.failed()) return s;
    if (ordered) {
        if (Status s = Index().Sync(a); s.failed()) return s;
        return Index().TakeKey(a);
    }
    return {};
}

}  // namespace

Status GoTopIn(TWorkArea& a) {
    if (a.rec_count == 0) return {};
    const bool ordered = Ordered(a);
    return UnderReadLock(a, ordered, [&] { return GoTopLocked(a, ordered); });
}

Status GoBottomIn(TWorkArea& a) {
    RefreshRecCount(a);
    if (a.rec_count == 0) return {};
    const bool ordered = Ordered(a);
    return UnderReadLock(a, ordered, [&] { return GoBottomLocked(a, ordered); });
}

Status SkipIn(TWorkArea& a, int32_t n) {
    if (n == 0) {
        // Re-reads from the file: another process may have changed the record.
        // A file held against writers cannot change under the read-ahead block.
        if (a.rec_count >= 1 && !a.eof) return Read(a, a.rec_no);
        BlankRecord(a);
        return {};
    }
    if (a.eof && n >= 1) return Fail(212, Quoted(a) + " is past EOF. [SKIP]");
    if (a.rec_count == 0) {
        a.bof = a.eof = true;
        return Fail(212, Quoted(a) + " is empty. [SKIP]");
    }
    if (n < 0 && (Ordered(a) ? Index().AtStart(a) : a.bof)) return {};

    a.bof = a.eof = false;
    const bool ordered = Ordered(a);
    if (Status s = UnderReadLock(a, ordered, [&] { return SkipLocked(a, n, ordered); }); s.failed()) return s;
    if (ordered) return Index().TakeKey(a);
    return {};
}

Status GoIn(TWorkArea& a, int32_t n) {
    if (n > a.rec_count) RefreshRecCount(a);
    const auto out_of_range = [&] {
        return Fail(212, "Invalid record number = " + std::to_string(n) + " " + Quoted(a) + " [GO]");
    };
    if (a.rec_count == 0) {
        a.bof = a.eof = true;
        BlankRecord(a);
        return out_of_range();
    }
    if (n >= 1 && n <= a.rec_count) {
        a.bof = a.eof = false;
        const bool ordered = Ordered(a);
        return UnderReadLock(a, ordered, [&] { return GoLocked(a, n, ordered); });
    }
    a.bof = false;
    a.rec_no = PastEndNo(a);
    a.eof = true;
    return out_of_range();
}

Status GoPastEndIn(TWorkArea& a) {
    // GoBottom already ends there when no record is visible, and a skip from
    // there would report running past the end.
    if (Status s = GoBottomIn(a); s.failed()) return s;
    RefreshRecCount(a);
    if (a.rec_no > a.rec_count) a.eof = true;
    bool at_end = a.eof;
    if (Ordered(a)) at_end = Index().AtEnd(a);
    if (a.rec_count > 0 && !at_end) return SkipIn(a, 1);
    return {};
}

void GoTop() {
    TWorkArea* a = Guarded("GoTop");
    if (!a) return;
    SetLastErrorCode(0);
    Report(GoTopIn(*a));
}

void GoBottom() {
    TWorkArea* a = Guarded("GoBottom");
    if (!a) return;
    SetLastErrorCode(0);
    Report(GoBottomIn(*a));
}

void SKIP(int32_t n) {
    TWorkArea* a = Guarded("SKIP()");
    if (!a) return;
    SetLastErrorCode(0);
    Report(SkipIn(*a, n));
}

void GO(int32_t n) {
    TWorkArea* a = Guarded("GO()");
    if (!a) return;
    SetLastErrorCode(0);
    Report(GoIn(*a, n));
}

void Dbf4RawGo(int32_t n) {
    TWorkArea* a = Guarded("Dbf4RawGo");
    if (!a) return;
    if (n < 1) {
        RunError(212, " [Dbf4RawGo]");
        return;
    }
    if (n > a->rec_count) {
        PastEnd(*a, a->bof);
        return;
    }
    Report(Read(*a, n));
}

bool GoToChecked(int32_t n) {
    if (n < 1 || n > RecCount()) return false;
    GO(n);
    return true;
}

void GoTopScope() {
    if (RecCount() > 0) GoTop();
}

void GoBottomScope() {
    if (RecCount() > 0) GoBottom();
}

int32_t RecCount() {
    TWorkArea* a = Guarded("RecCount");
    if (!a) return 0;
    RefreshRecCount(*a);
    return a->rec_count;
}

int32_t RecNo() {
    TWorkArea* a = Guarded("RecNo");
    return a ? a->rec_no : 0;
}

bool dEOF() {
    TWorkArea* a = Guarded("dEOF");
    if (!a) return true;
    RefreshRecCount(*a);
    if (a->rec_no > a->rec_count) a->eof = true;
    if (Ordered(*a)) return Index().AtEnd(*a);
    return a->eof;
}

AreaPosition CurrentPosition() {
    TWorkArea* a = Guarded("CurrentPosition");
    if (!a) return {};
    RefreshRecCount(*a);
    if (a->rec_no > a->rec_count) a->eof = true;
    if (Ordered(*a)) return {a->rec_no, Index().AtStart(*a), Index().AtEnd(*a)};
    return {a->rec_no, a->bof, a->eof};
}

bool dBOF() {
    TWorkArea* a = Guarded("dBOF");
    if (!a) return true;
    if (Ordered(*a)) return Index().AtStart(*a);
    return a->bof;
}

bool SetIgnoreDel(bool flag) {
    TWorkArea* a = Guarded("SetIgnoreDel");
    if (!a) return false;
    const bool previous = a->ignore_deleted;
    a->ignore_deleted = flag;
    SetLastErrorCode(0);
    Report(SkipIn(*a, 0));
    return previous;
}

void Set_Filter_To(const std::string& expression) {
    ExpressionAttachment* expr = Engine().attachments.expression.get();
    if (!expr) {
        RunError(220, "TZParser unit not linked in. [Set_Filter_To]");
        return;
    }
    TWorkArea* a = Guarded("Set_Filter_To");
    if (!a) return;
    if (a->filter) expr->Release(a->filter);
    a->filter.reset();
    const std::string text = RTrim(expression);
    if (text.empty()) return;
    AreaPin pin(*a);
    if (Status s = expr->Compile(*a, text, a->filter); s.failed() || !a->filter) return Report(s);
    const char type = expr->ResultType(*a->filter);
    if (type != 0 && type != 'L') {
        expr->Release(a->filter);
        a->filter.reset();
        RunError(362, "Filter is not a logical expression [Set_Filter_To(" + text + ")]");
    }
}

bool FilterTrue() {
    TWorkArea* a = CurrentTable();
    if (!a || !a->filter || !Engine().attachments.expression) return true;
    bool visible = true;
    AreaScope keep;
    AreaPin pin(*a);
    Report(Engine().attachments.expression->EvaluateLogical(*a->filter, visible));
    return visible;
}

bool SkipIfHidden() {
    TWorkArea* a = Guarded("SkipIfHidden");
    if (!a || RecordVisible(*a)) return false;
    (void)ReleaseLocks(*a);
    const int32_t at = a->rec_no;
    SetLastErrorCode(0);
    Status s = SkipIn(*a, 1);
    if (s.ok() && a->eof) {
        s = GoIn(*a, at);
        if (s.ok()) s = SkipIn(*a, -1);
    }
    Report(s);
    return true;
}

}  // namespace zurod
