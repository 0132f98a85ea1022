#include "engine/index/detail/index_file.hpp"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/dos_error.hpp"

namespace zurod {

namespace {

constexpr int kCorrupt = 222;

std::span<char> Chars(std::span<uint8_t> s) { return {reinterpret_cast<char*>(s.data()), s.size()}; }
std::span<const char> Chars(std::span<const uint8_t> s) { return {reinterpret_cast<const char*>(s.data()), s.size()}; }

}  // namespace

uint8_t* IndexFile::Cache::Find(uint32_t block) {
    if (slots == 0) return nullptr;
    const size_t slot = (block >> 1) & (slots - 1);
    return blocks[slot] == block ? bytes.data() + slot * mdx::kNodeSize : nullptr;
}

uint8_t* IndexFile::Cache::Put(uint32_t block, const uint8_t* node, uint32_t nodes_in_file) {
    if (slots < most && slots < nodes_in_file) {
        size_t wanted = 64;
        while (wanted < nodes_in_file && wanted < most) wanted *= 2;
        slots = wanted;
        blocks.assign(slots, 0);
        bytes.resize(slots * mdx::kNodeSize);
    }
    const size_t slot = (block >> 1) & (slots - 1);
    blocks[slot] = block;
    uint8_t* at = bytes.data() + slot * mdx::kNodeSize;
    std::memcpy(at, node, mdx::kNodeSize);
    return at;
}

void IndexFile::Cache::Drop(uint32_t block) {
    if (slots == 0) return;
    const size_t slot = (block >> 1) & (slots - 1);
    if (blocks[slot] == block) blocks[slot] = 0;
}

void IndexFile::Cache::Clear() { std::fill(blocks.begin(), blocks.end(), 0); }

int IndexFile::Open(const std::string& path, platform::Access access, platform::Share share) {
    Close();
    if (int rc = file_.Open(path, access, share); rc != 0) return rc;
    int rc = RefreshSize();
    if (rc == 0 && size_ < mdx::kMinFileSize) rc = kCorrupt;
    if (rc == 0) rc = ReadHeader();
    if (rc != 0) Close();
    return rc;
}

int IndexFile::Create(const std::string& path) {
    Close();
    if (int rc =
            file_.Open(path, platform::Access::ReadWrite, platform::Share::Exclusive, platform::Disposition::CreateNew);
        rc != 0)
        return rc;
    size_ = 0;
    return 0;
}

void IndexFile::Close() {
    file_.Close();
    inner_.Clear();
    leaves_.Clear();
    size_ = 0;
    header_changed = {};
}

int IndexFile::ReadHeader() { return ReadBlocks(0, header); }

int IndexFile::WriteHeader() {
    if (!header_changed.any) return 0;
    const std::span<const uint8_t> bytes(header.data() + header_changed.from, header_changed.to - header_changed.from);
    if (int rc = file_.WriteAt(header_changed.from, {reinterpret_cast<const char*>(bytes.data()), bytes.size()});
        rc != 0)
        return rc;
    header_changed = {};
    return 0;
}

IndexFile::Mark IndexFile::PendingMark() const {
    const uint8_t* m = header.data() + mdx::kChangeMarkAt;
    if (std::memcmp(m, mdx::kChangeMarkTag, sizeof mdx::kChangeMarkTag) != 0) return Mark::None;
    // A mark of an unknown kind is taken as the widest.
    return m[mdx::kChangeMarkKindAt] == static_cast<uint8_t>(Mark::Record) ? Mark::Record : Mark::All;
}

uint32_t IndexFile::MarkedRecord() const { return mdx::Get32(header.data() + mdx::kChangeMarkAt + 4); }

int IndexFile::SetMark(Mark mark, uint32_t record) {
    uint8_t* m = header.data() + mdx::kChangeMarkAt;
    std::array<uint8_t, mdx::kChangeMarkLength> bytes{};
    if (mark != Mark::None) {
        std::memcpy(bytes.data(), mdx::kChangeMarkTag, sizeof mdx::kChangeMarkTag);
        bytes[mdx::kChangeMarkKindAt] = static_cast<uint8_t>(mark);
        mdx::Put32(bytes.data() + 4, record);
    }
    if (int rc = file_.WriteAt(mdx::kChangeMarkAt, Chars(std::span<const uint8_t>(bytes))); rc != 0) return rc;
    std::memcpy(m, bytes.data(), bytes.size());
    return 0;
}

void IndexFile::ClearMark() {
    std::memset(header.data() + mdx::kChangeMarkAt, 0, mdx::kChangeMarkLength);
    MarkHeader(mdx::kChangeMarkAt, mdx::kChangeMarkLength);
}

int IndexFile::ReadBlocks(uint32_t block, std::span<uint8_t> out) {
    size_t got = 0;
    if (int rc = file_.ReadAt(uint64_t{block} * mdx::kBlockSize, Chars(out), got); rc != 0) return rc;
    return got == out.size() ? 0 : kCorrupt;
}

int IndexFile::WriteBlocks(uint32_t block, std::span<const uint8_t> bytes) {
    const uint64_t at = uint64_t{block} * mdx::kBlockSize;
    if (int rc = file_.WriteAt(at, Chars(bytes)); rc != 0) return rc;
    size_ = std::max<uint64_t>(size_, at + bytes.size());
    return 0;
}

int IndexFile::Append(std::span<const uint8_t> bytes, uint32_t& first) {
    if (int rc = RefreshSize(); rc != 0) return rc;
    // A file whose length is no whole number of blocks grows from the next one.
    first = static_cast<uint32_t>((size_ + mdx::kBlockSize - 1) / mdx::kBlockSize);
    if (int rc = WriteBlocks(first, bytes); rc != 0) return rc;
    mdx::Put32(header.data() + mdx::kPageCountAt, Blocks());
    MarkHeader(mdx::kPageCountAt, 4);
    return 0;
}

int IndexFile::Node(uint32_t block, uint16_t item, const uint8_t*& bytes) {
    Cache* caches[] = {&inner_, &leaves_};
    for (Cache* c : caches)
        if (const uint8_t* hit = c->Find(block)) {
            // The node may have been read for a tag of shorter items (a damaged
            // tag pointing into another's tree): its count must fit this one's.
            if (mdx::NodeView{hit, item}.Count() > mdx::NodeCapacity(item)) return kCorrupt;
            bytes = hit;
            return 0;
        }
    if (block < mdx::kHeaderBlocks) return kCorrupt;
    if (uint64_t{block} * mdx::kBlockSize + mdx::kNodeSize > size_) {
        // Another process may have grown the file.
        if (int rc = RefreshSize(); rc != 0) return rc;
        if (uint64_t{block} * mdx::kBlockSize + mdx::kNodeSize > size_) return kCorrupt;
    }
    mdx::NodeBytes node;
    if (int rc = ReadBlocks(block, node); rc != 0) return rc;
    const mdx::NodeView view{node.data(), item};
    if (view.Count() > mdx::NodeCapacity(item)) return kCorrupt;
    bytes = (view.Leaf() ? leaves_ : inner_).Put(block, node.data(), Blocks() / 2);
    return 0;
}

int IndexFile::WriteNode(uint32_t block, const uint8_t* bytes, uint16_t item) {
    // A node may have turned from leaf to inner or back; it lives in one cache only.
    inner_.Drop(block);
    leaves_.Drop(block);
    if (int rc = WriteBlocks(block, {bytes, mdx::kNodeSize}); rc != 0) return rc;
    (mdx::NodeView{bytes, item}.Leaf() ? leaves_ : inner_).Put(block, bytes, Blocks() / 2);
    return 0;
}

int IndexFile::RefreshSize() { return file_.Size(size_); }

void IndexFile::Forget() {
    inner_.Clear();
    leaves_.Clear();
}

}  // namespace zurod
