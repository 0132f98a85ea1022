#pragma once
// The edit control's standard class ("EDIT"): one line or several, a caret,
// selection by mouse and Shift+keys, the clipboard, undo of the last change,
// read-only, a length limit, margins and the formatting rectangle. Changes
// are reported to the parent as WM_COMMAND with EN_ codes and the edit's
// handle in lParam. Text is in the ANSI page; lines end with CR LF.
#include <string>

#include "framework/ui/window.hpp"

namespace ui {

// clang-format off
enum EditStyle : uint32_t {
    ES_LEFT = 0x0, ES_CENTER = 0x1, ES_RIGHT = 0x2, ES_MULTILINE = 0x4, ES_UPPERCASE = 0x8,
    ES_LOWERCASE = 0x10, ES_PASSWORD = 0x20, ES_AUTOVSCROLL = 0x40, ES_AUTOHSCROLL = 0x80,
    ES_NOHIDESEL = 0x100, ES_READONLY = 0x800, ES_WANTRETURN = 0x1000, ES_NUMBER = 0x2000,
};
enum EditMessage : UINT {
    EM_GETSEL = 0xB0, EM_SETSEL = 0xB1, EM_GETRECT = 0xB2, EM_SETRECT = 0xB3, EM_SETRECTNP = 0xB4,
    EM_SCROLLCARET = 0xB7, EM_GETMODIFY = 0xB8, EM_SETMODIFY = 0xB9, EM_GETLINECOUNT = 0xBA,
    EM_LINEINDEX = 0xBB, EM_LINELENGTH = 0xC1, EM_REPLACESEL = 0xC2, EM_LIMITTEXT = 0xC5,
    EM_CANUNDO = 0xC6, EM_UNDO = 0xC7, EM_LINEFROMCHAR = 0xC9, EM_SETPASSWORDCHAR = 0xCC,
    EM_EMPTYUNDOBUFFER = 0xCD, EM_GETFIRSTVISIBLELINE = 0xCE, EM_SETREADONLY = 0xCF,
    EM_GETPASSWORDCHAR = 0xD2, EM_SETMARGINS = 0xD3, EM_GETMARGINS = 0xD4, EM_GETLIMITTEXT = 0xD5,
    EM_POSFROMCHAR = 0xD6, EM_CHARFROMPOS = 0xD7,
};
enum EditNotification : WPARAM {
    EN_SETFOCUS = 0x100, EN_KILLFOCUS = 0x200, EN_CHANGE = 0x300, EN_UPDATE = 0x400, EN_MAXTEXT = 0x501,
};
enum : WPARAM { EC_LEFTMARGIN = 1, EC_RIGHTMARGIN = 2 };
// Fonts and colours of standard controls. WM_SETFONT takes a `const FontPtr*`
// in wParam. The WM_CTLCOLOR messages go to the parent with the DC in wParam:
// the parent sets text and background colours in the DC and answers
// ColorBrush(background), or 0 for the default.
enum : UINT {
    WM_SETFONT = 0x0030, WM_CTLCOLOREDIT = 0x0133, WM_CTLCOLORBTN = 0x0135, WM_CTLCOLORSTATIC = 0x0138,
};
// clang-format on
constexpr LRESULT kColorBrush = LRESULT(1) << 40;
constexpr LRESULT ColorBrush(COLORREF c) { return kColorBrush | LRESULT(c & 0xFFFFFF); }

// The text an edit's EM_GETSEL selection holds, in order.
inline std::pair<int, int> EditSelection(HWND edit) {
    const LRESULT r = SendMessage(edit, EM_GETSEL);
    return {int(r & 0xFFFF), int((r >> 16) & 0xFFFF)};
}

// The desktop's clipboard: the display's when there is one that has a
// clipboard, else one kept in the program (a reset empties it).
bool SetClipboardText(const std::string& ansi);
std::string GetClipboardText();

}  // namespace ui
