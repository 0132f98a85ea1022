#include "engine/dbf/locate.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <vector>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/dates.hpp"
#include "engine/dbf/dbf_file.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/hooks.hpp"
#include "engine/dbf/navigate.hpp"
#include "engine/dbf/settings.hpp"
#include "engine/dbf/strings.hpp"
#include "platform/codepage.hpp"
#include "platform/numbers.hpp"

namespace zurod {

namespace {

// Whole-table scans read the file in blocks of whole records.
constexpr size_t kScanBlock = 1 << 20;

struct LocateState {
    std::string text;  // in the table's code page, upper case when case-insensitive
    int field = 0;
    bool case_sensitive = true;
    bool exact = false;
    bool contained = false;
};

LocateState& State() {
    static LocateState state;
    return state;
}

TWorkArea* Guarded(std::string_view label) { return CheckArea(label) ? nullptr : CurrentTable(); }

// Upper case in the table's own code page.
void UpperInPage(const TWorkArea& a, std::string& s) {
    const platform::ByteTable& upper = a.oem ? platform::OemUpperTable() : platform::AnsiUpperTable();
    for (char& c : s) c = static_cast<char>(upper[static_cast<uint8_t>(c)]);
}

// An engine (ANSI) text in the table's code page.
std::string ToTablePage(const TWorkArea& a, std::string_view s) {
    return a.oem ? platform::AnsiToOem(s) : std::string(s);
}

std::string_view RTrimView(std::string_view s) {
    size_t e = s.size();
    while (e > 0 && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
    return s.substr(0, e);
}

std::string RightAligned(std::string text, size_t width) {
    if (text.size() < width) text.insert(0, width - text.size(), ' ');
    return text;
}

// The field's value as the table file stores it.
std::string StoredText(const FieldInfo& f, const LocateValue& value) {
    auto as_number = [&]() -> double {
        if (auto* d = std::get_if<double>(&value)) return *d;
        if (auto* i = std::get_if<int64_t>(&value)) return static_cast<double>(*i);
        if (auto* s = std::get_if<std::string>(&value)) return NumTextToReal(*s);
        if (auto* b = std::get_if<bool>(&value)) return *b ? 1 : 0;
        return 0;
    };
    auto as_text = [&]() -> std::string {
        if (auto* s = std::get_if<std::string>(&value)) return *s;
        if (auto* i = std::get_if<int64_t>(&value)) return std::to_string(*i);
        if (auto* d = std::get_if<double>(&value)) {
            char buf[32];
            auto [end, ec] = std::to_chars(buf, buf + sizeof buf, *d);
            return ec == std::errc() ? std::string(buf, end) : std::string();
        }
        if (auto* b = std::get_if<bool>(&value)) return *b ? "T" : "F";
        return {};
    };
    switch (f.type) {
    case 'D': return DTOS(as_text());
    case 'N':
    case 'F': {
        const double v = as_number();
        if (f.decimals > 0) return RightAligned(platform::FormatFixed(v, f.decimals), f.length);
        return RightAligned(platform::FormatFixed(std::trunc(v), 0), f.length);
    }
    case 'L': {
        if (auto* b = std::get_if<bool>(&value)) return *b ? "T" : "F";
        const std::string t = UpperStr(AllTrim(as_text()));
        return (t == "T" || t == "Y" || t == ".T." || t == "TRUE") ? "T" : "F";
    }
    default: return as_text();
    }
}

// A virtual file's field in the form a table file would store it.
std::string VirtualStoredText(const TWorkArea& a, const FieldInfo& f) {
    switch (f.type) {
    case 'C': {
        std::string s(SwapString(a, f));
        s.resize(f.length, ' ');
        return s;
    }
    case 'D': return DTOS(SwapString(a, f));
    case 'N':
    case 'F':
        if (f.decimals > 0) return RightAligned(platform::FormatFixed(SwapNumber(a, f), f.decimals), f.length);
        return RightAligned(std::to_string(SwapInteger(a, f)), f.length);
    case 'L': return SwapLogical(a, f) ? "T" : "F";
    default: return {};
    }
}

// `text` is the search text in the engine's page: memo lines arrive in it.
bool MemoMatches(TWorkArea& a, std::string_view raw, const LocateState& s, const std::string& text) {
    const int32_t block = static_cast<int32_t>(StoredInteger(raw));
    if (block <= 0) return false;
    for (std::string& line : MemoUnit().read_lines(a, block)) {
        if (!s.case_sensitive) platform::AnsiUpper(std::span<char>(line));
        if (line.find(text) != std::string::npos) return true;
    }
    return false;
}

bool FieldMatches(const TWorkArea& a, const FieldInfo& f, std::string_view raw, const LocateState& s,
                  std::string& work) {
    work.assign(raw);
    if (!s.exact && !s.contained && work.size() > s.text.size()) work.resize(s.text.size());
    if (!s.case_sensitive) UpperInPage(a, work);
    if (s.contained) return work.find(s.text) != std::string::npos;
    if (s.exact && f.type == 'C') return RTrimView(work) == RTrimView(s.text);
    return work == s.text;
}

// Reads records [first, first + count) of a table file into `block`.
bool ReadRecords(TWorkArea& a, int32_t first, int32_t count, std::vector<char>& block, std::string_view label) {
    const size_t bytes = static_cast<size_t>(count) * a.record_length;
    block.resize(bytes);
    size_t got = 0;
    int rc = a.file.ReadAt(a.header_length + static_cast<uint64_t>(first - 1) * a.record_length, block, got);
    if (rc == 0 && got < bytes) rc = 213;
    if (rc != 0) {
        RunError(static_cast<uint16_t>(rc), "File:  " + a.file_name + " [" + std::string(label) + "]");
        return false;
    }
    return true;
}

// Leaves the area at end-of-file. GoBottom already ends there when no record
// is visible, and a SKIP from there would report running past the end.
void GoPastEnd() {
    GoBottom();
    if (RecCount() > 0 && !dEOF()) SKIP(1);
}

// Finds the first record from `start` on whose field matches the locate state.
bool Scan(TWorkArea& a, int32_t start) {
    LocateState& s = State();
    const FieldInfo& f = a.fields[s.field - 1];
    if (f.type == 'M' && (!MemoUnit().Linked() || !MemoUnit().read_lines)) {
        RunError(220, "MEMO unit not linked in [Count/Sum/Continue]");
        return false;
    }
    RefreshRecCount(a);
    std::string work;
    const std::string memo_text = f.type == 'M' && a.oem ? platform::OemToAnsi(std::string_view(s.text)) : s.text;
    int32_t found = 0;
    if (a.is_virtual) {
        const int32_t at = a.rec_no;
        for (int32_t r = std::max(start, 1); r <= a.rec_count && !found; ++r) {
            GO(r);
            if (FieldMatches(a, f, VirtualStoredText(a, f), s, work)) found = r;
        }
        if (!found && at >= 1 && at <= a.rec_count) GO(at);
    } else {
        std::vector<char> block;
        const int32_t per_block = static_cast<int32_t>(std::max<size_t>(1, kScanBlock / a.record_length));
        for (int32_t first = std::max(start, 1); first <= a.rec_count && !found; first += per_block) {
            const int32_t n = std::min(per_block, a.rec_count - first + 1);
            if (!ReadRecords(a, first, n, block, "Locate")) return false;
            for (int32_t i = 0; i < n; ++i) {
                const std::string_view raw(block.data() + static_cast<size_t>(i) * a.record_length + f.offset,
                                           f.length);
                const bool match =
                    f.type == 'M' ? MemoMatches(a, raw, s, memo_text) : FieldMatches(a, f, raw, s, work);
                if (match) {
                    found = first + i;
                    break;
                }
            }
        }
    }
    if (found) {
        GO(found);
        return true;
    }
    GoPastEnd();
    s.field = 0;
    return false;
}

// Locate's rule: a match that the filter or the deleted switch hides does not count.
bool ScanVisible(TWorkArea& a, int32_t start) {
    if (!Scan(a, start)) return false;
    while (!a.eof && !RecordVisible(a)) {
        if (!Scan(a, a.rec_no + 1)) return false;
    }
    return !a.eof;
}

// Puts the area back where a walk over the table found it: on its record, or
// at end-of-file (which GO would refuse as out of range). An error that ended
// the walk stays the last error.
void ReturnTo(TWorkArea& a, int32_t at, bool at_eof) {
    const uint16_t error = LastErrorCode();
    const std::string message = error != 0 ? LastErrorMessage() : std::string();
    if (at_eof) {
        if (!a.eof) GoPastEnd();
    } else if (at >= 1 && at <= a.rec_count && a.rec_no != at) {
        GO(at);
    }
    if (error != 0) RecordError(error, message);
}

// Adds up the field of every record straight from the file.
double SumRaw(TWorkArea& a, const FieldInfo& f) {
    double total = 0;
    if (a.is_virtual) {
        const int32_t at = a.rec_no;
        const bool at_eof = a.eof;
        for (int32_t r = 1; r <= a.rec_count && LastErrorCode() == 0; ++r) {
            GO(r);
            total += SwapNumber(a, f);
        }
        ReturnTo(a, at, at_eof);
        return total;
    }
    RefreshRecCount(a);
    std::vector<char> block;
    const int32_t per_block = static_cast<int32_t>(std::max<size_t>(1, kScanBlock / a.record_length));
    for (int32_t first = 1; first <= a.rec_count; first += per_block) {
        const int32_t n = std::min(per_block, a.rec_count - first + 1);
        if (!ReadRecords(a, first, n, block, "SUM")) return total;
        for (int32_t i = 0; i < n; ++i) {
            const std::string_view raw(block.data() + static_cast<size_t>(i) * a.record_length + f.offset, f.length);
            total += f.decimals > 0 ? StoredReal(raw) : static_cast<double>(StoredInteger(raw));
        }
    }
    return total;
}

// Adds up a value over the visible records from the top.
template <typename Value>
double SumVisible(TWorkArea& a, Value value) {
    double total = 0;
    const int32_t at = a.rec_no;
    const bool at_eof = a.eof;
    GoTop();
    while (!a.eof && LastErrorCode() == 0) {
        total += value();
        SKIP(1);
    }
    ReturnTo(a, at, at_eof);
    return total;
}

}  // namespace

void ResetLocateState() { State() = LocateState{}; }

int ParseLocateField(const std::string& spec) {
    LocateState& s = State();
    std::string text = platform::AnsiUpper(AllTrim(spec)) + " ";
    s.case_sensitive = !StripKeyword(" NOCASE", text);
    s.exact = StripKeyword(" EXACT", text);
    s.contained = StripKeyword(" CONTAINED", text);
    text = AllTrim(text);
    if (text.empty()) {
        RunError(220, "No field name specified [Locate/Count/Sum]");
        return 0;
    }
    const int n = FieldNo(text);
    if (n == 0) RunError(220, "Unrecognized field name [Locate/Count/Sum(" + spec + ")]");
    return n;
}

bool Locate(const std::string& field, const LocateValue& value, bool nocase, bool exact) {
    TWorkArea* a = Guarded("Locate");
    if (!a) return false;
    std::string name = AllTrim(field);
    name = name.substr(0, name.find(' '));
    if (name.empty()) return false;
    if (nocase) name += " NOCASE";
    if (exact) name += " EXACT";
    const int n = ParseLocateField(name);
    if (n == 0) return false;
    LocateState& s = State();
    const FieldInfo& f = a->fields[n - 1];
    if (a->is_virtual && f.type == 'M') {
        GoPastEnd();
        s.field = n;
        return false;
    }
    std::string text = ToTablePage(*a, StoredText(f, value));
    if (!s.exact) text = RTrim(text);
    if (!s.case_sensitive) UpperInPage(*a, text);
    s.text = std::move(text);
    s.field = n;
    return ScanVisible(*a, 1);
}

bool Continue() {
    TWorkArea* a = Guarded("Continue");
    if (!a) return false;
    if (State().field == 0 || State().field > a->field_count) {
        RunError(220, "Call to CONTINUE not preceeded by call to LOCATE. [Continue]");
        return false;
    }
    return ScanVisible(*a, a->rec_no + 1);
}

bool LocateFields(const std::string& names, std::span<const LocateValue> values, bool nocase, bool exact,
                  bool stay) {
    TWorkArea* a = Guarded("LocateFields");
    if (!a) return false;
    const int32_t at = a->rec_no;
    bool found = false;
    size_t index = 0;
    size_t from = 0;
    while (!found && from <= names.size()) {
        const size_t end = std::min(names.find(';', from), names.size());
        const std::string name = AllTrim(std::string_view(names).substr(from, end - from));
        const LocateValue value = index < values.size() ? values[index] : LocateValue{};
        if (!name.empty()) found = Locate(name, value, nocase, exact);
        ++index;
        from = end + 1;
    }
    if (!found || !stay) GoToChecked(at);
    return found;
}

double Sum(const std::string& spec) {
    TWorkArea* a = Guarded("SUM");
    if (!a) return 0;
    SetLastErrorCode(0);
    ExpressionHook& expr = ExpressionAttachment();
    const bool expression_linked = expr.Linked() && expr.evaluate_number && !AllTrim(spec).empty();
    int n = 0;
    if (expression_linked) {
        // A text that is no field name may be a numeric expression.
        ErrorHandlingScope quiet(false);
        n = ParseLocateField(spec);
        if (n == 0) SetLastErrorCode(0);
    } else {
        n = ParseLocateField(spec);
        if (n == 0) return 0;
    }
    if (n == 0) {
        std::unique_ptr<AreaExtension> program = expr.compile(spec);
        if (!program) return 0;
        const double total = SumVisible(*a, [&] { return expr.evaluate_number(*program); });
        if (expr.release) expr.release(program);
        return total;
    }
    const FieldInfo& f = a->fields[n - 1];
    if (f.type != 'N' && f.type != 'F') {
        RunError(220, "Cannot sum non-numeric data [SUM(" + spec + ")]");
        return 0;
    }
    if (!a->filter && !a->ignore_deleted) return SumRaw(*a, f);
    return SumVisible(*a, [&] { return SwapNumber(*a, f); });
}

void Search(const std::string& text, uint8_t& field, bool from_top) {
    TWorkArea* a = Guarded("Search");
    const uint8_t limit = field;
    field = 0;
    if (!a) return;
    if (a->is_virtual) {
        RunError(1100, "Operation cannot be used on virtual files. [Search]");
        return;
    }
    const std::string needle = platform::AnsiUpper(RTrim(text));
    if (needle.empty()) return;
    RefreshRecCount(*a);
    const int32_t start = a->rec_no;
    const bool start_eof = a->eof;
    const uint16_t rl = a->record_length;
    const int32_t per_block = static_cast<int32_t>(std::max<size_t>(1, kScanBlock / rl));
    std::vector<char> block;
    int32_t first = from_top ? 1 : std::max(a->rec_no + 1, 1);
    for (; first <= a->rec_count; first += per_block) {
        const int32_t n = std::min(per_block, a->rec_count - first + 1);
        if (!ReadRecords(*a, first, n, block, "Search")) return;
        TranslateRecord(Direction::Read, a->oem, a->read_hook, block, rl);
        platform::AnsiUpper(std::span<char>(block));
        const std::string_view data(block.data(), block.size());
        // Whole records in every block, and a match must lie inside one field,
        // so no match can span two blocks.
        for (size_t at = data.find(needle); at != std::string_view::npos; at = data.find(needle, at + 1)) {
            const int32_t record = first + static_cast<int32_t>(at / rl);
            const size_t in_record = at % rl;
            int hit = 0;
            for (size_t i = 0; i < a->fields.size(); ++i) {
                const FieldInfo& f = a->fields[i];
                if (in_record >= f.offset && in_record < f.offset + f.length) {
                    if (f.type != 'M' && in_record + needle.size() <= f.offset + size_t{f.length} &&
                        (limit == 0 || limit > a->field_count || limit == i + 1))
                        hit = static_cast<int>(i + 1);
                    break;
                }
            }
            if (hit == 0) continue;
            GO(record);
            if (LastErrorCode() != 0) return;
            if (RecordVisible(*a)) {
                field = static_cast<uint8_t>(hit);
                return;
            }
        }
    }
    ReturnTo(*a, start, start_eof);
}

void Peek(uint8_t field, int32_t record, std::string& text) {
    TWorkArea* a = Guarded("Peek");
    if (!a) return;
    if (a->is_virtual) {
        RunError(1100, "Operation cannot be used on virtual files. [Peek]");
        return;
    }
    if (record < 1 || record > a->rec_count || field > a->field_count) return;
    const uint16_t offset = field == 0 ? 0 : a->fields[field - 1].offset;
    const size_t length = field == 0 ? 1 : a->fields[field - 1].length;
    std::string bytes(length, ' ');
    size_t got = 0;
    const uint64_t at = a->header_length + static_cast<uint64_t>(record - 1) * a->record_length + offset;
    if (a->file.ReadAt(at, bytes, got) == 0 && got == length) text = std::move(bytes);
}

void Poke(const std::string& text, uint8_t field, int32_t record) {
    TWorkArea* a = Guarded("Poke");
    if (!a) return;
    std::string label = "[Poke(" + text + "," + std::to_string(field) + "," + std::to_string(record) + ")]";
    if (label.size() > 100) label.resize(100);
    if (a->is_virtual) {
        RunError(1100, "Operation cannot be used on virtual files." + label);
        return;
    }
    if (Settings().network_mode && !a->exclusive &&
        (a->lock_state == LockState::Append ||
         std::find(a->locks.begin(), a->locks.end(), record) == a->locks.end())) {
        RunError(1200, "Record not locked " + label);
        return;
    }
    if (record < 1 || record > a->rec_count || field > a->field_count) return;
    const uint16_t offset = field == 0 ? 0 : a->fields[field - 1].offset;
    const size_t length = field == 0 ? 1 : a->fields[field - 1].length;
    const std::string bytes = ToTablePage(*a, std::string_view(text).substr(0, std::min(text.size(), length)));
    const uint64_t at = a->header_length + static_cast<uint64_t>(record - 1) * a->record_length + offset;
    a->read_ahead.Clear();
    if (int rc = a->file.WriteAt(at, bytes); rc != 0) RunError(101, label);
}

}  // namespace zurod
