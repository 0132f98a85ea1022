// Work done once per program instead of once per record: the constant parts
// of an expression (CTOD("01/01/2010"), 2 * 12) are evaluated when it is
// compiled and run as their values, again whenever the settings a folded
// call depends on have changed; and the right side of .AND. and .OR. gets a
// skip, taken when the left side decides the result and the right side
// could neither fail nor read a field that no longer reads as compiled, so
// that passing over it changes neither the value nor the error a caller
// sees.
#include <vector>

#include "engine/dbf/dates.hpp"
#include "engine/dbf/detail/area_table.hpp"
#include "engine/dbf/detail/state.hpp"
#include "engine/expr/detail/program.hpp"
#include "platform/codepage.hpp"

namespace zurod {

namespace {

// Whether the value follows from the arguments alone (and the settings).
bool Pure(Op op) {
    switch (op) {
    case Op::End:
    case Op::Field:
    case Op::Date:
    case Op::Deleted:
    case Op::Recno:
    case Op::SkipIfFalse:
    case Op::SkipIfTrue: return false;
    default: return true;
    }
}

bool DependsOnDates(Op op) { return op == Op::Ctod || op == Op::Dtoc || op == Op::Cdow || op == Op::Cmonth; }
bool DependsOnPages(Op op) { return op == Op::Upper || op == Op::Lower || op == Op::Soundex; }

// Whether the instruction never reports a failure, given arguments of its
// types and, for a field, that it reads as compiled. Arithmetic may
// overflow, counts may be out of range, texts may grow too long, memos may
// not be read.
bool CannotFail(const Instr& in) {
    switch (in.op) {
    case Op::Number:
    case Op::Logical:
    case Op::Text:
    case Op::Not:
    case Op::Neg:
    case Op::EqN:
    case Op::NeN:
    case Op::LtN:
    case Op::GtN:
    case Op::LeN:
    case Op::GeN:
    case Op::EqC:
    case Op::ExactC:
    case Op::InC:
    case Op::NeC:
    case Op::LtC:
    case Op::GtC:
    case Op::LeC:
    case Op::GeC:
    case Op::EqNK:
    case Op::NeNK:
    case Op::LtNK:
    case Op::GtNK:
    case Op::LeNK:
    case Op::GeNK:
    case Op::EqCK:
    case Op::ExactCK:
    case Op::InCK:
    case Op::NeCK:
    case Op::LtCK:
    case Op::GtCK:
    case Op::LeCK:
    case Op::GeCK:
    case Op::And:
    case Op::Or:
    case Op::Abs:
    case Op::Asc:
    case Op::At:
    case Op::Cdow:
    case Op::Cmonth:
    case Op::Ctod:
    case Op::Date:
    case Op::Day:
    case Op::Deleted:
    case Op::Dow:
    case Op::Dtoc:
    case Op::Dtos:
    case Op::Iif:
    case Op::Len:
    case Op::Lower:
    case Op::Ltrim:
    case Op::Max:
    case Op::Min:
    case Op::Month:
    case Op::Recno:
    case Op::Rtrim:
    case Op::Soundex:
    case Op::Upper:
    case Op::Val:
    case Op::Year:
    case Op::SkipIfFalse:
    case Op::SkipIfTrue: return true;
    case Op::Field:
    case Op::FieldCompare: return in.type != 'M';
    default: return false;
    }
}

// Asked before every run of a program with such values: one look at the
// engine's date state.
// The comparison with a constant right side that `op` becomes, or End.
Op WithConstant(Op op) {
    switch (op) {
    case Op::EqN: return Op::EqNK;
    case Op::NeN: return Op::NeNK;
    case Op::LtN: return Op::LtNK;
    case Op::GtN: return Op::GtNK;
    case Op::LeN: return Op::LeNK;
    case Op::GeN: return Op::GeNK;
    case Op::EqC: return Op::EqCK;
    case Op::ExactC: return Op::ExactCK;
    case Op::InC: return Op::InCK;
    case Op::NeC: return Op::NeCK;
    case Op::LtC: return Op::LtCK;
    case Op::GtC: return Op::GtCK;
    case Op::LeC: return Op::LeCK;
    case Op::GeC: return Op::GeCK;
    default: return Op::End;
    }
}

FoldStamp CurrentStamp() {
    const DateState& d = Engine().dates;
    return {d.code, d.century, d.window_start, static_cast<int>(platform::SelectedCodePages())};
}

}  // namespace

class Optimizer {
public:
    explicit Optimizer(ExprProgram& p) : p_(p), in_(p.compiled_) {}

    void Run() {
        p_.literals_.resize(p_.literals_compiled_);
        p_.guards_.clear();
        std::vector<size_t> stack;
        for (size_t i = 0; i < in_.size() && in_[i].op != Op::End; ++i) {
            Node n;
            n.at = n.begin = i;
            const size_t argc = std::min<size_t>(in_[i].argc, stack.size());
            n.kids.assign(stack.end() - static_cast<ptrdiff_t>(argc), stack.end());
            stack.resize(stack.size() - argc);
            n.constant = Pure(in_[i].op);
            n.dates = DependsOnDates(in_[i].op);
            n.pages = DependsOnPages(in_[i].op);
            for (const size_t k : n.kids) {
                n.constant = n.constant && nodes_[k].constant;
                n.dates = n.dates || nodes_[k].dates;
                n.pages = n.pages || nodes_[k].pages;
            }
            if (!n.kids.empty()) n.begin = nodes_[n.kids.front()].begin;
            stack.push_back(nodes_.size());
            nodes_.push_back(std::move(n));
        }
        // Anything but one value left is no program this compiler made: it
        // runs as compiled.
        if (stack.size() != 1) {
            p_.code_ = in_;
            return;
        }
        Emit(stack.back());
        out_.push_back({.op = Op::End});
        p_.code_ = std::move(out_);
        p_.folds_depend_ = depends_;
        p_.folded_under_ = CurrentStamp();
    }

private:
    struct Node {
        size_t at = 0, begin = 0;  // the instruction, and the first of its subtree
        std::vector<size_t> kids;
        bool constant = false, dates = false, pages = false;
    };

