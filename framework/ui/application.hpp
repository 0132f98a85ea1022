#pragma once
// The application: the message loop, exceptions that reach it, help, the
// program's icon, hints, and the hooks on its main window. Forms and the
// screen are in forms.hpp.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/ui/controls.hpp"
#include "framework/ui/hints.hpp"
#include "platform/events.hpp"

namespace ui {

class TCustomForm;

using TShowHintEvent = std::function<void(std::string& hint, bool& can_show, THintInfo& info)>;
namespace detail {
struct HintState;
}

class TApplication {
public:
    TApplication();
    ~TApplication();
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;
    // Dispatches every waiting message (only paint and timer messages with
    // that filter); what arrives meanwhile waits for the next call.
    void ProcessMessages(platform::EventFilter filter = platform::EventFilter::All);
    // Handles one message, or idles and waits for one; false when nothing can arrive.
    bool HandleMessage();
    void Run();
    void Terminate();
    bool Terminated() const { return terminated_; }
    void ResetTerminated() { terminated_ = false; }
    // An exception that reached the message loop: the silent abort is
    // swallowed, anything else shown in a message box.
    void HandleException(const std::exception& e);

    TCustomForm* MainForm = nullptr;
    std::string Title = "Corvanta";
    // Help requests go to the application's help event, or else to the
    // framework's own help engine (help.hpp); true when one served it.
    bool HelpContext(int context);
    bool HelpCommand(unsigned command, intptr_t data);
    // The program's icon: "MAINICON" of its resources, else empty.
    TIcon* Icon();
    std::function<void(bool& done)> OnIdle;
    std::function<void(MSG&, bool& handled)> OnMessage;

    // Hints (application_hints.cpp). The hint of the control under the pointer shows
    // after HintPause, or after HintShortPause when the pointer comes from
    // another control whose hint was showing, and hides after HintHidePause;
    // a press or a key ends it until the pointer moves on.
    bool ShowHint() const { return show_hint_; }
    // Off frees the hint window; the next one is made of the hint window
    // class in force then.
    void SetShowHint(bool v);
    int HintPause = 500, HintShortPause = 50, HintHidePause = 2500;
    TColor HintColor = clInfoBk;
    // The long hint of the control under the pointer; OnHint tells of a change.
    const std::string& Hint() const { return hint_; }
    void SetHint(const std::string& v);
    TNotifyEvent OnHint;
    TShowHintEvent OnShowHint;
    // Every control hands its mouse messages here.
    void HintMouseMessage(TControl* control, const TMessage& m);
    // Shows the pending control's hint for the pointer at `cursor` (screen).
    void ActivateHint(TPoint cursor);
    void CancelHint();
    THintWindow* HintWindow() const;  // nullptr until a hint was shown
    void ControlDestroying(TControl* control);
    void ResetHints();  // UiReset

    // A change of the user's regional settings (settings_change.cpp): with
    // UpdateFormatSettings on, the short date format and separator in force
    // become the user's new ones first; then the hooks on the application's
    // main window and every top-level window hear WM_WININICHANGE.
    bool UpdateFormatSettings = true;
    using TWindowHook = std::function<bool(TMessage& m)>;  // true: handled, later hooks skipped
    int HookMainWindow(TWindowHook hook);
    void UnhookMainWindow(int id);
    void SettingsChanged();

private:
    bool ProcessMessage(MSG& msg, UINT flags);
    // Keys and presses on frames end a pending or showing hint.
    void CheckHintMessage(const MSG& msg);
    // Keys a control's form takes as dialog keys (Tab, Enter, Escape, accelerators).
    bool IsKeyMsg(const MSG& msg);
    bool terminated_ = false;
    std::unique_ptr<TIcon> icon_;
    bool show_hint_ = true;
    std::string hint_;
    std::unique_ptr<detail::HintState> hints_;
    std::vector<std::pair<int, TWindowHook>> window_hooks_;
    int next_hook_ = 1;
    int regional_listener_ = 0;
};
TApplication& Application();

// Whether the active window is one of this program's top-level windows.
bool ApplicationWindowActive();

}  // namespace ui
