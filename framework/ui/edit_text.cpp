// The edit class's text: lines and wrapping, where characters are, changes
// with their limit and undo, the selection and the caret.
#include <algorithm>

#include "framework/ui/detail/edit_state.hpp"
#include "framework/ui/edit_box.hpp"
#include "framework/ui/scroll_bars.hpp"

namespace ui::detail {

EditState* Edit(HWND h) {
    Win* w = Find(h);
    return w ? static_cast<EditState*>(w->class_data.get()) : nullptr;
}

std::string& EditText(HWND h) { return Find(h)->text; }

bool Multiline(HWND h) { return GetWindowStyle(h) & ES_MULTILINE; }

int LineHeight(const EditState& e) { return FontMetrics(e.font).height; }

int CharWidth(EditState& e, char c) {
    int& w = e.widths[uint8_t(c)];
    if (w < 0) {
        DC dc;
        dc.S().font = e.font;
        w = GetTextExtent(dc, std::string_view(&c, 1)).cx;
    }
    return w;
}

// Wider than an int counts only with a line of some 300 million characters,
// or fewer in a large font: held at the largest int.
int TextWidth(EditState& e, std::string_view text) {
    int64_t w = 0;
    for (char c : text) w += CharWidth(e, e.password ? e.password : c);
    return SatInt(w);
}

TRect FormatRect(HWND h, const EditState& e) {
    if (e.format) return *e.format;
    const TRect c = GetClientRect(h);
    return {e.margin_left, Multiline(h) ? 0 : 1, std::max(e.margin_left, c.right - e.margin_right), c.bottom};
}

void LayOut(HWND h, EditState& e) {
    e.lines.clear();
    const std::string& t = EditText(h);
    const bool wrap = Multiline(h) && !(GetWindowStyle(h) & ES_AUTOHSCROLL);
    const int width = FormatRect(h, e).Width();
    int start = 0;
    for (;;) {
        size_t brk = Multiline(h) ? t.find("\r\n", size_t(start)) : std::string::npos;
        const int end = brk == std::string::npos ? int(t.size()) : int(brk);
        if (!wrap) {
            e.lines.push_back({start, end - start});
        } else {
            // Break where the next word would pass the right edge.
            int from = start;
            while (true) {
                int x = 0, i = from, last_space = -1;
                while (i < end && x + CharWidth(e, t[size_t(i)]) <= width) {
                    x += CharWidth(e, t[size_t(i)]);
                    if (t[size_t(i)] == ' ') last_space = i;
                    ++i;
                }
                if (i >= end) {
                    e.lines.push_back({from, end - from});
                    break;
                }
                int cut = last_space >= from ? last_space + 1 : std::max(i, from + 1);
                e.lines.push_back({from, cut - from});
                from = cut;
            }
        }
        if (brk == std::string::npos) break;
        start = end + 2;
    }
    e.laid_out = true;
}

int LineOf(const EditState& e, int pos) {
    auto it =
        std::upper_bound(e.lines.begin(), e.lines.end(), pos, [](int p, const EditLine& l) { return p < l.start; });
    return std::max(0, int(it - e.lines.begin()) - 1);
}

int VisibleLines(HWND h, const EditState& e) {
    return std::max(1, FormatRect(h, e).Height() / std::max(1, LineHeight(e)));
}

int LineLeft(HWND h, EditState& e, int line) {
    const TRect f = FormatRect(h, e);
    const EditLine& l = e.lines[size_t(line)];
    const int w = TextWidth(e, std::string_view(EditText(h)).substr(size_t(l.start), size_t(l.length)));
    const uint32_t style = GetWindowStyle(h);
    int64_t x = f.left;
    if (style & ES_RIGHT)
        x = int64_t(f.right) - w - 1;
    else if (style & ES_CENTER)
        x = f.left + (int64_t(f.Width()) - w) / 2;
    return SatInt(std::max<int64_t>(x, f.left) - e.scroll_x);
}

TPoint PosFromChar(HWND h, EditState& e, int pos) {
    if (!e.laid_out) LayOut(h, e);
    const int line = LineOf(e, pos);
    const EditLine& l = e.lines[size_t(line)];
    const int in_line = std::clamp(pos - l.start, 0, l.length);
    const int64_t x = int64_t(LineLeft(h, e, line)) +
        TextWidth(e, std::string_view(EditText(h)).substr(size_t(l.start), size_t(in_line)));
    return {SatInt(x), SatInt(FormatRect(h, e).top + int64_t(line - e.first_line) * LineHeight(e))};
}

int CharFromPos(HWND h, EditState& e, TPoint p) {
    if (!e.laid_out) LayOut(h, e);
    const TRect f = FormatRect(h, e);
    const int line = std::clamp(e.first_line + (p.y - f.top) / std::max(1, LineHeight(e)) - (p.y < f.top ? 1 : 0), 0,
                                int(e.lines.size()) - 1);
    const EditLine& l = e.lines[size_t(line)];
    const std::string& t = EditText(h);
    int64_t x = LineLeft(h, e, line);
    for (int i = 0; i < l.length; ++i) {
        const int w = CharWidth(e, e.password ? e.password : t[size_t(l.start + i)]);
        if (p.x < x + w / 2) return l.start + i;
        x += w;
    }
    return l.start + l.length;
}

void Notify(HWND h, WPARAM code) {
    const HWND parent = GetParent(h);
    if (parent) SendMessage(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(h), int(code)), LPARAM(h));
}

