// Running a compiled expression: a postfix machine over the program's value
// stack, with character values in the working pool in stack order. Texts
// that functions shorten or rewrite stay where they lie in the pool.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <span>

#include "engine/dbf/dates.hpp"
#include "engine/dbf/detail/area_table.hpp"
#include "engine/expr/detail/program.hpp"
#include "engine/expr/julian.hpp"
#include "engine/expr/keys.hpp"
#include "platform/codepage.hpp"
#include "platform/numbers.hpp"

namespace zurod {

namespace {

constexpr size_t kMaxTextValue = 255;
constexpr double kDivideByZeroResult = 1e250;

std::string EvaluationError(std::string_view what) {
    return "Error during evaluation: " + std::string(what) + " [Evaluate/Engine]";
}

// A number as fixed text with `decimals` decimals, into `out` (room for 64
// characters); long texts go through the general formatter.
std::string_view FixedText(double value, int decimals, char* out, std::string& spill) {
    if (decimals == 0 && std::fabs(value) < 1e15) {
        const double whole = std::round(value);  // half away from zero, as stored numbers round
        const auto [end, ec] = std::to_chars(out, out + 64, static_cast<int64_t>(whole == 0 ? 0 : whole));
        return {out, static_cast<size_t>(end - out)};
    }
    spill = platform::FormatFixed(value, decimals);
    return spill;
}

// `value` cut (not rounded) to `decimals` places, on its shortest decimal
// text, so that a value with no more decimals than that stays as it is.
double CutToDecimals(double value, int decimals) {
    if (decimals <= 0) return std::trunc(value);
    char text[512];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    if (ec != std::errc()) return value;
    const char* point = std::find(text, end, '.');
    if (point == end || end - point - 1 <= decimals) return value;
    double cut = value;
    std::from_chars(text, point + 1 + decimals, cut);
    return cut;
}

// The leading number of a text (after blanks and a sign); 0 when there is none.
double LeadingNumber(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    if (i >= s.size() || !((s[i] >= '0' && s[i] <= '9') || s[i] == '.')) return 0;
    double value = 0;
    const auto [ptr, ec] = std::from_chars(s.data() + i, s.data() + s.size(), value);
    if (ec != std::errc() || !std::isfinite(value)) return 0;
    return negative ? -value : value;
}

}  // namespace

class Machine {
public:
    explicit Machine(ExprProgram& p)
        : p_(p), pool_(p.pool_.data()), cap_(static_cast<uint32_t>(p.pool_.size())), st_(p.stack_.data()),
          literals_(p.literals_.data()) {}

