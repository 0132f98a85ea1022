// Laying menus out and painting their items: drop-downs in columns with
// check marks, texts, shortcuts and submenu arrows; bars left to right; and
// owner-drawn items through WM_MEASUREITEM and WM_DRAWITEM to the window
// that owns the menu.
#include <algorithm>

#include "framework/ui/detail/desktop.hpp"
#include "framework/ui/detail/menu_state.hpp"
#include "framework/ui/menu_handles.hpp"
#include "framework/ui/sysparams.hpp"

namespace ui::detail {

namespace {

// Gaps of a drop-down: between the label and the shortcut, and before a
// column that a bar break starts (its line lies in the gap).
constexpr int kShortcutGap = 12;
constexpr int kBarBreakGap = 4;
// A bar item's text has this much room on either side.
constexpr int kBarPadding = 6;

// clang-format off
const std::vector<std::string> kCheckArt = {
    "......#", ".....##", "#...###", "##.###.", "#####..", ".###...", "..#...."};
const std::vector<std::string> kRadioArt = {
    ".###.", "#####", "#####", "#####", ".###."};
const std::vector<std::string> kArrowArt = {
    "#...", "##..", "###.", "####", "###.", "##..", "#..."};
// clang-format on

void DrawArt(DC& dc, const std::vector<std::string>& art, int x0, int y0, COLORREF color) {
    for (size_t y = 0; y < art.size(); ++y)
        for (size_t x = 0; x < art[y].size(); ++x)
            if (art[y][x] == '#') SetPixel(dc, x0 + int(x), y0 + int(y), color);
}

// The label (before a tab) and the shortcut's text (after it).
std::pair<std::string, std::string> SplitText(const std::string& text) {
    const size_t tab = text.find('\t');
    if (tab == std::string::npos) return {text, {}};
    return {text.substr(0, tab), text.substr(tab + 1)};
}

TSize Measure(DC& dc, const std::string& text, unsigned flags = 0) {
    if (text.empty()) return {0, FontMetrics(dc.S().font).height};
    TRect r{0, 0, 0, 0};
    DrawText(dc, text, r, DT_CALCRECT | DT_SINGLELINE | flags);
    return {r.Width(), r.Height()};
}

// A DC for measuring only.
struct MeasureDC {
    MeasureDC() : surface(Surface::Create(1, 1, PixelFormat::Color32)), dc(surface) { dc.S().font = MenuFont(); }
    SurfacePtr surface;
    DC dc;
};

bool Disabled(const MenuItemRec& it) { return it.state & (MF_GRAYED | MF_DISABLED); }

// Asks the owner for an owner-drawn item's size.
TSize MeasureOwnerDrawn(const MenuItemRec& it, HWND owner, int default_height) {
    MEASUREITEMSTRUCT mis{ODT_MENU, 0, it.id, 0, UINT(default_height), it.data};
    if (owner) SendMessage(owner, WM_MEASUREITEM, 0, LPARAM(&mis));
    return {SatInt(mis.itemWidth), SatInt(mis.itemHeight)};
}

UINT OwnerDrawState(const MenuItemRec& it) {
    UINT s = 0;
    if (it.state & MFS_HILITE) s |= ODS_SELECTED;
    if (it.state & MF_GRAYED) s |= ODS_GRAYED;
    if (it.state & MF_DISABLED) s |= ODS_DISABLED;
    if (it.state & MF_CHECKED) s |= ODS_CHECKED;
    if (it.state & MFS_DEFAULT) s |= ODS_DEFAULT;
    return s;
}

void DrawOwnerDrawn(DC& dc, const MenuRec& m, const MenuItemRec& it, HWND owner, bool bar) {
    DRAWITEMSTRUCT dis{ODT_MENU, 0, it.id, ODA_DRAWENTIRE, OwnerDrawState(it), m.handle, &dc, it.rect, it.data};
    const int saved = dc.Save();
    dc.S().font = MenuFont();
    if (owner) SendMessage(owner, WM_DRAWITEM, 0, LPARAM(&dis));
    dc.Restore(saved);
    // The system draws a drop-down's arrow beside what the owner drew.
    if (it.sub && !bar) {
        const COLORREF c = GetSysColor((it.state & MFS_HILITE) ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT);
        DrawArt(dc, kArrowArt, it.rect.right - MenuCheckWidth() / 2 - 4, it.rect.top + it.rect.Height() / 2 - 3, c);
    }
}

// Text with its '&' marks, in `color`; a disabled item not selected is embossed.
void DrawItemText(DC& dc, const std::string& text, TRect r, unsigned flags, COLORREF color, bool emboss) {
    SetBkMode(dc, TRANSPARENT);
    if (emboss) {
        SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
        TRect shadow = r.Offset(1, 1);
        DrawText(dc, text, shadow, flags);
    }
    SetTextColor(dc, color);
    DrawText(dc, text, r, flags);
}

void DrawPopupItem(DC& dc, const MenuItemRec& it) {
    const TRect r = it.rect;
    const bool selected = it.state & MFS_HILITE;
    const bool disabled = Disabled(it);
    if (it.type & MFT_SEPARATOR) {
        FillRect(dc, r, Brush::Solid(GetSysColor(COLOR_MENU)));
        const int y = r.top + r.Height() / 2 - 1;
        FillRect(dc, {r.left + 1, y, r.right - 1, y + 1}, Brush::Solid(GetSysColor(COLOR_BTNSHADOW)));
        FillRect(dc, {r.left + 1, y + 1, r.right - 1, y + 2}, Brush::Solid(GetSysColor(COLOR_BTNHIGHLIGHT)));
        return;
    }
    FillRect(dc, r, Brush::Solid(GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_MENU)));
    const COLORREF text = disabled ? GetSysColor(COLOR_GRAYTEXT)
        : selected                 ? GetSysColor(COLOR_HIGHLIGHTTEXT)
                                   : GetSysColor(COLOR_MENUTEXT);
    const int check = MenuCheckWidth();
    const int mid_y = r.top + r.Height() / 2;
    const int mark_x = r.left + 2 + check / 2;
    if (it.state & MF_CHECKED) {
        const auto& art = (it.type & MFT_RADIOCHECK) ? kRadioArt : kCheckArt;
        const int w = int(art[0].size()), h = int(art.size());
        if (disabled && !selected)
            DrawArt(dc, art, mark_x - w / 2 + 1, mid_y - h / 2 + 1, GetSysColor(COLOR_BTNHIGHLIGHT));
        DrawArt(dc, art, mark_x - w / 2, mid_y - h / 2, text);
    } else if (it.bitmap && !it.bitmap->Empty()) {
        const int w = std::min(it.bitmap->Width(), check + 4), h = std::min(it.bitmap->Height(), r.Height());
        DrawMasked(dc, mark_x - w / 2, mid_y - h / 2, w, h, it.bitmap, it.mask, 0, 0);
    }
    dc.S().font = MenuFont(it.state & MFS_DEFAULT);
    const auto [label, shortcut] = SplitText(it.text);
    const bool emboss = disabled && !selected;
    const unsigned flags = DT_SINGLELINE | DT_VCENTER;
    DrawItemText(dc, label, {r.left + check + 6, r.top, r.right, r.bottom}, flags, text, emboss);
    if (!shortcut.empty())
        DrawItemText(dc, shortcut, {r.left + it.shortcut_x, r.top, r.right, r.bottom}, flags, text, emboss);
    if (it.sub) DrawArt(dc, kArrowArt, r.right - check / 2 - 4, mid_y - 3, text);
    dc.S().font = MenuFont();
}

void DrawBarItem(DC& dc, const MenuItemRec& it, bool open) {
    TRect r = it.rect;
    FillRect(dc, r, Brush::Solid(GetSysColor(COLOR_MENU)));
    const bool selected = it.state & MFS_HILITE;
    if (selected) {
        TRect e = r;
        DrawEdge(dc, e, open ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
        if (open) r = r.Offset(1, 1);
    }
    dc.S().font = MenuFont(it.state & MFS_DEFAULT);
    const bool disabled = Disabled(it);
    DrawItemText(dc, SplitText(it.text).first, r, DT_SINGLELINE | DT_VCENTER | DT_CENTER,
                 GetSysColor(disabled ? COLOR_GRAYTEXT : COLOR_MENUTEXT), disabled);
    dc.S().font = MenuFont();
}

}  // namespace

FontPtr MenuFont(bool bold) {
    NonClientMetrics metrics;
    GetNonClientMetrics(metrics);
    LogFont lf = metrics.menu_font;
    if (bold) lf.bold = true;
    return CreateFont(lf);
}

int MenuCheckWidth() { return std::max(GetSystemMetrics(SM_CXMENUCHECK), 8); }

void LayoutPopup(MenuRec& m, HWND owner) {
    MeasureDC measure;
    DC& dc = measure.dc;
    const int check = MenuCheckWidth();
    const int text_height = FontMetrics(dc.S().font).height;
    const int item_height = std::max(text_height + 4, GetSystemMetrics(SM_CYMENU) - 2);
    const int separator_height = std::max(GetSystemMetrics(SM_CYMENU) / 2, 4);
    struct Sizes {
        int label = 0, shortcut = 0, width = 0, height = 0;
    };
    std::vector<Sizes> sizes(m.items.size());
    for (size_t i = 0; i < m.items.size(); ++i) {
        const MenuItemRec& it = m.items[i];
        Sizes& s = sizes[i];
        if (it.type & MFT_OWNERDRAW) {
            const TSize got = MeasureOwnerDrawn(it, owner, item_height);
            // The system keeps room for a check mark beside what the owner draws.
            s.width = SatInt(int64_t(got.cx) + check - 1);
            s.height = got.cy;
        } else if (it.type & MFT_SEPARATOR) {
            s.height = separator_height;
        } else {
            const auto [label, shortcut] = SplitText(it.text);
            dc.S().font = MenuFont(it.state & MFS_DEFAULT);
            const TSize l = Measure(dc, label);
            s.label = l.cx;
            if (!shortcut.empty()) s.shortcut = Measure(dc, shortcut).cx;
            s.height = std::max(item_height, SatInt(int64_t(l.cy) + 4));
        }
    }
    // Columns: a break starts a new one. Every item of a column is as wide as
    // the column, and shortcuts line up in it. Sums of texts' widths are held
    // at the largest int.
    int64_t x = 0, height = 0;
    size_t first = 0;
    while (first < m.items.size()) {
        size_t end = first + 1;
        while (end < m.items.size() && !(m.items[end].type & (MFT_MENUBREAK | MFT_MENUBARBREAK))) ++end;
        if (first > 0 && (m.items[first].type & MFT_MENUBARBREAK)) x += kBarBreakGap;
        int label = 0, shortcut = 0, owner_width = 0;
        for (size_t i = first; i < end; ++i) {
            label = std::max(label, sizes[i].label);
            shortcut = std::max(shortcut, sizes[i].shortcut);
            owner_width = std::max(owner_width, sizes[i].width);
        }
        const int64_t text_left = check + 6;
        const int shortcut_x = SatInt(text_left + label + kShortcutGap);
        const int64_t width = std::max<int64_t>(
            owner_width, text_left + label + (shortcut ? kShortcutGap + int64_t(shortcut) : 0) + check + 4);
        int64_t y = 0;
        for (size_t i = first; i < end; ++i) {
            m.items[i].rect = {SatInt(x), SatInt(y), SatInt(x + width), SatInt(y + sizes[i].height)};
            m.items[i].shortcut_x = shortcut_x;
            y += sizes[i].height;
        }
        height = std::max(height, y);
        x += width;
        first = end;
    }
    m.size = {SatInt(x), SatInt(height)};
    m.laid_out = true;
}

int LayoutBar(MenuRec& m, HWND hwnd, const TRect& bar) {
    MeasureDC measure;
    DC& dc = measure.dc;
    int height = GetSystemMetrics(SM_CYMENU);
    std::vector<int> widths(m.items.size());
    for (size_t i = 0; i < m.items.size(); ++i) {
        const MenuItemRec& it = m.items[i];
        if (it.type & MFT_OWNERDRAW) {
            const TSize got = MeasureOwnerDrawn(it, hwnd, height);
            widths[i] = got.cx;
            height = std::max(height, got.cy);
        } else if (it.type & MFT_SEPARATOR) {
            widths[i] = kBarPadding;
        } else {
            dc.S().font = MenuFont(it.state & MFS_DEFAULT);
            widths[i] = SatInt(int64_t(Measure(dc, SplitText(it.text).first).cx) + 2 * kBarPadding);
        }
    }
    int64_t x = bar.left;
    for (size_t i = 0; i < m.items.size(); ++i) {
        m.items[i].rect = {SatInt(x), bar.top, SatInt(x + widths[i]), SatInt(int64_t(bar.top) + height)};
        x += widths[i];
    }
    // Items from the first right-justified one on go to the right end.
    for (size_t i = 0; i < m.items.size(); ++i)
        if (m.items[i].type & MFT_RIGHTJUSTIFY) {
            const int shift = SatInt(std::max<int64_t>(0, bar.right - x));
            for (size_t j = i; j < m.items.size(); ++j) m.items[j].rect = m.items[j].rect.Offset(shift, 0);
            break;
        }
    m.bar_owner = hwnd;
    m.laid_out = true;
    return height;
}

void DrawMenuItem(DC& dc, MenuRec& m, int index, HWND owner, bool bar, bool open) {
    if (index < 0 || size_t(index) >= m.items.size()) return;
    const MenuItemRec& it = m.items[size_t(index)];
    if (it.rect.Empty()) return;
    if (it.type & MFT_OWNERDRAW)
        DrawOwnerDrawn(dc, m, it, owner, bar);
    else if (bar)
        DrawBarItem(dc, it, open);
    else
        DrawPopupItem(dc, it);
}

void DrawBarBreaks(DC& dc, const MenuRec& m) {
    for (size_t i = 1; i < m.items.size(); ++i) {
        const MenuItemRec& it = m.items[i];
        if (!(it.type & MFT_MENUBARBREAK) || (it.type & MFT_OWNERDRAW)) continue;
        const int x = it.rect.left - 3;
        FillRect(dc, {x, 0, x + 1, m.size.cy}, Brush::Solid(GetSysColor(COLOR_BTNSHADOW)));
        FillRect(dc, {x + 1, 0, x + 2, m.size.cy}, Brush::Solid(GetSysColor(COLOR_BTNHIGHLIGHT)));
    }
}

int MenuItemAt(const MenuRec& m, TPoint p) {
    for (size_t i = 0; i < m.items.size(); ++i)
        if (m.items[i].rect.Contains(p)) return int(i);
    return -1;
}

char MnemonicOf(const std::string& text) {
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '&') continue;
        if (text[i + 1] == '&') {
            ++i;
            continue;
        }
        const char c = text[i + 1];
        return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    }
    return 0;
}

}  // namespace ui::detail
