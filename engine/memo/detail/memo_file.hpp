#pragma once
// The open memo file of a work area and the routines that read and write its
// three layouts (see engine/dbf/detail/memo_header.hpp for the headers):
//
// dBASE III: a memo is its text and two 0x1A bytes, from the start of its
//   block; readers stop at the first 0x1A. A text that puts the first mark
//   at the end of a block gets a third, so that the next block holds a pair.
// dBASE IV: a memo starts with the block header FF FF 08 00 and a u32 LE
//   total length (8 + data); a block without it holds no memo (1003). Free
//   runs form a chain from the header's first word, in ascending block order,
//   each run starting with u32 LE next run and u32 LE length in blocks; the
//   chain ends at the block at the end of the file.
// FoxPro: a memo starts with u32 BE type (1 text) and u32 BE data length.
//
// Nothing read from the file is trusted: blocks, lengths and block sizes are
// checked against the file before anything is read or allocated.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/dbf/detail/attachments.hpp"
#include "engine/dbf/detail/workarea.hpp"
#include "engine/dbf/errors.hpp"
#include "platform/file.hpp"

namespace zurod {

enum class MemoKind : uint8_t { Dbase3, Dbase4, FoxPro };

MemoKind KindOf(uint8_t memo_type);
// The layout of a table: its version when that names one, else the setting.
uint8_t MemoTypeOf(const TWorkArea& area);

inline constexpr uint32_t kMinMemoBlock = 64;
inline constexpr size_t kBlockHeader = 8;
inline constexpr char kMemoEnd = 0x1A;
inline constexpr uint32_t kFoxText = 1;

// Where a stored memo lies.
struct MemoExtent {
    uint32_t block = 0;
    uint64_t start = 0;   // its first data byte
    int64_t length = -1;  // data bytes; -1: up to the first 0x1A (no block header)
    uint32_t fox_type = kFoxText;
    bool headed = false;  // a dBASE IV block header
};

// Says which memo a failure is about, for its message; built only on failure.
struct MemoSite {
    const char* routine;  // "GetMemo", ...
    int32_t record = -1;  // -1: no record to name
};

// One BLOB stream of an area (one at a time).
struct BlobStream {
    bool open = false;
    int mode = 0;         // 1 read, 2 write
    int64_t length = -1;  // data length; -1 unknown (a memo that ends at 0x1A)
    uint64_t data_start = 0;
    int64_t position = 0;
    uint32_t block = 0;
    int text_state = 0;    // -1 undecided, 0 binary, 1 text
    std::string data;      // what a write stream has written, stored at the end
    int64_t furthest = 0;  // the furthest position written
    // A read stream: the memo file's size when it opened (the memo, never
    // written over while it is live, lies within it), and the bytes from
    // `ahead_at` that the read of its head brought (most memos whole).
    uint64_t file_size = 0;
    uint64_t ahead_at = 0;
    std::string ahead;

    // Back to no stream; buffers of usual sizes keep their room for the next one.
    void Reset() {
        std::string keep_ahead = std::move(ahead), keep_data = std::move(data);
        *this = BlobStream{};
        constexpr size_t kKept = size_t{64} << 10;
        if (keep_ahead.capacity() <= kKept) ahead = std::move(keep_ahead);
        if (keep_data.capacity() <= kKept) data = std::move(keep_data);
        ahead.clear();
        data.clear();
    }
};

// The memo file's handle. While no other open may write the file it
// remembers the file's size, and reads that follow one another come from a
// block read ahead, so that reading the memos of a walk costs a read per
// many memos and no question about the size. Every write and truncation
// goes through here and keeps both right; a file others may write is always
// asked and read anew.
class MemoHandle : public platform::File {
public:
    static constexpr size_t kAhead = size_t{64} << 10;

    int Open(const std::string& path, platform::Access access, platform::Share share,
             platform::Disposition disposition = platform::Disposition::OpenExisting) {
        Forget();
        return File::Open(path, access, share, disposition);
    }
    void Close() {
        Forget();
        File::Close();
    }
    int ReadAt(uint64_t offset, std::span<char> out, size_t& got) const;
    int WriteAt(uint64_t offset, std::span<const char> bytes);
    int Truncate(uint64_t length);
    int ChangeShare(platform::Share share) {
        Forget();
        return File::ChangeShare(share);
    }
    int Size(uint64_t& size) const;

private:
    bool Alone() const { return CurrentShare() != platform::Share::DenyNone; }
    void Forget() const {
        known_ = false;
        ahead_.clear();
        last_ = next_ = UINT64_MAX;
    }