    Status Run() {
        TWorkArea* current = CurrentTable();
        size_t sp = 0;
        for (const Instr* in = p_.code_.data();; ++in) {
            switch (in->op) {
            case Op::End: return Finish(sp);
            case Op::Number:
            case Op::Logical: st_[sp++].number = in->number; break;
            case Op::Text: {
                Slot& s = st_[sp++];
                const uint32_t len = Room(next_, in->text_len);
                std::memcpy(pool_ + next_, literals_ + in->text_at, len);
                SetText(s, next_, len);
                break;
            }
            case Op::Field: PushField(*in, st_[sp++], current); break;
            case Op::Not: st_[sp - 1].number = st_[sp - 1].number != 0 ? 0 : 1; break;
            case Op::Neg: st_[sp - 1].number = -st_[sp - 1].number; break;
            case Op::Concat:
            case Op::ConcatTrim: Concat(st_[sp - 2], st_[sp - 1], in->op == Op::ConcatTrim), --sp; break;
            case Op::EqC:
            case Op::ExactC:
            case Op::InC:
            case Op::NeC:
            case Op::LtC:
            case Op::GtC:
            case Op::LeC:
            case Op::GeC: CompareTexts(in->op, st_[sp - 2], View(st_[sp - 1])), --sp; break;
            case Op::EqCK: CompareTexts(Op::EqC, st_[sp - 1], Literal(*in)); break;
            case Op::ExactCK: CompareTexts(Op::ExactC, st_[sp - 1], Literal(*in)); break;
            case Op::InCK: CompareTexts(Op::InC, st_[sp - 1], Literal(*in)); break;
            case Op::NeCK: CompareTexts(Op::NeC, st_[sp - 1], Literal(*in)); break;
            case Op::LtCK: CompareTexts(Op::LtC, st_[sp - 1], Literal(*in)); break;
            case Op::GtCK: CompareTexts(Op::GtC, st_[sp - 1], Literal(*in)); break;
            case Op::LeCK: CompareTexts(Op::LeC, st_[sp - 1], Literal(*in)); break;
            case Op::GeCK: CompareTexts(Op::GeC, st_[sp - 1], Literal(*in)); break;
            case Op::FieldCompare: FieldCompare(*in, st_[sp++], current); break;
            case Op::EqNK: st_[sp - 1].number = st_[sp - 1].number == in->number; break;
            case Op::NeNK: st_[sp - 1].number = st_[sp - 1].number != in->number; break;
            case Op::LtNK: st_[sp - 1].number = st_[sp - 1].number < in->number; break;
            case Op::GtNK: st_[sp - 1].number = st_[sp - 1].number > in->number; break;
            case Op::LeNK: st_[sp - 1].number = st_[sp - 1].number <= in->number; break;
            case Op::GeNK: st_[sp - 1].number = st_[sp - 1].number >= in->number; break;
            case Op::Abs: st_[sp - 1].number = std::fabs(st_[sp - 1].number); break;
            case Op::Date: {
                const Today t = GetDate();
                st_[sp++].number = JulianFromParts(t.year, t.month, t.day);
                break;
            }
            case Op::Deleted: st_[sp++].number = DeletedIn(current) ? 1 : 0; break;
            case Op::Recno: st_[sp++].number = current ? current->rec_no : 0; break;
            case Op::Iif: Iif(st_[sp - 3], st_[sp - 2], st_[sp - 1]), sp -= 2; break;
            case Op::Stuff: Stuff(st_[sp - 4], st_[sp - 3], st_[sp - 2], st_[sp - 1]), sp -= 3; break;
            case Op::Substr: Substr(st_[sp - 3], st_[sp - 2], st_[sp - 1]), sp -= 2; break;
            case Op::Str: sp -= in->argc - 1u, Str(st_ + sp - 1, in->argc); break;
            case Op::SkipIfFalse:
            case Op::SkipIfTrue: {
                const bool left = st_[sp - 1].number != 0;
                if (left == (in->op == Op::SkipIfTrue) && FieldsReadAsCompiled(*in, current)) {
                    st_[sp - 1].number = left ? 1 : 0;
                    in += in->target;
                }
                break;
            }
            default:
                if (IsBinary(in->op)) {
                    Binary(in->op, st_[sp - 2], st_[sp - 1]);
                    --sp;
                } else {
                    Unary(in->op, st_[sp - 1]);
                }
                break;
            }
        }
    }

private:
    void Failed(uint16_t code, std::string message) {
        if (failure_.ok()) failure_ = {code, std::move(message)};
    }

    // Texts: how many of `len` characters fit at `at` with the end mark
    // after them (354 when not all do), and setting a slot to a text.
    uint32_t Room(uint32_t at, size_t len) {
        const size_t room = at < cap_ ? cap_ - at - 1 : 0;
        if (len <= room) return static_cast<uint32_t>(len);
        Failed(354, "Working pool overflow [PARSER/Allocate]");
        return static_cast<uint32_t>(room);
    }
    size_t Limit(size_t len) {
        if (len <= kMaxTextValue) return len;
        Failed(354, "Text longer than " + std::to_string(kMaxTextValue) + " characters [Evaluate]");
        return kMaxTextValue;
    }
    void SetText(Slot& s, uint32_t at, size_t len) {
        s.at = at;
        s.len = static_cast<uint32_t>(len);
        if (at + len < cap_) pool_[at + len] = '\0';
        next_ = std::min<uint32_t>(at + static_cast<uint32_t>(len) + 1, cap_);
    }
    char* Text(const Slot& s) { return pool_ + s.at; }
    std::string_view View(const Slot& s) const { return {pool_ + s.at, s.len}; }
    // Writes a text produced outside the pool as the value of `s` at the next free place.
    void PutText(Slot& s, std::string_view text) {
        const uint32_t at = next_;
        const uint32_t len = Room(at, Limit(text.size()));
        std::memcpy(pool_ + at, text.data(), len);
        SetText(s, at, len);
    }
    void SetNumber(Slot& s, double v) {
        if (!std::isfinite(v)) {
            Failed(358, EvaluationError("Numeric overflow"));
            v = std::isnan(v) ? 0 : std::copysign(kDivideByZeroResult, v);
        }
        s.number = v;
    }
    // Counts, positions, codes and decimals: truncated toward zero to 32 bits.
    int32_t Trunc(double v) {
        if (v > -2147483649.0 && v < 2147483648.0) return static_cast<int32_t>(v);
        Failed(358, EvaluationError("Number out of range"));
        return 0;
    }

