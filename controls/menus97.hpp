#pragma once
// Owner-drawn menus: a component turns every item of an ordinary popup menu
// (or a form's main menu) into an owner-drawn item and paints it itself,
// with its own fonts, a highlight bar, raised and sunken boxes around check
// marks and images, embossed disabled items, right-aligned shortcut texts
// and, down the left side of a popup, a banner with a colour gradient and a
// caption written bottom to top.
//
// Each converted item carries the component as its item data; the measure
// and draw requests go to the window that tracks the menu (the popup list's
// hidden window for popup menus, the form for its main menu), which the
// components hook and whose requests they hand to the component the item
// data names. The main-menu variant can also stand a panel of flat buttons
// in for the form's menu bar.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/cvhook.hpp"
#include "controls/cvspeedbtn.hpp"
#include "framework/ui/menus.hpp"
#include "framework/ui/owner_draw.hpp"

namespace controls {

enum TBannerJustification { bjCenter, bjTop, bjBottom };
enum TMenus97Look { mlOffice97Look, mlIE4Look };

// States are the ODS_ bits of the draw request. True: the handler drew the item.
using TDrawMenuItemEvent =
    std::function<bool(ui::TMenu* control, ui::TMenuItem* item, const ui::TRect& rect, unsigned state)>;
// The hint to use for the item.
using TMenuHintEvent = std::function<std::string(ui::TMenu* control, ui::TMenuItem* item, const std::string& hint)>;
using TMeasureMenuItemEvent = std::function<void(ui::TMenu* control, ui::TMenuItem* item, int& height, int& width)>;

// Item tags: 0..255 the image's index in Images, -2 no image, -1 a
// top-level item of a main menu, 256 and more a top-level item with the
// image Tag - 256.
constexpr intptr_t kNoImageTag = -2, kTopLevelTag = -1, kTopLevelImageTag = 256;

// A canvas drawing on a DC it borrows for one request.
class TBorrowedCanvas : public ui::TCanvas {
public:
    void Lend(ui::DC* dc) { SetHandle(dc); }
};

class TCustomMenus97 : public ui::TComponent {
public:
    explicit TCustomMenus97(ui::TComponent* owner);
    ~TCustomMenus97() override;
    std::string ClassName() const override { return "TCustomMenus97"; }
    void BeforeDestruction() override;

    ui::TCustomImageList* Images() const { return images_; }
    void SetImages(ui::TCustomImageList* images);
    ui::TCanvas* Canvas() const { return canvas_.get(); }
    ui::TFont* Font() const { return font_.get(); }
    void SetFont(ui::TFont* font);
    ui::TFont* HiliteFont() const { return hilite_font_.get(); }
    void SetHiliteFont(ui::TFont* font);
    ui::TBrush* Brush() const { return brush_.get(); }
    void SetBrush(ui::TBrush* brush) { brush_->Assign(brush); }
    ui::TFont* BannerFont() const { return banner_font_.get(); }
    void SetBannerFont(ui::TFont* font) { banner_font_->Assign(font); }
    bool DefaultFont() const { return default_font_; }
    void SetDefaultFont(bool v);
    TMenus97Look Menus97Look() const { return look_; }
    void SetMenus97Look(TMenus97Look v);
    ui::TMenu* Menu() const { return menu_; }

    int ItemHeight = 0, ItemWidth = 0;  // 0: computed
    ui::TColor HiliteBar = ui::clHighlight;
    bool Banner = false;
    std::string BannerText;
    int BannerWidth = 20;
    ui::TColor BannerColor = ui::clActiveCaption, BannerEndColor = 0;
    int BannerNumColors = 16;
    TBannerJustification BannerJustification = bjCenter;
    int BannerImage = -1;  // 0 or more keeps the banner's foot for that image of Images
    TDrawMenuItemEvent OnDrawItem;
    TMenuHintEvent OnHint;
    TMeasureMenuItemEvent OnMeasureItem;

    // The room of a check mark or image (pixels).
    int CheckWidth() const { return check_width_; }
    int CheckHeight() const { return check_height_; }
    ui::TBitmap* CheckBitmap() const { return check_bitmap_.get(); }
    ui::TBitmap* RadioBitmap() const { return radio_bitmap_.get(); }
    // The banner's place in the menu window's client area (empty before a banner item was drawn).
    ui::TRect BannerRect() const { return banner_rect_; }
    ui::TBitmap* BannerBitmap() const { return banner_bitmap_.get(); }

    // Item tags: 0 becomes -2 for nested items and in popup menus, -1 for a
    // main menu's top-level items. The components never call it themselves.
    virtual void MarkMenuItems();

    void Notification(ui::TComponent* component, ui::TOperation op) override;