    mutable uint64_t size_ = 0;
    mutable bool known_ = false;
    mutable std::vector<char> ahead_;
    mutable uint64_t ahead_at_ = 0;
    mutable uint64_t last_ = UINT64_MAX, next_ = UINT64_MAX;  // where the last read started and ended
};

struct MemoFile final : MemoAreaState {
    MemoHandle file;
    std::string name;  // the memo file's name, for messages
    uint8_t type = 0;
    MemoKind kind = MemoKind::Dbase4;
    uint32_t block_size = 512;
    bool lockable = false;  // shared: writes take the lock byte first
    bool locked = false;
    BlobStream stream;
    // Runs of replaced dBASE IV memos, freed once no record on disk refers to them.
    struct Run {
        uint32_t block, blocks;
    };
    std::vector<Run> pending;
    std::string io;    // write space, reused for every memo
    std::string text;  // text space of additions and copies, reused likewise
    // How much a read of a memo takes at once: as much as the last memo
    // needed, so that memos of one size take one read each.
    mutable size_t probe = 1024;
    // A file cut short: new memos start no lower than this block (0: no
    // floor), or are refused when the gap would be absurd.
    uint32_t append_floor = 0;
    bool appends_refused = false;

    uint64_t Offset(uint32_t block) const { return uint64_t{block} * block_size; }
    // The first block that may hold a memo (after the header).
    uint32_t FirstDataBlock() const;
};

// The area's open memo file, nullptr when it has none.
MemoFile* MemoOf(TWorkArea& area);
// The same, or 1019 naming the table and the routine.
Status RequireMemo(TWorkArea& area, std::string_view routine, MemoFile*& memo);

// Opens the memo file beside the area's table (finishing or rolling back a
// pack that a dead process left half done) and closes it.
Status OpenMemoFile(TWorkArea& area);
// A file the memo unit makes for itself beside the memo file (a pack's or a
// zap's new file, the pack's journal): one a dead process left goes first
// (unless an open holds it), and the name is created afresh, so a link
// planted under it is never followed. 0 or a DOS code.
int CreateOwnFile(platform::File& file, const std::string& path);
Status CloseMemoFile(TWorkArea& area);
// Gives the open memo file the table's share mode where it denies others
// more (see MemoAttachment::ShareAsTable).
Status ShareMemoAsTable(TWorkArea& area);

Status MemoFailure(const MemoFile& memo, uint16_t code, std::string_view what, const MemoSite& site);

// Lock byte 10 while a shared file is written; every failure path unlocks.
Status LockMemo(MemoFile& memo, std::string_view routine);
Status UnlockMemo(MemoFile& memo, std::string_view routine);
// Unlocks when the scope ends unless Keep() (a write stream holds the lock).
class MemoLockScope {
public:
    explicit MemoLockScope(MemoFile& memo) : memo_(memo) {}
    ~MemoLockScope() {
        if (!keep_) (void)UnlockMemo(memo_, "");
    }
    void Keep() { keep_ = true; }
    MemoLockScope(const MemoLockScope&) = delete;
    MemoLockScope& operator=(const MemoLockScope&) = delete;

private:
    MemoFile& memo_;
    bool keep_ = false;
};

Status MemoSize(const MemoFile& memo, uint64_t& size);
// How much a read of memo bytes takes at once (see MemoFile::probe), after
// a read that needed `bytes`.
void LearnProbe(const MemoFile& memo, size_t bytes);

// 0, or 1003 for a block outside the file's memos (in the header or past
// the end).
Status CheckMemoBlock(const MemoFile& memo, uint64_t size, uint32_t block, const MemoSite& site);
// Checks the first bytes of memo `block` (`got` of them were there to read)
// and says where its data lies.
Status ParseMemoHead(const MemoFile& memo, uint64_t size, uint32_t block, const char* head, size_t got,
                     MemoExtent& extent, const MemoSite& site);
// Finds memo `block` (positive) in a file of `size` bytes.
Status LocateMemo(const MemoFile& memo, uint64_t size, uint32_t block, MemoExtent& extent, const MemoSite& site);
// Reads a located memo's data as stored (at most `limit` bytes; a memo that
// ends at 0x1A is read up to it).
Status ReadMemoData(const MemoFile& memo, uint64_t size, const MemoExtent& extent, std::string& data, size_t limit,
                    const MemoSite& site);
// Both at once (one read for most memos).
Status ReadMemo(const MemoFile& memo, uint64_t size, uint32_t block, MemoExtent& extent, std::string& data,
                size_t limit, const MemoSite& site);

// Lock, pad the file to whole blocks (unless `pad` is false) and give the
// append position (a new dBASE III file's end mark is overwritten). The lock
// stays.
Status PrepareAppend(MemoFile& memo, std::string_view routine, uint64_t& at, bool pad = true);
// Notes, at open, whether the file ends before the end its header records
// (see cut_short.cpp).
Status ReadAppendFloor(MemoFile& memo, uint64_t size);
// Raises an append position below that end to it, filling the gap so that
// no block in it reads as a memo; 1003 when appends are refused.
Status FillToAppendFloor(MemoFile& memo, uint64_t& at, std::string_view routine);
// Zeros from the end of the file up to `at`.
Status PadMemoFile(MemoFile& memo, uint64_t at, std::string_view routine);

// Appends to `image` the bytes of a memo of `data` (stored form), padded to
// whole blocks: in a FoxPro file with its block header of `fox_type`;
// otherwise with the dBASE IV block header when `headed`, else as a dBASE III
// memo (which cannot hold 0x1A: 1300; `image` is left as it was).
Status BuildMemoImage(const MemoFile& memo, std::string_view data, bool headed, uint32_t fox_type, std::string& image,
                      std::string_view routine);
// Blocks a dBASE IV memo of `data_length` bytes occupies.
uint32_t Dbase4Blocks(uint64_t data_length, uint32_t block_size);

// Writes an image at the end position from PrepareAppend and brings the
// header up to date (next free block, the dBASE IV chain's end and counter).
Status AppendImage(MemoFile& memo, uint64_t at, std::string_view image, std::string_view routine);

// The dBASE IV free chain.
struct FreeRun {
    uint32_t block, blocks, next;
};
// The runs of the chain in order, up to `limit` of them; `eof` is the block
// at the end of the file. A link that leaves the file's blocks or a run that
// is not ascending ends the walk as the end of the chain would.
Status ReadFreeChain(const MemoFile& memo, uint64_t size, std::vector<FreeRun>& runs, size_t limit = SIZE_MAX);
// Takes `blocks` blocks: the first run of the chain long enough (looking at
// no more than 100), else the end of the file, with the chain's end moved
// past them. `size` is the padded file size and grows when the end is taken.
Status AllocateBlocks(MemoFile& memo, uint64_t& size, uint32_t blocks, uint32_t& block, std::string_view routine);
// Puts a run back into the chain in ascending order; a run that would overlap
// the chain or pass the end of the file is left out (it stays unused).
Status FreeBlocks(MemoFile& memo, uint64_t size, uint32_t block, uint32_t blocks, std::string_view routine);
// Points the chain's last link at `eof` (the file grew to it).
Status MoveChainEnd(MemoFile& memo, uint64_t old_size, uint32_t eof, std::string_view routine);
// Adds one to the dBASE IV write counter at offset 32.
Status CountMemoWrite(MemoFile& memo, std::string_view routine);

// Completes a pack that a process left half done, or removes what it left
// before its point of no return (see pack.cpp); before the memo file opens.
Status FinishInterruptedPack(TWorkArea& area, const std::string& memo_path);

// Writes an open write stream's memo and ends the stream (also at close).
Status EndStream(TWorkArea& area, MemoFile& memo);

// Calls `visit(record, field, stored)` for every memo field of records
// 1..count that holds a block (`stored` as written, maybe negative), reading
// the table straight from the file.
Status ForEachMemoReference(const TWorkArea& area, int32_t count,
                            const std::function<void(int32_t, const FieldInfo&, int64_t)>& visit);

// Frees the pending runs that no record of the table refers to any more;
// with `final` the others are forgotten (they stay unused until a pack).
Status FreePendingRuns(TWorkArea& area, MemoFile& memo, bool final);

// Code-page translation of stored memo text.
void ToStored(const TWorkArea& area, std::string& text);
void FromStored(const TWorkArea& area, std::string& text);

// Little- and big-endian words.
uint32_t GetLe32(const char* p);
uint32_t GetBe32(const char* p);
uint16_t GetLe16(const char* p);
uint16_t GetBe16(const char* p);
void PutLe32(char* p, uint32_t v);
void PutBe32(char* p, uint32_t v);

}  // namespace zurod
