// The report preview of an account.
#include "examples/account_preview.hpp"

#include <cstdio>

#include "controls/cvrichreport.hpp"
#include "framework/db/fields.hpp"

namespace demo {

namespace {

using controls::ReportStyle;
using namespace ui;

std::string Trimmed(const std::string& s) {
    const size_t end = s.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : s.substr(0, end + 1);
}

std::string Money(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", v);
    return buf;
}

}  // namespace

int WriteAccountReport(controls::TCvCustomRichEdit* rich, zurod::TTzDbf* history, const std::string& account) {
    controls::TRichReportWriter w(rich);
    const std::vector<int> tabs = {64, 230, 290};
    const ReportStyle title{"Arial", 14, fsBold, clNavy, controls::paCenter};
    const ReportStyle sub{"Arial", 9, fsItalic, clGray, controls::paCenter};
    const ReportStyle head{"Arial", 9, fsBold | fsUnderline, clWindowText, controls::paLeftJustify, 0, 0, tabs};
    const ReportStyle credit{"Arial", 9, 0, clWindowText, controls::paLeftJustify, 0, 0, tabs};
    ReportStyle debit = credit;
    debit.color = clMaroon;
    const ReportStyle total{"Arial", 10, fsBold, clWindowText, controls::paRightJustify};
    w.Paragraph(account, title);
    w.Paragraph("Transactions in the order of the history", sub);
    w.Paragraph("Date\tDetail\tAmount\tBalance", head);
    int count = 0;
    double balance = 0;
    history->DisableControls();
    const db::TBookmark where = history->GetBookmark();
    for (history->First(); !history->Eof(); history->Next()) {
        if (Trimmed(history->FieldByName("ACCNAME")->AsString()) != account) continue;
        const bool pays = Trimmed(history->FieldByName("SOURCE")->AsString()) == account;
        const double amount = history->FieldByName("AMOUNT")->AsFloat();
        balance = history->FieldByName("BALANCE")->AsFloat();
        w.Paragraph(history->FieldByName("DATE")->AsString() + "\t" +
                        Trimmed(history->FieldByName("DETAIL")->AsString()) + "\t" + (pays ? "-" : "") + Money(amount) +
                        "\t" + Money(balance),
                    pays ? debit : credit);
        ++count;
    }
    if (!where.empty()) history->GotoBookmark(where);
    history->EnableControls();
    w.Paragraph("Balance " + Money(balance), total);
    w.Finish();
    return count;
}

ui::TForm* ShowAccountPreview(ui::TCustomForm* owner, zurod::TTzDbf* history, const std::string& account) {
    auto* form = new TForm(owner);
    form->SetCaption("Report preview - " + account);
    form->SetBounds(80, 80, 560, 420);
    auto* rich = new controls::TCvRichEdit(form);
    rich->SetParent(form);
    rich->SetAlign(alClient);
    rich->SetScrollBars(ssVertical);
    rich->Title = account;
    // The report is all the window holds: it takes the keys (PgDn, Ctrl+End) at once.
    form->SetActiveControl(rich);
    form->OnClose = [](TObject*, TCloseAction& action) { action = caFree; };
    form->Show();
    WriteAccountReport(rich, history, account);
    return form;
}

void AddAccountPreview(ui::TForm* window, zurod::TTzDbf* history, ui::TWinControl* row) {
    auto* bar = new TPanel(window);
    bar->SetName("PreviewBar");
    bar->SetParent(row);
    bar->SetWidth(196);
    bar->SetAlign(alLeft);
    bar->SetBevelOuter(bvNone);
    auto* button = new TButton(window);
    button->SetName("PreviewButton");
    button->SetParent(bar);
    button->SetBounds(8, 4, 180, 23);
    button->SetCaption("&Preview Current Account");
    button->OnClick = [window, history](TObject*) { ShowAccountPreview(window, history, kPreviewAccount); };
}

}  // namespace demo
