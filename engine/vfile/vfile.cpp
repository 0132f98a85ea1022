#include "engine/vfile/vfile.hpp"

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/detail/area_table.hpp"
#include "engine/dbf/detail/navigation.hpp"
#include "engine/dbf/detail/swap_buffer.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/strings.hpp"
#include "platform/codepage.hpp"

namespace zurod {

namespace {

constexpr size_t kKeyLength = 100;

// The records of one virtual area. Records live in fixed-size slots of an
// arena; `order` lists the slots in record-number order, so positioning is a
// lookup and an insertion moves slot numbers, not records.
struct VFileStore final : VFileAreaState {
    std::vector<uint32_t> order;
    std::vector<char> arena;
    std::vector<uint32_t> free_slots;
    std::vector<std::string> keys;  // by slot
    std::vector<bool> key_valid;    // by slot
    KeyMaker keymaker;
    size_t rl = 0;
    std::vector<char> saved;  // the caller's record while the keymaker runs

    char* Data(uint32_t slot) { return arena.data() + static_cast<size_t>(slot) * rl; }
    char* At(int32_t n) { return Data(order[static_cast<size_t>(n - 1)]); }
    int32_t Count() const { return static_cast<int32_t>(order.size()); }

    uint32_t NewSlot(const char* data) {
        uint32_t slot;
        if (!free_slots.empty()) {
            slot = free_slots.back();
            free_slots.pop_back();
        } else {
            slot = static_cast<uint32_t>(arena.size() / rl);
            arena.resize(arena.size() + rl);
            keys.emplace_back();
            key_valid.push_back(false);
        }
        std::memcpy(Data(slot), data, rl);
        key_valid[slot] = false;
        return slot;
    }

    void Remove(int32_t n) {
        const size_t i = static_cast<size_t>(n - 1);
        Free(order[i]);
        order.erase(order.begin() + static_cast<std::ptrdiff_t>(i));
    }

    void Free(uint32_t slot) {
        free_slots.push_back(slot);
        keys[slot].clear();
        key_valid[slot] = false;
    }

