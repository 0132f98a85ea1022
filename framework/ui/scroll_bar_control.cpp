// TScrollBar: the scroll-bar control of the class library.
#include <algorithm>

#include "framework/ui/stdctrls.hpp"

namespace ui {

TScrollBar::TScrollBar(TComponent* owner) : TWinControl(owner) {
    // The standard class runs its own mouse drag.
    ControlStyle = csDoubleClicks | csOpaque;
    width_ = 121, height_ = GetSystemMetrics(SM_CYHSCROLL);
    TabStop = true;
    class_paints_ = true;
}

void TScrollBar::CreateParams(ui::CreateParams& p) {
    TWinControl::CreateParams(p);
    p.style |= kind_ == sbVertical ? SBS_VERT : SBS_HORZ;
    if (TabStop) p.style |= WS_TABSTOP;
}

void TScrollBar::CreateHandleDone() { Apply(); }

void TScrollBar::Apply() {
    if (!HandleAllocated()) return;
    SCROLLINFO si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = min_, si.nMax = max_, si.nPage = UINT(page_), si.nPos = position_;
    SetScrollInfo(handle_, SB_CTL, si, true);
}

void TScrollBar::SetKind(TScrollBarKind v) {
    if (v == kind_) return;
    kind_ = v;
    SetBounds(left_, top_, height_, width_);
    RecreateWnd();
}

void TScrollBar::SetPageSize(int v) {
    v = std::clamp(v, 0, std::max(0, max_ - min_ + 1));
    if (v == page_) return;
    page_ = v;
    SetParams(position_, min_, max_);
    Apply();
}

void TScrollBar::SetParams(int position, int min, int max) {
    if (max < min) throw EInvalidOperation("Scroll bar property out of range");
    const int top = std::max(min, max - std::max(page_ - 1, 0));
    position = std::clamp(position, min, top);
    if (position == position_ && min == min_ && max == max_) return;
    const bool moved = position != position_;
    min_ = min, max_ = max, position_ = position;
    Apply();
    if (moved) Change();
}

void TScrollBar::Change() {
    if (OnChange) OnChange(this);
}

void TScrollBar::Scroll(TScrollCode code, int& pos) {
    if (OnScroll) OnScroll(this, code, pos);
}

void TScrollBar::WndProc(TMessage& m) {
    if (m.Msg != CN_HSCROLL && m.Msg != CN_VSCROLL) {
        TWinControl::WndProc(m);
        return;
    }
    const auto code = TScrollCode(std::min<WPARAM>(m.WParam & 0xFFFF, scEndScroll));
    int pos = position_;
    switch (code) {
    case scLineUp: pos -= SmallChange; break;
    case scLineDown: pos += SmallChange; break;
    case scPageUp: pos -= LargeChange; break;
    case scPageDown: pos += LargeChange; break;
    case scPosition:
    case scTrack: {
        SCROLLINFO si;
        si.fMask = SIF_TRACKPOS;
        GetScrollInfo(handle_, SB_CTL, si);
        pos = si.nTrackPos;
        break;
    }
    case scTop: pos = min_; break;
    case scBottom: pos = max_; break;
    case scEndScroll: break;
    }
    pos = std::clamp(pos, min_, std::max(min_, max_ - std::max(page_ - 1, 0)));
    Scroll(code, pos);
    SetPosition(pos);
}

void TScrollBar::DefaultHandler(TMessage& m) {
    if (handle_) m.Result = CallClassProc("SCROLLBAR", handle_, m.Msg, m.WParam, m.LParam);
}

}  // namespace ui
