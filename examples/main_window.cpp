#include "examples/main_window.hpp"

#include "engine/dataset/engine_dataset.hpp"
#include "examples/account_preview.hpp"
#include "examples/column_settings.hpp"
#include "examples/date_filter.hpp"
#include "examples/demo_data.hpp"
#include "examples/main_window_parts.hpp"
#include "examples/main_window_tools.hpp"
#include "examples/update_bar.hpp"
#include "framework/ui/inifiles.hpp"

namespace demo {

namespace {

// A row of tools across the window, under the rows before it.
ui::TPanel* ToolRow(ui::TForm* window, const char* name, int height, int tab_order) {
    auto* row = new ui::TPanel(window);
    row->SetName(name);
    row->SetParent(window);
    row->SetHeight(height);
    row->SetAlign(ui::alTop);
    row->SetBevelOuter(ui::bvNone);
    row->SetCaption("");
    row->TabOrder = tab_order;
    return row;
}

}  // namespace

TMainWindow::TMainWindow(ui::TComponent* owner, const std::string& data_folder, const std::string& settings)
    : ui::TForm(owner), settings_(settings) {
    SetCaption("Corvanta - Transaction History");
    SetBounds(40, 40, 780, 480);
    Position = ui::poDesigned;

    history_ = new zurod::TTzDbf(this);
    history_->SetName("History");
    for (const std::string& line : kHistoryFields) history_->DbfFields().Add(line);
    for (const std::string& line : kHistoryTags) history_->IndexList().Add(line);
    history_->SetDbfFileName(HistoryPath(data_folder));
    history_->SetExclusive(true);
    history_->CreateIndex = zurod::ciAlways;
    history_->Open();
    history_->SetOrderToTag("TGTHRECN");
    // The beginning of the history, as Ctrl+Home leaves it: the grid's thumb at
    // the top, First and Prior off.
    history_->First();
    source_ = new db::TDataSource(this);
    source_->SetDataSet(history_);

    navigator_ = new zurod::TTzNavigator(this);
    navigator_->SetParent(this);
    navigator_->SetHeight(25);
    navigator_->SetAlign(ui::alBottom);
    navigator_->SetDataSource(source_);

    // The speed buttons right under the menu, then two rows of tools: what the
    // grid shows (from a date, in which colours) and the backup, then the
    // preview with the update check at the right.
    AddSpeedBar(this, navigator_);
    auto* view_row = ToolRow(this, "ViewRow", 35, 0);
    AddHistoryDateFilter(this, view_row);
    tools_ = new TMainWindowTools(view_row, history_, settings_);
    tools_->TabOrder = 1;
    tools_->OnColoursChanged = [this](ui::TObject*) { grid_->Invalidate(); };
    auto* command_row = ToolRow(this, "CommandRow", 31, 1);
    AddAccountPreview(this, history_, command_row);
    update_bar_ = new TUpdateBar(
        this,
        [settings] {
            return settings.empty() ? ""
                                    : ui::TIniFile(settings).ReadString(TUpdateBar::kSection, TUpdateBar::kUrlKey, "");
        },
        data_folder + "/version.txt");
    update_bar_->SetParent(command_row);
    update_bar_->SetAlign(ui::alClient);
    update_bar_->TabOrder = 1;

    // The grid as every grid of the program is set up.
    grid_ = new zurod::TTzGrid(this);
    grid_->SetName("HistoryGrid");
    grid_->SetParent(this);
    grid_->SetAlign(ui::alClient);
    grid_->SetOptions(zurod::dgTitles | zurod::dgIndicator | zurod::dgColumnResize | zurod::dgColLines |
                      zurod::dgRowLines | zurod::dgTabs | zurod::dgConfirmDelete | zurod::dgConfirmRestore);
    grid_->ReadOnly = false;
    grid_->SetBooleanBox(zurod::bbCheckBox);
    grid_->SetColor(ui::clBtnFace);
    grid_->SetDepressDisabled(false);
    grid_->SetFixedColumns(0);
    grid_->TitleFont()->SetName("Tahoma");
    grid_->TitleFont()->SetHeight(-11);
    for (const std::string& line : kHistoryFields) grid_->Columns().Add()->SetFieldName(line.substr(0, line.find(',')));
    grid_->OnChangeColorsEvent = [this](ui::TObject*, int row, ui::TColor&, ui::TColor&, ui::TColor& cell_text,
                                        ui::TColor&, ui::TColor&, ui::TColor&,
                                        ui::TColor&) { RowColours(row, cell_text); };
    grid_->OnTitleClick = [this](ui::TObject*, zurod::TTzColumn* column) { TitleClick(column); };
    grid_->SetDataSource(source_);
    grid_->TabOrder = 2;
    navigator_->TabOrder = 3;
    ReadColumnWidths();

    menus_ = AddMainWindowMenus(this);
    OnClose = [this](ui::TObject*, ui::TCloseAction&) { WriteColumnWidths(); };
    // The title bar, status texts and help (main_window_parts.hpp).
    AddGradientCaption(this);
    AddStatusPanel(this);
    AddHelp(this);
    SetActiveControl(grid_);
}

// Debits and credits in the ink chosen above the grid, transfers in navy; the engine stands on the row drawn.
void TMainWindow::RowColours(int, ui::TColor& cell_text) {
    if (!row_colours_) return;
    const std::string action = zurod::TzAllTrim(history_->FieldGet("ACTION"));
    if (action == "Debit")
        cell_text = tools_->DebitColour()->ColorValue();
    else if (action == "Credit")
        cell_text = tools_->CreditColour()->ColorValue();
    else if (action == "Transfer")
        cell_text = ui::clNavy;
}

void TMainWindow::SetRowColours(bool on) {
    row_colours_ = on;
    grid_->Invalidate();
}

// A title chooses the order: by date, by account, else as the records were written.
void TMainWindow::TitleClick(zurod::TTzColumn* column) {
    const StatusText busy(this, "Sorting. Please wait...");
    const std::string& name = column->FieldName();
    history_->SetOrderToTag(name == "DATE" ? "TGTHDATE" : name == "ACCNAME" ? "TGTHACC" : "TGTHRECN");
    history_->GoTop();
}

void TMainWindow::ReadColumnWidths() {
    if (settings_.empty()) return;
    ReadColumnSettings(grid_, ui::TIniFile(settings_), kWidthSection, kGridName);
}

void TMainWindow::WriteColumnWidths() {
    if (settings_.empty()) return;
    ui::TIniFile ini(settings_);
    WriteColumnSettings(grid_, ini, kWidthSection, kGridName);
}

}  // namespace demo
