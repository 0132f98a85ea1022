// The rich edit's changes with their notifications, the selection, the
// caret, scrolling and undo.
#include <algorithm>

#include "framework/ui/detail/rich_state.hpp"
#include "framework/ui/scroll_bars.hpp"

namespace ui::detail {

namespace {

constexpr uint32_t ENM_CHANGE = 0x1, ENM_UPDATE = 0x2;

void Notify(HWND h, WPARAM code) {
    const HWND parent = GetParent(h);
    if (parent) SendMessage(parent, WM_COMMAND, code << 16, LPARAM(h));
}

// Breaks become CR LF; object characters cannot be typed or pasted.
std::string Clean(std::string_view text, bool multiline) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            if (!multiline) break;
            out += "\r\n";
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            continue;
        }
        out += c == kObjectChar ? ' ' : c;
    }
    return out;
}

}  // namespace

void RememberUndo(RichState& e) {
    e.undo = std::make_unique<Document>(e.doc);
    e.undo_anchor = e.anchor, e.undo_caret = e.caret;
}

void RichChanged(HWND h, RichState& e) {
    RichLayoutDueAll(e);
    RichChangedAsDue(h, e);
}

void RichChangedAsDue(HWND h, RichState& e) {
    e.modified = true;
    e.bars_due = true;
    if (e.due_all)
        InvalidateRect(h, nullptr, false);
    else
        RichInvalidateDue(h, e);
    if (e.event_mask & ENM_UPDATE) Notify(h, EN_UPDATE);
    if (e.event_mask & ENM_CHANGE) Notify(h, EN_CHANGE);
}

void RichUpdateScrollBar(HWND h, RichState& e) {
    const uint32_t style = GetWindowStyle(h);
    if (!(style & (WS_VSCROLL | WS_HSCROLL))) return;
    if (!e.laid_out) LayOutRich(h, e);
    if (style & WS_VSCROLL) {
        SCROLLINFO si;
        si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
        si.nMin = 0, si.nMax = std::max(0, int(e.lines.size()) - 1);
        si.nPage = UINT(RichVisibleLines(h, e));
        si.nPos = e.first_line;
        SetScrollInfo(h, SB_VERT, si, true);
    }
    if (style & WS_HSCROLL) {
        SCROLLINFO si;
        si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
        si.nMin = 0, si.nMax = std::max(0, e.text_width);
        si.nPage = UINT(RichFormatRect(h).Width());
        si.nPos = e.scroll_x;
        SetScrollInfo(h, SB_HORZ, si, true);
    }
}

void RichPlaceCaret(HWND h, RichState& e) {
    if (GetCaretState().hwnd != h) return;
    const TPoint p = RichPosFromChar(h, e, e.caret);
    const RichLine* l = e.lines.empty() ? nullptr : &e.lines[size_t(RichLineOf(e, e.caret))];
    const int height = l ? l->height : 13;
    if (GetCaretState().rect.Height() != height) {
        DestroyCaret();
        CreateCaret(h, 1, height);
        ShowCaret(h);
    }
    SetCaretPos(p.x, p.y);
}

void RichScrollToCaret(HWND h, RichState& e) {
    if (!e.laid_out) LayOutRich(h, e);
    if (e.lines.empty()) return;
    const int line = RichLineOf(e, e.caret);
    const int old_first = e.first_line, old_x = e.scroll_x;
    if (line < e.first_line) e.first_line = line;
    while (line >= e.first_line + RichVisibleLines(h, e) && e.first_line < line) ++e.first_line;
    const TRect f = RichFormatRect(h);
    const TPoint p = RichPosFromChar(h, e, e.caret);
    const int x = p.x - f.left + e.scroll_x;
    const int step = std::max(1, f.Width() / 3);
    if (x - e.scroll_x > f.Width() - 1) e.scroll_x = x - f.Width() + step;
    if (x < e.scroll_x) e.scroll_x = std::max(0, x - step);
    if (old_first != e.first_line || old_x != e.scroll_x) {
        InvalidateRect(h, nullptr, true);
        RichUpdateScrollBar(h, e);
    }
    RichPlaceCaret(h, e);
}

void RichSetSelection(HWND h, RichState& e, int anchor, int caret) {
    const std::string& t = e.doc.text;
    const int n = int(t.size());
    anchor = std::clamp(anchor, 0, n), caret = std::clamp(caret, 0, n);
    auto fix = [&](int p) { return p > 0 && p < n && t[size_t(p - 1)] == '\r' ? p - 1 : p; };
    anchor = fix(anchor), caret = fix(caret);
    e.selected_object = -1;
    if (anchor == e.anchor && caret == e.caret) return;
    e.anchor = anchor, e.caret = caret;
    e.typing = false;
    // Typing at an empty selection takes the format of the character before it.
    if (anchor == caret) e.doc.insertion = e.doc.runs[size_t(RunAt(e.doc, std::max(0, caret - 1)))].format;
    InvalidateRect(h, nullptr, false);
    if (GetFocus() == h) RichScrollToCaret(h, e);
}

bool RichReplaceSelection(HWND h, RichState& e, std::string_view raw, bool user, bool typing, bool undoable) {
    const uint32_t style = GetWindowStyle(h);
    if (user && (style & ES_READONLY)) return false;
    std::string text = Clean(raw, style & ES_MULTILINE);
    const int from = SelStart(e), to = SelEnd(e);
    const size_t kept = e.doc.text.size() - size_t(to - from);
    if (kept + text.size() > e.limit) {
        text.resize(e.limit > kept ? e.limit - kept : 0);
        if (user) Notify(h, EN_MAXTEXT);
        if (text.empty() && from == to) return false;
    }
    if (!undoable)
        e.undo.reset();
    else if (!(typing && e.typing))
        RememberUndo(e);
    const CharFormat format = from == to ? e.doc.insertion : e.doc.runs[size_t(RunAt(e.doc, from))].format;
    const int first_para = ParaOf(e.doc, from), last_para = ParaOf(e.doc, to);
    const size_t paras = e.doc.paras.size(), runs = e.doc.runs.size();
    std::vector<RichObject> gone;
    ReplaceRange(e.doc, from, to, text, format, &gone);
    RichLayoutDue(e, first_para, last_para, int(e.doc.paras.size()) - int(paras), int(e.doc.runs.size()) - int(runs));
    if (!gone.empty()) {
        e.undo.reset();  // objects that left are closed, and do not come back
        ObjectsRemoved(h, e, gone);
    }
    e.anchor = e.caret = from + int(text.size());
    e.doc.insertion = format;
    e.typing = typing;
    RichChangedAsDue(h, e);
    if (GetFocus() == h) RichScrollToCaret(h, e);
    return true;
}

}  // namespace ui::detail
