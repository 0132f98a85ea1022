#include "engine/dbf/copy.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <vector>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/dates.hpp"
#include "engine/dbf/detail/area_table.hpp"
#include "engine/dbf/detail/editing.hpp"
#include "engine/dbf/detail/navigation.hpp"
#include "engine/dbf/detail/record_io.hpp"
#include "engine/dbf/detail/swap_buffer.hpp"
#include "engine/dbf/detail/table_header.hpp"
#include "engine/dbf/edit.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/files.hpp"
#include "engine/dbf/settings.hpp"
#include "engine/dbf/strings.hpp"
#include "platform/codepage.hpp"
#include "platform/numbers.hpp"
#include "platform/paths.hpp"

namespace zurod {

namespace {

constexpr size_t kCopyBlock = 1 << 20;

void PutBlock(char* raw, size_t length, int32_t block) {
    char text[16];
    auto [end, ec] = std::to_chars(text, text + sizeof text, block);
    const size_t n = static_cast<size_t>(end - text);
    std::memset(raw, ' ', length);
    if (ec == std::errc() && n <= length) std::memcpy(raw + (length - n), text, n);
}

bool HasMemoFields(const TWorkArea& a) {
    return std::any_of(a.fields.begin(), a.fields.end(), [](const FieldInfo& f) { return f.type == 'M'; });
}

std::vector<FieldDef> FieldList(const TWorkArea& a) {
    std::vector<FieldDef> defs;
    defs.reserve(a.fields.size());
    for (const FieldInfo& f : a.fields) defs.push_back({f.name, f.type, f.length, f.decimals});
    return defs;
}

// Collects raw records for a new table and writes them in large blocks; the
// count and the end mark follow when the table is closed.
class BulkWriter {
public:
    explicit BulkWriter(TWorkArea& target) : t_(target) { block_.reserve(kCopyBlock + t_.record_length); }
    BulkWriter(const BulkWriter&) = delete;
    BulkWriter& operator=(const BulkWriter&) = delete;
    // Records collected before an exception left the copy are still written.
    ~BulkWriter() { (void)Flush(); }

