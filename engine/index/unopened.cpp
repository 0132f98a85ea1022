// Changes of a table whose production index the area has not opened (it has
// no index open, or another one). The index would not learn of them, and
// whoever opens it next would trust a stale tree: before the first such
// change it is marked to be rebuilt, as a pack marks it, and a watch of the
// file stays in the area, so that further changes cost nothing while the
// mark stands.
//
// On a shared table another process may repair the index meanwhile and clear
// the mark. A repair holds the semaphore's region from its read of the table
// to the clearing of the mark, so a change here holds the region too, from
// its look at the mark until the table is written: it falls before the
// repair's read or after the mark is cleared, and then marks again. Only a
// new mark is written, and it counts as an update, so that the others read
// the header again and find it. The semaphore belongs to the table: with
// another index open, its write side already holds the region and counts
// the update when it ends.
#include "engine/dbf/files.hpp"
#include "engine/index/detail/unit.hpp"
#include "platform/paths.hpp"

namespace zurod {

namespace {

constexpr int kNotAnIndex = 222;

// The watch, made at the area's first change: the production index's file
// opened beside whoever else holds it (the watch writes only the mark), when
// there is one and it is not the index the area has open.
Status StartWatch(TWorkArea& a, IndexArea*& ix) {
    auto made = std::make_unique<IndexArea>();
    ix = made.get();
    a.index_watch = std::move(made);
    const std::string path = IndexPathFor(a, "");
    if (!FileExists(path)) return {};
    if (IndexArea* own = OpenIndexOf(a)) {
        platform::FileId id;
        if (platform::IdentifyFile(path, id) != 0 || id == own->file.Handle().Id()) return {};
    }
    const int rc = ix->file.Open(path, IndexOpenMode(a).access, platform::Share::DenyNone);
    // A file too short for an index holds no keys to keep in line.
    if (rc == kNotAnIndex) return {};
    Status s;
    if (rc != 0) s = Fail(static_cast<uint16_t>(rc), "Unable to open index: " + path + " [BeginChange]");
    if (s.ok() && SemaphoreInUse(a) && !OpenIndexOf(a)) s = OpenUnlisted(a, ix->semaphore);
    if (s.failed()) {
        ix->file.Close();
        a.index_watch.reset();
        ix = nullptr;
    }
    return s;
}

// The table's semaphore for the watch: the open index's, or the watch's
// own. Its region is taken unless the open index's write side holds it.
Semaphore& SemaphoreFor(TWorkArea& a, IndexArea& ix) {
    IndexArea* own = OpenIndexOf(a);
    return own ? own->semaphore : ix.semaphore;
}

Status MarkWatched(TWorkArea& a, IndexArea& ix) {
    Semaphore& sem = SemaphoreFor(a, ix);
    const bool in_use = sem.file.IsOpen();
    if (in_use && !sem.region_held) {
        if (Status s = HoldRegion(sem); s.failed()) return s;
        ix.watch_holding = true;
    }
    const auto fail = [&](int rc, const char* what) {
        if (ix.watch_holding) (void)LetRegionGo(sem);
        ix.watch_holding = false;
        return Fail(static_cast<uint16_t>(rc), what + ix.file.Path() + " [BeginChange]");
    };
    // What the disk holds counts once another process wrote the index. The
    // counter the watch last knew is kept in its own semaphore record, also
    // when it goes by the open index's semaphore.
    if (in_use && (!ix.watch_looked || sem.Counter() != ix.semaphore.known_counter)) {
        if (int rc = ix.file.ReadHeader(); rc != 0) return fail(rc, "Error reading index file:  ");
        ix.watch_looked = true;
    }
    // A write side that holds the region counts one update when it ends.
    if (in_use && !ix.watch_holding) ix.semaphore.known_counter = static_cast<uint16_t>(sem.Counter() + 1);
    if (ix.file.PendingMark() == IndexFile::Mark::All) {
        if (ix.watch_holding) ix.semaphore.known_counter = sem.Counter();
        return {};
    }
    int rc = ix.file.SetMark(IndexFile::Mark::All, 0);
    // On disk before the table changes, whatever the disk does with its writes.
    if (rc == 0) rc = ix.file.Sync();
    if (rc != 0) return fail(rc, "Error writing index file:  ");
    if (!ix.watch_holding) return {};
    if (Status s = CountUpdate(sem); s.failed()) {
        (void)LetRegionGo(sem);
        ix.watch_holding = false;
        return s;
    }
    ix.semaphore.known_counter = sem.Counter();
    return {};
}

}  // namespace

Status GuardUnopenedIn(TWorkArea& a, bool take) {
    if (a.is_virtual) return {};
    IndexArea* ix = WatchOf(a);
    if (!take) {
        if (!ix || !ix->watch_holding) return {};
        ix->watch_holding = false;
        return LetRegionGo(SemaphoreFor(a, *ix));
    }
    if (!ix)
        if (Status s = StartWatch(a, ix); s.failed()) return s;
    if (!ix->file.IsOpen()) return {};
    return MarkWatched(a, *ix);
}

void CloseWatch(TWorkArea& a) {
    IndexArea* ix = WatchOf(a);
    if (!ix) return;
    CloseUnlisted(ix->semaphore);
    ix->file.Close();
    a.index_watch.reset();
}

}  // namespace zurod
