#include "engine/dbf/navigate.hpp"

#include <algorithm>
#include <cstdint>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/dbf_file.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/hooks.hpp"
#include "engine/dbf/locks.hpp"
#include "engine/dbf/strings.hpp"

namespace zurod {

namespace {

TWorkArea* Guarded(std::string_view label) { return CheckArea(label) ? nullptr : CurrentTable(); }

int32_t Index(uint8_t op, int32_t arg = 0) { return IndexAttachment().dispatch(op, arg); }

// Whether the area walks in the order of an index.
bool Ordered() { return IndexAttachment().Linked() && Index(kIndexActive) != 0; }

// Holds the index semaphore's read lock for one ordered positioning.
class IndexReadLock {
public:
    explicit IndexReadLock(bool ordered) : ordered_(ordered) {
        if (ordered_) Index(kIndexReadLock, 1);
    }
    ~IndexReadLock() { Release(); }
    void Release() {
        if (ordered_) Index(kIndexReadLock, 0);
        ordered_ = false;
    }
    IndexReadLock(const IndexReadLock&) = delete;
    IndexReadLock& operator=(const IndexReadLock&) = delete;

private:
    bool ordered_;
};

// Reads record n into the record buffer only; the caller converts the
// record it stops on, so hidden records cost no conversion.
bool ReadRaw(TWorkArea& a, int32_t n) {
    GetDbfRecord(a, n);
    return LastErrorCode() == 0;
}

void Convert(TWorkArea& a) {
    if (!a.is_virtual) RecordToBuffer(a);
}

bool Read(TWorkArea& a, int32_t n) {
    if (!ReadRaw(a, n)) return false;
    Convert(a);
    return true;
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

void RefreshRecCount(TWorkArea& a) {
    if (a.exclusive || a.is_virtual || a.record_length == 0) return;
    uint64_t size = 0;
    if (a.file.Size(size) != 0 || size < a.header_length) return;
    const uint64_t count = (size - a.header_length) / a.record_length;
    a.rec_count = static_cast<int32_t>(std::min<uint64_t>(count, kMaxRecords));
}

bool RecordVisible(TWorkArea& a) {
    if (a.ignore_deleted && !a.record.empty()) {
        const bool deleted = a.is_virtual ? a.record[0] != 0 : a.record[0] == '*';
        if (deleted) return false;
    }
    if (a.filter && ExpressionAttachment().Linked()) {
        // An expression may name fields of other areas and select them.
        AreaScope keep;
        return ExpressionAttachment().evaluate(*a.filter);
    }
    return true;
}

void GoTop() {
    TWorkArea* a = Guarded("GoTop");
    if (!a) return;
    SetLastErrorCode(0);
    if (a->rec_count == 0) return;
    const bool ordered = Ordered();
    IndexReadLock lock(ordered);
    int32_t n = 1;
    if (ordered) {
        n = Index(kIndexFirst);
        if (n == PastEndNo(*a)) {
            PastEnd(*a, true);
            return;
        }
    }
    if (!ReadRaw(*a, n)) return;
    while (!RecordVisible(*a)) {
        if (ordered) {
            n = Index(kIndexNext);
            if (Index(kIndexAtEnd)) n = PastEndNo(*a);
        } else {
            ++n;
        }
        if (n > a->rec_count) {
            PastEnd(*a, false);
            if (ordered) Index(kIndexSync);
            break;
        }
        if (!ReadRaw(*a, n)) return;
    }
    if (!a->eof) Convert(*a);
    if (ordered) Index(kIndexTakeKey);
}

void GoBottom() {
    TWorkArea* a = Guarded("GoBottom");
    if (!a) return;
    SetLastErrorCode(0);
    RefreshRecCount(*a);
    if (a->rec_count == 0) return;
    const bool ordered = Ordered();
    IndexReadLock lock(ordered);
    int32_t n = a->rec_count;
    if (ordered) {
        n = Index(kIndexLast);
        if (n == PastEndNo(*a)) {
            PastEnd(*a, true);
            return;
        }
    }
    if (!ReadRaw(*a, n)) return;
    bool found = true;
    while (!RecordVisible(*a)) {
        bool at_start = false;
        if (ordered) {
            n = Index(kIndexPrior);
            at_start = Index(kIndexAtStart) != 0;
        } else {
            at_start = a->bof;
            --n;
        }
        if (n < 1 || at_start) {
            found = false;
            PastEnd(*a, true);
            if (ordered) {
                Index(kIndexSync);
                Index(kIndexMarkStart);
                Index(kIndexMarkEnd);
            }
            break;
        }
        if (!ReadRaw(*a, n)) return;
    }
    if (found) Convert(*a);
    if (ordered) Index(kIndexTakeKey);
}

void SKIP(int32_t n) {
    TWorkArea* a = Guarded("SKIP()");
    if (!a) return;
    SetLastErrorCode(0);
    if (n == 0) {
        // Re-reads from the file: another process may have changed the record.
        // A file held exclusively cannot change under the read-ahead block.
        if (a->rec_count >= 1 && !a->eof) {
            if (a->file.CurrentShare() != platform::Share::Exclusive) a->read_ahead.Clear();
            Read(*a, a->rec_no);
        } else {
            BlankRecord(*a);
        }
        return;
    }
    if (a->eof && n >= 1) {
        RunError(212, Quoted(*a) + " is past EOF. [SKIP]");
        return;
    }
    if (a->rec_count == 0) {
        a->bof = a->eof = true;
        RunError(212, Quoted(*a) + " is empty. [SKIP]");
        return;
    }
    if (n < 0 && dBOF()) return;

    a->bof = a->eof = false;
    const bool ordered = Ordered();
    IndexReadLock lock(ordered);
    int32_t p = a->rec_no;
    int32_t counter = 0;
    bool at_end = false;
    while (counter != n && !at_end) {
        if (n < 0) {
            if (ordered) {
                const int32_t q = Index(kIndexPrior);
                at_end = q == p;
                p = q;
            } else if (a->rec_no <= 1) {
                at_end = true;
                p = 1;
            } else {
                p = a->rec_no - 1;
            }
            if (at_end) break;
            if (!ReadRaw(*a, p)) return;
            if (RecordVisible(*a)) --counter;
        } else {
            if (ordered) {
                const int32_t q = Index(kIndexNext);
                at_end = q == p;
                p = q;
            } else {
                p = a->rec_no + 1;
                // Other processes only ever add records; the size is asked
                // only when the known ones are used up.
                if (p > a->rec_count) RefreshRecCount(*a);
                if (p > a->rec_count) at_end = true;
            }
            if (at_end) break;
            if (!ReadRaw(*a, p)) return;
            if (RecordVisible(*a)) ++counter;
        }
    }
    if (at_end) {
        if (n > 0) {
            PastEnd(*a, false);
            if (ordered) Index(kIndexSync);
        } else {
            GoTop();
            a->bof = true;
            if (ordered) Index(kIndexMarkStart);
            if (a->eof) BlankRecord(*a);
        }
    } else {
        Convert(*a);
    }
    lock.Release();
    if (ordered) Index(kIndexTakeKey);
}

void GO(int32_t n) {
    TWorkArea* a = Guarded("GO()");
    if (!a) return;
    SetLastErrorCode(0);
    if (n > a->rec_count) RefreshRecCount(*a);
    const auto report = [&] {
        RunError(212, "Invalid record number = " + std::to_string(n) + " " + Quoted(*a) + " [GO]");
    };
    if (a->rec_count == 0) {
        a->bof = a->eof = true;
        BlankRecord(*a);
        report();
        return;
    }
    if (n >= 1 && n <= a->rec_count) {
        a->bof = a->eof = false;
        const bool ordered = Ordered();
        IndexReadLock lock(ordered);
        if (!Read(*a, n)) return;
        if (ordered) {
            Index(kIndexSync);
            Index(kIndexTakeKey);
        }
        return;
    }
    a->bof = false;
    a->rec_no = PastEndNo(*a);
    a->eof = true;
    report();
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
    Read(*a, n);
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
    if (Ordered()) return Index(kIndexAtEnd) != 0;
    return a->eof;
}

bool dBOF() {
    TWorkArea* a = Guarded("dBOF");
    if (!a) return true;
    if (Ordered()) return Index(kIndexAtStart) != 0;
    return a->bof;
}

bool SetIgnoreDel(bool flag) {
    TWorkArea* a = Guarded("SetIgnoreDel");
    if (!a) return false;
    const bool previous = a->ignore_deleted;
    a->ignore_deleted = flag;
    SKIP(0);
    return previous;
}

void Set_Filter_To(const std::string& expression) {
    ExpressionHook& hook = ExpressionAttachment();
    if (!hook.Linked()) {
        RunError(220, "TZParser unit not linked in. [Set_Filter_To]");
        return;
    }
    TWorkArea* a = Guarded("Set_Filter_To");
    if (!a) return;
    if (a->filter) hook.release(a->filter);
    a->filter.reset();
    const std::string text = RTrim(expression);
    if (!text.empty()) a->filter = hook.compile(text);
}

bool FilterTrue() {
    TWorkArea* a = CurrentTable();
    if (!a || !a->filter || !ExpressionAttachment().Linked()) return true;
    AreaScope keep;
    return ExpressionAttachment().evaluate(*a->filter);
}

bool SkipIfHidden() {
    TWorkArea* a = Guarded("SkipIfHidden");
    if (!a || RecordVisible(*a)) return false;
    Unlock();
    const int32_t at = a->rec_no;
    SKIP(1);
    if (a->eof) {
        GO(at);
        SKIP(-1);
    }
    return true;
}

}  // namespace zurod
