#include "engine/index/detail/format.hpp"

#include <algorithm>

namespace zurod::mdx {

std::string CString(const uint8_t* p, size_t max) {
    size_t n = 0;
    while (n < max && p[n] != 0) ++n;
    return std::string(reinterpret_cast<const char*>(p), n);
}

void PutCString(uint8_t* p, size_t max, std::string_view text) {
    std::memset(p, 0, max);
    std::memcpy(p, text.data(), std::min(text.size(), max - 1));
}

void InitFileHeader(FileHeader& h, std::string_view table_base, int year, int month, int day) {
    h.fill(0);
    h[0] = 2;
    h[1] = h[44] = static_cast<uint8_t>(year - 1900);
    h[2] = h[45] = static_cast<uint8_t>(month);
    h[3] = h[46] = static_cast<uint8_t>(day);
    // Sixteen characters fill the field without a NUL.
    std::memcpy(h.data() + kTableNameAt, table_base.data(), std::min(table_base.size(), kTableNameLength));
    Put16(h.data() + 20, kNodeSize / kBlockSize);
    Put16(h.data() + 22, kNodeSize);
    h[24] = 1;
    h[25] = kMaxTags + 1;
    h[26] = kEntrySize;
    Put32(h.data() + kPageCountAt, kHeaderBlocks);
}

std::string TagName(const FileHeader& h, int n) { return CString(TagEntry(h, n) + kEntryNameAt, kEntryNameLength); }

int FindTagEntry(const FileHeader& h, std::string_view name) {
    const int count = std::min(TagCount(h), kMaxTags);
    for (int n = 1; n <= count; ++n)
        if (TagName(h, n) == name) return n;
    return 0;
}

bool PutTagEntry(FileHeader& h, std::string_view name, uint32_t header_block, char type) {
    auto entry = [&h](int n) { return h.data() + kTagTableAt + kEntrySize * n; };
    // A replaced tag gives its entry to the last one; the new tag comes last.
    if (const int old = FindTagEntry(h, name); old != 0) {
        const int last = TagCount(h);
        if (old != last) std::memcpy(entry(old), entry(last), kEntrySize);
        std::memset(entry(last), 0, kEntrySize);
        --h[kTagCountAt];
    }
    if (TagCount(h) >= kMaxTags) return false;
    const int n = ++h[kTagCountAt];
    uint8_t* e = entry(n);
    std::memset(e, 0, kEntrySize);
    Put32(e, header_block);
    PutCString(e + kEntryNameAt, kEntryNameLength, name);
    e[19] = 2;
    e[kEntryTypeAt] = static_cast<uint8_t>(type);
    RebuildNameTree(h);
    return true;
}

void RebuildNameTree(FileHeader& h) {
    const int count = std::min(TagCount(h), kMaxTags);
    auto entry = [&h](int n) { return h.data() + kTagTableAt + kEntrySize * n; };
    for (int n = 0; n <= count; ++n) entry(n)[kEntryLeftAt] = entry(n)[kEntryRightAt] = entry(n)[kEntryParentAt] = 0;
    if (count == 0) return;
    entry(0)[kEntryRightAt] = 1;
    for (int n = 2; n <= count; ++n) {
        const uint8_t* name = entry(n) + kEntryNameAt;
        int at = 1;
        for (;;) {
            const bool right = std::memcmp(name, entry(at) + kEntryNameAt, kEntryNameLength) >= 0;
            uint8_t& link = entry(at)[right ? kEntryRightAt : kEntryLeftAt];
            if (link == 0) {
                link = static_cast<uint8_t>(n);
                entry(n)[kEntryParentAt] = static_cast<uint8_t>(at);
                break;
            }
            at = link;
        }
    }
}

}  // namespace zurod::mdx
