#pragma once
// Controls: graphic controls drawn by their parent, windowed controls with a
// window handle made on demand, custom-drawn controls and panels.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "framework/ui/classes.hpp"
#include "framework/ui/graphics.hpp"
#include "framework/ui/resources.hpp"
#include "framework/ui/window.hpp"

namespace ui {

// The class library's own messages.
// clang-format off
enum ControlMessage : UINT {
    CM_BASE = 0xB000, CM_ACTIVATE = CM_BASE + 0, CM_DEACTIVATE = CM_BASE + 1, CM_GOTFOCUS = CM_BASE + 2,
    CM_LOSTFOCUS = CM_BASE + 3, CM_PARENTFONTCHANGED = CM_BASE + 8, CM_PARENTCOLORCHANGED = CM_BASE + 9,
    CM_VISIBLECHANGED = CM_BASE + 11, CM_ENABLEDCHANGED = CM_BASE + 12, CM_COLORCHANGED = CM_BASE + 13,
    CM_FONTCHANGED = CM_BASE + 14, CM_CURSORCHANGED = CM_BASE + 15, CM_TEXTCHANGED = CM_BASE + 18,
    CM_MOUSEENTER = CM_BASE + 19, CM_MOUSELEAVE = CM_BASE + 20, CM_SHOWINGCHANGED = CM_BASE + 25,
    CM_ENTER = CM_BASE + 26, CM_EXIT = CM_BASE + 27, CM_RELEASE = CM_BASE + 33,
    CM_SYSCOLORCHANGE = CM_BASE + 36, CM_UIACTIVATE = CM_BASE + 41, CM_UIDEACTIVATE = CM_BASE + 42,
    CM_CANCELMODE = CM_BASE + 4, CM_SHOWHINTCHANGED = CM_BASE + 22, CM_PARENTSHOWHINTCHANGED = CM_BASE + 23,
    CM_HINTSHOW = CM_BASE + 48,
    CM_DIALOGKEY = CM_BASE + 5, CM_DIALOGCHAR = CM_BASE + 6, CM_FOCUSCHANGED = CM_BASE + 7,
    CM_WANTSPECIALKEY = CM_BASE + 16, CM_CHILDKEY = CM_BASE + 44,
};
// Messages a parent hands back to the child control they came from: the
// notification's number plus CN_BASE.
enum : UINT {
    CN_BASE = 0xBC00, CN_COMMAND = CN_BASE + WM_COMMAND, CN_HSCROLL = CN_BASE + WM_HSCROLL,
    CN_VSCROLL = CN_BASE + WM_VSCROLL, CN_KEYDOWN = CN_BASE + WM_KEYDOWN, CN_CHAR = CN_BASE + WM_CHAR,
    CN_SYSKEYDOWN = CN_BASE + WM_SYSKEYDOWN, CN_SYSCHAR = CN_BASE + WM_SYSCHAR,
    // Owner drawing (owner_draw.hpp) and a list's colours, back from the parent.
    CN_DRAWITEM = CN_BASE + 0x002B, CN_MEASUREITEM = CN_BASE + 0x002C, CN_CTLCOLORLISTBOX = CN_BASE + 0x0134,
};
// clang-format on

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TMouseButton { mbLeft, mbRight, mbMiddle };
enum TShiftFlag : unsigned {
    ssShift = 1,
    ssAlt = 2,
    ssCtrl = 4,
    ssLeft = 8,
    ssRight = 16,
    ssMiddle = 32,
    ssDouble = 64
};
using TShiftState = unsigned;

// clang-format off
enum ControlStateFlag : unsigned {
    csLButtonDown = 0x1, csClicked = 0x2, csFocusing = 0x20, csCreating = 0x40, csPaintCopy = 0x80,
    csDestroyingHandle = 0x200,
};
// clang-format on
// clang-format off
enum ControlStyleFlag : unsigned {
    csAcceptsControls = 0x1, csCaptureMouse = 0x2, csClickEvents = 0x8, csSetCaption = 0x20,
    csOpaque = 0x40, csDoubleClicks = 0x80, csReplicatable = 0x1000,
};
// clang-format on

// Cursor numbers of the screen's cursor table.
// clang-format off
enum TCursorId : int { crDefault = 0, crArrow = -2, crCross = -3, crIBeam = -4, crHourGlass = -11,
                       crNo = -12, crHandPoint = -21 };

using TMouseEvent = std::function<void(TObject* sender, TMouseButton, TShiftState, int x, int y)>;
using TMouseMoveEvent = std::function<void(TObject* sender, TShiftState, int x, int y)>;
using TKeyEvent = std::function<void(TObject* sender, UINT& key, TShiftState)>;
using TKeyPressEvent = std::function<void(TObject* sender, char& key)>;

class TWinControl;
class TPopupMenu;

class TControl : public TComponent {
public:
    explicit TControl(TComponent* owner);
    ~TControl() override;
    std::string ClassName() const override { return "TControl"; }
    void BeforeDestruction() override;

