// The memo file of a work area: opening and closing, the lock byte, finding
// and reading a stored memo, and appending one at the end of the file.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "engine/dbf/detail/memo_header.hpp"
#include "engine/dbf/files.hpp"
#include "engine/dbf/settings.hpp"
#include "engine/dbf/tables.hpp"
#include "engine/memo/detail/memo_file.hpp"
#include "platform/codepage.hpp"
#include "platform/dos_error.hpp"
#include "platform/paths.hpp"

namespace zurod {

namespace {

constexpr uint64_t kLockByte = 10;
constexpr std::chrono::seconds kLockWait{10};
constexpr size_t kFirstScan = 4096;
constexpr size_t kLargestScan = size_t{1} << 20;
constexpr size_t kLargestProbe = size_t{1} << 16;

std::string Bracketed(std::string_view routine) { return " [" + std::string(routine) + "]"; }

// The header's block size; 0 or a size the engine cannot use is refused.
Status ReadBlockSize(MemoFile& m, uint64_t size) {
    const auto damaged = [&](const std::string& what) { return Fail(1300, m.name + ": " + what + " [USE]"); };
    if (m.kind == MemoKind::Dbase3) {
        if (size < kDbase3MemoBlock) return damaged("memo file header is cut short");
        m.block_size = kDbase3MemoBlock;
        return {};
    }
    const size_t need = m.kind == MemoKind::FoxPro ? kFoxMemoHeader : kDbase4MemoHeader;
    if (size < need) return damaged("memo file header is cut short");
    char header[kDbase4MemoHeader];
    size_t got = 0;
    if (int rc = m.file.ReadAt(0, header, got); rc != 0 || got < sizeof header)
        return Fail(static_cast<uint16_t>(rc != 0 ? rc : 30), m.name + " [ReadGroupHeader()]");
    uint32_t block =
        m.kind == MemoKind::FoxPro ? GetBe16(header + kFoxMemoBlockSizeAt) : GetLe16(header + kDbase4MemoBlockSizeAt);
    if (block == 0) block = Settings().memo_block_size;
    if (block < kMinMemoBlock) return damaged("memo block size " + std::to_string(block) + " is not supported");
    m.block_size = block;
    return {};
}

platform::Access AccessFor(const TWorkArea& a, platform::Share& share) {
    const EngineSettings& s = Settings();
    uint8_t mode = a.exclusive ? kOpenExclusive : s.default_open_mode;
    if (!s.network_mode) mode = kOpenReadWrite;
    const OpenMode decoded = DecodeOpenMode(EffectiveOpenMode(mode));
    share = decoded.share;
    return decoded.access;
}

}  // namespace

MemoKind KindOf(uint8_t memo_type) {
    if (memo_type == kDbase3Memo) return MemoKind::Dbase3;
    if (memo_type == kFoxProMemo) return MemoKind::FoxPro;
    return MemoKind::Dbase4;
}

uint8_t MemoTypeOf(const TWorkArea& area) {
    const uint8_t v = area.Version();
    if (v == kDbase3Memo || v == kDbase4Memo || v == kLevel7Memo || v == kFoxProMemo) return v;
    return Settings().memo_type;
}

uint32_t MemoFile::FirstDataBlock() const {
    return kind == MemoKind::FoxPro ? static_cast<uint32_t>((kFoxMemoHeader - 1) / block_size + 1) : 1;
}

MemoFile* MemoOf(TWorkArea& area) { return static_cast<MemoFile*>(area.memo_state.get()); }

Status RequireMemo(TWorkArea& area, std::string_view routine, MemoFile*& memo) {
    memo = MemoOf(area);
    if (memo) return {};
    return Fail(1019, area.file_name + " No Memo Field" + Bracketed(routine));
}

Status OpenMemoFile(TWorkArea& a) {
    const uint8_t type = MemoTypeOf(a);
    const std::string name = ForceExt(a.file_name, MemoExtension(type));
    if (a.memo_state) return Fail(1007, name + " [USE]");
    if (Status s = FinishInterruptedPack(a, name); s.failed()) return s;

    auto memo = std::make_unique<MemoFile>();
    memo->type = type;
    memo->kind = KindOf(type);
    memo->lockable = Settings().network_mode && !a.exclusive;
    platform::Share share;
    const platform::Access access = AccessFor(a, share);
    if (int rc = memo->file.Open(name, access, share); rc != 0)
        return Fail(static_cast<uint16_t>(rc), "Memo file not found: " + name + " [USE]");
    memo->name = memo->file.Path();
    uint64_t size = 0;
    if (Status s = MemoSize(*memo, size); s.failed()) return s;
    if (Status s = ReadBlockSize(*memo, size); s.failed()) return s;
    if (Status s = ReadAppendFloor(*memo, size); s.failed()) return s;
    a.memo_state = std::move(memo);
    return {};
}

int CreateOwnFile(platform::File& file, const std::string& path) {
    (void)platform::RemoveFile(path);
    return file.Open(path, platform::Access::ReadWrite, platform::Share::Exclusive, platform::Disposition::CreateNew);
}

Status ShareMemoAsTable(TWorkArea& a) {
    MemoFile* m = MemoOf(a);
    platform::Share share;
    (void)AccessFor(a, share);
    // Share modes deny more in the order of their values.
    if (!m || m->file.CurrentShare() <= share) return {};
    if (int rc = m->file.ChangeShare(share); rc != 0)
        return Fail(static_cast<uint16_t>(rc), m->name + " [ReopenTable]");
    m->lockable = Settings().network_mode && !a.exclusive;
    return {};
}

Status CloseMemoFile(TWorkArea& a) {
    MemoFile* m = MemoOf(a);
    if (!m) return {};
    Status status;
    if (m->stream.open) status = EndStream(a, *m);
    status = FirstFailure(std::move(status), FreePendingRuns(a, *m, true));
    status = FirstFailure(std::move(status), UnlockMemo(*m, "CloseMemofile"));
    m->file.Close();
    a.memo_state.reset();
    if (status.failed() && status.message.find("[CloseMemofile]") == std::string::npos)
        status.message += " [CloseMemofile]";
    return status;
}

Status MemoFailure(const MemoFile& memo, uint16_t code, std::string_view what, const MemoSite& site) {
    std::string message = memo.name;
    if (!what.empty()) message += ": " + std::string(what);
    if (site.record >= 0) message += "\n Record # " + std::to_string(site.record);
    return Fail(code, message + Bracketed(site.routine));
}

Status LockMemo(MemoFile& memo, std::string_view routine) {
    if (!memo.lockable || memo.locked) return {};
    // Writers hold the byte for one memo at a time (a write stream for as
    // long as it is open): a busy byte is waited for, as the index semaphore
    // waits for its region, and only a holder that keeps it past the wait
    // makes the write fail.
    const auto give_up = std::chrono::steady_clock::now() + kLockWait;
    auto pause = std::chrono::microseconds(20);
    for (;;) {
        const int rc = memo.file.Lock(kLockByte, 1);
        if (rc == 0) break;
        if (rc != platform::kLockViolation || std::chrono::steady_clock::now() >= give_up)
            return Fail(1017, memo.name + Bracketed(routine));
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::microseconds(10'000));
    }
    memo.locked = true;
    return {};
}

Status UnlockMemo(MemoFile& memo, std::string_view routine) {
    if (!memo.locked) return {};
    memo.locked = false;
    if (memo.file.Unlock(kLockByte, 1) != 0) return Fail(1018, memo.name + Bracketed(routine));
    return {};
}

int MemoHandle::ReadAt(uint64_t offset, std::span<char> out, size_t& got) const {
    const uint64_t end = offset + out.size();
    // A read that starts at or after the last one, not far past its end,
    // is a walk forward: it brings a block. Others read alone.
    const bool forward = last_ != UINT64_MAX && offset >= last_ && offset - std::min(offset, next_) < kAhead;
    last_ = offset;
    if (Alone() && !ahead_.empty() && offset >= ahead_at_ && end <= ahead_at_ + ahead_.size()) {
        std::memcpy(out.data(), ahead_.data() + (offset - ahead_at_), out.size());
        got = out.size();
        next_ = end;
        return 0;
    }
    if (!Alone() || !forward || out.size() >= kAhead) {
        const int rc = File::ReadAt(offset, out, got);
        next_ = rc == 0 ? offset + got : UINT64_MAX;
        return rc;
    }
    ahead_.resize(kAhead);
    size_t read = 0;
    if (int rc = File::ReadAt(offset, ahead_, read); rc != 0) {
        Forget();
        return rc;
    }
    ahead_.resize(read);
    ahead_at_ = offset;
    got = std::min(read, out.size());
    std::memcpy(out.data(), ahead_.data(), got);
    next_ = offset + got;
    return 0;
}

int MemoHandle::WriteAt(uint64_t offset, std::span<const char> bytes) {
    const int rc = File::WriteAt(offset, bytes);
    if (rc != 0) {
        Forget();  // what reached the file is unknown
        return rc;
    }
    size_ = std::max<uint64_t>(size_, offset + bytes.size());
    const uint64_t end = offset + bytes.size();
    const uint64_t ahead_end = ahead_at_ + ahead_.size();
    if (!ahead_.empty() && offset < ahead_end && end > ahead_at_) {
        if (offset >= ahead_at_ && end <= ahead_end)
            std::memcpy(ahead_.data() + (offset - ahead_at_), bytes.data(), bytes.size());
        else
            ahead_.clear();
    }
    return 0;
}

int MemoHandle::Truncate(uint64_t length) {
    Forget();
    return File::Truncate(length);
}

int MemoHandle::Size(uint64_t& size) const {
    if (known_ && Alone()) {
        size = size_;
        return 0;
    }
    const int rc = File::Size(size);
    known_ = rc == 0;
    size_ = size;
    return rc;
}

Status MemoSize(const MemoFile& memo, uint64_t& size) {
    if (int rc = memo.file.Size(size); rc != 0) return Fail(static_cast<uint16_t>(rc), memo.name);
    return {};
}

void LearnProbe(const MemoFile& m, size_t bytes) {
    m.probe = std::clamp<size_t>(bytes, kDbase3MemoBlock, kLargestProbe);
}

Status ParseMemoHead(const MemoFile& m, uint64_t size, uint32_t block, const char* head, size_t got, MemoExtent& e,
                     const MemoSite& site) {
    const uint64_t at = m.Offset(block);
    e = MemoExtent{};
    e.block = block;
    const auto past_end = [&](uint64_t length) {
        return MemoFailure(m, 1003,
                           "the memo at block " + std::to_string(block) + " is " + std::to_string(length) +
                               " bytes long, past the end of the file",
                           site);
    };
    if (m.kind == MemoKind::FoxPro) {
        if (got < kBlockHeader) return past_end(kBlockHeader);
        e.fox_type = GetBe32(head);
        e.length = GetBe32(head + 4);
        e.start = at + kBlockHeader;
        if (e.start + static_cast<uint64_t>(e.length) > size) return past_end(static_cast<uint64_t>(e.length));
        return {};
    }
    if (got >= kBlockHeader && std::memcmp(head, "\xFF\xFF\x08\x00", 4) == 0) {
        const uint32_t total = GetLe32(head + 4);
        if (total < kBlockHeader)
            return MemoFailure(
                m, 1003, "memo block " + std::to_string(block) + " has the length " + std::to_string(total), site);
        if (at + total > size) return past_end(total);
        e.headed = true;
        e.start = at + kBlockHeader;
        e.length = total - kBlockHeader;
        return {};
    }
    // Every dBASE IV memo begins with the mark: a block without it is no
    // memo's start (a free run, the middle of a memo, a changed block size).
    if (m.kind == MemoKind::Dbase4)
        return MemoFailure(m, 1003, "memo block " + std::to_string(block) + " holds no memo", site);
    e.start = at;
    return {};
}

Status CheckMemoBlock(const MemoFile& m, uint64_t size, uint32_t block, const MemoSite& site) {
    if (block < m.FirstDataBlock())
        return MemoFailure(m, 1003, "memo block " + std::to_string(block) + " lies in the header", site);
    if (m.Offset(block) + 1 >= size) return MemoFailure(m, 1003, "", site);
    return {};
}

Status LocateMemo(const MemoFile& m, uint64_t size, uint32_t block, MemoExtent& e, const MemoSite& site) {
    if (Status s = CheckMemoBlock(m, size, block, site); s.failed()) return s;
    char head[kBlockHeader];
    size_t got = 0;
    if (int rc = m.file.ReadAt(m.Offset(block), head, got); rc != 0)
        return MemoFailure(m, static_cast<uint16_t>(rc), "", site);
    return ParseMemoHead(m, size, block, head, got, e, site);
}

Status ReadMemoData(const MemoFile& m, uint64_t size, const MemoExtent& e, std::string& data, size_t limit,
                    const MemoSite& site) {
    data.clear();
    if (e.length >= 0) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(static_cast<uint64_t>(e.length), limit));
        data.resize(n);
        size_t got = 0;
        int rc = m.file.ReadAt(e.start, data, got);
        if (rc == 0 && got < n) rc = 100;
        if (rc != 0) return MemoFailure(m, static_cast<uint16_t>(rc), "", site);
        return {};
    }
    // Up to the end mark, in growing steps: most memos are short.
    uint64_t at = e.start;
    size_t step = kFirstScan;
    while (at < size && data.size() < limit) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>({step, size - at, limit - data.size()}));
        const size_t from = data.size();
        data.resize(from + want);
        size_t got = 0;
        if (int rc = m.file.ReadAt(at, std::span(data.data() + from, want), got); rc != 0)
            return MemoFailure(m, static_cast<uint16_t>(rc), "", site);
        data.resize(from + got);
        if (const size_t end = data.find(kMemoEnd, from); end != std::string::npos) {
            data.resize(end);
            return {};
        }
        if (got < want) break;
        at += got;
        step = std::min(step * 2, kLargestScan);
    }
    return {};
}

