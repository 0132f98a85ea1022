// The main window's date filter: the history from the date in the edit on,
// all of it for an empty edit, unchanged while a date is half typed.
#include "examples/date_filter.hpp"

#include "engine/dbf/dates.hpp"

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

}  // namespace
