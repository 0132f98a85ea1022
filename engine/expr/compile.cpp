// Compiling an expression: the lexer with its keyword table and field
// resolution, a precedence-climbing parser that type-checks as it reduces
// and emits postfix code, and the result attributes that callers read.
//
// The parser keeps count of the states the table-driven parser of the
// language holds on its stack at the same point, so that the stack limit and
// the place an error is reported at stay what callers have always seen.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <new>

#include "engine/dbf/detail/area_table.hpp"
#include "engine/dbf/settings.hpp"
#include "engine/expr/detail/program.hpp"
#include "platform/codepage.hpp"

namespace zurod {

namespace {

constexpr size_t kMaxText = 255;
constexpr size_t kMaxName = 80;
constexpr int kMaxStates = 150;
constexpr int kUnsetDecimals = 19;
constexpr size_t kExcerpt = 51;
constexpr uint8_t kAliasAreas = 32;

// One built-in function. `args` lists the argument types ('*': N or D, the
// same for all); the result '*' is the arguments' type.
struct Function {
    std::string_view name;
    Op op;
    uint16_t reserve;  // pool bytes its result may need
    std::string_view args;
    uint8_t min_args;
    char result;
};

constexpr Function kFunctions[] = {
    {"ABS", Op::Abs, 0, "N", 1, 'N'},
    {"ASC", Op::Asc, 0, "C", 1, 'N'},
    {"AT", Op::At, 0, "CC", 2, 'N'},
    {"CDOW", Op::Cdow, 15, "D", 1, 'C'},
    {"CHR", Op::Chr, 2, "N", 1, 'C'},
    {"CMONTH", Op::Cmonth, 15, "D", 1, 'C'},
    {"CTOD", Op::Ctod, 0, "C", 1, 'D'},
    {"DATE", Op::Date, 0, "", 0, 'D'},
    {"DAY", Op::Day, 0, "D", 1, 'N'},
    {"DELETED", Op::Deleted, 0, "", 0, 'L'},
    {"DOW", Op::Dow, 0, "D", 1, 'N'},
    {"DTOC", Op::Dtoc, 11, "D", 1, 'C'},
    {"DTOS", Op::Dtos, 9, "D", 1, 'C'},
    {"IIF", Op::Iif, 256, "LCC", 3, 'C'},
    {"INT", Op::Int, 0, "N", 1, 'N'},
    {"LEFT", Op::Left, 0, "CN", 2, 'C'},
    {"LEN", Op::Len, 0, "C", 1, 'N'},
    {"LOWER", Op::Lower, 0, "C", 1, 'C'},
    {"LTRIM", Op::Ltrim, 0, "C", 1, 'C'},
    {"MAX", Op::Max, 0, "**", 2, '*'},
    {"MIN", Op::Min, 0, "**", 2, '*'},
    {"MOD", Op::Mod, 0, "NN", 2, 'N'},
    {"MONTH", Op::Month, 0, "D", 1, 'N'},
    {"RECNO", Op::Recno, 0, "", 0, 'N'},
    {"REPLICATE", Op::Replicate, 256, "CN", 2, 'C'},
    {"RIGHT", Op::Right, 0, "CN", 2, 'C'},
    {"ROUND", Op::Round, 0, "NN", 2, 'N'},
    {"RTRIM", Op::Rtrim, 0, "C", 1, 'C'},
    {"SOUNDEX", Op::Soundex, 15, "C", 1, 'C'},
    {"SPACE", Op::Space, 256, "N", 1, 'C'},
    {"STR", Op::Str, 256, "NNN", 1, 'C'},
    {"STUFF", Op::Stuff, 0, "CNNC", 4, 'C'},
    {"SUBSTR", Op::Substr, 0, "CNN", 3, 'C'},
    {"TRIM", Op::Rtrim, 0, "C", 1, 'C'},
    {"UPPER", Op::Upper, 0, "C", 1, 'C'},
    {"VAL", Op::Val, 0, "C", 1, 'N'},
    {"YEAR", Op::Year, 0, "D", 1, 'N'},
};

// clang-format off
enum class Kind : uint8_t {
    End, Bad, Number, String, Field, Unknown, Function,
    True, False, Not, And, Or,
    Plus, Minus, Times, Divide, Pow,
    Eq, Exact, Ne, Lt, Gt, Le, Ge, In,
    Open, Close, Comma,
};
// clang-format on

constexpr std::pair<std::string_view, Kind> kDotWords[] = {
    {".F.", Kind::False}, {".T.", Kind::True}, {".NOT.", Kind::Not}, {".OR.", Kind::Or}, {".AND.", Kind::And},
};

struct Binary {
    Kind kind;
    int precedence;
    std::string_view name;  // as type errors name it
};

constexpr Binary kBinaries[] = {
    {Kind::Or, 1, ".OR."}, {Kind::And, 2, ".AND."}, {Kind::Eq, 3, "="},        {Kind::Ne, 3, "<>"},
    {Kind::In, 4, "$"},    {Kind::Exact, 4, "=="},  {Kind::Gt, 5, ">"},        {Kind::Lt, 5, "<"},
    {Kind::Le, 5, "<="},   {Kind::Ge, 5, ">="},     {Kind::Plus, 6, "+"},      {Kind::Minus, 6, "-"},
    {Kind::Times, 7, "*"}, {Kind::Divide, 7, "/"},  {Kind::Pow, 8, "** or ^"},
};

const Binary* BinaryOf(Kind kind) {
    for (const Binary& b : kBinaries)
        if (b.kind == kind) return &b;
    return nullptr;
}

// The opcode of `left op right`, and the result type; End when the types do
// not fit the operator.
Op BinaryOp(Kind kind, char l, char r, char& result) {
    const char types[2] = {l, r};
    const std::string_view pair(types, 2);
    auto both = [&](std::string_view types) { return l == r && types.find(l) != std::string_view::npos; };
    result = 'L';
    switch (kind) {
    case Kind::Plus:
        if (pair == "NN") return result = 'N', Op::Add;
        if (pair == "ND" || pair == "DN") return result = 'D', Op::Add;
        if (pair == "CC") return result = 'C', Op::Concat;
        return Op::End;
    case Kind::Minus:
        if (pair == "NN" || pair == "DD") return result = 'N', Op::Sub;
        if (pair == "DN") return result = 'D', Op::Sub;
        if (pair == "CC") return result = 'C', Op::ConcatTrim;
        return Op::End;
    case Kind::Times: return pair == "NN" ? (result = 'N', Op::Mul) : Op::End;
    case Kind::Divide: return pair == "NN" ? (result = 'N', Op::Div) : Op::End;
    case Kind::Pow: return pair == "NN" ? (result = 'N', Op::Pow) : Op::End;
    case Kind::Eq: return both("NDL") ? Op::EqN : pair == "CC" ? Op::EqC : Op::End;
    case Kind::Ne: return both("NDL") ? Op::NeN : pair == "CC" ? Op::NeC : Op::End;
    case Kind::Exact: return pair == "CC" ? Op::ExactC : Op::End;
    case Kind::In: return pair == "CC" ? Op::InC : Op::End;
    case Kind::Gt: return both("ND") ? Op::GtN : pair == "CC" ? Op::GtC : Op::End;
    case Kind::Lt: return both("ND") ? Op::LtN : pair == "CC" ? Op::LtC : Op::End;
    case Kind::Le: return both("ND") ? Op::LeN : pair == "CC" ? Op::LeC : Op::End;
    case Kind::Ge: return both("ND") ? Op::GeN : pair == "CC" ? Op::GeC : Op::End;
    case Kind::Or: return pair == "LL" ? Op::Or : Op::End;
    case Kind::And: return pair == "LL" ? Op::And : Op::End;
    default: return Op::End;
    }
}

// A function name may be cut to four letters when the name is longer.
bool NamesFunction(std::string_view name, const Function& f) {
    return name == f.name || (f.name.size() > 4 && name.size() >= 4 && f.name.starts_with(name));
}

char TypeClass(char field_type) {
    switch (field_type) {
    case 'C':
    case 'L':
    case 'D':
    case 'M': return field_type;
    case 'N':
    case 'F': return 'N';
    default: return 0;
    }
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsNameChar(char c) { return IsLetter(c) || IsDigit(c) || c == '_'; }

struct Token {
    Kind kind = Kind::End;
    double number = 0;
    std::string text{};  // a literal, or a field's name
    const Function* function = nullptr;
    uint16_t field = 0;
    uint8_t area = 0;
    char type = 0;
    uint8_t width = 0;  // a field's
};

}  // namespace

class Compiler {
public:
    Compiler(TWorkArea* area, std::string_view text, uint16_t memo_pool)
        : area_(area), text_(text), memo_pool_(memo_pool), engine_decimals_(Settings().decimals) {}

