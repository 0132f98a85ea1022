// The hint window and the hint window class.
#include "framework/ui/detail/library_state.hpp"
#include "framework/ui/forms.hpp"
#include "framework/ui/hints.hpp"
#include "framework/ui/sysparams.hpp"

namespace ui {

THintWindowClass HintWindowClass() { return detail::Library().hint_window_class; }

void SetHintWindowClass(THintWindowClass cls) {
    detail::Library().hint_window_class = cls ? cls : &NewHintWindow<THintWindow>;
}

std::string GetShortHint(const std::string& hint) {
    const size_t bar = hint.find('|');
    return bar == std::string::npos ? hint : hint.substr(0, bar);
}

std::string GetLongHint(const std::string& hint) {
    const size_t bar = hint.find('|');
    return bar == std::string::npos ? hint : hint.substr(bar + 1);
}

THintWindow::THintWindow(TComponent* owner) : TCustomControl(owner) {
    visible_ = false;
    color_ = clInfoBk;
    brush_->SetColor(color_);
    NonClientMetrics m;
    if (GetNonClientMetrics(m)) {
        font_->SetName(m.status_font.name);
        font_->SetHeight(m.status_font.height);
    }
    font_->SetColor(clInfoText);
}

void THintWindow::CreateParams(ui::CreateParams& p) {
    TCustomControl::CreateParams(p);
    p.style = WS_POPUP | WS_BORDER;
    p.ex_style = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
    p.parent = 0;
    p.class_style |= CS_SAVEBITS;
}

void THintWindow::WndProc(TMessage& m) {
    switch (m.Msg) {
    case WM_NCHITTEST: m.Result = HTTRANSPARENT; return;
    case CM_TEXTCHANGED: Invalidate(); return;
    default: TCustomControl::WndProc(m);
    }
}

void THintWindow::Paint() {
    TRect r = ClientRect();
    r.left += 2, r.top += 2;
    TCanvas* c = Canvas();
    c->Font()->SetColor(clInfoText);
    c->Brush()->SetStyle(bsClear);
    DrawText(*c->Handle(), text_, r, DT_LEFT | DT_NOPREFIX | DT_WORDBREAK);
}

TRect THintWindow::CalcHintRect(int max_width, const std::string& hint, void*) {
    DC dc(Surface::Create(1, 1, PixelFormat::Color32));
    dc.S().font = font_->Handle();
    TRect r{0, 0, max_width, 0};
    DrawText(dc, hint, r, DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
    return {r.left, r.top, SatInt(int64_t(r.right) + 6), SatInt(int64_t(r.bottom) + 2)};
}

void THintWindow::ActivateHintData(TRect rect, const std::string& hint, void*) { ActivateHint(rect, hint); }

void THintWindow::ActivateHint(TRect rect, const std::string& hint) {
    SetText(hint);
    // Kept on the screen: pushed left from the right edge, above the pointer
    // from the bottom one.
    const int sw = Screen().Width(), sh = Screen().Height();
    if (rect.right > sw) rect = rect.Offset(sw - rect.right, 0);
    if (rect.left < 0) rect = rect.Offset(-rect.left, 0);
    if (rect.bottom > sh) rect = rect.Offset(0, sh - rect.bottom);
    if (rect.top < 0) rect = rect.Offset(0, -rect.top);
    left_ = rect.left, top_ = rect.top, width_ = rect.Width(), height_ = rect.Height();
    visible_ = true;
    SetWindowPos(Handle(), HWND_TOPMOST, rect.left, rect.top, rect.Width(), rect.Height(),
                 SWP_SHOWWINDOW | SWP_NOACTIVATE);
    Invalidate();
}

void THintWindow::ReleaseHandle() {
    visible_ = false;
    if (HandleAllocated()) ShowWindow(handle_, SW_HIDE);
}

}  // namespace ui