    // Emits node `n`'s code; true when it can never fail (its fields read as
    // compiled).
    bool Emit(size_t n) {
        const Node& node = nodes_[n];
        const Instr& in = in_[node.at];
        if (node.constant && !node.kids.empty() && Fold(node)) {
            depends_ = depends_ || node.dates || node.pages;
            return true;
        }
        if ((in.op == Op::And || in.op == Op::Or) && node.kids.size() == 2) {
            const bool left = Emit(node.kids[0]);
            const size_t skip = out_.size();
            const bool right = Emit(node.kids[1]);
            out_.push_back(in);
            if (right) {
                const auto first = static_cast<uint32_t>(p_.guards_.size());
                for (size_t i = skip; i < out_.size(); ++i)
                    if (out_[i].op == Op::Field || out_[i].op == Op::FieldCompare) p_.guards_.push_back(out_[i]);
                Instr jump{.op = in.op == Op::And ? Op::SkipIfFalse : Op::SkipIfTrue, .type = 'L'};
                jump.text_at = first;
                jump.text_len = static_cast<uint32_t>(p_.guards_.size()) - first;
                jump.target = static_cast<uint32_t>(out_.size() - skip);
                out_.insert(out_.begin() + static_cast<ptrdiff_t>(skip), jump);
            }
            return left && right;
        }
        bool safe = CannotFail(in);
        for (const size_t k : node.kids) safe = Emit(k) && safe;
        // A constant right side (a literal, folded or written) joins the comparison.
        const Op joined = WithConstant(in.op);
        if (joined != Op::End && node.kids.size() == 2 &&
            (out_.back().op == Op::Number || out_.back().op == Op::Logical || out_.back().op == Op::Text)) {
            const Instr k = out_.back();
            const Node& left = nodes_[node.kids[0]];
            // A field on the left: read and compared in one step.
            if (out_.size() >= 2 && left.kids.empty() && in_[left.at].op == Op::Field && in_[left.at].type != 'M') {
                out_.pop_back();
                Instr& f = out_.back();
                f.op = Op::FieldCompare;
                f.compare = joined;
                f.k_number = k.number;
                f.k_at = k.text_at;
                f.k_len = k.text_len;
                return safe;
            }
            out_.back() = in;
            out_.back().op = joined;
            out_.back().argc = 1;
            out_.back().number = k.number;
            out_.back().text_at = k.text_at;
            out_.back().text_len = k.text_len;
            return safe;
        }
        out_.push_back(in);
        return safe;
    }

    // Evaluates a constant part on its own and emits its value; false (and
    // nothing emitted) when the evaluation fails, so that it keeps failing
    // where it stands.
    bool Fold(const Node& node) {
        ExprProgram part;
        part.code_.assign(in_.begin() + static_cast<ptrdiff_t>(node.begin),
                          in_.begin() + static_cast<ptrdiff_t>(node.at) + 1);
        part.code_.push_back({.op = Op::End});
        part.literals_ = p_.literals_;
        part.type_ = in_[node.at].type;
        part.pool_.assign(p_.pool_.size(), '\0');
        part.stack_.resize(p_.stack_.size());
        if (part.Run().failed()) return false;
        const ExprValue& v = part.Result();
        Instr value{.type = part.type_};
        switch (part.type_) {
        case 'C':
            value.op = Op::Text;
            value.text_at = static_cast<uint32_t>(p_.literals_.size());
            value.text_len = static_cast<uint32_t>(v.text.size());
            p_.literals_.append(v.text);
            break;
        case 'L':
            value.op = Op::Logical;
            value.number = v.logical ? 1 : 0;
            break;
        default:
            value.op = Op::Number;
            value.number = v.number;
            break;
        }
        out_.push_back(value);
        return true;
    }

    ExprProgram& p_;
    const std::vector<Instr>& in_;
    std::vector<Node> nodes_;
    std::vector<Instr> out_;
    bool depends_ = false;
};

void ExprProgram::Optimize() {
    if (compiled_.empty()) {
        compiled_ = code_;
        literals_compiled_ = literals_.size();
    }
    Optimizer(*this).Run();
    FindConjunction();
}

void ExprProgram::FindConjunction() {
    conjunction_.clear();
    // FieldCompare, then any number of [SkipIfFalse] FieldCompare And, then End.
    size_t i = 0;
    const auto compare = [&] {
        if (i >= code_.size() || code_[i].op != Op::FieldCompare) return false;
        conjunction_.push_back(static_cast<uint32_t>(i++));
        return true;
    };
    bool shaped = type_ == 'L' && compare();
    while (shaped && i < code_.size() && code_[i].op != Op::End) {
        if (code_[i].op == Op::SkipIfFalse) ++i;
        shaped = compare() && i < code_.size() && code_[i].op == Op::And;
        ++i;
    }
    if (!shaped || i >= code_.size()) conjunction_.clear();
}

bool ExprProgram::FoldsStale() const { return folds_depend_ && !(folded_under_ == CurrentStamp()); }

}  // namespace zurod
