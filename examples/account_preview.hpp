#pragma once
// The report preview of an account: its transactions from the history, with
// dates, details, amounts (what the account pays in red) and running
// balances, in a read-only rich edit with formats, in a window of its own.
#include <string>

#include "controls/cvriched.hpp"
#include "engine/dataset/file_dataset.hpp"
#include "framework/ui/forms.hpp"
#include "framework/ui/stdctrls.hpp"

namespace demo {

// Writes the account's report into `rich`; the history stays where it stood.
// Returns the number of transactions shown.
int WriteAccountReport(controls::TCvCustomRichEdit* rich, zurod::TTzDbf* history, const std::string& account);

// A window showing the report, owned by `owner`; it frees itself when closed.
ui::TForm* ShowAccountPreview(ui::TCustomForm* owner, zurod::TTzDbf* history, const std::string& account);

// Puts the button that shows the current account's preview at the left of
// `row`, a bar of the main window.
void AddAccountPreview(ui::TForm* window, zurod::TTzDbf* history, ui::TWinControl* row);
constexpr const char* kPreviewAccount = "Current Account";

}  // namespace demo
