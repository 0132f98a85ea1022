#include "examples/date_filter.hpp"

#include <optional>

#include "framework/ui/stdctrls.hpp"

namespace demo {

std::optional<std::string> HistoryDateFilter(const controls::TDateEdit* edit) {
    if (edit->IsBlank()) return std::string();
    // Half typed: the filter stays as it was.
    if (edit->EditText().find(edit->BlanksChar()) != std::string::npos) return std::nullopt;
    const controls::TDateTime date = edit->EditDate();
    if (date == controls::NullDate) return std::nullopt;
    return "DTOS(DATE) >= \"" + db::FormatDate("yyyyMMdd", date) + "\"";
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
        const std::optional<std::string> filter = HistoryDateFilter(edit);
        if (!filter) return;
        window->History()->SetFilterTo(*filter);
        window->History()->GoTop();
    };
    return edit;
}

}  // namespace demo
