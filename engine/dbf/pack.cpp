// Zap and Pack: emptying a table and removing its marked records, each under
// exclusive use taken over a shared open for the time it runs.
#include <algorithm>
#include <vector>

#include "engine/dbf/detail/area_table.hpp"
#include "engine/dbf/detail/editing.hpp"
#include "engine/dbf/detail/locking.hpp"
#include "engine/dbf/detail/navigation.hpp"
#include "engine/dbf/detail/record_io.hpp"
#include "engine/dbf/detail/swap_buffer.hpp"
#include "engine/dbf/detail/table_header.hpp"
#include "engine/dbf/edit.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/settings.hpp"
#include "platform/paths.hpp"

namespace zurod {

namespace {

// Pack moves records in blocks of this many bytes.
constexpr size_t kPackBlock = 1 << 20;

// Makes a shared area exclusive for one operation and shares it again after.
class ExclusiveUse {
public:
    ExclusiveUse(TWorkArea& a, std::string_view label) : area_(a), label_(label) {
        if (a.exclusive) return;
        if (int rc = ReopenTableIn(a, true); rc != 0) {
            status_ = Fail(static_cast<uint16_t>(rc),
                           "Cannot use " + a.file_name + " exclusively: it is open elsewhere. [" + label_ + "]");
            return;
        }
        converted_ = true;
    }
    // Shares the table again; what that reports.
    Status Restore() {
        if (!converted_) return {};
        converted_ = false;
        if (int rc = ReopenTableIn(area_, false); rc != 0)
            return Fail(static_cast<uint16_t>(rc), "Cannot re-open database sharable. " + area_.file_name + " [" +
                                                       label_ + "]");
        return {};
    }
    ~ExclusiveUse() { (void)Restore(); }
    ExclusiveUse(const ExclusiveUse&) = delete;
    ExclusiveUse& operator=(const ExclusiveUse&) = delete;
    const Status& status() const { return status_; }

private:
    TWorkArea& area_;
    std::string label_;
    bool converted_ = false;
    Status status_;
};


// The first record carrying the deletion mark, 0 when there is none.
int FindFirstDeleted(const TWorkArea& a, int32_t& found) {
    found = 0;
    RecordBlockReader reader(a, 1, a.rec_count, kPackBlock);
    while (reader.Next()) {
        for (int32_t r = 0; r < reader.Count(); ++r) {
            if (reader.Record(r)[0] == '*') {
                found = reader.First() + r;
                return 0;
            }
        }
    }
    return reader.status().code;
}

// Nothing to remove: only what lies behind the last record goes.
Status FinishInPlace(TWorkArea& a) {
    const char mark = static_cast<char>(Settings().eof_mark);
    const uint64_t end = RecordOffset(a, a.rec_count + 1);
    int rc = a.file.Truncate(end);
    if (rc == 0) rc = a.file.WriteAt(end, std::span(&mark, 1));
    if (rc == 0) {
        a.header_state = HeaderState::Appended;
        rc = WriteDbfHeader(a).code;
    }
    if (rc != 0) return Fail(static_cast<uint16_t>(rc), "Error packing " + a.file_name + " [Pack]");
    a.header_state = HeaderState::Clean;
    return {};
}

// Writes the kept records to a new file beside the table and puts it in the
// table's place, so that a process dying half-way leaves either the old
// table or the packed one, never a mixture. Records before the first deleted
// one are copied as they are.
Status RewriteWithout(TWorkArea& a, int32_t first_deleted, int32_t& kept) {
    const uint16_t rl = a.record_length;
    // The packed table takes the place of the file itself, not of a link to it.
    const std::string table = platform::FinalPath(a.file.Path());
    const std::string temp = table + ".TZP";
    platform::File out;
    const auto fail = [&](int rc, std::string_view what) {
        out.Close();
        platform::RemoveFile(temp);
        return Fail(static_cast<uint16_t>(rc), std::string(what) + a.file_name + " [Pack]");
    };
    if (int rc = out.Open(temp, platform::Access::ReadWrite, platform::Share::Exclusive,
                          platform::Disposition::CreateAlways);
        rc != 0)
        return fail(rc, "Error packing ");
    if (int rc = out.TakePermissionsOf(a.file.Handle()); rc != 0) return fail(rc, "Error packing ");

    // The header and the untouched leading records, byte for byte.
    std::vector<char> buf(std::max<size_t>(kPackBlock / rl, 1) * rl);
    const uint64_t prefix = RecordOffset(a, first_deleted);
    for (uint64_t at = 0; at < prefix;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(buf.size(), prefix - at));
        size_t got = 0;
        int rc = a.file.ReadAt(at, std::span(buf.data(), n), got);
        if (rc == 0 && got < n) rc = 213;
        if (rc != 0) return fail(rc, "Error reading ");
        if ((rc = out.WriteAt(at, std::span(buf.data(), n))) != 0) return fail(rc, "Error packing ");
        at += n;
    }

    kept = first_deleted - 1;
    uint64_t write_at = prefix;
    std::vector<char> block;
    block.reserve(buf.size() + 1);
    RecordBlockReader reader(a, first_deleted, a.rec_count, kPackBlock);
    while (reader.Next()) {
        block.clear();
        for (int32_t r = 0; r < reader.Count(); ++r) {
            const std::span<char> rec = reader.Record(r);
            if (rec[0] == '*') continue;
            block.insert(block.end(), rec.begin(), rec.end());
            ++kept;
        }
        if (reader.First() + reader.Count() > a.rec_count) block.push_back(static_cast<char>(Settings().eof_mark));
        if (int rc = out.WriteAt(write_at, block); rc != 0) return fail(rc, "Error packing ");
        write_at += block.size();
    }
    if (reader.status().failed()) return fail(reader.status().code, "Error reading ");