    // The component an item's data names, when it is a live one.
    static TCustomMenus97* FromItemData(uintptr_t data);
    // Measure and draw requests of converted items; true when answered.
    bool MeasureRequest(ui::MEASUREITEMSTRUCT& mis);
    bool DrawRequest(ui::DRAWITEMSTRUCT& dis);
    // A typed character: the matched item's position with the execute code,
    // 0 when no item of the menu being navigated matches.
    ui::LRESULT MenuCharResult(char c, ui::HMENU menu) const;

protected:
    virtual void SetMenu(ui::TMenu* menu);
    virtual void DrawItem(ui::TMenuItem* item, ui::TRect rect, unsigned state);
    // The size an item measures, before OnMeasureItem.
    virtual void MeasureItemEvent(ui::TMenuItem* item, int& height, int& width);
    virtual void ConvertItems(ui::TMenuItem* items, bool restore);
    virtual ui::TMenuItem* FindMenuItem(ui::UINT command) const;
    virtual void MarkItems(ui::TMenuItem* items, bool nested);
    virtual void FontChanged();
    virtual void HiliteFontChanged();
    virtual void BrushChanged() {}
    virtual void DrawTopLevelItem(ui::TMenuItem*, ui::TRect, unsigned) {}
    virtual void CalcBannerRect(ui::TMenuItem* item);
    virtual bool IsBannerItem(ui::TMenuItem* item) const;
    virtual int GetItemHeight() { return ItemHeight; }
    // The owner form's messages while a menu is attached; true when consumed.
    virtual bool FormWndProc(ui::TMessage& m);
    virtual void FormAfterMessage(ui::TMessage&) {}
    virtual bool IsPopupVariant() const { return false; }
    virtual void LookChanged() {}

    // Measuring and drawing (menus97_draw.cpp).
    ui::TSize TextSize(const std::string& text);
    int ComputeItemHeight(ui::TMenuItem* item);
    int ComputeItemWidth(ui::TMenuItem* item);
    void DrawBanner(ui::TRect& rect);
    void MakeBannerBitmap();
    void DrawMenuItemBody(ui::TMenuItem* item, ui::TRect rect, unsigned state);
    void DrawDisabledImage(int index, int left, int top);
    // The banner's rectangle from the screen places of a drop-down's items.
    void BannerRectFromMenu(ui::HMENU menu);
    // The system's menu font.
    static void AssignMenuFont(ui::TFont* font);

    ui::TCustomImageList* images_ = nullptr;
    std::unique_ptr<TBorrowedCanvas> canvas_;
    ui::ComponentRef<ui::TMenu> menu_;
    std::unique_ptr<ui::TFont> font_, hilite_font_, banner_font_;
    std::unique_ptr<ui::TBrush> brush_;
    TCvWindowHook* form_hook_ = nullptr;  // owned
    int check_width_ = 0, check_height_ = 0;
    std::unique_ptr<ui::TBitmap> check_bitmap_, radio_bitmap_, banner_bitmap_;
    TMenus97Look look_ = mlOffice97Look;
    ui::TRect banner_rect_;
    bool banner_dirty_ = true;
    bool default_font_ = true;
    bool window_list_built_ = false;
};

// Popup menus: the component hooks the popup list's hidden window, which it
// finds by asking each hidden window of that class for a probe item's hint.
class TCustomPopupMenus97 : public TCustomMenus97 {
public:
    explicit TCustomPopupMenus97(ui::TComponent* owner);
    ~TCustomPopupMenus97() override;
    std::string ClassName() const override { return "TCustomPopupMenus97"; }
    void BeforeDestruction() override;

    ui::TPopupMenu* PopupMenu() const { return static_cast<ui::TPopupMenu*>(menu_.get()); }
    void SetPopupMenu(ui::TPopupMenu* menu) { SetMenu(menu); }
    // The hooked window (0 while none was found).
    static ui::HWND UtilWindow();
    static int HookedCount();

protected:
    void CalcBannerRect(ui::TMenuItem* item) override;
    bool IsBannerItem(ui::TMenuItem* item) const override;
    bool IsPopupVariant() const override { return true; }
    // The hooked window's messages; true when answered here.
    virtual bool UtilWndProc(ui::HWND h, ui::UINT msg, ui::WPARAM w, ui::LPARAM l, const ui::NextProc& next,
                             ui::LRESULT& result);

private:
    void HookUtilWindow();
    void UnhookUtilWindow();
    ui::SubclassToken token_ = 0;
    ui::HWND hooked_window_ = 0;
};

class TPopupMenus97 : public TCustomPopupMenus97 {
public:
    using TCustomPopupMenus97::TCustomPopupMenus97;
    std::string ClassName() const override { return "TPopupMenus97"; }
};

class TCustomMenuBar97;
class TMenuSpeedButton;

// A form's main menu, the bar's own items included; with a menu bar panel
// attached (bar mode) the panel's flat buttons stand in for the bar.
class TCustomMainMenus97 : public TCustomMenus97 {
public:
    explicit TCustomMainMenus97(ui::TComponent* owner);
    ~TCustomMainMenus97() override;
    std::string ClassName() const override { return "TCustomMainMenus97"; }
    void BeforeDestruction() override;

