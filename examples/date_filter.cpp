#include "examples/date_filter.hpp"

#include <optional>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/index/index.hpp"
#include "framework/ui/stdctrls.hpp"
#include "platform/codepage.hpp"
#include "platform/error.hpp"

namespace demo {

namespace {

// The tag of the history's index whose key starts with the date as DTOS
// gives it; empty when it has none.
std::string DateTag(zurod::TTzDbf* history) {
    std::vector<std::string> lines;
    lines.reserve(size_t(history->IndexList().Count()));
    for (int i = 0; i < history->IndexList().Count(); ++i) lines.push_back(history->IndexList().Get(i));
    for (const zurod::TagDescriptor& tag : zurod::ParseIndexList(lines))
        if (tag.condition.empty() && !tag.descending && platform::AnsiUpper(tag.key).starts_with("DTOS(DATE)"))
            return tag.name;
    return {};
}

// The floor under the date tag: every order walks only the records from the
// date on, instead of reading the earlier ones to learn the filter hides them.
void SetDateFloor(zurod::TTzDbf* history, const std::string& from) {
    const std::string tag = DateTag(history);
    if (tag.empty() || history->WorkArea() == 0) return;
    const uint8_t previous = zurod::CurrentArea();
    zurod::Select(history->WorkArea());
    platform::ThenAlways(
        [&] {
            bool floored = false;
            try {
                floored = from.empty() ? (zurod::ClearKeyFloor(), zurod::LastErrorCode() == 0)
                                       : zurod::SetKeyFloor(tag, from);
            } catch (const zurod::EZurodError&) {  // NOLINT(bugprone-empty-catch): not floored
            }
            // Without the floor the filter alone shows the same records, so a floor that failed is not reported.
            if (!floored) zurod::SetLastErrorCode(0);
        },
        [previous] { zurod::Select(previous); });
}

// The history from `from` (as DTOS gives it) on; empty for all of it.
std::string FilterFrom(const std::string& from) { return from.empty() ? "" : "DTOS(DATE) >= \"" + from + "\""; }

}  // namespace

std::optional<std::string> HistoryFromDate(const controls::TDateEdit* edit) {
    if (edit->IsBlank()) return std::string();
    // Half typed: the filter stays as it was.
    if (edit->EditText().find(edit->BlanksChar()) != std::string::npos) return std::nullopt;
    const controls::TDateTime date = edit->EditDate();
    if (date == controls::NullDate) return std::nullopt;
    return db::FormatDate("yyyyMMdd", date);
}

std::optional<std::string> HistoryDateFilter(const controls::TDateEdit* edit) {
    const std::optional<std::string> from = HistoryFromDate(edit);
    if (!from) return std::nullopt;
    return FilterFrom(*from);
}

void ShowHistoryFrom(zurod::TTzDbf* history, const std::string& from) {
    // The floor first, so that the filter's own move to a record it shows walks with it.
    SetDateFloor(history, from);
    history->SetFilterTo(FilterFrom(from));
    history->GoTop();
}

controls::TDateEdit* AddHistoryDateFilter(TMainWindow* window, ui::TWinControl* row) {
    auto* bar = new ui::TPanel(window);
    bar->SetParent(row);
    bar->SetWidth(kDateFilterWidth);
    bar->SetAlign(ui::alLeft);
    bar->SetBevelOuter(ui::bvNone);
    auto* label = new ui::TLabel(window);
    label->SetParent(bar);
    label->SetLeft(8), label->SetTop(9);
    label->SetCaption("Fro&m:");  // Alt+F is the File menu
    auto* edit = new controls::TDateEdit(window);
    edit->SetName("FromDate");
    edit->SetParent(bar);
    edit->SetBounds(48, 6, 110, 21);
    edit->SetYearDigits(controls::dyFour);
    label->FocusControl = edit;
    edit->OnChange = [window, edit](ui::TObject*) {
        if (const std::optional<std::string> from = HistoryFromDate(edit)) ShowHistoryFrom(window->History(), *from);
    };
    return edit;
}

}  // namespace demo
