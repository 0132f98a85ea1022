#include "engine/dbf/locate.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <vector>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/dates.hpp"
#include "engine/dbf/detail/area_table.hpp"
#include "engine/dbf/detail/navigation.hpp"
#include "engine/dbf/detail/record_io.hpp"
#include "engine/dbf/detail/swap_buffer.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/navigate.hpp"
#include "engine/dbf/settings.hpp"
#include "engine/dbf/strings.hpp"
#include "platform/codepage.hpp"
#include "platform/numbers.hpp"

namespace zurod {

namespace {

LocateState& State() { return Engine().locate; }

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
        if (RealSlot(f)) return RightAligned(platform::FormatFixed(SwapNumber(a, f), f.decimals), f.length);
        return RightAligned(std::to_string(SwapInteger(a, f)), f.length);
    case 'L': return SwapLogical(a, f) ? "T" : "F";
    default: return {};
    }
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

// `text` is the search text in the engine's page: memo lines arrive in it.
Status MemoMatches(TWorkArea& a, std::string_view raw, const LocateState& s, const std::string& text, bool& match) {
    match = false;
    const int32_t block = static_cast<int32_t>(StoredInteger(raw));
    if (block <= 0) return {};
    std::vector<std::string> lines;
    if (Status st = Engine().attachments.memo->ReadLines(a, block, lines); st.failed()) return st;
    for (std::string& line : lines) {
        if (!s.case_sensitive) platform::AnsiUpper(std::span<char>(line));
        if (line.find(text) != std::string::npos) {
            match = true;
            break;
        }
    }
    return {};
}

Status ScanError(const TWorkArea& a, const Status& read, std::string_view label) {
    return Fail(read.code, "File:  " + a.file_name + " [" + std::string(label) + "]");
}

// Finds the first record from `start` on whose field matches the locate
// state and goes there; otherwise goes to end of file and forgets the locate.
Status Scan(TWorkArea& a, int32_t start, bool& found_any) {
    LocateState& s = State();
    const FieldInfo& f = a.fields[s.field - 1];
    if (f.type == 'M' && !Engine().attachments.memo) return Fail(220, "MEMO unit not linked in [Count/Sum/Continue]");
    RefreshRecCount(a);
    std::string work;
    const std::string memo_text = f.type == 'M' && a.oem ? platform::OemToAnsi(std::string_view(s.text)) : s.text;
    int32_t found = 0;
    if (a.is_virtual) {
        const int32_t at = a.rec_no;
        for (int32_t r = std::max(start, 1); r <= a.rec_count && !found; ++r) {
            if (Status st = GoIn(a, r); st.failed()) return st;
            if (FieldMatches(a, f, VirtualStoredText(a, f), s, work)) found = r;
        }
        if (!found && at >= 1 && at <= a.rec_count)
            if (Status st = GoIn(a, at); st.failed()) return st;
    } else {
        RecordBlockReader reader(a, start, a.rec_count);
        while (!found && reader.Next()) {
            for (int32_t i = 0; i < reader.Count(); ++i) {
                // A deleted record the switch hides is passed over here, in the block.
                if (a.ignore_deleted && reader.Record(i)[0] == '*') continue;
                const std::string_view raw(reader.Record(i).data() + f.offset, f.length);
                bool match = false;
                if (f.type == 'M') {
                    if (Status st = MemoMatches(a, raw, s, memo_text, match); st.failed()) return st;
                } else {
                    match = FieldMatches(a, f, raw, s, work);
                }
                if (match) {
                    found = reader.First() + i;
                    break;
                }
            }
        }
        if (reader.status().failed()) return ScanError(a, reader.status(), "Locate");
    }
    found_any = found != 0;
    if (found) return GoIn(a, found);
    s.field = 0;
    return GoPastEndIn(a);
}

// Locate's rule: a match that the filter or the deleted switch hides does not count.
Status ScanVisible(TWorkArea& a, int32_t start, bool& found) {
    AreaPin pin(a);
    found = false;
    if (Status s = Scan(a, start, found); s.failed() || !found) return s;
    for (;;) {
        bool visible = true;
        if (a.eof) break;
        if (Status s = RecordVisible(a, visible); s.failed()) return s;
        if (visible) break;
        if (Status s = Scan(a, a.rec_no + 1, found); s.failed() || !found) return s;
    }
    found = !a.eof;
    return {};
}

// Puts the area back where a walk over the table found it: on its record, or
// at end of file (which GO would refuse as out of range).
Status ReturnTo(TWorkArea& a, int32_t at, bool at_eof) {
    if (at_eof) return a.eof ? Status{} : GoPastEndIn(a);
    if (at >= 1 && at <= a.rec_count && a.rec_no != at) return GoIn(a, at);
    return {};
}

// Adds up the field of every record straight from the file, passing over
// the deleted ones when the switch hides them.
Status SumRaw(TWorkArea& a, const FieldInfo& f, double& total) {
    if (a.is_virtual) {
        const int32_t at = a.rec_no;
        const bool at_eof = a.eof;
        Status status;
        for (int32_t r = 1; r <= a.rec_count && status.ok(); ++r) {
            status = GoIn(a, r);
            if (status.ok() && !(a.ignore_deleted && a.record[0] != 0)) total += SwapNumber(a, f);
        }
        return FirstFailure(std::move(status), ReturnTo(a, at, at_eof));
    }
    RefreshRecCount(a);
    RecordBlockReader reader(a, 1, a.rec_count);
    while (reader.Next()) {
        for (int32_t i = 0; i < reader.Count(); ++i) {
            if (a.ignore_deleted && reader.Record(i)[0] == '*') continue;
            const std::string_view raw(reader.Record(i).data() + f.offset, f.length);
            total += RealSlot(f) ? StoredReal(raw) : static_cast<double>(StoredInteger(raw));
        }
    }
    if (reader.status().failed()) return ScanError(a, reader.status(), "SUM");
    return {};
}

// Adds up a value of every record straight from the file: each record stands
// in the area's record buffer while `value` reads it (no conversion into the
// swap buffer); the area's own record is put back afterwards.
template <typename Value>
Status SumEveryRecord(TWorkArea& a, Value value, double& total) {
    RefreshRecCount(a);
    const std::vector<char> saved(a.record.begin(), a.record.end());
    const int32_t at = a.rec_no;
    const size_t rl = std::min<size_t>(a.record_length, a.record.size());
    Status status;
    RecordBlockReader reader(a, 1, a.rec_count);
    while (status.ok() && reader.Next()) {
        TranslateRecord(Direction::Read, a.oem, a.read_hook, reader.Records(), a.record_length);
        for (int32_t i = 0; i < reader.Count() && status.ok(); ++i) {
            std::memcpy(a.record.data(), reader.Record(i).data(), rl);
            a.rec_no = reader.First() + i;
            double v = 0;
            status = value(v);
            total += v;
        }
    }
    std::copy(saved.begin(), saved.end(), a.record.begin());
    a.rec_no = at;
    if (reader.status().failed()) return ScanError(a, reader.status(), "SUM");
    return status;
}

// Adds up a value over the visible records from the top.
template <typename Value>
Status SumVisible(TWorkArea& a, Value value, double& total) {
    const int32_t at = a.rec_no;
    const bool at_eof = a.eof;
    Status status = GoTopIn(a);
    while (status.ok() && !a.eof) {
        double v = 0;
        status = value(v);
        if (status.failed()) break;
        total += v;
        status = SkipIn(a, 1);
    }
    return FirstFailure(std::move(status), ReturnTo(a, at, at_eof));
}

// The field named by `spec` after taking the keywords out of it, which set
// `s`'s switches; 0 with the failure when there is none.
Status ParseFieldIn(TWorkArea& a, const std::string& spec, int& n, LocateState& s) {
    std::string text = platform::AnsiUpper(AllTrim(spec)) + " ";
    s.case_sensitive = !StripKeyword(" NOCASE", text);
    s.exact = StripKeyword(" EXACT", text);
    s.contained = StripKeyword(" CONTAINED", text);
    text = AllTrim(text);
    n = 0;
    if (text.empty()) return Fail(220, "No field name specified [Locate/Count/Sum]");
    std::string key = text.substr(0, 10);
    key = platform::AnsiUpper(RTrim(key));
    for (size_t i = 0; i < a.fields.size() && n == 0; ++i)
        if (a.fields[i].name == key) n = static_cast<int>(i + 1);
    if (n == 0) return Fail(220, "Unrecognized field name [Locate/Count/Sum(" + spec + ")]");
    return {};
}

Status LocateIn(TWorkArea& a, const std::string& field, const LocateValue& value, bool nocase, bool exact,
                bool& found) {
    found = false;
    // The keywords come out first; what is left up to its first blank names the field.
    std::string spec = platform::AnsiUpper(AllTrim(field)) + " ";
    LocateState switches;
    if (StripKeyword(" NOCASE", spec)) nocase = true;
    if (StripKeyword(" EXACT", spec)) exact = true;
    const bool contained = StripKeyword(" CONTAINED", spec);
    std::string name = AllTrim(spec);
    name = name.substr(0, name.find(' '));
    if (name.empty()) return {};
    if (nocase) name += " NOCASE";
    if (exact) name += " EXACT";
    if (contained) name += " CONTAINED";
    int n = 0;
    if (Status st = ParseFieldIn(a, name, n, switches); st.failed()) return st;
    LocateState& s = State();
    s = std::move(switches);
    const FieldInfo& f = a.fields[n - 1];
    if (a.is_virtual && f.type == 'M') {
        s.field = n;
        return GoPastEndIn(a);
    }
    std::string text = ToTablePage(a, StoredText(f, value));
    if (!s.exact) text = RTrim(text);
    if (!s.case_sensitive) UpperInPage(a, text);
    s.text = std::move(text);
    s.field = n;
    return ScanVisible(a, 1, found);
}

}  // namespace