void UpdateScrollBar(HWND h, EditState& e) {
    if (!(GetWindowStyle(h) & WS_VSCROLL)) return;
    SCROLLINFO si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
    si.nMin = 0, si.nMax = std::max(0, int(e.lines.size()) - 1);
    si.nPage = UINT(VisibleLines(h, e));
    si.nPos = e.first_line;
    SetScrollInfo(h, SB_VERT, si, true);
}

void PlaceCaret(HWND h, EditState& e) {
    if (GetCaretState().hwnd != h) return;
    const TPoint p = PosFromChar(h, e, e.caret);
    SetCaretPos(p.x, p.y);
}

void ScrollToCaret(HWND h, EditState& e) {
    if (!e.laid_out) LayOut(h, e);
    const TRect f = FormatRect(h, e);
    const int line = LineOf(e, e.caret);
    const int old_first = e.first_line, old_x = e.scroll_x;
    if (Multiline(h)) {
        const int visible = VisibleLines(h, e);
        if (line < e.first_line) e.first_line = line;
        if (line >= e.first_line + visible) e.first_line = line - visible + 1;
        e.first_line = std::clamp(e.first_line, 0, std::max(0, int(e.lines.size()) - 1));
    }
    if (!(GetWindowStyle(h) & (ES_CENTER | ES_RIGHT)) || Multiline(h)) {
        const EditLine& l = e.lines[size_t(line)];
        const std::string_view t(EditText(h));
        const int x = TextWidth(e, t.substr(size_t(l.start), size_t(e.caret - l.start)));
        // A third of the width at a time, as the caret passes an edge.
        const int step = std::max(1, f.Width() / 3);
        if (x - e.scroll_x > f.Width() - 1) e.scroll_x = x - f.Width() + step;
        if (x < e.scroll_x) e.scroll_x = std::max(0, x - step);
        const int full = TextWidth(e, t.substr(size_t(l.start), size_t(l.length)));
        if (e.scroll_x > 0 && full - e.scroll_x < f.Width() - 1) e.scroll_x = std::max(0, full - f.Width() + 1);
    }
    if (old_first != e.first_line || old_x != e.scroll_x) {
        InvalidateRect(h, nullptr, true);
        UpdateScrollBar(h, e);
    }
    PlaceCaret(h, e);
}

void SetSelection(HWND h, EditState& e, int anchor, int caret) {
    const int n = int(EditText(h).size());
    anchor = std::clamp(anchor, 0, n), caret = std::clamp(caret, 0, n);
    // Never between the CR and LF of a break.
    auto fix = [&](int p) { return p > 0 && p < n && EditText(h)[size_t(p - 1)] == '\r' ? p - 1 : p; };
    anchor = fix(anchor), caret = fix(caret);
    if (anchor == e.anchor && caret == e.caret) return;
    e.anchor = anchor, e.caret = caret;
    e.typing = false;
    InvalidateRect(h, nullptr, false);
    ScrollToCaret(h, e);
}

bool ReplaceSelection(HWND h, EditState& e, std::string text, bool user, bool typing) {
    const uint32_t style = GetWindowStyle(h);
    if (user && (style & ES_READONLY)) return false;
    if (!Multiline(h)) {
        const size_t brk = text.find_first_of("\r\n");
        if (brk != std::string::npos) text.resize(brk);
    } else {
        // Breaks become CR LF.
        std::string fixed;
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) fixed += '\r';
            fixed += text[i];
            if (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')) fixed += '\n';
        }
        text = std::move(fixed);
    }
    for (char& c : text) {
        if (style & ES_UPPERCASE) c = char(std::toupper(uint8_t(c)));
        if (style & ES_LOWERCASE) c = char(std::tolower(uint8_t(c)));
    }
    if (user && (style & ES_NUMBER) && std::any_of(text.begin(), text.end(), [](char c) { return c < '0' || c > '9'; }))
        return false;
    std::string& t = EditText(h);
    const int from = SelStart(e), to = SelEnd(e);
    const size_t kept = t.size() - size_t(to - from);
    if (user && kept + text.size() > e.limit) {
        text.resize(e.limit > kept ? e.limit - kept : 0);
        Notify(h, EN_MAXTEXT);
        if (text.empty()) return false;
    }
    if (!(typing && e.typing)) {
        e.undo_text = t, e.undo_anchor = e.anchor, e.undo_caret = e.caret;
        e.can_undo = true;
    }
    t.replace(size_t(from), size_t(to - from), text);
    e.anchor = e.caret = from + int(text.size());
    e.modified = true;
    e.laid_out = false;
    LayOut(h, e);
    e.first_line = std::min(e.first_line, std::max(0, int(e.lines.size()) - 1));
    InvalidateRect(h, nullptr, true);
    ScrollToCaret(h, e);
    UpdateScrollBar(h, e);
    e.typing = typing;
    Notify(h, EN_UPDATE);
    Notify(h, EN_CHANGE);
    return true;
}

void Undo(HWND h, EditState& e) {
    if (!e.can_undo) return;
    std::string& t = EditText(h);
    std::swap(t, e.undo_text);
    std::swap(e.anchor, e.undo_anchor);
    std::swap(e.caret, e.undo_caret);
    e.typing = false;
    e.modified = true;
    LayOut(h, e);
    e.first_line = std::min(e.first_line, std::max(0, int(e.lines.size()) - 1));
    InvalidateRect(h, nullptr, true);
    ScrollToCaret(h, e);
    UpdateScrollBar(h, e);
    Notify(h, EN_UPDATE);
    Notify(h, EN_CHANGE);
}

}  // namespace ui::detail
