#include "engine/dataset/command_dataset.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/copy.hpp"
#include "engine/dbf/dates.hpp"
#include "engine/dbf/edit.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/dbf/locate.hpp"
#include "engine/dbf/navigate.hpp"
#include "framework/ui/forms.hpp"

namespace zurod {

namespace {

std::string PadLeft(const std::string& text, size_t width) {
    if (text.size() >= width) return text;
    std::string padded(width, ' ');
    std::memcpy(padded.data() + (width - text.size()), text.data(), text.size());
    return padded;
}

std::string PadRight(const std::string& text, size_t width) {
    if (text.size() >= width) return text;
    std::string padded(width, ' ');
    std::memcpy(padded.data(), text.data(), text.size());
    return padded;
}

}  // namespace

void TTzCDataSet::ClearLastError() {
    if (LastErrorCode() == 0) return;  // a message without a code is no error
    (void)TakeLastMessage();
    SetLastErrorCode(0);
}

double ThroughReal48(double value) {
    if (value == 0 || !std::isfinite(value)) return value;
    int exponent = 0;
    const double mantissa = std::frexp(value, &exponent);
    const double kept = std::nearbyint(std::ldexp(mantissa, 40));
    return std::ldexp(kept, exponent - 40);
}

void TTzCDataSet::DoAfterScroll() {
    ScrollHook();
    TZoVizuRez::DoAfterScroll();
}

void TTzCDataSet::DoAfterCancel() {
    ScrollHook();
    TZoVizuRez::DoAfterCancel();
}

bool TTzCDataSet::CheckOpen(std::string_view label) {
    if (WorkArea() != 0) return true;
    RunError(1103, "Database is not open [" + Name() + "." + std::string(label) + "]");
    ui::Application().Terminate();
    return false;
}

db::TField* TTzCDataSet::FieldOf(const std::string& name) {
    return name.size() <= 10 ? FieldByName(name) : FieldByName(name.substr(0, 10));
}

void TTzCDataSet::DropEdit() {
    if (!db::EditModes(State())) return;
    FreeFieldBuffers();
    SetState(db::dsBrowse);
    // The window shows the records as stored again: the buffer of a record
    // that was never added leaves it, an edited record is read anew. The
    // error and the values in the typed buffer stay for the caller.
    const KeepErrorScope keep;
    const std::span<char> typed = FieldProps() ? FieldProps()->typed : std::span<char>();
    const std::vector<char> values(typed.begin(), typed.end());
    try {
        Resync(0);
    } catch (const std::exception&) {
        // The write's own failure is the one reported.
    }
    std::copy(values.begin(), values.end(), typed.begin());
}

bool TTzCDataSet::Run(std::string_view label, bool push, bool write, const std::function<void()>& command) {
    ClearLastError();
    if (!SelectArea(label)) return false;
    if (push) {
        PushPosition();
        SelectArea(label);
    }
    try {
        command();
    } catch (...) {
        if (write) DropEdit();
        throw;
    }
    if (LastErrorCode() != 0) {
        if (write) DropEdit();
        return false;
    }
    if (write) AfterWriteHook();
    TzResync();
    return true;
}

// ---------------------------------------------------------------- moving

void TTzCDataSet::GoTop() {
    ClearLastError();
    if (SelectArea("GoTop")) First();
}

void TTzCDataSet::GoBottom() {
    ClearLastError();
    if (SelectArea("GoBottom")) Last();
}

void TTzCDataSet::Skip(int n) {
    if (n == 0) {
        Run("Skip", false, false, [] { SKIP(0); });
        return;
    }
    // The move selects the area itself.
    ClearLastError();
    if (CheckOpen("Skip")) MoveBy(n);
}

void TTzCDataSet::Go(int32_t n) {
    Run("Go", false, false, [n] { GO(n); });
}

int TTzCDataSet::RecCount() {
    ClearLastError();
    return SelectArea("RecCount") ? RecordCount() : 0;
}

int TTzCDataSet::GetFilteredCount() {
    ClearLastError();
    if (!SelectArea("GetFilteredCount")) return 0;
    const int32_t at = zurod::RecNo();
    GoTopScope();
    int count = 0;
    while (!dEOF() && LastErrorCode() == 0) {
        ++count;
        SKIP(1);
    }
    const KeepErrorScope keep;
    GoToChecked(at);
    return count;
}

void TTzCDataSet::SetFilterTo(const std::string& expression) {
    ClearLastError();
    if (!SelectArea("SetFilterTo")) return;
    PushPosition();
    SelectArea("SetFilterTo");
    Set_Filter_To(expression);
    if (LastErrorCode() != 0) {
        // A filter that does not compile leaves none behind.
        db::TDataSet::SetFiltered(false);
        db::TDataSet::SetFilterText("");
        return;
    }
    db::TDataSet::SetFiltered(!expression.empty());
    db::TDataSet::SetFilterText(expression);
    if (FilterTrue())
        TzResync();
    else
        Last();
}

void TTzCDataSet::Search(const std::string& text, uint8_t& field, bool whole_table) {
    ClearLastError();
    if (!SelectArea("Search")) {
        field = 0;
        return;
    }
    PushPosition();
    SelectArea("Search");
    zurod::Search(text, field, whole_table);
    if (LastErrorCode() == 0 && !dEOF() && !dBOF())
        TzResync();
    else
        CursorPosChanged();
}

double TTzCDataSet::Sum(const std::string& expression) {
    ClearLastError();
    if (!SelectArea("Sum")) return 0;
    PushPosition();
    SelectArea("Sum");
    return ThroughReal48(zurod::Sum(expression));
}

// ---------------------------------------------------------------- fields

void TTzCDataSet::ClearRecord() {
    ClearLastError();
    if (!SelectArea("ClearRecord")) return;
    if (State() != db::dsEdit && State() != db::dsInsert) Edit();
    // The blank record replaces the whole typed buffer: the active buffer
    // need not be written into it first.
    SelectArea("ClearRecord");
    zurod::ClearRecord();
    ReadRecord(ActiveBuffer());
    if (!ControlsDisabled()) {
        DataEvent(db::deRecordChange, 0);
        SetModified(true);
    }
}

std::string TTzCDataSet::FieldGetText(const std::string& name) {
    if (!CheckOpen("FieldGetText")) return {};
    db::TField* f = FieldOf(name);
    const size_t width = static_cast<size_t>(std::max(f->Size(), 0));
    switch (f->DataType()) {
    case db::ftInteger:
    case db::ftFloat: return PadLeft(f->AsString(), width);
    case db::ftBoolean: return f->AsBoolean() ? "T" : "F";
    case db::ftDate: {
        std::string text = f->Text();
        if (text.size() != 8 && text.size() != 10) text = BlankDateStr(DateCode());
        return text;
    }
    case db::ftMemo: return f->AsString();
    case db::ftString: {
        // The field's text straight into the padded result.
        char text[512];
        if (f->DataSize() > static_cast<int>(sizeof text)) return PadRight(f->AsString(), width);
        const size_t n = f->GetData(text) ? strnlen(text, static_cast<size_t>(f->Size())) : 0;
        std::string padded(std::max(width, n), ' ');
        std::memcpy(padded.data(), text, n);
        return padded;
    }
    default: return PadRight(f->AsString(), width);
    }
}

std::string TTzCDataSet::FieldGetShort(const std::string& name) {
    std::string text = FieldGetText(name);
    if (text.size() > 10) text.resize(10);
    return text;
}

double TTzCDataSet::FieldGetFloat(const std::string& name) {
    if (!CheckOpen("FieldGetFloat")) return 0;
    return FieldOf(name)->AsFloat();
}

void TTzCDataSet::FieldPut(const std::string& name, const std::string& text) {
    if (!CheckOpen("FieldPut")) return;
    db::TField* f = FieldOf(name);
    if (!db::EditModes(State())) Edit();
    f->SetText(text);
}

void TTzCDataSet::FieldPutFloat(const std::string& name, double value) {
    if (!CheckOpen("FieldPutFloat")) return;
    db::TField* f = FieldOf(name);
    if (!db::EditModes(State())) Edit();
    f->SetAsFloat(value);
}

// ---------------------------------------------------------------- writing

void TTzCDataSet::WriteCommand(std::string_view label, bool push, void (*write)()) {
    Run(label, push, true, [write] { WriteThenSkipHidden(write); });
}

void TTzCDataSet::AppendRec() { WriteCommand("AppendRec", false, zurod::Append); }
void TTzCDataSet::ReplaceRec() { WriteCommand("ReplaceRec", false, zurod::Replace); }
void TTzCDataSet::DeleteRec() { WriteCommand("DeleteRec", true, zurod::DeleteRec); }
void TTzCDataSet::RecallRec() { WriteCommand("RecallRec", true, zurod::RecallRec); }

int TTzCDataSet::Pack() {
    // The record the pack leaves the area on may be one the filter hides.
    return Run("Pack", false, true, [] { WriteThenSkipHidden([] { (void)zurod::Pack(); }); }) ? 1 : 0;
}

int TTzCDataSet::Zap() {
    if (!CheckOpen("Zap")) return 0;
    GoTop();
    bool result = false;
    ClearLastError();
    if (!SelectArea("Zap")) return 0;
    try {
        result = zurod::Zap();
    } catch (...) {
        DropEdit();
        throw;
    }
    if (result) AfterWriteHook();
    TzResync();
    return result ? 1 : 0;
}

void TTzCDataSet::CopyTo(const std::string& target, const std::function<bool()>& condition) {
    ClearLastError();
    if (!SelectArea("CopyTo")) return;
    PushPosition();
    SelectArea("CopyTo");
    const int32_t at = zurod::RecNo();
    CopyCondition asked;
    if (condition) {
        // The condition reads the candidate record through the dataset's
        // fields: the active buffer holds it for the call.
        asked = [this, &condition] {
            NestedDispatch nested(*this);
            char* buffer = ActiveBuffer();
            std::vector<char> saved(buffer, buffer + RecordDataSize());
            ReadRecord(buffer);
            struct Restore {
                char* buffer;
                const std::vector<char>& saved;
                ~Restore() { std::memcpy(buffer, saved.data(), saved.size()); }
            } restore{buffer, saved};
            return condition();
        };
    }
    zurod::CopyTo(target, asked);
    const KeepErrorScope keep;
    SelectArea("CopyTo");
    if (!GoToChecked(at)) Last();
}

void TTzCDataSet::AppendFrom(const std::string& source) {
    ClearLastError();
    if (!SelectArea("AppendFrom")) return;
    PushPosition();
    SelectArea("AppendFrom");
    const int32_t at = zurod::RecNo();
    AppendFromTable({source, false, source});
    const bool failed = LastErrorCode() != 0;
    {
        const KeepErrorScope keep;
        if (GoToChecked(at)) {
            if (!failed) TzResync();
        } else {
            Last();
        }
    }
    if (!failed) AfterWriteHook();
}

}  // namespace zurod
