#pragma once
// The history from a date on: a date edit in a bar above the main window's
// grid. A complete date (typed, or chosen in the calendar) filters the
// history to the transactions of that day and later; an empty one shows all.
#include <optional>
#include <string>

#include "controls/dateedit.hpp"
#include "examples/main_window.hpp"

namespace demo {

// The edit is named "FromDate" and owned by the window; it goes with its
// label at the left of `row`, in a panel kDateFilterWidth wide.
constexpr int kDateFilterWidth = 172;
controls::TDateEdit* AddHistoryDateFilter(TMainWindow* window, ui::TWinControl* row);
// The date the edit's text gives, as DTOS gives it: empty for a blank text,
// nullopt while the text is no complete date.
std::optional<std::string> HistoryFromDate(const controls::TDateEdit* edit);
// The filter expression for the edit's text, empty and nullopt as above.
std::optional<std::string> HistoryDateFilter(const controls::TDateEdit* edit);
// Shows the history from `from` (as DTOS gives it; empty: all of it) and
// goes to its first record. Besides the filter, a floor under the history's
// date tag (zurod::SetKeyFloor) lets each order walk only the records
// shown, so a key costs the same whatever the date and the order.
void ShowHistoryFrom(zurod::TTzDbf* history, const std::string& from);

}  // namespace demo
