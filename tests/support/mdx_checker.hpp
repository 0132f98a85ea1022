#pragma once
// A structural checker for multiple-index files, reading the bytes on its
// own: every node's count fits, leaves have a zero trailing pointer and inner
// nodes a non-zero one, every inner key equals the highest key below it, keys
// are in order with equal keys in record order (once each in a unique tag),
// all leaves lie at one depth, no node is reached twice (within a tag or from
// two tags), and the page count at byte 32 is the file's length in blocks.
// It also hands back each tag's entries in order, for comparison with models.
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/expr/keys.hpp"

namespace testing_support {

struct MdxEntry {
    std::string key;
    uint32_t record;
    friend bool operator==(const MdxEntry&, const MdxEntry&) = default;
};

struct MdxTag {
    std::string name;
    char type = 0;
    bool descending = false, unique = false;
    int key_length = 0, item_length = 0, max_keys = 0;
    int depth = 0;
    int leaves = 0, inner = 0;
    int keyless_inner = 0;  // inner nodes with only a trailing child (a build makes none)
    std::vector<int> leaf_counts;
    uint32_t root = 0;
    bool for_satisfied = true;
    std::vector<MdxEntry> entries;
};

struct MdxReport {
    std::vector<std::string> problems;
    std::vector<MdxTag> tags;
    bool ok() const { return problems.empty(); }
    std::string Text() const {
        std::string t;
        for (const std::string& p : problems) t += p + "\n";
        return t;
    }
    const MdxTag* Tag(const std::string& name) const {
        for (const MdxTag& t : tags)
            if (t.name == name) return &t;
        return nullptr;
    }
    // The record numbers of a tag in key order.
    std::vector<uint32_t> Records(const std::string& name) const {
        std::vector<uint32_t> r;
        if (const MdxTag* t = Tag(name))
            for (const MdxEntry& e : t->entries) r.push_back(e.record);
        return r;
    }
};

class MdxChecker {
public:
    // `foreign`: a file of another writer, whose full leaves may have no
    // trailing pointer and whose page count need not be kept.
    static MdxReport Check(const std::string& path, bool foreign = false) {
        MdxChecker c;
        c.foreign_ = foreign;
        std::ifstream in(path, std::ios::binary);
        c.bytes_.assign(std::istreambuf_iterator<char>(in), {});
        c.Run();
        return std::move(c.report_);
    }

private:
    static uint32_t U32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24; }
    static uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
    const uint8_t* At(size_t offset) const { return reinterpret_cast<const uint8_t*>(bytes_.data()) + offset; }

    void Problem(const std::string& text) { report_.problems.push_back(text); }

    int Compare(const MdxTag& t, const std::string& a, const std::string& b) const {
        int c = 0;
        if (t.type == 'N' || t.type == 'F') {
            zurod::NumericKey x{}, y{};
            std::memcpy(x.data(), a.data(), 12);
            std::memcpy(y.data(), b.data(), 12);
            c = zurod::CompareNumericKeys(x, y);
        } else if (t.type == 'D') {
            double x, y;
            std::memcpy(&x, a.data(), 8);
            std::memcpy(&y, b.data(), 8);
            c = x < y ? -1 : x > y ? 1 : 0;
        } else {
            c = std::memcmp(a.data(), b.data(), a.size());
        }
        return t.descending ? -c : c;
    }

    void Run() {
        if (bytes_.size() < 3072) return Problem("file shorter than 3072 bytes");
        const uint32_t pages = U32(At(32));
        if (!foreign_ && pages != bytes_.size() / 512)
            Problem("page count " + std::to_string(pages) + " but " + std::to_string(bytes_.size() / 512) + " blocks");
        const int count = *At(28);
        if (count > 47) return Problem("tag count above 47");
        for (int n = 1; n <= count; ++n) CheckTag(n);
    }

