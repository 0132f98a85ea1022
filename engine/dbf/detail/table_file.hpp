#pragma once
// The open file of a table and what the engine keeps of it in memory: its
// blocks in the engine's block cache, and a shared view of the header. All
// reads and writes of the table's bytes go through here, so a cached block
// can never disagree with the file: a write updates it, a truncation or a
// change of share mode drops it. Blocks serve reads only while the file is
// held against other writers; a file others may write is always read anew.
#include <cstdint>
#include <span>
#include <string>

#include "engine/dbf/detail/block_cache.hpp"
#include "platform/file.hpp"

namespace zurod {

class TableFile {
public:
    TableFile() = default;
    ~TableFile() { Forget(); }
    TableFile(const TableFile&) = delete;
    TableFile& operator=(const TableFile&) = delete;

    int Open(const std::string& path, platform::Access access, platform::Share share,
             platform::Disposition disposition = platform::Disposition::OpenExisting);
    void Close();

    bool IsOpen() const { return file_.IsOpen(); }
    const std::string& Path() const { return file_.Path(); }
    platform::FileId Id() const { return file_.Id(); }
    platform::Share CurrentShare() const { return file_.CurrentShare(); }
    // The handle itself, for byte-range locks and metadata; never for data.
    platform::File& Handle() { return file_; }
    const platform::File& Handle() const { return file_; }

    // Straight from the file.
    int ReadAt(uint64_t offset, std::span<char> out, size_t& got) const;
    // `out` from the cached blocks, loading those that hold it, while nobody
    // else can write the file; otherwise straight from the file. A miss
    // loads whole blocks when the file (`file_length` bytes) fits the cache
    // or the read is next to the last block read (a walk, forward or back);
    // a read far away in a larger file reads only `out`, as loading a block
    // would cost more than it saves. A short read is 213.
    int ReadCached(uint64_t offset, std::span<char> out, uint64_t file_length);
    // The cached bytes [offset, offset + length) in place, when the cache
    // serves them from one block (loaded as for ReadCached); nullptr
    // otherwise, or with `rc` set when the read failed, and with `alone` set
    // when the bytes are to be read alone (ReadAt). Good until the next call
    // that reads or writes.
    const char* View(uint64_t offset, size_t length, uint64_t file_length, int& rc, bool& alone);
    // Asks the processor to fetch [offset, offset + length) from a block the
    // cache already holds, so that a read soon after finds it at hand; does
    // nothing otherwise (never loads, never changes the cache's order).
    void Prefetch(uint64_t offset, size_t length) const;
    // Whether blocks serve reads: the file is held against other writers.
    bool Caching() const;
    // Whether other opens may write the file while this one has it.
    bool OthersMayWrite() const { return IsOpen() && CurrentShare() == platform::Share::DenyNone; }

    int WriteAt(uint64_t offset, std::span<const char> bytes);
    int Truncate(uint64_t length);
    int Sync() { return file_.Sync(); }
    int Size(uint64_t& size) const { return file_.Size(size); }
    int ChangeShare(platform::Share share);
    // Puts `other` in the place of this file (a rewritten table renamed over
    // it); the old handle goes into `other`.
    void Swap(platform::File& other);

    // Another process may have written the file: forget its blocks.
    void Forget();

    // The shared view of the header's first bytes (see platform::FilePrefixMap).
    bool MapHeader(size_t length);
    char* HeaderView() const { return header_map_.Data(); }
    size_t HeaderViewSize() const { return header_map_.Size(); }

private:
    // `passing`: the file is larger than the cache (see BlockCache::Insert).
    int Load(uint64_t index, BlockCache::Block*& block, bool passing);
    // Block `index` from the cache, loaded when the policy of ReadCached
    // says so; nullptr when it is to be read alone (or `rc` failed).
    BlockCache::Block* BlockFor(uint64_t index, uint64_t file_length, int& rc);

    platform::File file_;
    platform::FilePrefixMap header_map_;
    BlockCache* cache_ = nullptr;  // the engine's, while the file is open
    uint64_t cache_id_ = 0;
    // The block the last read used, valid while the cache's generation is
    // the one it was taken at: a walk's next record is mostly in it.
    BlockCache::Block* recent_ = nullptr;
    uint64_t recent_generation_ = 0;
    uint64_t last_index_ = UINT64_MAX;  // the block of the last cached read
};

}  // namespace zurod
