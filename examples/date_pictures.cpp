#include "examples/date_pictures.hpp"

#include "controls/dateedit.hpp"
#include "framework/ui/forms.hpp"
#include "platform/clock.hpp"
#include "platform/locale.hpp"

namespace {

using namespace ui;
using controls::TDateEdit;

// The form's picture with the top-level windows in `over` drawn where they lie.
SurfacePtr Composite(TCustomForm* form, const std::vector<HWND>& over) {
    Application().ProcessMessages();
    const TRect fr = GetWindowRect(form->WindowHandle());
    int right = fr.right, bottom = fr.bottom;
    for (HWND h : over) {
        const TRect r = GetWindowRect(h);
        right = std::max(right, r.right), bottom = std::max(bottom, r.bottom);
    }
    auto picture = Surface::Create(right - fr.left, bottom - fr.top, PixelFormat::Color32);
    picture->Fill(GetSysColor(COLOR_APPWORKSPACE));
    DC dst(picture);
    DC src(GetWindowSurface(form->WindowHandle()));
    BitBlt(dst, 0, 0, fr.Width(), fr.Height(), &src, 0, 0, SRCCOPY);
    for (HWND h : over) {
        const TRect r = GetWindowRect(h);
        DC pop(GetWindowSurface(h));
        BitBlt(dst, r.left - fr.left, r.top - fr.top, r.Width(), r.Height(), &pop, 0, 0, SRCCOPY);
    }
    return picture;
}

TDateEdit* Edit(TForm* f, int x, int y, const char* text) {
    auto* e = new TDateEdit(f);
    e->SetBounds(x, y, 120, 21);
    e->SetParent(f);
    e->SetYearDigits(controls::dyFour);
    if (text) e->SetText(text);
    return e;
}

TLabel* Caption(TForm* f, int x, int y, const char* text) {
    auto* l = new TLabel(f);
    l->SetLeft(x), l->SetTop(y);
    l->SetParent(f);
    l->SetCaption(text);
    return l;
}

Owned<TForm> NewForm(const char* caption, int w, int h) {
    auto form = Make<TForm>(nullptr);
    form->SetBorderStyle(bsSingle);
    form->SetBounds(40, 40, w, h);
    form->SetCaption(caption);
    return form;
}

// Date edits in their states, and one with its calendar dropped down.
bool DateEdits(const std::string& path) {
    auto form = NewForm("Date edits", 300, 330);
    TForm* f = form.get();
    Caption(f, 8, 12, "Empty");
    Edit(f, 120, 8, nullptr);
    Caption(f, 8, 40, "A date");
    Edit(f, 120, 36, "05/03/2025");
    Caption(f, 8, 68, "Disabled");
    Edit(f, 120, 64, "24/12/2025")->SetEnabled(false);
    Caption(f, 8, 96, "Chosen, not typed");
    auto* chosen = Edit(f, 120, 92, "31/01/2026");
    chosen->SetDirectInput(false);
    chosen->SetColor(clBtnFace);
    Caption(f, 8, 124, "Dropped down");
    auto* open = Edit(f, 120, 120, "15/06/2026");
    f->Show();
    open->SetFocus();
    Application().ProcessMessages();
    open->EditButtonClick();
    Application().ProcessMessages();
    if (!open->PopupVisible()) return false;
    const bool ok = Composite(f, {open->Popup()->WindowHandle()})->WritePng(path);
    open->ClosePopup(false);
    return ok;
}

// The modal dialog's face, shown without its loop.
bool DateDialog(const std::string& path) {
    auto dialog = controls::NewDateDialog("");
    dialog->SetDate(db::EncodeDate(2026, 6, 15));
    dialog->Position = poDesigned;
    dialog->SetLeft(40), dialog->SetTop(40);
    dialog->Show();
    return Composite(dialog.get(), {})->WritePng(path);
}

// A month grid starting on Sunday with Saturday and Sunday red.
bool Calendar(const std::string& path) {
    auto form = NewForm("Calendar", 260, 200);
    auto* c = new controls::TCvCalendar(form.get());
    c->SetParent(form.get());
    c->SetAlign(alClient);
    c->SetColor(clWhite);
    c->SetStartOfWeek(controls::Sun);
    c->SetWeekends(controls::DaySet({controls::Sun, controls::Sat}));
    c->SetCalendarDate(db::EncodeDate(2026, 2, 14));
    form->Show();
    c->SetFocus();
    return Composite(form.get(), {})->WritePng(path);
}

}  // namespace

std::vector<std::string> WriteDatePictures(const std::string& folder) {
    // Day, month, year, whatever the machine's language; today in June 2026.
    const platform::DateFormatSettings saved = platform::FormatSettings();
    platform::FormatSettings() = {"dd/MM/yyyy", '/'};
    platform::SetFixedNow(platform::LocalDateTime{2026, 6, 15, 2, 12, 0, 0});
    std::vector<std::string> failed;
    if (!DateEdits(folder + "/controls-dateedit.png")) failed.push_back("controls-dateedit.png");
    if (!DateDialog(folder + "/controls-calendar.png")) failed.push_back("controls-calendar.png");
    if (!Calendar(folder + "/controls-calendar-grid.png")) failed.push_back("controls-calendar-grid.png");
    platform::SetFixedNow(std::nullopt);
    platform::FormatSettings() = saved;
    return failed;
}
