// AssignMemo: a memo field of the current record as a text file.
#include "engine/dbf/detail/area_table.hpp"
#include "engine/dbf/detail/swap_buffer.hpp"
#include "engine/memo/detail/operations.hpp"
#include "engine/memo/memo.hpp"

namespace zurod {

namespace {

constexpr int kReadFault = 100;
constexpr int kWriteFault = 101;
constexpr int kNotAssigned = 102;
constexpr int kNotOpen = 103;
constexpr int kNotForInput = 104;
constexpr int kNotForOutput = 105;
constexpr size_t kWrittenLine = 254;
constexpr size_t kDeliveredLine = 253;

// The bound memo field, or nullptr after reporting why there is none.
const FieldInfo* BoundField(uint8_t area_number, int field, TWorkArea*& area) {
    area = AreaAt(area_number);
    if (!area) {
        RunError(215, "No database in use [AssignMemo]");
        return nullptr;
    }
    if (field < 1 || field > area->field_count || area->fields[field - 1].type != 'M') {
        RunError(220, "Field " + std::to_string(field) + " is no memo field [AssignMemo]");
        return nullptr;
    }
    return &area->fields[field - 1];
}

}  // namespace

void MemoTextFile::AssignMemo(int field) {
    area_ = CurrentArea();
    field_ = field;
    mode_ = Mode::Closed;
    lines_.clear();
}

int MemoTextFile::Reset() {
    if (field_ == 0) return kNotAssigned;
    StartCommand("AssignMemo");
    TWorkArea* a = nullptr;
    const FieldInfo* f = BoundField(area_, field_, a);
    if (!f) return kNotAssigned;
    mode_ = Mode::Closed;
    if (Status s = ReadMemoLines(*a, SwapMemo(*a, *f), LineLimit(0), lines_, "GetMemo"); s.failed()) {
        Report(s);
        return kReadFault;
    }
    next_ = 0;
    mode_ = Mode::Reading;
    return 0;
}

int MemoTextFile::Rewrite() {
    if (field_ == 0) return kNotAssigned;
    StartCommand("AssignMemo");
    TWorkArea* a = nullptr;
    if (!BoundField(area_, field_, a)) return kNotAssigned;
    lines_.clear();
    line_.clear();
    last_ = 0;
    mode_ = Mode::Writing;
    return 0;
}

int MemoTextFile::Read(std::string& piece) {
    piece.clear();
    if (mode_ != Mode::Reading) return kNotForInput;
    if (next_ >= lines_.size()) return 0;
    const MemoLine& line = lines_[next_++];
    if (line.end == LineEnd::Hard) {
        piece.assign(line.text, 0, kDeliveredLine);
        piece += "\r\n";
    } else {
        piece = line.text;
    }
    return 0;
}

int MemoTextFile::ReadLn(std::string& line) {
    line.clear();
    if (mode_ != Mode::Reading) return kNotForInput;
    while (next_ < lines_.size()) {
        const MemoLine& part = lines_[next_++];
        if (part.end == LineEnd::Hard) {
            line.append(part.text, 0, kDeliveredLine);
            break;
        }
        line += part.text;
    }
    return 0;
}

bool MemoTextFile::Eof() const { return mode_ != Mode::Reading || next_ >= lines_.size(); }

int MemoTextFile::Write(std::string_view text) {
    if (mode_ != Mode::Writing) return kNotForOutput;
    const size_t limit = LineLimit(0);
    const auto close_line = [&](LineEnd end) {
        if (lines_.size() >= limit) return false;
        lines_.push_back({line_, end});
        line_.clear();
        return true;
    };
    // A write that fails leaves nothing of itself behind.
    const size_t lines_before = lines_.size();
    const std::string line_before = line_;
    const char last_before = last_;
    const auto fail = [&] {
        lines_.resize(lines_before);
        line_ = line_before;
        last_ = last_before;
        return kWriteFault;
    };
    for (const char c : text) {
        const char before = last_;
        last_ = c;
        if (c == '\n' && before == '\r') continue;
        if (c == '\r' || c == '\n') {
            if (!close_line(before == '\x8D' ? LineEnd::Soft : LineEnd::Hard)) return fail();
        } else if (c != '\x8D') {
            if (line_.size() == kWrittenLine && !close_line(LineEnd::None)) return fail();
            line_ += c;
        }
    }
    return 0;
}

int MemoTextFile::WriteLn(std::string_view text) {
    if (int rc = Write(text); rc != 0) return rc;
    return Write("\r\n");
}

int MemoTextFile::Close() {
    const Mode mode = mode_;
    mode_ = Mode::Closed;
    if (mode == Mode::Closed) return kNotOpen;
    if (mode == Mode::Reading) {
        lines_.clear();
        return 0;
    }
    if (!line_.empty()) lines_.push_back({std::move(line_), LineEnd::None});
    line_.clear();
    StartCommand("AssignMemo");
    TWorkArea* a = nullptr;
    const FieldInfo* f = BoundField(area_, field_, a);
    if (!f) return kWriteFault;
    MemoUnit& unit = AttachedMemoUnit();
    unit.lines = std::move(lines_);
    lines_.clear();
    int32_t block = 0;
    if (Status s = EditMemoIn(*a, StoredText(*a, unit.lines), SwapMemo(*a, *f), block); s.failed()) {
        Report(s);
        return kWriteFault;
    }
    SetSwapMemo(*a, *f, block);
    return 0;
}

}  // namespace zurod
