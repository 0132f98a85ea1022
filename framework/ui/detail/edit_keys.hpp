#pragma once
// What the edit and rich-edit classes share: words, steps over a line break,
// the clipboard keys, the vertical scroll and the messages both answer alike.
#include <functional>
#include <optional>
#include <string>

#include "framework/ui/window.hpp"

namespace ui::detail {

inline bool KeyHeld(int vk) { return GetKeyState(vk) < 0; }
inline bool IsWordChar(char c) { return c != ' ' && c != '\t' && c != '\r' && c != '\n'; }

// The start of the word before pos, and the start of the one after it.
int WordLeft(const std::string& t, int pos);
int WordRight(const std::string& t, int pos);

// One character before or after pos; a CR LF pair is one step.
inline int StepBack(const std::string& t, int pos) { return pos - ((pos >= 2 && t[size_t(pos - 1)] == '\n') ? 2 : 1); }
inline int StepForward(const std::string& t, int pos) {
    return pos + ((t.compare(size_t(pos), 2, "\r\n") == 0) ? 2 : 1);
}

// Where a movement key (arrows, Home, End, Page Up and Down) takes the caret
// of `text`; nullopt for another key. The caret's line runs from
// `line_start` to `line_end`; `vertical` finds the place that many lines up
// (negative) or down, `page` how many lines a page is.
struct CaretMove {
    const std::string& text;
    int caret, sel_from, sel_to, line_start, line_end;
    const std::function<int(int lines)>& vertical;
    const std::function<int()>& page;
};
std::optional<int> MovedCaret(const CaretMove& m, UINT vk);

// Shift+Delete, Ctrl+Insert, Shift+Insert and Ctrl+C/X/V/Z sent on as the
// clipboard and undo messages; false when vk is none of them.
bool ClipboardKey(HWND h, UINT vk);
// Ctrl+A alone (no Shift or Alt).
bool SelectAllKey(UINT vk);

// The first visible line a vertical scroll code asks for, within [0, last];
// nullopt for a code that does not scroll.
std::optional<int> ScrolledFirstLine(HWND h, int code, int first, int page, int last);
// The thumb's tracking place on a bar.
int ScrollTrackPos(HWND h, int bar);

// The messages both classes answer alike: background, enabling, dialog
// codes, the end of a mouse selection, the cursor and read-only; nullopt for
// the others.
std::optional<LRESULT> CommonEditMessage(HWND h, UINT msg, WPARAM wp, LPARAM lp, bool& selecting);

}  // namespace ui::detail
