#pragma once
// What the edit class keeps for each edit window (in Win::class_data), and
// the operations its message handling is made of. The text itself is the
// window's text.
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/ui/detail/desktop.hpp"

namespace ui::detail {

struct EditLine {
    int start = 0, length = 0;  // the line's characters, without its break
};

struct EditState {
    FontPtr font;
    std::array<int, 256> widths;  // -1: not measured yet
    int anchor = 0, caret = 0;    // the selection runs between them; the caret is where it grows
    size_t limit = 0x7FFFFFFE;
    bool modified = false;
    char password = 0;
    int margin_left = 1, margin_right = 1;
    std::optional<TRect> format;  // set with EM_SETRECT
    int scroll_x = 0;             // pixels the one line is scrolled left
    int first_line = 0;
    std::vector<EditLine> lines;
    bool laid_out = false;
    // Undo of the last change: the text and selection before it. Typing
    // characters one after another is one change.
    std::string undo_text;
    int undo_anchor = 0, undo_caret = 0;
    bool can_undo = false, typing = false;
    bool selecting = false;  // the mouse is selecting
};

EditState* Edit(HWND h);
std::string& EditText(HWND h);
bool Multiline(HWND h);

// Layout and places (client coordinates).
void LayOut(HWND h, EditState& e);
TRect FormatRect(HWND h, const EditState& e);
int LineHeight(const EditState& e);
int LineOf(const EditState& e, int pos);
int CharWidth(EditState& e, char c);
int TextWidth(EditState& e, std::string_view text);
// The left of the line's text: the formatting rectangle's left, moved by the
// alignment and the horizontal scroll.
int LineLeft(HWND h, EditState& e, int line);
TPoint PosFromChar(HWND h, EditState& e, int pos);
int CharFromPos(HWND h, EditState& e, TPoint p);
int VisibleLines(HWND h, const EditState& e);

// Changes. `user` applies what typing is held to: read-only, the limit, the
// number style. Returns false when nothing could be put in.
bool ReplaceSelection(HWND h, EditState& e, std::string text, bool user, bool typing = false);
void SetSelection(HWND h, EditState& e, int anchor, int caret);
void Undo(HWND h, EditState& e);
void ScrollToCaret(HWND h, EditState& e);
void PlaceCaret(HWND h, EditState& e);
void Notify(HWND h, WPARAM code);
void UpdateScrollBar(HWND h, EditState& e);

inline int SelStart(const EditState& e) { return std::min(e.anchor, e.caret); }
inline int SelEnd(const EditState& e) { return std::max(e.anchor, e.caret); }

}  // namespace ui::detail
