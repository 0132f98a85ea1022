// Opening and closing an area's index, choosing the order, rebuilding.
#include <algorithm>

#include "engine/dbf/detail/navigation.hpp"
#include "engine/dbf/detail/record_io.hpp"
#include "engine/dbf/detail/swap_buffer.hpp"
#include "engine/dbf/files.hpp"
#include "engine/dbf/settings.hpp"
#include "engine/dbf/strings.hpp"
#include "engine/index/detail/unit.hpp"
#include "platform/codepage.hpp"

namespace zurod {

namespace {

bool HasExtension(std::string_view path) {
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    return dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash);
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string WithoutExtension(const std::string& path) {
    return HasExtension(path) ? path.substr(0, path.rfind('.')) : path;
}

std::string OpenFailure(uint16_t code, const std::string& path, const std::string& detail) {
    std::string text;
    switch (code) {
    case 217: text = "Insufficient memory to open index: "; break;
    case 222: text = "Invalid dBASE key expression or corrupted index file "; break;
    case 266: text = "Incorrect key length: Must be 1 to 100. "; break;
    default: text = "Unable to open index: "; break;
    }
    text += path;
    if (!detail.empty()) text += " (" + detail + ")";
    return text + " [OpenIndex/Set_Index_To]";
}

Status CloseTag(TWorkArea& a, IndexArea& ix, Tag& t) {
    if (!t.header_changed.any) return {};
    const bool flush = IndexEngine().flush;
    if (!SemaphoreInUse(a)) return t.WriteHeader(flush);
    platform::File& f = ix.file.Handle();
    if (int rc = f.Lock(0, 1); rc != 0)
        return Fail(static_cast<uint16_t>(rc), "Could not lock index for writing anchor node " + t.Label());
    Status s = t.WriteHeader(flush);
    if (int rc = f.Unlock(0, 1); rc != 0 && s.ok())
        s = Fail(static_cast<uint16_t>(rc), "Could not unlock index after writing anchor node " + t.Label());
    return s;
}

// The header and every tag of a newly opened index.
Status OpenTagsIn(TWorkArea& a, IndexArea& ix, const std::string& path) {
    if (int rc = ix.file.ReadHeader(); rc != 0) return Fail(222, OpenFailure(0, path, ""));
    const int count = mdx::TagCount(ix.file.header);
    if (count > mdx::kMaxTags) return Fail(222, OpenFailure(222, path, "tag count"));
    CurrentAreaScope current(a);
    for (int n = 1; n <= count; ++n) {
        if (Status s = OpenTag(a, ix.file, n, ix.tags[n]); s.failed())
            return Fail(s.code, OpenFailure(s.code, path, s.message));
        ix.tag_count = n;
    }
    return {};
}

}  // namespace

OpenMode IndexOpenMode(const TWorkArea& a) {
    OpenMode mode{platform::Access::ReadWrite, platform::Share::Exclusive};
    if (Settings().network_mode && !a.exclusive) mode.share = platform::Share::DenyNone;
    if (Settings().open_mode_override != kNoOpenModeOverride)
        mode = DecodeOpenMode(static_cast<uint8_t>(Settings().open_mode_override));
    return mode;
}

Status IndexNotOpen(const TWorkArea& a, const std::string& routine) {
    return Fail(221, "Index not open. (DBF=" + a.file_name + ") [" + routine + "]");
}

std::string IndexPathFor(const TWorkArea& a, std::string_view name) {
    std::string n = AllTrim(name);
    const std::string table = a.file.IsOpen() ? a.file.Path() : a.file_name;
    if (n.empty()) return WithoutExtension(table) + ".MDX";
    if (!HasExtension(n)) n += ".MDX";
    if (n.find('/') == std::string::npos) n = FolderOf(table) + n;
    return n;
}

Status SetIndexToIn(TWorkArea& a, std::string_view name) {
    if (a.is_virtual) return Fail(220, "Virtual files have no index [SetIndexTo(" + std::string(name) + ")]");
    const std::string path = IndexPathFor(a, name);
    if (Status s = CloseIndexIn(a); s.failed()) return s;
    if (!FileExists(path)) return Fail(2, "SetIndexTo(" + AllTrim(name) + ")");
    auto owned = std::make_unique<IndexArea>();
    IndexArea& ix = *owned;
    a.index_block = std::move(owned);
    const uint16_t override_mode = Settings().open_mode_override;
    if (override_mode == kNoOpenModeOverride || (override_mode & 0x40) != 0) {
        if (Status s = HandleSemaphoreIn(a, ix, kLogin); s.failed()) {
            a.index_block.reset();
            return s;
        }
    }
    if (Status s = OpenIndexIn(a, path); s.failed()) {
        (void)CloseIndexIn(a);
        return s;
    }
    return {};
}

Status OpenIndexIn(TWorkArea& a, const std::string& path) {
    CloseWatch(a);
    if (!a.index_block) a.index_block = std::make_unique<IndexArea>();
    IndexArea* ix = IndexOf(a);
    IndexUnit& unit = IndexEngine();
    const OpenMode mode = IndexOpenMode(a);
    RemoveStaleBuild(path);
    if (int rc = ix->file.Open(path, mode.access, mode.share); rc != 0)
        return Fail(static_cast<uint16_t>(rc), OpenFailure(0, path, ""));
    ++unit.open_indexes;

    {
        ReadSide read(a, *ix);
        if (read.status().failed()) return read.status();
        Status s = OpenTagsIn(a, *ix, path);
        s = FirstFailure(std::move(s), read.Release());
        if (s.failed()) return s;
    }
    // A change that did not end (its process died, a write failed) is put
    // right before the index is used.
    if (Status s = RepairMarkedIndexIn(a, *ix); s.failed()) return s;
    const int count = ix->tag_count;
    ix->active = count > 0 ? 1 : 0;
    ix->natural = count == 0;
    RefreshRecCount(a);
    if (count == 0) return {};
    if (a.rec_count == 0) {
        for (int n = 1; n <= count; ++n) ix->tags[n]->at_begin = ix->tags[n]->at_end = true;
        return {};
    }
    // The area goes to the first visible record of the first tag.
    CurrentAreaScope current(a);
    return GoTopIn(a);
}

Status ShareIndexAsTable(TWorkArea& a) {
    const platform::Share share = IndexOpenMode(a).share;
    // What a key floor learnt holds only while nobody else could change a key.
    if (IndexArea* ix = IndexOf(a)) ix->floor.built = false;
    for (IndexArea* ix : {IndexOf(a), WatchOf(a)}) {
        // Share modes deny more in the order of their values.
        if (!ix || !ix->file.IsOpen() || ix->file.Handle().CurrentShare() <= share) continue;
        if (int rc = ix->file.Handle().ChangeShare(share); rc != 0)
            return Fail(static_cast<uint16_t>(rc), "Cannot share index file: " + ix->file.Path() + " [ReopenTable]");
    }
    return {};
}

Status CloseIndexIn(TWorkArea& a) {
    CloseWatch(a);
    IndexArea* ix = IndexOf(a);
    if (!ix) return {};
    IndexUnit& unit = IndexEngine();
    const bool was_open = ix->Open();
    ix->natural = false;
    Status status;
    for (int n = 1; n <= mdx::kMaxTags; ++n) {
        if (!ix->tags[n]) continue;
        status = FirstFailure(std::move(status), CloseTag(a, *ix, *ix->tags[n]));
        ix->tags[n].reset();
    }
    if (int rc = ix->file.WriteHeader(); rc != 0 && status.ok())
        status = Fail(static_cast<uint16_t>(rc), "Error closing index file:  " + ix->file.Path());
    ix->file.Close();
    if (was_open && unit.open_indexes > 0) --unit.open_indexes;
    status = FirstFailure(std::move(status), HandleSemaphoreIn(a, *ix, kLogout));
    a.index_block.reset();
    return status;
}

Status SetOrderIn(TWorkArea& a, int n, const std::string& label) {
    IndexArea* ix = OpenIndexOf(a);
    if (!ix) return IndexNotOpen(a, label);
    if (n < 0 || n > ix->tag_count)
        return Fail(220, "Invalid Index Order Specified: SET_ORDER_TO. [" + label + "] (DBF=" + a.file_name + ")");
    if (n == 0) {
        ix->natural = true;
        return {};
    }
    if (!ix->tags[n]) return Fail(221, "Index not open.. (DBF=" + a.file_name + ") [" + label + "]");
    ReadSide read(a, *ix);
    if (read.status().failed()) return read.status();
    IndexUnit& unit = IndexEngine();
    const bool found = unit.found;
    CurrentAreaScope current(a);
    ix->natural = false;
    if (a.rec_no >= 1 && a.rec_no <= a.rec_count) {
        if (Status s = GetDbfRecord(a, a.rec_no); s.failed()) return s;
        RecordToBuffer(a);
    }
    ix->active = n;
    // Only the active order's cursor is used; the others find their records
    // by key when they change.
    Status s = SyncChosenOrderIn(a, *ix);
    if (s.ok()) s = TakeKeysIn(a, *ix, true);
    unit.found = found;
    return FirstFailure(std::move(s), read.Release());
}

int TagNumberIn(const IndexArea& ix, std::string_view name, bool or_begun) {
    const std::string upper = platform::AnsiUpper(AllTrim(name.substr(0, mdx::kMaxTagName)));
    if (upper.empty()) return 0;
    for (int t = 1; t <= ix.tag_count; ++t)
        if (ix.tags[t] && ix.tags[t]->name == upper) return t;
    if (!or_begun) return 0;
    for (int t = 1; t <= ix.tag_count; ++t)
        if (ix.tags[t] && ix.tags[t]->name.compare(0, upper.size(), upper) == 0) return t;
    return 0;
}

Status OrderToTagIn(TWorkArea& a, std::string_view name) {
    std::string n = AllTrim(name.substr(0, mdx::kMaxTagName));
    const std::string label = "SetOrderToTag(" + n + ")";
    IndexArea* ix = OpenIndexOf(a);
    if (!ix) return IndexNotOpen(a, label);
    if (n.empty()) return SetOrderIn(a, 0, label);
    const int chosen = TagNumberIn(*ix, n, true);
    if (chosen == 0)
        return Fail(220, "Invalid Index Order Specified: SET_ORDER_TO. [" + label + "] (DBF=" + a.file_name + ")");
    return SetOrderIn(a, chosen, label);
}

Status ReadDescriptors(IndexFile& file, std::vector<TagDescriptor>& list) {
    list.clear();
    const int count = std::min(mdx::TagCount(file.header), mdx::kMaxTags);
    for (int n = 1; n <= count; ++n) {
        mdx::NodeBytes h{};
        const uint32_t block = mdx::TagHeaderBlock(file.header, n);
        if (block < mdx::kHeaderBlocks || file.ReadBlocks(block, std::span(h.data(), mdx::kTagHeaderSize)) != 0)
            continue;
        TagDescriptor d;
        d.name = mdx::TagName(file.header, n);
        d.key = RTrim(mdx::CString(h.data() + mdx::kKeyExpressionAt, mdx::kMaxExpression));
        if (h[mdx::kHasForAt] != 0)
            d.condition = RTrim(mdx::CString(h.data() + mdx::kForExpressionAt, mdx::kMaxExpression));
        d.descending = (h[mdx::kFlagsAt] & mdx::kFlagDescending) != 0;
        d.unique = (h[mdx::kFlagsAt] & mdx::kFlagUnique) != 0 || h[mdx::kUniqueAt] != 0;
        if (!d.name.empty() && !AllTrim(d.key).empty()) list.push_back(std::move(d));
    }
    return {};
}

std::vector<TagDescriptor> OpenTagDescriptors(const IndexArea& ix) {
    std::vector<TagDescriptor> list;
    for (int n = 1; n <= ix.tag_count; ++n) {
        const Tag* t = ix.TagAt(n);
        if (!t) continue;
        TagDescriptor d;
        d.name = t->name;
        d.key = mdx::CString(t->header.data() + mdx::kKeyExpressionAt, mdx::kMaxExpression);
        if (t->header[mdx::kHasForAt] != 0)
            d.condition = mdx::CString(t->header.data() + mdx::kForExpressionAt, mdx::kMaxExpression);
        d.descending = t->descending;
        d.unique = t->unique;
        list.push_back(std::move(d));
    }
    return list;
}

Status ReindexIn(TWorkArea& a) {
    IndexArea* ix = OpenIndexOf(a);
    if (!ix) return IndexNotOpen(a, "Reindex");
    const std::vector<TagDescriptor> list = OpenTagDescriptors(*ix);
    const Tag* active = ix->ActiveTag();
    const std::string order = active ? active->name : std::string();
    const std::string path = ix->file.Path();
    bool all = true;
    Status s = MakeIndexIn(a, list, path, all);
    // Refused, the index is still open as it was; failed after it was closed,
    // the old file stands and is opened again.
    if (s.failed() && OpenIndexOf(a)) return s;
    s = FirstFailure(std::move(s), SetIndexToIn(a, path));
    if (OpenIndexOf(a)) s = FirstFailure(std::move(s), OrderToTagIn(a, order));
    return s;
}

}  // namespace zurod
