#pragma once
// Parts of the program's main window beyond the grid and the navigator, one
// function each, called by the window's constructor: the gradient title
// bar, a bar of speed buttons for the navigator's actions, the message panel
// for status texts and help from the program's help file. Every part is a
// component the window owns, found again by its name.
#include <memory>
#include <string>

#include "controls/cvgrdcpt.hpp"
#include "controls/hh_funcs.hpp"
#include "controls/msgpanel.hpp"
#include "engine/grid/tznavigator.hpp"
#include "framework/ui/forms.hpp"
#include "platform/process.hpp"

namespace demo {

constexpr const char* kCaptionName = "GradientCaption";
constexpr const char* kSpeedBarName = "SpeedBar";
constexpr const char* kStatusPanelName = "StatusPanel";
constexpr const char* kHelpName = "HelpSystem";

// The part of `window` called `name`, nullptr when it has none of that type.
template <class T>
T* FindPart(ui::TComponent* window, const std::string& name) {
    for (ui::TComponent* c : window->Components())
        if (c->Name() == name) return dynamic_cast<T*>(c);
    return nullptr;
}

// The title bar painted by a gradient caption with the window's title, in
// the bold Tahoma every window of the program has.
controls::TCvGradientCaption* AddGradientCaption(ui::TForm* window);

// A bar along the window's top with a speed button for each of the
// navigator's buttons: its glyph and hint, enabled as the navigator's
// button is, and a click does what a click on that button does. The
// buttons are named after the glyphs ("CV_FIRST", ...).
ui::TPanel* AddSpeedBar(ui::TForm* window, zurod::TTzNavigator* navigator);

// The hidden panel that status texts show in while an operation runs.
controls::TMessagePanel* AddStatusPanel(ui::TForm* window);
// Shows `text` in the window's status panel, centred over the active form
// and painted at once, until the scope ends; nothing without a panel.
class StatusText {
public:
    StatusText(ui::TForm* window, const std::string& text);
    ~StatusText();
    StatusText(const StatusText&) = delete;
    StatusText& operator=(const StatusText&) = delete;

private:
    controls::TMessagePanel* panel_;
};

// Help: F1 and the window's Help requests open the program's help file (the
// program file's path with ".CHM") at the window's help context, through the
// help hook in mode 0, for as long as the window lives.
constexpr int kMainHelpContext = 10;
class THelpPart final : public ui::TComponent {
public:
    THelpPart(ui::TForm* window, const std::string& help_file);
    std::string ClassName() const override { return "THelpPart"; }
    controls::THookHelpSystem& Hook() { return hook_; }

private:
    controls::THookHelpSystem hook_;
};
// `help_file` empty: the program's.
THelpPart* AddHelp(ui::TForm* window, const std::string& help_file = "");

// When the environment names a file in CORVANTA_HELP_LAUNCH_LOG, the
// programs help would start are written to it instead, one a line (the
// arguments separated by tabs), so a test sees the request without a viewer.
constexpr const char* kHelpLaunchLogVariable = "CORVANTA_HELP_LAUNCH_LOG";
std::unique_ptr<platform::ProcessLauncher> HelpLaunchLogFromEnvironment();

}  // namespace demo
