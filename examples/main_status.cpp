// The main window's message panel for status texts.
#include "examples/main_window_parts.hpp"

namespace demo {

controls::TMessagePanel* AddStatusPanel(ui::TForm* window) {
    auto* panel = new controls::TMessagePanel(window);
    panel->SetName(kStatusPanelName);
    panel->SetVisible(false);
    panel->SetColor(ui::clInactiveCaption);
    panel->Font()->SetName("Tahoma");
    panel->Font()->SetHeight(-11);
    panel->Font()->SetStyle(ui::fsBold);
    panel->Font()->SetColor(ui::clWindowText);
    panel->SetParent(window);
    return panel;
}

StatusText::StatusText(ui::TForm* window, const std::string& text)
    : panel_(FindPart<controls::TMessagePanel>(window, kStatusPanelName)) {
    if (!panel_) return;
    panel_->SetCaption(text);
    panel_->Center();
    panel_->BringToFront();
    panel_->Show();
    // The operation keeps the loop from turning: the text shows now.
    panel_->Repaint();
    ui::Application().ProcessMessages(platform::EventFilter::Paint);
}

StatusText::~StatusText() {
    if (panel_) panel_->Hide();
}

}  // namespace demo
