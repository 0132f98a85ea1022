#pragma once
// An open multiple-index file: its handle, its 2048-byte header and a cache
// of the nodes read. The cache serves reads for as long as nobody else writes
// the file; the semaphore tells when another process did (Forget).
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "engine/index/detail/format.hpp"
#include "platform/file.hpp"

namespace zurod {

class IndexFile {
public:
    // 0 or a DOS code; a file too short to be an index is 222.
    int Open(const std::string& path, platform::Access access, platform::Share share);
    // A new, empty file; a name that exists, a link included, is refused (5).
    int Create(const std::string& path);
    void Close();
    bool IsOpen() const { return file_.IsOpen(); }
    const std::string& Path() const { return file_.Path(); }
    platform::File& Handle() { return file_; }

    mdx::FileHeader header{};
    mdx::ChangedBytes header_changed;
    void MarkHeader(size_t at, size_t length) { header_changed.Mark(at, length); }

    int ReadHeader();
    // Writes the header bytes that changed.
    int WriteHeader();

    // The mark of a change under way: what may disagree with the table
    // should the process die or a write fail before the change ends, so that
    // the next open or change repairs it. Record: the keys of one record
    // (the other entries are as they were); All: any tag, the index must be
    // rebuilt.
    enum class Mark : uint8_t { None = 0, Record = 1, All = 2 };
    Mark PendingMark() const;
    uint32_t MarkedRecord() const;
    // Stores the mark and writes it at once.
    int SetMark(Mark mark, uint32_t record);
    // Marks the whole index (before a change of the trees' shape), unless it is.
    int MarkAll() { return PendingMark() == Mark::All ? 0 : SetMark(Mark::All, 0); }
    // The mark cleared, written with the header's other changed bytes.
    void ClearMark();

    // Reads `out.size()` bytes at block `block`; a short read is 222.
    int ReadBlocks(uint32_t block, std::span<uint8_t> out);
    int WriteBlocks(uint32_t block, std::span<const uint8_t> bytes);
    // Appends whole blocks at the end of the file; `first` is the first one.
    // The page count in the header follows.
    int Append(std::span<const uint8_t> bytes, uint32_t& first);

    // The node at `block`, read through the cache: 0, or 222 when the block
    // lies outside the file or the node holds more entries than fit items
    // of `item` bytes (checked on every call, cached or not).
    int Node(uint32_t block, uint16_t item, const uint8_t*& bytes);
    int WriteNode(uint32_t block, const uint8_t* bytes, uint16_t item);

    // The file's length in blocks as last seen.
    uint32_t Blocks() const { return static_cast<uint32_t>(size_ / mdx::kBlockSize); }
    int RefreshSize();
    // Another process changed the file: nothing cached holds.
    void Forget();
    int Sync() { return file_.Sync(); }

private:
    // Direct-mapped: a slot per block number, inner nodes and leaves apart
    // so that a walk over the leaves never pushes the upper levels out. A
    // cache grows with the file, up to its most slots (4 MiB of nodes).
    struct Cache {
        explicit Cache(size_t most_slots) : most(most_slots) {}
        size_t most;
        size_t slots = 0;
        std::vector<uint32_t> blocks;  // 0: empty
        std::vector<uint8_t> bytes;
        uint8_t* Find(uint32_t block);
        uint8_t* Put(uint32_t block, const uint8_t* node, uint32_t nodes_in_file);
        void Drop(uint32_t block);
        void Clear();
    };
    Cache inner_{4096};
    Cache leaves_{4096};

    platform::File file_;
    uint64_t size_ = 0;
};

}  // namespace zurod