    TWinControl* Parent() const { return parent_; }
    virtual void SetParent(TWinControl* parent);
    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
    void SetTop(int v) { SetBounds(left_, v, width_, height_); }
    void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
    void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
    virtual void SetBounds(int left, int top, int width, int height);
    TRect BoundsRect() const { return Bounds(left_, top_, width_, height_); }
    virtual TRect ClientRect();
    int ClientWidth() { return ClientRect().Width(); }
    int ClientHeight() { return ClientRect().Height(); }
    void SetClientSize(int w, int h);
    // Scales place, size and own font by m / d, and so every control inside
    // (a form laid out at one resolution shown at another).
    void ScaleBy(int m, int d);
    virtual TPoint ClientOrigin();
    TPoint ClientToScreen(TPoint p) {
        TPoint o = ClientOrigin();
        return {p.x + o.x, p.y + o.y};
    }
    TPoint ScreenToClient(TPoint p) {
        TPoint o = ClientOrigin();
        return {p.x - o.x, p.y - o.y};
    }

    bool Visible() const { return visible_; }
    void SetVisible(bool v);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    // Visible here and in every parent up to a shown window.
    virtual bool Showing() const;
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool v);
    const std::string& Caption() const { return text_; }
    void SetCaption(const std::string& v) { SetText(v); }
    virtual std::string GetText() const { return text_; }
    virtual void SetText(const std::string& v);
    TColor Color() const { return color_; }
    void SetColor(TColor v);
    bool ParentColor() const { return parent_color_; }
    void SetParentColor(bool v);
    TFont* Font() const { return font_.get(); }
    void SetFont(TFont* f) { font_->Assign(f); }
    bool ParentFont() const { return parent_font_; }
    void SetParentFont(bool v);
    TAlign Align() const { return align_; }
    void SetAlign(TAlign v);
    int Cursor() const { return cursor_; }
    void SetCursor(int v) { cursor_ = v; }
    // The hint, shown when ShowHint is on; ParentShowHint makes ShowHint
    // follow the parent's.
    std::string Hint;
    // The menu a right click pops up (empty once it is freed).
    TPopupMenu* PopupMenu() const { return popup_menu_; }
    void SetPopupMenu(TPopupMenu* menu);
    bool ShowHint() const { return show_hint_; }
    void SetShowHint(bool v);
    bool ParentShowHint() const { return parent_show_hint_; }
    void SetParentShowHint(bool v);
    // The help topic's context number; 0: the parent's holds (F1, the
    // title bar's help button and Help buttons ask for it).
    int HelpContext = 0;
    // This control's context, else the nearest parent's; 0 when none has one.
    int InheritedHelpContext() const;

    unsigned ControlState = 0;
    unsigned ControlStyle = csCaptureMouse | csClickEvents | csSetCaption | csDoubleClicks;

    LRESULT Perform(UINT msg, WPARAM w = 0, LPARAM l = 0);
    // The message handler in use; WndProc by default. Replacing it hooks the control.
    std::function<void(TMessage&)> WindowProc;
    virtual void WndProc(TMessage& m);
    virtual void DefaultHandler(TMessage&) {}

    virtual void Invalidate();
    virtual void Update();
    void Repaint();
    void Refresh() { Repaint(); }
    void BringToFront();
    void SendToBack();
    virtual void Click();

    TNotifyEvent OnClick, OnDblClick, OnMouseEnter, OnMouseLeave;
    TMouseEvent OnMouseDown, OnMouseUp;
    TMouseMoveEvent OnMouseMove;

protected:
    friend class TWinControl;
    virtual void MouseDown(TMouseButton b, TShiftState s, int x, int y);
    virtual void MouseUp(TMouseButton b, TShiftState s, int x, int y);
    virtual void MouseMove(TShiftState s, int x, int y);
    virtual void DblClick();
    virtual void Changed() {}
    void InvalidateControl(bool was_visible, bool opaque);

