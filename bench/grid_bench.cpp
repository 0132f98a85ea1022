// The data grid, headless: a full paint of 30 rows of 10 columns; one PgDn
// over 1,000,000 records in an index order, repaint included; one line down
// (the rows move by their pixels, only the new one is drawn); and the memory
// a scroll through all 1,000,000 records leaves behind.
#include <unistd.h>

#include <fstream>
#include <string>

#include "bench/transactions.hpp"
#include "engine/dataset/file_dataset.hpp"
#include "engine/grid/tzgrid.hpp"
#include "engine/dbf/errors.hpp"
#include "engine/expr/expr.hpp"
#include "engine/index/index.hpp"
#include "framework/db/fields.hpp"
#include "framework/ui/forms.hpp"

namespace bench {

namespace {

// Resident memory in KiB.
int64_t ResidentKiB() {
    std::ifstream statm("/proc/self/statm");
    int64_t pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE) / 1024;
}

// A form of 30 whole rows and 10 columns of 80 pixels over a copy of a table,
// in date order when `indexed`.
class GridForm {
public:
    GridForm(const std::string& source, const std::string& name, bool indexed) {
        PrepareEngine();
        zurod::ExprInit();
        zurod::IndexInit();
        db::RegisterDataStrings();
        const std::string path = PathIn(name);
        static bool copied[2] = {};
        if (!copied[indexed]) {
            CopyTable(source, path);
            copied[indexed] = true;
        }
        table_ = ui::Make<zurod::TTzDbf>(nullptr);
        table_->SetName(indexed ? "Indexed" : "Plain");
        for (const Column& c : kColumns)
            table_->DbfFields().Add(std::string(c.name) + "," + c.type + "," + std::to_string(c.length) + "," +
                                    std::to_string(c.decimals));
        if (indexed) {
            table_->IndexList().Add("TGDATE,F,F,DTOS(DATE)+STR(RECNO())");
            table_->IndexList().Add("");
            table_->CreateIndex = zurod::ciNotFound;
        }
        table_->SetDbfFileName(path);
        table_->SetExclusive(true);
        table_->Open();
        if (indexed) table_->SetOrderToTag("TGDATE");
        source_ = ui::Make<db::TDataSource>(nullptr);
        source_->SetDataSet(table_.get());
        form_ = ui::Make<ui::TForm>(nullptr);
        form_->SetBorderStyle(ui::bsNone);
        grid_ = new zurod::TTzGrid(form_.get());
        grid_->SetParent(form_.get());
        grid_->SetOptions(zurod::dgTitles | zurod::dgIndicator | zurod::dgColLines | zurod::dgRowLines | zurod::dgTabs);
        for (const Column& c : kColumns) grid_->Columns().Add()->SetFieldName(c.name);
        for (int i = 0; i < kColumnCount; ++i) grid_->Columns()[i]->SetWidth(80);
        grid_->OnChangeColorsEvent = [this](ui::TObject*, int, ui::TColor&, ui::TColor&, ui::TColor& text, ui::TColor&,
                                            ui::TColor&, ui::TColor&, ui::TColor&) {
            if (table_->FieldGet("ACTION")[0] == 'D') text = ui::clMaroon;
        };
        grid_->OnDrawColumnCell = [this](ui::TObject*, const ui::TRect&, int, zurod::TTzColumn*, ui::TGridDrawState) {
            ++cells;
        };
        grid_->SetDataSource(source_.get());
        // Room for exactly 30 rows below the titles and the 10 columns.
        const int title = grid_->RowHeights(0) + 1, row = grid_->DefaultRowHeight() + 1;
        form_->SetBounds(0, 0, 11 + 1 + kColumnCount * 81 + 20, title + 30 * row + 20);
        grid_->SetBounds(0, 0, form_->Width(), form_->Height());
        form_->Show();
        grid_->SetFocus();
        ui::Application().ProcessMessages();
    }
    ~GridForm() {
        form_.reset();
        source_.reset();
        table_.reset();
    }
    void Paint() { ui::UpdateWindow(grid_->Handle()); }
    void Key(ui::UINT key) { ui::SendMessage(grid_->Handle(), ui::WM_KEYDOWN, key, 1); }

    ui::Owned<zurod::TTzDbf> table_;
    ui::Owned<db::TDataSource> source_;
    ui::Owned<ui::TForm> form_;
    zurod::TTzGrid* grid_ = nullptr;
    int64_t cells = 0;
};

}  // namespace

void GridFullPaint30x10(benchmark::State& state) {
    GridForm g(MasterTable(), "grid_paint.dbf", false);
    if (g.grid_->VisibleRowCount() != 30) state.SkipWithError("not 30 rows");
    for (auto _ : state) {
        g.grid_->Invalidate();
        g.Paint();
    }
    state.counters["rows"] = g.grid_->VisibleRowCount();
    state.counters["cells"] = benchmark::Counter(double(g.cells), benchmark::Counter::kAvgIterations);
}
BENCHMARK(GridFullPaint30x10)->Unit(benchmark::kMillisecond);

void GridPageDownMillionInDateOrder(benchmark::State& state) {
    GridForm g(MillionTable(), "grid_million.dbf", true);
    for (auto _ : state) {
        g.Key(ui::VK_NEXT);
        g.Paint();
        if (g.table_->Eof()) {
            state.PauseTiming();
            g.table_->First();
            g.Paint();
            state.ResumeTiming();
        }
    }
    state.counters["cells"] = benchmark::Counter(double(g.cells), benchmark::Counter::kAvgIterations);
}
BENCHMARK(GridPageDownMillionInDateOrder)->Unit(benchmark::kMillisecond);

void GridLineDown(benchmark::State& state) {
    GridForm g(MasterTable(), "grid_paint.dbf", false);
    g.table_->First();
    g.table_->MoveBy(29);  // the bottom row: each Down from here scrolls one line
    g.Paint();
    g.cells = 0;
    for (auto _ : state) {
        g.Key(ui::VK_DOWN);
        g.Paint();
        if (g.table_->Eof()) {
            state.PauseTiming();
            g.table_->First();
            g.table_->MoveBy(29);
            g.Paint();
            state.ResumeTiming();
        }
    }
    state.counters["cells"] = benchmark::Counter(double(g.cells), benchmark::Counter::kAvgIterations);
}
BENCHMARK(GridLineDown)->Unit(benchmark::kMicrosecond);

// PgDn from the first record to the last; what the scroll leaves behind.
void GridScrollMillionMemory(benchmark::State& state) {
    GridForm g(MillionTable(), "grid_million.dbf", true);
    for (auto _ : state) {
        g.table_->First();
        g.Paint();
        const int64_t before = ResidentKiB();
        int64_t pages = 0;
        while (!g.table_->Eof()) {
            g.Key(ui::VK_NEXT);
            g.Paint();
            ++pages;
        }
        state.counters["pages"] = double(pages);
        state.counters["rss_growth_KiB"] = double(ResidentKiB() - before);
    }
}
BENCHMARK(GridScrollMillionMemory)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace bench
