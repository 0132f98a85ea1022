#pragma once
// Writing a tag's tree in one sequential pass: keys come in order, full
// leaves are written as they fill, and above them inner nodes of up to
// max + 1 children, passed up as each fills; the nodes go to the end of the
// file in large writes.
#include <array>
#include <cstdint>
#include <vector>

#include "engine/dbf/errors.hpp"
#include "engine/index/detail/format.hpp"
#include "engine/index/detail/index_file.hpp"

namespace zurod {

class TreeWriter {
public:
    TreeWriter(IndexFile& file, uint16_t item, uint16_t key_length, uint16_t max_keys);

    // The next key in order, with its record.
    Status Add(const uint8_t* key, uint32_t record);
    // Writes what is still open, from the leaves up; `root` is the top node.
    Status Finish(uint32_t& root);

private:
    struct Child {
        uint32_t block;
        std::array<uint8_t, mdx::kMaxKeyLength> key;
    };

    Status Emit(const uint8_t* node, uint32_t& block);
    Status Flush();
    Status EmitLeaf();
    Status Push(size_t level, uint32_t block, const uint8_t* key);
    // A node of the first `count` children waiting at `level`.
    Status WriteInner(size_t level, size_t count);

    IndexFile& file_;
    uint16_t item_, key_length_, max_;
    mdx::NodeBytes leaf_{};
    uint32_t leaf_count_ = 0;
    std::array<uint8_t, mdx::kMaxKeyLength> leaf_high_{};
    bool wrote_leaf_ = false;
    std::vector<std::vector<Child>> levels_;  // the children waiting for a node one level up
    std::vector<uint32_t> written_;
    std::vector<uint8_t> out_;
    uint32_t first_block_ = 0, next_block_ = 0;
};

}  // namespace zurod