    void Clear() {
        order.clear();
        arena.clear();
        free_slots.clear();
        keys.clear();
        key_valid.clear();
    }
};

// Only this store puts state into a virtual area.
VFileStore* StoreOf(TWorkArea& a) { return static_cast<VFileStore*>(a.vfile_store.get()); }

std::string Cut(std::string key) {
    if (key.size() > kKeyLength) key.resize(kKeyLength);
    return key;
}

// The key of a record, built once by the keymaker from the record standing in
// the area's buffer; the caller's buffer is put back afterwards.
const std::string& KeyOfSlot(TWorkArea& a, VFileStore& s, uint32_t slot) {
    if (!s.key_valid[slot]) {
        AreaPin pin(a);  // the keymaker is caller code, and may even replace itself
        const KeyMaker keymaker = s.keymaker;
        s.saved.assign(a.record.begin(), a.record.end());
        std::memcpy(a.record.data(), s.Data(slot), s.rl);
        std::string key;
        keymaker(key);
        std::copy(s.saved.begin(), s.saved.end(), a.record.begin());
        s.keys[slot] = Cut(std::move(key));
        s.key_valid[slot] = true;
    }
    return s.keys[slot];
}

const std::string& KeyAt(TWorkArea& a, VFileStore& s, int32_t n) {
    return KeyOfSlot(a, s, s.order[static_cast<size_t>(n - 1)]);
}

// Where a key goes among records 1..count of a sorted file: the number of
// the record it goes after (0: before the first).
int32_t SortedPlace(TWorkArea& a, VFileStore& s, const std::string& key, bool ascending) {
    const int32_t count = s.Count();
    if (count == 0) return 0;
    auto above = [&](const std::string& x, const std::string& y) { return ascending ? x > y : x < y; };
    if (!above(key, KeyAt(a, s, 1))) return 0;          // not above the first: before the head
    if (!above(KeyAt(a, s, count), key)) return count;  // not below the last: after the tail
    int32_t low = 1, high = count, probe = (count + 1) / 2;
    for (;;) {
        const std::string& k = KeyAt(a, s, probe);
        if (k == key) return probe;
        if (above(k, key))
            high = probe;
        else
            low = probe;
        if (high <= low + 1) {
            if (ascending) return key >= KeyAt(a, s, high) ? high : low;
            return key > KeyAt(a, s, high) ? low : high;
        }
        probe = low + (high - low) / 2;
    }
}

Status NoKeymaker(const TWorkArea& a) {
    return Fail(1100, a.alias + " is a \"Sorted\" virtual file with no keymaker function. [Append/InsertRec/PushRec]");
}

Status Add(TWorkArea& a, VFileStore& s) {
    uint8_t mode = a.vfile_mode;
    std::string key;
    if (mode == kAscending || mode == kDescending) {
        if (!s.keymaker) return NoKeymaker(a);
        {
            AreaPin pin(a);  // the keymaker is caller code, and may even replace itself
            const KeyMaker keymaker = s.keymaker;
            keymaker(key);
        }
        key = Cut(std::move(key));
    } else if (mode > kDescending) {
        return Fail(
            1100,
            std::to_string(mode) + " is an invalid VFile mode set for " + a.alias + " [(AddLL) VFiles INTERNAL ERROR]");
    }
    int32_t after = 0;  // the new record goes after record `after`
    if (s.Count() > 0) {
        switch (mode) {
        case kFifo: after = s.Count(); break;
        case kLifo: after = 0; break;
        case kInsertion: after = a.rec_no > 1 ? std::min(a.rec_no - 1, s.Count()) : 0; break;
        default: after = SortedPlace(a, s, key, mode == kAscending); break;
        }
    }
    const uint32_t slot = s.NewSlot(a.record.data());
    if (mode == kAscending || mode == kDescending) {
        s.keys[slot] = std::move(key);
        s.key_valid[slot] = true;
    }
    s.order.insert(s.order.begin() + after, slot);
    a.rec_count = s.Count();
    a.rec_no = after + 1;
    a.bof = a.eof = false;
    return {};
}

Status Write(TWorkArea& a, VFileStore& s, int32_t n) {
    if (n > s.Count()) return Add(a, s);
    if (n < 1) return {};
    if (a.vfile_mode == kAscending || a.vfile_mode == kDescending) {
        // A changed key moves the record to its place. Without a keymaker
        // the record would be taken out and never put back.
        if (!s.keymaker) return NoKeymaker(a);
        s.Remove(n);
        return Add(a, s);
    }
    const uint32_t slot = s.order[static_cast<size_t>(n - 1)];
    std::memcpy(s.Data(slot), a.record.data(), s.rl);
    s.key_valid[slot] = false;
    a.rec_no = n;
    return {};
}

Status Read(TWorkArea& a, VFileStore& s, int32_t n) {
    if (n < 1 || n > s.Count())
        return Fail(212,
                    "Attempted to position to record number " + std::to_string(n) + "  Database record count is " +
                        std::to_string(s.Count()) + a.alias + " [VFiles]");
    std::memcpy(a.record.data(), s.At(n), s.rl);
    a.rec_no = n;
    a.bof = a.eof = false;
    return {};
}

void Empty(TWorkArea& a, VFileStore& s) {
    s.Clear();
    a.rec_no = a.rec_count = 0;
    a.bof = a.eof = true;
}

// The store behind every virtual area.
class VFileManager final : public VirtualFileAttachment {
public:
    Status Dispatch(TWorkArea& a, VFileRequest request, int32_t record) override {
        if (request == VFileRequest::Open) {
            if (a.record.empty())
                return Fail(220, "Variable-length virtual files are not supported [USE(" + a.file_name + ")]");
            auto store = std::make_unique<VFileStore>();
            store->rl = a.record.size();
            a.vfile_store = std::move(store);
            Empty(a, *StoreOf(a));
            return {};
        }
        VFileStore* s = StoreOf(a);
        if (!s && request == VFileRequest::Close) {
            // An open that failed left nothing to free.
            a.fields.clear();
            a.field_count = 0;
            return {};
        }
        if (!s) return Fail(1102, a.alias + " [VFiles]");
        switch (request) {
        case VFileRequest::Close:
            a.vfile_store.reset();
            a.fields.clear();
            a.field_count = 0;
            return {};
        case VFileRequest::DeleteMark:
        case VFileRequest::Recall:
            if (a.rec_no >= 1 && a.rec_no <= s->Count()) {
                const char mark = request == VFileRequest::DeleteMark ? 1 : 0;
                s->At(a.rec_no)[0] = mark;
                a.record[0] = mark;
            }
            return {};
        case VFileRequest::Read: return Read(a, *s, record);
        case VFileRequest::Pack: Pack(a, *s); return {};
        case VFileRequest::Write: return Write(a, *s, record);
        case VFileRequest::Zap: Empty(a, *s); return {};
        default: return Fail(1103, std::to_string(static_cast<int>(request)) + " [VFiles]");
        }
    }

private:
    static void Pack(TWorkArea& a, VFileStore& s) {
        std::vector<uint32_t> kept;
        kept.reserve(s.order.size());
        for (uint32_t slot : s.order) {
            if (s.Data(slot)[0] != 0)
                s.Free(slot);
            else
                kept.push_back(slot);
        }
        s.order.swap(kept);
        a.rec_count = s.Count();
        a.rec_no = a.rec_count > 0 ? 1 : 0;
        a.bof = a.eof = a.rec_count == 0;
        // The buffer shows the record the area now stands on.
        if (a.rec_count > 0)
            std::memcpy(a.record.data(), s.At(1), s.rl);
        else
            std::memset(a.record.data(), 0, a.record.size());
    }
};

// The current area when it holds a virtual file; otherwise reports.
TWorkArea* VirtualArea(std::string_view label) {
    if (CheckArea(label)) return nullptr;
    TWorkArea* a = CurrentTable();
    if (!a->is_virtual || !StoreOf(*a)) {
        RunError(1100, a->alias + " is not a virtual file. [" + std::string(label) + "]");
        return nullptr;
    }
    return a;
}

}  // namespace

void VFileInit() { Engine().attachments.vfile = std::make_unique<VFileManager>(); }

void AddStru(std::span<FieldDef> fields) {
    TWorkArea* a = VirtualArea("AddStru");
    if (!a) return;
    std::vector<FieldInfo> table;
    table.reserve(fields.size());
    for (FieldDef& d : fields) {
        FieldInfo f;
        f.name = platform::AnsiUpper(AllTrim(d.name));
        if (f.name.size() > 10) f.name.resize(10);
        f.type = platform::AnsiUpper(d.type);
        switch (f.type) {
        case 'C':
        case 'F':
        case 'N':
            if (d.length < 1 || d.length > 255) {
                RunError(211,
                         "Invalid length, field name: \"" + f.name + "\" in VFile field list. Alias=" + a->alias +
                             " [AddStru]");
                return;
            }
            f.length = static_cast<uint8_t>(d.length);
            f.decimals = f.type == 'C' ? 0 : static_cast<uint8_t>(std::clamp(d.decimals, 0, 255));
            break;
        case 'D': f.length = 8; break;
        case 'L': f.length = 1; break;
        case 'M':
            f.type = 'N';
            f.length = 10;
            break;
        default:
            RunError(211,
                     "Invalid type \"" + std::string(1, f.type) + "\" in VFile field list. Alias= " + a->alias +
                         " [AddStru]");
            return;
        }
        table.push_back(std::move(f));
    }
    size_t needed = 1;
    for (const FieldInfo& f : table) needed += SlotSize(f);
    if (needed > a->record.size()) {
        RunError(266,
                 "Structure needs " + std::to_string(needed) + " bytes, the buffer of " + a->alias + " has " +
                     std::to_string(a->record.size()) + " [AddStru]");
        return;
    }
    a->fields = std::move(table);
    AssignSwapOffsets(*a);
    // A virtual record is its typed image: fields stand at their slots.
    for (FieldInfo& f : a->fields) f.offset = f.swap_offset;
    a->field_count = static_cast<uint8_t>(a->fields.size());
}

void SnipRec() {
    TWorkArea* a = VirtualArea("SnipRec");
    if (!a) return;
    VFileStore& s = *StoreOf(*a);
    if (a->rec_no < 1 || a->rec_no > s.Count()) return;
    s.Remove(a->rec_no);
    a->rec_count = s.Count();
    if (a->rec_count == 0) {
        a->rec_no = 0;
        a->bof = a->eof = true;
        return;
    }
    a->rec_no = std::min(a->rec_no, a->rec_count);
    std::memcpy(a->record.data(), s.At(a->rec_no), s.rl);
}

void Set_VFileKey_To(KeyMaker keymaker) {
    TWorkArea* a = VirtualArea("Set_VFileKey_To");
    if (!a) return;
    VFileStore& s = *StoreOf(*a);
    s.keymaker = std::move(keymaker);
    std::fill(s.key_valid.begin(), s.key_valid.end(), false);
}

uint8_t Get_VFileMode() {
    TWorkArea* a = VirtualArea("Get_VFileMode");
    return a ? a->vfile_mode : 0;
}

void Set_VFileMode_To(uint8_t mode) {
    TWorkArea* a = VirtualArea("Set_VFileMode_To");
    if (!a) return;
    // Records already held stay in the order they have, which only the
    // present mode keeps correct.
    const bool sorted = mode == kAscending || mode == kDescending;
    if (a->rec_count >= 2 && sorted && mode != a->vfile_mode) {
        RunError(1100,
                 "Cannot set a sort mode on a virtual file containing records. (" + a->alias +
                     ") [(Set_VFileMode_To) VFiles]");
        return;
    }
    a->vfile_mode = mode;
}

void SortVFile(uint8_t mode) {
    TWorkArea* a = VirtualArea("Set_VFileMode_To");
    if (!a) return;
    VFileStore& s = *StoreOf(*a);
    if (!s.keymaker) {
        RunError(1100, a->alias + " has no KeyMaker.  Records cannot be sorted. [SortVFile]");
        return;
    }
    if (mode != kAscending && mode != kDescending) {
        RunError(220, "Sort mode not ASCENDING or DESCENDING for " + a->alias + " [(SortVFile) VFiles]");
        return;
    }
    AreaPin pin(*a);
    // Every key is built before the order changes, so a keymaker that fails
    // leaves the file as it was.
    for (uint32_t slot : s.order) KeyOfSlot(*a, s, slot);
    // The records go into a fresh order one by one, first to last, exactly as
    // appending them to an empty sorted file would place them.
    std::vector<uint32_t> source;
    source.swap(s.order);
    s.order.reserve(source.size());
    for (uint32_t slot : source) {
        const int32_t after = SortedPlace(*a, s, s.keys[slot], mode == kAscending);
        s.order.insert(s.order.begin() + after, slot);
    }
    a->vfile_mode = mode;
    a->rec_count = s.Count();
    if (a->rec_count > 0) {
        SetLastErrorCode(0);
        Report(GoTopIn(*a));
    } else {
        a->rec_no = 0;
        a->bof = a->eof = true;
    }
}

}  // namespace zurod
