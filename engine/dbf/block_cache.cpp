// The shared cache of table blocks: a least-recently-used list under the
// engine's budget, looked up by (file, block).
#include "engine/dbf/detail/block_cache.hpp"

#include <algorithm>
#include <cstring>

namespace zurod {

BlockCache::Block* BlockCache::Find(uint64_t file, uint64_t index) {
    const auto it = where_.find({file, index});
    if (it == where_.end()) return nullptr;
    // A passing block stays at the cold end: the walk is done with it soon.
    if (!it->second->passing) blocks_.splice(blocks_.begin(), blocks_, it->second);
    return &*it->second;
}

const BlockCache::Block* BlockCache::Peek(uint64_t file, uint64_t index) const {
    const auto it = where_.find({file, index});
    return it == where_.end() ? nullptr : &*it->second;
}

BlockCache::Block* BlockCache::Insert(uint64_t file, uint64_t index, bool passing) {
    const size_t capacity = budget_ / kBlockSize;
    // A record may straddle two blocks: fewer than two cannot serve a read.
    if (capacity < 2) {
        while (!blocks_.empty()) Remove(std::prev(blocks_.end()));
        return nullptr;
    }
    if (Block* b = Find(file, index)) {
        b->valid = 0;
        return b;
    }
    std::unique_ptr<char[]> bytes;
    const auto take = [&](List::iterator it) {
        bytes = std::move(it->bytes);
        Remove(it);
    };
    // The walk has left the passing block next to this one.
    if (passing)
        for (const uint64_t next_to : {index - 1, index + 1})
            if (const auto it = where_.find({file, next_to}); it != where_.end() && it->second->passing) {
                take(it->second);
                break;
            }
    while (blocks_.size() >= capacity) take(std::prev(blocks_.end()));
    // Every byte up to `valid` is written before it is read.
    if (!bytes) bytes = std::make_unique_for_overwrite<char[]>(kBlockSize);
    const auto at = passing ? blocks_.end() : blocks_.begin();
    const auto it = blocks_.insert(at, Block{file, index, 0, passing, std::move(bytes)});
    where_[{file, index}] = it;
    ++per_file_[file];
    return &*it;
}

void BlockCache::Update(uint64_t file, uint64_t offset, std::span<const char> bytes) {
    if (bytes.empty() || !Holds(file)) return;
    const uint64_t end = offset + bytes.size();
    for (uint64_t index = offset / kBlockSize; index * kBlockSize < end; ++index) {
        const auto it = where_.find({file, index});
        if (it == where_.end()) continue;
        Block& b = *it->second;
        const uint64_t start = index * kBlockSize;
        const uint64_t from = std::max(offset, start);
        const uint64_t to = std::min(end, start + kBlockSize);
        // Bytes behind a gap would leave the block with a hole it cannot
        // describe: it goes instead (the file is read again when needed).
        if (from - start > b.valid) {
            Remove(it->second);
            continue;
        }
        std::memcpy(b.bytes.get() + (from - start), bytes.data() + (from - offset), to - from);
        b.valid = std::max<size_t>(b.valid, to - start);
    }
}

void BlockCache::Drop(uint64_t file, uint64_t offset) {
    if (!Holds(file)) return;
    for (auto it = blocks_.begin(); it != blocks_.end();) {
        const auto next = std::next(it);
        if (it->file == file) {
            if (it->index * kBlockSize >= offset)
                Remove(it);
            else if (offset < it->index * kBlockSize + it->valid)
                it->valid = static_cast<size_t>(offset - it->index * kBlockSize);
        }
        it = next;
    }
}

bool BlockCache::Holds(uint64_t file) const { return per_file_.count(file) != 0; }

void BlockCache::Remove(List::iterator it) {
    ++generation_;
    where_.erase({it->file, it->index});
    if (const auto count = per_file_.find(it->file); count != per_file_.end() && --count->second == 0)
        per_file_.erase(count);
    blocks_.erase(it);
}

}  // namespace zurod
