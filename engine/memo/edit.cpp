// Storing memos: a new memo at the end of the file, an edited memo in new
// blocks (the old ones are freed only when no record refers to them any
// more), a memo copied from another table's memo file, and an emptied file.
#include <algorithm>

#include "engine/dbf/detail/memo_header.hpp"
#include "engine/dbf/files.hpp"
#include "engine/dbf/settings.hpp"
#include "engine/dbf/tables.hpp"
#include "engine/memo/detail/memo_file.hpp"
#include "engine/memo/detail/operations.hpp"
#include "platform/paths.hpp"

namespace zurod {

namespace {

// Replaced memos wait in the area until this many have gathered, then one
// walk over the table finds those no record refers to.
constexpr size_t kPendingRuns = 32;

Status RefuseWhileStreaming(const MemoFile& m, std::string_view routine) {
    if (!m.stream.open || m.stream.mode != 2) return {};
    return Fail(1017, m.name + ": a memo stream is being written [" + std::string(routine) + "]");
}

Status StoreAtEnd(MemoFile& m, std::string_view stored, bool headed, uint32_t fox_type, std::string_view routine,
                  int32_t& block) {
    uint64_t at = 0;
    if (Status s = PrepareAppend(m, routine, at); s.failed()) return s;
    MemoLockScope unlock(m);
    m.io.clear();
    if (Status s = BuildMemoImage(m, stored, headed, fox_type, m.io, routine); s.failed()) return s;
    if (Status s = AppendImage(m, at, m.io, routine); s.failed()) return s;
    block = static_cast<int32_t>(at / m.block_size);
    return UnlockMemo(m, routine);
}

// Remembers the blocks of a replaced dBASE IV memo, to free them later.
void RememberReplaced(MemoFile& m, int32_t old_block) {
    if (m.kind != MemoKind::Dbase4 || old_block == 0) return;
    const uint32_t b =
        old_block < 0 ? static_cast<uint32_t>(-static_cast<int64_t>(old_block)) : static_cast<uint32_t>(old_block);
    uint64_t size = 0;
    MemoExtent extent;
    if (MemoSize(m, size).failed() || LocateMemo(m, size, b, extent, {"EditMemo/CloseMemo"}).failed()) return;
    // A memo without a block header has no length to free by.
    if (!extent.headed) return;
    const uint64_t bytes = static_cast<uint64_t>(extent.length) + kBlockHeader;
    const uint32_t blocks = static_cast<uint32_t>((bytes + m.block_size - 1) / m.block_size);
    const bool known =
        std::any_of(m.pending.begin(), m.pending.end(), [&](const MemoFile::Run& r) { return r.block == b; });
    if (!known) m.pending.push_back({b, blocks});
}

}  // namespace

Status AddMemoIn(TWorkArea& area, std::string_view text, int32_t& block, std::string_view routine) {
    block = 0;
    MemoFile* m = nullptr;
    if (Status s = RequireMemo(area, routine, m); s.failed()) return s;
    if (Status s = RefuseWhileStreaming(*m, routine); s.failed()) return s;
    if (text.empty()) return {};
    std::string& stored = m->text;
    stored.assign(text.substr(0, text.find_last_not_of(' ') + 1));
    ToStored(area, stored);
    return StoreAtEnd(*m, stored, m->kind == MemoKind::Dbase4, kFoxText, routine, block);
}

Status EditMemoIn(TWorkArea& area, std::string_view stored, int32_t old_block, int32_t& block) {
    constexpr std::string_view routine = "EditMemo/CloseMemo";
    block = 0;
    MemoFile* m = nullptr;
    if (Status s = RequireMemo(area, routine, m); s.failed()) return s;
    if (Status s = RefuseWhileStreaming(*m, routine); s.failed()) return s;
    uint64_t free_bytes = 0;
    if (platform::FreeDiskBytes(m->name, free_bytes) == 0 && free_bytes / 1024 <= stored.size() / 1024)
        return Fail(1004, m->name + " [EditMemo/CloseMemo]");
    if (m->pending.size() >= kPendingRuns)
        if (Status s = FreePendingRuns(area, *m, false); s.failed()) return s;
    if (stored.empty()) {
        RememberReplaced(*m, old_block);
        return {};
    }
    if (m->kind != MemoKind::Dbase4) {
        if (Status s = StoreAtEnd(*m, stored, false, kFoxText, routine, block); s.failed()) return s;
        return {};
    }

    uint64_t at = 0;
    if (Status s = PrepareAppend(*m, routine, at); s.failed()) return s;
    MemoLockScope unlock(*m);
    m->io.clear();
    if (Status s = BuildMemoImage(*m, stored, true, kFoxText, m->io, routine); s.failed()) return s;
    // New blocks always: the old memo stays readable until its record is
    // written with the new block.
    uint32_t first = 0;
    uint64_t size = at;
    const uint32_t blocks = static_cast<uint32_t>(m->io.size() / m->block_size);
    if (Status s = AllocateBlocks(*m, size, blocks, first, routine); s.failed()) return s;
    if (int rc = m->file.WriteAt(m->Offset(first), m->io); rc != 0)
        return Fail(29, m->name + " (" + ErrorCodeText(static_cast<uint16_t>(rc)) + ") [" + std::string(routine) + "]");
    if (Status s = CountMemoWrite(*m, routine); s.failed()) return s;
    RememberReplaced(*m, old_block);
    block = static_cast<int32_t>(first);
    return UnlockMemo(*m, routine);
}

Status CopyMemoIn(TWorkArea& from, int32_t block, TWorkArea& to, int32_t& new_block) {
    constexpr std::string_view routine = "AppendFrom/CopyTo";
    new_block = 0;
    MemoFile* source = nullptr;
    MemoFile* target = nullptr;
    if (Status s = RequireMemo(from, routine, source); s.failed()) return s;
    if (Status s = RequireMemo(to, routine, target); s.failed()) return s;
    if (Status s = RefuseWhileStreaming(*target, routine); s.failed()) return s;
    if (block == 0) return {};
    const uint32_t b = block < 0 ? static_cast<uint32_t>(-static_cast<int64_t>(block)) : static_cast<uint32_t>(block);
    const MemoSite site{"AppendFrom/CopyTo", from.rec_no};
    uint64_t size = 0;
    MemoExtent extent;
    std::string& data = target->text;
    if (Status s = MemoSize(*source, size); s.failed()) return s;
    if (Status s = ReadMemo(*source, size, b, extent, data, SIZE_MAX, site); s.failed()) return s;
    if (from.oem != to.oem) {
        FromStored(from, data);
        ToStored(to, data);
    }
    const bool fox_to_fox = source->kind == MemoKind::FoxPro && target->kind == MemoKind::FoxPro;
    return StoreAtEnd(*target, data, target->kind == MemoKind::Dbase4, fox_to_fox ? extent.fox_type : kFoxText, routine,
                      new_block);
}

Status RecreateMemoIn(TWorkArea& area, std::string_view caller) {
    MemoFile* m = MemoOf(area);
    const uint8_t type = m ? m->type : MemoTypeOf(area);
    const uint32_t block_size = m ? m->block_size : Settings().memo_block_size;
    const std::string name = m ? m->file.Path() : ForceExt(area.file_name, MemoExtension(type));
    const std::string label = " [" + std::string(caller) + "]";
    // The empty file is written beside the old one and put in its place,
    // with the old one's mode.
    const std::string final_name = platform::FinalPath(platform::ResolveExisting(name));
    const std::string staged = ForceExt(final_name, "$$$");
    const std::vector<uint8_t> bytes = EmptyMemoFile(type, static_cast<uint16_t>(block_size), final_name);
    platform::File file;
    int rc = CreateOwnFile(file, staged);
    if (rc == 0 && m) rc = file.TakePermissionsOf(m->file);
    if (m) {
        // Nothing of the old file is kept: its pending runs and a stream go with it.
        m->pending.clear();
        m->stream = BlobStream{};
        (void)UnlockMemo(*m, caller);
        m->file.Close();
        area.memo_state.reset();
    }
    if (rc == 0) rc = file.WriteAt(0, std::span(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    if (rc == 0) rc = file.Sync();
    if (rc == 0) rc = file.RenameOver(final_name);
    file.Close();
    if (rc != 0) {
        platform::RemoveFile(staged);
        return Fail(static_cast<uint16_t>(rc), "Cannot create memo file " + name + label);
    }
    return OpenMemoFile(area);
}

}  // namespace zurod