    Status Compile(std::unique_ptr<ExprProgram>& out) {
        program_ = std::make_unique<ExprProgram>();
        // The source buffer holds 255 characters; a longer text is refused
        // where it passes the limit.
        if (text_.size() > kMaxText) {
            pos_ = kMaxText + 1;
            return Error("Syntax error");
        }
        char type = 0;
        if (Status s = ParseExpr(1, type); s.failed()) return s;
        if (Take().kind != Kind::End) return Error("Syntax error");
        Emit({.op = Op::End});
        Finish(type);
        out = std::move(program_);
        return {};
    }

private:
    // Reading: names, keywords and operators are upper-cased as they are
    // read, literals are taken as written.
    char Upper(size_t i) const { return platform::AnsiUpper(text_[i]); }
    bool AtEnd() const { return pos_ >= text_.size(); }
    char PeekChar(size_t ahead = 0) const { return pos_ + ahead < text_.size() ? Upper(pos_ + ahead) : '\0'; }
    bool StartsDotWord(size_t at) const {
        for (const auto& [word, kind] : kDotWords) {
            if (at + word.size() > text_.size()) continue;
            bool same = true;
            for (size_t i = 0; i < word.size() && same; ++i) same = Upper(at + i) == word[i];
            if (same) return true;
        }
        return false;
    }
    static bool IsDotWord(std::string_view name) {
        return std::any_of(std::begin(kDotWords), std::end(kDotWords), [&](const auto& w) { return w.first == name; });
    }

