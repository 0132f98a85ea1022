// The main window's date filter over a history of 1,000,000 records in date
// order: the key that completes a date (the filter set, the grid back at the
// top and painted) in each order the window offers, for a date before every
// record, one in the middle and one after every record; and a title click
// while the filter is set.
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "bench/transactions.hpp"
#include "controls/dateedit.hpp"
#include "engine/dataset/engine_dataset.hpp"
#include "engine/dbf/dates.hpp"
#include "engine/expr/expr.hpp"
#include "engine/index/index.hpp"
#include "engine/memo/memo.hpp"
#include "engine/vfile/vfile.hpp"
#include "examples/date_filter.hpp"
#include "examples/demo_data.hpp"
#include "examples/main_window.hpp"
#include "framework/db/fields.hpp"

namespace bench {

namespace {

// The window over a copy of the dated million, made once (its three tags are
// built as it opens) and closed at exit.
struct FilterWindow {
    ui::Owned<demo::TMainWindow> window;
    controls::TDateEdit* edit = nullptr;
};

void CloseWindow();

FilterWindow& Window() {
    static FilterWindow* w = [] {
        PrepareEngine();
        zurod::VFileInit();
        zurod::ExprInit();
        zurod::MemoInit();
        zurod::IndexInit();
        zurod::DatasetInit();
        zurod::SetCentury(true);
        db::RegisterDataStrings();
        const std::string folder = PathIn("date_filter");
        std::filesystem::create_directories(folder);
        CopyTable(MillionInDateOrder(), demo::HistoryPath(folder));
        auto* made = new FilterWindow;
        made->window = ui::Make<demo::TMainWindow>(nullptr, folder, "");
        made->window->Show();
        for (ui::TComponent* c : made->window->Components())
            if (c->Name() == "FromDate") made->edit = dynamic_cast<controls::TDateEdit*>(c);
        ui::Application().ProcessMessages();
        std::atexit(CloseWindow);
        return made;
    }();
    return *w;
}

void CloseWindow() { Window().window.reset(); }

// The orders the titles choose, by a column of each.
constexpr const char* kOrderColumns[] = {"REF", "DATE", "ACCNAME"};

void ClickTitle(demo::TMainWindow* w, const char* field) {
    zurod::TTzGrid* grid = w->Grid();
    for (int i = 0; i < grid->Columns().Count(); ++i)
        if (grid->Columns()[i]->FieldName() == field) grid->OnTitleClick(grid, grid->Columns()[i]);
    ui::Application().ProcessMessages();
}

std::string EditText(const controls::TDateEdit* edit, const std::string& yyyymmdd) {
    const int y = std::stoi(yyyymmdd.substr(0, 4)), m = std::stoi(yyyymmdd.substr(4, 2)),
              d = std::stoi(yyyymmdd.substr(6, 2));
    return db::FormatDate(edit->DateFormat(), db::EncodeDate(y, m, d));
}

// The dates of the cases: before every record, in the middle, after every record.
std::string CaseDate(int which) {
    if (which == 0) return ShiftDate(StoredDateOf(1, 1), -1);
    if (which == 1) return StoredDateOf(1, kMillion / 2);
    return ShiftDate(StoredDateOf(1, kMillion), 1);
}

// The first record shown is from the date on (or none is, after every record).
bool FirstShownHolds(benchmark::State& state, zurod::TTzDbf* history, const std::string& from, bool none) {
    const bool empty = history->Eof() && history->Bof();
    const std::string first = empty ? "" : zurod::DTOS(history->FieldGet("DATE"));
    if (none ? empty : !empty && first >= from) return true;
    state.SkipWithError(("the first record shown is dated " + first + ", the filter from " + from).c_str());
    return false;
}

}  // namespace

// range(0): the order (a title of kOrderColumns); range(1): the date (CaseDate).
void DateFilterKey1M(benchmark::State& state) {
    FilterWindow& f = Window();
    demo::TMainWindow* w = f.window.get();
    f.edit->SetText("");
    ui::Application().ProcessMessages();
    ClickTitle(w, kOrderColumns[state.range(0)]);
    const std::string date = CaseDate(int(state.range(1)));
    // Two dates a day apart in turn, so that every key changes the filter.
    const std::string texts[2] = {EditText(f.edit, date), EditText(f.edit, ShiftDate(date, 1))};
    int turn = 0;
    for (auto _ : state) {
        f.edit->SetText(texts[turn]);
        ui::Application().ProcessMessages();
        if (!FirstShownHolds(state, w->History(), turn == 0 ? date : ShiftDate(date, 1), state.range(1) == 2)) break;
        turn ^= 1;
    }
    f.edit->SetText("");
    ui::Application().ProcessMessages();
}
BENCHMARK(DateFilterKey1M)
    ->ArgsProduct({{0, 1, 2}, {0, 1, 2}})
    ->ArgNames({"order", "date"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// range(0): the order the click chooses, with the filter from the middle date
// (the click before it, untimed, chose another order).
void DateFilterTitleClick1M(benchmark::State& state) {
    FilterWindow& f = Window();
    demo::TMainWindow* w = f.window.get();
    const std::string date = CaseDate(1);
    f.edit->SetText(EditText(f.edit, date));
    ui::Application().ProcessMessages();
    const int order = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        ClickTitle(w, kOrderColumns[(order + 1) % 3]);
        state.ResumeTiming();
        ClickTitle(w, kOrderColumns[order]);
        if (!FirstShownHolds(state, w->History(), date, false)) break;
    }
    f.edit->SetText("");
    ui::Application().ProcessMessages();
}
BENCHMARK(DateFilterTitleClick1M)->DenseRange(0, 2)->ArgName("order")->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace bench
