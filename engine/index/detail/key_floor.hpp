#pragma once
// A floor under the keys of one tag of an area's index (SetKeyFloor): the
// records whose key in that tag comes before the floor are passed over by
// the walks of every order of the index without being read. The caller sets
// it beside a filter that hides those records anyway (a filter on the date
// over a tag whose key starts with the date), so a walk costs what the
// records it shows cost, however many the filter hides.
//
// In the floor's own tag the keys tell it; in the other orders the records
// at or above the floor are known from a walk of the tag from the floor on,
// kept current as this process changes keys. That knowledge is only taken
// while the area is held exclusively: another writer's changes would be
// unseen, and the filter decides alone then.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/dbf/status.hpp"

namespace zurod {

struct TWorkArea;
struct IndexArea;
class Tag;

struct KeyFloor {
    int tag = 0;      // entry number of the floor's tag; 0: no floor
    std::string low;  // the floor as key bytes, padded with NULs to the key length
    // Records 1..known by number: bit set when the record's key is at or above the floor.
    std::vector<uint64_t> above;
    int32_t known = 0;
    int64_t above_count = 0;
    bool built = false;

    bool Set() const { return tag != 0; }
};

// Whether the floor lets the entry the cursor of `t` (the active order)
// stands on through. Records past those known go through.
bool FloorAdmits(const IndexArea& ix, const Tag& t);
// The floor's own tag is the active order `t`.
bool FloorTagIs(const IndexArea& ix, const Tag& t);
// Before a walk of order `t`: learns the records at or above the floor when
// the walk needs them and the area is held exclusively. `none` when no
// record at all can pass.
Status PrepareFloor(TWorkArea& area, IndexArea& ix, const Tag& t, bool& none);
// A record's key in tag `n` became `key` (`in` false: it is in the tag no more).
void NoteFloorKey(IndexArea& ix, int n, int32_t record, bool in, const std::string& key);

}  // namespace zurod