void ResetLocateState() { State() = LocateState{}; }

int ParseLocateField(const std::string& spec) {
    TWorkArea* a = Guarded("FieldNo()");
    if (!a) return 0;
    int n = 0;
    Report(ParseFieldIn(*a, spec, n, State()));
    return n;
}

bool Locate(const std::string& field, const LocateValue& value, bool nocase, bool exact) {
    TWorkArea* a = Guarded("Locate");
    if (!a) return false;
    bool found = false;
    Report(LocateIn(*a, field, value, nocase, exact, found));
    return found;
}

bool Continue() {
    TWorkArea* a = Guarded("Continue");
    if (!a) return false;
    if (State().field == 0 || State().field > a->field_count) {
        RunError(220, "Call to CONTINUE not preceeded by call to LOCATE. [Continue]");
        return false;
    }
    bool found = false;
    Report(ScanVisible(*a, a->rec_no + 1, found));
    return found;
}

bool LocateFields(const std::string& names, std::span<const LocateValue> values, bool nocase, bool exact, bool stay) {
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
    AreaPin pin(*a);
    ExpressionAttachment* expr = Engine().attachments.expression.get();
    // Sum's own switches: a Locate waiting for its Continue keeps its own.
    LocateState switches;
    int n = 0;
    const Status parsed = ParseFieldIn(*a, spec, n, switches);
    double total = 0;
    if (parsed.failed()) {
        // A text that is no field name may be a numeric expression.
        if (!expr || AllTrim(spec).empty()) {
            Report(parsed);
            return 0;
        }
        std::unique_ptr<ExpressionHandle> program;
        if (Status s = expr->Compile(*a, spec, program); s.failed() || !program) {
            Report(s);
            return 0;
        }
        if (const char type = expr->ResultType(*program); type != 0 && type != 'N') {
            expr->Release(program);
            RunError(220, "Cannot sum non-numeric data [SUM(" + spec + ")]");
            return 0;
        }
        auto value = [&](double& v) { return expr->EvaluateNumber(*program, v); };
        const Status s = !a->filter && !a->ignore_deleted && !a->is_virtual ? SumEveryRecord(*a, value, total)
                                                                            : SumVisible(*a, value, total);
        expr->Release(program);
        Report(s);
        return total;
    }
    const FieldInfo& f = a->fields[n - 1];
    if (f.type != 'N' && f.type != 'F') {
        RunError(220, "Cannot sum non-numeric data [SUM(" + spec + ")]");
        return 0;
    }
    const Status s = !a->filter ? SumRaw(*a, f, total)
                                : SumVisible(
                                      *a,
                                      [&](double& v) {
                                          v = SwapNumber(*a, f);
                                          return Status{};
                                      },
                                      total);
    Report(s);
    return total;
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
    AreaPin pin(*a);
    RefreshRecCount(*a);
    const int32_t start = a->rec_no;
    const bool start_eof = a->eof;
    const uint16_t rl = a->record_length;
    RecordBlockReader reader(*a, from_top ? 1 : std::max(a->rec_no + 1, 1), a->rec_count);
    while (reader.Next()) {
        const std::span<char> block = reader.Records();
        TranslateRecord(Direction::Read, a->oem, a->read_hook, block, rl);
        platform::AnsiUpper(block);
        const std::string_view data(block.data(), block.size());
        // Whole records in every block, and a match must lie inside one field,
        // so no match can span two blocks.
        for (size_t at = data.find(needle); at != std::string_view::npos; at = data.find(needle, at + 1)) {
            const int32_t record = reader.First() + static_cast<int32_t>(at / rl);
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
            if (Status s = GoIn(*a, record); s.failed()) return Report(s);
            if (RecordVisible(*a)) {
                field = static_cast<uint8_t>(hit);
                return;
            }
        }
    }
    if (reader.status().failed()) return Report(ScanError(*a, reader.status(), "Search"));
    Report(ReturnTo(*a, start, start_eof));
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
    if (a->file.ReadAt(RecordOffset(*a, record) + offset, bytes, got) == 0 && got == length) text = std::move(bytes);
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
        (a->lock_state == LockState::Append || std::find(a->locks.begin(), a->locks.end(), record) == a->locks.end())) {
        RunError(1200, "Record not locked " + label);
        return;
    }
    if (record < 1 || record > a->rec_count || field > a->field_count) return;
    const uint16_t offset = field == 0 ? 0 : a->fields[field - 1].offset;
    const size_t length = field == 0 ? 1 : a->fields[field - 1].length;
    const std::string bytes = ToTablePage(*a, std::string_view(text).substr(0, std::min(text.size(), length)));
    if (a->file.WriteAt(RecordOffset(*a, record) + offset, bytes) != 0) RunError(101, label);
    // The buffers no longer tell what the file holds (RecordStillCurrent).
    if (record == a->rec_no) a->shadow_valid = false;
}

}  // namespace zurod
