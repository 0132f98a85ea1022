#pragma once
// A desktop for the date controls: the user writes day, month, year with
// '/', months have English names, and today is Monday 15 June 2026.
#include "controls/dateedit.hpp"
#include "platform/clock.hpp"
#include "platform/locale.hpp"
#include "platform/regional.hpp"
#include "tests/support/ui_fixture.hpp"

namespace controls::testing_dates {

inline platform::RegionalSettings EnglishDayMonthYear() {
    platform::RegionalSettings r;
    r.short_date_format = "dd/MM/yyyy", r.date_separator = '/';
    r.long_month_names = {"January", "February", "March",     "April",   "May",      "June",
                          "July",    "August",   "September", "October", "November", "December"};
    return r;
}

inline TDateTime D(int y, int m, int d) { return db::EncodeDate(y, m, d); }

class DateTest : public testing_ui::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        saved_format_ = platform::FormatSettings();
        ui::Application().UpdateFormatSettings = false;
        regional_ = std::make_unique<platform::ScopedRegional>(EnglishDayMonthYear());
        platform::FormatSettings() = {"dd/MM/yyyy", '/'};
        DateUtilSettings().two_digit_year_window = 60;
        DateUtilSettings().system_four_digit_year = true;
        platform::SetFixedNow(platform::LocalDateTime{2026, 6, 15, 2, 12, 0, 0});
        form = ui::Make<ui::TForm>(nullptr);
        form->SetBorderStyle(ui::bsSingle);
        form->SetBounds(100, 100, 360, 240);
    }
    void TearDown() override {
        form.reset();
        ui::Application().UpdateFormatSettings = false;
        regional_.reset();
        platform::SetFixedNow(std::nullopt);
        platform::FormatSettings() = saved_format_;
        ui::Application().UpdateFormatSettings = true;
        UiTest::TearDown();  // the date state back to its start
    }
    void Show() {
        form->Show();
        Pump();
    }
    // A pixel of a top-level window's picture at a control's client point.
    ui::COLORREF At(ui::TControl* c, int x, int y) {
        Pump();
        const ui::TPoint p = c->ClientToScreen({x, y});
        ui::TWinControl* top = c->Parent() ? nullptr : dynamic_cast<ui::TWinControl*>(c);
        for (ui::TControl* up = c; up && !top; up = up->Parent())
            if (!up->Parent()) top = dynamic_cast<ui::TWinControl*>(up);
        const ui::TRect w = ui::GetWindowRect(top->WindowHandle());
        return ui::GetWindowSurface(top->WindowHandle())->Pixel(p.x - w.left, p.y - w.top);
    }

    ui::Owned<ui::TForm> form;
    std::unique_ptr<platform::ScopedRegional> regional_;
    platform::DateFormatSettings saved_format_;
};

}  // namespace controls::testing_dates
