// The bulk build: every record's key computed once, the (key, record) pairs
// sorted in memory (in runs merged from a work file when they exceed the
// memory budget), and the tree written from the leaves up in one sequential
// pass. A new file is built beside the old one and put in its place only
// when it is complete.
#include <algorithm>
#include <bit>
#include <cstring>
#include <queue>

#include "engine/dbf/detail/editing.hpp"
#include "engine/dbf/detail/navigation.hpp"
#include "engine/dbf/detail/record_io.hpp"
#include "engine/dbf/files.hpp"
#include "engine/dbf/strings.hpp"
#include "engine/expr/keys.hpp"
#include "engine/index/detail/unit.hpp"
#include "platform/clock.hpp"
#include "platform/codepage.hpp"
#include "platform/dos_error.hpp"
#include "platform/file.hpp"
#include "platform/paths.hpp"

namespace zurod {

namespace {

constexpr size_t kWriteBuffer = size_t{256} << 10;
constexpr size_t kMinRunBuffer = size_t{64} << 10;

// A build step's failure; `fatal` when the new file cannot be trusted any
// more (a write failed), so the build stops and the old file stays.
struct BuildFailure {
    Status status;
    bool fatal = false;
};

Status WriteError(int rc, const std::string& what) { return Fail(static_cast<uint16_t>(rc), what + " [MakeIndex]"); }

// The order-preserving form of a key: comparing two of them byte by byte
// orders them as the tag does, descending tags included.
class KeyForm {
public:
    KeyForm(char type, bool descending, uint16_t key_length)
        : type_(type), descending_(descending), key_length_(key_length), length_(type == 'C'       ? key_length
                                                                                     : type == 'D' ? 8
                                                                                                   : 12) {}
    uint16_t Length() const { return length_; }

    void Normalize(const uint8_t* key, uint8_t* out) const {
        switch (type_) {
        case 'D': {
            uint64_t bits = 0;
            for (int i = 7; i >= 0; --i) bits = bits << 8 | key[i];
            bits = (bits >> 63) ? ~bits : bits | (uint64_t{1} << 63);
            for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(bits >> (56 - 8 * i));
            break;
        }
        case 'N': {
            // Sign, then the exponent (0 for zero), then the digits; all
            // turned round for negative numbers.
            const bool negative = (key[1] & 0x80) != 0;
            const bool zero = ((key[1] >> 2) & 0x1F) == 0;
            const uint8_t flip = negative ? 0xFF : 0x00;
            out[0] = negative ? 0 : 1;
            out[1] = static_cast<uint8_t>((zero ? 0 : key[0]) ^ flip);
            for (int i = 2; i < 12; ++i) out[i] = static_cast<uint8_t>(key[i] ^ flip);
            break;
        }
        default: std::memcpy(out, key, key_length_); break;
        }
        if (descending_)
            for (uint16_t i = 0; i < length_; ++i) out[i] = static_cast<uint8_t>(~out[i]);
    }

private:
    char type_;
    bool descending_;
    uint16_t key_length_;
    uint16_t length_;
};

// Bytes [from, from + 8) of a key form as a number that orders like them.
uint64_t Prefix(const uint8_t* form, size_t length, size_t from) {
    uint64_t p = 0;
    for (size_t i = from; i < from + 8; ++i) p = p << 8 | (i < length ? form[i] : 0);
    return p;
}

// One key in the sort: the first 16 bytes of its form inline, so that most
// comparisons never reach the arena holding the rest.
struct SortItem {
    uint64_t high, low;
    uint32_t record;
    uint32_t at;  // item number in the arena
};

// Writes the tree from keys in order: full leaves, and above them inner
// nodes of up to max + 1 children, passed up as each fills. Nodes go to the
// end of the file in large sequential writes.
class TreeWriter {
public:
    TreeWriter(IndexFile& file, uint16_t item, uint16_t key_length, uint16_t max_keys)
        : file_(file), item_(item), key_length_(key_length), max_(max_keys) {
        next_block_ = first_block_ = file.Blocks();
        out_.reserve(kWriteBuffer);
    }

    Status Add(const uint8_t* key, uint32_t record) {
        if (leaf_count_ == max_)
            if (Status s = EmitLeaf(); s.failed()) return s;
        uint8_t* entry = leaf_.data() + mdx::kEntriesAt + size_t{leaf_count_} * item_;
        mdx::Put32(entry, record);
        std::memcpy(entry + 4, key, key_length_);
        std::memcpy(leaf_high_.data(), key, key_length_);
        ++leaf_count_;
        return {};
    }

