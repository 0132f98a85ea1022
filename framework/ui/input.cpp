// Injected input. Input enters the queue raw (a point or a key) and becomes
// messages only when it is taken out, as the system does: the window it goes
// to (the capture, the focus) is decided by the state at that moment, so a
// press that takes the capture or a Tab that moves the focus directs the
// input queued behind it.
#include "framework/ui/detail/desktop.hpp"
#include "framework/ui/resources.hpp"

namespace ui {

using namespace detail;

namespace {

// Raw input in the queue (never dispatched as such).
enum RawInput : UINT { kRawMouse = 0x0FF1, kRawKey = 0x0FF2, kRawChar = 0x0FF3, kRawLeave = 0x0FF4 };

void SetModifierStates(unsigned mods, UINT except) {
    auto set = [&](UINT vk, bool down) {
        if (vk != except) Desk().key_state[vk] = down ? 0x80 : 0;
    };
    set(VK_SHIFT, mods & kShift);
    set(VK_CONTROL, mods & kControl);
    set(VK_MENU, mods & kAlt);
}

// The pointer is over `now_under`: the window it was over before hears it left.
void Leave(HWND now_under, std::vector<MSG>& out) {
    const HWND old = std::exchange(Desk().hover, now_under);
    if (old && old != now_under && Find(old)) out.push_back({old, WM_MOUSELEAVE, 0, 0, 0, {}});
}

// Asks the window and its parents whether a press may activate its
// top-level window; true when the press itself is to be dropped.
bool MouseActivate(HWND target, LRESULT hit, UINT msg) {
    const HWND root = GetAncestorRoot(target);
    if (!root || GetActiveWindow() == root) return false;
    const LRESULT answer = SendMessage(target, WM_MOUSEACTIVATE, root, MAKELPARAM(int(hit), int(msg)));
    if (answer != MA_NOACTIVATE && answer != MA_NOACTIVATEANDEAT && Find(root)) SetActiveWindow(root);
    return answer == MA_ACTIVATEANDEAT || answer == MA_NOACTIVATEANDEAT;
}

void CookMouse(const MSG& raw, std::vector<MSG>& out) {
    const auto action = MouseAction(raw.wParam & 0xFF);
    const auto button = MouseButton((raw.wParam >> 8) & 0xFF);
    const unsigned mods = unsigned(raw.wParam >> 16);
    const TPoint screen = raw.pt;
    const unsigned bit = button == MouseButton::Left ? MK_LBUTTON
        : button == MouseButton::Right               ? MK_RBUTTON
                                                     : MK_MBUTTON;
    const bool press = action == MouseAction::Down || action == MouseAction::DoubleClick;
    if (press) Desk().buttons |= bit;
    if (action == MouseAction::Up) Desk().buttons &= ~bit;
    SetModifierStates(mods, 0);
    Desk().key_state[VK_LBUTTON] = (Desk().buttons & MK_LBUTTON) ? 0x80 : 0;
    Desk().key_state[VK_RBUTTON] = (Desk().buttons & MK_RBUTTON) ? 0x80 : 0;
    Desk().cursor_pos = screen;
    const HWND under = WindowFromPoint(screen);
    if (action != MouseAction::Wheel) Leave(under, out);
    const auto post = [&](HWND h, UINT m, WPARAM w, LPARAM l) { out.push_back({h, m, w, l, 0, screen}); };
    const WPARAM keys = Desk().buttons | (mods & (MK_SHIFT | MK_CONTROL));
    const LPARAM sp = MAKELPARAM(screen.x, screen.y);
    if (action == MouseAction::Wheel) {
        HWND target = GetFocus();
        if (!target) target = under;
        if (target) post(target, WM_MOUSEWHEEL, WPARAM(uint32_t(uint16_t(int16_t(raw.lParam))) << 16) | keys, sp);
        return;
    }
    HWND target = GetCapture();
    LRESULT hit = HTCLIENT;
    if (!target) {
        target = under;
        if (!target) return;
        hit = SendMessage(target, WM_NCHITTEST, 0, sp);
    }
    const bool right = button == MouseButton::Right, middle = button == MouseButton::Middle;
    UINT m = WM_MOUSEMOVE;
    if (hit != HTCLIENT) {
        switch (action) {
        case MouseAction::Down: m = right ? WM_NCRBUTTONDOWN : WM_NCLBUTTONDOWN; break;
        case MouseAction::DoubleClick: m = right ? WM_NCRBUTTONDOWN : WM_NCLBUTTONDBLCLK; break;
        case MouseAction::Up: m = right ? WM_NCRBUTTONUP : WM_NCLBUTTONUP; break;
        default: m = WM_NCMOUSEMOVE; break;
        }
    } else {
        switch (action) {
        case MouseAction::Down: m = right ? WM_RBUTTONDOWN : middle ? WM_MBUTTONDOWN : WM_LBUTTONDOWN; break;
        case MouseAction::Up: m = right ? WM_RBUTTONUP : middle ? WM_MBUTTONUP : WM_LBUTTONUP; break;
        case MouseAction::DoubleClick: m = right ? WM_RBUTTONDBLCLK : WM_LBUTTONDBLCLK; break;
        default: m = WM_MOUSEMOVE; break;
        }
    }
    if (!GetCapture() && Find(target)) SendMessage(target, WM_SETCURSOR, target, MAKELPARAM(int(hit), int(m)));
    // A press taken by the capture (a menu loop's, a drag's) activates nothing.
    if (press && !GetCapture() && Find(target) && MouseActivate(target, hit, m)) return;
    if (!Find(target)) return;
    if (hit != HTCLIENT) {
        post(target, m, WPARAM(hit), sp);
        return;
    }
    const TPoint c = ScreenToClient(target, screen);
    post(target, m, keys, MAKELPARAM(c.x, c.y));
}

void CookKey(const MSG& raw, std::vector<MSG>& out) {
    const UINT vk = UINT(raw.wParam & 0xFF);
    const bool down = raw.wParam & 0x100;
    const unsigned mods = unsigned(raw.wParam >> 16);
    SetModifierStates(mods, vk);
    Desk().key_state[vk] = down ? 0x80 : 0;
    // Seen here, before any window may take the key: Alt released after
    // another key opens no menu, whichever control took that key.
    if (down) Desk().last_pressed = vk;
    HWND target = GetFocus();
    if (!target) target = GetActiveWindow();
    if (!target) target = GetCapture();  // a menu loop tracking for a hidden window
    if (!target) return;
    // Alt makes a system key; F10 is one as well.
    const bool alt = (mods & kAlt) || (vk == VK_MENU && down);
    const bool sys = (alt && !(mods & kControl)) || vk == VK_F10;
    const UINT m = down ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN) : (sys ? WM_SYSKEYUP : WM_KEYUP);
    out.push_back({target, m, vk, down ? 1 : LPARAM(0xC0000001u), 0, {}});
    // F1 asks for help on the focused window, whatever the window does with the key.
    if (down && vk == VK_F1 && !(mods & (kAlt | kControl))) out.push_back({target, WM_KEYF1, 0, 0, 0, {}});
    // Alt with a letter or digit also brings the character, for accelerators.
    const bool letter = (vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9');
    if (down && sys && alt && letter) {
        const char c = (vk >= 'A' && vk <= 'Z' && !(mods & kShift)) ? char(vk - 'A' + 'a') : char(vk);
        out.push_back({target, WM_SYSCHAR, uint8_t(c), 1, 0, {}});
    }
}

}  // namespace

namespace detail {

bool IsRawInput(UINT m) { return m >= kRawMouse && m <= kRawLeave; }

std::vector<MSG> CookInput(const MSG& raw) {
    std::vector<MSG> out;
    switch (raw.message) {
    case kRawMouse: CookMouse(raw, out); break;
    case kRawKey: CookKey(raw, out); break;
    case kRawChar: {
        HWND target = GetFocus();
        if (!target) target = GetActiveWindow();
        if (!target) target = GetCapture();
        if (target) out.push_back({target, WM_CHAR, raw.wParam, 1, 0, {}});
        break;
    }
    case kRawLeave: Leave(0, out); break;
    default: break;
    }
    return out;
}

void RequeueMouseFront(const MSG& cooked, TPoint screen) {
    MouseAction action = MouseAction::Down;
    MouseButton button = MouseButton::Left;
    switch (cooked.message) {
    case WM_LBUTTONDBLCLK:
    case WM_NCLBUTTONDBLCLK: action = MouseAction::DoubleClick; break;
    case WM_RBUTTONDOWN:
    case WM_NCRBUTTONDOWN: button = MouseButton::Right; break;
    case WM_RBUTTONDBLCLK: action = MouseAction::DoubleClick, button = MouseButton::Right; break;
    case WM_MBUTTONDOWN: button = MouseButton::Middle; break;
    default: break;
    }
    // The press was counted once already; the raw input counts it again.
    const unsigned bit = button == MouseButton::Left ? MK_LBUTTON
        : button == MouseButton::Right               ? MK_RBUTTON
                                                     : MK_MBUTTON;
    Desk().buttons &= ~bit;
    const bool client = cooked.message >= WM_MOUSEMOVE;
    const unsigned mods = client ? unsigned(cooked.wParam & (MK_SHIFT | MK_CONTROL)) : 0;
    PushInputFront({0, kRawMouse, WPARAM(action) | WPARAM(button) << 8 | WPARAM(mods) << 16, 0, 0, screen});
}

}  // namespace detail

// ---------------------------------------------------------------- input

void InjectMouse(MouseAction action, MouseButton button, TPoint screen, unsigned mods, int wheel) {
    const WPARAM w = WPARAM(action) | WPARAM(button) << 8 | WPARAM(mods) << 16;
    PostInput(0, kRawMouse, w, LPARAM(wheel), screen);
}

void InjectMouseLeave() { PostInput(0, kRawLeave, 0, 0, {}); }

void InjectKey(UINT vk, bool down, unsigned mods) {
    PostInput(0, kRawKey, WPARAM(vk & 0xFF) | (down ? 0x100 : 0) | WPARAM(mods) << 16, 0, {});
}

void InjectChar(char ansi) { PostInput(0, kRawChar, uint8_t(ansi), 0, {}); }

short GetKeyState(int vk) { return int16_t(Desk().key_state[vk & 0xFF] ? 0x8000 : 0); }

TPoint GetCursorPos() { return Desk().cursor_pos; }

// ---------------------------------------------------------------- the cursor

HCURSOR SetCursor(HCURSOR cursor) {
    const HCURSOR old = std::exchange(Desk().cursor, cursor);
    if (TheDisplay() && cursor != old) TheDisplay()->ShowCursor(cursor, CursorOf(cursor));
    return old;
}

HCURSOR GetCursor() { return Desk().cursor; }

}  // namespace ui
