#pragma once
// The open file of a table and what the engine keeps of it in memory: a
// block of whole records read ahead, and a shared view of the header. All
// reads and writes of the table's bytes go through here, so the cached block
// can never disagree with the file: a write updates it, a truncation or a
// change of share mode drops it.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/file.hpp"

namespace zurod {

class TableFile {
public:
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
    // `out` from the read-ahead block. When the block does not hold it and
    // nobody else can write the file, the block [block_start, block_start +
    // block_length) is loaded first; on a shared file it reads directly.
    // A short read is 213.
    int ReadCached(uint64_t offset, std::span<char> out, uint64_t block_start, size_t block_length);
    // Whether the block serves reads: the file is held against other writers.
    bool Caching() const;
    // Whether other opens may write the file while this one has it.
    bool OthersMayWrite() const { return IsOpen() && CurrentShare() == platform::Share::DenyNone; }
    // The offsets the block holds (empty range when none).
    uint64_t BlockStart() const { return block_start_; }
    uint64_t BlockEnd() const { return block_start_ + block_.size(); }

    int WriteAt(uint64_t offset, std::span<const char> bytes);
    int Truncate(uint64_t length);
    int Sync() { return file_.Sync(); }
    int Size(uint64_t& size) const { return file_.Size(size); }
    int ChangeShare(platform::Share share);
    // Puts `other` in the place of this file (a rewritten table renamed over
    // it); the old handle goes into `other`.
    void Swap(platform::File& other);

    // Another process may have written the file: forget the block.
    void Forget();

    // The shared view of the header's first bytes (see platform::FilePrefixMap).
    bool MapHeader(size_t length);
    char* HeaderView() const { return header_map_.Data(); }
    size_t HeaderViewSize() const { return header_map_.Size(); }

private:
    platform::File file_;
    platform::FilePrefixMap header_map_;
    std::vector<char> block_;
    uint64_t block_start_ = 0;
};

}  // namespace zurod
