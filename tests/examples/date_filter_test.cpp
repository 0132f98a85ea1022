// The main window's date filter: the history from the date in the edit on,
// all of it for an empty edit, unchanged while a date is half typed.
#include "examples/date_filter.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <set>
#include <tuple>

#include "engine/dbf/areas.hpp"
#include "engine/dbf/dates.hpp"
#include "engine/dbf/navigate.hpp"

#include "tests/examples/main_window_fixture.hpp"

namespace {

using testing_examples::FromDate;
using testing_examples::MainWindowTest;

TEST_F(MainWindowTest, TheDateEditFiltersTheHistoryFromItsDate) {
    auto w = Open("");
    controls::TDateEdit* edit = FromDate(w.get());
    ASSERT_NE(edit, nullptr);
    zurod::TTzDbf* history = w->History();
    const int all = history->GetFilteredCount();
    auto text = [&](int y, int m, int d) { return db::FormatDate(edit->DateFormat(), db::EncodeDate(y, m, d)); };
    struct Case {
        std::string text;
        bool half_typed;
        const char* first_date;  // DTOS of the first row shown; "" when all are
    };
    const Case cases[] = {
        {text(2024, 3, 1), false, "20240301"},
        {text(2024, 3, 1).substr(0, 4), true, "20240301"},  // half typed: as it was
        {"", false, ""},
        {text(2024, 2, 29), false, "20240229"},
        {text(2030, 1, 1), false, "-"},  // after the last record: none
    };
    for (const Case& c : cases) {
        edit->SetText(c.text);
        Pump();
        EXPECT_EQ(demo::HistoryDateFilter(edit).has_value(), !c.half_typed) << c.text;
        const std::string first = c.first_date;
        if (first.empty()) {
            EXPECT_EQ(history->GetFilteredCount(), all);
            continue;
        }
        if (first == "-") {
            EXPECT_EQ(history->GetFilteredCount(), 0);
            continue;
        }
        EXPECT_LT(history->GetFilteredCount(), all);
        history->GoTop();
        EXPECT_GE(zurod::DTOS(history->FieldGet("DATE")), first) << c.text;
        history->Skip(-1);
        EXPECT_TRUE(history->Bof()) << "the first record shown is the first from the date";
    }
}

// A record of the history as the orders see it.
struct Row {
    int rec_no;
    std::string date, account;  // DTOS, ACCNAME
};

std::vector<int> Walk(zurod::TTzDbf* history, bool forward) {
    std::vector<int> shown;
    if (forward) {
        for (history->First(); !history->Eof(); history->Next()) shown.push_back(history->RecNo());
    } else {
        for (history->Last(); !history->Bof(); history->Prior()) shown.insert(shown.begin(), history->RecNo());
    }
    return shown;
}

TEST_F(MainWindowTest, EveryOrderShowsTheRecordsFromTheDateAsTheFilterAloneWould) {
    auto w = Open("");
    controls::TDateEdit* edit = FromDate(w.get());
    zurod::TTzDbf* history = w->History();
    zurod::TTzGrid* grid = w->Grid();
    auto click = [&](const char* field) {
        for (int i = 0; i < grid->Columns().Count(); ++i)
            if (grid->Columns()[i]->FieldName() == field) grid->OnTitleClick(grid, grid->Columns()[i]);
        Pump();
    };
    // Dates no longer in the order of the records: an early one moved late, a late one early.
    for (const auto& [rec_no, date] :
         {std::pair{5, "12/24/2024"}, std::pair{290, "01/02/2024"}, std::pair{150, "01/03/2024"}}) {
        history->Go(rec_no);
        history->Edit();
        history->FieldByName("DATE")->SetAsString(date);
        history->Post();
    }
    std::vector<Row> rows;
    std::set<std::string> dates;
    click("REF");
    for (history->First(); !history->Eof(); history->Next()) {
        rows.push_back({history->RecNo(), zurod::DTOS(history->FieldGet("DATE")), history->FieldGet("ACCNAME")});
        dates.insert(rows.back().date);
    }
    ASSERT_GT(rows.size(), 300u);
    // A day within the history that no record has.
    std::string absent;
    for (auto day = std::chrono::sys_days{std::chrono::year{2024} / 1 / 1}; absent.empty();
         day += std::chrono::days{1}) {
        const std::chrono::year_month_day ymd{day};
        char dtos[16];
        std::snprintf(dtos, sizeof dtos, "%04d%02u%02u", int(ymd.year()), unsigned(ymd.month()), unsigned(ymd.day()));
        if (dtos > *dates.begin() && !dates.count(dtos)) absent = dtos;
    }
    // What each order shows from a date on, worked out from the records alone.
    auto expected = [&](const std::string& order, const std::string& from) {
        std::vector<Row> kept;
        for (const Row& r : rows)
            if (r.date >= from) kept.push_back(r);
        std::sort(kept.begin(), kept.end(), [&](const Row& a, const Row& b) {
            if (order == "DATE") return std::tie(a.date, a.rec_no) < std::tie(b.date, b.rec_no);
            if (order == "ACCNAME")
                return std::tie(a.account, a.date, a.rec_no) < std::tie(b.account, b.date, b.rec_no);
            return a.rec_no < b.rec_no;
        });
        std::vector<int> numbers;
        numbers.reserve(kept.size());
        for (const Row& r : kept) numbers.push_back(r.rec_no);
        return numbers;
    };
    auto text = [&](const std::string& dtos) {
        if (dtos.empty()) return std::string();
        return db::FormatDate(
            edit->DateFormat(),
            db::EncodeDate(std::stoi(dtos.substr(0, 4)), std::stoi(dtos.substr(4, 2)), std::stoi(dtos.substr(6, 2))));
    };
    const std::string froms[] = {"20231231", *dates.begin(), rows[100].date, absent, *dates.rbegin(), "20300101", ""};
    for (const char* order : {"REF", "DATE", "ACCNAME"}) {
        click(order);  // with the last date's filter still set
        for (const std::string& from : froms) {
            SCOPED_TRACE(std::string(order) + " from \"" + from + "\"");
            const std::vector<int> want = expected(order == std::string("REF") ? "" : order, from);
            auto shown_first = [&] {
                EXPECT_EQ(history->IsEmpty(), want.empty());
                if (!want.empty()) {
                    EXPECT_EQ(history->RecNo(), want.front()) << "the first record shown";
                }
                EXPECT_TRUE(history->Bof());
            };
            // The key that completes the date, then a title click with the filter set.
            edit->SetText(text(from));
            Pump();
            shown_first();
            click(order);
            shown_first();
            EXPECT_EQ(Walk(history, true), want);
            EXPECT_EQ(Walk(history, false), want);
            EXPECT_EQ(history->GetFilteredCount(), int(want.size()));
            // Beside the filter, a floor under the date tag: without the filter the orders still pass over the
            // records before the date.
            if (from.empty()) continue;
            zurod::Select(history->WorkArea());
            zurod::Set_Filter_To("");
            int passed = 0;
            for (zurod::GoTop(); !zurod::dEOF(); zurod::SKIP(1)) ++passed;
            zurod::Set_Filter_To("DTOS(DATE) >= \"" + from + "\"");
            EXPECT_EQ(passed, int(want.size())) << "records the orders read without the filter";
        }
    }
}

}  // namespace
