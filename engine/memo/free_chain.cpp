// The dBASE IV free chain. Every change is ordered so that a process dying
// between two writes leaves at worst a run that is neither in the chain nor
// in use, never a link into a live memo: a run leaves the chain before it is
// written, a freed run is linked only after its own header is written, and
// the chain's end moves past a memo at the end of the file before the memo
// is written there.
#include <algorithm>

#include "engine/dbf/detail/record_io.hpp"
#include "engine/dbf/detail/swap_buffer.hpp"
#include "engine/dbf/detail/table_header.hpp"
#include "engine/memo/detail/memo_file.hpp"

namespace zurod {

namespace {

constexpr size_t kFirstFitRuns = 100;

uint32_t EndBlock(const MemoFile& m, uint64_t size) {
    return static_cast<uint32_t>(std::min<uint64_t>((size + m.block_size - 1) / m.block_size, UINT32_MAX));
}

Status ChainWriteError(const MemoFile& m, int rc, std::string_view routine) {
    return Fail(static_cast<uint16_t>(rc), m.name + " [WriteGroupHeader()] [" + std::string(routine) + "]");
}

// Sets the link that leads to the run after `runs[index - 1]` (the header's
// first word for index 0).
Status WriteLink(MemoFile& m, const std::vector<FreeRun>& runs, size_t index, uint32_t target,
                 std::string_view routine) {
    char word[4];
    PutLe32(word, target);
    const uint64_t at = index == 0 ? 0 : m.Offset(runs[index - 1].block);
    if (int rc = m.file.WriteAt(at, word); rc != 0) return ChainWriteError(m, rc, routine);
    return {};
}

Status WriteRunHeader(MemoFile& m, uint32_t block, uint32_t next, uint32_t blocks, std::string_view routine) {
    char head[kBlockHeader];
    PutLe32(head, next);
    PutLe32(head + 4, blocks);
    if (int rc = m.file.WriteAt(m.Offset(block), head); rc != 0) return ChainWriteError(m, rc, routine);
    return {};
}

}  // namespace

Status ReadFreeChain(const MemoFile& m, uint64_t size, std::vector<FreeRun>& runs, size_t limit) {
    runs.clear();
    const uint32_t eof = EndBlock(m, size);
    char word[kBlockHeader];
    size_t got = 0;
    if (int rc = m.file.ReadAt(0, std::span(word, 4), got); rc != 0 || got < 4)
        return Fail(static_cast<uint16_t>(rc != 0 ? rc : 30), m.name + " [ReadGroupHeader()]");
    uint32_t link = GetLe32(word);
    uint32_t floor = m.FirstDataBlock();
    while (link < eof && link >= floor && runs.size() < limit) {
        if (int rc = m.file.ReadAt(m.Offset(link), word, got); rc != 0)
            return Fail(static_cast<uint16_t>(rc), m.name + " [ReadGroupHeader()]");
        if (got < kBlockHeader) break;
        const FreeRun run{link, GetLe32(word + 4), GetLe32(word)};
        if (run.blocks == 0 || run.blocks > eof - link || run.next < link + run.blocks) break;
        runs.push_back(run);
        floor = link + run.blocks;
        link = run.next;
    }
    return {};
}

Status MoveChainEnd(MemoFile& m, uint64_t old_size, uint32_t eof, std::string_view routine) {
    std::vector<FreeRun> runs;
    if (Status s = ReadFreeChain(m, old_size, runs); s.failed()) return s;
    return WriteLink(m, runs, runs.size(), eof, routine);
}

Status AllocateBlocks(MemoFile& m, uint64_t& size, uint32_t blocks, uint32_t& block, std::string_view routine) {
    std::vector<FreeRun> runs;
    if (Status s = ReadFreeChain(m, size, runs); s.failed()) return s;
    for (size_t i = 0; i < std::min(runs.size(), kFirstFitRuns); ++i) {
        const FreeRun& run = runs[i];
        if (run.blocks < blocks) continue;
        uint32_t rest = run.next;
        if (run.blocks > blocks) {
            rest = run.block + blocks;
            if (Status s = WriteRunHeader(m, rest, run.next, run.blocks - blocks, routine); s.failed()) return s;
        }
        if (Status s = WriteLink(m, runs, i, rest, routine); s.failed()) return s;
        block = run.block;
        return {};
    }
    const uint64_t at = uint64_t{EndBlock(m, size)};
    if (at + blocks > UINT32_MAX) return Fail(1005, m.name + " is full [" + std::string(routine) + "]");
    block = static_cast<uint32_t>(at);
    if (Status s = WriteLink(m, runs, runs.size(), block + blocks, routine); s.failed()) return s;
    size = (at + blocks) * m.block_size;
    return {};
}

Status FreeBlocks(MemoFile& m, uint64_t size, uint32_t block, uint32_t blocks, std::string_view routine) {
    const uint32_t eof = EndBlock(m, size);
    if (blocks == 0 || block < m.FirstDataBlock() || block >= eof || blocks > eof - block) return {};
    std::vector<FreeRun> runs;
    if (Status s = ReadFreeChain(m, size, runs); s.failed()) return s;
    const size_t after = static_cast<size_t>(
        std::partition_point(runs.begin(), runs.end(), [&](const FreeRun& r) { return r.block < block; }) -
        runs.begin());
    if (after > 0 && runs[after - 1].block + runs[after - 1].blocks > block) return {};
    const uint32_t next = after < runs.size() ? runs[after].block : eof;
    if (block + blocks > next) return {};
    if (Status s = WriteRunHeader(m, block, next, blocks, routine); s.failed()) return s;
    return WriteLink(m, runs, after, block, routine);
}

Status ForEachMemoReference(const TWorkArea& area, int32_t count,
                            const std::function<void(int32_t, const FieldInfo&, int64_t)>& visit) {
    RecordBlockReader reader(area, 1, count);
    while (reader.Next()) {
        for (int32_t i = 0; i < reader.Count(); ++i) {
            const std::span<char> record = reader.Record(i);
            for (const FieldInfo& f : area.fields) {
                if (f.type != 'M') continue;
                const int64_t stored = StoredInteger(std::string_view(record.data() + f.offset, f.length));
                if (stored != 0) visit(reader.First() + i, f, stored);
            }
        }
    }
    return reader.status();
}

Status FreePendingRuns(TWorkArea& area, MemoFile& m, bool final) {
    if (m.pending.empty()) return {};
    if (m.kind != MemoKind::Dbase4 || area.is_virtual || !area.file.IsOpen()) {
        m.pending.clear();
        return {};
    }
    // The blocks the table's records refer to, deleted records included.
    uint64_t table_size = 0;
    if (area.file.Size(table_size) != 0) table_size = 0;
    const int32_t count = std::max(area.rec_count, CountFromSize(area, table_size));
    std::vector<uint32_t> used;
    if (Status s = ForEachMemoReference(
            area, count,
            [&](int32_t, const FieldInfo&, int64_t b) { used.push_back(static_cast<uint32_t>(b < 0 ? -b : b)); });
        s.failed()) {
        if (final) m.pending.clear();
        return Fail(s.code, area.file_name + " [FreeMemoBlocks]");
    }
    std::sort(used.begin(), used.end());

    if (Status s = LockMemo(m, "FreeMemoBlocks"); s.failed()) return s;
    MemoLockScope unlock(m);
    uint64_t size = 0;
    if (Status s = MemoSize(m, size); s.failed()) return s;
    std::vector<MemoFile::Run> kept;
    for (const MemoFile::Run& run : m.pending) {
        const auto hit = std::lower_bound(used.begin(), used.end(), run.block);
        const bool referenced = hit != used.end() && *hit < run.block + run.blocks;
        if (referenced) {
            if (!final) kept.push_back(run);
            continue;
        }
        if (Status s = FreeBlocks(m, size, run.block, run.blocks, "FreeMemoBlocks"); s.failed()) {
            m.pending.clear();
            return s;
        }
    }
    m.pending = std::move(kept);
    return {};
}

}  // namespace zurod
