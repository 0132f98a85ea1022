// BLOB streams: byte access to one memo of the current area. A read stream
// reads the file where the memo lies. A write stream takes the block at the
// end of the file at once (the caller puts it into the record) and holds the
// memo lock; its bytes gather in memory and are stored as one memo when the
// stream ends, so nothing half written ever stands in the file.
#include <algorithm>
#include <cstring>

#include "engine/dbf/detail/area_table.hpp"
#include "engine/memo/detail/memo_file.hpp"
#include "engine/memo/detail/operations.hpp"
#include "engine/memo/memo.hpp"
#include "platform/codepage.hpp"

namespace zurod {

namespace {

constexpr size_t kDecidingChunk = 32767;

// Text when every byte of the first chunk is printable or a usual control.
int DecideText(std::span<const char> bytes) {
    const size_t n = std::min(bytes.size(), kDecidingChunk);
    for (size_t i = 0; i < n; ++i) {
        const auto c = static_cast<uint8_t>(bytes[i]);
        if (c < 32 && c != 9 && c != 10 && c != 13 && c != 15 && c != 20 && c != 21) return 0;
    }
    return 1;
}

// The area's memo file and its open stream in `mode`, or nullptr.
MemoFile* StreamIn(std::string_view routine, int mode, TWorkArea*& area) {
    area = Guarded(routine);
    if (!area) return nullptr;
    MemoFile* m = MemoOf(*area);
    if (!m || !m->stream.open || m->stream.mode != mode) return nullptr;
    return m;
}

uint32_t Magnitude(int32_t block) {
    return block < 0 ? static_cast<uint32_t>(-static_cast<int64_t>(block)) : static_cast<uint32_t>(block);
}

Status OpenStream(TWorkArea& a, MemoFile& m, bool detect_text, int32_t block, int mode, int32_t& result) {
    constexpr std::string_view routine = "CreateBlobDescriptor";
    result = 0;
    if (m.stream.open)
        if (Status s = EndStream(a, m); s.failed()) return s;
    BlobStream& st = m.stream;
    st.Reset();
    st.text_state = detect_text ? -1 : 0;
    if (mode == 1) {
        const uint32_t b = Magnitude(block);
        st.open = true;
        st.mode = 1;
        if (b == 0) {
            st.length = 0;  // no memo reads as an empty one
            return {};
        }
        uint64_t size = 0;
        MemoExtent extent;
        if (Status s = MemoSize(m, size); s.failed()) return s;
        // The read that finds the memo's head brings as much as the last
        // memo needed, so that most memos need no other read.
        const MemoSite site{"CreateBlobDescriptor", a.rec_no};
        Status found = CheckMemoBlock(m, size, b, site);
        if (found.ok()) {
            st.ahead_at = m.Offset(b);
            st.ahead.resize(static_cast<size_t>(std::min<uint64_t>(m.probe, size - st.ahead_at)));
            size_t got = 0;
            if (int rc = m.file.ReadAt(st.ahead_at, st.ahead, got); rc != 0)
                found = MemoFailure(m, static_cast<uint16_t>(rc), "", site);
            st.ahead.resize(got);
        }
        if (found.ok()) found = ParseMemoHead(m, size, b, st.ahead.data(), st.ahead.size(), extent, site);
        if (found.failed()) {
            st.Reset();
            return found;
        }
        if (extent.length >= 0) LearnProbe(m, static_cast<size_t>(extent.start - st.ahead_at + extent.length));
        st.file_size = size;
        st.block = b;
        st.data_start = extent.start;
        st.length = extent.length;
        result = static_cast<int32_t>(b);
        return {};
    }
    if (mode != 2) return Fail(220, "Invalid stream mode " + std::to_string(mode) + " [CreateBlobDescriptor]");
    uint64_t at = 0;
    if (Status s = PrepareAppend(m, routine, at, false); s.failed()) {
        (void)UnlockMemo(m, routine);
        return s;
    }
    st.open = true;
    st.mode = 2;
    st.block = static_cast<uint32_t>(at / m.block_size);
    st.data_start = at + kBlockHeader;
    result = static_cast<int32_t>(st.block);
    return {};
}

// The data length of a read stream whose memo ends at 0x1A.
Status FindLength(const MemoFile& m, const BlobStream& st, int64_t& length) {
    uint64_t size = 0;
    if (Status s = MemoSize(m, size); s.failed()) return s;
    MemoExtent extent;
    extent.start = st.data_start;
    std::string data;
    if (Status s = ReadMemoData(m, size, extent, data, SIZE_MAX, {"SeekBlobStream"}); s.failed()) return s;
    length = static_cast<int64_t>(data.size());
    return {};
}

}  // namespace

Status EndStream(TWorkArea& a, MemoFile& m) {
    constexpr std::string_view routine = "DestroyBlobDescriptor";
    BlobStream& st = m.stream;
    Status status;
    if (st.open && st.mode == 2 && st.furthest > 0) {
        st.data.resize(static_cast<size_t>(st.furthest));
        m.io.clear();
        status = BuildMemoImage(m, st.data, m.kind == MemoKind::Dbase4, kFoxText, m.io, routine);
        if (status.ok()) status = PadMemoFile(m, m.Offset(st.block), routine);
        if (status.ok()) status = AppendImage(m, m.Offset(st.block), m.io, routine);
    }
    const bool held = st.open && st.mode == 2;
    st.Reset();
    if (held) status = FirstFailure(std::move(status), UnlockMemo(m, routine));
    (void)a;
    return status;
}

int32_t CreateBlobDescriptor(bool detect_text, int32_t block, int mode) {
    TWorkArea* a = StartCommand("CreateBlobDescriptor");
    if (!a) return 0;
    MemoFile* m = nullptr;
    if (Status s = RequireMemo(*a, "CreateBlobDescriptor", m); s.failed()) {
        Report(s);
        return 0;
    }
    int32_t result = 0;
    Report(OpenStream(*a, *m, detect_text, block, mode, result));
    return result;
}

void DestroyBlobDescriptor() {
    TWorkArea* a = Guarded("DestroyBlobDescriptor");
    if (!a) return;
    if (MemoFile* m = MemoOf(*a)) Report(EndStream(*a, *m));
}

int32_t ReadBlobStream(std::span<char> buffer) {
    TWorkArea* a = nullptr;
    MemoFile* m = StreamIn("ReadBlobStream", 1, a);
    if (!m || buffer.empty()) return 0;
    BlobStream& st = m->stream;
    // The memo lies within the file as it was when the stream opened.
    const uint64_t size = st.file_size;
    const uint64_t at = st.data_start + static_cast<uint64_t>(st.position);
    uint64_t n = buffer.size();
    if (st.length >= 0) n = std::min<uint64_t>(n, static_cast<uint64_t>(std::max<int64_t>(st.length - st.position, 0)));
    n = at < size ? std::min(n, size - at) : 0;
    if (n == 0) return 0;
    // First what the head's read brought, then the file for the rest (none
    // when the end mark is already there).
    size_t got = 0;
    if (at >= st.ahead_at && at < st.ahead_at + st.ahead.size()) {
        got = static_cast<size_t>(std::min<uint64_t>(n, st.ahead_at + st.ahead.size() - at));
        std::memcpy(buffer.data(), st.ahead.data() + (at - st.ahead_at), got);
    }
    if (got < n && (st.length >= 0 || !std::memchr(buffer.data(), kMemoEnd, got))) {
        size_t more = 0;
        if (int rc = m->file.ReadAt(at + got, buffer.subspan(got, static_cast<size_t>(n) - got), more); rc != 0) {
            Report(Fail(static_cast<uint16_t>(rc), m->name + " [ReadBlobStream]"));
            return 0;
        }
        got += more;
    }
    std::span<char> read = buffer.first(got);
    if (st.length < 0) {
        if (const void* end = std::memchr(read.data(), kMemoEnd, read.size())) {
            read = read.first(static_cast<size_t>(static_cast<const char*>(end) - read.data()));
            st.length = st.position + static_cast<int64_t>(read.size());
            LearnProbe(*m, static_cast<size_t>(st.data_start - st.ahead_at + st.length + 2));
        }
    }
    if (st.text_state < 0) st.text_state = DecideText(read);
    if (st.text_state == 1 && a->oem) platform::OemToAnsi(read);
    st.position += static_cast<int64_t>(read.size());
    return static_cast<int32_t>(read.size());
}

int32_t WriteBlobStream(std::span<const char> buffer) {
    TWorkArea* a = nullptr;
    MemoFile* m = StreamIn("WriteBlobStream", 2, a);
    if (!m || buffer.empty()) return 0;
    BlobStream& st = m->stream;
    if (st.text_state < 0) st.text_state = DecideText(buffer);
    const uint64_t end = static_cast<uint64_t>(st.position) + buffer.size();
    if (end > UINT32_MAX - kBlockHeader) {
        Report(Fail(1300, m->name + ": a memo cannot hold " + std::to_string(end) + " bytes [WriteBlobStream]"));
        return 0;
    }
    // A dBASE III memo ends at the first 0x1A: such data could never be read
    // back. (The pages agree below 0x80, so the byte is the same either way.)
    if (m->kind == MemoKind::Dbase3 && std::find(buffer.begin(), buffer.end(), kMemoEnd) != buffer.end()) {
        Report(Fail(1300, m->name + ": a dBASE III memo cannot hold the byte 0x1A [WriteBlobStream]"));
        return 0;
    }
    if (st.data.size() < end) st.data.resize(static_cast<size_t>(end), '\0');
    const std::span<char> into(st.data.data() + st.position, buffer.size());
    std::copy(buffer.begin(), buffer.end(), into.begin());
    if (st.text_state == 1 && a->oem) platform::AnsiToOem(into);
    st.position = static_cast<int64_t>(end);
    st.furthest = std::max(st.furthest, st.position);
    return static_cast<int32_t>(buffer.size());
}

int64_t BlobSeek(int64_t offset, int origin) {
    TWorkArea* a = Guarded("SeekBlobStream");
    if (!a) return 0;
    MemoFile* m = MemoOf(*a);
    if (!m || !m->stream.open) return 0;
    BlobStream& st = m->stream;
    int64_t base = 0;
    switch (origin) {
    case 0: break;
    case 1: base = st.position; break;
    case 2:
        if (st.mode == 2) {
            base = st.furthest;
        } else if (st.length >= 0) {
            base = st.length;
        } else if (Status s = FindLength(*m, st, base); s.failed()) {
            Report(s);
            return st.position;
        }
        break;
    default:
        Report(Fail(220, "Invalid seek origin " + std::to_string(origin) + " [SeekBlobStream]"));
        return st.position;
    }
    int64_t position = 0;
    if (__builtin_add_overflow(base, offset, &position)) position = offset > 0 ? INT64_MAX : 0;
    st.position = std::max<int64_t>(position, 0);
    return st.position;
}

}  // namespace zurod
