// TCustomEdit and TCustomMemo: the class library's edit and memo over the
// edit class.
#include <algorithm>

#include "framework/ui/stdctrls.hpp"

namespace ui {

// ---------------------------------------------------------------- TCustomEdit

TCustomEdit::TCustomEdit(TComponent* owner) : TWinControl(owner) {
    // The edit class runs its own mouse selection.
    ControlStyle = csSetCaption | csDoubleClicks;
    width_ = 121, height_ = 21;
    TabStop = true;
    class_paints_ = true;
}

void TCustomEdit::CreateParams(ui::CreateParams& p) {
    TWinControl::CreateParams(p);
    p.style |= ES_AUTOHSCROLL | ES_AUTOVSCROLL;
    if (TabStop) p.style |= WS_TABSTOP;
    if (border_style_ == bsSingle) p.ex_style |= WS_EX_CLIENTEDGE;
    if (read_only_) p.style |= ES_READONLY;
    if (!hide_selection_) p.style |= ES_NOHIDESEL;
    if (char_case_ == ecUpperCase) p.style |= ES_UPPERCASE;
    if (char_case_ == ecLowerCase) p.style |= ES_LOWERCASE;
}

void TCustomEdit::CreateHandleDone() {
    SendFont(false);
    SendMessage(handle_, EM_LIMITTEXT, WPARAM(max_length_), 0);
    SendMessage(handle_, EM_SETPASSWORDCHAR, WPARAM(uint8_t(password_)), 0);
    SendMessage(handle_, EM_SETMODIFY, modified_, 0);
}

LRESULT TCustomEdit::Edit(UINT msg, WPARAM w, LPARAM l) const {
    return HandleAllocated() ? SendMessage(handle_, msg, w, l) : 0;
}

std::string TCustomEdit::GetText() const { return HandleAllocated() ? GetWindowText(handle_) : text_; }

void TCustomEdit::SetText(const std::string& v) {
    if (!HandleAllocated()) {
        if (v == text_) return;
        text_ = v;
        Perform(CM_TEXTCHANGED);
        Change();
        return;
    }
    if (v == GetWindowText(handle_)) return;
    text_ = v;
    ui::SetWindowText(handle_, v);  // the edit reports the change
}

void TCustomEdit::SetMaxLength(int v) {
    max_length_ = std::max(0, v);
    Edit(EM_LIMITTEXT, WPARAM(max_length_));
}

void TCustomEdit::SetReadOnly(bool v) {
    read_only_ = v;
    Edit(EM_SETREADONLY, v);
}

bool TCustomEdit::Modified() const { return HandleAllocated() ? Edit(EM_GETMODIFY) != 0 : modified_; }

void TCustomEdit::SetModified(bool v) {
    modified_ = v;
    Edit(EM_SETMODIFY, v);
}

int TCustomEdit::SelStart() const {
    int from = 0, to = 0;
    Edit(EM_GETSEL, WPARAM(&from), LPARAM(&to));
    return from;
}

int TCustomEdit::SelLength() const {
    int from = 0, to = 0;
    Edit(EM_GETSEL, WPARAM(&from), LPARAM(&to));
    return to - from;
}

void TCustomEdit::SetSelStart(int v) {
    Handle();
    Edit(EM_SETSEL, WPARAM(v), v);
}

void TCustomEdit::SetSelLength(int v) {
    Handle();
    const int start = SelStart();
    Edit(EM_SETSEL, WPARAM(start), start + std::max(0, v));
}

std::string TCustomEdit::SelText() const {
    const std::string t = GetText();
    const int from = std::clamp(SelStart(), 0, int(t.size()));
    return t.substr(size_t(from), size_t(std::clamp(SelLength(), 0, int(t.size()) - from)));
}

void TCustomEdit::SetSelText(const std::string& v) {
    Handle();
    Edit(EM_REPLACESEL, 0, LPARAM(v.c_str()));
}

void TCustomEdit::SetPasswordChar(char v) {
    password_ = v;
    Edit(EM_SETPASSWORDCHAR, WPARAM(uint8_t(v)));
}

void TCustomEdit::SetCharCase(TEditCharCase v) {
    if (v == char_case_) return;
    char_case_ = v;
    RecreateWnd();
}

void TCustomEdit::SetBorderStyle(TBorderStyle v) {
    if (v == border_style_) return;
    border_style_ = v;
    UpdateStyles();
}

void TCustomEdit::SetHideSelection(bool v) {
    if (v == hide_selection_) return;
    hide_selection_ = v;
    UpdateStyles();
}

void TCustomEdit::SelectAll() { Edit(EM_SETSEL, 0, -1); }
void TCustomEdit::ClearSelection() { Edit(WM_CLEAR); }
void TCustomEdit::CopyToClipboard() { Edit(WM_COPY); }
void TCustomEdit::CutToClipboard() { Edit(WM_CUT); }
void TCustomEdit::PasteFromClipboard() { Edit(WM_PASTE); }
void TCustomEdit::Undo() { Edit(WM_UNDO); }
bool TCustomEdit::CanUndo() const { return Edit(EM_CANUNDO) != 0; }
void TCustomEdit::ClearUndo() { Edit(EM_EMPTYUNDOBUFFER); }

void TCustomEdit::Change() {
    if (OnChange) OnChange(this);
}

void TCustomEdit::WndProc(TMessage& m) {
    switch (m.Msg) {
    case CN_COMMAND:
        if ((m.WParam >> 16) == EN_CHANGE) {
            if (HandleAllocated()) text_ = GetWindowText(handle_);
            Change();
        }
        return;
    case CN_BASE + static_cast<UINT>(WM_CTLCOLOREDIT):
    case CN_BASE + static_cast<UINT>(WM_CTLCOLORSTATIC): m.Result = ControlColors(m.WParam); return;
    case CM_FONTCHANGED: SendFont(false); break;
    case WM_SETFOCUS:
        TWinControl::WndProc(m);
        // Come by key, the focus selects the text; a press places the caret instead.
        if (AutoSelect && !(GetKeyState(VK_LBUTTON) < 0) && HandleAllocated()) SelectAll();
        return;
    default: break;
    }
    TWinControl::WndProc(m);
}

void TCustomEdit::DefaultHandler(TMessage& m) {
    if (handle_) m.Result = CallClassProc("EDIT", handle_, m.Msg, m.WParam, m.LParam);
}

// ---------------------------------------------------------------- TCustomMemo

TCustomMemo::TCustomMemo(TComponent* owner) : TCustomEdit(owner) {
    width_ = 185, height_ = 89;
    AutoSelect = false;
}

void TCustomMemo::CreateParams(ui::CreateParams& p) {
    TCustomEdit::CreateParams(p);
    p.style &= ~uint32_t(ES_AUTOHSCROLL);
    p.style |= ES_MULTILINE;
    if (!word_wrap_) p.style |= ES_AUTOHSCROLL;
    if (WantReturns) p.style |= ES_WANTRETURN;
    if (scroll_bars_ == ssVertical || scroll_bars_ == ssBoth) p.style |= WS_VSCROLL;
    if (scroll_bars_ == ssHorizontal || scroll_bars_ == ssBoth) p.style |= WS_HSCROLL;
    if (alignment_ == taRightJustify) p.style |= ES_RIGHT;
    if (alignment_ == taCenter) p.style |= ES_CENTER;
}

void TCustomMemo::SetWordWrap(bool v) {
    if (v == word_wrap_) return;
    word_wrap_ = v;
    RecreateWnd();
}

void TCustomMemo::SetScrollBars(TScrollStyle v) {
    if (v == scroll_bars_) return;
    scroll_bars_ = v;
    RecreateWnd();
}

void TCustomMemo::SetAlignment(TAlignment v) {
    if (v == alignment_) return;
    alignment_ = v;
    RecreateWnd();
}

std::vector<std::string> TCustomMemo::Lines() const {
    std::vector<std::string> out;
    const std::string t = GetText();
    size_t start = 0;
    while (start <= t.size()) {
        const size_t brk = t.find("\r\n", start);
        if (brk == std::string::npos) {
            if (start < t.size()) out.push_back(t.substr(start));
            break;
        }
        out.push_back(t.substr(start, brk - start));
        start = brk + 2;
    }
    return out;
}

void TCustomMemo::SetLines(const std::vector<std::string>& lines) {
    std::string t;
    for (size_t i = 0; i < lines.size(); ++i) t += (i ? "\r\n" : "") + lines[i];
    SetText(t);
}

void TCustomMemo::WndProc(TMessage& m) {
    if (m.Msg == WM_GETDLGCODE) {
        TCustomEdit::WndProc(m);
        if (!WantReturns) m.Result &= ~LRESULT(DLGC_WANTALLKEYS);
        if (WantTabs) m.Result |= DLGC_WANTTAB;
        return;
    }
    if (m.Msg == WM_CHAR && ((m.WParam == '\t' && !WantTabs) || (m.WParam == '\r' && !WantReturns))) return;
    TCustomEdit::WndProc(m);
}

}  // namespace ui