    TWinControl* parent_ = nullptr;
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    bool visible_ = true, enabled_ = true;
    std::string text_;
    TColor color_ = clWindow;
    bool parent_color_ = false, parent_font_ = true;
    bool show_hint_ = false, parent_show_hint_ = true;
    std::unique_ptr<TFont> font_;
    TAlign align_ = alNone;
    ComponentRef<TPopupMenu> popup_menu_;
    int cursor_ = crDefault;
};
// clang-format on

// The control under the mouse capture when it is a graphic control.
TControl* CaptureControl();
void SetCaptureControl(TControl* c);
TShiftState KeysToShiftState(WPARAM keys);
// Shift, Ctrl and Alt as the keys stand (what key messages carry).
TShiftState KeyboardShiftState();
// The WM_GETDLGCODE bit a control must answer to keep a dialog key (Tab,
// arrows, Enter, Escape) for itself; 0 for the other keys.
LRESULT DialogKeyMask(WPARAM key);

// A canvas on a control: during painting the paint DC, otherwise a DC on the
// control's area of its window.
class TControlCanvas final : public TCanvas {
public:
    explicit TControlCanvas(TControl* control) : control_(control) {}
    ~TControlCanvas() override;
    void SetPaintDC(DC* dc);  // nullptr: back to a DC of its own
    void FreeHandle();

    // Paints into `dc` for the scope's life with `font` (and a brush of
    // `color` when given); the canvas is locked meanwhile.
    class Painting {
    public:
        Painting(TControlCanvas& canvas, DC* dc, TFont* font, std::optional<TColor> color = std::nullopt);
        ~Painting();
        Painting(const Painting&) = delete;
        Painting& operator=(const Painting&) = delete;

    private:
        TControlCanvas& canvas_;
    };

protected:
    void CreateHandle() override;

private:
    TControl* control_;
    std::unique_ptr<DC> own_;
    HWND own_window_ = 0;
};

class TGraphicControl : public TControl {
public:
    explicit TGraphicControl(TComponent* owner);
    ~TGraphicControl() override;
    std::string ClassName() const override { return "TGraphicControl"; }
    TCanvas* Canvas() const { return canvas_.get(); }
    void WndProc(TMessage& m) override;

protected:
    virtual void Paint() {}
    std::unique_ptr<TControlCanvas> canvas_;
};

class TWinControl : public TControl {
public:
    explicit TWinControl(TComponent* owner);
    ~TWinControl() override;
    std::string ClassName() const override { return "TWinControl"; }
    void BeforeDestruction() override;

    HWND Handle();  // made on first use
    HWND WindowHandle() const { return handle_; }
    bool HandleAllocated() const { return handle_ != 0 && IsWindow(handle_); }
    void HandleNeeded() { Handle(); }
    void DestroyHandle();
    void RecreateWnd();
    static TWinControl* FromHandle(HWND h);

    const std::vector<TControl*>& Controls() const { return controls_; }  // back to front
    int ControlCount() const { return int(controls_.size()); }
    void InsertControl(TControl* c);
    void RemoveControl(TControl* c);
    TControl* ControlAtPos(TPoint p, bool allow_disabled);

    void SetBounds(int left, int top, int width, int height) override;
    TRect ClientRect() override;
    TPoint ClientOrigin() override;
    bool Showing() const override;
    void SetText(const std::string& v) override;
    std::string GetText() const override;

    void SetFocus();
    bool Focused() const;
    virtual bool CanFocus() const;
    bool TabStop = false;
    int TabOrder = 0;  // equal orders keep the order the controls came in
    // The windowed controls inside, depth first, each parent's in tab order.
    void GetTabOrderList(std::vector<TWinControl*>& list);
    // The control after (or before) `current` in tab order that can take the
    // focus, going round; nullptr when there is none.
    TWinControl* FindNextControl(TWinControl* current, bool forward, bool check_tab_stop);
    void SelectNext(TWinControl* current, bool forward, bool check_tab_stop);
    // Hands `m` to every control inside, depth first, until one sets a result.
    void Broadcast(TMessage& m);