    // Writes what is still open, from the leaves up; `root` is the top node.
    Status Finish(uint32_t& root) {
        if (leaf_count_ > 0 || !wrote_leaf_)
            if (Status s = EmitLeaf(); s.failed()) return s;
        // (Writing a node may add a level, so no reference into levels_ is kept.)
        for (size_t level = 0; level < levels_.size(); ++level) {
            if (written_[level] == 0 && levels_[level].size() == 1) {
                root = levels_[level][0].block;
                break;
            }
            // Two children at least in every node: the last two share what
            // one full node cannot take.
            if (levels_[level].size() == size_t{max_} + 2)
                if (Status s = WriteInner(level, max_); s.failed()) return s;
            if (Status s = WriteInner(level, levels_[level].size()); s.failed()) return s;
        }
        return Flush();
    }

private:
    struct Child {
        uint32_t block;
        std::array<uint8_t, mdx::kMaxKeyLength> key;
    };

    Status Emit(const uint8_t* node, uint32_t& block) {
        block = next_block_;
        next_block_ += mdx::kNodeSize / mdx::kBlockSize;
        out_.insert(out_.end(), node, node + mdx::kNodeSize);
        if (out_.size() >= kWriteBuffer) return Flush();
        return {};
    }

    Status Flush() {
        if (out_.empty()) return {};
        if (int rc = file_.WriteBlocks(first_block_, out_); rc != 0) return WriteError(rc, "Error writing index nodes");
        first_block_ = next_block_;
        out_.clear();
        return {};
    }

    Status EmitLeaf() {
        mdx::Put32(leaf_.data(), leaf_count_);
        uint32_t block = 0;
        if (Status s = Emit(leaf_.data(), block); s.failed()) return s;
        wrote_leaf_ = true;
        leaf_.fill(0);
        leaf_count_ = 0;
        return Push(0, block, leaf_high_.data());
    }

    Status Push(size_t level, uint32_t block, const uint8_t* key) {
        if (levels_.size() <= level) {
            levels_.emplace_back();
            written_.push_back(0);
        }
        Child c{block, {}};
        std::memcpy(c.key.data(), key, key_length_);
        levels_[level].push_back(c);
        // A full node is written once two more children are waiting, so that
        // the last node of a level never holds a single child.
        if (levels_[level].size() == size_t{max_} + 3) return WriteInner(level, size_t{max_} + 1);
        return {};
    }

    // A node of the first `count` children waiting at `level`.
    Status WriteInner(size_t level, size_t count) {
        mdx::NodeBytes node{};
        std::vector<Child>& c = levels_[level];  // not used past Push, which may add a level
        mdx::Put32(node.data(), static_cast<uint32_t>(count - 1));
        for (size_t i = 0; i + 1 < count; ++i) {
            uint8_t* entry = node.data() + mdx::kEntriesAt + i * item_;
            mdx::Put32(entry, c[i].block);
            std::memcpy(entry + 4, c[i].key.data(), key_length_);
        }
        mdx::Put32(node.data() + mdx::kEntriesAt + (count - 1) * item_, c[count - 1].block);
        const Child last = c[count - 1];
        c.erase(c.begin(), c.begin() + static_cast<ptrdiff_t>(count));
        ++written_[level];
        uint32_t block = 0;
        if (Status s = Emit(node.data(), block); s.failed()) return s;
        return Push(level + 1, block, last.key.data());
    }

