#pragma once
// Stand-ins for the units that attach to the engine, so that the work-area
// engine is tested against the contracts the real units must keep:
// - FunctionExpressions, FunctionMemo, FunctionStore: each operation is a
//   std::function the test fills (an empty one does nothing);
// - DispatchIndex: every typed index operation reaches one function as its
//   slot number and argument, the way a test most easily records them;
// - ContainsFilter: a filter is true when the raw record contains its text;
// - KeyOrderIndex: an index over a fixed list of record numbers with a cursor.
// Attach hands an object to the engine, which owns it from then on.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/dbf/detail/area_table.hpp"
#include "engine/dbf/detail/attachments.hpp"
#include "engine/dbf/detail/state.hpp"
#include "engine/dbf/detail/swap_buffer.hpp"

namespace testing_support {

using zurod::Status;
using zurod::TWorkArea;

template <class Fake, class Base>
Fake& Attach(std::unique_ptr<Base>& slot) {
    auto fake = std::make_unique<Fake>();
    Fake& ref = *fake;
    slot = std::move(fake);
    return ref;
}
template <class Fake>
Fake& AttachExpressions() {
    return Attach<Fake>(zurod::Engine().attachments.expression);
}
template <class Fake>
Fake& AttachIndex() {
    return Attach<Fake>(zurod::Engine().attachments.index);
}
template <class Fake>
Fake& AttachMemo() {
    return Attach<Fake>(zurod::Engine().attachments.memo);
}
template <class Fake>
Fake& AttachStore() {
    return Attach<Fake>(zurod::Engine().attachments.vfile);
}
inline void DetachAll() { zurod::Engine().attachments = {}; }

// A compiled expression of the stand-ins: its text.
struct FakeProgram final : zurod::ExpressionHandle {
    std::string text;
};

class FunctionExpressions : public zurod::ExpressionAttachment {
public:
    std::function<std::unique_ptr<zurod::ExpressionHandle>(const std::string&)> compile;
    std::function<bool(zurod::ExpressionHandle&)> evaluate;
    std::function<double(zurod::ExpressionHandle&)> evaluate_number;
    int released = 0;

    Status Compile(TWorkArea&, const std::string& text, std::unique_ptr<zurod::ExpressionHandle>& program) override {
        if (compile) program = compile(text);
        if (!program) return zurod::Fail(351, "Syntax error [" + text + "]");
        return {};
    }
    void Release(std::unique_ptr<zurod::ExpressionHandle>& program) override {
        ++released;
        program.reset();
    }
    Status EvaluateLogical(zurod::ExpressionHandle& program, bool& value) override {
        value = !evaluate || evaluate(program);
        return {};
    }
    std::string SourceText(zurod::ExpressionHandle& program) override {
        auto* p = dynamic_cast<FakeProgram*>(&program);
        return p ? p->text : std::string();
    }
    Status EvaluateNumber(zurod::ExpressionHandle& program, double& value) override {
        value = evaluate_number ? evaluate_number(program) : 0.0;
        return {};
    }
};

// A filter is true when the area's raw record contains the filter's text.
class ContainsFilter : public FunctionExpressions {
public:
    int compiled = 0, evaluated = 0;
    std::vector<uint8_t> areas;      // the current area at each evaluation
    std::vector<std::string> shown;  // what field 1 showed meanwhile
    bool wander = false;             // the expression selects another area

