#pragma once
// Drop-down windows: a bordered popup under an editor control that never
// takes the activation (the editor's form stays active and the editor keeps
// the focus) and closes by the rules of drop-downs:
// - the editor loses the focus to a window outside the drop-down;
// - the editor hears of a cancel mode (CM_CANCELMODE) from a control other
//   than itself, the drop-down, what lies inside it and the drop button;
// - the system cancels modes (WM_CANCELMODE) for the editor or the drop-down;
// - a press anywhere outside the drop-down (its frame, another control, a
//   title bar, another form); the press goes on to where it landed;
// - a press on the drop button closes it accepting, and that press is not
//   delivered, so the button does not open the drop-down again;
// - a left-button release in the drop-down after a press in it (which took
//   the mouse capture) closes it, accepting when the pointer is inside.
// All but the drop button's and the release close it without accepting.
#include <functional>

#include "framework/ui/controls.hpp"

namespace ui {

using TCloseUpEvent = std::function<void(TObject* sender, bool accept)>;

class TDropDownWindow : public TCustomControl {
public:
    TDropDownWindow(TComponent* owner, TWinControl* editor);
    ~TDropDownWindow() override;
    std::string ClassName() const override { return "TDropDownWindow"; }
    void BeforeDestruction() override;

    TWinControl* Editor() const { return editor_; }
    // The control that opens and closes the drop-down (the editor's button).
    ComponentRef<TControl> DropButton;
    bool Dropped() const { return dropped_; }

    // Shows the window with its top-left at `origin` (screen), keeping its
    // size and not activating it.
    void DropDownAt(TPoint origin);
    // Hides it without moving or activating anything; OnCloseUp hears of
    // it once. Nothing happens while it is not dropped.
    virtual void CloseUp(bool accept);
    TCloseUpEvent OnCloseUp;

    void WndProc(TMessage& m) override;
    void Notification(TComponent* component, TOperation op) override;
    // The program's loop hands every press here first; true when it is the
    // drop button's press, which is not to be delivered.
    static bool FilterPress(const MSG& msg);

protected:
    void CreateParams(ui::CreateParams& p) override;
    void MouseUp(TMouseButton b, TShiftState s, int x, int y) override;

private:
    // The editor's messages while dropped.
    void EditorMessage(TMessage& m);
    bool Inside(HWND h) const;
    bool IsDropButton(const MSG& msg) const;
    void Watch(bool on);

    TWinControl* editor_;
    bool dropped_ = false;
    std::function<void(TMessage&)> editor_proc_;  // the editor's own while it is watched
};

}  // namespace ui