    Token Lex() {
        while (!AtEnd() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
        if (AtEnd()) return {};
        const char c = Upper(pos_++);
        if (IsDigit(c)) return LexNumber();
        if (c == '\'' || c == '"') return LexString(text_[pos_ - 1]);
        auto pick = [&](char next, Kind with, Kind without) {
            if (PeekChar() != next) return Token{.kind = without};
            ++pos_;
            return Token{.kind = with};
        };
        switch (c) {
        case '=': return pick('=', Kind::Exact, Kind::Eq);
        case '*': return pick('*', Kind::Pow, Kind::Times);
        case '>': return pick('=', Kind::Ge, Kind::Gt);
        case '<':
            if (PeekChar() == '>') return ++pos_, Token{.kind = Kind::Ne};
            return pick('=', Kind::Le, Kind::Lt);
        case '^': return {.kind = Kind::Pow};
        case '#': return {.kind = Kind::Ne};
        case '$': return {.kind = Kind::In};
        case '+': return {.kind = Kind::Plus};
        case '-': return {.kind = Kind::Minus};
        case '/': return {.kind = Kind::Divide};
        case '(': return {.kind = Kind::Open};
        case ')': return {.kind = Kind::Close};
        case ',': return {.kind = Kind::Comma};
        default: break;
        }
        if (IsLetter(c) || c == '.' || c == '_') return LexName(c);
        return {.kind = Kind::Bad};
    }

    // Digits with one optional '.' that a digit follows, and an optional
    // exponent "E", a sign and digits; "1E" or "1E-" is malformed.
    Token LexNumber() {
        const size_t start = pos_ - 1;
        while (IsDigit(PeekChar())) ++pos_;
        if (PeekChar() == '.' && IsDigit(PeekChar(1))) {
            ++pos_;
            while (IsDigit(PeekChar())) ++pos_;
        }
        if (PeekChar() == 'E') {
            ++pos_;
            if (PeekChar() == '+' || PeekChar() == '-') ++pos_;
            if (!IsDigit(PeekChar())) return {.kind = Kind::Bad};
            while (IsDigit(PeekChar())) ++pos_;
        }
        Token t{.kind = Kind::Number};
        const char* first = text_.data() + start;
        const char* last = text_.data() + pos_;
        const auto [ptr, ec] = std::from_chars(first, last, t.number);
        if (ec != std::errc() || ptr != last || !std::isfinite(t.number)) return {.kind = Kind::Bad};
        last_len_ = 0;
        decimals_ = engine_decimals_;
        return t;
    }

    // A literal that the text ends inside is malformed.
    Token LexString(char quote) {
        Token t{.kind = Kind::String};
        for (;;) {
            if (AtEnd()) return {.kind = Kind::Bad};
            const char c = text_[pos_++];
            if (c == quote) break;
            t.text += c;
        }
        reserve_ += t.text.size() + 1;
        last_len_ = 0;
        decimals_ = engine_decimals_;
        return t;
    }

    // A name stops before a '.' that begins .AND., .OR., .NOT., .T. or .F.,
    // so that X>1.AND.Y<2 (an index expression without its blanks) reads.
    Token LexName(char first) {
        std::string name(1, first);
        for (;;) {
            const char c = PeekChar();
            if (c == '.') {
                if (IsDotWord(name + '.')) {
                    ++pos_;
                    name += '.';
                    break;
                }
                if (StartsDotWord(pos_)) break;
            } else if (!IsNameChar(c)) {
                break;
            }
            ++pos_;
            name += c;
            if (name.size() > kMaxName) return {.kind = Kind::Bad};
        }
        bool alias = false;
        if (PeekChar() == '-' && PeekChar(1) == '>') {
            pos_ += 2;
            alias = true;
            name += '.';
            while (IsNameChar(PeekChar())) {
                name += PeekChar();
                ++pos_;
                if (name.size() > kMaxName) return {.kind = Kind::Bad};
            }
        }
        Token t;
        if (ResolveField(name, alias, t)) {
            // A field may share a function's name: a '(' after it makes it the function.
            size_t at = pos_;
            while (at < text_.size() && (text_[at] == ' ' || text_[at] == '\t')) ++at;
            if (at >= text_.size() || text_[at] != '(') return t;
        }
        return Keyword(name);
    }

    bool ResolveField(const std::string& name, bool alias, Token& t) {
        TWorkArea* area = area_;
        uint8_t area_no = 0;
        std::string_view field = name;
        if (alias) {
            const size_t dot = name.find('.');
            const std::string_view wanted = std::string_view(name).substr(0, std::min<size_t>(dot, 10));
            field = std::string_view(name).substr(dot + 1);
            area = nullptr;
            for (uint8_t n = 1; n <= kAliasAreas && !area; ++n) {
                TWorkArea* a = AreaAt(n);
                if (a && a->alias == wanted) {
                    area = a;
                    area_no = n;
                }
            }
        }
        if (!area || field.empty()) return false;
        const auto it =
            std::find_if(area->fields.begin(), area->fields.end(), [&](const FieldInfo& f) { return f.name == field; });
        if (it == area->fields.end() || TypeClass(it->type) == 0) return false;
        const FieldInfo& f = *it;
        last_len_ = f.length;
        if (f.type == 'C') reserve_ += f.length + 1u;
        if (f.type == 'N' || f.type == 'F') decimals_ = decimals_ == kUnsetDecimals ? f.decimals : engine_decimals_;
        t.kind = Kind::Field;
        t.text = name;
        t.field = static_cast<uint16_t>(it - area->fields.begin());
        t.area = area_no;
        t.type = TypeClass(f.type);
        t.width = f.length;
        return true;
    }

    Token Keyword(const std::string& name) {
        last_len_ = 0;
        decimals_ = engine_decimals_;
        for (const auto& [word, kind] : kDotWords)
            if (name == word) return {.kind = kind};
        for (const Function& f : kFunctions) {
            if (NamesFunction(name, f)) {
                reserve_ += f.reserve;
                return {.kind = Kind::Function, .function = &f};
            }
        }
        return {.kind = Kind::Unknown};
    }

    // Parsing with one token of look-ahead.
    const Token& Peek() {
        if (!have_look_) {
            look_ = Lex();
            have_look_ = true;
        }
        return look_;
    }
    Token Take() {
        Peek();
        have_look_ = false;
        return std::move(look_);
    }

    // A symbol goes on the parser's stack.
    Status Shift() {
        if (++states_ > kMaxStates) return Error("Parser_stack_overflow");
        return {};
    }
    // `symbols` on the stack become one.
    void Reduce(int symbols) { states_ -= symbols - 1; }

    void Emit(Instr in, int pops = 0) {
        program_->code_.push_back(in);
        if (in.op == Op::End) return;
        depth_ += 1 - pops;
        max_depth_ = std::max(max_depth_, depth_);
    }

    Status ParseExpr(int min_precedence, char& type) {
        if (Status s = ParseUnary(type); s.failed()) return s;
        for (;;) {
            const Binary* b = BinaryOf(Peek().kind);
            if (!b || b->precedence < min_precedence) return {};
            Take();
            if (Status s = Shift(); s.failed()) return s;
            char right = 0;
            if (Status s = ParseExpr(b->precedence + 1, right); s.failed()) return s;
            char result = 0;
            const Op op = BinaryOp(b->kind, type, right, result);
            if (op == Op::End) return TypeMismatch("expression", b->name);
            Emit({.op = op, .argc = 2, .type = result}, 2);
            Reduce(3);
            type = result;
        }
    }

    Status ParseUnary(char& type) {
        const Kind kind = Peek().kind;
        if (kind != Kind::Minus && kind != Kind::Plus && kind != Kind::Not) return ParsePrimary(type);
        Take();
        if (Status s = Shift(); s.failed()) return s;
        if (Status s = ParseUnary(type); s.failed()) return s;
        const char wanted = kind == Kind::Not ? 'L' : 'N';
        if (type != wanted)
            return TypeMismatch("expression", kind == Kind::Not ? ".NOT." : kind == Kind::Plus ? "+" : "-");
        if (kind != Kind::Plus) Emit({.op = kind == Kind::Not ? Op::Not : Op::Neg, .argc = 1, .type = wanted}, 1);
        Reduce(2);
        return {};
    }

    Status ParsePrimary(char& type) {
        Token t = Take();
        switch (t.kind) {
        case Kind::Number:
        case Kind::String:
        case Kind::True:
        case Kind::False:
        case Kind::Field: {
            if (Status s = Shift(); s.failed()) return s;
            EmitOperand(t, type);
            return {};
        }
        case Kind::Open: {
            if (Status s = Shift(); s.failed()) return s;
            if (Status s = ParseExpr(1, type); s.failed()) return s;
            if (Take().kind != Kind::Close) return Error("Syntax error");
            if (Status s = Shift(); s.failed()) return s;
            Reduce(3);
            return {};
        }
        case Kind::Function: return ParseCall(*t.function, type);
        default: return Error("Syntax error");
        }
    }

    void EmitOperand(const Token& t, char& type) {
        Instr in;
        switch (t.kind) {
        case Kind::Number:
            in = {.op = Op::Number, .type = 'N', .number = t.number};
            type = 'N';
            break;
        case Kind::String:
            in = {.op = Op::Text,
                  .type = 'C',
                  .text_at = Literal(t.text),
                  .text_len = static_cast<uint32_t>(t.text.size())};
            type = 'C';
            break;
        case Kind::True:
        case Kind::False:
            in = {.op = Op::Logical, .type = 'L', .number = t.kind == Kind::True ? 1.0 : 0.0};
            type = 'L';
            break;
        default:
            in = {.op = Op::Field,
                  .type = t.type,
                  .area = t.area,
                  .field = t.field,
                  .text_at = Literal(t.text),
                  .text_len = static_cast<uint32_t>(t.text.size()),
                  .number = static_cast<double>(t.width)};
            type = t.type;
            break;
        }
        Emit(in);
    }

    uint32_t Literal(const std::string& text) {
        const auto at = static_cast<uint32_t>(program_->literals_.size());
        program_->literals_ += text;
        return at;
    }

    // NAME "(" arguments ")"; the count must be one the function takes.
    Status ParseCall(const Function& f, char& type) {
        if (Status s = Shift(); s.failed()) return s;
        if (Take().kind != Kind::Open) return Error("Syntax error");
        if (Status s = Shift(); s.failed()) return s;
        const size_t max_args = f.args.size();
        char args[4] = {};
        size_t count = 0;
        int symbols = 3;  // the name, "(" and ")"
        if (max_args == 0) {
            if (Take().kind != Kind::Close) return Error("Syntax error");
            if (Status s = Shift(); s.failed()) return s;
        } else {
            for (;;) {
                if (Status s = ParseExpr(1, args[count]); s.failed()) return s;
                ++count;
                ++symbols;
                const Kind next = Take().kind;
                if (next == Kind::Close && count >= f.min_args) {
                    if (Status s = Shift(); s.failed()) return s;
                    break;
                }
                if (next != Kind::Comma || count == max_args) return Error("Syntax error");
                if (Status s = Shift(); s.failed()) return s;
                ++symbols;
            }
        }
        for (size_t i = 0; i < count; ++i) {
            const char wanted = f.args[i];
            const bool fits =
                wanted == '*' ? (args[i] == 'N' || args[i] == 'D') && args[i] == args[0] : args[i] == wanted;
            if (!fits) return TypeMismatch("function", f.name);
        }
        type = f.result == '*' ? args[0] : f.result;
        Emit({.op = f.op, .argc = static_cast<uint8_t>(count), .type = type}, static_cast<int>(count));
        Reduce(symbols);
        return {};
    }

    Status TypeMismatch(std::string_view where, std::string_view name) {
        return Error("PARSER:Type mismatch in " + std::string(where) + " \"" + std::string(name) + "\"");
    }

    // 351 with 51 characters of the text that end with the last one read.
    Status Error(const std::string& reason) const {
        const size_t read = std::min(pos_, kMaxText + 1);
        const size_t start = read <= kExcerpt ? 0 : read - kExcerpt;
        const size_t end = std::min(start + kExcerpt, text_.size());
        std::string message = "Error in expression : " + reason + "\r\n";
        message += start == 0 ? "[" : "[...";
        message.append(text_.substr(start, end - start));
        message += end >= text_.size() ? "]\r\n" : "...]\r\n";
        message += " [AssignExpr]";
        return Fail(351, std::move(message));
    }

    void Finish(char type) {
        ExprProgram& p = *program_;
        p.source_.assign(text_);
        p.type_ = type;
        uint32_t pool = type == 'M' ? memo_pool_ : reserve_;
        switch (type) {
        case 'C': p.length_ = reserve_ == last_len_ + 1u ? static_cast<uint16_t>(last_len_) : 0; break;
        case 'N': {
            const int decimals = decimals_ < kUnsetDecimals ? decimals_ : engine_decimals_;
            p.decimals_ = static_cast<uint8_t>(decimals);
            p.length_ = static_cast<uint16_t>(last_len_ >= decimals + 2 ? last_len_ : decimals + 11);
            break;
        }
        case 'D': p.length_ = 8; break;
        case 'L': p.length_ = 1; break;
        default: p.length_ = static_cast<uint16_t>(std::min<uint32_t>(pool, UINT16_MAX)); break;
        }
        p.pool_.assign(pool, '\0');
        p.stack_.resize(static_cast<size_t>(std::max(max_depth_, 1)));
        p.Optimize();
    }

    TWorkArea* area_;
    std::string_view text_;
    uint16_t memo_pool_;
    int engine_decimals_;
    std::unique_ptr<ExprProgram> program_;

    size_t pos_ = 0;        // characters read
    uint32_t reserve_ = 0;  // pool bytes the text's operands may need
    int last_len_ = 0;      // width of the last field read
    int decimals_ = kUnsetDecimals;
    Token look_;
    bool have_look_ = false;
    int states_ = 1;  // the parser's start state
    int depth_ = 0, max_depth_ = 0;
};

Status CompileExpr(TWorkArea* area, std::string_view text, uint16_t memo_pool, std::unique_ptr<ExprProgram>& out) {
    out.reset();
    try {
        Compiler compiler(area, text, memo_pool);
        return compiler.Compile(out);
    } catch (const std::bad_alloc&) {
        return Fail(217, " [AssignExpr]");
    }
}

}  // namespace zurod
