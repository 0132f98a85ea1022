// The floor under a tag's keys: which records lie at or above it, learnt by
// one walk of the tag and kept as keys change.
#include "engine/index/detail/key_floor.hpp"

#include <algorithm>

#include "engine/dbf/detail/navigation.hpp"
#include "engine/index/detail/unit.hpp"

namespace zurod {

namespace {

const uint8_t* Bytes(const std::string& key) { return reinterpret_cast<const uint8_t*>(key.data()); }

bool Above(const KeyFloor& f, int32_t record) {
    if (record < 1 || record > f.known) return true;
    const auto n = static_cast<uint32_t>(record);
    return (f.above[n >> 6] >> (n & 63)) & 1;
}

void SetAbove(KeyFloor& f, int32_t record, bool above) {
    if (record < 1) return;
    if (record > f.known) {
        // Records appended since: those between were learnt by nobody and pass.
        const int32_t from = f.known + 1;
        f.above.resize((static_cast<size_t>(record) >> 6) + 1, 0);
        f.known = record;
        for (int32_t r = from; r < record; ++r) SetAbove(f, r, true);
    }
    const auto n = static_cast<uint32_t>(record);
    uint64_t& word = f.above[n >> 6];
    const uint64_t bit = uint64_t{1} << (n & 63);
    if (((word & bit) != 0) == above) return;
    word ^= bit;
    f.above_count += above ? 1 : -1;
}

// One walk of the floor's tag from the floor to its end.
Status Learn(TWorkArea& a, IndexArea& ix, Tag& t) {
    KeyFloor& f = ix.floor;
    RefreshRecCount(a);
    f.known = a.rec_count;
    f.above.assign((static_cast<size_t>(f.known) >> 6) + 1, 0);
    f.above_count = 0;
    bool found = false;
    Status s = t.Seek(Bytes(f.low), found);
    const bool on_entry = s.ok() && t.OnEntry();
    if (on_entry) {
        // No key below the floor: every record is above it, with no walk.
        bool below = false;
        s = t.Step(false, below);
        if (s.ok() && !below) {
            std::fill(f.above.begin(), f.above.end(), ~uint64_t{0});
            f.above.front() &= ~uint64_t{1};  // no record 0
            if (const int spare = 63 - (f.known & 63); spare > 0) f.above.back() &= ~uint64_t{0} >> spare;
            f.above_count = f.known;
            t.path_valid = false;
            f.built = true;
            return {};
        }
        if (s.ok()) s = t.Step(true, below);
    }
    for (bool on = s.ok() && on_entry; on;) {
        const int32_t r = t.Record();
        if (r >= 1 && r <= f.known && !Above(f, r)) SetAbove(f, r, true);
        if ((s = t.Step(true, on)).failed()) break;
    }
    // The tag's cursor finds its place anew when its order is chosen.
    t.path_valid = false;
    f.built = s.ok();
    return s;
}

}  // namespace

bool FloorTagIs(const IndexArea& ix, const Tag& t) { return ix.floor.Set() && ix.TagAt(ix.floor.tag) == &t; }

bool FloorAdmits(const IndexArea& ix, const Tag& t) {
    const KeyFloor& f = ix.floor;
    if (!f.Set()) return true;
    if (FloorTagIs(ix, t)) return t.Compare(t.Key(), Bytes(f.low)) >= 0;
    return !f.built || Above(f, t.Record());
}

Status PrepareFloor(TWorkArea& a, IndexArea& ix, const Tag& t, bool& none) {
    none = false;
    KeyFloor& f = ix.floor;
    if (!f.Set() || FloorTagIs(ix, t)) return {};
    if (!a.exclusive) {
        f.built = false;
        return {};
    }
    if (!f.built) {
        Tag* floor_tag = ix.TagAt(f.tag);
        if (!floor_tag) return {};
        if (Status s = Learn(a, ix, *floor_tag); s.failed()) return s;
    }
    none = f.above_count == 0 && f.known >= a.rec_count;
    return {};
}

void NoteFloorKey(IndexArea& ix, int n, int32_t record, bool in, const std::string& key) {
    KeyFloor& f = ix.floor;
    if (!f.Set() || n != f.tag || !f.built) return;
    const Tag* t = ix.TagAt(n);
    SetAbove(f, record, !in || !t || key.size() < t->key_length || t->Compare(Bytes(key), Bytes(f.low)) >= 0);
}

}  // namespace zurod