    void CheckTag(int n) {
        const uint8_t* e = At(512 + 32 * n);
        MdxTag t;
        t.name = std::string(reinterpret_cast<const char*>(e + 4), strnlen(reinterpret_cast<const char*>(e + 4), 11));
        const uint32_t header = U32(e);
        if (size_t{header} * 512 + 1024 > bytes_.size()) return Problem(t.name + ": header outside the file");
        Claim(header, t.name + " header");
        const uint8_t* h = At(size_t{header} * 512);
        t.root = U32(h);
        t.type = static_cast<char>(h[9]);
        t.descending = (h[8] & 0x08) != 0;
        t.unique = (h[8] & 0x40) != 0;
        t.key_length = U16(h + 12);
        t.max_keys = U16(h + 14);
        t.item_length = U16(h + 18);
        t.for_satisfied = h[245] == 0 || h[246] != 0;
        if (t.key_length < 1 || t.key_length > 100 || t.item_length < t.key_length + 4)
            return Problem(t.name + ": lengths");
        int leaf_depth = -1;
        Walk(t, t.root, 1, leaf_depth, nullptr);
        t.depth = leaf_depth;
        for (size_t i = 1; i < t.entries.size(); ++i) {
            const int c = Compare(t, t.entries[i - 1].key, t.entries[i].key);
            if (c > 0) Problem(t.name + ": keys out of order at entry " + std::to_string(i));
            if (c == 0 && t.unique) Problem(t.name + ": a unique tag holds a key twice at entry " + std::to_string(i));
            if (c == 0 && t.entries[i - 1].record > t.entries[i].record)
                Problem(t.name + ": equal keys out of record order at entry " + std::to_string(i));
        }
        report_.tags.push_back(std::move(t));
    }

    void Claim(uint32_t block, const std::string& what) {
        if (!claimed_.insert(block).second) Problem(what + ": block " + std::to_string(block) + " reached twice");
    }

    // The highest key below `block` goes to `high`.
    void Walk(MdxTag& t, uint32_t block, int depth, int& leaf_depth, std::string* high) {
        if (depth > 24) return Problem(t.name + ": deeper than 24 levels");
        if (block < 4 || size_t{block} * 512 + 1024 > bytes_.size())
            return Problem(t.name + ": node " + std::to_string(block) + " outside the file");
        Claim(block, t.name);
        const uint8_t* node = At(size_t{block} * 512);
        const uint32_t count = U32(node);
        const size_t end = 8 + size_t{count} * t.item_length;
        if (end > 1024) return Problem(t.name + ": node " + std::to_string(block) + " holds too many entries");
        const bool room = end + 4 <= 1024;
        const uint32_t trailing = room ? U32(node + end) : 0;
        if (!room && !foreign_) Problem(t.name + ": node " + std::to_string(block) + " has no trailing pointer");
        if (!foreign_ && count > static_cast<uint32_t>(t.max_keys))
            Problem(t.name + ": node " + std::to_string(block) + " holds more than the keys per node");
        auto key = [&](uint32_t i) {
            return std::string(reinterpret_cast<const char*>(node + 8 + size_t{i} * t.item_length + 4), t.key_length);
        };
        if (trailing == 0) {
            ++t.leaves;
            t.leaf_counts.push_back(static_cast<int>(count));
            if (count == 0 && depth > 1) Problem(t.name + ": empty leaf " + std::to_string(block) + " below the root");
            if (leaf_depth == -1) leaf_depth = depth;
            if (leaf_depth != depth) Problem(t.name + ": leaves at different depths");
            for (uint32_t i = 0; i < count; ++i)
                t.entries.push_back({key(i), U32(node + 8 + size_t{i} * t.item_length)});
            if (high && count > 0) *high = key(count - 1);
            return;
        }
        ++t.inner;
        if (count == 0) ++t.keyless_inner;
        for (uint32_t i = 0; i <= count; ++i) {
            const uint32_t child = i < count ? U32(node + 8 + size_t{i} * t.item_length) : trailing;
            std::string below;
            Walk(t, child, depth + 1, leaf_depth, &below);
            if (i < count && below != key(i))
                Problem(t.name + ": inner key " + std::to_string(i) + " of node " + std::to_string(block) +
                        " is not the highest key of its child");
            if (high && i == count) *high = below;
        }
    }

    std::string bytes_;
    bool foreign_ = false;
    std::set<uint32_t> claimed_;
    MdxReport report_;
};

}  // namespace testing_support
