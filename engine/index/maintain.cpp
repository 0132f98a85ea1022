// Keeping tags current: inserting entries (splitting full nodes up to a new
// root), removing them (emptied nodes leave the tree, parents' keys follow
// a node's new highest key), and the three operations the work-area engine
// calls around an append and a replace.
#include <algorithm>
#include <cstring>

#include "engine/index/detail/unit.hpp"

namespace zurod {

namespace {

// The entries of a node as bytes: [count][4 unused][items][trailing].
uint8_t* Item(mdx::NodeBytes& n, uint32_t i, uint16_t item) { return n.data() + mdx::kEntriesAt + size_t{i} * item; }

// The end of what a node of `count` entries uses: its trailing pointer
// included, as far as the node holds it.
size_t UsedEnd(uint32_t count, uint16_t item) {
    return std::min<size_t>(mdx::kEntriesAt + size_t{count} * item + 4, mdx::kNodeSize);
}

void PutItem(uint8_t* at, uint16_t item, uint32_t pointer, const uint8_t* key, uint16_t key_length) {
    std::memset(at, 0, item);
    mdx::Put32(at, pointer);
    std::memcpy(at + 4, key, key_length);
}

// Removes entry `pos` of a node; what lay behind it (the trailing pointer
// too) moves up, and the bytes it vacates are zeroed, so that a leaf never
// shows a record number where its trailing pointer belongs.
void EraseItem(mdx::NodeBytes& n, uint32_t pos, uint16_t item) {
    const uint32_t count = mdx::Get32(n.data());
    const size_t end = UsedEnd(count, item);
    uint8_t* at = Item(n, pos, item);
    std::memmove(at, at + item, end - (mdx::kEntriesAt + size_t{pos + 1} * item));
    std::memset(n.data() + end - item, 0, item);
    mdx::Put32(n.data(), count - 1);
}

}  // namespace

Status Tag::ReadNode(uint32_t block, mdx::NodeBytes& node) const {
    const uint8_t* bytes = nullptr;
    if (Status s = NodeAt(block, bytes); s.failed()) return s;
    std::memcpy(node.data(), bytes, node.size());
    return {};
}

Status Tag::WriteNode(uint32_t block, const mdx::NodeBytes& node) {
    if (int rc = file->WriteNode(block, node.data(), item_length); rc != 0)
        return Fail(static_cast<uint16_t>(rc), "Error writing index file: " + Label() + " [SeekAndWrite]");
    return {};
}

Status Tag::AppendNode(const mdx::NodeBytes& node, uint32_t& block) {
    if (int rc = file->Append(node, block); rc != 0)
        return Fail(static_cast<uint16_t>(rc), "Error writing index file: " + Label() + " [SeekAndWrite]");
    return {};
}

// Puts (pointer, key) at `pos` of the node at path level `level`; with
// `redirect`, the child at `pos` is that block from now on (a split child
// whose right half moved there). A full node splits: its left part keeps
// the block, the right part goes to a new node, and the parent takes the
// left part's highest key; a root that splits makes a new root above it.
Status Tag::InsertEntry(size_t level, uint32_t pos, uint32_t pointer, const uint8_t* key, uint32_t redirect) {
    const uint32_t block = path[level].block;
    mdx::NodeBytes node;
    if (Status s = ReadNode(block, node); s.failed()) return s;
    const uint32_t count = mdx::Get32(node.data());
    const bool leaf = mdx::NodeView{node.data(), item_length}.Leaf() && redirect == 0;
    // A node that changed under the path: only a damaged tree does that.
    if (pos > count || (redirect != 0 && mdx::NodeView{node.data(), item_length}.Leaf()))
        return Fail(222,
                    "Node " + std::to_string(block) + " of " + file->Path() + Label() + " is not as read [AddKey]");
    if (redirect != 0) mdx::Put32(Item(node, pos, item_length), redirect);  // an entry's pointer or the trailing one
    if (count < max_keys) {
        uint8_t* at = Item(node, pos, item_length);
        std::memmove(at + item_length, at, UsedEnd(count, item_length) - (mdx::kEntriesAt + size_t{pos} * item_length));
        PutItem(at, item_length, pointer, key, key_length);
        mdx::Put32(node.data(), count + 1);
        return WriteNode(block, node);
    }

    // A split rewrites the tree's shape over several writes: should it stop
    // half-way, keys of other records could be lost, so the whole index is
    // marked for rebuilding first.
    if (int rc = file->MarkAll(); rc != 0)
        return Fail(static_cast<uint16_t>(rc), "Error writing index file: " + Label() + " [SeekAndWrite]");
    // The node's entries with the new one in place, and its trailing pointer.
    const uint32_t n = count + 1;
    std::vector<uint8_t> all(size_t{n} * item_length);
    std::memcpy(all.data(), Item(node, 0, item_length), size_t{pos} * item_length);
    PutItem(all.data() + size_t{pos} * item_length, item_length, pointer, key, key_length);
    std::memcpy(all.data() + size_t{pos + 1} * item_length, Item(node, pos, item_length),
                size_t{count - pos} * item_length);
    const uint32_t trailing = leaf ? 0 : mdx::Get32(Item(node, count, item_length));
    const uint32_t left_n = n - n / 2;
    const auto item_at = [&](uint32_t i) { return all.data() + size_t{i} * item_length; };
    std::array<uint8_t, mdx::kMaxKeyLength> left_high{};
    std::memcpy(left_high.data(), item_at(left_n - 1) + 4, key_length);

    mdx::NodeBytes left{}, right{};
    // An inner node's left part gives up its last key: that child becomes
    // its trailing pointer.
    const uint32_t left_count = leaf ? left_n : left_n - 1;
    std::memcpy(Item(left, 0, item_length), all.data(), size_t{left_count} * item_length);
    mdx::Put32(left.data(), left_count);
    if (!leaf) mdx::Put32(Item(left, left_count, item_length), mdx::Get32(item_at(left_n - 1)));
    std::memcpy(Item(right, 0, item_length), item_at(left_n), size_t{n - left_n} * item_length);
    mdx::Put32(right.data(), n - left_n);
    if (!leaf) mdx::Put32(Item(right, n - left_n, item_length), trailing);

    uint32_t right_block = 0;
    if (Status s = AppendNode(right, right_block); s.failed()) return s;
    if (Status s = WriteNode(block, left); s.failed()) return s;
    if (level > 0) return InsertEntry(level - 1, path[level - 1].pos, block, left_high.data(), right_block);

    mdx::NodeBytes root{};
    mdx::Put32(root.data(), 1);
    PutItem(Item(root, 0, item_length), item_length, block, left_high.data(), key_length);
    mdx::Put32(Item(root, 1, item_length), right_block);
    uint32_t root_block = 0;
    if (Status s = AppendNode(root, root_block); s.failed()) return s;
    mdx::Put32(header.data() + mdx::kRootAt, root_block);
    MarkHeader(mdx::kRootAt, 4);
    return {};
}

// The node at `level` has a new highest key: its parent's key for it
// follows, and so on up while the node is its parent's last child.
Status Tag::NewHighKey(size_t level, const uint8_t* key) {
    while (level > 0) {
        --level;
        mdx::NodeBytes node;
        if (Status s = ReadNode(path[level].block, node); s.failed()) return s;
        const uint32_t pos = path[level].pos;
        if (pos < mdx::Get32(node.data())) {
            // An inner key that missed its change would misdirect searches.
            if (int rc = file->MarkAll(); rc != 0)
                return Fail(static_cast<uint16_t>(rc), "Error writing index file: " + Label() + " [SeekAndWrite]");
            std::memcpy(Item(node, pos, item_length) + 4, key, key_length);
            return WriteNode(path[level].block, node);
        }
    }
    return {};
}

// Takes child or entry `pos` out of the node at `level`. A node left without
// children is zeroed and leaves its parent too; an emptied root leaves an
// empty tag.
Status Tag::RemoveEntry(size_t level, uint32_t pos) {
    const uint32_t block = path[level].block;
    mdx::NodeBytes node;
    if (Status s = ReadNode(block, node); s.failed()) return s;
    const uint32_t count = mdx::Get32(node.data());
    const bool leaf = mdx::NodeView{node.data(), item_length}.Leaf();
    const uint32_t children = leaf ? count : count + 1;
    if (pos >= children)
        return Fail(222,
                    "Node " + std::to_string(block) + " of " + file->Path() + Label() + " is not as read [DeleteKey]");
    if (children <= 1) {
        // A node leaves the tree over several writes.
        if (int rc = file->MarkAll(); rc != 0)
            return Fail(static_cast<uint16_t>(rc), "Error writing index file: " + Label() + " [SeekAndWrite]");
        node.fill(0);
        if (Status s = WriteNode(block, node); s.failed()) return s;
        if (level > 0) return RemoveEntry(level - 1, path[level - 1].pos);
        if (header[mdx::kHasForAt] != 0) {
            header[mdx::kForSatisfiedAt] = 0;
            MarkHeader(mdx::kForSatisfiedAt, 1);
        }
        return {};
    }
    std::array<uint8_t, mdx::kMaxKeyLength> high{};
    bool high_changed = false;
    if (leaf) {
        high_changed = pos == count - 1;
        EraseItem(node, pos, item_length);
        if (high_changed) std::memcpy(high.data(), Item(node, count - 2, item_length) + 4, key_length);
    } else if (pos < count) {
        EraseItem(node, pos, item_length);
    } else {
        // The last child goes: the one before it becomes the trailing
        // child, and its key is the node's highest now.
        const uint32_t child = mdx::Get32(Item(node, count - 1, item_length));
        std::memcpy(high.data(), Item(node, count - 1, item_length) + 4, key_length);
        high_changed = true;
        EraseItem(node, count - 1, item_length);
        mdx::Put32(Item(node, count - 1, item_length), child);
    }
    if (Status s = WriteNode(block, node); s.failed()) return s;
    return high_changed ? NewHighKey(level, high.data()) : Status{};
}

Status Tag::Insert(const std::string& key, int32_t record, bool& added) {
    added = false;
    const auto* k = reinterpret_cast<const uint8_t*>(key.data());
    bool found = false;
    path_valid = false;  // whatever happens, the cursor must be found anew
    if (unique) {
        if (Status s = Seek(k, found); s.failed()) return s;
        if (found) return {};
    }
    // After the equal keys of lower records: where (key, record) belongs.
    if (Status s = SeekEntry(k, record, found); s.failed()) return s;
    if (header[mdx::kHasForAt] != 0 && header[mdx::kForSatisfiedAt] == 0) {
        header[mdx::kForSatisfiedAt] = 1;
        MarkHeader(mdx::kForSatisfiedAt, 1);
    }
    const Status s = InsertEntry(path.size() - 1, path.back().pos, static_cast<uint32_t>(record), k, 0);
    path_valid = false;
    added = s.ok();
    return s;
}

Status Tag::Remove(const std::string& key, int32_t record, bool lenient) {
    const auto* k = reinterpret_cast<const uint8_t*>(key.data());
    bool found = false;
    if (Status s = SeekEntry(k, record, found); s.failed()) return s;
    if (!found)
        if (Status s = ScanEntry(k, record, found); s.failed()) return s;
    path_valid = false;
    if (!found) {
        if (lenient) return {};
        return Fail(212,
                    "Record " + std::to_string(record) + " with key: \"" + KeyText(*this, key) +
                        "\" not in index: " + Label() + ". [DeleteKey]");
    }
    const Status s = RemoveEntry(path.size() - 1, path.back().pos);
    path_valid = false;
    return s;
}

Status WriteIndexHeaders(IndexArea& ix, bool done) {
    const bool flush = IndexEngine().flush;
    Status status;
    for (int n = 1; n <= ix.tag_count; ++n)
        if (Tag* t = ix.TagAt(n)) status = FirstFailure(std::move(status), t->WriteHeader(flush));
    if (done && status.ok() && ix.file.PendingMark() != IndexFile::Mark::None) ix.file.ClearMark();
    if (int rc = ix.file.WriteHeader(); rc != 0 && status.ok())
        status = Fail(static_cast<uint16_t>(rc), "Error writing index file:  " + ix.file.Path() + " [WriteAnchor]");
    return status;
}

namespace {

// The key a tag holds for the record in the area's buffer; `in` false when
// the record does not belong in it.
Status KeyOf(TWorkArea& a, Tag& t, bool& in, std::string& key) {
    in = a.rec_no >= 1 && a.rec_no <= a.rec_count;
    if (in)
        if (Status s = t.ForTrue(in); s.failed()) return s;
    if (!in) return {};
    return t.BuildKey(key);
}

// The active cursor on the record again (the other tags' cursors are found
// again when their order is chosen). A record the active order does not
// hold leaves its cursor at the end; with `leave` the area goes past its
// end as well.
Status Settle(TWorkArea& a, IndexArea& ix, bool leave) {
    Tag* t = ix.ActiveTag();
    return t ? SyncTag(a, ix, *t, leave) : Status{};
}

// A change that failed half-way keeps its mark, so the next open or change
// repairs it; it is repaired at once when the disk lets it be, and the area
// stays usable. The failure is what is reported.
Status RepairAfter(TWorkArea& a, IndexArea& ix, Status failure, bool leave) {
    if (RepairIndexIn(a, ix).ok()) (void)Settle(a, ix, leave);
    return failure;
}

}  // namespace

Status AppendNewKeyIn(TWorkArea& a, IndexArea& ix) {
    bool changed = false;
    if (Status s = RevalidateIndexIn(a, ix, changed); s.failed()) return s;
    Status failure;
    for (int n = 1; n <= ix.tag_count && failure.ok(); ++n) {
        Tag* t = ix.TagAt(n);
        if (!t) continue;
        bool in = false;
        std::string key;
        failure = KeyOf(a, *t, in, key);
        if (failure.ok()) NoteFloorKey(ix, n, a.rec_no, in, key);
        bool inserted = false;
        if (failure.ok() && in) failure = t->Insert(key, a.rec_no, inserted);
    }
    const Status written = WriteIndexHeaders(ix, failure.ok());
    if (failure.failed()) return RepairAfter(a, ix, std::move(failure), false);
    if (written.failed()) return written;
    // The engine keeps the area on the record it appended.
    return Settle(a, ix, false);
}

Status TakeOldKeysIn(TWorkArea& a, IndexArea& ix) {
    bool changed = false;
    if (Status s = RevalidateIndexIn(a, ix, changed); s.failed()) return s;
    Tag* active = ix.ActiveTag();
    for (int n = 1; n <= ix.tag_count; ++n) {
        Tag* t = ix.TagAt(n);
        if (!t) continue;
        if (Status s = KeyOf(a, *t, t->old_in, t->old_key); s.failed()) return s;
        // The active order's cursor stands on the record, which must be there.
        if (t == active && t->old_in)
            if (Status s = SyncTag(a, ix, *t, false); s.failed()) return s;
    }
    return {};
}

Status ReKeyIn(TWorkArea& a, IndexArea& ix) {
    Tag* active = ix.ActiveTag();
    Status failure;
    for (int n = 1; n <= ix.tag_count && failure.ok(); ++n) {
        Tag* t = ix.TagAt(n);
        if (!t) continue;
        // Only the active order's cursor was put on the record; the others
        // find it by its old key.
        if (t == active && t->old_in && !t->unique && !(t->OnEntry() && t->Record() == a.rec_no)) {
            failure = Fail(
                254,
                "Record number " + std::to_string(a.rec_no) + " not found in index. " + t->Label() + " [CompareKeys]");
            break;
        }
        bool in = false;
        std::string key;
        if ((failure = KeyOf(a, *t, in, key)).failed()) break;
        NoteFloorKey(ix, n, a.rec_no, in, key);
        if (in && t->old_in && key == t->old_key) continue;
        if (t->old_in) {
            if (Status s = t->Remove(t->old_key, a.rec_no, t->unique); s.failed()) {
                failure = std::move(s);
                break;
            }
        }
        bool inserted = false;
        if (in) failure = t->Insert(key, a.rec_no, inserted);
        t->old_in = false;
    }
    const Status written = WriteIndexHeaders(ix, failure.ok());
    if (failure.failed()) return RepairAfter(a, ix, std::move(failure), true);
    if (written.failed()) return written;
    return Settle(a, ix, true);
}

}  // namespace zurod