    ContainsFilter() {
        compile = [this](const std::string& text) {
            ++compiled;
            auto p = std::make_unique<FakeProgram>();
            p->text = text;
            return std::unique_ptr<zurod::ExpressionHandle>(std::move(p));
        };
        evaluate = [this](zurod::ExpressionHandle& p) {
            ++evaluated;
            areas.push_back(zurod::Engine().current);
            const TWorkArea& a = *zurod::CurrentTable();
            if (a.field_count > 0) {
                std::string name(zurod::SwapString(a, a.fields[0]));
                name.erase(name.find_last_not_of(' ') + 1);
                shown.push_back(name);
            }
            if (wander) zurod::SelectInternal(9);
            return std::string_view(a.record.data(), a.record.size()).find(static_cast<FakeProgram&>(p).text) !=
                std::string_view::npos;
        };
    }
};

// Slot numbers of the index operations.
enum IndexOp : uint8_t {
    kIndexActive = 0,
    kIndexSync = 1,
    kIndexNext = 2,
    kIndexPrior = 3,
    kIndexFirst = 4,
    kIndexLast = 5,
    kIndexAtEnd = 6,
    kIndexAtStart = 7,
    kIndexAddKeys = 8,
    kIndexTakeKey = 9,
    kIndexRememberKeys = 10,
    kIndexUpdateKeys = 11,
    kIndexMarkStart = 12,
    kIndexMarkEnd = 13,
    kIndexReindex = 15,
    kIndexClose = 16,
    kIndexReadLock = 23,
    kIndexWriteLock = 24,
};

class DispatchIndex : public zurod::IndexAttachment {
public:
    // (slot, argument, area) -> result; Booleans are 0 and 1. The record
    // operations take the current record number as argument and return the
    // record to go to.
    std::function<int32_t(uint8_t op, int32_t arg, TWorkArea& area)> dispatch;

    bool Active(TWorkArea& a) override { return Call(kIndexActive, 0, a) != 0; }
    Status Sync(TWorkArea& a) override { return Do(kIndexSync, a); }
    Status Next(TWorkArea& a, int32_t& r) override { return Move(kIndexNext, a, r); }
    Status Prior(TWorkArea& a, int32_t& r) override { return Move(kIndexPrior, a, r); }
    Status First(TWorkArea& a, int32_t& r) override { return Move(kIndexFirst, a, r); }
    Status Last(TWorkArea& a, int32_t& r) override { return Move(kIndexLast, a, r); }
    bool AtEnd(TWorkArea& a) override { return Call(kIndexAtEnd, 0, a) != 0; }
    bool AtStart(TWorkArea& a) override { return Call(kIndexAtStart, 0, a) != 0; }
    Status AddKeys(TWorkArea& a) override { return Do(kIndexAddKeys, a); }
    Status TakeKey(TWorkArea& a) override { return Do(kIndexTakeKey, a); }
    Status RememberKeys(TWorkArea& a) override { return Do(kIndexRememberKeys, a); }
    Status UpdateKeys(TWorkArea& a) override { return Do(kIndexUpdateKeys, a); }
    void MarkStart(TWorkArea& a) override { Call(kIndexMarkStart, 0, a); }
    void MarkEnd(TWorkArea& a) override { Call(kIndexMarkEnd, 0, a); }
    bool Found() override { return false; }
    Status Reindex(TWorkArea& a) override { return Do(kIndexReindex, a); }
    Status Close(TWorkArea& a) override { return Do(kIndexClose, a); }
    Status OpenProduction(TWorkArea&) override { return {}; }
    std::string TagLabel(TWorkArea&, int) override { return {}; }
    zurod::KeyBuilder TagKey(TWorkArea&, int) override { return {}; }
    zurod::KeyBuilder ActiveKey(TWorkArea&) override { return {}; }
    bool Ascending(TWorkArea&, int) override { return true; }
    bool Phonetic(TWorkArea&, int) override { return false; }
    Status ReadLock(TWorkArea& a, bool take) override { return Do(kIndexReadLock, a, take); }
    Status WriteLock(TWorkArea& a, bool take) override { return Do(kIndexWriteLock, a, take); }

private:
    int32_t Call(uint8_t op, int32_t arg, TWorkArea& a) { return dispatch ? dispatch(op, arg, a) : 0; }
    Status Do(uint8_t op, TWorkArea& a, int32_t arg = 0) {
        Call(op, arg, a);
        return {};
    }
    Status Move(uint8_t op, TWorkArea& a, int32_t& record) {
        record = Call(op, 0, a);
        return {};
    }
};

// An index holding record numbers in key order, with a cursor; it records
// every operation but "active" as (slot, argument).
class KeyOrderIndex : public DispatchIndex {
public:
    std::vector<int32_t> order;
    bool active = true;
    size_t pos = 0;
    bool at_end = false, at_start = false;
    int read_locks = 0;
    std::vector<std::pair<int, int>> calls;