    IndexFile& file_;
    uint16_t item_, key_length_, max_;
    mdx::NodeBytes leaf_{};
    uint32_t leaf_count_ = 0;
    std::array<uint8_t, mdx::kMaxKeyLength> leaf_high_{};
    bool wrote_leaf_ = false;
    std::vector<std::vector<Child>> levels_;  // the children waiting for a node one level up
    std::vector<uint32_t> written_;
    std::vector<uint8_t> out_;
    uint32_t first_block_ = 0, next_block_ = 0;
};

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

// Sorted runs of items in a work file in the temporary folder, merged.
class RunFile {
public:
    ~RunFile() {
        file_.Close();
        if (!path_.empty()) (void)platform::RemoveFile(path_);
    }
    Status Write(const std::vector<uint8_t>& bytes) {
        if (!file_.IsOpen()) {
            if (int rc = platform::CreateTempFile("TZP", path_); rc != 0)
                return WriteError(rc, "Cannot create work file");
            if (int rc = file_.Open(path_, platform::Access::ReadWrite, platform::Share::Exclusive); rc != 0)
                return WriteError(rc, "Cannot open work file " + path_);
        }
        if (int rc = file_.WriteAt(size_, {reinterpret_cast<const char*>(bytes.data()), bytes.size()}); rc != 0)
            return WriteError(rc, "Cannot write work file " + path_);
        runs_.push_back({size_, bytes.size()});
        size_ += bytes.size();
        return {};
    }
    size_t Runs() const { return runs_.size(); }
    struct Run {
        uint64_t at, length;
    };
    const Run& RunAt(size_t i) const { return runs_[i]; }
    platform::File& File() { return file_; }

private:
    platform::File file_;
    std::string path_;
    uint64_t size_ = 0;
    std::vector<Run> runs_;
};

// Reads one run back through its share of the buffer.
class RunReader {
public:
    RunReader(platform::File& file, RunFile::Run run, size_t record, size_t buffer)
        : file_(file), next_(run.at), end_(run.at + run.length), record_(record) {
        buffer_.resize(std::max(record, buffer / record * record));
    }
    // The next item; false at the end of the run.
    Status Next(bool& has) {
        if (started_) pos_ += record_;
        started_ = true;
        if (pos_ + record_ > filled_) {
            const uint64_t want = std::min<uint64_t>(buffer_.size(), end_ - next_);
            size_t got = 0;
            if (want > 0)
                if (int rc = file_.ReadAt(next_, {reinterpret_cast<char*>(buffer_.data()), want}, got); rc != 0)
                    return WriteError(rc, "Cannot read work file");
            next_ += got;
            filled_ = got - got % record_;
            pos_ = 0;
        }
        has = pos_ + record_ <= filled_;
        return {};
    }
    const uint8_t* Item() const { return buffer_.data() + pos_; }

private:
    platform::File& file_;
    uint64_t next_, end_;
    size_t record_;
    std::vector<uint8_t> buffer_;
    size_t filled_ = 0, pos_ = 0;
    bool started_ = false;
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
        : a_(a), file_(file), plan_(plan), settings_(settings), budget_(budget), progress_(settings, count),
          form_(plan.type, plan.descending, plan.key_length), stride_(form_.Length() + plan.key_length) {
        max_items_ = std::max<size_t>(budget_ / (sizeof(SortItem) + stride_), 256);
        items_.reserve(std::min<size_t>(static_cast<size_t>(count), max_items_));
        arena_.reserve(items_.capacity() * stride_);
    }

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
        if (static_cast<uint64_t>(count) * (sizeof(SortItem) + stride_) > budget_)
            return CheckSpace(settings_, platform::TempDirectory(), static_cast<uint64_t>(count) * (stride_ + 4));
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
        if (items_.size() == max_items_)
            if (Status s = SpillRun(); s.failed()) return Stop(std::move(s), true);
        const size_t at = items_.size();
        arena_.resize((at + 1) * stride_);
        uint8_t* slot = arena_.data() + at * stride_;
        form_.Normalize(reinterpret_cast<const uint8_t*>(key_.data()), slot);
        std::memcpy(slot + form_.Length(), key_.data(), plan_.key_length);
        items_.push_back({Prefix(slot, form_.Length(), 0), Prefix(slot, form_.Length(), 8),
                          static_cast<uint32_t>(a_.rec_no), static_cast<uint32_t>(at)});
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
        items_ = {};
        arena_ = {};
    }

    void Sort() {
        const uint8_t* arena = arena_.data();
        const size_t stride = stride_;
        const size_t rest = form_.Length() > 16 ? form_.Length() - 16u : 0;
        std::sort(items_.begin(), items_.end(), [=](const SortItem& x, const SortItem& y) {
            if (x.high != y.high) return x.high < y.high;
            if (x.low != y.low) return x.low < y.low;
            if (rest > 0) {
                const int c = std::memcmp(arena + size_t{x.at} * stride + 16, arena + size_t{y.at} * stride + 16, rest);
                if (c != 0) return c < 0;
            }
            return x.record < y.record;
        });
    }

