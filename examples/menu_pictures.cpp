#include "examples/menu_pictures.hpp"

#include <deque>
#include <functional>

#include "controls/cvconst.hpp"
#include "controls/menus97.hpp"
#include "framework/ui/forms.hpp"

namespace {

using namespace ui;
using Steps = std::deque<std::function<void()>>;

TMenuItem* Item(TComponent* owner, TMenuItem* parent, const std::string& caption, TShortCut shortcut = 0) {
    auto* item = new TMenuItem(owner);
    item->SetCaption(caption);
    item->SetShortCut(shortcut);
    parent->Add(item);
    return item;
}

void Key(UINT vk, unsigned mods = 0) {
    InjectKey(vk, true, mods);
    InjectKey(vk, false, mods);
}

// The form with the drop-downs open over it, as the screen shows them.
SurfacePtr Composite(TForm* form) {
    auto picture = GetWindowSurface(form->WindowHandle())->Copy();
    const TRect f = GetWindowRect(form->WindowHandle());
    DC dc(picture);
    for (HWND h : OpenMenuWindows()) {
        const TRect r = GetWindowRect(h);
        DC src(GetWindowSurface(h));
        BitBlt(dc, r.left - f.left, r.top - f.top, r.Width(), r.Height(), &src, 0, 0, SRCCOPY);
    }
    return picture;
}

// Runs `start`, which opens a menu tracked for `window`, and one step each
// time the menu loop goes idle; the last step takes the picture.
bool Shoot(HWND window, const std::function<void()>& start, Steps steps, TForm* form, const std::string& path) {
    bool written = false;
    steps.push_back([&] {
        written = Composite(form)->WritePng(path);
        EndMenu();
    });
    auto queue = std::make_shared<Steps>(std::move(steps));
    const SubclassToken token =
        SubclassWindow(window, [queue](HWND h, UINT m, WPARAM w, LPARAM l, const NextProc& next) {
            if (m == WM_ENTERIDLE && !queue->empty()) {
                auto step = std::move(queue->front());
                queue->pop_front();
                step();
                return LRESULT(0);
            }
            return next(h, m, w, l);
        });
    start();
    Application().ProcessMessages();
    RemoveSubclass(window, token);
    return written;
}

Owned<TForm> NewForm(const std::string& caption, int w, int h) {
    auto form = Make<TForm>(nullptr);
    form->SetCaption(caption);
    form->SetBorderStyle(bsSingle);
    form->SetBounds(40, 40, w, h);
    return form;
}

// A popup menu with a banner, as the program's main window has one.
bool PopupPicture(const std::string& path) {
    auto form = NewForm("Owner-drawn popup menu", 330, 300);
    auto* popup = new TPopupMenu(form.get());
    TMenuItem* root = popup->Items();
    Item(form.get(), root, "&Debit...", ShortCut('D', ssCtrl));
    Item(form.get(), root, "&Credit...", ShortCut('R', ssCtrl));
    Item(form.get(), root, "&Transfer...");
    Item(form.get(), root, "-");
    Item(form.get(), root, "Show &balances")->SetChecked(true);
    TMenuItem* sort = Item(form.get(), root, "&Sort by");
    Item(form.get(), sort, "&Date")->SetRadioItem(true);
    Item(form.get(), sort, "&Amount")->SetRadioItem(true);
    Item(form.get(), root, "&Post planned")->SetEnabled(false);
    Item(form.get(), root, "-");
    Item(form.get(), root, "Find && &Replace...", ShortCut('F', ssCtrl));
    auto* menus = new controls::TPopupMenus97(form.get());
    menus->Banner = true;
    menus->BannerWidth = 20;
    menus->BannerText = "Corvanta";
    menus->BannerFont()->SetName("Tahoma");
    menus->BannerFont()->SetHeight(-16);
    menus->BannerFont()->SetColor(clWhite);
    menus->SetPopupMenu(popup);
    form->Show();
    Application().ProcessMessages();
    const TPoint at = form->ClientToScreen({40, 20});
    return Shoot(
        PopupListWindow(), [&] { popup->Popup(at.x, at.y); }, {[] { Key(VK_DOWN), Key(VK_DOWN); }}, form.get(), path);
}

// A main menu drawn by the component: File open, its second item selected.
bool BarPicture(const std::string& path, bool buttons) {
    auto form = NewForm(buttons ? "A bar of flat buttons" : "Owner-drawn main menu", 330, 220);
    auto* main = new TMainMenu(form.get());
    TMenuItem* file = Item(form.get(), main->Items(), "&File");
    Item(form.get(), file, "&Open...", ShortCut('O', ssCtrl));
    Item(form.get(), file, "Back up to &folder...");
    Item(form.get(), file, "-");
    Item(form.get(), file, "E&xit");
    TMenuItem* view = Item(form.get(), main->Items(), "&View");
    Item(form.get(), view, "&Row colours...");
    Item(form.get(), main->Items(), "&Help");
    auto* menus = new controls::TCustomMainMenus97(form.get());
    menus->SetMainMenu(main);
    menus->MarkMenuItems();
    form->SetMenu(main);
    if (buttons) {
        Application().MainForm = form.get();
        auto* panel = new controls::TCustomMenuBar97(form.get());
        panel->SetParent(form.get());
        menus->SetMenuBar(panel);
    }
    form->Show();
    Application().ProcessMessages();
    const HWND h = form->WindowHandle();
    bool written = false;
    if (buttons) {
        auto* first = menus->MenuBar()->Buttons().at(0);
        const TPoint p = first->ClientToScreen({4, 4});
        written = Shoot(
            h,
            [&] {
                InjectMouse(MouseAction::Down, MouseButton::Left, p);
                InjectMouse(MouseAction::Up, MouseButton::Left, p);
            },
            {[] { Key(VK_DOWN), Key(VK_DOWN); }}, form.get(), path);
        Application().MainForm = nullptr;
    } else {
        written = Shoot(
            h, [] { Key(VK_MENU); }, {[] { Key(VK_DOWN); }, [] { Key(VK_DOWN); }}, form.get(), path);
    }
    return written;
}

}  // namespace

std::vector<std::string> WriteMenuPictures(const std::string& folder) {
    controls::RegisterControlResources();
    std::vector<std::string> failed;
    if (!PopupPicture(folder + "/menus-popup.png")) failed.push_back("menus-popup.png");
    if (!BarPicture(folder + "/menus-bar.png", false)) failed.push_back("menus-bar.png");
    if (!BarPicture(folder + "/menus-bar-buttons.png", true)) failed.push_back("menus-bar-buttons.png");
    return failed;
}
