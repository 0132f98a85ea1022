#pragma once
// One open tag of an area's index: its header, its compiled expressions, its
// key order and its cursor.
//
// The cursor is the path from the root to an entry of a leaf. It stands on
// an entry, or past the last entry of the last leaf (at the end of the
// order). The key and record of the entry it last stood on are kept, so that
// a path another writer invalidated can be found again.
#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/dbf/detail/workarea.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/expr/detail/program.hpp"
#include "engine/index/detail/format.hpp"
#include "engine/index/detail/index_file.hpp"

namespace zurod {

struct PathStep {
    uint32_t block = 0;
    uint32_t pos = 0;  // the entry (in a leaf) or the child (in an inner node: count = trailing)
};

class Tag {
public:
    int number = 0;  // entry in the file's tag table
    std::string name;
    uint32_t header_block = 0;
    mdx::NodeBytes header{};
    mdx::ChangedBytes header_changed;
    IndexFile* file = nullptr;
    uint8_t area = 0;  // the work area, for messages

    char type = 'C';  // C, N or D (F keys are N keys)
    bool descending = false;
    bool unique = false;
    bool oem = false;
    uint16_t key_length = 0;
    uint16_t item_length = 0;
    uint16_t max_keys = 0;  // the most a node of ours holds
    std::unique_ptr<ExprProgram> key_program;
    std::unique_ptr<ExprProgram> for_program;

    // The cursor.
    std::vector<PathStep> path;
    mdx::NodeBytes leaf{};  // the leaf at the end of the path
    bool path_valid = false;
    bool at_begin = true;
    bool at_end = true;
    std::string last_key;
    int32_t last_rec = 0;

    uint32_t Root() const { return mdx::Get32(header.data() + mdx::kRootAt); }
    // A FOR expression that no record has satisfied: the order is empty.
    bool NeverSatisfied() const { return header[mdx::kHasForAt] != 0 && header[mdx::kForSatisfiedAt] == 0; }
    // The cursor past the last entry; an order with no entry is at its start
    // as well.
    void StandPastEnd(int32_t rec_count) {
        at_end = true;
        at_begin = rec_count == 0 || NeverSatisfied();
    }
    std::string Label() const { return " [tag: " + name + "]"; }

    // Negative, 0 or positive as key a comes before, with or after key b in
    // this tag's order.
    int Compare(const uint8_t* a, const uint8_t* b) const;

    // The key of the record in the area's record buffer (the area must be
    // current): C keys blank-padded or cut to the key length and in the
    // table's page.
    Status BuildKey(std::string& key);
    // Whether that record belongs in the tag (true without a FOR expression).
    Status ForTrue(bool& in);

    // Cursor moves. `First` and `Last` land on the first / last entry (the
    // cursor is left past the end of an empty order). `Seek` lands on the
    // first entry not before `key`, or past the end; `found` tells whether
    // that entry's key equals it.
    Status First();
    Status Last();
    Status Seek(const uint8_t* key, bool& found);
    // Lands on the entry (key, record) in the order of keys and, among equal
    // keys, of records (the order this engine keeps them in), or where it
    // would stand: before the first entry after it, perhaps past the end of
    // a leaf. `found` when the entry is there.
    Status SeekEntry(const uint8_t* key, int32_t record, bool& found);
    // Finds (key, record) by stepping over equal keys: for trees whose equal
    // keys another writer left out of record order.
    Status ScanEntry(const uint8_t* key, int32_t record, bool& found);
    // One entry on; false in `moved` at either end (the cursor stays).
    Status Step(bool forward, bool& moved);
    // Finds the remembered entry again after the path was invalidated.
    Status Reseek();

    bool OnEntry() const { return path_valid && path.back().pos < LeafCount(); }
    uint32_t LeafCount() const { return mdx::Get32(leaf.data()); }
    // The entry the cursor stands on; off an entry, record 0 (no record of
    // the table) and the leaf's last key, never bytes past the leaf.
    int32_t Record() const {
        return OnEntry() ? static_cast<int32_t>(mdx::NodeView{leaf.data(), item_length}.Pointer(path.back().pos)) : 0;
    }
    const uint8_t* Key() const {
        const uint32_t count = LeafCount();
        const uint32_t pos = path.empty() ? 0 : std::min(path.back().pos, count > 0 ? count - 1 : 0);
        return mdx::NodeView{leaf.data(), item_length}.Key(pos);
    }
    // Remembers the entry the cursor stands on.
    void Remember();

    // Reads the header again (another process changed the index).
    Status ReadHeader();
    // Notes header bytes [at, at + length) as changed; writes those that did.
    void MarkHeader(size_t at, size_t length) { header_changed.Mark(at, length); }
    Status WriteHeader(bool flush);

    // What the record about to be replaced held in this tag.
    std::string old_key;
    bool old_in = false;

    // Key maintenance (maintain.cpp). Insert puts (key, record) after the
    // equal keys of lower records, so equal keys stay in record order; a
    // unique tag that holds the key takes nothing (`added` false). Remove
    // takes the record's entry out; `lenient` when a missing entry is no fault.
    Status Insert(const std::string& key, int32_t record, bool& added);
    Status Remove(const std::string& key, int32_t record, bool lenient);

private:
    // Entries stepped over in one direction since the cursor last came down
    // from the root: a walk longer than the file can hold runs in a circle.
    uint64_t stepped_ = 0;
    bool stepped_forward_ = true;
    Status CountStep(bool forward);
    // A child must not be a node of the path down to it (a tree that leads
    // into itself); below an inner node its trailing child is checked too,
    // so that a loop shows before the walk comes to it.
    Status LeadsBack(uint32_t child) const;
    Status CheckBelow(const mdx::NodeView& node, uint32_t next) const;

    Status NodeAt(uint32_t block, const uint8_t*& bytes) const;
    Status DescendFrom(size_t depth, uint32_t block, bool last);
    // The record of the last entry below `block`.
    Status LastRecord(uint32_t block, size_t depth, int32_t& record) const;
    Status ReadNode(uint32_t block, mdx::NodeBytes& node) const;
    Status WriteNode(uint32_t block, const mdx::NodeBytes& node);
    Status AppendNode(const mdx::NodeBytes& node, uint32_t& block);
    Status InsertEntry(size_t level, uint32_t pos, uint32_t pointer, const uint8_t* key, uint32_t redirect);
    Status RemoveEntry(size_t level, uint32_t pos);
    Status NewHighKey(size_t level, const uint8_t* key);
};

// The key bytes as a message shows them.
std::string KeyText(const Tag& tag, std::string_view key);

// The stored expression text made ready to compile: outside literals letters
// are upper-cased and runs of blanks and tabs become one blank; literals keep
// their bytes and their own quotes.
std::string NormalizeExpression(std::string_view text);

// Opens tag `n` of the area's index from its header. Codes: 222 for a header
// or expression that cannot be used, 266 for a wrong key length.
Status OpenTag(TWorkArea& area, IndexFile& file, int n, std::unique_ptr<Tag>& tag);

}  // namespace zurod