Status ReadMemo(const MemoFile& m, uint64_t size, uint32_t block, MemoExtent& e, std::string& data, size_t limit,
                const MemoSite& site) {
    if (Status s = CheckMemoBlock(m, size, block, site); s.failed()) return s;
    // One read brings most memos whole, block header and all.
    const uint64_t at = m.Offset(block);
    data.resize(static_cast<size_t>(std::min<uint64_t>(m.probe, size - at)));
    size_t got = 0;
    if (int rc = m.file.ReadAt(at, data, got); rc != 0) return MemoFailure(m, static_cast<uint16_t>(rc), "", site);
    data.resize(got);
    if (Status s = ParseMemoHead(m, size, block, data.data(), got, e, site); s.failed()) return s;
    const size_t skip = static_cast<size_t>(e.start - at);
    if (e.length >= 0) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(static_cast<uint64_t>(e.length), limit));
        m.probe = std::clamp<size_t>(skip + n, kDbase3MemoBlock, kLargestProbe);
        if (skip + n > data.size()) return ReadMemoData(m, size, e, data, limit, site);
        data.erase(0, skip);
        data.resize(n);
        return {};
    }
    if (const size_t end = data.find(kMemoEnd); end != std::string::npos) {
        m.probe = std::clamp<size_t>(end + 2, kDbase3MemoBlock, kLargestProbe);
        data.resize(std::min(end, limit));
        return {};
    }
    if (data.size() >= limit || at + got >= size) {
        data.resize(std::min(data.size(), limit));
        return {};
    }
    MemoExtent rest = e;
    rest.start = at + got;
    std::string tail;
    if (Status s = ReadMemoData(m, size, rest, tail, limit - data.size(), site); s.failed()) return s;
    data += tail;
    m.probe = std::clamp<size_t>(data.size() + 2, kDbase3MemoBlock, kLargestProbe);
    return {};
}