    KeyOrderIndex() {
        dispatch = [this](uint8_t op, int32_t arg, TWorkArea& a) { return Dispatch(op, arg, a); };
    }
    // The operations called since the last look.
    std::vector<std::pair<int, int>> Take() { return std::exchange(calls, {}); }

private:
    int32_t Dispatch(uint8_t op, int32_t arg, TWorkArea& a) {
        if (op != kIndexActive) calls.emplace_back(op, arg);
        switch (op) {
        case kIndexActive: return active;
        case kIndexSync: {
            auto it = std::find(order.begin(), order.end(), a.rec_no);
            at_end = it == order.end();
            pos = static_cast<size_t>(it - order.begin());
            at_start = false;
            return 0;
        }
        case kIndexNext:
            at_start = false;
            if (pos + 1 < order.size()) return order[++pos];
            at_end = true;
            return order[std::min(pos, order.size() - 1)];
        case kIndexPrior:
            at_end = false;
            if (pos > 0 && !order.empty()) return order[--pos];
            at_start = true;
            return order.empty() ? 0 : order[0];
        case kIndexFirst:
            at_end = at_start = order.empty();
            pos = 0;
            return order.empty() ? a.rec_count + 1 : order.front();
        case kIndexLast:
            at_end = at_start = order.empty();
            pos = order.empty() ? 0 : order.size() - 1;
            return order.empty() ? a.rec_count + 1 : order.back();
        case kIndexAtEnd: return at_end;
        case kIndexAtStart: return at_start;
        case kIndexMarkStart: at_start = true; return 0;
        case kIndexMarkEnd: at_end = true; return 0;
        case kIndexReadLock: read_locks += arg ? 1 : -1; return 0;
        default: return 0;
        }
    }
};

class FunctionMemo : public zurod::MemoAttachment {
public:
    std::function<int(TWorkArea&)> open, close, pack, recreate;
    std::function<int32_t(TWorkArea& from, int32_t block, TWorkArea& to)> copy;
    std::function<int32_t(TWorkArea& to, const std::string& text)> store;
    std::function<std::vector<std::string>(TWorkArea&, int32_t block)> read_lines;

    Status Open(TWorkArea& a) override { return Code(open, a); }
    Status Close(TWorkArea& a) override { return Code(close, a); }
    Status Pack(TWorkArea& a) override { return Code(pack, a); }
    Status Recreate(TWorkArea& a) override { return Code(recreate, a); }
    Status Copy(TWorkArea& from, int32_t block, TWorkArea& to, int32_t& new_block) override {
        new_block = copy ? copy(from, block, to) : 0;
        return {};
    }
    Status Add(TWorkArea& to, std::string_view text, int32_t& block) override {
        block = store ? store(to, std::string(text)) : 0;
        return {};
    }
    Status ReadLines(TWorkArea& a, int32_t block, std::vector<std::string>& lines) override {
        lines = read_lines ? read_lines(a, block) : std::vector<std::string>{};
        return {};
    }
    Status ReadText(TWorkArea& a, int32_t block, std::string& text) override {
        text.clear();
        for (const std::string& line : read_lines ? read_lines(a, block) : std::vector<std::string>{})
            text += line + "\r\n";
        return {};
    }

private:
    static Status Code(const std::function<int(TWorkArea&)>& f, TWorkArea& a) {
        const int rc = f ? f(a) : 0;
        return rc == 0 ? Status{} : zurod::Fail(static_cast<uint16_t>(rc), "memo stand-in failed");
    }
};

class FunctionStore : public zurod::VirtualFileAttachment {
public:
    std::function<Status(TWorkArea&, zurod::VFileRequest, int32_t record)> dispatch;
    Status Dispatch(TWorkArea& a, zurod::VFileRequest request, int32_t record) override {
        return dispatch ? dispatch(a, request, record) : Status{};
    }
};

}  // namespace testing_support
