// The main window's gradient title bar.
#include "examples/main_window_parts.hpp"

namespace demo {

controls::TCvGradientCaption* AddGradientCaption(ui::TForm* window) {
    auto* caption = new controls::TCvGradientCaption(window);
    caption->SetName(kCaptionName);
    // As every window's layout has it: not the system's caption font but this one.
    caption->SetDefaultFont(false);
    ui::TFont* font = caption->Font();
    font->SetName("Tahoma");
    font->SetHeight(-11);
    font->SetStyle(ui::fsBold);
    font->SetColor(ui::clCaptionText);
    caption->SetFormCaption(window->Caption());
    return caption;
}

}  // namespace demo