    Status Add(const char* raw) {
        block_.insert(block_.end(), raw, raw + t_.record_length);
        ++pending_;
        return block_.size() < kCopyBlock ? Status{} : Flush();
    }
    Status Flush() {
        if (pending_ == 0) return {};
        TranslateRecord(Direction::Write, t_.oem, t_.write_hook, block_, t_.record_length);
        const int rc = t_.file.WriteAt(RecordOffset(t_, t_.rec_count + 1), block_);
        block_.clear();
        const int32_t n = pending_;
        pending_ = 0;
        if (rc != 0) return Fail(static_cast<uint16_t>(rc), "File:  " + t_.file_name + " [CopyTo]");
        t_.rec_count += n;
        t_.rec_no = t_.rec_count;
        t_.header_state = HeaderState::Appended;
        return {};
    }

private:
    TWorkArea& t_;
    std::vector<char> block_;
    int32_t pending_ = 0;
};

std::string NumberText(double value, int decimals) {
    return decimals > 0 ? platform::FormatFixed(value, decimals) : platform::FormatFixed(std::trunc(value), 0);
}

// One target field from its source field, by the conversion table of the
// two types.
Status ConvertField(TWorkArea& src, const FieldInfo& sf, TWorkArea& dst, const FieldInfo& df) {
    const char st = sf.type == 'F' ? 'N' : sf.type;
    const char dt = df.type == 'F' ? 'N' : df.type;
    MemoAttachment* memo = Engine().attachments.memo.get();
    switch (dt) {
    case 'C':
        if (st == 'C') {
            SetSwapString(dst, df, SwapString(src, sf));
        } else if (st == 'N') {
            std::string text =
                RealSlot(sf) ? NumberText(SwapNumber(src, sf), sf.decimals) : std::to_string(SwapInteger(src, sf));
            if (text.size() > df.length) text.assign(df.length, '*');
            text.insert(0, df.length - text.size(), ' ');
            SetSwapString(dst, df, text);
        } else if (st == 'L') {
            SetSwapString(dst, df, SwapLogical(src, sf) ? "T" : "F");
        } else if (st == 'D') {
            std::string text(SwapString(src, sf));
            if (text.size() > df.length && text.size() >= 8) {
                if (DateCode() == 1)
                    text.erase(0, 2);
                else
                    text.erase(6, 2);
            }
            SetSwapString(dst, df, text.substr(0, df.length));
        }
        break;
    case 'N':
        if (st == 'C') {
            const std::string_view text = SwapString(src, sf);
            if (RealSlot(df))
                SetSwapNumber(dst, df, NumTextToReal(text));
            else
                SetSwapInteger(dst, df, NumTextToInt(text));
        } else if (st == 'N') {
            // Real to integer truncates.
            if (RealSlot(df))
                SetSwapNumber(dst, df, df.decimals > 0 ? SwapNumber(src, sf) : std::trunc(SwapNumber(src, sf)));
            else
                SetSwapInteger(dst, df, SwapInteger(src, sf));
        }
        break;
    case 'L': SetSwapLogical(dst, df, st == 'L' && SwapLogical(src, sf)); break;
    case 'D':
        if (st == 'D') {
            SetSwapString(dst, df, SwapString(src, sf));
        } else if (st == 'C') {
            std::string text = AllTrim(SwapString(src, sf));
            if (DateValid(text)) SetSwapString(dst, df, text);
        }
        break;
    case 'M': {
        int32_t block = 0;
        if (st == 'C' && memo) {
            const std::string text = RTrim(SwapString(src, sf));
            if (text.empty()) break;
            if (Status s = memo->Add(dst, text, block); s.failed()) return s;
            SetSwapMemo(dst, df, block);
        } else if (st == 'M' && memo && SwapMemo(src, sf) > 0) {
            if (Status s = memo->Copy(src, SwapMemo(src, sf), dst, block); s.failed()) return s;
            SetSwapMemo(dst, df, block);
        }
        break;
    }
    default: break;
    }
    return {};
}

// Dates move by their stored digits: the text form would give a date outside
// the century window another century when the century is off.
void CopyStoredDate(const TWorkArea& src, const FieldInfo& sf, TWorkArea& dst, const FieldInfo& df) {
    if (src.is_virtual || dst.is_virtual || sf.type != 'D' || df.type != 'D') return;
    std::memset(dst.record.data() + df.offset, ' ', df.length);
    std::memcpy(dst.record.data() + df.offset, src.record.data() + sf.offset, std::min(sf.length, df.length));
}

// Whether both areas have the same fields: names, types, lengths, decimals.
bool SameFields(const TWorkArea& a, const TWorkArea& b) {
    if (a.fields.size() != b.fields.size()) return false;
    for (size_t i = 0; i < a.fields.size(); ++i) {
        const FieldInfo &x = a.fields[i], &y = b.fields[i];
        if (x.name != y.name || x.type != y.type || x.length != y.length || x.decimals != y.decimals) return false;
    }
    return true;
}

// Whether records of `a` can be written to `b` byte for byte: two table
// files whose fields lie at the same places in records of the same length.
bool SameLayout(const TWorkArea& a, const TWorkArea& b) {
    if (a.is_virtual || b.is_virtual || a.record_length != b.record_length || a.fields.size() != b.fields.size())
        return false;
    for (size_t i = 0; i < a.fields.size(); ++i) {
        const FieldInfo &x = a.fields[i], &y = b.fields[i];
        if (x.type != y.type || x.offset != y.offset || x.length != y.length) return false;
    }
    return true;
}

// How the current record of one area becomes the record buffer of another:
// byte for byte when the layouts match (foreign number formats and dates
// outside the century window survive), through the typed buffer when the
// fields match, and field by field by name otherwise. Memos are copied into
// the target's memo file.
class RecordMapper {
public:
    RecordMapper(TWorkArea& src, TWorkArea& dst) : src_(src), dst_(dst) {
        copy_memos_ = !src.is_virtual && src.memo && HasMemoFields(src);
        if (SameLayout(src, dst)) {
            kind_ = Kind::Raw;
        } else if (SameFields(src, dst)) {
            kind_ = Kind::Typed;
        } else {
            kind_ = Kind::ByName;
            map_.assign(dst.fields.size(), -1);
            for (size_t i = 0; i < dst.fields.size(); ++i)
                for (size_t j = 0; j < src.fields.size() && map_[i] < 0; ++j)
                    if (src.fields[j].name == dst.fields[i].name) map_[i] = static_cast<int>(j);
        }
    }

