#include "engine/ui/tzmsg.hpp"

#include <algorithm>

#include "platform/events.hpp"

namespace zurod {

constexpr int kBarLength = 100;

TTzMsg::TTzMsg(ui::TComponent* owner)
    : ui::TForm(owner), outer_(new ui::TPanel(this)), inner_(new ui::TPanel(this)),
      owner_form_(ui::Screen().ActiveForm()) {
    SetBorderStyle(ui::bsNone);
    SetBorderIcons(0);
    SetFormStyle(ui::fsStayOnTop);
    SetBounds(0, 0, 0, 0);
    SetColor(ui::clYellow);
    outer_->SetBevelWidth(2);
    outer_->SetAlign(ui::alClient);
    outer_->SetParent(this);
    inner_->SetParentFont(true);
    inner_->SetParentColor(true);
    inner_->SetBorderStyle(ui::bsSingle);
    inner_->SetBevelInner(ui::bvNone);
    inner_->SetParent(this);
}

void TTzMsg::BeforeDestruction() {
    ui::Free(std::exchange(inner_, nullptr));
    ui::Free(std::exchange(outer_, nullptr));
    ui::TForm::BeforeDestruction();
}

void TTzMsg::ShowText(std::optional<std::string> text) {
    if (text) text_ = std::move(*text);
    ui::TCanvas* canvas = Canvas();
    canvas->Font()->Assign(Font());
    int need_h = canvas->TextHeight(text_) + 30;
    int need_w = canvas->TextWidth(text_) + 30;

    const bool dialog = !Caption().empty();
    const bool changed = dialog != (BorderStyle() == ui::bsDialog);
    if (changed) SetBorderStyle(dialog ? ui::bsDialog : ui::bsNone);

    int mx = 4, my = 4, caption = 0;
    if (dialog) {
        caption = ui::GetSystemMetrics(ui::SM_CYCAPTION);
        need_h += caption;
        mx = ui::GetSystemMetrics(ui::SM_CXDLGFRAME);
        my = ui::GetSystemMetrics(ui::SM_CYDLGFRAME);
        canvas->Font()->SetName("System");
        need_w = std::max(need_w, canvas->TextWidth(Caption()));
        canvas->Font()->Assign(Font());
    }
    outer_->SetVisible(!dialog);

    if (need_w > Width() || need_h > Height() || changed) {
        int left, top;
        if (owner_form_) {
            left = owner_form_->Left() + (owner_form_->Width() - need_w) / 2;
            top = owner_form_->Top() + (owner_form_->Height() - need_h) / 2;
        } else {
            left = (ui::Screen().Width() - need_w) / 2;
            top = (ui::Screen().Height() - need_h) / 2;
        }
        SetBounds(left, top, need_w, need_h);
        const int iw = need_w - 2 * mx, ih = need_h - 2 * my - caption;
        if (dialog)
            inner_->SetBounds(0, 0, iw, ih);
        else
            inner_->SetBounds(mx, my, iw, ih);
        Show();
    }
    inner_->SetCaption(text_);
    inner_->Repaint();
    platform::ProcessPendingEvents(platform::EventFilter::Paint);
}

TTzProgress100::TTzProgress100(ui::TComponent* owner) : TTzProgress100(owner, "Progress") {}

TTzProgress100::TTzProgress100(ui::TComponent* owner, const std::string& caption) : TTzMsg(owner) {
    SetCaption(caption);
}

ui::Owned<TTzProgress100> ShowProgressWindow(const std::string& caption) {
    auto window = ui::Make<TTzProgress100>(nullptr, caption);
    window->bar_.assign(kBarLength, '|');
    window->ShowText(window->bar_);
    return window;
}

void UpdateProgress(TTzProgress100* window) {
    if (!window) return;
    if (window->bar_.empty())
        window->bar_.assign(kBarLength, '|');
    else
        window->bar_.pop_back();
    window->ShowText(window->bar_);
}

}  // namespace zurod