    // The new header: the kept count and today's date.
    const int32_t old_count = a.rec_count;
    const HeaderState old_state = a.header_state;
    a.rec_count = kept;
    a.file.Swap(out);
    a.header_state = HeaderState::Changed;
    int rc = WriteDbfHeader(a).code;
    if (rc == 0) rc = a.file.Sync();
    if (rc == 0) rc = a.file.Handle().RenameOver(table);
    if (rc != 0) {
        a.file.Swap(out);
        a.rec_count = old_count;
        a.header_state = old_state;
        return fail(rc, "Error packing ");
    }
    out.Close();
    a.header_state = HeaderState::Clean;
    // The area's locks lived on the old file; nobody else can hold the new
    // one yet, so taking them again cannot fail for want of the range.
    if (int lock_rc = RetakeLocks(a); lock_rc != 0)
        return Fail(static_cast<uint16_t>(lock_rc), "Cannot lock " + a.file_name + " again [Pack]");
    return {};
}

Status PackTableFile(TWorkArea& a, int32_t& kept) {
    int32_t first_deleted = 0;
    if (int rc = FindFirstDeleted(a, first_deleted); rc != 0)
        return Fail(static_cast<uint16_t>(rc), "Error reading " + a.file_name + " [Pack]");
    if (first_deleted == 0) {
        kept = a.rec_count;
        return FinishInPlace(a);
    }
    return RewriteWithout(a, first_deleted, kept);
}

// Raises the packing flag while the indexes are rebuilt.
class PackingScope {
public:
    PackingScope() { Engine().packing = true; }
    ~PackingScope() { Engine().packing = false; }
    PackingScope(const PackingScope&) = delete;
    PackingScope& operator=(const PackingScope&) = delete;
};

Status ZapTableFile(TWorkArea& a) {
    // The header goes first: a process dying half-way leaves a count of 0
    // over records still in the file, never a count the file cannot hold.
    const int32_t old_count = a.rec_count;
    const HeaderState old_state = a.header_state;
    a.rec_count = 0;
    int rc = WriteDbfHeader(a).code;
    const char mark = static_cast<char>(Settings().eof_mark);
    if (rc == 0) rc = a.file.Truncate(a.header_length);
    if (rc == 0) rc = a.file.WriteAt(a.header_length, std::span(&mark, 1));
    if (rc != 0) {
        // The old count goes back into the header at the next flush.
        a.rec_count = old_count;
        a.header_state = old_state == HeaderState::Appended ? old_state : HeaderState::Changed;
        return Fail(static_cast<uint16_t>(rc), "Error zapping " + a.file_name);
    }
    a.header_state = HeaderState::Clean;
    BlankRecord(a);
    a.rec_no = 0;
    a.bof = a.eof = true;
    if (a.memo)
        if (Status s = Engine().attachments.memo->Recreate(a); s.failed()) return s;
    if (Ordered(a)) return Engine().attachments.index->Reindex(a);
    return {};
}

Status PackIn(TWorkArea& a) {
    int32_t kept = 0;
    if (Status s = PackTableFile(a, kept); s.failed()) return s;
    if (kept > 0) {
        if (Status s = GetDbfRecord(a, 1); s.failed()) return s;
        RecordToBuffer(a);
        a.rec_no = 1;
        a.bof = a.eof = false;
    } else {
        BlankRecord(a);
        a.bof = a.eof = true;
        a.rec_no = 0;
    }
    if (MemoAttachment* memo = Engine().attachments.memo.get(); a.memo && memo)
        if (Status s = memo->Pack(a); s.failed()) return s;
    if (Ordered(a)) {
        PackingScope packing;
        return Engine().attachments.index->Reindex(a);
    }
    return {};
}

}  // namespace

bool Zap() {
    SetLastErrorCode(0);
    TWorkArea* a = Guarded("Zap");
    if (!a) return false;
    // Refused before anything changes: the table without its memo file
    // would point into memos that are gone.
    if (!a->is_virtual && a->memo && !Engine().attachments.memo) {
        RunError(220, "Memo unit not linked into program. [ZAP " + a->file_name + "]");
        return false;
    }
    ExclusiveUse exclusive(*a, "Zap");
    if (exclusive.status().failed()) {
        Report(exclusive.status());
        return false;
    }
    if (!ConfirmWhileHeld("ZAP " + a->file_name)) return false;
    Status s = a->is_virtual ? CallVirtualStore(*a, VFileRequest::Zap, 0) : ZapTableFile(*a);
    Status restored = exclusive.Restore();
    s = FirstFailure(std::move(s), std::move(restored));
    Report(s);
    return s.ok();
}

bool Pack() {
    SetLastErrorCode(0);
    TWorkArea* a = Guarded("Pack");
    if (!a) return false;
    RefreshRecCount(*a);
    if (a->rec_count == 0) return true;
    ExclusiveUse exclusive(*a, "Pack");
    if (exclusive.status().failed()) {
        Report(exclusive.status());
        return false;
    }
    if (!ConfirmWhileHeld("PACK " + a->file_name)) return false;
    Status s = a->is_virtual ? CallVirtualStore(*a, VFileRequest::Pack, 0) : PackIn(*a);
    Status restored = exclusive.Restore();
    s = FirstFailure(std::move(s), std::move(restored));
    if (a->is_virtual) {
        Report(s);
        return true;
    }
    Report(s);
    return s.ok();
}

}  // namespace zurod