Status PadMemoFile(MemoFile& m, uint64_t at, std::string_view routine) {
    uint64_t size = 0;
    if (Status s = MemoSize(m, size); s.failed()) return s;
    if (at <= size) return {};
    const std::string zeros(static_cast<size_t>(at - size), '\0');
    if (int rc = m.file.WriteAt(size, zeros); rc != 0)
        return Fail(1005, m.name + " (" + ErrorCodeText(static_cast<uint16_t>(rc)) + ")" + Bracketed(routine));
    return {};
}

Status PrepareAppend(MemoFile& m, std::string_view routine, uint64_t& at, bool pad) {
    if (Status s = LockMemo(m, routine); s.failed()) return s;
    uint64_t size = 0;
    if (Status s = MemoSize(m, size); s.failed()) return s;
    if (m.kind == MemoKind::Dbase3 && size == kDbase3MemoBlock + 1) {
        at = kDbase3MemoBlock;
        return {};
    }
    const uint64_t bs = m.block_size;
    at = std::max((size + bs - 1) / bs, uint64_t{m.FirstDataBlock()}) * bs;
    if (Status s = FillToAppendFloor(m, at, routine); s.failed()) return s;
    if (at / bs > UINT32_MAX) return Fail(1005, m.name + " is full" + Bracketed(routine));
    return pad ? PadMemoFile(m, at, routine) : Status{};
}