    // Whether any target field takes a value from the source.
    bool AnyField() const {
        return kind_ != Kind::ByName || std::any_of(map_.begin(), map_.end(), [](int j) { return j >= 0; });
    }

    // Whether mapping a record can fail for its values (only the byte-for-byte
    // copy cannot).
    bool CanRefuse() const { return kind_ != Kind::Raw; }

    // Fills the target's record buffer from the source's current record. A
    // trial fills it without touching memo files, to learn whether the
    // record's values fit the target.
    Status Map(bool trial = false) {
        switch (kind_) {
        case Kind::Raw:
            std::copy(src_.record.begin(), src_.record.end(), dst_.record.begin());
            return copy_memos_ && !trial ? CopyRawMemos() : Status{};
        case Kind::Typed: {
            std::copy(src_.swap.begin(), src_.swap.begin() + std::min(src_.swap.size(), dst_.swap.size()),
                      dst_.swap.begin());
            dst_.shadow_valid = false;
            if (copy_memos_ && !trial)
                for (const FieldInfo& f : dst_.fields)
                    if (Status s = CopyMemo(f); s.failed()) return s;
            CarryDates();
            return ToRecord();
        }
        case Kind::ByName:
            BlankRecord(dst_);
            SetSwapDeleted(dst_, SwapDeleted(src_));
            for (size_t i = 0; i < map_.size(); ++i) {
                if (map_[i] < 0 || (trial && dst_.fields[i].type == 'M')) continue;
                if (Status s = ConvertField(src_, Source(i), dst_, dst_.fields[i]); s.failed()) return s;
            }
            CarryDates();
            return ToRecord();
        }
        return {};
    }

private:
    enum class Kind { Raw, Typed, ByName };

    const FieldInfo& Source(size_t i) const {
        return kind_ == Kind::ByName ? src_.fields[static_cast<size_t>(map_[i])] : src_.fields[i];
    }

    Status CopyMemo(const FieldInfo& f) {
        if (f.type != 'M' || SwapMemo(dst_, f) <= 0) return {};
        int32_t block = 0;
        if (Status s = Engine().attachments.memo->Copy(src_, SwapMemo(dst_, f), dst_, block); s.failed()) return s;
        SetSwapMemo(dst_, f, block);
        return {};
    }

    // The memos of a raw record go to the target's memo file, their new block
    // numbers into the target's record (the source keeps its own).
    Status CopyRawMemos() {
        char* raw = dst_.record.data();
        for (const FieldInfo& f : src_.fields) {
            if (f.type != 'M') continue;
            const int64_t block = StoredInteger(std::string_view(raw + f.offset, f.length));
            if (block <= 0) continue;
            int32_t copied = 0;
            if (Status s = Engine().attachments.memo->Copy(src_, static_cast<int32_t>(block), dst_, copied); s.failed())
                return s;
            PutBlock(raw + f.offset, f.length, copied);
        }
        return {};
    }

    // Dates leave a table by their stored digits: with the century off the
    // typed text would carry a two-digit year into the target. A table
    // target takes the digits themselves (CopyStoredDate), a virtual one the
    // date with all four digits of its year.
    void CarryDates() {
        if (src_.is_virtual) return;
        for (size_t i = 0; i < dst_.fields.size(); ++i) {
            if (kind_ == Kind::ByName && map_[i] < 0) continue;
            const FieldInfo &sf = Source(i), &df = dst_.fields[i];
            if (sf.type != 'D' || df.type != 'D') continue;
            const std::string_view stored(src_.record.data() + sf.offset, std::min<size_t>(sf.length, 8));
            SetSwapString(dst_, df, dst_.is_virtual ? StoredToDate(stored, true) : std::string());
        }
    }

    Status ToRecord() {
        if (dst_.is_virtual) return {};
        if (Status s = BufferToRecord(dst_); s.failed()) return s;
        for (size_t i = 0; i < dst_.fields.size(); ++i)
            if (kind_ != Kind::ByName || map_[i] >= 0) CopyStoredDate(src_, Source(i), dst_, dst_.fields[i]);
        return {};
    }