    Status Finish(size_t sp) {
        ExprValue& r = p_.result_;
        r.type = p_.type_;
        const Slot& s = st_[sp - 1];
        r.number = s.number;
        r.logical = s.number != 0;
        r.text = r.type == 'C' || r.type == 'M' ? View(s) : std::string_view();
        return std::move(failure_);
    }

    // Compares slot `s` (pushed by the instruction before) with a constant,
    // as the K forms do.
    void CompareWithConstant(Op op, Slot& s, std::string_view text, double number) {
        switch (op) {
        case Op::EqCK: CompareTexts(Op::EqC, s, text); break;
        case Op::ExactCK: CompareTexts(Op::ExactC, s, text); break;
        case Op::InCK: CompareTexts(Op::InC, s, text); break;
        case Op::NeCK: CompareTexts(Op::NeC, s, text); break;
        case Op::LtCK: CompareTexts(Op::LtC, s, text); break;
        case Op::GtCK: CompareTexts(Op::GtC, s, text); break;
        case Op::LeCK: CompareTexts(Op::LeC, s, text); break;
        case Op::GeCK: CompareTexts(Op::GeC, s, text); break;
        case Op::EqNK: s.number = s.number == number; break;
        case Op::NeNK: s.number = s.number != number; break;
        case Op::LtNK: s.number = s.number < number; break;
        case Op::GtNK: s.number = s.number > number; break;
        case Op::LeNK: s.number = s.number <= number; break;
        default: s.number = s.number >= number; break;
        }
    }

    // A field compared with a constant. A field of a table record that reads
    // as compiled is compared where it lies; anything else takes the two
    // steps it stands for, failures and all.
    void FieldCompare(const Instr& in, Slot& s, TWorkArea* current) {
        TWorkArea* a = in.area ? AreaAt(in.area) : current;
        const FieldInfo* f = a && in.field < a->fields.size() ? &a->fields[in.field] : nullptr;
        if (!InPlace(in, a, f)) {
            PushField(in, s, current);
            CompareWithConstant(in.compare, s, std::string_view(literals_ + in.k_at, in.k_len), in.k_number);
            return;
        }
        s.number = CompareInPlace(in, *a, *f) ? 1 : 0;
    }

public:
    // A program of field comparisons joined by .AND. (`conjunction_`):
    // each comparison where its field lies, the first false one ending it.
    // False, with nothing evaluated, when a field does not read as compiled:
    // the machine then runs it, failures and all. Otherwise no part can
    // fail, so passing over the rest changes neither result nor error.
    bool RunConjunction() {
        TWorkArea* current = CurrentTable();
        for (const uint32_t i : p_.conjunction_) {
            const Instr& in = p_.code_[i];
            TWorkArea* a = in.area ? AreaAt(in.area) : current;
            if (!InPlace(in, a, a && in.field < a->fields.size() ? &a->fields[in.field] : nullptr)) return false;
        }
        bool holds = true;
        for (const uint32_t i : p_.conjunction_) {
            const Instr& in = p_.code_[i];
            TWorkArea& a = in.area ? *AreaAt(in.area) : *current;
            if (!CompareInPlace(in, a, a.fields[in.field])) {
                holds = false;
                break;
            }
        }
        ExprValue& r = p_.result_;
        r.type = 'L';
        r.number = holds ? 1 : 0;
        r.logical = holds;
        r.text = {};
        return true;
    }

private:
    // Whether field comparison `in` can take its field where it lies in
    // `a`'s record: it reads as compiled from a table record (a text is
    // whole there; an empty table's blanks take the long way).
    static bool InPlace(const Instr& in, const TWorkArea* a, const FieldInfo* f) {
        if (!f || a->is_virtual) return false;
        if (!(f->type == in.type || (in.type == 'N' && (f->type == 'N' || f->type == 'F')))) return false;
        if (in.type != 'C') return true;
        return f->length <= in.number && a->rec_count > 0 && a->record.size() >= size_t{f->offset} + f->length;
    }

