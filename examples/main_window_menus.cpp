#include "examples/main_window_menus.hpp"
#include "examples/main_window_tools.hpp"

#include "examples/main_window.hpp"
#include "platform/msgbox.hpp"

namespace demo {

namespace {

ui::TMenuItem* Item(ui::TComponent* owner, ui::TMenuItem* parent, const std::string& caption,
                    const std::function<void()>& click = nullptr) {
    auto* item = new ui::TMenuItem(owner);
    item->SetCaption(caption);
    if (click) item->OnClick = [click](ui::TObject*) { click(); };
    parent->Add(item);
    return item;
}

}  // namespace

MainWindowMenus AddMainWindowMenus(TMainWindow* w) {
    MainWindowMenus m;
    zurod::TTzDbf* history = w->History();
    m.main = new ui::TMainMenu(w);
    m.main->SetName("MainMenu");
    ui::TMenuItem* file = Item(w, m.main->Items(), "&File");
    m.back_up = Item(w, file, "Back up to &folder\x85", [w] { w->Tools()->BackUpToFolder(); });
    Item(w, file, "-");
    m.exit = Item(w, file, "E&xit", [w] { w->Close(); });
    ui::TMenuItem* view = Item(w, m.main->Items(), "&View");
    m.row_colours = Item(w, view, "&Row colours");
    m.row_colours->SetChecked(w->RowColours());
    ui::TMenuItem* colours = m.row_colours;
    colours->OnClick = [w, colours](ui::TObject*) {
        w->SetRowColours(!w->RowColours());
        colours->SetChecked(w->RowColours());
    };
    ui::TMenuItem* help = Item(w, m.main->Items(), "&Help");
    Item(w, help, "&About Corvanta\x85", [] {
        platform::ShowMessageBox("Corvanta V4.0\nPersonal finance", "About Corvanta",
                                 platform::kMbOk | platform::kMbIconInformation);
    });
    w->SetMenu(m.main);

    // The grid's menu, as the program's main window shows it: a banner in the
    // default gradient, Tahoma, plain text commands.
    m.grid_popup = new ui::TPopupMenu(w);
    m.grid_popup->SetName("GridPopup");
    ui::TMenuItem* root = m.grid_popup->Items();
    Item(w, root, "&First record", [history] { history->First(); });
    Item(w, root, "&Last record", [history] { history->Last(); });
    Item(w, root, "-");
    auto order = [history](const char* tag) {
        return [history, tag] {
            history->SetOrderToTag(tag);
            history->GoTop();
        };
    };
    Item(w, root, "Order by &date", order("TGTHDATE"));
    Item(w, root, "Order by &account", order("TGTHACC"));
    Item(w, root, "Record &order", order("TGTHRECN"));
    Item(w, root, "-");
    Item(w, root, "&Row colours", [colours] { colours->Click(); });
    w->Grid()->SetPopupMenu(m.grid_popup);

    m.grid_look = new controls::TPopupMenus97(w);
    controls::TPopupMenus97* look = m.grid_look;
    look->Banner = true;
    look->BannerWidth = 20;
    look->BannerJustification = controls::bjCenter;
    look->BannerFont()->SetName("Tahoma");
    look->BannerFont()->SetHeight(-16);
    look->BannerFont()->SetColor(ui::clWhite);
    look->Font()->SetName("Tahoma");
    look->Font()->SetHeight(-11);
    look->Font()->SetColor(ui::clWindowText);
    look->HiliteFont()->SetName("Tahoma");
    look->HiliteFont()->SetHeight(-11);
    look->HiliteFont()->SetColor(ui::clHighlightText);
    look->Brush()->SetColor(ui::clBtnFace);
    look->HiliteBar = ui::clHighlight;
    look->SetDefaultFont(false);
    look->SetPopupMenu(m.grid_popup);
    return m;
}

}  // namespace demo