    TWorkArea& src_;
    TWorkArea& dst_;
    Kind kind_ = Kind::ByName;
    std::vector<int> map_;  // by target field: its source field, -1 for none
    bool copy_memos_ = false;
};

// Closes the engine's scratch area when the operation that opened it ends,
// whichever way it ends.
class ScratchArea {
public:
    ScratchArea() = default;
    ~ScratchArea() {
        if (open_) (void)CloseSlot(kScratchArea, true);
    }
    Status Close() {
        open_ = false;
        return CloseSlot(kScratchArea, true);
    }
    void Opened() { open_ = true; }
    ScratchArea(const ScratchArea&) = delete;
    ScratchArea& operator=(const ScratchArea&) = delete;

private:
    bool open_ = false;
};

// Opens `options` in the scratch area; the area or nullptr with the failure.
TWorkArea* OpenScratch(const UseOptions& options, ScratchArea& scratch, Status& status) {
    AreaScope back;
    SelectInternal(kScratchArea);
    status = CloseSlot(kScratchArea, true);
    if (status.ok()) status = OpenInCurrentArea(options);
    TWorkArea* area = CurrentTable();
    if (area) scratch.Opened();
    return status.ok() ? area : nullptr;
}

Status CopyRecords(TWorkArea& src, TWorkArea& dst, const CopyCondition& condition) {
    AreaPin pin_src(src), pin_dst(dst);
    RecordMapper mapper(src, dst);
    BulkWriter writer(dst);
    Status status = GoTopIn(src);
    while (status.ok() && !src.eof) {
        if (!condition || condition()) {
            status = mapper.Map();
            if (status.ok()) status = writer.Add(dst.record.data());
            if (status.failed()) break;
        }
        status = SkipIn(src, 1);
    }
    // What was collected before a failing record is kept.
    return FirstFailure(std::move(status), writer.Flush());
}

Status AppendRecords(TWorkArea& src, TWorkArea& dst, const CopyCondition& condition) {
    AreaPin pin_src(src), pin_dst(dst);
    RecordMapper mapper(src, dst);
    if (!mapper.AnyField()) return {};
    // The records to take, each asked of the condition once; when a value of
    // one of them does not fit the target, nothing is appended.
    std::vector<int32_t> records;
    Status status = condition ? SkipIn(src, 0) : GoTopIn(src);
    RefreshRecCount(src);
    // Records the loop itself adds to a shared source never feed it.
    const int32_t limit = src.rec_count;
    while (status.ok() && !src.eof && src.rec_no <= limit) {
        if (condition && !condition()) break;
        records.push_back(src.rec_no);
        if (mapper.CanRefuse())
            if (Status s = mapper.Map(true); s.failed()) {
                status =
                    Fail(s.code, "Record " + std::to_string(src.rec_no) + " of " + src.file_name + ": " + s.message);
                (void)SkipIn(dst, 0);  // the target's buffers held the trial
                return status;
            }
        status = SkipIn(src, 1);
    }
    for (size_t i = 0; i < records.size() && status.ok(); ++i) {
        status = GoIn(src, records[i]);
        if (status.ok()) status = mapper.Map();
        if (status.ok()) status = AppendRecordIn(dst);
    }
    // The source ends past what was taken, as a walk over it would leave it.
    if (status.ok() && !records.empty()) status = SkipIn(src, 1);
    return status;
}

}  // namespace

void CopyTo(const std::string& file_name, const CopyCondition& condition) {
    SetLastErrorCode(0);
    if (CheckArea("CopyTo")) return;
    TWorkArea& src = *CurrentTable();
    const std::string label = "[CopyTo(" + file_name + ")]";
    if (src.is_virtual && src.field_count == 0) {
        RunError(1100, "Virtual file has no structure to copy. " + label);
        return;
    }
    if (!src.is_virtual && src.memo && HasMemoFields(src) && !Engine().attachments.memo) {
        RunError(220, "Memo unit not linked into program. " + label);
        return;
    }
    const std::string name = AddDefaultExt(FExpand(AllTrim(file_name)), "DBF");
    if (CheckFileInUse(name, "CopyTo")) return;
    if (FileExists(name) && !ConfirmAction("Overwrite " + name)) return;

    std::vector<FieldDef> defs = FieldList(src);
    if (Status s = CreateDbfFile(name, defs); s.failed()) return Report(s);

    // A copy that fails half-way, or is left by an exception from the
    // condition, leaves no half table behind.
    class HalfCopy {
    public:
        HalfCopy(const std::string& name, bool memo) : name_(name), memo_(memo) {}
        ~HalfCopy() { Discard(); }
        void Keep() { kept_ = true; }
        void Discard() {
            if (kept_) return;
            kept_ = true;
            (void)CloseSlot(kScratchArea, true);
            platform::RemoveFile(name_);
            if (memo_) platform::RemoveFile(ForceExt(name_, MemoExtension(kDbase4Memo)));
        }
        HalfCopy(const HalfCopy&) = delete;
        HalfCopy& operator=(const HalfCopy&) = delete;

    private:
        const std::string& name_;
        bool memo_;
        bool kept_ = false;
    } half_copy(name, std::any_of(defs.begin(), defs.end(), [](const FieldDef& f) { return f.type == 'M'; }));
    ScratchArea scratch;
    UseOptions target;
    target.file_name = name;
    target.alias = "?COPYTO?";
    target.exclusive = true;
    Status status;
    TWorkArea* dst = OpenScratch(target, scratch, status);
    if (dst) status = CopyRecords(src, *dst, condition);
    Status closed = scratch.Close();
    status = FirstFailure(std::move(status), std::move(closed));
    if (status.ok())
        half_copy.Keep();
    else
        half_copy.Discard();
    Report(status);
}

void AppendFrom(const std::string& source, const CopyCondition& condition) {
    std::string text = platform::AnsiUpper(AllTrim(source)) + " ";
    AppendSource from;
    for (const char* word : {" VIRTUAL FILE", " LINKED LIST", " VIRTUAL", " LINKED"})
        if (StripKeyword(word, text)) from.is_virtual = true;
    from.name = from.is_virtual ? AllTrim(text) : source;
    from.label = source;
    AppendFromTable(from, condition);
}

void AppendFromTable(const AppendSource& from, const CopyCondition& condition) {
    SetLastErrorCode(0);
    const std::string label = "[AppendFrom(" + (from.label.empty() ? from.name : from.label) + ")]";
    TWorkArea* dst = CurrentTable();
    if (!dst) {
        RunError(215, label);
        return;
    }
    const uint8_t target_area = CurrentArea();
    const bool is_virtual = from.is_virtual;
    const std::string name =
        is_virtual ? platform::AnsiUpper(AllTrim(from.name)) : AddDefaultExt(FExpand(AllTrim(from.name)), "DBF");

    platform::FileId id{};
    const bool exists = !is_virtual && platform::IdentifyFile(name, id) == 0;
    uint8_t found = 0;
    for (uint8_t n = 1; n <= kCallerAreas; ++n) {
        const TWorkArea* a = AreaAt(n);
        if (!a) continue;
        const bool same = is_virtual ? a->is_virtual && platform::AnsiUpper(a->file_name) == name
                                     : exists && !a->is_virtual && a->file.IsOpen() && a->file.Id() == id;
        if (same) found = n;
    }
    if (found == 0 && is_virtual) return RunError(215, "Virtual file must be open. " + label);
    if (found == 0 && !exists) return RunError(2, label);
    const bool self =
        found == target_area || (exists && !dst->is_virtual && dst->file.IsOpen() && dst->file.Id() == id);
    if (self) return RunError(214, "Attempting to append file to itself. " + label);
    if (HasMemoFields(*dst) && !Engine().attachments.memo)
        return RunError(220, "Memo unit not linked into program. " + label);

    ScratchArea scratch;
    TWorkArea* src = AreaAt(found);
    Status status;
    if (found == 0) {
        UseOptions options;
        options.file_name = name;
        options.alias = "*FROMFILE";
        src = OpenScratch(options, scratch, status);
    }
    if (src) {
        // The condition is the caller's, asked with the source current; a
        // table that was not open has none.
        AreaScope back;
        SelectInternal(src->number);
        status = AppendRecords(*src, *dst, found == 0 ? CopyCondition() : condition);
    }
    status = FirstFailure(std::move(status), scratch.Close());
    SelectInternal(target_area);
    if (status.failed()) return Report(status);
    SetLastErrorCode(0);
}

}  // namespace zurod
