// The bulk build: each tag checked and compiled, the table read once for all
// of them with every record's key computed once, each tag's keys sorted
// (sort_runs.cpp) and its tree written (tree_writer.cpp). A new file is
// built beside the old one and put in its place only when it is complete.
#include <algorithm>
#include <bit>
#include <cstring>

#include "engine/dbf/detail/editing.hpp"
#include "engine/dbf/detail/navigation.hpp"
#include "engine/dbf/detail/record_io.hpp"
#include "engine/dbf/files.hpp"
#include "engine/dbf/strings.hpp"
#include "engine/expr/keys.hpp"
#include "engine/index/detail/sort_runs.hpp"
#include "engine/index/detail/tree_writer.hpp"
#include "engine/index/detail/unit.hpp"
#include "platform/clock.hpp"
#include "platform/codepage.hpp"
#include "platform/dos_error.hpp"
#include "platform/file.hpp"
#include "platform/paths.hpp"

namespace zurod {

namespace {

// A build step's failure; `fatal` when the new file cannot be trusted any
// more (a write failed), so the build stops and the old file stays.
struct BuildFailure {
    Status status;
    bool fatal = false;
};

Status WriteError(int rc, const std::string& what) { return Fail(static_cast<uint16_t>(rc), what + " [MakeIndex]"); }

// Calls the progress callback every `interval` steps, and at the end as
// often as the step count still asks.
class Progress {
public:
    Progress(const BuildSettings& settings, int32_t records) : callback_(settings.progress), steps_(settings.steps) {
        if (steps_ > 0 && callback_) interval_ = std::max<int64_t>(int64_t{records / steps_} * 2, 2);
    }
    void Tick(int64_t done) {
        if (interval_ > 0 && done % interval_ == 0) Call();
    }
    void Finish() {
        while (interval_ > 0 && calls_ < steps_) Call();
    }

private:
    void Call() {
        ++calls_;
        callback_();
    }
    std::function<void()> callback_;
    int steps_;
    int64_t interval_ = 0;
    int calls_ = 0;
};

struct TagPlan {
    std::string name;
    char type = 'C';
    uint16_t key_length = 0;
    uint16_t item_length = 0;
    uint16_t max_keys = 0;
    bool descending = false;
    bool unique = false;
    std::string key_text, for_text;
    std::unique_ptr<ExprProgram> key_program;
    std::unique_ptr<ExprProgram> for_program;
};

Status TagFailure(uint16_t code, const std::string& text) { return Fail(code, text + " [AddIndexTag()]"); }

// Checks and compiles a descriptor; nothing is written for a tag refused here.
Status PlanTag(TWorkArea& a, const TagDescriptor& d, TagPlan& plan) {
    plan.name = platform::AnsiUpper(AllTrim(d.name).substr(0, mdx::kMaxTagName));
    const std::string condition = AllTrim(d.condition);
    if (!condition.empty()) {
        const Status s = CompileExpr(&a, condition, 0, plan.for_program);
        if (s.failed()) return TagFailure(s.code, "Invalid FOR expression for " + plan.name);
        if (plan.for_program->Type() != 'L') return TagFailure(362, "Invalid FOR expression for " + plan.name);
    }
    const std::string key = AllTrim(d.key);
    if (key.size() > mdx::kMaxExpression) return TagFailure(300, "Expression length exceeds 100 bytes");
    if (Status s = CompileExpr(&a, key, 0, plan.key_program); s.failed()) return s;
    const char type = plan.key_program->Type();
    if (type != 'C' && type != 'N' && type != 'D') return TagFailure(254, "Wrong parser return type");
    plan.type = type;
    if (type == 'C') {
        size_t length = plan.key_program->Length();
        if (length == 0) {
            // A key of varying width takes the width it has for the record at hand.
            std::string value;
            if (Status s = EvaluateKey(*plan.key_program, value); s.failed()) return s;
            length = value.size();
        }
        if (length < 1 || length > mdx::kMaxKeyLength)
            return TagFailure(266, "Incorrect key length: Must be 1 to 100.");
        plan.key_length = static_cast<uint16_t>(length);
    } else {
        plan.key_length = type == 'D' ? 8 : 12;
    }
    plan.item_length = mdx::ItemLength(plan.key_length);
    plan.max_keys = mdx::MaxKeys(plan.item_length);
    plan.descending = d.descending;
    plan.unique = d.unique;
    plan.key_text = key;
    plan.for_text = condition;
    return {};
}

int FreeSpace(const BuildSettings& settings, const std::string& path, uint64_t& bytes) {
    return settings.free_space ? settings.free_space(path, bytes) : platform::FreeDiskBytes(path, bytes);
}

Status CheckSpace(const BuildSettings& settings, const std::string& folder, uint64_t needed) {
    uint64_t free = 0;
    if (FreeSpace(settings, folder, free) != 0 || free >= needed) return {};
    return Fail(227,
                "Available disk space: " + std::to_string(free / 1024) + " KBytes;" +
                    "needed: " + std::to_string((needed + 1023) / 1024) + " KBytes [MakeIndex]");
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

// Restores the area's record buffer and number after the build pointed
// them at each record in turn.
class RecordPointerScope {
public:
    explicit RecordPointerScope(TWorkArea& a) : a_(a), record_(a.record), rec_no_(a.rec_no), eof_(a.eof), bof_(a.bof) {}
    ~RecordPointerScope() {
        a_.record = record_;
        a_.rec_no = rec_no_;
        a_.eof = eof_;
        a_.bof = bof_;
    }
    RecordPointerScope(const RecordPointerScope&) = delete;
    RecordPointerScope& operator=(const RecordPointerScope&) = delete;

private:
    TWorkArea& a_;
    std::span<char> record_;
    int32_t rec_no_;
    bool eof_, bof_;
};

// One tag's build: its keys gathered while the table is read, then sorted
// (or merged from runs) and written.
class TagBuilder {
public:
    TagBuilder(TWorkArea& a, IndexFile& file, TagPlan& plan, const BuildSettings& settings, size_t budget,
               int32_t count)
        : a_(a), file_(file), plan_(plan), settings_(settings), progress_(settings, count),
          form_(plan.type, plan.descending, plan.key_length), keys_(form_, plan.key_length, budget, count) {}

    // What stopped this tag (its other work is skipped); `fatal` for a
    // failed write, which stops the whole build.
    BuildFailure failure;

    Status CheckDisk(int32_t count) {
        // Nodes: one per full node at each level above the leaves, and a spare.
        uint64_t nodes = 0;
        for (uint64_t level = static_cast<uint64_t>(count);; level /= plan_.max_keys) {
            nodes += level / plan_.max_keys + 1;
            if (level < plan_.max_keys) break;
        }
        if (Status s = CheckSpace(settings_, FolderOf(file_.Path()), (nodes + 1) * mdx::kNodeSize); s.failed())
            return s;
        if (keys_.Spills(count))
            return CheckSpace(settings_, platform::TempDirectory(),
                              static_cast<uint64_t>(count) * (form_.Length() + plan_.key_length + 4u));
        return {};
    }

    // The key of the record in the area's buffer, when it belongs in the tag.
    void Take() {
        progress_.Tick(a_.rec_no);
        if (plan_.for_program) {
            if (Status s = plan_.for_program->Run(); s.failed()) return Stop(std::move(s));
            if (!plan_.for_program->Result().logical) return;
            satisfied_ = true;
        }
        if (Status s = EvaluateKey(*plan_.key_program, key_); s.failed()) return Stop(std::move(s));
        if (plan_.type == 'C') {
            key_.resize(plan_.key_length, ' ');
            if (a_.oem) platform::AnsiToOem(std::span<char>(key_));
        }
        if (Status s = keys_.Add(reinterpret_cast<const uint8_t*>(key_.data()), static_cast<uint32_t>(a_.rec_no));
            s.failed())
            return Stop(std::move(s), true);
    }

    // Sorts what was gathered, writes the tree and the tag's header.
    void Finish() {
        uint32_t root = 0;
        if (Status s = WriteTree(root); s.failed()) return Stop(std::move(s), true);
        progress_.Finish();
        WriteHeader(root);
    }

private:
    void Stop(Status s, bool fatal = false) {
        if (failure.status.ok()) failure = {std::move(s), fatal};
        keys_.Release();
    }

    // Passes the keys in order to the writer; a unique tag keeps the first
    // (lowest record) of equal keys.
    Status WriteTree(uint32_t& root) {
        TreeWriter writer(file_, plan_.item_length, plan_.key_length, plan_.max_keys);
        std::vector<uint8_t> previous(form_.Length());
        bool any = false;
        int64_t written = 0;
        const KeySorter::Emit add = [&](const uint8_t* slot, uint32_t record) -> Status {
            if (plan_.unique && any && std::memcmp(previous.data(), slot, form_.Length()) == 0) return {};
            any = true;
            std::memcpy(previous.data(), slot, form_.Length());
            progress_.Tick(++written);
            return writer.Add(slot + form_.Length(), record);
        };
        if (Status s = keys_.Drain(add); s.failed()) return s;
        return writer.Finish(root);
    }

    void WriteHeader(uint32_t root) {
        mdx::NodeBytes h{};
        uint8_t* p = h.data();
        mdx::Put32(p + mdx::kRootAt, root);
        p[mdx::kFlagsAt] = static_cast<uint8_t>(mdx::kFlagAlways | (plan_.descending ? mdx::kFlagDescending : 0) |
                                                (plan_.unique ? mdx::kFlagUnique : 0));
        p[mdx::kTypeAt] = static_cast<uint8_t>(plan_.type);
        mdx::Put16(p + mdx::kKeyLengthAt, plan_.key_length);
        mdx::Put16(p + mdx::kMaxKeysAt, plan_.max_keys);
        mdx::Put16(p + mdx::kDateFlagAt, plan_.type == 'D' ? 1 : 0);
        mdx::Put16(p + mdx::kItemLengthAt, plan_.item_length);
        p[mdx::kUniqueAt] = plan_.unique ? 1 : 0;
        mdx::PutCString(p + mdx::kKeyExpressionAt, mdx::kMaxExpression + 1, plan_.key_text);
        if (plan_.for_program) {
            p[mdx::kHasForAt] = 1;
            p[mdx::kForSatisfiedAt] = satisfied_ ? 1 : 0;
            mdx::PutCString(p + mdx::kForExpressionAt, mdx::kMaxExpression + 1, plan_.for_text);
        }
        uint32_t block = 0;
        if (int rc = file_.Append(h, block); rc != 0) return Stop(WriteError(rc, "Error writing tag header"), true);
        mdx::PutTagEntry(file_.header, plan_.name, block, plan_.type);
        file_.MarkHeader(0, mdx::kHeaderSize);
    }

    TWorkArea& a_;
    IndexFile& file_;
    TagPlan& plan_;
    const BuildSettings& settings_;
    Progress progress_;
    KeyForm form_;
    KeySorter keys_;
    std::string key_;
    bool satisfied_ = false;
};

// Builds the tags of the list into `file`: each descriptor checked, the table
// read once for all of them, then each tag sorted and written in list order.
// A refused tag is left out; a failed write stops everything.
BuildFailure BuildTags(TWorkArea& a, IndexFile& file, const std::vector<TagDescriptor>& list,
                       const BuildSettings& settings) {
    RefreshRecCount(a);
    const int32_t count = a.rec_count;
    std::vector<TagPlan> plans(list.size());
    std::vector<Status> refused(list.size());
    std::vector<std::string> names;
    for (size_t i = 0; i < list.size() && !AllTrim(list[i].name).empty(); ++i) {
        refused[i] = PlanTag(a, list[i], plans[i]);
        if (refused[i].failed()) continue;
        const bool known = std::find(names.begin(), names.end(), plans[i].name) != names.end();
        if (!known && names.size() == mdx::kMaxTags) {
            refused[i] = TagFailure(220, "No room for tag " + plans[i].name + ": an index file holds at most 47 tags");
            continue;
        }
        if (!known) names.push_back(plans[i].name);
    }
    // The memory budget is shared out by the room each tag's keys take.
    const auto item_bytes = [](const TagPlan& p) {
        return KeySorter::ItemBytes(KeyForm(p.type, p.descending, p.key_length), p.key_length);
    };
    size_t all_items = 0;
    for (size_t i = 0; i < list.size(); ++i)
        if (refused[i].ok() && plans[i].key_program) all_items += item_bytes(plans[i]);
    std::vector<std::unique_ptr<TagBuilder>> builders(list.size());
    for (size_t i = 0; i < list.size(); ++i) {
        if (refused[i].failed() || !plans[i].key_program) continue;
        const size_t budget =
            static_cast<size_t>(static_cast<double>(settings.memory_budget) *
                                static_cast<double>(item_bytes(plans[i])) / static_cast<double>(all_items));
        builders[i] = std::make_unique<TagBuilder>(a, file, plans[i], settings, budget, count);
        if (Status s = builders[i]->CheckDisk(count); s.failed()) {
            refused[i] = std::move(s);
            builders[i].reset();
        }
    }

    {
        RecordPointerScope keep(a);
        AreaPin pin(a);
        RecordBlockReader r(a, 1, count);
        while (r.Next()) {
            TranslateRecord(Direction::Read, a.oem, a.read_hook, r.Records(), a.record_length);
            for (int32_t i = 0; i < r.Count(); ++i) {
                a.record = r.Record(i);
                a.rec_no = r.First() + i;
                for (auto& b : builders)
                    if (b && b->failure.status.ok()) b->Take();
            }
            for (auto& b : builders)
                if (b && b->failure.fatal) return std::move(b->failure);
        }
        if (r.status().failed()) return {r.status(), true};
    }

    BuildFailure first;
    for (size_t i = 0; i < list.size(); ++i) {
        Status s = std::move(refused[i]);
        if (builders[i]) {
            if (builders[i]->failure.status.ok()) builders[i]->Finish();
            if (builders[i]->failure.fatal) return std::move(builders[i]->failure);
            s = std::move(builders[i]->failure.status);
            builders[i].reset();
        }
        if (s.failed() && first.status.ok()) first.status = std::move(s);
    }
    return first;
}

// Whether an open other than the area's own holds the index file. The
// area's own handle (its index, or the watch of an index it has not opened)
// is asked whether it could hold the file alone, and left as it was.
bool HeldElsewhere(TWorkArea& a, const std::string& path) {
    if (!FileExists(path)) return false;
    for (IndexArea* ix : {IndexOf(a), WatchOf(a)}) {
        if (!ix || !ix->file.IsOpen()) continue;
        platform::File& own = ix->file.Handle();
        platform::FileId id;
        if (platform::IdentifyFile(path, id) == 0 && id == own.Id()) {
            const platform::Share share = own.CurrentShare();
            if (own.ChangeShare(platform::Share::Exclusive) != 0) return true;
            (void)own.ChangeShare(share);
            return false;
        }
    }
    platform::File probe;
    return probe.Open(path, platform::Access::Read, platform::Share::Exclusive) == platform::kSharingViolation;
}

std::string BaseName(const std::string& path) {
    std::string name = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
    if (const size_t dot = name.rfind('.'); dot != std::string::npos) name.erase(dot);
    return name;
}

}  // namespace

Status MakeIndexIn(TWorkArea& a, const std::vector<TagDescriptor>& list, std::string_view name, bool& all) {
    all = false;
    const std::string label = "MakeIndex(" + std::string(name) + ")";
    if (a.is_virtual) return Fail(220, "Virtual files have no index [" + label + "]");
    const std::string path = IndexPathFor(a, name);

    // Refused before anything changes, the area's own index included: the
    // table is held alone while the build reads it (changes of others would
    // reach neither file), and another process reading the old file would
    // not see the new one.
    bool reopened = false;
    if (!a.exclusive) {
        if (ReopenTableIn(a, true) != 0) return Fail(225, a.file_name + " " + label);
        reopened = true;
    }
    const auto reopen_shared = [&](Status status) {
        if (reopened && ReopenTableIn(a, false) != 0 && status.ok())
            status = Fail(225, "Cannot_Reopen_Database_Sharable " + label);
        return status;
    };
    if (HeldElsewhere(a, path))
        return reopen_shared(Fail(32, "Index file in use by another program: " + path + " [MakeIndex]"));
    if (Status s = CloseIndexIn(a); s.failed()) return reopen_shared(std::move(s));

    // Built beside the file a link names, and put in its place: the link stays.
    const std::string real = platform::FinalPath(platform::ResolveExisting(path));
    const std::string temp = BuildFileName(real);
    (void)platform::RemoveFile(temp);
    IndexFile out;
    if (int rc = out.Create(temp); rc != 0) return reopen_shared(WriteError(rc, "Cannot create " + temp));
    const auto abandon = [&](Status status) {
        out.Close();
        (void)platform::RemoveFile(temp);
        return reopen_shared(std::move(status));
    };
    const platform::LocalDateTime now = platform::Now();
    mdx::InitFileHeader(out.header, BaseName(a.file.Path()), now.year, now.month, now.day);
    if (int rc = out.WriteBlocks(0, out.header); rc != 0) return abandon(WriteError(rc, "Error writing " + temp));

    BuildFailure built;
    {
        CurrentAreaScope current(a);
        built = BuildTags(a, out, list, IndexEngine().build);
    }
    if (built.fatal) return abandon(std::move(built.status));
    mdx::Put32(out.header.data() + mdx::kPageCountAt, out.Blocks());
    out.MarkHeader(0, mdx::kHeaderSize);
    int rc = out.WriteHeader();
    if (rc == 0) rc = out.Sync();
    if (rc == 0) (void)TakeModeOfOld(out.Handle(), real, a);
    if (rc == 0) rc = out.Handle().RenameOver(real);
    if (rc != 0) return abandon(WriteError(rc, "Error writing " + path));
    out.Close();
    all = built.status.ok();
    return reopen_shared(std::move(built.status));
}

Status BuildTagsInto(TWorkArea& a, IndexFile& file, const std::vector<TagDescriptor>& list) {
    CurrentAreaScope current(a);
    return BuildTags(a, file, list, IndexEngine().build).status;
}

}  // namespace zurod
