// The menu loop: tracks a drop-down (TrackPopupMenu) or a window's menu bar
// with its drop-downs, by the mouse and the keys, until an item is chosen or
// the menu closes. Input goes to the loop; paint, timers and posted messages
// are dispatched as usual meanwhile.
#include <algorithm>
#include <cctype>
#include <optional>

#include "framework/ui/detail/desktop.hpp"
#include "framework/ui/detail/menu_state.hpp"
#include "framework/ui/menu_handles.hpp"
#include "framework/ui/sysparams.hpp"
#include "platform/error.hpp"

namespace ui {

using namespace detail;

namespace detail {

struct MenuTracker {
    HWND owner = 0;  // told what happens, gets the command
    HWND capture = 0;
    UINT flags = 0;
    bool notify = true;
    HWND bar_window = 0;  // bar tracking: the window whose bar it is
    HMENU bar = 0;
    HMENU popup = 0;  // TrackPopupMenu's drop-down
    int bar_index = -1;
    std::vector<HMENU> open;  // drop-downs, the first opened first
    bool done = false;
    UINT chosen = 0;
    std::optional<MSG> press;  // the press outside the menu that ended it
    UINT last_key = 0;         // the last key the loop took
};

}  // namespace detail

namespace {

// A headless loop with nothing but timers gives up after this many turns
// without input: a periodic timer alone must not keep a menu open forever.
constexpr int kIdleTurnLimit = 10000;

MenuTracker* Active() { return Menus().tracker; }

TSize ScreenSize() {
    if (Display* d = TheDisplay()) return d->ScreenSize();
    return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

void Notify(MenuTracker& t, UINT msg, WPARAM w, LPARAM l) {
    if (t.notify && IsWindow(t.owner)) SendMessage(t.owner, msg, w, l);
}

LRESULT Ask(MenuTracker& t, UINT msg, WPARAM w, LPARAM l) {
    return IsWindow(t.owner) ? SendMessage(t.owner, msg, w, l) : 0;
}

bool Selectable(const MenuItemRec& it) { return !(it.type & MFT_SEPARATOR); }
bool Enabled(const MenuItemRec& it) { return !(it.state & (MF_GRAYED | MF_DISABLED)); }

int Selected(const MenuRec& m) {
    for (size_t i = 0; i < m.items.size(); ++i)
        if (m.items[i].state & MFS_HILITE) return int(i);
    return -1;
}

void TellSelection(MenuTracker& t, const MenuRec& m, int index, bool mouse) {
    if (index < 0) return;
    const MenuItemRec& it = m.items[size_t(index)];
    UINT flags =
        (it.state & (MF_GRAYED | MF_DISABLED | MF_CHECKED | MFS_DEFAULT)) | (it.type & MFT_OWNERDRAW) | MF_HILITE;
    if (it.sub) flags |= MF_POPUP;
    if (mouse) flags |= MF_MOUSESELECT;
    Notify(t, WM_MENUSELECT, MAKEWPARAM(it.sub ? index : int(it.id), int(flags)), LPARAM(m.handle));
}

// Moves the menu's selection to `index` (-1: none) and tells the owner.
void Select(MenuTracker& t, HMENU h, int index, bool mouse) {
    MenuRec* m = FindMenu(h);
    if (!m) return;
    const int old = Selected(*m);
    if (old == index) return;
    if (old >= 0) {
        m->items[size_t(old)].state &= ~MFS_HILITE;
        InvalidateMenuItem(*m, old);
    }
    if (index >= 0 && size_t(index) < m->items.size()) {
        m->items[size_t(index)].state |= MFS_HILITE;
        InvalidateMenuItem(*m, index);
        TellSelection(t, *m, index, mouse);
    }
}

// The next selectable item from `from` in steps of `dir`, wrapping; -1 for none.
int NextSelectable(const MenuRec& m, int from, int dir) {
    const int n = int(m.items.size());
    for (int k = 1; k <= n; ++k) {
        const int i = ((from + dir * k) % n + n) % n;
        if (Selectable(m.items[size_t(i)])) return i;
    }
    return -1;
}

TPoint PlaceInScreen(TPoint at, TSize size, TPoint flipped) {
    const TSize screen = ScreenSize();
    TPoint p = at;
    if (p.x + size.cx > screen.cx) p.x = flipped.x;
    if (p.y + size.cy > screen.cy) p.y = flipped.y;
    p.x = std::max(0, std::min(p.x, screen.cx - size.cx));
    p.y = std::max(0, std::min(p.y, screen.cy - size.cy));
    return p;
}

TSize WindowSize(const MenuRec& m) {
    return {m.size.cx + 2 * GetSystemMetrics(SM_CXDLGFRAME), m.size.cy + 2 * GetSystemMetrics(SM_CYDLGFRAME)};
}

// Opens a drop-down: the owner initialises it, it is laid out and shown
// where `place` puts it for its size.
template <class Place>
bool OpenPopup(MenuTracker& t, HMENU h, int position, Place place, bool select_first) {
    Notify(t, WM_INITMENUPOPUP, WPARAM(h), MAKELPARAM(position, 0));
    MenuRec* m = FindMenu(h);
    if (!m || m->items.empty() || t.done) return false;
    m->owner = t.owner;
    for (MenuItemRec& it : m->items) it.state &= ~MFS_HILITE;
    LayoutPopup(*m, t.owner);
    if (!(m = FindMenu(h))) return false;
    if (!CreateMenuWindow(*m, place(WindowSize(*m)))) return false;
    t.open.push_back(h);
    if (select_first) Select(t, h, NextSelectable(*m, -1, 1), false);
    return true;
}

void ClosePopup(MenuTracker& t) {
    if (t.open.empty()) return;
    const HMENU h = t.open.back();
    t.open.pop_back();
    if (MenuRec* m = FindMenu(h)) {
        for (MenuItemRec& it : m->items) it.state &= ~MFS_HILITE;
        DestroyMenuWindow(*m);
        m->owner = 0;
    }
    Notify(t, WM_UNINITMENUPOPUP, WPARAM(h), 0);
}

// Closes the drop-downs beyond the first `keep`.
void CloseBeyond(MenuTracker& t, size_t keep) {
    while (t.open.size() > keep) ClosePopup(t);
}

void SetBarOpen(MenuTracker& t) {
    if (MenuRec* bar = FindMenu(t.bar)) {
        const int open = t.open.empty() ? -1 : t.bar_index;
        if (bar->open_index != open) {
            bar->open_index = open;
            InvalidateNonClient(t.bar_window);
        }
    }
}

// Opens the submenu of the selected item of drop-down `level`.
bool OpenSubmenu(MenuTracker& t, size_t level, bool select_first) {
    MenuRec* m = FindMenu(t.open[level]);
    if (!m) return false;
    const int i = Selected(*m);
    if (i < 0 || !m->items[size_t(i)].sub || !Enabled(m->items[size_t(i)])) return false;
    CloseBeyond(t, level + 1);
    TRect item;
    if (!GetMenuItemRect(0, m->handle, UINT(i), item)) return false;
    const TRect parent = GetWindowRect(m->window);
    const int fy = GetSystemMetrics(SM_CYDLGFRAME);
    return OpenPopup(
        t, m->items[size_t(i)].sub, i,
        [&](TSize size) {
            return PlaceInScreen({parent.right - 3, item.top - fy}, size, {parent.left - size.cx + 3, item.top - fy});
        },
        select_first);
}

// Opens the drop-down of the bar's selected item.
bool OpenBarPopup(MenuTracker& t, bool select_first) {
    MenuRec* bar = FindMenu(t.bar);
    if (!bar || t.bar_index < 0 || size_t(t.bar_index) >= bar->items.size()) return false;
    const MenuItemRec& it = bar->items[size_t(t.bar_index)];
    if (!it.sub || !Enabled(it)) return false;
    TRect item;
    if (!GetMenuItemRect(t.bar_window, t.bar, UINT(t.bar_index), item)) return false;
    const bool opened = OpenPopup(
        t, it.sub, t.bar_index,
        [&](TSize size) {
            return PlaceInScreen({item.left, item.bottom}, size, {item.left, item.top - size.cy});
        },
        select_first);
    SetBarOpen(t);
    return opened;
}

void SelectBar(MenuTracker& t, int index, bool open, bool select_first, bool mouse) {
    CloseBeyond(t, 0);
    t.bar_index = index;
    Select(t, t.bar, index, mouse);
    if (open) OpenBarPopup(t, select_first);
    SetBarOpen(t);
}

void Choose(MenuTracker& t, UINT id) {
    t.chosen = id;
    t.done = true;
}

// Chooses an item of a drop-down or the bar: a command ends the loop, an
// item with a drop-down opens it.
void Execute(MenuTracker& t, HMENU h, int index, bool keyboard) {
    MenuRec* m = FindMenu(h);
    if (!m || index < 0 || size_t(index) >= m->items.size()) return;
    const MenuItemRec& it = m->items[size_t(index)];
    if (!Selectable(it) || !Enabled(it)) return;
    if (h == t.bar && t.bar) {
        if (it.sub)
            SelectBar(t, index, true, keyboard, !keyboard);
        else
            Choose(t, it.id);
        return;
    }
    if (it.sub) {
        const auto level = std::find(t.open.begin(), t.open.end(), h);
        if (level != t.open.end()) {
            Select(t, h, index, !keyboard);
            OpenSubmenu(t, size_t(level - t.open.begin()), keyboard);
        }
        return;
    }
    Choose(t, it.id);
}

// A press on a drop-down may take the screen's keyboard focus along with it:
// the keys belong to the active window, whose menu this is.
void KeepScreenFocus() {
    if (Display* d = TheDisplay())
        if (const HWND active = GetActiveWindow()) d->WindowActivated(active);
}

// Where a mouse message points on the screen.
TPoint ScreenPoint(const MSG& msg) {
    const TPoint p{LOWORD_S(msg.lParam), HIWORD_S(msg.lParam)};
    if (msg.message >= WM_NCMOUSEMOVE && msg.message <= 0x00A9) return p;
    return msg.hwnd ? ClientToScreen(msg.hwnd, p) : msg.pt;
}

struct Hit {
    int level = -1;  // the drop-down, or -1
    bool bar = false;
    int index = -1;
};

Hit HitTest(MenuTracker& t, TPoint screen) {
    for (int level = int(t.open.size()) - 1; level >= 0; --level) {
        const MenuRec* m = FindMenu(t.open[size_t(level)]);
        if (!m || !m->window || !GetWindowRect(m->window).Contains(screen)) continue;
        return {level, false, MenuItemAt(*m, ScreenToClient(m->window, screen))};
    }
    if (t.bar) {
        const TRect wr = GetWindowRect(t.bar_window);
        const TPoint p{screen.x - wr.left, screen.y - wr.top};
        if (const MenuRec* bar = FindMenu(t.bar); bar && GetMenuBarRect(t.bar_window).Contains(p))
            return {-1, true, MenuItemAt(*bar, p)};
    }
    return {};
}

// A mouse message: true when the loop takes it (a press outside the menu
// ends the loop and is left for the window it was meant for).
bool Mouse(MenuTracker& t, const MSG& msg) {
    const Hit hit = HitTest(t, ScreenPoint(msg));
    const UINT m = msg.message;
    const bool move = m == WM_MOUSEMOVE || m == WM_NCMOUSEMOVE;
    const bool down = m == WM_LBUTTONDOWN || m == WM_RBUTTONDOWN || m == WM_MBUTTONDOWN || m == WM_LBUTTONDBLCLK ||
        m == WM_RBUTTONDBLCLK || m == WM_NCLBUTTONDOWN || m == WM_NCRBUTTONDOWN || m == WM_NCLBUTTONDBLCLK;
    const bool up = m == WM_LBUTTONUP || m == WM_RBUTTONUP || m == WM_NCLBUTTONUP || m == WM_NCRBUTTONUP;
    const bool right = m == WM_RBUTTONUP || m == WM_NCRBUTTONUP;
    if (hit.level < 0 && !hit.bar) {
        if (!down) return true;
        t.done = true;
        t.press = msg;
        return false;
    }
    if (hit.bar) {
        if (hit.index < 0) return true;
        if (down && hit.index == t.bar_index && !t.open.empty()) {
            t.done = true;  // a press on the open item closes the menu
            return true;
        }
        if ((move && hit.index != t.bar_index && !t.open.empty()) || down) SelectBar(t, hit.index, true, false, true);
        if (up && hit.index == t.bar_index) {
            const MenuRec* bar = FindMenu(t.bar);
            if (bar && !bar->items[size_t(hit.index)].sub) Execute(t, t.bar, hit.index, false);
        }
        return true;
    }
    if (down) KeepScreenFocus();
    const HMENU h = t.open[size_t(hit.level)];
    if (hit.index < 0) return true;
    if (move || down) {
        const MenuRec* menu = FindMenu(h);
        if (menu && Selected(*menu) != hit.index) {
            CloseBeyond(t, size_t(hit.level) + 1);
            Select(t, h, hit.index, true);
            OpenSubmenu(t, size_t(hit.level), false);
        } else if (down && t.open.size() == size_t(hit.level) + 1) {
            OpenSubmenu(t, size_t(hit.level), false);
        }
    }
    if (up && (!right || (t.flags & TPM_RIGHTBUTTON) || t.bar)) {
        const MenuRec* menu = FindMenu(h);
        if (menu && !menu->items[size_t(hit.index)].sub) Execute(t, h, hit.index, false);
    }
    return true;
}

// The menu the keys work on: the last drop-down open, else the bar.
HMENU KeyMenu(const MenuTracker& t) { return t.open.empty() ? t.bar : t.open.back(); }

void MoveAcrossBar(MenuTracker& t, int dir) {
    const MenuRec* bar = FindMenu(t.bar);
    if (!bar) return;
    const int next = NextSelectable(*bar, t.bar_index, dir);
    if (next >= 0) SelectBar(t, next, !t.open.empty(), true, false);
}

void Key(MenuTracker& t, UINT vk) {
    const HMENU h = KeyMenu(t);
    MenuRec* m = FindMenu(h);
    if (!m) {
        t.done = true;
        return;
    }
    const bool in_popup = !t.open.empty();
    switch (vk) {
    case VK_ESCAPE:
        if (!in_popup || (t.open.size() == 1 && !t.bar))
            t.done = true;
        else
            ClosePopup(t), SetBarOpen(t);
        return;
    case VK_MENU:
    case VK_F10: t.done = true; return;
    case VK_UP:
    case VK_DOWN:
        if (in_popup)
            Select(t, h, NextSelectable(*m, Selected(*m) < 0 && vk == VK_UP ? 0 : Selected(*m), vk == VK_UP ? -1 : 1),
                   false);
        else if (vk == VK_DOWN)
            OpenBarPopup(t, true);
        return;
    case VK_HOME:
    case VK_END:
        if (in_popup) Select(t, h, NextSelectable(*m, vk == VK_HOME ? -1 : 0, vk == VK_HOME ? 1 : -1), false);
        return;
    case VK_RIGHT:
        if (in_popup && OpenSubmenu(t, t.open.size() - 1, true)) return;
        if (t.bar) MoveAcrossBar(t, 1);
        return;
    case VK_LEFT:
        if (t.open.size() > 1)
            ClosePopup(t);
        else if (t.bar)
            MoveAcrossBar(t, -1);
        return;
    case VK_RETURN:
        if (Selected(*m) >= 0) Execute(t, h, Selected(*m), true);
        return;
    default: return;
    }
}

void Char(MenuTracker& t, char typed) {
    const HMENU h = KeyMenu(t);
    MenuRec* m = FindMenu(h);
    if (!m) return;
    const char c = char(std::tolower(static_cast<unsigned char>(typed)));
    std::vector<int> matches;
    for (size_t i = 0; i < m->items.size(); ++i)
        if (Selectable(m->items[i]) && MnemonicOf(m->items[i].text) == c && c != 0) matches.push_back(int(i));
    if (matches.size() == 1) {
        if (h != t.bar) Select(t, h, matches[0], false);
        Execute(t, h, matches[0], true);
        return;
    }
    if (matches.size() > 1) {
        const int current = Selected(*m);
        auto next = std::find_if(matches.begin(), matches.end(), [&](int i) { return i > current; });
        const int target = next == matches.end() ? matches[0] : *next;
        if (h == t.bar)
            SelectBar(t, target, false, false, false);
        else
            Select(t, h, target, false);
        return;
    }
    const LRESULT answer = Ask(t, WM_MENUCHAR, MAKEWPARAM(uint8_t(typed), h == t.bar ? 0 : int(MF_POPUP)), LPARAM(h));
    const int index = LOWORD(uintptr_t(answer));
    if (!(m = FindMenu(h))) return;
    switch (HIWORD(uintptr_t(answer))) {
    case MNC_CLOSE: t.done = true; return;
    case MNC_EXECUTE:
        if (size_t(index) < m->items.size()) {
            if (h != t.bar) Select(t, h, index, false);
            Execute(t, h, index, true);
        }
        return;
    case MNC_SELECT:
        if (size_t(index) < m->items.size()) {
            if (h == t.bar)
                SelectBar(t, index, false, false, false);
            else
                Select(t, h, index, false);
        }
        return;
    default: return;
    }
}

bool IsMouse(UINT m) { return (m >= WM_MOUSEMOVE && m <= WM_MBUTTONUP) || (m >= WM_NCMOUSEMOVE && m <= 0x00A9); }
bool IsKey(UINT m) { return m >= WM_KEYDOWN && m <= WM_SYSCHAR; }

// Takes one message: input is the loop's, the rest is dispatched.
void Handle(MenuTracker& t, MSG& msg) {
    if (CallMessageFilter(msg, MSGF_MENU)) return;
    if (IsMouse(msg.message)) return;  // handled before it was removed
    switch (msg.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        t.last_key = UINT(msg.wParam);
        Key(t, UINT(msg.wParam));
        return;
    case WM_CHAR:
    case WM_SYSCHAR: Char(t, char(msg.wParam)); return;
    default:
        if (IsKey(msg.message) || msg.message == WM_MOUSEWHEEL) return;
        DispatchMessage(msg);
    }
}

// Runs the loop until an item is chosen or the menu closes; the result is
// the command chosen, 0 for none.
UINT RunLoop(MenuTracker& t) {
    int idle_turns = 0;
    bool idle_told = false;
    while (!t.done) {
        if (!IsWindow(t.owner) || GetCapture() != t.capture) break;
        MSG msg;
        if (!PeekMessage(msg, 0, 0, 0, PM_NOREMOVE)) {
            if (!idle_told) {
                idle_told = true;
                const HMENU top = t.open.empty() ? 0 : t.open.back();
                const MenuRec* m = FindMenu(top);
                Notify(t, WM_ENTERIDLE, MSGF_MENU, LPARAM(m ? m->window : 0));
                continue;
            }
            if (!WaitMessage()) break;  // nothing can end the loop any more
            continue;
        }
        idle_told = false;
        if (msg.message == WM_QUIT) {
            // Ends the menu; the quit stays for the loop outside.
            break;
        }
        const bool input = IsMouse(msg.message) || IsKey(msg.message);
        if (input) {
            idle_turns = 0;
        } else if (!TheDisplay() && ++idle_turns > kIdleTurnLimit) {
            break;
        }
        // A press outside the menu ends the loop and stays in the queue.
        if (IsMouse(msg.message)) {
            MSG peeked = msg;
            if (CallMessageFilter(peeked, MSGF_MENU)) {
                PeekMessage(msg, 0, 0, 0, PM_REMOVE);
                continue;
            }
            const bool taken = Mouse(t, msg);
            PeekMessage(msg, 0, 0, 0, PM_REMOVE);
            if (!taken) break;
            continue;
        }
        PeekMessage(msg, 0, 0, 0, PM_REMOVE);
        Handle(t, msg);
    }
    return t.done ? t.chosen : 0;
}

// Ends the tracking: drop-downs closed, the bar's selection cleared, the
// owner told, the capture released; and posts the command.
UINT Finish(MenuTracker& t, UINT chosen) {
    // The owner's handlers may throw: the tracking ends all the same (the
    // tracker lives on its caller's stack), and the owner still hears the
    // loop end.
    platform::ThenAlways(
        [&] {
            platform::ThenAlways(
                [&] {
                    CloseBeyond(t, 0);
                    if (t.bar) {
                        Select(t, t.bar, -1, false);
                        t.bar_index = -1;
                        SetBarOpen(t);
                    }
                    KeepScreenFocus();
                    Notify(t, WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
                },
                [&] { Notify(t, WM_EXITMENULOOP, t.bar ? 0 : 1, 0); });
        },
        [&] {
            if (GetCapture() == t.capture) ReleaseCapture();
            Menus().tracker = nullptr;
        });
    if (chosen && !(t.flags & TPM_RETURNCMD) && IsWindow(t.owner)) PostMessage(t.owner, WM_COMMAND, chosen, 0);
    return chosen;
}

// Runs a tracker set up by the caller; cleans up however the loop ends.
UINT Track(MenuTracker& t, const std::function<bool()>& start) {
    Menus().tracker = &t;
    UINT chosen = 0;
    // The owner hears the loop end (its handlers may throw) also when a handler inside it raised.
    platform::ThenAlways(
        [&] {
            t.capture = t.owner;
            SetCapture(t.capture);
            Notify(t, WM_ENTERMENULOOP, t.bar ? 0 : 1, 0);
            Notify(t, WM_INITMENU, WPARAM(t.bar ? t.bar : t.popup), 0);
            if (start()) chosen = RunLoop(t);
            if (t.done && !chosen) chosen = t.chosen;
        },
        [&] { Finish(t, chosen); });
    // The character a screen sends after Enter or Escape belongs to the key the menu took.
    if (t.last_key == VK_RETURN || t.last_key == VK_ESCAPE) {
        if (Display* d = TheDisplay()) d->Wait(0);
        MSG ch;
        const WPARAM c = t.last_key == VK_RETURN ? '\r' : 0x1B;
        if (PeekMessage(ch, 0, WM_CHAR, WM_CHAR, PM_NOREMOVE) && ch.wParam == c)
            PeekMessage(ch, 0, WM_CHAR, WM_CHAR, PM_REMOVE);
    }
    // The press that closed the menu goes to the window under the pointer.
    if (t.press) RequeueMouseFront(*t.press, ScreenPoint(*t.press));
    return chosen;
}

}  // namespace

namespace detail {

void TrackMenuBar(HWND hwnd, WPARAM command, LPARAM l) {
    const HWND root = GetAncestorRoot(hwnd);
    const HMENU bar = GetMenu(root);
    MenuRec* m = FindMenu(bar);
    if (!m || m->items.empty() || Active()) return;
    if (!m->laid_out) RecalcMenuBar(root);
    MenuTracker t;
    t.owner = t.bar_window = root;
    t.bar = bar;
    const bool mouse = (command & 0xFFF0) == SC_MOUSEMENU;
    Track(t, [&]() {
        MenuRec* menu = FindMenu(bar);
        if (!menu) return false;
        if (mouse) {
            const TRect wr = GetWindowRect(root);
            const int index = MenuItemAt(*menu, {LOWORD_S(l) - wr.left, HIWORD_S(l) - wr.top});
            if (index < 0) return false;
            SelectBar(t, index, true, false, true);
            return true;
        }
        const char typed = char(l & 0xFF);
        if (typed == 0) {
            SelectBar(t, NextSelectable(*menu, -1, 1), false, false, false);
            return true;
        }
        // Alt+letter: the bar item it marks opens at once.
        Char(t, typed);
        return !t.done && t.bar_index >= 0;
    });
}

bool MenuKey(HWND hwnd, UINT msg, WPARAM w) {
    MenuStore& s = Menus();
    const HWND root = GetAncestorRoot(hwnd);
    switch (msg) {
    case WM_SYSKEYDOWN:
        if (w == VK_MENU) {
            s.alt_alone = true;
            return true;
        }
        s.alt_alone = false;
        if (w == VK_F10 && GetKeyState(VK_SHIFT) >= 0 && GetMenu(root)) {
            SendMessage(root, WM_SYSCOMMAND, SC_KEYMENU, 0);
            return true;
        }
        return false;
    case WM_KEYDOWN: s.alt_alone = false; return false;
    case WM_SYSKEYUP:
    case WM_KEYUP:
        if (w == VK_MENU && std::exchange(s.alt_alone, false) && Desk().last_pressed == VK_MENU && GetMenu(root)) {
            SendMessage(root, WM_SYSCOMMAND, SC_KEYMENU, 0);
            return true;
        }
        return false;
    case WM_SYSCHAR:
        s.alt_alone = false;
        if (!GetMenu(root)) return false;
        SendMessage(root, WM_SYSCOMMAND, SC_KEYMENU, LPARAM(uint8_t(w)));
        return true;
    default: return false;
    }
}

}  // namespace detail

UINT TrackPopupMenu(HMENU menu, UINT flags, int x, int y, HWND owner) {
    if (Active() || !IsWindow(owner) || !FindMenu(menu)) return 0;
    MenuTracker t;
    t.owner = owner;
    t.popup = menu;
    t.flags = flags;
    t.notify = !(flags & TPM_NONOTIFY);
    const UINT chosen = Track(t, [&]() {
        return OpenPopup(
            t, menu, 0,
            [&](TSize size) {
                TPoint at{x, y};
                if (flags & TPM_CENTERALIGN) at.x -= size.cx / 2;
                if (flags & TPM_RIGHTALIGN) at.x -= size.cx;
                if (flags & TPM_VCENTERALIGN) at.y -= size.cy / 2;
                if (flags & TPM_BOTTOMALIGN) at.y -= size.cy;
                return PlaceInScreen(at, size, {x - size.cx, y - size.cy});
            },
            false);
    });
    return (flags & TPM_RETURNCMD) ? chosen : UINT(chosen != 0);
}

bool EndMenu() {
    MenuTracker* t = Active();
    if (!t) return false;
    t->done = true;
    t->chosen = 0;
    return true;
}

HMENU TrackedMenu() {
    const MenuTracker* t = Active();
    if (!t) return 0;
    return t->open.empty() ? t->bar : t->open.front();
}

std::vector<HWND> OpenMenuWindows() {
    std::vector<HWND> out;
    if (const MenuTracker* t = Active())
        for (HMENU h : t->open)
            if (const MenuRec* m = FindMenu(h); m && m->window) out.push_back(m->window);
    return out;
}

}  // namespace ui
