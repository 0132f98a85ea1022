// A memo file that ends before the end its header records (cut short by a
// crash or a copy that stopped): records may still refer to blocks past the
// end. New memos go behind the recorded end, and the gap up to it is filled
// so that a read of any block in it stops there: dBASE III end marks, zeros
// elsewhere (no dBASE IV mark, a FoxPro memo of length 0). No block that a
// record may name is ever handed to a new memo.
#include "engine/memo/detail/memo_file.hpp"

namespace zurod {

namespace {

// A gap larger than this is a damaged header rather than a lost tail: memos
// are refused until the file is packed.
constexpr uint64_t kLargestGap = uint64_t{4} << 20;

// The block at the end of the file as the header records it: the next free
// block (dBASE III, FoxPro) or the dBASE IV chain's last link.
Status RecordedEnd(const MemoFile& m, uint64_t size, uint64_t& end) {
    char word[4];
    size_t got = 0;
    if (int rc = m.file.ReadAt(0, word, got); rc != 0 || got < sizeof word)
        return Fail(static_cast<uint16_t>(rc != 0 ? rc : 30), m.name + " [ReadGroupHeader()]");
    if (m.kind != MemoKind::Dbase4) {
        end = m.kind == MemoKind::FoxPro ? GetBe32(word) : GetLe32(word);
        return {};
    }
    std::vector<FreeRun> runs;
    if (Status s = ReadFreeChain(m, size, runs); s.failed()) return s;
    end = runs.empty() ? GetLe32(word) : runs.back().next;
    return {};
}

}  // namespace

Status ReadAppendFloor(MemoFile& m, uint64_t size) {
    m.append_floor = 0;
    m.appends_refused = false;
    uint64_t end = 0;
    if (Status s = RecordedEnd(m, size, end); s.failed()) return s;
    const uint64_t blocks = (size + m.block_size - 1) / m.block_size;
    if (end <= blocks) return {};
    if (end * m.block_size - size > kLargestGap)
        m.appends_refused = true;
    else
        m.append_floor = static_cast<uint32_t>(end);
    return {};
}

Status FillToAppendFloor(MemoFile& m, uint64_t& at, std::string_view routine) {
    if (m.appends_refused)
        return Fail(1003,
                    m.name + " ends long before the end its header records; PackMemofile repairs it [" +
                        std::string(routine) + "]");
    const uint64_t floor = m.Offset(m.append_floor);
    if (at >= floor) return {};
    uint64_t size = 0;
    if (Status s = MemoSize(m, size); s.failed()) return s;
    if (size < floor) {
        const std::string fill(static_cast<size_t>(floor - size), m.kind == MemoKind::Dbase3 ? kMemoEnd : '\0');
        if (int rc = m.file.WriteAt(size, fill); rc != 0)
            return Fail(1005,
                        m.name + " (" + ErrorCodeText(static_cast<uint16_t>(rc)) + ") [" + std::string(routine) + "]");
    }
    at = floor;
    return {};
}

}  // namespace zurod
