// Injected input: mouse and keys turned into messages for the window they
// reach.
#include "framework/ui/detail/desktop.hpp"

namespace ui {

using namespace detail;

// ---------------------------------------------------------------- input

void InjectMouse(MouseAction action, MouseButton button, TPoint screen, unsigned mods, int wheel) {
    unsigned bit = button == MouseButton::Left ? MK_LBUTTON : button == MouseButton::Right ? MK_RBUTTON : MK_MBUTTON;
    if (action == MouseAction::Down || action == MouseAction::DoubleClick) Desk().buttons |= bit;
    if (action == MouseAction::Up) Desk().buttons &= ~bit;
    HWND target = GetCapture();
    if (!target) target = WindowFromPoint(screen);
    if (!target) return;
    const LPARAM sp = MAKELPARAM(screen.x, screen.y);
    const bool activate = action == MouseAction::Down || action == MouseAction::DoubleClick;
    if (activate) {
        HWND root = GetAncestorRoot(target);
        if (GetActiveWindow() != root) SetActiveWindow(root);
    }
    if (!GetCapture()) {
        const LRESULT hit = SendMessage(target, WM_NCHITTEST, 0, sp);
        if (hit != HTCLIENT) {
            UINT m = WM_NCMOUSEMOVE;
            if (action == MouseAction::Down) m = button == MouseButton::Right ? WM_NCRBUTTONDOWN : WM_NCLBUTTONDOWN;
            if (action == MouseAction::Up) m = button == MouseButton::Right ? WM_NCRBUTTONUP : WM_NCLBUTTONUP;
            PostMessage(target, m, WPARAM(hit), sp);
            return;
        }
    }
    const TPoint c = ScreenToClient(target, screen);
    const LPARAM cp = MAKELPARAM(c.x, c.y);
    const WPARAM keys = Desk().buttons | (mods & (MK_SHIFT | MK_CONTROL));
    UINT m = WM_MOUSEMOVE;
    const bool right = button == MouseButton::Right, middle = button == MouseButton::Middle;
    switch (action) {
    case MouseAction::Move: m = WM_MOUSEMOVE; break;
    case MouseAction::Down: m = right ? WM_RBUTTONDOWN : middle ? WM_MBUTTONDOWN : WM_LBUTTONDOWN; break;
    case MouseAction::Up: m = right ? WM_RBUTTONUP : middle ? WM_MBUTTONUP : WM_LBUTTONUP; break;
    case MouseAction::DoubleClick: m = right ? WM_RBUTTONDBLCLK : WM_LBUTTONDBLCLK; break;
    case MouseAction::Wheel:
        PostMessage(target, WM_MOUSEWHEEL, WPARAM(uint32_t(int16_t(wheel)) << 16) | keys, sp);
        return;
    }
    PostMessage(target, m, keys, cp);
}

void InjectKey(UINT vk, bool down, unsigned mods) {
    HWND target = GetFocus();
    if (!target) target = GetActiveWindow();
    Desk().key_state[vk & 0xFF] = down ? 0x80 : 0;
    if (!target) return;
    const bool alt = mods & kAlt;
    UINT m = down ? (alt ? WM_SYSKEYDOWN : WM_KEYDOWN) : (alt ? WM_SYSKEYUP : WM_KEYUP);
    PostMessage(target, m, vk, down ? 1 : LPARAM(0xC0000001u));
}

short GetKeyState(int vk) { return int16_t(Desk().key_state[vk & 0xFF] ? 0x8000 : 0); }

void InjectChar(char ansi) {
    HWND target = GetFocus();
    if (!target) target = GetActiveWindow();
    if (target) PostMessage(target, WM_CHAR, uint8_t(ansi), 1);
}

}  // namespace ui
