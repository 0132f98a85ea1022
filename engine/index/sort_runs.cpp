// Sorting a tag's keys within the build's memory budget: in memory while they
// fit, else in sorted runs of a work file merged back, in several passes
// when the budget cannot give every run a buffer.
#include "engine/index/detail/sort_runs.hpp"

#include <algorithm>
#include <cstring>
#include <queue>

#include "engine/index/detail/format.hpp"
#include "platform/paths.hpp"

namespace zurod {

namespace {

// The least a run's reader or the merge's writer buffers.
constexpr size_t kMinBuffer = size_t{64} << 10;

Status WorkError(int rc, const std::string& what) { return Fail(static_cast<uint16_t>(rc), what + " [MakeIndex]"); }

// Bytes [from, from + 8) of a key form as a number that orders like them.
uint64_t Prefix(const uint8_t* form, size_t length, size_t from) {
    uint64_t p = 0;
    for (size_t i = from; i < from + 8; ++i) p = p << 8 | (i < length ? form[i] : 0);
    return p;
}

// Reads one run back through its share of the buffers.
class RunReader {
public:
    RunReader(platform::File& file, uint64_t at, uint64_t length, size_t record, size_t buffer)
        : file_(file), next_(at), end_(at + length), record_(record) {
        buffer_.resize(std::max(record, buffer / record * record));
    }
    // Moves to the next item; `has` is false at the end of the run.
    Status Next(bool& has) {
        if (started_) pos_ += record_;
        started_ = true;
        if (pos_ + record_ > filled_) {
            const uint64_t want = std::min<uint64_t>(buffer_.size(), end_ - next_);
            size_t got = 0;
            if (want > 0)
                if (int rc = file_.ReadAt(next_, {reinterpret_cast<char*>(buffer_.data()), want}, got); rc != 0)
                    return WorkError(rc, "Cannot read work file");
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

// Gathers items and writes them to the work file in large writes.
class RunWriter {
public:
    RunWriter(platform::File& file, uint64_t at, size_t buffer) : file_(file), at_(at) { buffer_.reserve(buffer); }
    Status Add(const uint8_t* item, size_t length) {
        if (buffer_.size() + length > buffer_.capacity())
            if (Status s = Flush(); s.failed()) return s;
        buffer_.insert(buffer_.end(), item, item + length);
        return {};
    }
    Status Flush() {
        if (buffer_.empty()) return {};
        if (int rc = file_.WriteAt(at_, {reinterpret_cast<const char*>(buffer_.data()), buffer_.size()}); rc != 0)
            return WorkError(rc, "Cannot write work file " + file_.Path());
        at_ += buffer_.size();
        buffer_.clear();
        return {};
    }
    uint64_t End() const { return at_ + buffer_.size(); }

private:
    platform::File& file_;
    uint64_t at_;
    std::vector<uint8_t> buffer_;
};

}  // namespace

KeyForm::KeyForm(char type, bool descending, uint16_t key_length)
    : type_(type), descending_(descending), key_length_(key_length), length_(type == 'C'       ? key_length
                                                                                 : type == 'D' ? 8
                                                                                               : 12) {}

void KeyForm::Normalize(const uint8_t* key, uint8_t* out) const {
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

size_t KeySorter::ItemBytes(const KeyForm& form, uint16_t key_length) {
    return sizeof(Item) + form.Length() + size_t{key_length};
}

KeySorter::KeySorter(const KeyForm& form, uint16_t key_length, size_t budget, int32_t expected)
    : form_(form), key_length_(key_length), stride_(form.Length() + size_t{key_length}),
      budget_(std::max(budget, kMinBudget)) {
    max_items_ = std::max<size_t>(budget_ / ItemBytes(form, key_length), 16);
    const size_t first = std::min<size_t>(static_cast<size_t>(std::max(expected, 0)), max_items_);
    items_.reserve(first);
    arena_.reserve(first * stride_);
}

KeySorter::~KeySorter() { Release(); }

bool KeySorter::Spills(int64_t count) const { return static_cast<uint64_t>(count) > max_items_; }

Status KeySorter::Add(const uint8_t* key, uint32_t record) {
    if (items_.size() == max_items_)
        if (Status s = Spill(); s.failed()) return s;
    const size_t at = items_.size();
    arena_.resize((at + 1) * stride_);
    uint8_t* slot = arena_.data() + at * stride_;
    form_.Normalize(key, slot);
    std::memcpy(slot + form_.Length(), key, key_length_);
    items_.push_back(
        {Prefix(slot, form_.Length(), 0), Prefix(slot, form_.Length(), 8), record, static_cast<uint32_t>(at)});
    return {};
}

void KeySorter::Sort() {
    const uint8_t* arena = arena_.data();
    const size_t stride = stride_;
    const size_t rest = form_.Length() > 16 ? form_.Length() - 16u : 0;
    std::sort(items_.begin(), items_.end(), [=](const Item& x, const Item& y) {
        if (x.high != y.high) return x.high < y.high;
        if (x.low != y.low) return x.low < y.low;
        if (rest > 0) {
            const int c = std::memcmp(arena + size_t{x.at} * stride + 16, arena + size_t{y.at} * stride + 16, rest);
            if (c != 0) return c < 0;
        }
        return x.record < y.record;
    });
}

Status KeySorter::OpenWorkFile() {
    if (work_.IsOpen()) return {};
    if (int rc = platform::CreateTempFile("TZP", work_path_); rc != 0) return WorkError(rc, "Cannot create work file");
    if (int rc = work_.Open(work_path_, platform::Access::ReadWrite, platform::Share::Exclusive); rc != 0)
        return WorkError(rc, "Cannot open work file " + work_path_);
    return {};
}

Status KeySorter::Spill() {
    if (Status s = OpenWorkFile(); s.failed()) return s;
    Sort();
    RunWriter out(work_, work_size_, kMinBuffer);
    for (const Item& item : items_) {
        uint8_t rec[4];
        mdx::Put32(rec, item.record);
        if (Status s = out.Add(arena_.data() + size_t{item.at} * stride_, stride_); s.failed()) return s;
        if (Status s = out.Add(rec, 4); s.failed()) return s;
    }
    if (Status s = out.Flush(); s.failed()) return s;
    runs_.push_back({work_size_, out.End() - work_size_});
    work_size_ = out.End();
    items_.clear();
    arena_.clear();
    return {};
}

Status KeySorter::Merge(const std::vector<Run>& runs, size_t memory, const Emit& emit) {
    const size_t record = stride_ + 4;
    const size_t share = std::max(memory / std::max<size_t>(runs.size(), 1), kMinBuffer);
    std::vector<RunReader> readers;
    readers.reserve(runs.size());
    for (const Run& r : runs) readers.emplace_back(work_, r.at, r.length, record, share);
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
        if (Status s = emit(readers[i].Item(), mdx::Get32(readers[i].Item() + stride_)); s.failed()) return s;
        bool has = false;
        if (Status s = readers[i].Next(has); s.failed()) return s;
        if (has) heads.push(i);
    }
    return {};
}

Status KeySorter::MergeInto(const std::vector<Run>& runs, size_t memory, Run& merged) {
    // The writer takes a reader's share.
    const size_t share = std::max(memory / (runs.size() + 1), kMinBuffer);
    RunWriter out(work_, work_size_, share);
    const Emit add = [&](const uint8_t* item, uint32_t) { return out.Add(item, stride_ + 4); };
    if (Status s = Merge(runs, memory - std::min(memory, share), add); s.failed()) return s;
    if (Status s = out.Flush(); s.failed()) return s;
    merged = {work_size_, out.End() - work_size_};
    work_size_ = out.End();
    return {};
}

Status KeySorter::Drain(const Emit& emit) {
    if (runs_.empty()) {
        Sort();
        for (const Item& item : items_)
            if (Status s = emit(arena_.data() + size_t{item.at} * stride_, item.record); s.failed()) return s;
        Release();
        return {};
    }
    if (!items_.empty())
        if (Status s = Spill(); s.failed()) return s;
    // The keys are in the runs: the memory they took is the merge's now.
    FreeMemory();
    // Runs beyond what the budget can give a buffer each are merged into
    // larger ones first, the oldest first.
    const size_t fan_in = std::max<size_t>(budget_ / kMinBuffer - 1, 2);
    std::vector<Run> runs = runs_;
    while (runs.size() > fan_in) {
        const std::vector<Run> group(runs.begin(), runs.begin() + static_cast<ptrdiff_t>(fan_in));
        Run merged;
        if (Status s = MergeInto(group, budget_, merged); s.failed()) return s;
        runs.erase(runs.begin(), runs.begin() + static_cast<ptrdiff_t>(fan_in));
        runs.push_back(merged);
    }
    Status s = Merge(runs, budget_, emit);
    Release();
    return s;
}

void KeySorter::FreeMemory() {
    // (Assigning {} would keep the capacity.)
    std::vector<Item>().swap(items_);
    std::vector<uint8_t>().swap(arena_);
}

void KeySorter::Release() {
    FreeMemory();
    runs_.clear();
    work_.Close();
    if (!work_path_.empty()) (void)platform::RemoveFile(work_path_);
    work_path_.clear();
    work_size_ = 0;
}

}  // namespace zurod