    // Comparison `in` on field `f` of `a`, which InPlace accepted.
    bool CompareInPlace(const Instr& in, const TWorkArea& a, const FieldInfo& f) {
        const std::string_view k(literals_ + in.k_at, in.k_len);
        if (in.type != 'C') {
            Slot s{};
            s.number = in.type == 'D' ? DateIn(a, f) : ReadField(a, f).number;
            CompareWithConstant(in.compare, s, k, in.k_number);
            return s.number != 0;
        }
        // The text as PushField would put it in the pool: the field's bytes,
        // in the engine's page.
        char translated[256];
        std::string_view x(a.record.data() + f.offset, f.length);
        if (a.record_stored) {
            platform::OemToAnsi(x, translated);
            x = {translated, x.size()};
        }
        switch (in.compare) {
        case Op::EqCK: return !k.empty() && x.starts_with(k);
        case Op::ExactCK: return x == k;
        case Op::InCK: return !x.empty() && k.find(x) != std::string_view::npos;
        case Op::NeCK: return x != k;
        case Op::LtCK: return x < k;
        case Op::GtCK: return x > k;
        case Op::LeCK: return x <= k;
        default: return x >= k;
        }
    }

    // Whether the fields a skip passes over would read without a failure.
    bool FieldsReadAsCompiled(const Instr& skip, TWorkArea* current) const {
        for (uint32_t i = skip.text_at; i < skip.text_at + skip.text_len; ++i) {
            const Instr& g = p_.guards_[i];
            const TWorkArea* a = g.area ? AreaAt(g.area) : current;
            if (!a || g.field >= a->fields.size()) return false;
            const FieldInfo& f = a->fields[g.field];
            if (!(f.type == g.type || (g.type == 'N' && (f.type == 'N' || f.type == 'F')))) return false;
            // A wider text than compiled might not fit the pool.
            if (g.type == 'C' && f.length > g.number) return false;
        }
        return true;
    }

    // A non-virtual date field's Julian day, as ReadField gives it.
    double DateIn(const TWorkArea& a, const FieldInfo& f) {
        if (f.length != sizeof p_.last_date_ || a.rec_count <= 0 || a.record.size() < size_t{f.offset} + f.length)
            return ReadField(a, f).number;
        uint64_t raw = 0, last = 0;
        std::memcpy(&raw, a.record.data() + f.offset, sizeof raw);
        std::memcpy(&last, p_.last_date_, sizeof last);
        if (raw != last) {
            p_.last_julian_ = JulianFromDTOS({a.record.data() + f.offset, sizeof p_.last_date_});
            std::memcpy(p_.last_date_, &raw, sizeof raw);
        }
        return p_.last_julian_;
    }

    static bool DeletedIn(const TWorkArea* a) {
        if (!a || a->rec_count <= 0 || a->record.empty()) return false;
        return a->is_virtual ? a->record[0] != 0 : a->record[0] == '*';
    }

    void PushField(const Instr& in, Slot& s, TWorkArea* current) {
        TWorkArea* a = in.area ? AreaAt(in.area) : current;
        const FieldInfo* f = a && in.field < a->fields.size() ? &a->fields[in.field] : nullptr;
        const bool same = f && (f->type == in.type || (in.type == 'N' && (f->type == 'N' || f->type == 'F')));
        if (!same) {
            const std::string name(literals_ + in.text_at, in.text_len);
            if (!a)
                Failed(215, "No database in use for field " + name + " [Evaluate]");
            else
                Failed(220, "Field " + name + " is not in " + a->file_name + " [Evaluate]");
            s.number = in.type == 'D' ? kBlankDate : 0;
            if (in.type == 'C' || in.type == 'M') SetText(s, next_, 0);
            return;
        }
        if (in.type == 'D' && !a->is_virtual) {
            s.number = DateIn(*a, *f);
            return;
        }
        const FieldRead r = ReadField(*a, *f);
        switch (in.type) {
        case 'C': {
            const uint32_t len = Room(next_, f->length);
            const size_t taken = std::min<size_t>(r.text.size(), len);
            // A record a filter tests in a walk may still be as stored.
            if (a->record_stored)
                platform::OemToAnsi(r.text.substr(0, taken), pool_ + next_);
            else if (taken > 0)
                std::memcpy(pool_ + next_, r.text.data(), taken);
            std::memset(pool_ + next_ + taken, ' ', len - taken);
            SetText(s, next_, len);
            break;
        }
        case 'M': PushMemo(*a, r.number, s); break;
        default: s.number = r.number; break;
        }
    }

