// The combo edit and the date edit: geometry of the popup and the button,
// masks from the user's settings, texts that are no dates, keys, the popup
// calendar and the dialog driven by input, the check on exit, and a change
// of the user's settings while the program runs.
#include "controls/dateedit.hpp"

#include "tests/controls/date_fixture.hpp"

namespace controls {
namespace {

using namespace ui;
using testing_dates::D;

TEST(ComboEditGeometry, ThePopupDropsUnderTheEditAndStaysOnTheScreen) {
    struct Case {
        const char* name;
        TPoint edit;
        TPopupAlign align;
        TPoint origin;
    };
    const TSize edit{120, 21}, popup{187, 124}, screen{1024, 768};
    const Case cases[] = {
        {"right edges aligned", {300, 100}, epaRight, {233, 121}},
        {"left edges aligned", {300, 100}, epaLeft, {300, 121}},
        {"right-aligned near the left edge falls back to the left", {30, 100}, epaRight, {30, 121}},
        {"left-aligned near the right edge turns right", {880, 100}, epaLeft, {813, 121}},
        {"above the edit near the bottom", {300, 700}, epaLeft, {300, 576}},
        {"never off the right edge", {1000, 100}, epaLeft, {837, 121}},
        {"never off the left edge", {-50, 100}, epaLeft, {0, 121}},
    };
    for (const Case& c : cases) EXPECT_EQ(PopupOrigin(c.edit, edit, popup, screen, c.align), c.origin) << c.name;
}

TEST(ComboEditGeometry, TheButtonHolderFollowsTheBorder) {
    struct Case {
        bool new_style, border, ctl3d;
        TRect bounds;
    };
    const Case cases[] = {
        {true, true, true, {95, 0, 117, 17}},   // sunken edge: inside the client area
        {true, false, true, {99, 0, 121, 21}},  // no border
        {true, true, false, {97, 2, 119, 19}},  // flat border
        {false, true, true, {99, 0, 121, 21}},  // old style
    };
    for (const Case& c : cases)
        EXPECT_EQ(ButtonHolderBounds(121, 21, 22, c.new_style, c.border, c.ctl3d), c.bounds)
            << c.new_style << c.border << c.ctl3d;
    EXPECT_EQ(ShortCutOf(VK_DOWN, ssAlt), 0x8028u);
    EXPECT_EQ(ShortCutOf(VK_DOWN, ssAlt | ssShift), 0xA028u);
}

class DateEditTest : public testing_dates::DateTest {
protected:
    TDateEdit* NewEdit(int x = 10, int y = 10) {
        auto* e = new TDateEdit(form.get());
        e->SetParent(form.get());
        e->SetBounds(x, y, 120, 21);
        e->SetYearDigits(dyFour);
        e->OnChange = [this](TObject*) { ++changes; };
        return e;
    }
    TPoint ButtonPoint(TDateEdit* e) { return e->Button()->ClientToScreen({e->ButtonWidth() / 2, 8}); }
    int changes = 0;
};

TEST_F(DateEditTest, TheMaskAndTheFormatFollowTheUsersDateOrder) {
    struct Case {
        platform::DateFormatSettings user;
        TYearDigits digits;
        const char* mask;
        const char* format;
        const char* text;  // of 5 March 2025
    };
    const Case cases[] = {
        {{"dd/MM/yyyy", '/'}, dyFour, "!99/99/9999;1; ", "DD/MM/YYYY", "05/03/2025"},
        {{"dd.MM.yyyy", '.'}, dyFour, "!99/99/9999;1; ", "DD/MM/YYYY", "05.03.2025"},
        {{"M/d/yyyy", '/'}, dyFour, "!99/99/9999;1; ", "MM/DD/YYYY", "03/05/2025"},
        {{"M/d/yyyy", '/'}, dyTwo, "!99/99/99;1; ", "MM/DD/YY", "03/05/25"},
        {{"yyyy-MM-dd", '-'}, dyFour, "!9999/99/99;1; ", "YYYY/MM/DD", "2025-03-05"},
        {{"yyyy-MM-dd", '-'}, dyTwo, "!99/99/99;1; ", "YY/MM/DD", "25-03-05"},
    };
    for (const Case& c : cases) {
        platform::FormatSettings() = c.user;
        TDateEdit* e = NewEdit();
        e->SetYearDigits(c.digits);
        e->RebuildMask();
        EXPECT_EQ(e->EditMask(), c.mask) << c.user.short_date_format;
        EXPECT_EQ(e->DateFormat(), c.format);
        e->SetEditDate(D(2025, 3, 5));
        EXPECT_EQ(e->GetText(), c.text);
        EXPECT_EQ(e->EditDate(), D(2025, 3, 5));
        Free(e);
    }
}

TEST_F(DateEditTest, TextsThatAreNoDatesReadAsTheEmptyDateOrToday) {
    struct Case {
        const char* text;
        TYearDigits digits;
        TDateTime date;  // NullDate: no date
    };
    const Case cases[] = {
        {"31/12/2025", dyFour, D(2025, 12, 31)}, {"29/02/2024", dyFour, D(2024, 2, 29)},
        {"29/02/2025", dyFour, NullDate},  // not a leap year
        {"31/04/2025", dyFour, NullDate},        {"00/01/2025", dyFour, NullDate},
        {"12/13/2025", dyFour, NullDate},  // month 13, not the other order
        {"05/03/    ", dyFour, NullDate},  // a blank year is no year
        {"  /  /    ", dyFour, NullDate},        {"5 /3 /2025", dyFour, D(2025, 3, 5)},
        {"99/99/9999", dyFour, NullDate},        {"01/01/66", dyTwo, D(1966, 1, 1)},  // the window's first year
        {"31/12/65", dyTwo, D(2065, 12, 31)},                                         // and its last
        {"29/02/00", dyTwo, D(2000, 2, 29)},     {"29/02/66", dyTwo, NullDate},
    };
    for (const bool default_today : {false, true}) {
        for (const Case& c : cases) {
            TDateEdit* e = NewEdit();
            e->SetYearDigits(c.digits);
            e->DefaultToday = default_today;
            e->SetEditText(c.text);
            const TDateTime expected = c.date == NullDate && default_today ? D(2026, 6, 15) : c.date;
            EXPECT_EQ(e->EditDate(), expected) << c.text << (default_today ? " (today by default)" : "");
            Free(e);
        }
    }
}

TEST_F(DateEditTest, WritingADateThatIsNoneEmptiesTheText) {
    struct Case {
        TDateTime value;
        bool default_today;
        const char* text;
    };
    const Case cases[] = {
        {NullDate, false, "  /  /    "},
        {NullDate, true, "15/06/2026"},
        {1e12, false, "  /  /    "},
        {-1e12, true, "15/06/2026"},
        {D(2025, 3, 5) + 0.75, false, "05/03/2025"},  // the time of day is no part of it
    };
    for (const Case& c : cases) {
        TDateEdit* e = NewEdit();
        e->DefaultToday = c.default_today;
        e->SetEditDate(c.value);
        EXPECT_EQ(e->EditText(), c.text);
        Free(e);
    }
}

TEST_F(DateEditTest, KeysWriteTodayAndStepDays) {
    struct Case {
        const char* start;
        bool direct_input;
        UINT key;
        char ch;
        const char* text;
    };
    const Case cases[] = {
        {"", true, VK_ADD, 0, "16/06/2026"},  // an empty edit steps from today
        {"", true, VK_SUBTRACT, 0, "14/06/2026"},
        {"28/02/2026", true, VK_ADD, 0, "01/03/2026"},
        {"01/01/2020", true, 0, 't', "15/06/2026"},
        {"01/01/2020", true, 0, 'T', "15/06/2026"},
        {"01/01/2020", true, 0, '+', "01/01/2020"},   // taken, nothing more
        {"01/01/2020", false, 0, 'T', "01/01/2020"},  // no typing at all
        {"01/01/2020", false, 0, '7', "01/01/2020"},
        {"01/01/2020", true, 0, '7', "71/01/2020"},  // typed over the first place
    };
    for (const Case& c : cases) {
        TDateEdit* e = NewEdit();
        Show();
        e->SetText(c.start);
        e->SetDirectInput(c.direct_input);
        e->SetFocus();
        e->SetSelStart(0);
        if (c.key)
            Key(c.key);
        else
            Type(std::string(1, c.ch));
        EXPECT_EQ(e->EditText(), std::string(c.text) == "" ? "  /  /    " : c.text) << c.start << " " << c.ch;
        Free(e);
    }
}

TEST_F(DateEditTest, TheButtonDropsTheCalendarAndADayClickedIsWritten) {
    TDateEdit* e = NewEdit();
    Show();
    e->SetFocus();
    Click(ButtonPoint(e));
    ASSERT_TRUE(e->PopupVisible());
    auto* popup = dynamic_cast<TPopupCalendar*>(e->Popup());
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->Calendar()->CalendarDate(), D(2026, 6, 15)) << "an empty edit opens on today";
    EXPECT_TRUE(e->Focused());
    EXPECT_EQ(GetActiveWindow(), form->WindowHandle());
    // The popup's right edge lies under the edit's.
    EXPECT_EQ(GetWindowRect(popup->WindowHandle()).right, GetWindowRect(e->WindowHandle()).right);
    EXPECT_EQ(GetWindowRect(popup->WindowHandle()).top, GetWindowRect(e->WindowHandle()).bottom);
    TCvCalendar* cal = popup->Calendar();
    const TRect cell = cal->CellRect(3, 4);  // Thursday of the fourth week: 25 June
    Click(cal->ClientToScreen({cell.left + 4, cell.top + 4}));
    EXPECT_FALSE(e->PopupVisible());
    EXPECT_EQ(e->EditText(), "25/06/2026");
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(e->Modified());
    EXPECT_EQ(e->SelLength(), 10) << "the date taken is selected";
    // Opened again on the edit's date; a press on the button closes it
    // accepting, and is not taken as a second click that opens it again.
    Click(ButtonPoint(e));
    ASSERT_TRUE(e->PopupVisible());
    EXPECT_EQ(cal->CalendarDate(), D(2026, 6, 25));
    Key(VK_RIGHT);
    Click(ButtonPoint(e));
    EXPECT_FALSE(e->PopupVisible());
    EXPECT_EQ(e->EditText(), "26/06/2026");
}

TEST_F(DateEditTest, KeysWhileTheCalendarIsDown) {
    struct Case {
        std::vector<std::pair<UINT, unsigned>> keys;
        std::string chars;
        bool open;
        const char* text;
    };
    const Case cases[] = {
        {{{VK_DOWN, kAlt}, {VK_RETURN, 0}}, "", false, "10/06/2026"},
        {{{VK_DOWN, kAlt}, {VK_RIGHT, 0}, {VK_RETURN, 0}}, "", false, "11/06/2026"},
        {{{VK_DOWN, kAlt}, {VK_DOWN, 0}, {VK_ESCAPE, 0}}, "", false, "10/06/2026"},   // not taken
        {{{VK_DOWN, kAlt}, {VK_NEXT, 0}, {VK_DOWN, kAlt}}, "", false, "10/07/2026"},  // Alt+Down closes taking it
        {{{VK_DOWN, kAlt}, {VK_NEXT, kControl}, {VK_SUBTRACT, 0}, {VK_RETURN, 0}}, "", false, "09/06/2027"},
        {{{VK_DOWN, kAlt}}, "t", true, "10/06/2026"},  // T goes to the calendar
        {{{VK_DOWN, kAlt}}, "+", true, "10/06/2026"},
    };
    for (const Case& c : cases) {
        TDateEdit* e = NewEdit();
        Show();
        e->SetText("10/06/2026");
        e->SetFocus();
        for (const auto& [vk, mods] : c.keys) Key(vk, mods);
        Type(c.chars);
        EXPECT_EQ(e->PopupVisible(), c.open);
        EXPECT_EQ(e->EditText(), c.text);
        if (c.chars == "t") {
            EXPECT_EQ(dynamic_cast<TPopupCalendar*>(e->Popup())->Calendar()->CalendarDate(), D(2026, 6, 15));
        }
        Free(e);
    }
}

TEST_F(DateEditTest, AcceptingMayChangeOrRefuseTheDate) {
    struct Case {
        bool refuse;
        TDateTime replace;
        const char* text;
    };
    const Case cases[] = {{false, 0, "11/06/2026"}, {true, 0, "10/06/2026"}, {false, D(2030, 1, 2), "02/01/2030"}};
    for (const Case& c : cases) {
        TDateEdit* e = NewEdit();
        Show();
        e->SetText("10/06/2026");
        TDateTime offered = 0;
        e->OnAcceptDate = [&](TObject*, TDateTime& date, bool& action) {
            offered = date;
            if (c.replace) date = c.replace;
            action = !c.refuse;
        };
        e->SetFocus();
        Key(VK_DOWN, kAlt);
        Key(VK_RIGHT);
        Key(VK_RETURN);
        EXPECT_EQ(offered, D(2026, 6, 11));
        EXPECT_EQ(e->EditText(), c.text);
        Free(e);
    }
}

TEST_F(DateEditTest, WithoutDirectInputTheDateIsChosenOnly) {
    TDateEdit* e = NewEdit();
    e->SetDirectInput(false);
    Show();
    e->SetFocus();
    Type("05032025");
    EXPECT_EQ(e->EditText(), "  /  /    ");
    SetClipboardText("05/03/2025");
    e->PasteFromClipboard();
    EXPECT_EQ(e->EditText(), "  /  /    ");
    Key(VK_DOWN, kAlt);
    Key(VK_LEFT);
    Key(VK_RETURN);
    EXPECT_EQ(e->EditText(), "14/06/2026");
    EXPECT_TRUE(e->ReadOnly() == false && e->TCustomEdit::ReadOnly()) << "the window stays read-only";
}

TEST_F(DateEditTest, DialogStyleRunsTheDialog) {
    TDateEdit* e = NewEdit();
    e->SetCalendarStyle(csDialog);
    EXPECT_EQ(e->Popup(), nullptr);
    Show();
    e->SetText("10/06/2026");
    e->SetFocus();
    InjectKey(VK_NEXT, true, 0);  // queued for the dialog's loop
    InjectKey(VK_NEXT, false, 0);
    InjectKey(VK_RETURN, true, 0);
    InjectKey(VK_RETURN, false, 0);
    e->EditButtonClick();
    EXPECT_EQ(e->EditText(), "10/07/2026");
    EXPECT_TRUE(e->Focused());
    InjectKey(VK_ESCAPE, true, 0);
    InjectKey(VK_ESCAPE, false, 0);
    e->EditButtonClick();
    EXPECT_EQ(e->EditText(), "10/07/2026");
    e->SetCalendarStyle(csPopup);
    EXPECT_NE(e->Popup(), nullptr);
}

TEST_F(DateEditTest, TheCheckOnExitReportsTheTextAndBringsTheFocusBack) {
    TDateEdit* e = NewEdit();
    TDateEdit* other = NewEdit(10, 60);
    e->CheckOnExit = true;
    Show();
    struct Case {
        const char* text;
        bool error;
        const char* after;
    };
    const Case cases[] = {
        {"31/02/2025", true, "31/02/2025"},
        {"5 /3 /2025", false, "05/03/2025"},  // written back in full
        {"  /  /    ", false, "  /  /    "},  // blank: never checked
    };
    for (const Case& c : cases) {
        e->SetFocus();
        e->SetEditText(c.text);
        changes = 0;
        box_.shown.clear();
        other->SetFocus();
        Pump();
        ASSERT_EQ(box_.shown.size(), c.error ? 1u : 0u) << c.text;
        if (c.error) {
            EXPECT_EQ(box_.shown[0].text, std::string("''") + c.text + "'' is not a valid date");
            EXPECT_TRUE(e->Focused());
        } else {
            EXPECT_TRUE(other->Focused());
        }
        EXPECT_EQ(e->EditText(), c.after);
        EXPECT_EQ(changes, 0) << "the rewrite is no change";
    }
    EXPECT_THROW(
        {
            e->SetEditText("12/13/2025");
            e->CheckValidDate();
        },
        EConvertError);
}

TEST_F(DateEditTest, AChangeOfTheUsersSettingsRebuildsTheMaskAndKeepsTheDate) {
    TDateEdit* e = NewEdit();
    TDateEdit* two = NewEdit(10, 60);
    two->SetYearDigits(dyTwo);
    Show();
    e->SetEditDate(D(2025, 3, 5));
    two->SetEditDate(D(2025, 3, 5));
    Application().UpdateFormatSettings = true;
    struct Case {
        const char* format;
        char separator;
        const char* text;
        const char* two_text;
    };
    const Case cases[] = {
        {"M/d/yyyy", '/', "03/05/2025", "03/05/25"},
        {"dd.MM.yyyy", '.', "05.03.2025", "05.03.25"},
        {"yyyy-MM-dd", '-', "2025-03-05", "25-03-05"},
        {"dd/MM/yyyy", '/', "05/03/2025", "05/03/25"},
    };
    for (const Case& c : cases) {
        platform::RegionalSettings user = testing_dates::EnglishDayMonthYear();
        user.short_date_format = c.format, user.date_separator = c.separator;
        platform::SetRegional(user);
        EXPECT_EQ(e->EditText(), c.text);
        EXPECT_EQ(two->EditText(), c.two_text);
        EXPECT_EQ(e->EditDate(), D(2025, 3, 5));
        EXPECT_EQ(two->EditDate(), D(2025, 3, 5));
    }
    // Freed edits hear of no change any more.
    Free(two);
    platform::SetRegional(testing_dates::EnglishDayMonthYear());
    EXPECT_EQ(e->EditText(), "05/03/2025");
}

TEST_F(DateEditTest, HintsKeepFourLinesAndTheButtonShowsItsGlyph) {
    TDateEdit* e = NewEdit();
    e->SetCalendarHints({"a", "b", "", "d", "e", "f"});
    EXPECT_EQ(e->CalendarHints().size(), 4u);
    auto* popup = dynamic_cast<TPopupCalendar*>(e->Popup());
    EXPECT_EQ(popup->ArrowButton(0)->Hint, "a");
    EXPECT_EQ(popup->ArrowButton(2)->Hint, "Next Month|");
    EXPECT_EQ(popup->ArrowButton(3)->Hint, "d");
    EXPECT_EQ(e->GlyphKind(), gkDefault);
    ASSERT_NE(e->Glyph(), nullptr);
    EXPECT_EQ(e->Glyph()->Width(), 32);
    EXPECT_EQ(e->NumGlyphs(), 2);
    EXPECT_EQ(e->ButtonWidth(), 22);
    TDateEdit* off = NewEdit(10, 60);
    off->SetEnabled(false);
    Show();
    // The glyph's red binding, and its embossed grey when disabled.
    const int gx = (e->ButtonWidth() - 16) / 2 + 4, gy = (e->Button()->Height() - 16) / 2 + 3;
    EXPECT_EQ(At(e->Button(), gx, gy), RGB(192, 0, 0));
    EXPECT_EQ(At(off->Button(), gx, gy), RGB(255, 255, 255));
    // The separating line and the text kept off the button.
    EXPECT_EQ(At(e->Button(), 1, 5), ColorToRGB(clBtnHighlight));
    TRect format;
    SendMessage(e->WindowHandle(), EM_GETRECT, 0, LPARAM(&format));
    EXPECT_EQ(format.right, e->ClientWidth() - e->ButtonWidth() - 2);
}

}  // namespace
}  // namespace controls
