#pragma once
// The bytes of a multiple-index file (little-endian throughout).
//
// The file is addressed in 512-byte blocks. Bytes 0-2047 are the file header
// (0-511) and the tag table (512-2047: entry n = 1..47 at 512 + 32 n); tag
// headers and nodes take 1024 bytes each and are only ever appended.
//
// File header: 0 version 2; 1-3 creation date (year - 1900, month, day);
// 4 the table's base name (16 bytes, NUL-terminated when shorter); 20 u16
// block size in 512-byte units (2); 22 u16 node length (1024); 24 production
// flag 1; 25 slots declared (48); 26 entry length (32); 28 tags in use;
// 32 u32 the file's length in blocks, which other writers take as the next
// free block; 44-46 the creation date again; 48-55 this engine's change mark
// (zero but while a change is under way: 48 "ZCM", 51 what may disagree
// with the table, 52 u32 the record).
//
// Tag entry: 0 u32 header block; 4 name (upper case, NUL-terminated, 11
// bytes); 16/17/18 left, right and parent links of the name tree; 19 = 2;
// 20 key type letter. Entry 0 is zero but for byte 17 = 1 once a tag exists.
//
// Tag header (983 bytes used of its 1024): 0 u32 root block; 8 flags (0x10
// always, 0x08 descending, 0x40 unique); 9 key type; 12 u16 key length;
// 14 u16 keys per node; 16 u16 1 for date keys; 18 u16 item length; 23 1 when
// unique; 24 key expression (220 bytes, NUL-terminated); 245 1 with a FOR
// expression; 246 1 once a record satisfied it; 762 FOR expression.
//
// Node: 0 u32 entry count; 8 the entries, each a u32 pointer and the key
// zero-padded to the item length; then the trailing pointer. A leaf's
// pointers are record numbers and its trailing pointer is 0; an inner entry
// points to a child and carries the highest key below it, and the trailing
// pointer is the right-most child. A full leaf of 8-byte items (written by
// other programs) has no room left for the trailing pointer and reads as 0.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace zurod::mdx {

inline constexpr uint32_t kBlockSize = 512;
inline constexpr uint32_t kNodeSize = 1024;
inline constexpr uint32_t kHeaderSize = 2048;
inline constexpr uint32_t kHeaderBlocks = kHeaderSize / kBlockSize;
inline constexpr uint64_t kMinFileSize = 3072;
inline constexpr uint32_t kTagHeaderSize = 983;
inline constexpr int kMaxTags = 47;
inline constexpr int kMaxKeyLength = 100;
inline constexpr size_t kMaxExpression = 220;
inline constexpr size_t kMaxTagName = 10;
inline constexpr size_t kEntriesAt = 8;

// File header.
inline constexpr size_t kTableNameAt = 4;
inline constexpr size_t kTableNameLength = 16;
inline constexpr size_t kTagCountAt = 28;
inline constexpr size_t kPageCountAt = 32;
inline constexpr size_t kChangeMarkAt = 48;
inline constexpr size_t kChangeMarkLength = 8;
inline constexpr char kChangeMarkTag[3] = {'Z', 'C', 'M'};
inline constexpr size_t kChangeMarkKindAt = 3;

// Tag table.
inline constexpr size_t kTagTableAt = 512;
inline constexpr size_t kEntrySize = 32;
inline constexpr size_t kEntryNameAt = 4;
inline constexpr size_t kEntryNameLength = 11;
inline constexpr size_t kEntryLeftAt = 16;
inline constexpr size_t kEntryRightAt = 17;
inline constexpr size_t kEntryParentAt = 18;
inline constexpr size_t kEntryTypeAt = 20;

// Tag header.
inline constexpr size_t kRootAt = 0;
inline constexpr size_t kFlagsAt = 8;
inline constexpr size_t kTypeAt = 9;
inline constexpr size_t kKeyLengthAt = 12;
inline constexpr size_t kMaxKeysAt = 14;
inline constexpr size_t kDateFlagAt = 16;
inline constexpr size_t kItemLengthAt = 18;
inline constexpr size_t kUniqueAt = 23;
inline constexpr size_t kKeyExpressionAt = 24;
inline constexpr size_t kHasForAt = 245;
inline constexpr size_t kForSatisfiedAt = 246;
inline constexpr size_t kForExpressionAt = 762;

inline constexpr uint8_t kFlagAlways = 0x10;
inline constexpr uint8_t kFlagDescending = 0x08;
inline constexpr uint8_t kFlagUnique = 0x40;

using FileHeader = std::array<uint8_t, kHeaderSize>;
using NodeBytes = std::array<uint8_t, kNodeSize>;

inline uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t Get32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
inline void Put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
// The text at p up to its NUL, at most `max` bytes.
std::string CString(const uint8_t* p, size_t max);
// Stores `text` (cut to max - 1 bytes) and zeroes the rest of the field.
void PutCString(uint8_t* p, size_t max, std::string_view text);

// The bytes of a header changed since it was last written, so that only
// they are written back.
struct ChangedBytes {
    size_t from = 0, to = 0;
    bool any = false;
    void Mark(size_t at, size_t length) {
        from = any ? std::min(from, at) : at;
        to = any ? std::max(to, at + length) : at + length;
        any = true;
    }
};

// Key length + 4, rounded up to a multiple of 4.
inline uint16_t ItemLength(int key_length) { return static_cast<uint16_t>((key_length + 4 + 3) & ~3); }
// Keys that fit a node beside its count and trailing pointer.
inline uint16_t MaxKeys(uint16_t item_length) { return static_cast<uint16_t>((kNodeSize - 12) / item_length); }
// Entries that fit a node at all (a full leaf may give up its trailing pointer).
inline uint16_t NodeCapacity(uint16_t item_length) {
    return static_cast<uint16_t>((kNodeSize - kEntriesAt) / item_length);
}

// A node's bytes read through the item length of its tag.
struct NodeView {
    const uint8_t* bytes;
    uint16_t item;

    uint32_t Count() const { return Get32(bytes); }
    uint32_t Pointer(uint32_t i) const { return Get32(bytes + kEntriesAt + size_t{i} * item); }
    const uint8_t* Key(uint32_t i) const { return bytes + kEntriesAt + size_t{i} * item + 4; }
    // 0 when it does not fit behind the entries (a full leaf).
    uint32_t Trailing() const {
        const size_t at = kEntriesAt + size_t{Count()} * item;
        return at + 4 <= kNodeSize ? Get32(bytes + at) : 0;
    }
    bool Leaf() const { return Trailing() == 0; }
};

// A fresh file header for the table `table_base` (no folder, no extension).
void InitFileHeader(FileHeader& header, std::string_view table_base, int year, int month, int day);
inline int TagCount(const FileHeader& h) { return h[kTagCountAt]; }
inline const uint8_t* TagEntry(const FileHeader& h, int n) { return h.data() + kTagTableAt + kEntrySize * n; }
inline uint32_t TagHeaderBlock(const FileHeader& h, int n) { return Get32(TagEntry(h, n)); }
std::string TagName(const FileHeader& h, int n);
// The entry of the tag named exactly `name` (upper case), 0 when there is none.
int FindTagEntry(const FileHeader& h, std::string_view name);
// Enters a tag as the last one; a tag of exactly the same name is removed
// first, the last entry taking its place. False when 47 other tags are there.
bool PutTagEntry(FileHeader& h, std::string_view name, uint32_t header_block, char type);
// Links every entry into the name tree anew, tag 1 as its root.
void RebuildNameTree(FileHeader& h);

}  // namespace zurod::mdx
