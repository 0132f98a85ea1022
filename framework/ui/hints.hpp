#pragma once
// Hints: the small window that shows a control's hint, the information a
// control may change before it shows (CM_HINTSHOW), and the hint window class
// the application makes its hint window of. The application's part (pauses,
// timers, which control's hint shows) is in application.hpp.
#include <string>

#include "framework/ui/controls.hpp"

namespace ui {

class THintWindow;

// Makes a hint window; the program replaces the class to change the look of
// every hint (SetHintWindowClass(&NewHintWindow<TMyHint>)).
using THintWindowClass = THintWindow* (*)(TComponent* owner);
template <class T>
THintWindow* NewHintWindow(TComponent* owner) {
    return new T(owner);
}
THintWindowClass HintWindowClass();
void SetHintWindowClass(THintWindowClass cls);

// What CM_HINTSHOW hands to the control (LParam) and OnShowHint to the
// program: a control may change the text, the place, the colour, the area
// within which the hint stays (its own client coordinates), the pauses and
// the class.
struct THintInfo {
    TControl* HintControl = nullptr;
    THintWindowClass HintWindowClass = nullptr;
    TPoint HintPos;  // screen: where the hint's top-left goes
    int HintMaxWidth = 0;
    TColor HintColor = clInfoBk;
    TRect CursorRect;  // the control's client coordinates
    TPoint CursorPos;  // the control's client coordinates
    int ReshowTimeout = 0;
    int HideTimeout = 0;  // 0: the hint stays until the pointer leaves
    std::string HintStr;
    void* HintData = nullptr;
};

// The hint text before the first "|", and after it (the whole text without one).
std::string GetShortHint(const std::string& hint);
std::string GetLongHint(const std::string& hint);

// A borderless-looking top-level window that never takes the activation: a
// one-pixel frame, the info colours and the hint's text.
class THintWindow : public TCustomControl {
public:
    explicit THintWindow(TComponent* owner);
    std::string ClassName() const override { return "THintWindow"; }

    // The size the hint needs (left and top 0), no wider than `max_width`.
    virtual TRect CalcHintRect(int max_width, const std::string& hint, void* data);
    // Shows the hint in `rect` (screen), kept on the screen, without activating.
    virtual void ActivateHint(TRect rect, const std::string& hint);
    virtual void ActivateHintData(TRect rect, const std::string& hint, void* data);
    // Hides the window.
    void ReleaseHandle();
    void WndProc(TMessage& m) override;

protected:
    void CreateParams(ui::CreateParams& p) override;
    void Paint() override;
};

}  // namespace ui