    void Invalidate() override;
    void Update() override;
    // Paints the window itself (not its graphic controls) into `dc`.
    virtual void PaintWindow(DC* dc) { (void)dc; }
    // Paints the graphic controls from `first` (all when nullptr) into `dc`.
    void PaintControls(DC* dc, TControl* first);
    void AlignControls();
    TBrush* Brush() const { return brush_.get(); }
    void WndProc(TMessage& m) override;
    void DefaultHandler(TMessage& m) override;

    TNotifyEvent OnEnter, OnExit;
    TKeyEvent OnKeyDown, OnKeyUp;
    TKeyPressEvent OnKeyPress;

protected:
    virtual void CreateParams(CreateParams& p);
    virtual void CreateWnd();
    virtual void DestroyWnd();
    virtual void CreateHandleDone() {}
    // Puts changed style properties on the window that exists.
    void UpdateStyles();
    void UpdateShowing();
    void PaintHandler(TMessage& m);
    virtual void KeyDown(UINT& key, TShiftState s);
    virtual void KeyUp(UINT& key, TShiftState s);
    virtual void KeyPress(char& key);
    // A key message through KeyDown, KeyUp or KeyPress, with the key they
    // leave; true when they ate it (set it to 0).
    bool DoKeyDown(TMessage& m);
    bool DoKeyUp(TMessage& m);
    bool DoKeyPress(TMessage& m);
    // The control's font given to its window, if it has one.
    void SendFont(bool redraw) const;
    // A WM_CTLCOLOR answer (the DC in `dc`): the font's and the control's colours.
    LRESULT ControlColors(WPARAM dc) const;
    HWND handle_ = 0;
    // A control over a standard class: the class paints and erases.
    bool class_paints_ = false;
    std::vector<TControl*> controls_;
    std::unique_ptr<TBrush> brush_;
    TControl* mouse_control_ = nullptr;
    bool mouse_inside_ = false;

private:
    friend class TControl;
    static void EnsureClass(const std::string& name, uint32_t style);
};

class TCustomControl : public TWinControl {
public:
    explicit TCustomControl(TComponent* owner);
    ~TCustomControl() override;
    std::string ClassName() const override { return "TCustomControl"; }
    TCanvas* Canvas() const { return canvas_.get(); }
    void PaintWindow(DC* dc) override;

protected:
    virtual void Paint() {}
    std::unique_ptr<TControlCanvas> canvas_;
};

enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };
enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
using TBorderStyle = TFormBorderStyle;

class TCustomPanel : public TCustomControl {
public:
    explicit TCustomPanel(TComponent* owner);
    std::string ClassName() const override { return "TCustomPanel"; }
    TBevelCut BevelInner() const { return bevel_inner_; }
    void SetBevelInner(TBevelCut v);
    TBevelCut BevelOuter() const { return bevel_outer_; }
    void SetBevelOuter(TBevelCut v);
    int BevelWidth() const { return bevel_width_; }
    void SetBevelWidth(int v);
    int BorderWidth() const { return border_width_; }
    void SetBorderWidth(int v);
    TBorderStyle BorderStyle() const { return border_style_; }
    void SetBorderStyle(TBorderStyle v);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment v);
    bool Ctl3D = true;

protected:
    void CreateParams(ui::CreateParams& p) override;
    void Paint() override;

private:
    TBevelCut bevel_inner_ = bvNone, bevel_outer_ = bvRaised;
    int bevel_width_ = 1, border_width_ = 0;
    TBorderStyle border_style_ = bsNone;
    TAlignment alignment_ = taCenter;
};

class TPanel : public TCustomPanel {
public:
    using TCustomPanel::TCustomPanel;
    std::string ClassName() const override { return "TPanel"; }
};

// A hidden window whose messages go to `proc` (class "TPUtilWindow").
HWND AllocateHWnd(std::function<void(TMessage&)> proc);
void DeallocateHWnd(HWND h);

class TTimer : public TComponent {
public:
    explicit TTimer(TComponent* owner);
    ~TTimer() override;
    std::string ClassName() const override { return "TTimer"; }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool v);
    unsigned Interval() const { return interval_; }
    void SetInterval(unsigned v);
    void SetOnTimer(TNotifyEvent e);

private:
    void UpdateTimer();
    HWND window_ = 0;
    bool enabled_ = true;
    unsigned interval_ = 1000;
    TNotifyEvent on_timer_;
};

}  // namespace ui
