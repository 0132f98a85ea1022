// Packing a memo file. The records' block numbers and the memo file they
// point into must change together, so the pack never touches either until
// both new halves are safe on disk:
//   1. the live memos go to "<memo>.$$$", with the new block of each
//      (record, field) kept in memory; the file is synced;
//   2. the new blocks go to the journal "<memo>.TZJ" (checksummed), synced:
//      from here on the pack counts as done;
//   3. the records get their new blocks, the table is synced, the "$$$"
//      file is renamed over the memo file and the journal removed.
// Opening the table again completes a pack that has a journal (steps 3,
// which may run twice) and removes the leftovers of one that has none.
#include <algorithm>
#include <charconv>
#include <cstring>

#include "engine/dbf/detail/memo_header.hpp"
#include "engine/dbf/detail/record_io.hpp"
#include "engine/dbf/detail/swap_buffer.hpp"
#include "engine/dbf/detail/table_header.hpp"
#include "engine/dbf/files.hpp"
#include "engine/dbf/settings.hpp"
#include "engine/memo/detail/memo_file.hpp"
#include "engine/memo/detail/operations.hpp"
#include "platform/dos_error.hpp"
#include "platform/paths.hpp"

namespace zurod {

namespace {

constexpr size_t kPackBlock = size_t{1} << 20;
constexpr char kJournalMagic[8] = {'Z', 'M', 'E', 'M', 'O', 'J', 'N', '1'};
constexpr size_t kJournalHead = sizeof kJournalMagic + 12;
constexpr size_t kJournalEntry = 12;

// One memo field's new block.
struct NewBlock {
    int32_t record;
    uint16_t offset;
    uint8_t length;
    uint32_t block;
};

struct PackFiles {
    std::string memo, staged, journal;
};

PackFiles FilesOf(const std::string& memo_path) {
    PackFiles f;
    f.memo = platform::FinalPath(platform::ResolveExisting(memo_path));
    f.staged = ForceExt(f.memo, "$$$");
    f.journal = ForceExt(f.memo, "TZJ");
    return f;
}

uint32_t Checksum(std::string_view bytes) {
    uint32_t h = 2166136261u;
    for (const char c : bytes) h = (h ^ static_cast<uint8_t>(c)) * 16777619u;
    return h;
}

std::string EncodeJournal(const TWorkArea& a, const std::vector<NewBlock>& blocks) {
    std::string j(kJournalHead + blocks.size() * kJournalEntry + 4, '\0');
    std::memcpy(j.data(), kJournalMagic, sizeof kJournalMagic);
    char* p = j.data() + sizeof kJournalMagic;
    PutLe32(p, a.header_length);
    PutLe32(p + 4, a.record_length);
    PutLe32(p + 8, static_cast<uint32_t>(blocks.size()));
    p += 12;
    for (const NewBlock& b : blocks) {
        PutLe32(p, static_cast<uint32_t>(b.record));
        p[4] = static_cast<char>(b.offset & 0xFF);
        p[5] = static_cast<char>(b.offset >> 8);
        p[6] = static_cast<char>(b.length);
        PutLe32(p + 8, b.block);
        p += kJournalEntry;
    }
    PutLe32(p, Checksum(std::string_view(j.data(), j.size() - 4)));
    return j;
}

// False for a journal that is not whole or not for this table.
bool DecodeJournal(const TWorkArea& a, std::string_view j, std::vector<NewBlock>& blocks) {
    if (j.size() < kJournalHead + 4 || std::memcmp(j.data(), kJournalMagic, sizeof kJournalMagic) != 0) return false;
    const char* p = j.data() + sizeof kJournalMagic;
    const uint32_t count = GetLe32(p + 8);
    if (GetLe32(p) != a.header_length || GetLe32(p + 4) != a.record_length ||
        (j.size() - kJournalHead - 4) / kJournalEntry != count || (j.size() - kJournalHead - 4) % kJournalEntry)
        return false;
    if (GetLe32(j.data() + j.size() - 4) != Checksum(j.substr(0, j.size() - 4))) return false;
    blocks.clear();
    blocks.reserve(count);
    p += 12;
    for (uint32_t i = 0; i < count; ++i, p += kJournalEntry) {
        const NewBlock b{static_cast<int32_t>(GetLe32(p)),
                         static_cast<uint16_t>(static_cast<uint8_t>(p[4]) | (static_cast<uint8_t>(p[5]) << 8)),
                         static_cast<uint8_t>(p[6]), GetLe32(p + 8)};
        if (b.record < 1 || b.offset < 1 || b.offset + b.length > a.record_length) return false;
        blocks.push_back(b);
    }
    return true;
}

// Writes the new blocks into the records, as other programs write them:
// right-aligned digits, blanks for no memo. Records are patched a large run
// at a time (the blocks come in record order).
Status ApplyNewBlocks(TWorkArea& a, const std::vector<NewBlock>& blocks, std::string_view label) {
    const auto failed = [&](int rc) {
        return Fail(static_cast<uint16_t>(rc), a.file_name + " [" + std::string(label) + "]");
    };
    const int32_t per_run = static_cast<int32_t>(std::max<size_t>(kPackBlock / a.record_length, 1));
    std::string run;
    for (size_t i = 0; i < blocks.size();) {
        const int32_t first = blocks[i].record;
        int32_t last = first;
        size_t end = i;
        while (end < blocks.size() && blocks[end].record >= first && blocks[end].record < first + per_run)
            last = std::max(last, blocks[end++].record);
        run.resize(static_cast<size_t>(last - first + 1) * a.record_length);
        size_t got = 0;
        int rc = a.file.ReadAt(RecordOffset(a, first), run, got);
        if (rc == 0 && got < run.size()) rc = 100;
        if (rc != 0) return failed(rc);
        for (; i < end; ++i) {
            const NewBlock& b = blocks[i];
            char* field = run.data() + static_cast<size_t>(b.record - first) * a.record_length + b.offset;
            std::memset(field, ' ', b.length);
            if (b.block == 0) continue;
            char digits[12];
            const auto [stop, ec] = std::to_chars(digits, digits + sizeof digits, b.block);
            const size_t n = static_cast<size_t>(stop - digits);
            if (n <= b.length) std::memcpy(field + (b.length - n), digits, n);
        }
        if ((rc = a.file.WriteAt(RecordOffset(a, first), run)) != 0) return failed(rc);
    }
    if (int rc = a.file.Sync(); rc != 0) return failed(rc);
    // The current record's buffers follow its new numbers.
    if (a.rec_no >= 1 && a.rec_no <= a.rec_count && !a.eof) {
        if (Status s = GetDbfRecord(a, a.rec_no); s.failed()) return s;
        RecordToBuffer(a);
    }
    return {};
}

int ReadWholeFile(const std::string& path, std::string& bytes) {
    platform::File file;
    if (int rc = file.Open(path, platform::Access::Read, platform::Share::DenyNone); rc != 0) return rc;
    uint64_t size = 0;
    if (int rc = file.Size(size); rc != 0) return rc;
    if (size > (uint64_t{1} << 32)) return 11;
    bytes.resize(static_cast<size_t>(size));
    size_t got = 0;
    if (int rc = file.ReadAt(0, bytes, got); rc != 0) return rc;
    bytes.resize(got);
    return 0;
}

// Steps 3 once the journal is safe: records, the memo file, the journal.
Status Complete(TWorkArea& a, const PackFiles& f, const std::vector<NewBlock>& blocks, std::string_view label) {
    if (Status s = ApplyNewBlocks(a, blocks, label); s.failed()) return s;
    if (FileExists(f.staged)) {
        platform::File staged;
        int rc = staged.Open(f.staged, platform::Access::ReadWrite, platform::Share::Exclusive);
        if (rc == 0) rc = staged.RenameOver(f.memo);
        if (rc != 0) return Fail(static_cast<uint16_t>(rc), f.staged + " [" + std::string(label) + "]");
    }
    // A journal left behind would be replayed over later changes: one that
    // cannot be removed is voided (cut to nothing), and the failure reported.
    if (const int rc = platform::RemoveFile(f.journal); rc != 0 && rc != platform::kFileNotFound) {
        platform::File journal;
        if (journal.Open(f.journal, platform::Access::ReadWrite, platform::Share::Exclusive) == 0)
            (void)journal.Truncate(0);
        return Fail(static_cast<uint16_t>(rc), f.journal + " [" + std::string(label) + "]");
    }
    return {};
}

// Gathers the new file's memos and writes them in large blocks.
class PackWriter {
public:
    PackWriter(platform::File& out, uint64_t at) : out_(out), at_(at) { buffer_.reserve(kPackBlock * 2); }
    uint64_t End() const { return at_ + buffer_.size(); }
    // Appends the memo in the layout it had in the old file; false when it
    // cannot be stored (then nothing is added).
    bool Add(const MemoFile& m, const MemoExtent& e, std::string_view data) {
        return BuildMemoImage(m, data, e.headed, e.fox_type, buffer_, "PackMemo").ok();
    }
    int FlushIfFull() { return buffer_.size() >= kPackBlock ? Flush() : 0; }
    int Flush() {
        if (buffer_.empty()) return 0;
        const int rc = out_.WriteAt(at_, buffer_);
        at_ += buffer_.size();
        buffer_.clear();
        return rc;
    }

private:
    platform::File& out_;
    uint64_t at_;
    std::string buffer_;
};

// The old memo file read forward in large blocks: the live memos are taken
// in the order of their blocks, so each block of the file is read once.
class ForwardReader {
public:
    ForwardReader(const MemoFile& m, uint64_t size) : m_(m), size_(size) {}
    // Bytes [from, from + n) of the file (fewer at its end), or nullptr with `rc`.
    const char* Window(uint64_t from, size_t n, size_t& got, int& rc) {
        n = static_cast<size_t>(std::min<uint64_t>(n, size_ - std::min(from, size_)));
        if (from < start_ || from + n > start_ + cache_.size()) {
            cache_.resize(std::max(n, kPackBlock));
            size_t read = 0;
            if ((rc = m_.file.ReadAt(from, cache_, read)) != 0) return nullptr;
            cache_.resize(read);
            start_ = from;
        }
        got = static_cast<size_t>(std::min<uint64_t>(n, start_ + cache_.size() - from));
        return cache_.data() + (from - start_);
    }

private:
    const MemoFile& m_;
    uint64_t size_;
    uint64_t start_ = 0;
    std::string cache_;
};

// One memo field that refers to a memo.
struct Reference {
    uint64_t block;  // as stored
    int32_t record;
    uint16_t offset;
    uint8_t length;
    int64_t stored;
};

// Reads the memo a reference points at, in its stored form; 1003 for one
// that is not there to read.
Status ReadReferenced(const MemoFile& m, uint64_t size, ForwardReader& reader, const Reference& ref, MemoExtent& extent,
                      std::string& data) {
    const MemoSite site{"PackMemo", ref.record};
    if (ref.block > UINT32_MAX) return Fail(1003, "");
    const auto block = static_cast<uint32_t>(ref.block);
    if (Status s = CheckMemoBlock(m, size, block, site); s.failed()) return s;
    const uint64_t at = m.Offset(block);
    size_t got = 0;
    int rc = 0;
    const char* head = reader.Window(at, kBlockHeader, got, rc);
    if (!head) return MemoFailure(m, static_cast<uint16_t>(rc), "", site);
    if (Status s = ParseMemoHead(m, size, block, head, got, extent, site); s.failed()) return s;
    if (extent.length >= 0) {
        const size_t n = static_cast<size_t>(extent.length);
        const char* bytes = reader.Window(extent.start, n, got, rc);
        if (!bytes || got < n) return MemoFailure(m, static_cast<uint16_t>(rc != 0 ? rc : 100), "", site);
        data.assign(bytes, n);
        return {};
    }
    // Up to the end mark, in ever larger windows.
    for (size_t n = kPackBlock;; n *= 2) {
        const char* bytes = reader.Window(at, n, got, rc);
        if (!bytes) return MemoFailure(m, static_cast<uint16_t>(rc), "", site);
        const char* end = std::find(bytes, bytes + got, kMemoEnd);
        if (end != bytes + got || got < n) {
            data.assign(bytes, static_cast<size_t>(end - bytes));
            return {};
        }
    }
}

// Step 1: the live memos into the staged file; the new block of every memo
// field that changes, in record order.
Status WriteLiveMemos(TWorkArea& a, MemoFile& m, platform::File& out, std::vector<NewBlock>& blocks) {
    const std::vector<uint8_t> header = EmptyMemoFile(m.type, static_cast<uint16_t>(m.block_size), m.file.Path());
    const uint64_t first = uint64_t{m.FirstDataBlock()} * m.block_size;
    std::string start(reinterpret_cast<const char*>(header.data()), std::min<size_t>(header.size(), first));
    start.resize(static_cast<size_t>(first), '\0');
    if (int rc = out.WriteAt(0, start); rc != 0) return Fail(static_cast<uint16_t>(rc), m.name + " [PackMemofile]");

    std::vector<Reference> refs;
    if (Status s = ForEachMemoReference(
            a, a.rec_count,
            [&](int32_t r, const FieldInfo& f, int64_t stored) {
                refs.push_back({static_cast<uint64_t>(stored < 0 ? -stored : stored), r, f.offset, f.length, stored});
            });
        s.failed())
        return Fail(s.code, a.file_name + " [PackMemofile]");
    std::stable_sort(refs.begin(), refs.end(),
                     [](const Reference& x, const Reference& y) { return x.block < y.block; });

    uint64_t size = 0;
    if (Status s = MemoSize(m, size); s.failed()) return s;
    ForwardReader reader(m, size);
    PackWriter writer(out, first);
    std::string data;
    MemoExtent extent;
    for (const Reference& ref : refs) {
        uint32_t block = 0;
        // A memo that cannot be read is no memo; the pack goes on.
        const Status found = ReadReferenced(m, size, reader, ref, extent, data);
        if (found.ok()) {
            const uint64_t at = writer.End();
            if (writer.Add(m, extent, data)) block = static_cast<uint32_t>(at / m.block_size);
            if (int rc = writer.FlushIfFull(); rc != 0)
                return Fail(static_cast<uint16_t>(rc), m.name + " [PackMemofile]");
        } else if (found.code != 1003) {
            return found;
        }
        if (static_cast<int64_t>(block) != ref.stored) blocks.push_back({ref.record, ref.offset, ref.length, block});
    }
    std::sort(blocks.begin(), blocks.end(), [](const NewBlock& x, const NewBlock& y) {
        return x.record != y.record ? x.record < y.record : x.offset < y.offset;
    });
    if (int rc = writer.Flush(); rc != 0) return Fail(static_cast<uint16_t>(rc), m.name + " [PackMemofile]");
    char next[4];
    const uint32_t eof = static_cast<uint32_t>(writer.End() / m.block_size);
    if (m.kind == MemoKind::FoxPro)
        PutBe32(next, eof);
    else
        PutLe32(next, eof);
    int rc = out.WriteAt(0, next);
    if (rc == 0) rc = out.Sync();
    if (rc != 0) return Fail(static_cast<uint16_t>(rc), m.name + " [PackMemofile]");
    return {};
}

Status WriteJournal(const TWorkArea& a, const PackFiles& f, const std::vector<NewBlock>& blocks) {
    const std::string bytes = EncodeJournal(a, blocks);
    platform::File journal;
    int rc = CreateOwnFile(journal, f.journal);
    if (rc == 0) rc = journal.WriteAt(0, bytes);
    if (rc == 0) rc = journal.Sync();
    if (rc != 0) return Fail(static_cast<uint16_t>(rc), f.journal + " [PackMemofile]");
    return {};
}

}  // namespace

Status FinishInterruptedPack(TWorkArea& a, const std::string& memo_path) {
    const PackFiles f = FilesOf(memo_path);
    // A pack creates its journal afresh, never through a link: a symbolic link
    // under the name (dangling, or to a file elsewhere) is none of its
    // journals and goes, its target untouched; one that cannot go is passed
    // over all the same. A journal with another name (a snapshot of hard
    // links) is still one, and only read.
    const bool linked = platform::IsSymbolicLink(f.journal);
    if (linked) (void)platform::RemoveFile(f.journal);
    if (linked || !FileExists(f.journal)) {
        if (FileExists(f.staged)) platform::RemoveFile(f.staged);
        return {};
    }
    std::string bytes;
    std::vector<NewBlock> blocks;
    if (int rc = ReadWholeFile(f.journal, bytes); rc != 0) return Fail(static_cast<uint16_t>(rc), f.journal + " [USE]");
    if (!DecodeJournal(a, bytes, blocks)) {
        // Never finished writing: the pack did not take place.
        platform::RemoveFile(f.staged);
        platform::RemoveFile(f.journal);
        return {};
    }
    return Complete(a, f, blocks, "USE");
}

Status PackMemoIn(TWorkArea& a) {
    MemoFile* m = MemoOf(a);
    if (!m)
        return Fail(2,
                    "Memo file not found: " + ForceExt(a.file_name, MemoExtension(MemoTypeOf(a))) + " [PackMemofile]");
    if (m->stream.open && m->stream.mode == 2)
        return Fail(1017, m->name + ": a memo stream is being written [PackMemofile]");
    if (Settings().network_mode && a.file.CurrentShare() != platform::Share::Exclusive)
        return Fail(225, m->name + " [PackMemofile]");
    uint64_t size = 0, free_bytes = 0;
    if (Status s = MemoSize(*m, size); s.failed()) return s;
    if (platform::FreeDiskBytes(m->name, free_bytes) == 0 && free_bytes / 1024 < size / 1024)
        return Fail(1012, m->name + " [PackMemofile]");
    // The pack reclaims every dead memo: nothing is left to free.
    m->pending.clear();

    const PackFiles f = FilesOf(m->file.Path());
    platform::File out;
    std::vector<NewBlock> blocks;
    Status status;
    int rc = CreateOwnFile(out, f.staged);
    // The packed file keeps the mode of the file it replaces.
    if (rc == 0) rc = out.TakePermissionsOf(m->file);
    if (rc != 0) status = Fail(static_cast<uint16_t>(rc), "Cannot create memo file " + f.staged + " [PackMemofile]");
    if (status.ok()) status = WriteLiveMemos(a, *m, out, blocks);
    if (status.ok()) status = WriteJournal(a, f, blocks);
    if (status.failed()) {
        out.Close();
        platform::RemoveFile(f.staged);
        platform::RemoveFile(f.journal);
        return status;
    }
    // The pack is decided; what fails from here on, the next open completes.
    out.Close();
    m->file.Close();
    a.memo_state.reset();
    status = Complete(a, f, blocks, "PackMemofile");
    if (status.failed()) return status;
    return OpenMemoFile(a);
}

}  // namespace zurod
