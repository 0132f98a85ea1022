// Changes of a table whose production index the area has not opened. The
// index would not learn of them, and whoever opens it next would trust a
// stale tree: before the first such change it is marked to be rebuilt, as a
// pack marks it, and a watch of the file stays in the area, so that further
// changes cost nothing while the mark stands.
//
// On a shared table another process may repair the index meanwhile and clear
// the mark. A repair holds the semaphore's region from its read of the table
// to the clearing of the mark, so a change here holds the region too, from
// its look at the mark until the table is written: it falls before the
// repair's read or after the mark is cleared, and then marks again. Only a
// new mark is written, and it counts as an update, so that the others read
// the header again and find it.
#include "engine/dbf/files.hpp"
#include "engine/index/detail/unit.hpp"

namespace zurod {

namespace {

constexpr int kNotAnIndex = 222;

// The watch, made at the area's first change: the production index's file
// opened as the area would open it, when there is one.
Status StartWatch(TWorkArea& a, IndexArea*& ix) {
    auto made = std::make_unique<IndexArea>();
    ix = made.get();
    a.index_watch = std::move(made);
    const std::string path = IndexPathFor(a, "");
    if (!FileExists(path)) return {};
    // Beside whoever else holds it: the watch writes nothing but the mark.
    const int rc = ix->file.Open(path, IndexOpenMode(a).access, platform::Share::DenyNone);
    // A file too short for an index holds no keys to keep in line.
    if (rc == kNotAnIndex) return {};
    Status s;
    if (rc != 0) s = Fail(static_cast<uint16_t>(rc), "Unable to open index: " + path + " [BeginChange]");
    if (s.ok() && SemaphoreInUse(a)) s = OpenUnlisted(a, ix->semaphore);
    if (s.failed()) {
        ix->file.Close();
        a.index_watch.reset();
        ix = nullptr;
    }
    return s;
}

Status MarkWatched(IndexArea& ix) {
    const bool shared = ix.semaphore.file.IsOpen();
    if (shared) {
        if (Status s = HoldRegion(ix.semaphore); s.failed()) return s;
        // What the disk holds counts once another process wrote the index.
        if (!ix.watch_looked || ix.semaphore.Counter() != ix.semaphore.known_counter) {
            ix.semaphore.known_counter = ix.semaphore.Counter();
            if (int rc = ix.file.ReadHeader(); rc != 0) {
                (void)LetRegionGo(ix.semaphore);
                return Fail(static_cast<uint16_t>(rc),
                            "Error reading index file:  " + ix.file.Path() + " [BeginChange]");
            }
            ix.watch_looked = true;
        }
    }
    if (ix.file.PendingMark() == IndexFile::Mark::All) return {};
    int rc = ix.file.SetMark(IndexFile::Mark::All, 0);
    // On disk before the table changes, whatever the disk does with its writes.
    if (rc == 0) rc = ix.file.Sync();
    Status s = rc == 0
        ? Status{}
        : Fail(static_cast<uint16_t>(rc), "Error writing index file:  " + ix.file.Path() + " [BeginChange]");
    if (s.ok() && shared) s = CountUpdate(ix.semaphore);
    if (s.failed() && shared) (void)LetRegionGo(ix.semaphore);
    return s;
}

}  // namespace

Status GuardUnopenedIn(TWorkArea& a, bool take) {
    if (a.is_virtual || OpenIndexOf(a)) return {};
    IndexArea* ix = WatchOf(a);
    if (!take) return ix && ix->semaphore.region_held ? LetRegionGo(ix->semaphore) : Status{};
    if (!ix)
        if (Status s = StartWatch(a, ix); s.failed()) return s;
    if (!ix->file.IsOpen()) return {};
    return MarkWatched(*ix);
}

void CloseWatch(TWorkArea& a) {
    IndexArea* ix = WatchOf(a);
    if (!ix) return;
    CloseUnlisted(ix->semaphore);
    ix->file.Close();
    a.index_watch.reset();
}

}  // namespace zurod