    // A memo's lines joined without their breaks, each line cut to 255
    // characters, as much as the pool holds.
    void PushMemo(TWorkArea& a, double block, Slot& s) {
        const uint32_t at = next_;
        const size_t room = at < cap_ ? cap_ - at - 1 : 0;
        size_t len = 0;
        if (block > 0) {
            MemoAttachment* memo = Engine().attachments.memo.get();
            Status read = memo ? memo->ReadText(a, static_cast<int32_t>(block), p_.memo_)
                               : Fail(220, "MEMO unit not linked in [Evaluate]");
            if (read.failed()) {
                Failed(read.code, std::move(read.message));
                p_.memo_.clear();
            }
            const std::string& text = p_.memo_;
            size_t line = 0;
            for (size_t i = 0; i < text.size() && len < room; ++i) {
                const char c = text[i];
                const bool soft = c == '\x8D';
                if (c == '\r' || c == '\n' || soft) {
                    if (c != '\n' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
                    if (!soft) line = 0;
                    continue;
                }
                if (line++ < kMaxTextValue) pool_[at + len++] = c;
            }
        }
        SetText(s, at, len);
    }

    void Concat(Slot& a, const Slot& b, bool move_blanks) {
        size_t keep = a.len;
        if (move_blanks)
            while (keep > 0 && Text(a)[keep - 1] == ' ') --keep;
        const size_t blanks = a.len - keep;
        std::memmove(Text(a) + keep, Text(b), b.len);
        std::memset(Text(a) + keep + b.len, ' ', blanks);
        SetText(a, a.at, Limit(size_t{a.len} + b.len));
    }

    std::string_view Literal(const Instr& in) const { return {literals_ + in.text_at, in.text_len}; }

    void CompareTexts(Op op, Slot& a, std::string_view y) {
        const std::string_view x = View(a);
        bool r = false;
        switch (op) {
        case Op::EqC: r = !y.empty() && x.starts_with(y); break;
        case Op::ExactC: r = x == y; break;
        case Op::InC: r = !x.empty() && y.find(x) != std::string_view::npos; break;
        case Op::NeC: r = x != y; break;
        case Op::LtC: r = x < y; break;
        case Op::GtC: r = x > y; break;
        case Op::LeC: r = x <= y; break;
        default: r = x >= y; break;
        }
        next_ = a.at;
        a.number = r ? 1 : 0;
    }

    static bool IsBinary(Op op) {
        switch (op) {
        case Op::Add:
        case Op::Sub:
        case Op::Mul:
        case Op::Div:
        case Op::Pow:
        case Op::EqN:
        case Op::NeN:
        case Op::LtN:
        case Op::GtN:
        case Op::LeN:
        case Op::GeN:
        case Op::And:
        case Op::Or:
        case Op::At:
        case Op::Left:
        case Op::Right:
        case Op::Max:
        case Op::Min:
        case Op::Mod:
        case Op::Replicate:
        case Op::Round: return true;
        default: return false;
        }
    }

    void Binary(Op op, Slot& a, const Slot& b) {
        const double x = a.number, y = b.number;
        switch (op) {
        case Op::Add: SetNumber(a, x + y); break;
        case Op::Sub: SetNumber(a, x - y); break;
        case Op::Mul: SetNumber(a, x * y); break;
        case Op::Div:
            if (y == 0) {
                Failed(358, EvaluationError("Divide by 0"));
                a.number = kDivideByZeroResult;
            } else {
                SetNumber(a, x / y);
            }
            break;
        case Op::Pow:
            if (x <= 0) {
                Failed(358, EvaluationError("Power of a number that is not above 0"));
                a.number = 0;
            } else {
                SetNumber(a, std::pow(x, y));
            }
            break;
        case Op::EqN: a.number = x == y; break;
        case Op::NeN: a.number = x != y; break;
        case Op::LtN: a.number = x < y; break;
        case Op::GtN: a.number = x > y; break;
        case Op::LeN: a.number = x <= y; break;
        case Op::GeN: a.number = x >= y; break;
        case Op::And: a.number = x != 0 && y != 0; break;
        case Op::Or: a.number = x != 0 || y != 0; break;
        case Op::Max: a.number = x > y ? x : y; break;
        case Op::Min: a.number = x < y ? x : y; break;
        case Op::Mod: {
            const int64_t m = Trunc(x), n = Trunc(y);
            if (n == 0) {
                Failed(358, EvaluationError("Divide by 0"));
                a.number = 0;
            } else {
                a.number = static_cast<double>(m % n);
            }
            break;
        }
        case Op::Round: a.number = CutToDecimals(x, Trunc(y)); break;
        case Op::At: {
            const std::string_view needle = View(a), hay = View(b);
            const size_t at = needle.empty() ? std::string_view::npos : hay.find(needle);
            next_ = a.at;
            a.number = at == std::string_view::npos ? 0 : static_cast<double>(at + 1);
            break;
        }
        case Op::Left:
        case Op::Right: {
            const int32_t n = Trunc(y);
            const size_t keep = n <= 0 ? 0 : std::min<size_t>(static_cast<size_t>(n), a.len);
            if (op == Op::Right) std::memmove(Text(a), Text(a) + (a.len - keep), keep);
            SetText(a, a.at, keep);
            break;
        }
        case Op::Replicate: {
            const int32_t n = Trunc(y);
            const int64_t total = n <= 0 ? 0 : int64_t{a.len} * n;
            const uint32_t len = Room(a.at, Limit(static_cast<size_t>(std::min<int64_t>(total, kMaxTextValue + 1))));
            for (uint32_t i = a.len; i < len; ++i) Text(a)[i] = Text(a)[i - a.len];
            SetText(a, a.at, len);
            break;
        }
        default: break;
        }
    }

    void Unary(Op op, Slot& s) {
        const double v = s.number;
        char text[16];
        switch (op) {
        case Op::Asc:
            next_ = s.at;
            s.number = s.len > 0 ? static_cast<uint8_t>(Text(s)[0]) : 0;
            break;
        case Op::Len: next_ = s.at, s.number = s.len; break;
        case Op::Val: next_ = s.at, s.number = LeadingNumber(RTrimView(View(s))); break;
        case Op::Ctod: next_ = s.at, s.number = JulianFromCTOD(View(s).substr(0, 10)); break;
        case Op::Int: s.number = Trunc(v); break;
        case Op::Day:
        case Op::Month:
        case Op::Year: {
            CivilDate d;
            CivilFromJulian(v, d);
            s.number = op == Op::Day ? d.day : op == Op::Month ? d.month : d.year;
            break;
        }
        case Op::Dow: s.number = DayOfWeekFromJulian(v); break;
        case Op::Cdow:
        case Op::Cmonth: {
            CivilDate d;
            CivilFromJulian(v, d);
            PutText(s, op == Op::Cdow ? DayName(DayOfWeekFromJulian(v)) : MonthName(d.month));
            break;
        }
        case Op::Dtoc: PutText(s, std::string_view(text, WriteDTOC(v, text))); break;
        case Op::Dtos: WriteDTOS(v, text), PutText(s, std::string_view(text, 8)); break;
        case Op::Chr: {
            text[0] = static_cast<char>(Trunc(v) & 0xFF);
            PutText(s, std::string_view(text, text[0] == '\0' ? 0 : 1));
            break;
        }
        case Op::Space: {
            const int32_t n = Trunc(v);
            const uint32_t at = next_;
            const uint32_t len =
                Room(at, Limit(n <= 0 ? 0 : std::min<size_t>(static_cast<size_t>(n), kMaxTextValue + 1)));
            std::memset(pool_ + at, ' ', len);
            SetText(s, at, len);
            break;
        }
        case Op::Upper: platform::AnsiUpper(std::span<char>(Text(s), s.len)); break;
        case Op::Lower:
            for (char& c : std::span<char>(Text(s), s.len)) c = platform::AnsiLower(c);
            break;
        case Op::Ltrim: {
            size_t skip = 0;
            while (skip < s.len && Text(s)[skip] == ' ') ++skip;
            std::memmove(Text(s), Text(s) + skip, s.len - skip);
            SetText(s, s.at, s.len - skip);
            break;
        }
        case Op::Rtrim: SetText(s, s.at, RTrimView(View(s)).size()); break;
        case Op::Soundex: {
            const std::string code = zurod::Soundex(View(s).substr(0, kMaxTextValue));
            const uint32_t len = Room(s.at, code.size());
            std::memcpy(Text(s), code.data(), len);
            SetText(s, s.at, len);
            break;
        }
        default: break;
        }
    }

    static std::string_view RTrimView(std::string_view v) {
        size_t n = v.size();
        while (n > 0 && static_cast<unsigned char>(v[n - 1]) <= ' ') --n;
        return v.substr(0, n);
    }

    void Iif(Slot& l, Slot& a, const Slot& b) {
        if (l.number == 0) std::memmove(Text(a), Text(b), b.len);
        SetText(l, a.at, l.number != 0 ? a.len : b.len);
    }

    void Substr(Slot& c, const Slot& start, const Slot& count) {
        int64_t s = Trunc(start.number);
        const int32_t n = Trunc(count.number);
        if (s < 1) s = 1;
        size_t len = 0;
        if (s <= c.len && n >= 0) {
            len = std::min<size_t>(static_cast<size_t>(n), c.len - static_cast<size_t>(s - 1));
            std::memmove(Text(c), Text(c) + (s - 1), len);
        }
        SetText(c, c.at, len);
    }

    void Stuff(Slot& c, const Slot& start, const Slot& count, const Slot& r) {
        const int32_t s = Trunc(start.number);
        const int32_t n = Trunc(count.number);
        const std::string_view text = View(c), insert = View(r);
        size_t at = s < 1 ? 0 : std::min<size_t>(static_cast<size_t>(s - 1), text.size());
        size_t removed = 0;
        if (s >= 1 && static_cast<size_t>(s) <= text.size() && n > 0)
            removed = std::min<size_t>(static_cast<size_t>(n), text.size() - at);
        // Both texts stand in the pool one after the other; the result fits
        // in the place they took.
        char result[2 * kMaxTextValue + 2];
        size_t len = 0;
        auto add = [&](std::string_view part) {
            std::memcpy(result + len, part.data(), part.size());
            len += part.size();
        };
        add(text.substr(0, at));
        add(insert);
        add(text.substr(at + removed));
        len = Limit(len);
        std::memcpy(Text(c), result, len);
        SetText(c, c.at, len);
    }

    void Str(Slot* args, uint8_t argc) {
        const int32_t width = argc >= 2 ? Trunc(args[1].number) : 10;
        const int32_t decimals = argc >= 3 ? std::max(Trunc(args[2].number), 0) : 0;
        char buffer[64];
        std::string spill;
        const std::string_view text = FixedText(args[0].number, decimals, buffer, spill);
        const size_t w = width <= 0 ? 0 : static_cast<size_t>(width);
        const uint32_t at = next_;
        const uint32_t len = Room(at, Limit(w));
        if (text.size() > w) {
            std::memset(pool_ + at, '*', len);
        } else {
            const size_t blanks = w - text.size();
            const size_t lead = std::min<size_t>(blanks, len);
            std::memset(pool_ + at, ' ', lead);
            std::memcpy(pool_ + at + lead, text.data(), std::min(text.size(), len - lead));
        }
        SetText(args[0], at, len);
    }

    ExprProgram& p_;
    char* pool_;
    uint32_t cap_;
    Slot* st_;
    const char* literals_;
    uint32_t next_ = 0;  // the pool's first free byte
    Status failure_;
};

Status ExprProgram::Run() {
    if (FoldsStale()) Optimize();
    Machine machine(*this);
    if (!conjunction_.empty() && machine.RunConjunction()) return {};
    return machine.Run();
}

}  // namespace zurod
