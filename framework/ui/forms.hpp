#pragma once
// Forms and the screen: top-level windows, the active form, the cursor table
// and modal loops; with the application (application.hpp), whose message
// loop runs them.
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "framework/ui/application.hpp"
#include "framework/ui/controls.hpp"

namespace ui {

class TMainMenu;

enum TBorderIcon : unsigned { biSystemMenu = 1, biMinimize = 2, biMaximize = 4, biHelp = 8 };
enum TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
// clang-format off
enum TPosition { poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter, poDesktopCenter,
                 poMainFormCenter, poOwnerFormCenter };
enum TCloseAction { caNone, caHide, caFree, caMinimize };
enum TModalResult : int { mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5,
                          mrYes = 6, mrNo = 7, mrAll = 8, mrNoToAll = 9, mrYesToAll = 10 };

class TCustomForm : public TWinControl {
public:
    explicit TCustomForm(TComponent* owner);
    ~TCustomForm() override;
    std::string ClassName() const override { return "TCustomForm"; }
    void BeforeDestruction() override;

    TFormBorderStyle BorderStyle() const { return border_style_; }
    void SetBorderStyle(TFormBorderStyle v);
    unsigned BorderIcons() const { return border_icons_; }
    void SetBorderIcons(unsigned v);
    TFormStyle FormStyle() const { return form_style_; }
    void SetFormStyle(TFormStyle v);
    TPosition Position = poDesigned;
    // The form's OnKeyDown sees every key of its controls first, dialog keys
    // (Tab, Enter, Escape) included; a key it clears goes no further.
    bool KeyPreview = false;
    bool PreviewKeyDown(UINT& key, TShiftState shift);
    TIcon* Icon() const { return icon_.get(); }
    TCanvas* Canvas() const { return canvas_.get(); }
    TWinControl* ActiveControl() const { return active_control_; }
    void SetActiveControl(TWinControl* c);
    int ModalResult() const { return modal_result_; }
    void SetModalResult(int v) { modal_result_ = v; }
    bool Active() const;
    bool Modal() const { return in_modal_; }
    // The main menu the form shows as its menu bar (free-notified).
    TMainMenu* Menu() const { return menu_; }
    void SetMenu(TMainMenu* menu);
    void Notification(TComponent* component, TOperation op) override;
    // A control on the form took the focus: it is the active control now,
    // and every control hears of it (CM_FOCUSCHANGED).
    void FocusChanged(TWinControl* control);

    void Show();
    void Close();
    // Ends modes such as an open drop-down: the focused control (or else the
    // active control) gets CM_CANCELMODE with `sender`, the control pressed,
    // in LParam. Every left-button press on a control sends it.
    void SendCancelMode(TControl* sender);
    // Runs a modal loop until ModalResult is set. Returns mrAbort at once
    // when nothing could ever end the loop (no window to click, no timer, no
    // message on its way).
    int ShowModal();
    // Frees the form once the messages already queued are handled.
    void Release();
    bool Showing() const override;
    void PaintWindow(DC* dc) override;
    void WndProc(TMessage& m) override;

    TNotifyEvent OnShow, OnHide, OnActivate, OnDeactivate, OnPaint, OnCreate, OnDestroy;
    std::function<void(TObject*, TCloseAction&)> OnClose;
    std::function<void(TObject*, bool&)> OnCloseQuery;

protected:
    void CreateParams(ui::CreateParams& p) override;
    void CreateHandleDone() override;
    void Center(TCustomForm* over);

private:
    void UpdateWindowIcon();
    // WM_HELP: the help context of the window asked about, or of its parents.
    void Help(const HELPINFO& info);
    TFormBorderStyle border_style_ = bsSizeable;
    unsigned border_icons_ = biSystemMenu | biMinimize | biMaximize;
    TFormStyle form_style_ = fsNormal;
    std::unique_ptr<TIcon> icon_;
    std::unique_ptr<TControlCanvas> canvas_;
    TWinControl* active_control_ = nullptr;
    TMainMenu* menu_ = nullptr;
    int modal_result_ = 0;
    bool in_modal_ = false;
};
// clang-format on

// The form a control sits on (the control itself for a form); nullptr when none.
TCustomForm* GetParentForm(TControl* control);

class TForm : public TCustomForm {
public:
    using TCustomForm::TCustomForm;
    std::string ClassName() const override { return "TForm"; }
};

class TScreen {
public:
    // The cursor in a slot; the default cursor for an empty slot.
    HCURSOR Cursors(int index);
    void SetCursors(int index, HCURSOR cursor);
    int Cursor() const { return cursor_; }
    // Shown at once over every window of the program (crDefault: each control's own).
    void SetCursor(int v);
    TCustomForm* ActiveForm() const { return active_form_; }
    const std::vector<TCustomForm*>& Forms() const { return forms_; }
    int FormCount() const { return int(forms_.size()); }
    int Width() const;
    int Height() const;
    // The screen's resolution; forms are laid out for kPixelsPerInch. Tests
    // set another to see controls scale.
    int PixelsPerInch() const { return pixels_per_inch_; }
    void SetPixelsPerInch(int v) { pixels_per_inch_ = v > 0 ? v : kPixelsPerInch; }

    void AddForm(TCustomForm* f);
    void RemoveForm(TCustomForm* f);
    void SetActiveForm(TCustomForm* f);
    void Reset();  // UiReset: no active form, the default cursor

private:
    std::map<int, HCURSOR> cursors_;
    int cursor_ = crDefault;
    TCustomForm* active_form_ = nullptr;
    std::vector<TCustomForm*> forms_;
    int pixels_per_inch_ = kPixelsPerInch;
};
TScreen& Screen();

// A form's handling of its main menu's messages; true when handled.
bool FormMenuMessage(TCustomForm* form, TMessage& m);
// A key that is a shortcut of the popup menu of the control or one of its
// parents, or of its form's main menu: the item is clicked and true returned.
bool IsMenuKey(TControl* control, UINT key, TShiftState shift);

}  // namespace ui
