// The rich-edit classes: the library, the window procedure, keys, mouse and
// the format messages.
#include <algorithm>
#include <cstring>

#include "framework/ui/detail/edit_keys.hpp"
#include "framework/ui/detail/rich_state.hpp"
#include "framework/ui/scroll_bars.hpp"
#include "framework/ui/sysparams.hpp"

namespace ui {

using namespace detail;

namespace {

// The library loaded (0: none yet), kept in the window system's state.
int& Version() { return Ui().rich_edit_version; }

constexpr uint32_t kCharMasks1 = 0xFFFFFFFFu & ~uint32_t(CFM_WEIGHT | CFM_BACKCOLOR);
constexpr uint32_t kParaMasks1 =
    PFM_STARTINDENT | PFM_RIGHTINDENT | PFM_OFFSET | PFM_ALIGNMENT | PFM_TABSTOPS | PFM_NUMBERING | PFM_OFFSETINDENT;

bool CharSizeOk(HWND h, uint32_t cb) {
    return cb == kCharFormatSize1 || (cb == kCharFormatSize2 && LibraryVersion(h) >= 2);
}
bool ParaSizeOk(HWND h, uint32_t cb) {
    return cb == kParaFormatSize1 || (cb == kParaFormatSize2 && LibraryVersion(h) >= 2);
}

// Copies a record's fields past its size field, as many as its size holds.
template <class R>
void CopyOut(const R& full, R* out) {
    std::memcpy(reinterpret_cast<char*>(out) + 4, reinterpret_cast<const char*>(&full) + 4, out->cbSize - 4);
}
template <class R>
R CopyIn(const R* in) {
    R r;
    std::memcpy(&r, in, in->cbSize);
    return r;
}

void Relayout(HWND h, RichState& e) {
    RichLayoutDueAll(e);
    e.bars_due = true;
    InvalidateRect(h, nullptr, true);
}

void ResetText(HWND h, RichState& e, std::string_view text) {
    Document d;
    d.runs.assign(1, Run{0, e.default_format});
    d.paras.assign(1, ParaFormat{});
    d.para_starts.assign(1, 0);
    d.insertion = e.default_format;
    std::vector<RichObject> gone = std::move(e.doc.objects);
    e.doc = std::move(d);
    RichLayoutDueAll(e);  // a new document: no line of the old one stands
    ObjectsRemoved(h, e, gone);
    e.anchor = e.caret = 0;
    e.first_line = e.scroll_x = 0;
    e.undo.reset();
    const uint32_t style = GetWindowStyle(h);
    const uint32_t ro = style & ES_READONLY;
    if (ro) SetWindowStyle(h, style & ~uint32_t(ES_READONLY), GetWindowExStyle(h));
    RichReplaceSelection(h, e, text, false, false, false);
    if (ro) SetWindowStyle(h, style, GetWindowExStyle(h));
    e.anchor = e.caret = 0;
    e.undo.reset();
    e.modified = false;
}

void MoveKey(HWND h, RichState& e, UINT vk) {
    if (!e.laid_out) LayOutRich(h, e);
    const int line = RichLineOf(e, e.caret);
    const RichLine& l = e.lines[size_t(line)];
    const std::function<int(int)> vertical = [&](int lines) {
        const int target = std::clamp(line + lines, 0, int(e.lines.size()) - 1);
        const TPoint p = RichPosFromChar(h, e, e.caret);
        const int dy = e.lines[size_t(target)].y - l.y;
        return RichCharFromPos(h, e, {p.x, p.y + dy + 1});
    };
    const std::function<int()> page = [&] { return RichVisibleLines(h, e); };
    const std::optional<int> pos = MovedCaret({e.doc.text, e.caret, SelStart(e), SelEnd(e), LineStart(e.doc, l),
                                               LineStart(e.doc, l) + l.length, vertical, page},
                                              vk);
    if (!pos) return;
    RichSetSelection(h, e, KeyHeld(VK_SHIFT) ? e.anchor : *pos, *pos);
    RichScrollToCaret(h, e);
}

void Copy(RichState& e) {
    if (SelStart(e) == SelEnd(e)) return;
    SetClipboardText(PlainText(e.doc, SelStart(e), SelEnd(e)));
}

void DeleteKey(HWND h, RichState& e, bool back) {
    if (GetWindowStyle(h) & ES_READONLY) return;
    if (SelStart(e) == SelEnd(e)) {
        const std::string& t = e.doc.text;
        if (back) {
            if (e.caret == 0) return;
            e.anchor = StepBack(t, e.caret);
        } else {
            if (e.caret >= int(t.size())) return;
            e.caret = StepForward(t, e.caret);
        }
    }
    RichReplaceSelection(h, e, "", true);
}

void KeyDown(HWND h, RichState& e, UINT vk) {
    if (ClipboardKey(h, vk)) return;
    switch (vk) {
    case VK_UP:
    case VK_DOWN:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_LEFT:
    case VK_RIGHT:
    case VK_HOME:
    case VK_END: MoveKey(h, e, vk); return;
    case VK_DELETE: DeleteKey(h, e, false); return;
    default:
        if (SelectAllKey(vk)) RichSetSelection(h, e, 0, int(e.doc.text.size()));
        return;
    }
}

void Char(HWND h, RichState& e, char c) {
    const uint32_t style = GetWindowStyle(h);
    if (c == '\b') return DeleteKey(h, e, true);
    if (style & ES_READONLY) return;
    if (c == '\r') {
        if (style & ES_MULTILINE) RichReplaceSelection(h, e, "\r\n", true);
        return;
    }
    if (c != '\t' && uint8_t(c) < 32) return;
    RichReplaceSelection(h, e, std::string_view(&c, 1), true, true);
}

void MouseDown(HWND h, RichState& e, TPoint p, bool dbl) {
    if (GetFocus() != h) SetFocus(h);
    const int pos = RichCharFromPos(h, e, p);
    // A press on an object selects it; a double click opens it.
    for (const int at : {pos, pos - 1}) {
        const int index = ObjectIndexAt(e.doc, at);
        if (index < 0) continue;
        const TPoint o = RichPosFromChar(h, e, at);
        const TSize sz = ObjectSize(e.doc.objects[size_t(index)]);
        if (p.x < o.x || p.x >= o.x + sz.cx) continue;
        RichSetSelection(h, e, at, at + 1);
        e.selected_object = index;
        InvalidateRect(h, nullptr, false);
        if (dbl) {
            const auto& obj = e.doc.objects[size_t(index)];
            if (obj.object) obj.object->DoVerb(ole::OLEIVERB_PRIMARY, obj.site.Get(), h);
        }
        return;
    }
    if (dbl) {
        const auto [from, to] = WordAt(e.doc.text, pos);
        RichSetSelection(h, e, from, to);
        return;
    }
    RichSetSelection(h, e, KeyHeld(VK_SHIFT) ? e.anchor : pos, pos);
    e.selecting = true;
    SetCapture(h);
}

void Scroll(HWND h, RichState& e, int bar, int code) {
    if (!e.laid_out) LayOutRich(h, e);
    if (bar == SB_HORZ) {
        const int page = RichFormatRect(h).Width();
        int x = e.scroll_x;
        switch (code) {
        case SB_LINELEFT: x -= 8; break;
        case SB_LINERIGHT: x += 8; break;
        case SB_PAGELEFT: x -= page; break;
        case SB_PAGERIGHT: x += page; break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: x = ScrollTrackPos(h, SB_HORZ); break;
        default: return;
        }
        e.scroll_x = std::clamp(x, 0, std::max(0, e.text_width - page));
    } else {
        const int last = std::max(0, int(e.lines.size()) - RichVisibleLines(h, e));
        const std::optional<int> first = ScrolledFirstLine(h, code, e.first_line, RichVisibleLines(h, e), last);
        if (!first || *first == e.first_line) return;
        e.first_line = *first;
    }
    InvalidateRect(h, nullptr, true);
    RichUpdateScrollBar(h, e);
    RichPlaceCaret(h, e);
}

LRESULT CharFormatMessage(HWND h, RichState& e, UINT msg, WPARAM scope, CHARFORMAT2* cf) {
    if (!cf || !CharSizeOk(h, cf->cbSize)) return 0;
    const bool selection = scope & (SCF_SELECTION | SCF_WORD);
    if (msg == EM_GETCHARFORMAT) {
        CHARFORMAT2 full;
        if (selection)
            FillCharFormat(e.doc, SelStart(e), SelEnd(e), SelStart(e) == SelEnd(e) ? &e.doc.insertion : nullptr, full);
        else
            FillCharFormat(e.doc, 0, 0, &e.default_format, full);
        if (cf->cbSize == kCharFormatSize1) full.dwMask &= kCharMasks1;
        CopyOut(full, cf);
        return cf->dwMask;
    }
    CHARFORMAT2 in = CopyIn(cf);
    if (in.cbSize == kCharFormatSize1) in.dwMask &= kCharMasks1;
    // Undo takes back changes of the text; a change of format empties it.
    e.undo.reset();
    if (scope & SCF_ALL) {
        SetRangeFormat(e.doc, 0, int(e.doc.text.size()), in);
        if (e.doc.text.empty()) ApplyCharFormat(in, e.doc.runs[0].format);
        ApplyCharFormat(in, e.doc.insertion);
    } else if (selection) {
        int from = SelStart(e), to = SelEnd(e);
        if ((scope & SCF_WORD) && from == to) std::tie(from, to) = WordAt(e.doc.text, e.caret);
        if (from == to) {
            ApplyCharFormat(in, e.doc.insertion);
            return 1;
        }
        const size_t runs = e.doc.runs.size();
        SetRangeFormat(e.doc, from, to, in);
        RichLayoutDue(e, ParaOf(e.doc, from), ParaOf(e.doc, to), 0, int(e.doc.runs.size()) - int(runs));
        RichChangedAsDue(h, e);
        return 1;
    } else {
        ApplyCharFormat(in, e.default_format);
        if (!e.doc.text.empty()) return 1;
        e.doc.runs[0].format = e.default_format;
        e.doc.insertion = e.default_format;
    }
    RichChanged(h, e);
    return 1;
}

LRESULT ParaFormatMessage(HWND h, RichState& e, UINT msg, PARAFORMAT2* pf) {
    if (!pf || !ParaSizeOk(h, pf->cbSize)) return 0;
    if (msg == EM_GETPARAFORMAT) {
        PARAFORMAT2 full;
        FillParaFormat(e.doc, SelStart(e), SelEnd(e), full);
        if (pf->cbSize == kParaFormatSize1) full.dwMask &= kParaMasks1;
        CopyOut(full, pf);
        return pf->dwMask;
    }
    PARAFORMAT2 in = CopyIn(pf);
    if (in.cbSize == kParaFormatSize1) in.dwMask &= kParaMasks1;
    e.undo.reset();
    const int first = ParaOf(e.doc, SelStart(e)), last = ParaOf(e.doc, SelEnd(e));
    for (int p = first; p <= last; ++p) ApplyParaFormat(in, e.doc.paras[size_t(p)]);
    RichLayoutDue(e, first, last, 0, 0);
    RichChangedAsDue(h, e);
    return 1;
}

LRESULT RichProc(HWND h, UINT msg, WPARAM wp, LPARAM lp, const NextProc& next, int version);

}  // namespace

namespace detail {

RichState* Rich(HWND h) {
    Win* w = Find(h);
    return w ? static_cast<RichState*>(w->class_data.get()) : nullptr;
}

int LibraryVersion(HWND h) {
    const RichState* e = Rich(h);
    return e ? e->version : 0;
}

}  // namespace detail

int LoadRichEditLibrary(int version) {
    if (Version() == 0) Version() = std::max(1, version);
    if (!IsWindowClassRegistered("RICHEDIT"))
        RegisterWindowClass(
            {"RICHEDIT",
             [](HWND h, UINT m, WPARAM w, LPARAM l, const NextProc& n) { return RichProc(h, m, w, l, n, 1); },
             CS_DBLCLKS, std::nullopt});
    if (!IsWindowClassRegistered("RichEdit20A"))
        RegisterWindowClass({"RichEdit20A",
                             [](HWND h, UINT m, WPARAM w, LPARAM l, const NextProc& n) {
                                 return RichProc(h, m, w, l, n, std::max(2, Version()));
                             },
                             CS_DBLCLKS, std::nullopt});
    RegisterObjectIcons();
    return Version();
}

int RichEditLibraryVersion() { return Version(); }
const char* RichEditClassName() { return Version() == 1 ? "RICHEDIT" : "RichEdit20A"; }
void SetRichEditLibraryVersion(int version) {
    Version() = 0;
    LoadRichEditLibrary(version);
}

namespace {

LRESULT RichProc(HWND h, UINT msg, WPARAM wp, LPARAM lp, const NextProc& next, int version) {
    if (msg == WM_NCCREATE) {
        auto state = std::make_shared<RichState>();
        state->version = version;
        state->default_format = FormatFromFont(LogFont{});
        Find(h)->class_data = state;
        ResetText(h, *state, "");
        return next(h, msg, wp, lp);
    }
    RichState* ep = Rich(h);
    if (!ep) return next(h, msg, wp, lp);
    RichState& e = *ep;
    if (const auto r = CommonEditMessage(h, msg, wp, lp, e.selecting)) return *r;
    switch (msg) {
    case WM_DESTROY: {
        std::vector<RichObject> gone = std::move(e.doc.objects);
        ObjectsRemoved(h, e, gone);
        e.ole.Reset();
        e.callback.Reset();
        return next(h, msg, wp, lp);
    }
    case WM_SETFONT: {
        if (!wp) return 0;
        const CharFormat f = FormatFromFont(FontLog(*reinterpret_cast<const FontPtr*>(wp)));
        auto take = [&](CharFormat& c) {
            const uint32_t keep = c.effects & (CFE_AUTOCOLOR | CFE_PROTECTED | CFE_LINK);
            c.face = f.face, c.height = f.height, c.weight = f.weight;
            c.effects = (f.effects & ~uint32_t(CFE_AUTOCOLOR)) | keep;
        };
        take(e.default_format);
        take(e.doc.insertion);
        for (Run& r : e.doc.runs) take(r.format);
        Relayout(h, e);
        RichPlaceCaret(h, e);
        return 0;
    }
    case WM_SETTEXT:
        ResetText(h, e, lp ? reinterpret_cast<const char*>(lp) : "");
        RichChanged(h, e);
        e.modified = false;
        return 1;
    case WM_GETTEXTLENGTH: return LRESULT(e.doc.text.size());
    case WM_GETTEXT: {
        if (wp == 0 || !lp) return 0;
        const std::string t = PlainText(e.doc, 0, int(e.doc.text.size()));
        const size_t n = std::min(t.size(), size_t(wp) - 1);
        std::memcpy(reinterpret_cast<char*>(lp), t.data(), n);
        reinterpret_cast<char*>(lp)[n] = 0;
        return LRESULT(n);
    }
    case WM_PAINT:
        if (!e.laid_out) LayOutRich(h, e);
        if (e.bars_due) {
            e.bars_due = false;
            RichUpdateScrollBar(h, e);
        }
        PaintRich(h, e);
        return 0;
    case WM_SIZE:
        LayOutRich(h, e);
        RichUpdateScrollBar(h, e);
        InvalidateRect(h, nullptr, true);
        RichPlaceCaret(h, e);
        return 0;
    case WM_SETFOCUS:
        CreateCaret(h, 1, 13);
        ShowCaret(h);
        RichScrollToCaret(h, e);
        InvalidateRect(h, nullptr, false);
        SendMessage(GetParent(h), WM_COMMAND, WPARAM(EN_SETFOCUS) << 16, LPARAM(h));
        return 0;
    case WM_KILLFOCUS:
        if (GetCaretState().hwnd == h) DestroyCaret();
        e.selecting = false;
        InvalidateRect(h, nullptr, false);
        SendMessage(GetParent(h), WM_COMMAND, WPARAM(EN_KILLFOCUS) << 16, LPARAM(h));
        return 0;
    case WM_KEYDOWN: KeyDown(h, e, UINT(wp)); return 0;
    case WM_CHAR: Char(h, e, char(wp)); return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: MouseDown(h, e, {LOWORD_S(lp), HIWORD_S(lp)}, msg == WM_LBUTTONDBLCLK); return 0;
    case WM_MOUSEMOVE:
        if (e.selecting && (wp & MK_LBUTTON))
            RichSetSelection(h, e, e.anchor, RichCharFromPos(h, e, {LOWORD_S(lp), HIWORD_S(lp)}));
        return 0;
    case WM_VSCROLL: Scroll(h, e, SB_VERT, int(wp & 0xFFFF)); return 0;
    case WM_HSCROLL: Scroll(h, e, SB_HORZ, int(wp & 0xFFFF)); return 0;
    case WM_MOUSEWHEEL:
        for (int i = 0; i < 3; ++i) Scroll(h, e, SB_VERT, int16_t(wp >> 16) > 0 ? SB_LINEUP : SB_LINEDOWN);
        return 0;
    case WM_COPY: Copy(e); return 0;
    case WM_CUT:
        if (GetWindowStyle(h) & ES_READONLY) return 0;
        Copy(e);
        [[fallthrough]];
    case WM_CLEAR:
        if (SelStart(e) != SelEnd(e)) RichReplaceSelection(h, e, "", true);
        return 0;
    case WM_PASTE: {
        const std::string text = GetClipboardText();
        if (!text.empty()) RichReplaceSelection(h, e, text, true);
        return 0;
    }
    case WM_UNDO:
    case EM_UNDO: {
        if ((GetWindowStyle(h) & ES_READONLY) || !e.undo) return 0;
        std::swap(e.doc, *e.undo);
        std::swap(e.anchor, e.undo_anchor);
        std::swap(e.caret, e.undo_caret);
        e.typing = false;
        RichChanged(h, e);
        if (GetFocus() == h) RichScrollToCaret(h, e);
        return 1;
    }
    case EM_CANUNDO: return e.undo != nullptr;
    case EM_EMPTYUNDOBUFFER: e.undo.reset(); return 0;
    case EM_GETSEL:
        if (wp) *reinterpret_cast<int*>(wp) = SelStart(e);
        if (lp) *reinterpret_cast<int*>(lp) = SelEnd(e);
        return LRESULT(uint16_t(SelStart(e))) | LRESULT(uint16_t(SelEnd(e))) << 16;
    case EM_EXGETSEL:
        if (lp) *reinterpret_cast<ole::CHARRANGE*>(lp) = {SelStart(e), SelEnd(e)};
        return 0;
    case EM_SETSEL:
    case EM_EXSETSEL: {
        int from = 0, to = 0;
        if (msg == EM_SETSEL)
            from = int(intptr_t(wp)), to = int(lp);
        else if (lp)
            from = reinterpret_cast<const ole::CHARRANGE*>(lp)->cpMin,
            to = reinterpret_cast<const ole::CHARRANGE*>(lp)->cpMax;
        if (from < 0) {
            RichSetSelection(h, e, e.caret, e.caret);
            return 0;
        }
        if (to < 0) to = int(e.doc.text.size());
        RichSetSelection(h, e, from, to);
        return SelEnd(e);
    }
    case EM_REPLACESEL:
        e.typing = false;
        if (!wp) e.undo.reset();
        RichReplaceSelection(h, e, lp ? reinterpret_cast<const char*>(lp) : "", false, false, wp != 0);
        return 0;
    case EM_GETSELTEXT: {
        if (!lp) return 0;
        const std::string t = PlainText(e.doc, SelStart(e), SelEnd(e));
        std::memcpy(reinterpret_cast<char*>(lp), t.c_str(), t.size() + 1);
        return LRESULT(t.size());
    }
    case EM_GETTEXTRANGE: {
        auto* tr = reinterpret_cast<TEXTRANGE*>(lp);
        if (!tr || !tr->lpstrText) return 0;
        const int n = int(e.doc.text.size());
        const int from = std::clamp(int(tr->chrg.cpMin), 0, n);
        const int to = tr->chrg.cpMax < 0 ? n : std::clamp(int(tr->chrg.cpMax), from, n);
        const std::string t = PlainText(e.doc, from, to);
        std::memcpy(tr->lpstrText, t.c_str(), t.size() + 1);
        return LRESULT(t.size());
    }
    case EM_GETMODIFY: return e.modified;
    case EM_SETMODIFY: e.modified = wp != 0; return 0;
    case EM_LIMITTEXT:
    case EM_EXLIMITTEXT:
        e.limit = (msg == EM_LIMITTEXT ? wp : size_t(lp)) ? size_t(msg == EM_LIMITTEXT ? wp : size_t(lp)) : 0x7FFFFFFE;
        return 0;
    case EM_GETLIMITTEXT: return LRESULT(e.limit);
    case EM_SETBKGNDCOLOR: {
        const COLORREF old = e.auto_background ? GetSysColor(COLOR_WINDOW) : e.background;
        e.auto_background = wp != 0;
        e.background = COLORREF(lp) & 0xFFFFFF;
        InvalidateRect(h, nullptr, true);
        return LRESULT(old);
    }
    case EM_SETEVENTMASK: return std::exchange(e.event_mask, uint32_t(lp));
    case EM_GETEVENTMASK: return e.event_mask;
    case EM_GETRECT:
        if (lp) *reinterpret_cast<TRect*>(lp) = RichFormatRect(h);
        return 0;
    case EM_SCROLLCARET: RichScrollToCaret(h, e); return 1;
    case EM_GETLINECOUNT:
        if (!e.laid_out) LayOutRich(h, e);
        return LRESULT(e.lines.size());
    case EM_GETFIRSTVISIBLELINE: return e.first_line;
    case EM_LINEFROMCHAR:
    case EM_EXLINEFROMCHAR:
        if (!e.laid_out) LayOutRich(h, e);
        return RichLineOf(e,
                          int(msg == EM_LINEFROMCHAR ? intptr_t(wp) : lp) < 0
                              ? e.caret
                              : int(msg == EM_LINEFROMCHAR ? wp : WPARAM(lp)));
    case EM_LINEINDEX: {
        if (!e.laid_out) LayOutRich(h, e);
        const int line = int(intptr_t(wp)) < 0 ? RichLineOf(e, e.caret) : int(wp);
        return line < int(e.lines.size()) ? LineStart(e.doc, e.lines[size_t(line)]) : -1;
    }
    case EM_LINELENGTH:
        if (!e.laid_out) LayOutRich(h, e);
        return e.lines[size_t(RichLineOf(e, int(intptr_t(wp)) < 0 ? e.caret : int(wp)))].length;
    case EM_POSFROMCHAR: {
        const TPoint p = RichPosFromChar(h, e, int(wp));
        return MAKELPARAM(p.x, p.y);
    }
    case EM_CHARFROMPOS: return RichCharFromPos(h, e, {LOWORD_S(lp), HIWORD_S(lp)});
    case EM_GETCHARFORMAT:
    case EM_SETCHARFORMAT: return CharFormatMessage(h, e, msg, wp, reinterpret_cast<CHARFORMAT2*>(lp));
    case EM_GETPARAFORMAT:
    case EM_SETPARAFORMAT: return ParaFormatMessage(h, e, msg, reinterpret_cast<PARAFORMAT2*>(lp));
    case EM_SETOLECALLBACK:
        e.callback = ole::ComPtr<ole::IRichEditOleCallback>(reinterpret_cast<ole::IRichEditOleCallback*>(lp));
        return 1;
    case EM_GETOLEINTERFACE: {
        if (!lp) return 0;
        if (!e.ole) e.ole = MakeRichEditOle(h);
        *reinterpret_cast<ole::IRichEditOle**>(lp) = ole::ComPtr<ole::IRichEditOle>(e.ole).Detach();
        return 1;
    }
    default: return next(h, msg, wp, lp);
    }
}

}  // namespace

}  // namespace ui
