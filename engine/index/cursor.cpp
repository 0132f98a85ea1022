// The cursor of a tag: descending from the root, bisecting nodes and
// stepping along the leaves.
#include <algorithm>
#include <cstring>

#include "engine/index/detail/tag.hpp"

namespace zurod {

namespace {

// Deeper than any real tree (a million keys need four levels): a deeper path
// is a node pointing back up.
constexpr size_t kMaxDepth = 24;

uint32_t Child(const mdx::NodeView& v, uint32_t pos) { return pos < v.Count() ? v.Pointer(pos) : v.Trailing(); }

Status TooDeep(const Tag& t) {
    return Fail(222,
                "Index tree deeper than " + std::to_string(kMaxDepth) + " levels in " + t.file->Path() + t.Label() +
                    " [GetNode]");
}

}  // namespace

Status Tag::LeadsBack(uint32_t child) const {
    for (const PathStep& step : path)
        if (step.block == child)
            return Fail(222,
                        "Index node " + std::to_string(path.back().block) + " leads back to node " +
                            std::to_string(child) + " in " + file->Path() + Label() + " [GetNode]");
    return {};
}

Status Tag::CheckBelow(const mdx::NodeView& node, uint32_t next) const {
    if (Status s = LeadsBack(next); s.failed()) return s;
    return LeadsBack(node.Trailing());
}

Status Tag::CountStep(bool forward) {
    if (forward != stepped_forward_) stepped_ = 0;
    stepped_forward_ = forward;
    const uint64_t most = (uint64_t{file->Blocks()} / 2 + 1) * mdx::NodeCapacity(item_length);
    if (++stepped_ <= most) return {};
    return Fail(222, "Index walk longer than " + file->Path() + " can hold" + Label() + " [GetNode]");
}

Status Tag::NodeAt(uint32_t block, const uint8_t*& bytes) const {
    if (block == 0)
        return Fail(222,
                    "Invalid Node Number (0) in DBF Area " + std::to_string(area) + ", Order " +
                        std::to_string(number) + " " + Label() + " [GetNode]");
    const int rc = file->Node(block, item_length, bytes);
    if (rc == 222)
        return Fail(222, "Invalid node " + std::to_string(block) + " in " + file->Path() + Label() + " [GetNode]");
    if (rc != 0) return Fail(static_cast<uint16_t>(rc), "Error reading index file: " + Label() + " [SeekAndRead]");
    return {};
}

Status Tag::DescendFrom(size_t depth, uint32_t block, bool last) {
    path.resize(depth);
    path_valid = false;
    if (depth == 0) stepped_ = 0;
    // A child that a step chose must not be one of its ancestors.
    if (depth > 0)
        if (Status s = LeadsBack(block); s.failed()) return s;
    for (;;) {
        if (path.size() >= kMaxDepth) return TooDeep(*this);
        const uint8_t* bytes = nullptr;
        if (Status s = NodeAt(block, bytes); s.failed()) return s;
        const mdx::NodeView v{bytes, item_length};
        const uint32_t count = v.Count();
        if (v.Leaf()) {
            std::memcpy(leaf.data(), bytes, leaf.size());
            path.push_back({block, last && count > 0 ? count - 1 : 0});
            path_valid = true;
            return {};
        }
        const uint32_t pos = last ? count : 0;
        path.push_back({block, pos});
        block = Child(v, pos);
        if (Status s = CheckBelow(v, block); s.failed()) return s;
    }
}

Status Tag::First() {
    if (Status s = DescendFrom(0, Root(), false); s.failed()) return s;
    bool moved = true;
    if (LeafCount() == 0 && path.size() > 1) return Step(true, moved);
    return {};
}

Status Tag::Last() {
    if (Status s = DescendFrom(0, Root(), true); s.failed()) return s;
    bool moved = true;
    if (LeafCount() == 0 && path.size() > 1) return Step(false, moved);
    return {};
}

Status Tag::Seek(const uint8_t* key, bool& found) {
    found = false;
    path.clear();
    path_valid = false;
    stepped_ = 0;
    uint32_t block = Root();
    for (;;) {
        if (path.size() >= kMaxDepth) return TooDeep(*this);
        const uint8_t* bytes = nullptr;
        if (Status s = NodeAt(block, bytes); s.failed()) return s;
        const mdx::NodeView v{bytes, item_length};
        // The first entry whose key is not before the key sought.
        uint32_t lo = 0, hi = v.Count();
        while (lo < hi) {
            const uint32_t mid = lo + (hi - lo) / 2;
            if (Compare(v.Key(mid), key) < 0)
                lo = mid + 1;
            else
                hi = mid;
        }
        path.push_back({block, lo});
        if (v.Leaf()) {
            std::memcpy(leaf.data(), bytes, leaf.size());
            path_valid = true;
            break;
        }
        block = Child(v, lo);
        if (Status s = CheckBelow(v, block); s.failed()) return s;
    }
    // Past the end of a leaf that is not the last: the next leaf begins with it.
    if (!OnEntry()) {
        bool moved = false;
        if (Status s = Step(true, moved); s.failed()) return s;
        if (!moved) {
            path.back().pos = LeafCount();
            return {};
        }
    }
    found = Compare(Key(), key) == 0;
    return {};
}

Status Tag::LastRecord(uint32_t block, size_t depth, int32_t& record) const {
    for (;; ++depth) {
        if (depth >= kMaxDepth) return TooDeep(*this);
        const uint8_t* bytes = nullptr;
        if (Status s = NodeAt(block, bytes); s.failed()) return s;
        const mdx::NodeView v{bytes, item_length};
        if (v.Leaf()) {
            record = v.Count() > 0 ? static_cast<int32_t>(v.Pointer(v.Count() - 1)) : 0;
            return {};
        }
        block = v.Trailing();
    }
}

Status Tag::SeekEntry(const uint8_t* key, int32_t record, bool& found) {
    found = false;
    path.clear();
    path_valid = false;
    stepped_ = 0;
    uint32_t block = Root();
    mdx::NodeBytes node;
    for (;;) {
        if (path.size() >= kMaxDepth) return TooDeep(*this);
        const uint8_t* bytes = nullptr;
        if (Status s = NodeAt(block, bytes); s.failed()) return s;
        // A copy: looking below may push the node out of the cache.
        std::memcpy(node.data(), bytes, node.size());
        const mdx::NodeView v{node.data(), item_length};
        // [lo, hi): the entries whose key equals the one sought.
        uint32_t lo = 0, hi = v.Count();
        while (lo < hi) {
            const uint32_t mid = lo + (hi - lo) / 2;
            Compare(v.Key(mid), key) < 0 ? lo = mid + 1 : hi = mid;
        }
        hi = v.Count();
        for (uint32_t from = lo; from < hi;) {
            const uint32_t mid = from + (hi - from) / 2;
            Compare(v.Key(mid), key) <= 0 ? from = mid + 1 : hi = mid;
        }
        // Among them, the first whose (last) record is not below the one sought.
        const bool is_leaf = v.Leaf();
        uint32_t pick = hi;
        while (lo < pick) {
            const uint32_t mid = lo + (pick - lo) / 2;
            int32_t last = 0;
            if (is_leaf) {
                last = static_cast<int32_t>(v.Pointer(mid));
            } else if (Status s = LastRecord(v.Pointer(mid), path.size() + 1, last); s.failed()) {
                return s;
            }
            last >= record ? pick = mid : lo = mid + 1;
        }
        path.push_back({block, pick});
        if (is_leaf) {
            leaf = node;
            path_valid = true;
            found =
                pick < v.Count() && static_cast<int32_t>(v.Pointer(pick)) == record && Compare(v.Key(pick), key) == 0;
            return {};
        }
        block = Child(v, pick);
        if (Status s = CheckBelow(v, block); s.failed()) return s;
    }
}

Status Tag::ScanEntry(const uint8_t* key, int32_t record, bool& found) {
    if (Status s = Seek(key, found); s.failed()) return s;
    for (uint64_t steps = 0; found && Record() != record; ++steps) {
        if (steps > static_cast<uint64_t>(INT32_MAX))
            return Fail(222, "Index keys repeat without end" + Label() + " [GetNode]");
        bool moved = false;
        if (Status s = Step(true, moved); s.failed()) return s;
        found = moved && Compare(Key(), key) == 0;
    }
    return {};
}

Status Tag::Step(bool forward, bool& moved) {
    moved = false;
    if (Status s = CountStep(forward); s.failed()) return s;
    PathStep& at = path.back();
    const uint32_t count = LeafCount();
    if (forward && at.pos + 1 < count) {
        ++at.pos;
        moved = true;
        return {};
    }
    if (!forward && at.pos > 0 && count > 0) {
        at.pos = std::min(at.pos, count) - 1;
        moved = true;
        return {};
    }
    // Up to the first node with a child beyond the one we came from, then
    // down to the nearest leaf on that side; empty leaves are passed over.
    // More of them than the file has nodes means a tree leading into itself.
    std::vector<PathStep> saved;
    mdx::NodeBytes saved_leaf;
    uint32_t budget = file->Blocks() / 2 + 1;
    for (;;) {
        size_t level = path.size() - 1;
        uint32_t child = 0;
        bool found = false;
        while (level > 0 && !found) {
            --level;
            const uint8_t* bytes = nullptr;
            if (Status s = NodeAt(path[level].block, bytes); s.failed()) return s;
            const mdx::NodeView v{bytes, item_length};
            const uint32_t pos = path[level].pos;
            if (forward ? pos < v.Count() : pos > 0) {
                if (saved.empty()) {
                    saved = path;
                    saved_leaf = leaf;
                }
                path[level].pos = forward ? pos + 1 : pos - 1;
                child = Child(v, path[level].pos);
                found = true;
            }
        }
        if (!found) {
            if (!saved.empty()) {
                path = std::move(saved);
                leaf = saved_leaf;
                path_valid = true;
            }
            return {};
        }
        if (Status s = DescendFrom(level + 1, child, !forward); s.failed()) return s;
        if (LeafCount() > 0) {
            moved = true;
            return {};
        }
        if (--budget == 0)
            return Fail(222, "Index tree leads back into itself in " + file->Path() + Label() + " [GetNode]");
    }
}

void Tag::Remember() {
    last_key.assign(reinterpret_cast<const char*>(Key()), key_length);
    last_rec = Record();
}

Status Tag::Reseek() {
    if (last_rec == 0) return First();
    if (last_key.size() != key_length) last_key.resize(key_length, '\0');
    const auto* k = reinterpret_cast<const uint8_t*>(last_key.data());
    bool found = false;
    if (Status s = SeekEntry(k, last_rec, found); s.failed()) return s;
    if (!found)
        if (Status s = ScanEntry(k, last_rec, found); s.failed()) return s;
    if (!found)
        return Fail(254, "Record " + std::to_string(last_rec) + " not found again" + Label() + " [_FindNextRec]");
    return {};
}

}  // namespace zurod