uint32_t Dbase4Blocks(uint64_t data_length, uint32_t block_size) {
    return static_cast<uint32_t>((data_length + kBlockHeader) / block_size + 1);
}

Status BuildMemoImage(const MemoFile& m, std::string_view data, bool headed, uint32_t fox_type, std::string& image,
                      std::string_view routine) {
    const size_t from = image.size();
    const bool fox = m.kind == MemoKind::FoxPro;
    uint64_t length = 0;
    if (!fox && !headed) {
        if (data.find(kMemoEnd) != std::string_view::npos)
            return Fail(1300, m.name + ": a dBASE III memo cannot hold the byte 0x1A" + Bracketed(routine));
        image.reserve(from + data.size() + 3 + m.block_size);
        image.append(data);
        // When the pair splits over two blocks, a third mark puts a whole pair
        // in the second: readers that look for the pair block by block would
        // otherwise read on into the memos that follow.
        image.append((data.size() + 1) % m.block_size == 0 ? 3 : 2, kMemoEnd);
        length = image.size() - from;
    } else {
        if (data.size() > UINT32_MAX - kBlockHeader)
            return Fail(1300,
                        m.name + ": a memo cannot hold " + std::to_string(data.size()) + " bytes" + Bracketed(routine));
        char head[kBlockHeader];
        if (fox) {
            PutBe32(head, fox_type);
            PutBe32(head + 4, static_cast<uint32_t>(data.size()));
            length = data.size() + kBlockHeader;
        } else {
            std::memcpy(head, "\xFF\xFF\x08\x00", 4);
            PutLe32(head + 4, static_cast<uint32_t>(data.size() + kBlockHeader));
            length = uint64_t{Dbase4Blocks(data.size(), m.block_size)} * m.block_size;
        }
        image.reserve(from + data.size() + kBlockHeader + m.block_size);
        image.append(head, kBlockHeader);
        image.append(data);
    }
    const uint64_t blocks = (length + m.block_size - 1) / m.block_size;
    image.resize(from + static_cast<size_t>(blocks * m.block_size), '\0');
    return {};
}

