#pragma once
// The blocks of table files kept in memory, for all open tables together:
// fixed-size blocks at multiples of the block size, the least recently used
// going first once the engine's budget is spent. Only files held against
// other writers put blocks here (see TableFile), and every write through
// TableFile updates them, so a block never disagrees with its file.
#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <span>
#include <unordered_map>

namespace zurod {

class BlockCache {
public:
    static constexpr size_t kBlockSize = size_t{64} << 10;

    struct Block {
        uint64_t file = 0;     // the TableFile's cache id
        uint64_t index = 0;    // offset / kBlockSize
        size_t valid = 0;      // bytes that the file held there
        bool passing = false;  // loaded by a walk through a file larger than the cache
        std::unique_ptr<char[]> bytes;
    };

    // `budget` is read at every insertion, so that a change takes effect at once.
    explicit BlockCache(const size_t& budget) : budget_(budget) {}
    BlockCache(const BlockCache&) = delete;
    BlockCache& operator=(const BlockCache&) = delete;

    // A unique id for each file that puts blocks here.
    uint64_t NewFileId() { return ++last_id_; }

    // Block `index` of `file` when held (the most recently used from now on).
    Block* Find(uint64_t file, uint64_t index);
    // The same without making it the most recently used (a look ahead).
    const Block* Peek(uint64_t file, uint64_t index) const;
    // A block for `index` of `file` that the caller fills (valid 0 until
    // then); the least recently used blocks go to make room. nullptr when the
    // budget holds fewer than two blocks: nothing is cached then. A
    // `passing` block (a walk through a file the cache cannot hold) goes in
    // at the cold end and takes the place of a passing block next to it in
    // the file, so that such a walk keeps one block's memory, warm in the
    // processor's cache, and drives nothing else out.
    Block* Insert(uint64_t file, uint64_t index, bool passing = false);
    // Bytes written to `file` at `offset`: the blocks holding them take them.
    void Update(uint64_t file, uint64_t offset, std::span<const char> bytes);
    // Forgets `file`'s blocks (all of them, or those from `offset` on).
    void Drop(uint64_t file, uint64_t offset = 0);
    size_t Budget() const { return budget_; }
    // Bytes held, and whether `file` holds any.
    size_t Used() const { return blocks_.size() * kBlockSize; }
    bool Holds(uint64_t file) const;

    // Changes whenever a block leaves the cache, so that a pointer to a block
    // kept with the generation it was taken at is known to be good.
    uint64_t Generation() const { return generation_; }

private:
    struct Key {
        uint64_t file, index;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        size_t operator()(const Key& k) const {
            return std::hash<uint64_t>()(k.file * 0x9E3779B97F4A7C15ull ^ k.index);
        }
    };
    using List = std::list<Block>;

    void Remove(List::iterator it);

    const size_t& budget_;
    List blocks_;  // the most recently used first
    std::unordered_map<Key, List::iterator, KeyHash> where_;
    std::unordered_map<uint64_t, size_t> per_file_;
    uint64_t last_id_ = 0;
    uint64_t generation_ = 0;
};

}  // namespace zurod
