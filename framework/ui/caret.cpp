// The caret: one per desktop, drawn by inverting its rectangle in its
// window's pixels and blinking while shown.
#include "framework/ui/detail/desktop.hpp"

namespace ui {

using namespace detail;

namespace {

constexpr UINT kBlinkTimer = 0xFFFF0002u;

void Invert() {
    CaretState& c = Desk().caret;
    Win* w = Find(c.hwnd);
    if (!w || !Visible(w)) return;
    auto dc = GetDC(c.hwnd);
    InvertRect(*dc, c.rect);
    ReleaseDC(c.hwnd, std::move(dc));
    c.drawn = !c.drawn;
}

void Blink(HWND, UINT) {
    if (Desk().caret.hide_count == 0) Invert();
}

void StartBlink() {
    CaretState& c = Desk().caret;
    if (!Find(c.hwnd)) return;
    SetTimer(c.hwnd, kBlinkTimer, kCaretBlinkMs, Blink);
    for (Timer& t : Desk().timers)
        if (t.hwnd == c.hwnd && t.id == kBlinkTimer) t.idle = true;
}

// Takes the caret off the pixels, or puts it on again after a change.
void Off() {
    if (Desk().caret.drawn) Invert();
}
void On() {
    CaretState& c = Desk().caret;
    if (c.hide_count == 0 && !c.drawn) {
        Invert();
        StartBlink();  // a moved caret shows at once and blinks from there
    }
}

}  // namespace

namespace detail {

void CaretOff(HWND h) {
    if (Desk().caret.hwnd == h) Off();
}

void CaretOn(HWND h) {
    if (Desk().caret.hwnd == h) On();
}

}  // namespace detail

bool CreateCaret(HWND h, int width, int height) {
    if (!Find(h)) return false;
    DestroyCaret();
    Desk().caret = {h, Bounds(0, 0, std::max(1, width), std::max(1, height)), 1, false};
    return true;
}

bool DestroyCaret() {
    CaretState& c = Desk().caret;
    if (!c.hwnd) return false;
    Off();
    KillTimer(c.hwnd, kBlinkTimer);
    c = {};
    return true;
}

bool SetCaretPos(int x, int y) {
    CaretState& c = Desk().caret;
    if (!c.hwnd) return false;
    if (c.rect.left == x && c.rect.top == y) return true;
    Off();
    c.rect = Bounds(x, y, c.rect.Width(), c.rect.Height());
    On();
    return true;
}

TPoint GetCaretPos() { return {Desk().caret.rect.left, Desk().caret.rect.top}; }

bool ShowCaret(HWND h) {
    CaretState& c = Desk().caret;
    if (!c.hwnd || (h && h != c.hwnd) || c.hide_count == 0) return false;
    if (--c.hide_count == 0) On();
    return true;
}

bool HideCaret(HWND h) {
    CaretState& c = Desk().caret;
    if (!c.hwnd || (h && h != c.hwnd)) return false;
    Off();
    if (c.hide_count++ == 0) KillTimer(c.hwnd, kBlinkTimer);
    return true;
}

CaretState GetCaretState() { return Desk().caret; }

}  // namespace ui