Status AppendImage(MemoFile& m, uint64_t at, std::string_view image, std::string_view routine) {
    const uint64_t end = at + image.size();
    const uint64_t eof = (end + m.block_size - 1) / m.block_size;
    if (eof > UINT32_MAX) return Fail(1005, m.name + " is full" + Bracketed(routine));
    const auto failed = [&](int rc) { return Fail(static_cast<uint16_t>(rc), m.name + "\n" + Bracketed(routine)); };
    if (m.kind == MemoKind::Dbase4) {
        // The chain's end moves past the new memo before it is written, so
        // that no link ever points into a memo. With no free run the end is
        // the header's first word, written with the counter in one go.
        constexpr size_t kHeaderWords = 36;
        char header[kHeaderWords] = {};
        size_t got = 0;
        if (int rc = m.file.ReadAt(0, header, got); rc != 0 || got < kHeaderWords)
            return Fail(static_cast<uint16_t>(rc != 0 ? rc : 30), m.name + " [ReadGroupHeader()]");
        if (GetLe32(header) >= at / m.block_size) {
            PutLe32(header, static_cast<uint32_t>(eof));
            PutLe32(header + 32, GetLe32(header + 32) + 1);
            if (int rc = m.file.WriteAt(0, header); rc != 0)
                return Fail(static_cast<uint16_t>(rc), m.name + " [UpdateMemoHeader()]");
        } else {
            if (Status s = MoveChainEnd(m, at, static_cast<uint32_t>(eof), routine); s.failed()) return s;
            if (Status s = CountMemoWrite(m, routine); s.failed()) return s;
        }
        if (int rc = m.file.WriteAt(at, image); rc != 0) return failed(rc);
        return {};
    }
    if (int rc = m.file.WriteAt(at, image); rc != 0) return failed(rc);
    char next[4];
    if (m.kind == MemoKind::FoxPro)
        PutBe32(next, static_cast<uint32_t>(eof));
    else
        PutLe32(next, static_cast<uint32_t>(eof));
    if (int rc = m.file.WriteAt(0, next); rc != 0)
        return Fail(static_cast<uint16_t>(rc), m.name + " [UpdateMemoHeader()]");
    return {};
}

