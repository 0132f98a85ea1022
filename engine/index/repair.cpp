// Changes marked while they are under way, and the repair of one left
// unfinished. A process that dies, or a write that fails, in the middle of an
// append, a replace, a pack or a zap leaves the index's change mark on disk;
// the next open or change of the index brings every tag in line with the
// table again before anything else reads or changes it.
#include <cstring>

#include "engine/dbf/detail/navigation.hpp"
#include "engine/dbf/detail/record_io.hpp"
#include "engine/dbf/files.hpp"
#include "engine/index/detail/unit.hpp"
#include "platform/dos_error.hpp"
#include "platform/paths.hpp"

namespace zurod {

namespace {

Status WriteFailure(int rc, const std::string& path, const char* routine) {
    return Fail(static_cast<uint16_t>(rc), "Error writing index file:  " + path + " [" + routine + "]");
}

// Points the area's record buffer at other bytes, as record `n`, for a scope.
class RecordView {
public:
    RecordView(TWorkArea& a, std::span<char> bytes, int32_t n)
        : a_(a), record_(a.record), rec_no_(a.rec_no), bof_(a.bof), eof_(a.eof) {
        a.record = bytes;
        a.rec_no = n;
    }
    ~RecordView() {
        a_.record = record_;
        a_.rec_no = rec_no_;
        a_.bof = bof_;
        a_.eof = eof_;
    }
    RecordView(const RecordView&) = delete;
    RecordView& operator=(const RecordView&) = delete;

private:
    TWorkArea& a_;
    std::span<char> record_;
    int32_t rec_no_;
    bool bof_, eof_;
};

// Takes every entry of `record` out of a tag, wherever a key put it: the key
// it had before an unfinished change is not known.
Status DropEntries(Tag& t, int32_t record) {
    std::vector<std::string> keys;
    if (Status s = t.First(); s.failed()) return s;
    // No tree holds more entries than its file has room for.
    uint64_t budget = uint64_t{t.file->Blocks()} / 2 * mdx::NodeCapacity(t.item_length) + 1;
    while (t.OnEntry()) {
        if (t.Record() == record) keys.emplace_back(reinterpret_cast<const char*>(t.Key()), t.key_length);
        bool moved = false;
        if (Status s = t.Step(true, moved); s.failed()) return s;
        if (!moved) break;
        if (--budget == 0) return Fail(222, "Index tree leads back into itself in " + t.file->Path() + t.Label());
    }
    for (const std::string& key : keys)
        if (Status s = t.Remove(key, record, false); s.failed()) return s;
    t.path_valid = false;
    return {};
}

// The keys of one record, as the table now holds it, in every tag that takes
// it, and nowhere else.
Status RepairRecord(TWorkArea& a, IndexArea& ix, int32_t record) {
    RefreshRecCount(a);
    const bool present = record >= 1 && record <= a.rec_count;
    std::vector<char> bytes(a.record_length);
    if (present) {
        size_t got = 0;
        int rc = a.file.ReadAt(RecordOffset(a, record), bytes, got);
        if (rc == 0 && got < bytes.size()) rc = 213;
        if (rc != 0) return Fail(static_cast<uint16_t>(rc), "File:  " + a.file_name + "  [GetDbfRecord]");
    }
    CurrentAreaScope current(a);
    AreaPin pin(a);  // the read hook and the expressions are caller code
    if (present) TranslateRecord(Direction::Read, a.oem, a.read_hook, bytes, a.record_length);
    RecordView view(a, bytes, record);
    for (int n = 1; n <= ix.tag_count; ++n) {
        Tag* t = ix.TagAt(n);
        if (!t) continue;
        if (Status s = DropEntries(*t, record); s.failed()) return s;
        if (!present) continue;
        bool in = true;
        if (Status s = t->ForTrue(in); s.failed()) return s;
        if (!in) continue;
        std::string key;
        if (Status s = t->BuildKey(key); s.failed()) return s;
        bool added = false;
        if (Status s = t->Insert(key, record, added); s.failed()) return s;
    }
    return {};
}

// Every tag built anew at the end of the file. The tags keep their places in
// the tag table, and the file header, with the mark cleared, goes out in one
// write: until then the old trees stand.
Status RebuildInPlace(TWorkArea& a, IndexArea& ix) {
    const mdx::FileHeader before = ix.file.header;
    if (Status s = BuildTagsInto(a, ix.file, OpenTagDescriptors(ix)); s.failed()) {
        ix.file.header = before;
        ix.file.header_changed = {};
        return s;
    }
    std::vector<uint32_t> blocks(static_cast<size_t>(ix.tag_count) + 1);
    for (int n = 1; n <= ix.tag_count; ++n)
        if (const Tag* t = ix.TagAt(n))
            blocks[n] = mdx::TagHeaderBlock(ix.file.header, mdx::FindTagEntry(ix.file.header, t->name));
    ix.file.header = before;
    for (int n = 1; n <= ix.tag_count; ++n)
        if (blocks[n] != 0) mdx::Put32(ix.file.header.data() + mdx::kTagTableAt + mdx::kEntrySize * n, blocks[n]);
    mdx::Put32(ix.file.header.data() + mdx::kPageCountAt, ix.file.Blocks());
    ix.file.ClearMark();
    ix.file.MarkHeader(0, mdx::kHeaderSize);
    if (int rc = ix.file.WriteHeader(); rc != 0) {
        ix.file.header = before;
        ix.file.header_changed = {};
        return WriteFailure(rc, ix.file.Path(), "Reindex");
    }
    for (int n = 1; n <= ix.tag_count; ++n) {
        Tag* t = ix.TagAt(n);
        if (!t || blocks[n] == 0) continue;
        t->header_block = blocks[n];
        if (Status s = t->ReadHeader(); s.failed()) return s;
        t->path_valid = false;
    }
    return {};
}

}  // namespace

Status RepairIndexIn(TWorkArea& a, IndexArea& ix) {
    // What the disk holds counts, not what this process remembers of it.
    ix.file.Forget();
    ix.file.header_changed = {};
    int rc = ix.file.RefreshSize();
    if (rc == 0) rc = ix.file.ReadHeader();
    if (rc != 0)
        return Fail(static_cast<uint16_t>(rc), "Error reading index file:  " + ix.file.Path() + " [ReadAnchorNodes]");
    for (int n = 1; n <= ix.tag_count; ++n) {
        Tag* t = ix.TagAt(n);
        if (!t) continue;
        if (Status s = t->ReadHeader(); s.failed()) return s;
        t->path_valid = false;
    }
    Status s;
    switch (ix.file.PendingMark()) {
    case IndexFile::Mark::None: return {};
    case IndexFile::Mark::Record:
        s = RepairRecord(a, ix, static_cast<int32_t>(ix.file.MarkedRecord()));
        // A tree too damaged to take the record's keys out is built anew.
        if (s.code == 222) s = RebuildInPlace(a, ix);
        break;
    case IndexFile::Mark::All: s = RebuildInPlace(a, ix); break;
    }
    if (s.failed()) return s;
    mdx::Put32(ix.file.header.data() + mdx::kPageCountAt, ix.file.Blocks());
    ix.file.MarkHeader(mdx::kPageCountAt, 4);
    return WriteIndexHeaders(ix, true);
}

Status BeginChangeIn(TWorkArea& a, IndexArea& ix, int32_t record) {
    bool changed = false;
    if (Status s = RevalidateIndexIn(a, ix, changed); s.failed()) return s;
    if (ix.file.PendingMark() != IndexFile::Mark::None)
        if (Status s = RepairIndexIn(a, ix); s.failed()) return s;
    if (int rc = ix.file.SetMark(IndexFile::Mark::Record, static_cast<uint32_t>(record)); rc != 0)
        return WriteFailure(rc, ix.file.Path(), "BeginChange");
    return {};
}

Status MarkForRebuildIn(TWorkArea& a, IndexArea& ix) {
    WriteSide write(a, ix);
    if (write.status().failed()) return write.status();
    int rc = ix.file.SetMark(IndexFile::Mark::All, 0);
    // Before the table changes, whatever the disk does with its writes.
    if (rc == 0) rc = ix.file.Sync();
    Status s = rc == 0 ? Status{} : WriteFailure(rc, ix.file.Path(), "MarkForRebuild");
    return FirstFailure(std::move(s), write.Release());
}

Status RepairMarkedIndexIn(TWorkArea& a, IndexArea& ix) {
    if (ix.file.PendingMark() == IndexFile::Mark::None) return {};
    WriteSide write(a, ix);
    if (write.status().failed()) return write.status();
    Status s = RepairIndexIn(a, ix);
    // The active order stands on the current record again, where it can.
    if (Tag* t = ix.ActiveTag(); s.ok() && t) {
        CurrentAreaScope current(a);
        if (SyncTag(a, ix, *t, false, true).failed()) t->last_rec = 0;
    }
    return FirstFailure(std::move(s), write.Release());
}

std::string BuildFileName(const std::string& real) {
    const size_t slash = real.rfind('/');
    const size_t dot = real.rfind('.');
    const bool extension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (extension ? real.substr(0, dot) : real) + ".TZX";
}

void RemoveStaleBuild(const std::string& index_path) {
    // RemoveFile refuses a file that an open holds (a build under way); a
    // link planted under the name goes, its target untouched.
    (void)platform::RemoveFile(BuildFileName(platform::FinalPath(platform::ResolveExisting(index_path))));
}

int TakeModeOfOld(platform::File& out, const std::string& real, const TWorkArea& a) {
    const int rc = out.TakePermissionsOf(real);
    if (rc != platform::kFileNotFound && rc != platform::kPathNotFound) return rc;
    return out.TakePermissionsOf(a.file.Handle());
}

}  // namespace zurod
