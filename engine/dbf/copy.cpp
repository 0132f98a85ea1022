#include "engine/dbf/copy.hpp"

#include <charconv>
#include <cmath>
#include <cstring>
#include <vector>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/dates.hpp"
#include "engine/dbf/dbf_file.hpp"
#include "engine/dbf/edit.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/files.hpp"
#include "engine/dbf/hooks.hpp"
#include "engine/dbf/navigate.hpp"
#include "engine/dbf/settings.hpp"
#include "engine/dbf/strings.hpp"
#include "platform/codepage.hpp"
#include "platform/numbers.hpp"
#include "platform/paths.hpp"

namespace zurod {

namespace {

constexpr size_t kCopyBlock = 1 << 20;

bool Failed() { return LastErrorCode() != 0; }

void PutBlock(char* raw, size_t length, int32_t block) {
    char text[16];
    auto [end, ec] = std::to_chars(text, text + sizeof text, block);
    const size_t n = static_cast<size_t>(end - text);
    std::memset(raw, ' ', length);
    if (ec == std::errc() && n <= length) std::memcpy(raw + (length - n), text, n);
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
    // Records collected before an error was raised are still written; the
    // raised error stays the one reported.
    ~BulkWriter() {
        if (pending_ == 0) return;
        ErrorHandlingScope quiet(false);
        const uint16_t code = LastErrorCode();
        Flush();
        SetLastErrorCode(code);
    }
    BulkWriter(const BulkWriter&) = delete;
    BulkWriter& operator=(const BulkWriter&) = delete;
    bool Add(const char* raw) {
        block_.insert(block_.end(), raw, raw + t_.record_length);
        ++pending_;
        return block_.size() < kCopyBlock || Flush();
    }
    bool Flush() {
        if (pending_ == 0) return true;
        TranslateRecord(Direction::Write, t_.oem, t_.write_hook, block_, t_.record_length);
        const uint64_t at = t_.header_length + static_cast<uint64_t>(t_.rec_count) * t_.record_length;
        const int rc = t_.file.WriteAt(at, block_);
        block_.clear();
        const int32_t n = pending_;
        pending_ = 0;
        if (rc != 0) {
            RunError(static_cast<uint16_t>(rc), "File:  " + t_.file_name + " [CopyTo]");
            return false;
        }
        t_.rec_count += n;
        t_.rec_no = t_.rec_count;
        t_.header_state = HeaderState::Appended;
        return true;
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
void ConvertField(TWorkArea& src, const FieldInfo& sf, TWorkArea& dst, const FieldInfo& df) {
    const char st = sf.type == 'F' ? 'N' : sf.type;
    const char dt = df.type == 'F' ? 'N' : df.type;
    MemoAttachment& memo = MemoUnit();
    switch (dt) {
    case 'C':
        if (st == 'C') {
            SetSwapString(dst, df, SwapString(src, sf));
        } else if (st == 'N') {
            std::string text =
                sf.decimals > 0 ? NumberText(SwapNumber(src, sf), sf.decimals) : std::to_string(SwapInteger(src, sf));
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
            if (df.decimals > 0)
                SetSwapNumber(dst, df, NumTextToReal(text));
            else
                SetSwapInteger(dst, df, NumTextToInt(text));
        } else if (st == 'N') {
            // Real to integer truncates.
            if (df.decimals > 0)
                SetSwapNumber(dst, df, SwapNumber(src, sf));
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
    case 'M':
        if (st == 'C' && memo.store) {
            const std::string text = RTrim(SwapString(src, sf));
            if (!text.empty()) SetSwapMemo(dst, df, memo.store(dst, text));
        } else if (st == 'M' && memo.copy) {
            const int32_t block = SwapMemo(src, sf);
            if (block > 0) SetSwapMemo(dst, df, memo.copy(src, block, dst));
        }
        break;
    default: break;
    }
}

// Dates move by their stored digits: the text form would give a date outside
// the century window another century when the century is off.
void CopyStoredDate(const TWorkArea& src, const FieldInfo& sf, TWorkArea& dst, const FieldInfo& df) {
    if (src.is_virtual || dst.is_virtual || sf.type != 'D' || df.type != 'D') return;
    std::memset(dst.record.data() + df.offset, ' ', df.length);
    std::memcpy(dst.record.data() + df.offset, src.record.data() + sf.offset, std::min(sf.length, df.length));
}

// Whether records of `a` can be written to `b` byte for byte.
bool SameLayout(const TWorkArea& a, const TWorkArea& b) {
    if (a.is_virtual || b.is_virtual || a.record_length != b.record_length || a.fields.size() != b.fields.size())
        return false;
    for (size_t i = 0; i < a.fields.size(); ++i) {
        const FieldInfo &x = a.fields[i], &y = b.fields[i];
        if (x.type != y.type || x.offset != y.offset || x.length != y.length) return false;
    }
    return true;
}

// Closes the scratch area when an error is raised out of an operation that
// opened it there; the ordinary paths close it themselves.
class ScratchGuard {
public:
    ScratchGuard() : exceptions_(std::uncaught_exceptions()) {}
    ~ScratchGuard() {
        if (!armed_ || std::uncaught_exceptions() <= exceptions_) return;
        ErrorHandlingScope quiet(false);
        const uint16_t code = LastErrorCode();
        SelectInternal(kScratchArea);
        CloseArea();
        SetLastErrorCode(code);
    }
    void Arm() { armed_ = true; }
    ScratchGuard(const ScratchGuard&) = delete;
    ScratchGuard& operator=(const ScratchGuard&) = delete;

private:
    int exceptions_;
    bool armed_ = false;
};

enum class Structure { Different, Identical, IdenticalWithMemo };

Structure Compare(const TWorkArea& a, const TWorkArea& b) {
    if (a.fields.size() != b.fields.size()) return Structure::Different;
    bool memo = false;
    for (size_t i = 0; i < a.fields.size(); ++i) {
        const FieldInfo &x = a.fields[i], &y = b.fields[i];
        if (x.name != y.name || x.type != y.type || x.length != y.length || x.decimals != y.decimals)
            return Structure::Different;
        memo = memo || x.type == 'M';
    }
    return memo ? Structure::IdenticalWithMemo : Structure::Identical;
}

// Copies the memos of a raw record to the target's memo file, putting the new
// block numbers into `raw` (a copy; the source keeps its own).
void CopyRawMemos(TWorkArea& src, TWorkArea& dst, char* raw) {
    for (const FieldInfo& f : src.fields) {
        if (f.type != 'M') continue;
        const int64_t block = StoredInteger(std::string_view(raw + f.offset, f.length));
        if (block > 0) PutBlock(raw + f.offset, f.length, MemoUnit().copy(src, static_cast<int32_t>(block), dst));
    }
}

}  // namespace

void CopyTo(const std::string& file_name, const CopyCondition& condition) {
    SetLastErrorCode(0);
    if (CheckArea("CopyTo")) return;
    const uint8_t source_area = CurrentArea();
    TWorkArea& src = *CurrentTable();
    const std::string label = "[CopyTo(" + file_name + ")]";
    if (src.is_virtual && src.field_count == 0) {
        RunError(1100, "Virtual file has no structure to copy. " + label);
        return;
    }
    const bool memo = !src.is_virtual && src.memo &&
                      std::any_of(src.fields.begin(), src.fields.end(), [](const FieldInfo& f) { return f.type == 'M'; });
    if (memo && !MemoUnit().copy) {
        RunError(220, "Memo unit not linked into program. " + label);
        return;
    }
    const std::string name = AddDefaultExt(FExpand(AllTrim(file_name)), "DBF");
    if (CheckFileInUse(name, "CopyTo")) return;
    if (FileExists(name) && !ConfirmAction("Overwrite " + name)) return;

    std::vector<FieldDef> defs = FieldList(src);
    {
        TWorkArea scratch;
        CreateDbf(scratch, name, defs);
    }
    if (Failed()) return;

    AreaScope back;
    ScratchGuard guard;
    guard.Arm();
    SelectInternal(kScratchArea);
    UseOptions target_options;
    target_options.file_name = name;
    target_options.alias = "?COPYTO?";
    target_options.exclusive = true;
    UseTable(target_options);
    TWorkArea* dst = CurrentTable();
    SelectInternal(source_area);
    if (Failed() || !dst) return;
    const bool raw_layout = SameLayout(src, *dst);
    {
        BulkWriter writer(*dst);
        std::vector<char> raw(dst->record_length);
        GoTop();
        while (!src.eof && !Failed()) {
            if (!condition || condition()) {
                if (raw_layout) {
                    // The source's own bytes: foreign number formats and
                    // dates outside the century window survive.
                    std::copy(src.record.begin(), src.record.end(), raw.begin());
                    if (memo) CopyRawMemos(src, *dst, raw.data());
                } else {
                    std::copy(src.swap.begin(), src.swap.begin() + std::min(src.swap.size(), dst->swap.size()),
                              dst->swap.begin());
                    dst->shadow_valid = false;
                    for (const FieldInfo& f : dst->fields)
                        if (f.type == 'M' && memo && SwapMemo(*dst, f) > 0)
                            SetSwapMemo(*dst, f, MemoUnit().copy(src, SwapMemo(*dst, f), *dst));
                    if (!BufferToRecord(*dst)) break;
                    for (size_t i = 0; i < dst->fields.size(); ++i)
                        CopyStoredDate(src, src.fields[i], *dst, dst->fields[i]);
                    std::copy(dst->record.begin(), dst->record.end(), raw.begin());
                }
                if (!writer.Add(raw.data())) break;
            }
            SKIP(1);
        }
        // What was collected before a failing record is kept.
        const uint16_t error = LastErrorCode();
        const std::string message = error != 0 ? LastErrorMessage() : std::string();
        if (error == 0) {
            writer.Flush();
        } else {
            {
                ErrorHandlingScope quiet(false);
                writer.Flush();
            }
            RecordError(error, message);
        }
    }
    const uint16_t error = LastErrorCode();
    const std::string message = LastErrorMessage();
    SelectInternal(kScratchArea);
    CloseArea();
    if (error != 0) RecordError(error, message);
}

void AppendFrom(const std::string& source, const CopyCondition& condition) {
    SetLastErrorCode(0);
    const std::string label = "[AppendFrom(" + source + ")]";
    TWorkArea* dst = CurrentTable();
    if (!dst) {
        RunError(215, label);
        return;
    }
    const uint8_t target_area = CurrentArea();

    std::string text = platform::AnsiUpper(AllTrim(source)) + " ";
    bool is_virtual = false;
    for (const char* word : {" VIRTUAL FILE", " LINKED LIST", " VIRTUAL", " LINKED"})
        if (StripKeyword(word, text)) is_virtual = true;
    const std::string name = is_virtual ? AllTrim(text) : AddDefaultExt(FExpand(AllTrim(source)), "DBF");

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
    if (found == 0 && is_virtual) {
        RunError(215, "Virtual file must be open. " + label);
        return;
    }
    if (found == 0 && !exists) {
        RunError(2, label);
        return;
    }
    const bool self = found == target_area ||
                      (exists && !dst->is_virtual && dst->file.IsOpen() && dst->file.Id() == id);
    if (self) {
        RunError(214, "Attempting to append file to itself. " + label);
        return;
    }
    const bool target_memo = std::any_of(dst->fields.begin(), dst->fields.end(), [](const FieldInfo& f) { return f.type == 'M'; });
    if (target_memo && (!MemoUnit().store || !MemoUnit().copy)) {
        RunError(220, "Memo unit not linked into program. " + label);
        return;
    }

    AreaScope back;
    ScratchGuard guard;
    uint8_t source_area = found;
    bool scratch = false;
    if (found == 0) {
        guard.Arm();
        SelectInternal(kScratchArea);
        UseOptions options;
        options.file_name = name;
        options.alias = "*FROMFILE";
        UseTable(options);
        if (Failed() || !CurrentTable()) {
            SelectInternal(target_area);
            return;
        }
        source_area = kScratchArea;
        scratch = true;
    }
    TWorkArea& src = *AreaAt(source_area);
    const CopyCondition& use_condition = scratch ? CopyCondition() : condition;

    std::vector<int> map(dst->fields.size(), -1);
    bool any = false;
    for (size_t i = 0; i < dst->fields.size(); ++i) {
        for (size_t j = 0; j < src.fields.size(); ++j) {
            if (src.fields[j].name == dst->fields[i].name) {
                map[i] = static_cast<int>(j);
                any = true;
                break;
            }
        }
    }
    const Structure structure = Compare(src, *dst);
    const bool raw_copy = structure != Structure::Different && !src.is_virtual && !dst->is_virtual;

    if (any) {
        SelectInternal(source_area);
        if (use_condition)
            SKIP(0);
        else
            GoTop();
        RefreshRecCount(src);
        // Records the loop itself adds to a shared source never feed it.
        const int32_t limit = src.rec_count;
        while (!src.eof && src.rec_no <= limit && LastErrorCode() == 0) {
            if (use_condition && !use_condition()) break;
            SelectInternal(target_area);
            if (raw_copy) {
                std::copy(src.record.begin(), src.record.end(), dst->record.begin());
                if (structure == Structure::IdenticalWithMemo) CopyRawMemos(src, *dst, dst->record.data());
            } else if (structure != Structure::Different) {
                std::copy(src.swap.begin(), src.swap.begin() + std::min(src.swap.size(), dst->swap.size()),
                          dst->swap.begin());
                dst->shadow_valid = false;
                if (structure == Structure::IdenticalWithMemo && MemoUnit().copy) {
                    for (const FieldInfo& f : dst->fields)
                        if (f.type == 'M' && SwapMemo(*dst, f) > 0)
                            SetSwapMemo(*dst, f, MemoUnit().copy(src, SwapMemo(*dst, f), *dst));
                }
                if (!dst->is_virtual && !BufferToRecord(*dst)) break;
            } else {
                BlankRecord(*dst);
                SetSwapDeleted(*dst, SwapDeleted(src));
                for (size_t i = 0; i < map.size(); ++i)
                    if (map[i] >= 0) ConvertField(src, src.fields[static_cast<size_t>(map[i])], *dst, dst->fields[i]);
                if (!dst->is_virtual) {
                    if (!BufferToRecord(*dst)) break;
                    for (size_t i = 0; i < map.size(); ++i)
                        if (map[i] >= 0) CopyStoredDate(src, src.fields[static_cast<size_t>(map[i])], *dst, dst->fields[i]);
                }
            }
            AppendRecord(*dst);
            if (Failed()) break;
            SelectInternal(source_area);
            SKIP(1);
        }
    }
    const uint16_t error = LastErrorCode();
    const std::string message = LastErrorMessage();
    if (scratch) {
        SelectInternal(kScratchArea);
        CloseArea();
    }
    SelectInternal(target_area);
    if (error != 0) RecordError(error, message);
    else SetLastErrorCode(0);
}

}  // namespace zurod