Status CountMemoWrite(MemoFile& m, std::string_view) {
    constexpr uint64_t kCounterAt = 32;
    char word[4] = {};
    size_t got = 0;
    (void)m.file.ReadAt(kCounterAt, word, got);
    PutLe32(word, GetLe32(word) + 1);
    if (int rc = m.file.WriteAt(kCounterAt, word); rc != 0)
        return Fail(static_cast<uint16_t>(rc), m.name + " [MainHeaderWrite()]");
    return {};
}

void ToStored(const TWorkArea& area, std::string& text) {
    if (area.oem) platform::AnsiToOem(std::span<char>(text));
}

void FromStored(const TWorkArea& area, std::string& text) {
    if (area.oem) platform::OemToAnsi(std::span<char>(text));
}

uint32_t GetLe32(const char* p) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(p[i]);
    return v;
}
uint32_t GetBe32(const char* p) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = (v << 8) | static_cast<uint8_t>(p[i]);
    return v;
}
uint16_t GetLe16(const char* p) {
    return static_cast<uint16_t>(static_cast<uint8_t>(p[0]) | (static_cast<uint8_t>(p[1]) << 8));
}
uint16_t GetBe16(const char* p) {
    return static_cast<uint16_t>((static_cast<uint8_t>(p[0]) << 8) | static_cast<uint8_t>(p[1]));
}
void PutLe32(char* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<char>(v >> (8 * i));
}
void PutBe32(char* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<char>(v >> (8 * (3 - i)));
}

}  // namespace zurod
