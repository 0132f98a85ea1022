#pragma once
// The program's main window as far as the engine goes: the transaction
// history in a data grid with the application's settings, debits, credits
// and transfers in their own colours, a navigator under it, the column
// widths kept in the settings file, the order chosen by a title click, and
// the online indicator with the update check above it.
#include <string>

#include "engine/dataset/file_dataset.hpp"
#include "engine/grid/tzgrid.hpp"
#include "engine/grid/tznavigator.hpp"
#include "examples/main_window_menus.hpp"
#include "framework/ui/forms.hpp"

namespace demo {

class TUpdateBar;
class TMainWindowTools;

class TMainWindow : public ui::TForm {
public:
    // `settings` empty: the widths are neither read nor written.
    TMainWindow(ui::TComponent* owner, const std::string& data_folder, const std::string& settings);
    std::string ClassName() const override { return "TMainWindow"; }

    zurod::TTzGrid* Grid() const { return grid_; }
    zurod::TTzNavigator* Navigator() const { return navigator_; }
    zurod::TTzDbf* History() const { return history_; }
    TUpdateBar* UpdateBar() const { return update_bar_; }
    // The row colours and "Back up to folder..." (main_window_tools.hpp).
    TMainWindowTools* Tools() const { return tools_; }

    // The columns' order and widths by field name, in the settings file's
    // section for the grids (column_settings.hpp).
    void ReadColumnWidths();
    void WriteColumnWidths();
    static constexpr const char* kWidthSection = "GRID COLUMN WIDTHS";
    static constexpr const char* kGridName = "HISTORY";

    // Debits, credits and transfers in their own colours (View, "Row colours").
    bool RowColours() const { return row_colours_; }
    void SetRowColours(bool on);
    const MainWindowMenus& Menus() const { return menus_; }

private:
    void RowColours(int row, ui::TColor& cell_text);
    void TitleClick(zurod::TTzColumn* column);

    std::string settings_;
    zurod::TTzDbf* history_ = nullptr;
    db::TDataSource* source_ = nullptr;
    zurod::TTzGrid* grid_ = nullptr;
    zurod::TTzNavigator* navigator_ = nullptr;
    TUpdateBar* update_bar_ = nullptr;
    bool row_colours_ = true;
    MainWindowMenus menus_;
    TMainWindowTools* tools_ = nullptr;
};

}  // namespace demo
