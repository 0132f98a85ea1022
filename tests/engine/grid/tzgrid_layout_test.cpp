#include <string>
#include <vector>

#include "engine/dbf/dates.hpp"
#include "tests/engine/grid/grid_fixture.hpp"

namespace {

using namespace testing_grid;
using namespace zurod;

std::vector<std::string> Names(TTzGridColumns& columns) {
    std::vector<std::string> names;
    names.reserve(size_t(columns.Count()));
    for (int i = 0; i < columns.Count(); ++i) names.push_back(columns[i]->FieldName());
    return names;
}

TEST_F(GridTest, WithoutCustomisedColumnsEveryVisibleFieldGetsAPassthroughColumn) {
    TTzDbf* ds = Table(50);
    Bind(ds);
    Show();
    TTzGridColumns& columns = grid_->Columns();
    ASSERT_EQ(columns.Count(), 10);
    EXPECT_FALSE(columns.Customized());
    EXPECT_NE(dynamic_cast<TPassthroughColumn*>(columns[0]), nullptr);
    EXPECT_EQ(columns[1]->Title()->Caption(), "DETAIL");
    EXPECT_EQ(grid_->ColCount(), 11);
    EXPECT_EQ(grid_->ColWidths(0), 11) << "the indicator column";
    // As many records as whole rows fit, and a row for the titles.
    EXPECT_EQ(grid_->RowCount(), grid_->DataLink().BufferCount() + 1);
    EXPECT_EQ(grid_->RowCount() - 1, grid_->VisibleRowCount());
    EXPECT_FALSE(grid_->AllRowsVisible());

    ds->FieldByName("SOURCE")->Visible = false;
    grid_->LayoutChanged();
    EXPECT_EQ(columns.Count(), 9);
    EXPECT_EQ(columns[2]->FieldName(), "DEST");
    // A closed dataset takes its default fields' columns with it.
    ds->Close();
    EXPECT_EQ(columns.Count(), 0);
    ds->Open();
    EXPECT_EQ(columns.Count(), 10);
}

TEST_F(GridTest, CustomisedColumnsMapByNameAndPushThePassthroughColumnsOut) {
    TTzDbf* ds = Table(5);
    Bind(ds);
    Show();
    grid_->Columns().Add()->SetFieldName("AMOUNT");
    EXPECT_TRUE(grid_->Columns().Customized()) << "the passthrough columns made way for the customised one";
    EXPECT_EQ(Names(grid_->Columns()), (std::vector<std::string>{"AMOUNT"}));
    grid_->Columns().Add()->SetFieldName("NOSUCH");
    grid_->Columns().Add()->SetFieldName("detail");
    EXPECT_EQ(Names(grid_->Columns()), (std::vector<std::string>{"AMOUNT", "NOSUCH", "DETAIL"}));
    EXPECT_EQ(grid_->Columns()[1]->Field(), nullptr);
    EXPECT_EQ(grid_->Columns()[2]->Field(), ds->FieldByName("DETAIL"));
    EXPECT_FALSE(grid_->DataLink().DefaultFields()) << "a name that found no field";
    // The missing field's column shows blank cells in the column's colour.
    const ui::TRect r = grid_->CellRect(2, 1);
    EXPECT_EQ(At(r.left + r.Width() / 2, r.top + r.Height() / 2), ui::ColorToRGB(ui::clWindow));
    EXPECT_FALSE(grid_->TabStops(2)) << "no tab stop without a field";
    EXPECT_TRUE(grid_->TabStops(3));
}

TEST_F(GridTest, FixedColumnsLeaveAtLeastOneColumnScrolling) {
    TTzDbf* ds = Table(5);
    Bind(ds);
    for (const char* name : {"DATE", "DETAIL"}) grid_->Columns().Add()->SetFieldName(name);
    Show();
    grid_->SetFixedColumns(5);
    EXPECT_EQ(grid_->FixedCols(), 2) << "the indicator and one data column";
    EXPECT_EQ(grid_->FixedColumns(), 1);
    grid_->LayoutChanged();
    EXPECT_EQ(grid_->FixedColumns(), 1);
    grid_->Columns().Delete(1);
    EXPECT_EQ(grid_->FixedColumns(), 0);
    EXPECT_EQ(grid_->FixedCols(), 1);
}

TEST_F(GridTest, AnInactiveSourceShowsTitlesAndOneEmptyRow) {
    for (const char* name : {"DATE", "DETAIL"}) grid_->Columns().Add()->SetFieldName(name);
    grid_->SetDataSource(source_.get());
    Show();
    EXPECT_EQ(grid_->RowCount(), 2);
    EXPECT_TRUE(ui::ScrollBarRect(grid_->Handle(), ui::SB_VERT).Empty());
    const ui::TRect title = grid_->CellRect(1, 0), cell = grid_->CellRect(1, 1);
    EXPECT_EQ(At(title.right - 3, title.top + 3), ui::ColorToRGB(ui::clBtnFace));
    EXPECT_EQ(At(cell.left + 3, cell.top + 3), ui::ColorToRGB(ui::clWindow));
    // The caption is written: some pixels of the title are the title font's colour.
    int ink = 0;
    for (int x = title.left; x < title.right; ++x)
        for (int y = title.top; y < title.bottom; ++y) ink += At(x, y) == 0;
    EXPECT_GT(ink, 10);
}

TEST_F(GridTest, TheVerticalScrollBarFollowsTheDatasetOrGoesWhenAllRowsFit) {
    TTzDbf* ds = Table(50);
    Bind(ds);
    Show();
    ui::SCROLLINFO si;
    ASSERT_TRUE(ui::GetScrollInfo(grid_->Handle(), ui::SB_VERT, si));
    const int page = grid_->VisibleRowCount();
    EXPECT_EQ(si.nMin, 1);
    EXPECT_EQ(si.nMax, 50 + page - 1);
    EXPECT_EQ(int(si.nPage), page);
    ds->Go(20);
    Pump();
    ui::GetScrollInfo(grid_->Handle(), ui::SB_VERT, si);
    EXPECT_EQ(si.nPos, 20) << ds->RecNo();
    // In an index order the dataset knows no record numbers: three places.
    auto* indexed = Make<TTzDbf>("Indexed", testing_dataset::kHistoryFields, "indexed.dbf");
    indexed->SetExclusive(true);
    indexed->IndexList().Add("TGDETAIL,F,F,DETAIL");
    indexed->IndexList().Add("");
    indexed->CreateIndex = ciAlways;
    indexed->Open();
    Add(*indexed,
        {{"b", 1},  {"a", 2},  {"d", 3},  {"c", 4},  {"f", 5},  {"e", 6},  {"h", 7},  {"g", 8},  {"j", 9},  {"i", 10},
         {"l", 11}, {"k", 12}, {"n", 13}, {"m", 14}, {"p", 15}, {"o", 16}, {"r", 17}, {"q", 18}, {"t", 19}, {"s", 20}});
    indexed->SetOrderToTag("TGDETAIL");
    ds = indexed;
    Bind(ds);
    Pump();
    for (auto [move, pos] : {std::pair{0, 0}, {1, 2}, {2, 4}}) {
        if (move == 0) ds->First();
        if (move == 1) ds->MoveBy(3);
        if (move == 2) ds->Last();
        ui::GetScrollInfo(grid_->Handle(), ui::SB_VERT, si);
        EXPECT_EQ(si.nMax, 4);
        EXPECT_EQ(si.nPos, pos) << move;
    }
    // Five records fit: the bar goes.
    auto* small = Make<TTzDbf>("Small", testing_dataset::kHistoryFields, "small.dbf");
    small->SetExclusive(true);
    small->Open();
    Add(*small, {{"a", 1}, {"b", 2}, {"c", 3}, {"d", 4}, {"e", 5}});
    Bind(small);
    Pump();
    EXPECT_TRUE(grid_->AllRowsVisible());
    EXPECT_TRUE(ui::ScrollBarRect(grid_->Handle(), ui::SB_VERT).Empty());
    EXPECT_EQ(grid_->RowCount(), 6);
}

TEST_F(GridTest, ColumnPropertiesReadTheirDefaultsUntilSet) {
    TTzDbf* ds = Table(5);
    Bind(ds);
    Show();
    TTzColumn* c = grid_->Columns().Add();
    c->SetFieldName("DETAIL");
    EXPECT_EQ(c->AssignedValues(), cvFieldName);
    EXPECT_EQ(c->Color(), ui::clWindow);
    EXPECT_EQ(c->Title()->Color(), ui::clBtnFace);
    EXPECT_EQ(c->Title()->Caption(), "DETAIL");
    // Thirty characters of "0" in the column's font, or the title when wider.
    const int zero = grid_->TextWidth(c->Font(), "0");
    EXPECT_EQ(c->GetWidth(), zero * 30 + 4);
    c->SetWidth(c->GetWidth());
    EXPECT_FALSE(c->AssignedValues() & cvWidth) << "the default width is not remembered";
    EXPECT_FALSE(c->IsWidthStored());
    c->SetWidth(77);
    EXPECT_TRUE(c->IsWidthStored());
    EXPECT_EQ(grid_->ColWidths(1), 77);
    grid_->SetColor(ui::clYellow);
    grid_->Font()->SetColor(ui::clBlue);
    EXPECT_EQ(c->Color(), ui::clYellow) << "the grid's colour while none was set";
    EXPECT_EQ(c->Font()->Color(), ui::clBlue);
    c->Font()->SetColor(ui::clRed);
    grid_->Font()->SetColor(ui::clGreen);
    EXPECT_EQ(c->Font()->Color(), ui::clRed) << "a font set stays";
    EXPECT_TRUE(c->AssignedValues() & cvFont);
    grid_->TitleFont()->SetHeight(-16);
    EXPECT_EQ(c->Title()->Font()->Height(), -16);
    EXPECT_EQ(grid_->RowHeights(0), grid_->TextHeight(grid_->TitleFont()) + 4) << "the title row grew";
    c->Title()->SetCaption("Detail");
    c->RestoreDefaults();
    EXPECT_EQ(c->AssignedValues(), 0);
    EXPECT_EQ(c->Title()->Caption(), "DETAIL");
    EXPECT_EQ(c->Font()->Color(), ui::clGreen);
}

TEST_F(GridTest, TheSavedColumnLayoutIsReadLineByLine) {
    // A grid with one blank column starts afresh.
    grid_->Columns().Add();
    grid_->ReadSavedColumns({});
    EXPECT_EQ(grid_->Columns().Count(), 0);
    TTzDbf* ds = Table(5);
    Bind(ds);
    Show();

    grid_->ReadSavedColumns({"cvColumn=2", "cvColumn=0", "cvFieldNameStr=DETAIL", "cvWidthStr=90",
                             "cvFontStr=Arial,clRed,266", "cvTitleCaptionStr=What", " cvReadOnlyStr=true ",
                             "cvTitleAlignmentStr= ta Center", "cvAlignmentStr=nonsense", "1", "cvColorStr=clYellow",
                             "cvTitleFontStr=Courier,255,9", "cvTitleColorStr=$00FF00"});
    TTzGridColumns& c = grid_->Columns();
    ASSERT_EQ(c.Count(), 4) << "2 adds three columns, 0 none, 1 a fourth";
    EXPECT_EQ(c[2]->FieldName(), "DETAIL");
    EXPECT_EQ(c[2]->GetWidth(), 90);
    EXPECT_EQ(c[2]->Font()->Name(), "Arial");
    EXPECT_EQ(c[2]->Font()->Color(), ui::clRed);
    EXPECT_EQ(c[2]->Font()->Size(), 10);
    EXPECT_EQ(c[2]->Font()->Style(), ui::fsBold);
    EXPECT_EQ(c[2]->Title()->Caption(), "What");
    EXPECT_TRUE(c[2]->ReadOnly());
    EXPECT_EQ(c[2]->Title()->Alignment(), ui::taCenter);
    EXPECT_EQ(c[2]->Alignment(), ui::taLeftJustify);
    EXPECT_EQ(c[3]->Color(), ui::clYellow);
    EXPECT_EQ(c[3]->Title()->Font()->Name(), "Courier");
    EXPECT_EQ(c[3]->Title()->Font()->Color(), ui::clWindowText) << "a number is no colour identifier";
    EXPECT_EQ(c[3]->Title()->Font()->Size(), 9);
    EXPECT_EQ(c[3]->Title()->Color(), ui::TColor(0x00FF00));

    // The layout stream reads the same lines; written, it is an empty list.
    ui::TPropertyWriter writer;
    grid_->DefineProperties(writer);
    EXPECT_EQ(std::get<std::vector<std::string>>(writer.values.at("savedColumns")), std::vector<std::string>{});
    ui::TPropertyReader reader({{"savedColumns", std::vector<std::string>{"cvColumn=4"}}});
    grid_->DefineProperties(reader);
    EXPECT_EQ(c.Count(), 9);
}

TEST_F(GridTest, ABadSavedColumnLayoutChangesNothing) {
    TTzDbf* ds = Table(5);
    Bind(ds);
    grid_->Columns().Add()->SetFieldName("DETAIL");
    Show();
    struct Case {
        std::vector<std::string> lines;
        const char* error;
    };
    const Case cases[] = {
        {{"cvColumn=1", "cvWidthStr=wide"}, "'wide' is not a valid integer value"},
        {{"cvColumn=x"}, "'x' is not a valid integer value"},
        {{"cvColumn=1", "cvColorStr=clPuce"}, "'clPuce' is not a valid integer value"},
        {{"cvColumn=1", "cvFontStr=Arial,clRed,big"}, "'big' is not a valid integer value"},
        {{"99999999"}, "Too many columns in grid"},
    };
    for (const Case& c : cases) {
        try {
            grid_->ReadSavedColumns(c.lines);
            ADD_FAILURE() << c.error;
        } catch (const ui::EUiError& e) {
            EXPECT_EQ(std::string(e.what()), c.error);
        }
        EXPECT_EQ(Names(grid_->Columns()), std::vector<std::string>{"DETAIL"});
        EXPECT_EQ(grid_->Columns()[0]->AssignedValues(), cvFieldName);
    }
}

TEST_F(GridTest, MoreThan16380MappedFieldsAreRefused) {
    TTzDbf* ds = Table(1);
    Bind(ds);
    TTzGridColumns& columns = grid_->Columns();
    columns.BeginUpdate();
    for (int i = 0; i < TTzGridDataLink::kMaxMapSize + 1; ++i) columns.Add()->SetFieldName("DETAIL");
    try {
        columns.EndUpdate();
        ADD_FAILURE() << "no error";
    } catch (const ui::EInvalidGridOperation& e) {
        EXPECT_STREQ(e.what(), "Too many columns in grid");
    }
}

TEST_F(GridTest, TheGridLetsGoOfWhatIsFreedUnderIt) {
    TTzDbf* ds = Table(20);
    Bind(ds);
    for (const char* name : {"DETAIL", "AMOUNT"}) grid_->Columns().Add()->SetFieldName(name);
    Show();
    const ui::TRect cell = grid_->CellRect(1, 2);
    // The fields go with the closed dataset: the columns stay, their cells are blank.
    ds->Close();
    EXPECT_EQ(grid_->Columns()[0]->HeldField(), nullptr);
    EXPECT_EQ(grid_->RowCount(), 2);
    grid_->Invalidate();
    EXPECT_EQ(At(cell.left + 4, cell.top + 4), ui::ColorToRGB(ui::clWindow));
    ds->Open();
    EXPECT_EQ(grid_->Columns()[0]->Field(), ds->FieldByName("DETAIL"));
    // The data source freed, then the dataset itself: a later layout, no crash.
    source_.reset();
    EXPECT_EQ(grid_->DataSource(), nullptr);
    Pump();
    auto source = ui::Make<db::TDataSource>(nullptr);
    source->SetDataSet(ds);
    grid_->SetDataSource(source.get());
    sets_.clear();
    Pump();
    EXPECT_EQ(grid_->Columns()[0]->HeldField(), nullptr);
    EXPECT_FALSE(grid_->DataLink().Active());
    grid_->Invalidate();
    EXPECT_EQ(At(cell.left + 4, cell.top + 4), ui::ColorToRGB(ui::clWindow));
}

}  // namespace