    ui::TMainMenu* MainMenu() const { return static_cast<ui::TMainMenu*>(menu_.get()); }
    void SetMainMenu(ui::TMainMenu* menu) { SetMenu(menu); }
    // Attaches the panel (nullptr: none) and turns bar mode on or off; a
    // panel freed turns it off.
    void SetMenuBar(TCustomMenuBar97* panel);
    TCustomMenuBar97* MenuBar() const { return panel_; }
    bool BarMode() const { return panel_ != nullptr; }
    bool PopupOpen() const { return popup_open_; }
    bool InMenuLoop() const { return in_loop_; }
    // Lays the panel's buttons out again (the form's position changes do it too).
    void UpdateMenuBar();
    int GetItemHeight() override;

protected:
    void DrawTopLevelItem(ui::TMenuItem* item, ui::TRect rect, unsigned state) override;
    void CalcBannerRect(ui::TMenuItem* item) override;
    bool IsBannerItem(ui::TMenuItem* item) const override;
    bool FormWndProc(ui::TMessage& m) override;
    void FormAfterMessage(ui::TMessage& m) override;
    void FontChanged() override;
    void LookChanged() override { RedrawBar(); }
    void SetMenu(ui::TMenu* menu) override;

private:
    ui::HWND FormHandle() const;
    void RedrawBar();
    void ReconvertForeignItems();
    bool popup_open_ = false, outside_loop_ = true, in_loop_ = false;
    ui::ComponentRef<TCustomMenuBar97> panel_;
};

// The panel standing in for the menu bar, driven by the keys and the mouse
// like a bar.
class TCustomMenuBar97 : public ui::TCustomPanel {
public:
    explicit TCustomMenuBar97(ui::TComponent* owner);
    std::string ClassName() const override { return "TCustomMenuBar97"; }
    void WndProc(ui::TMessage& m) override;

    bool BarActive() const { return active_; }
    bool Dropped() const { return dropped_; }
    int CurrentIndex() const { return current_; }
    // The buttons, one per top-level item (some hidden).
    std::vector<TMenuSpeedButton*> Buttons() const;
    int VisibleButtonCount() const;

private:
    friend class TCustomMainMenus97;
    friend class TMenuSpeedButton;
    friend struct MenuBarAccess;
    TMenuSpeedButton* Button(int index) const;
    bool active_ = false, dropped_ = false;
    int current_ = 0;
};

// A flat button of the bar: a press opens its item's drop-down below it.
class TMenuSpeedButton : public TCvSpeedButton {
public:
    explicit TMenuSpeedButton(ui::TComponent* owner);
    std::string ClassName() const override { return "TMenuSpeedButton"; }
    void WndProc(ui::TMessage& m) override;

    ui::HMENU DropDownHandle() const { return ui::HMENU(Tag); }
    void SetDropDownHandle(ui::HMENU h) { Tag = intptr_t(h); }
    ui::HWND CommandWindow = 0;  // gets the menu's messages and commands
    bool Pressed() const { return pressed_; }

protected:
    void MouseDown(ui::TMouseButton b, ui::TShiftState s, int x, int y) override;
    void MouseUp(ui::TMouseButton b, ui::TShiftState s, int x, int y) override;

private:
    friend struct MenuBarAccess;
    friend class TCustomMenuBar97;
    bool pressed_ = false;
};

// What the bar's filter and the main-menu component change of a panel.
struct MenuBarAccess {
    static void SetDropped(TCustomMenuBar97* bar, bool v) { bar->dropped_ = v; }
    static void SetCurrent(TCustomMenuBar97* bar, int index) { bar->current_ = index; }
};

// The unit's values, in the library's state.
struct Menus97UnitState {
    std::vector<TCustomMenus97*> live;         // every component, for item data
    std::vector<TCustomPopupMenus97*> popups;  // popup components hooked into the util window
    ui::HWND util_window = 0;                  // the popup list's window, once found
    int hooked = 0;                            // popup components hooked into it
    bool windows_nt = true;
    TCustomMenuBar97* active_bar = nullptr;
    TMenuSpeedButton* active_button = nullptr;
    ui::HHOOK filter = 0;  // the message filter while a bar is active
};
Menus97UnitState& Menus97Unit();

}  // namespace controls
