// The tree writer: full nodes from the leaves up. Every inner node has at
// least two children, its trailing pointer among them: the last two nodes
// of a level share what one full node cannot take.
#include "engine/index/detail/tree_writer.hpp"

#include <cstring>

namespace zurod {

namespace {

constexpr size_t kWriteBuffer = size_t{256} << 10;

Status WriteError(int rc, const std::string& what) { return Fail(static_cast<uint16_t>(rc), what + " [MakeIndex]"); }

}  // namespace

TreeWriter::TreeWriter(IndexFile& file, uint16_t item, uint16_t key_length, uint16_t max_keys)
    : file_(file), item_(item), key_length_(key_length), max_(max_keys) {
    next_block_ = first_block_ = file.Blocks();
    out_.reserve(kWriteBuffer);
}

Status TreeWriter::Add(const uint8_t* key, uint32_t record) {
    if (leaf_count_ == max_)
        if (Status s = EmitLeaf(); s.failed()) return s;
    uint8_t* entry = leaf_.data() + mdx::kEntriesAt + size_t{leaf_count_} * item_;
    mdx::Put32(entry, record);
    std::memcpy(entry + 4, key, key_length_);
    std::memcpy(leaf_high_.data(), key, key_length_);
    ++leaf_count_;
    return {};
}

Status TreeWriter::Finish(uint32_t& root) {
    if (leaf_count_ > 0 || !wrote_leaf_)
        if (Status s = EmitLeaf(); s.failed()) return s;
    // (Writing a node may add a level, so no reference into levels_ is kept.)
    for (size_t level = 0; level < levels_.size(); ++level) {
        if (written_[level] == 0 && levels_[level].size() == 1) {
            root = levels_[level][0].block;
            break;
        }
        // Two children at least in every node: the last two share what
        // one full node cannot take.
        if (levels_[level].size() == size_t{max_} + 2)
            if (Status s = WriteInner(level, max_); s.failed()) return s;
        if (Status s = WriteInner(level, levels_[level].size()); s.failed()) return s;
    }
    return Flush();
}

Status TreeWriter::Emit(const uint8_t* node, uint32_t& block) {
    block = next_block_;
    next_block_ += mdx::kNodeSize / mdx::kBlockSize;
    out_.insert(out_.end(), node, node + mdx::kNodeSize);
    if (out_.size() >= kWriteBuffer) return Flush();
    return {};
}

Status TreeWriter::Flush() {
    if (out_.empty()) return {};
    if (int rc = file_.WriteBlocks(first_block_, out_); rc != 0) return WriteError(rc, "Error writing index nodes");
    first_block_ = next_block_;
    out_.clear();
    return {};
}

Status TreeWriter::EmitLeaf() {
    mdx::Put32(leaf_.data(), leaf_count_);
    uint32_t block = 0;
    if (Status s = Emit(leaf_.data(), block); s.failed()) return s;
    wrote_leaf_ = true;
    leaf_.fill(0);
    leaf_count_ = 0;
    return Push(0, block, leaf_high_.data());
}

Status TreeWriter::Push(size_t level, uint32_t block, const uint8_t* key) {
    if (levels_.size() <= level) {
        levels_.emplace_back();
        written_.push_back(0);
    }
    Child c{block, {}};
    std::memcpy(c.key.data(), key, key_length_);
    levels_[level].push_back(c);
    // A full node is written once two more children are waiting, so that
    // the last node of a level never holds a single child.
    if (levels_[level].size() == size_t{max_} + 3) return WriteInner(level, size_t{max_} + 1);
    return {};
}

Status TreeWriter::WriteInner(size_t level, size_t count) {
    mdx::NodeBytes node{};
    std::vector<Child>& c = levels_[level];  // not used past Push, which may add a level
    mdx::Put32(node.data(), static_cast<uint32_t>(count - 1));
    for (size_t i = 0; i + 1 < count; ++i) {
        uint8_t* entry = node.data() + mdx::kEntriesAt + i * item_;
        mdx::Put32(entry, c[i].block);
        std::memcpy(entry + 4, c[i].key.data(), key_length_);
    }
    mdx::Put32(node.data() + mdx::kEntriesAt + (count - 1) * item_, c[count - 1].block);
    const Child last = c[count - 1];
    c.erase(c.begin(), c.begin() + static_cast<ptrdiff_t>(count));
    ++written_[level];
    uint32_t block = 0;
    if (Status s = Emit(node.data(), block); s.failed()) return s;
    return Push(level + 1, block, last.key.data());
}

}  // namespace zurod
