#pragma once
// Message dialogs: a modal form with an icon, the message and a row of
// buttons, driven by the keyboard (Enter for the default button, Escape for
// the cancel button, Tab, and the buttons' accelerators).
#include <memory>
#include <string>

#include "framework/ui/forms.hpp"
#include "platform/msgbox.hpp"

namespace ui {

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgBtn { mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll, mbYesToAll, mbHelp };
using TMsgDlgButtons = unsigned;  // a set: bit 1 << TMsgDlgBtn
constexpr TMsgDlgButtons MsgDlgButton(TMsgDlgBtn b) { return 1u << b; }
constexpr TMsgDlgButtons mbYesNo = MsgDlgButton(mbYes) | MsgDlgButton(mbNo);
constexpr TMsgDlgButtons mbYesNoCancel = mbYesNo | MsgDlgButton(mbCancel);
constexpr TMsgDlgButtons mbOKCancel = MsgDlgButton(mbOK) | MsgDlgButton(mbCancel);
constexpr TMsgDlgButtons mbAbortRetryIgnore = MsgDlgButton(mbAbort) | MsgDlgButton(mbRetry) | MsgDlgButton(mbIgnore);

// The dialog, not yet shown (the caller owns it). Its buttons are named by
// their kind ("Yes", "OK", ...); OK, or else Yes, is the default button, and
// Cancel, else No, else OK, the cancel button.
Owned<TForm> CreateMessageDialog(const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons);

// Shows the dialog and returns the button's modal result. Where the
// program's message boxes are windows (WindowedMessageBoxes installed) the
// dialog is shown; otherwise the message box service in use answers (a
// test's script, or the headless default) and its answer is returned.
int MessageDlg(const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons, int help_context = 0);
void ShowMessage(const std::string& msg);

// The program's message boxes as windowed message dialogs, for a program
// that has a display; install it with platform::InstallMessageBox.
class WindowedMessageBoxes final : public platform::MessageBoxService {
public:
    int Show(std::string_view text, std::string_view caption, unsigned flags) override;
};

}  // namespace ui