    Status SpillRun() {
        Sort();
        std::vector<uint8_t> bytes;
        bytes.reserve(items_.size() * (stride_ + 4));
        for (const SortItem& item : items_) {
            const uint8_t* slot = arena_.data() + size_t{item.at} * stride_;
            bytes.insert(bytes.end(), slot, slot + stride_);
            uint8_t rec[4];
            mdx::Put32(rec, item.record);
            bytes.insert(bytes.end(), rec, rec + 4);
        }
        items_.clear();
        arena_.clear();
        return runs_.Write(bytes);
    }

    // Passes the keys in order to the writer; a unique tag keeps the first
    // (lowest record) of equal keys.
    Status WriteTree(uint32_t& root) {
        TreeWriter writer(file_, plan_.item_length, plan_.key_length, plan_.max_keys);
        std::vector<uint8_t> previous(form_.Length());
        bool any = false;
        int64_t written = 0;
        const auto add = [&](const uint8_t* slot, uint32_t record) -> Status {
            if (plan_.unique && any && std::memcmp(previous.data(), slot, form_.Length()) == 0) return {};
            any = true;
            std::memcpy(previous.data(), slot, form_.Length());
            progress_.Tick(++written);
            return writer.Add(slot + form_.Length(), record);
        };
        if (runs_.Runs() == 0) {
            Sort();
            for (const SortItem& item : items_)
                if (Status s = add(arena_.data() + size_t{item.at} * stride_, item.record); s.failed()) return s;
        } else {
            if (!items_.empty())
                if (Status s = SpillRun(); s.failed()) return s;
            if (Status s = Merge(add); s.failed()) return s;
        }
        items_ = {};
        arena_ = {};
        return writer.Finish(root);
    }

    template <class Add>
    Status Merge(const Add& add) {
        const size_t record = stride_ + 4;
        const size_t share = std::max(budget_ / runs_.Runs(), kMinRunBuffer);
        std::vector<RunReader> readers;
        readers.reserve(runs_.Runs());
        for (size_t i = 0; i < runs_.Runs(); ++i) readers.emplace_back(runs_.File(), runs_.RunAt(i), record, share);
        const size_t form = form_.Length();
        const auto later = [&](size_t x, size_t y) {
            const int c = std::memcmp(readers[x].Item(), readers[y].Item(), form);
            if (c != 0) return c > 0;
            return mdx::Get32(readers[x].Item() + stride_) > mdx::Get32(readers[y].Item() + stride_);
        };
        std::priority_queue<size_t, std::vector<size_t>, decltype(later)> heads(later);
        for (size_t i = 0; i < readers.size(); ++i) {
            bool has = false;
            if (Status s = readers[i].Next(has); s.failed()) return s;
            if (has) heads.push(i);
        }
        while (!heads.empty()) {
            const size_t i = heads.top();
            heads.pop();
            if (Status s = add(readers[i].Item(), mdx::Get32(readers[i].Item() + stride_)); s.failed()) return s;
            bool has = false;
            if (Status s = readers[i].Next(has); s.failed()) return s;
            if (has) heads.push(i);
        }
        return {};
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
    size_t budget_;
    Progress progress_;
    KeyForm form_;
    size_t stride_;
    size_t max_items_ = 0;
    std::string key_;
    std::vector<SortItem> items_;
    std::vector<uint8_t> arena_;
    RunFile runs_;
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
        return sizeof(SortItem) + KeyForm(p.type, p.descending, p.key_length).Length() + size_t{p.key_length};
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

// Whether a process other than this open holds the file.
bool HeldElsewhere(const std::string& path) {
    if (!FileExists(path)) return false;
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
    if (Status s = CloseIndexIn(a); s.failed()) return s;

    // Another process reading the old file would not see the new one.
    bool reopened = false;
    if (HeldElsewhere(path)) {
        if (!a.exclusive) {
            if (ReopenTableIn(a, true) != 0) return Fail(225, a.file_name + " " + label);
            reopened = true;
        }
        if (HeldElsewhere(path)) {
            if (reopened) (void)ReopenTableIn(a, false);
            return Fail(32, "Index file in use by another program: " + path + " [MakeIndex]");
        }
    }
    const auto reopen_shared = [&](Status status) {
        if (reopened && ReopenTableIn(a, false) != 0 && status.ok())
            status = Fail(225, "Cannot_Reopen_Database_Sharable " + label);
        return status;
    };

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
